#include "store/GidIndex.h"

#include "model/CQvMusic.h"
#include "model/TrackInfo.h"

#include <utility>

namespace {

const TrackGid& KeyOf(const CQvMusic* track) { return track->GetInfo()->Gid; }

uint32_t HashOf(QStringView gid)
{
    const size_t full = TrackGidHash()(gid);
    const auto hash = static_cast<uint32_t>(full ^ (full >> 32));
    return hash == 0 ? 1 : hash;
}

// At most four entries in five slots: a hundred thousand tracks fit in 2^17 slots, and in
// Robin Hood order a lookup still reads a few hashes on average, found or not.
bool Crowded(size_t entries, size_t capacity) { return entries * 5 > capacity * 4; }

// How far the entry of `hash` at `slot` is from its home slot.
size_t Distance(size_t slot, uint32_t hash, size_t mask) { return (slot - (hash & mask)) & mask; }

} // namespace

GidIndex::GidIndex(GidIndex&& other) noexcept
    : m_hashes(std::move(other.m_hashes)),
      m_tracks(std::move(other.m_tracks)),
      m_capacity(std::exchange(other.m_capacity, 0)),
      m_size(std::exchange(other.m_size, 0))
{
}

GidIndex& GidIndex::operator=(GidIndex&& other) noexcept
{
    m_hashes = std::move(other.m_hashes);
    m_tracks = std::move(other.m_tracks);
    m_capacity = std::exchange(other.m_capacity, 0);
    m_size = std::exchange(other.m_size, 0);
    return *this;
}

GidIndex::~GidIndex() = default;

size_t GidIndex::SlotOf(QStringView gid, uint32_t hash) const
{
    if (m_size == 0) return kNone;
    const size_t mask = m_capacity - 1;
    // There is always an empty slot, so the walk ends; it ends sooner at an entry nearer its
    // home than the key would be here, as the key would have taken that entry's place.
    for (size_t i = hash & mask, distance = 0;; i = (i + 1) & mask, ++distance) {
        const uint32_t held = m_hashes[i];
        if (held == 0 || Distance(i, held, mask) < distance) return kNone;
        if (held == hash && KeyOf(m_tracks[i]) == gid) return i;
    }
}

void GidIndex::Place(uint32_t hash, CQvMusic* track, size_t slot, size_t distance)
{
    const size_t mask = m_capacity - 1;
    // Robin Hood: an entry nearer its home than the one being placed gives up its slot and
    // moves on, so each run stays ordered by distance from home.
    for (;; slot = (slot + 1) & mask, ++distance) {
        const uint32_t held = m_hashes[slot];
        if (held == 0) {
            m_hashes[slot] = hash;
            m_tracks[slot] = track;
            return;
        }
        if (const size_t own = Distance(slot, held, mask); own < distance) {
            std::swap(m_hashes[slot], hash);
            std::swap(m_tracks[slot], track);
            distance = own;
        }
    }
}

CQvMusic* GidIndex::Find(const QString& gid) const
{
    // Most lists are empty or nearly so, and each offer asks every one of them.
    if (m_size == 0) return nullptr;
    const size_t slot = SlotOf(gid, HashOf(gid));
    return slot == kNone ? nullptr : m_tracks[slot];
}

CQvMusic* GidIndex::Find(const TrackGid& gid) const
{
    TrackGid::Digits room;
    const QStringView text = gid.View(room);
    const size_t slot = SlotOf(text, HashOf(text));
    return slot == kNone ? nullptr : m_tracks[slot];
}

void GidIndex::Prepare()
{
    if (!Crowded(m_size + 1, m_capacity)) return;
    Rehash(m_capacity == 0 ? 8 : m_capacity * 2);
}

void GidIndex::Rehash(size_t capacity)
{
    auto hashes = std::make_unique<uint32_t[]>(capacity);
    auto tracks = std::make_unique<CQvMusic*[]>(capacity);
    std::swap(m_hashes, hashes);
    std::swap(m_tracks, tracks);
    const size_t old = std::exchange(m_capacity, capacity);
    // The hashes are kept, so growing reads no track.
    for (size_t from = 0; from < old; ++from)
        if (hashes[from] != 0) Place(hashes[from], tracks[from], hashes[from] & (capacity - 1), 0);
}

bool GidIndex::Insert(CQvMusic* track)
{
    if (!track || !track->GetInfo()) return false;
    TrackGid::Digits room;
    const QStringView gid = KeyOf(track).View(room);
    const uint32_t hash = HashOf(gid);
    // One walk finds the key or the slot it goes to.
    Prepare();
    const size_t mask = m_capacity - 1;
    size_t i = hash & mask;
    size_t distance = 0;
    for (;; i = (i + 1) & mask, ++distance) {
        const uint32_t held = m_hashes[i];
        if (held == 0 || Distance(i, held, mask) < distance) break;
        if (held == hash && KeyOf(m_tracks[i]) == gid) return false;
    }
    Place(hash, track, i, distance);
    ++m_size;
    return true;
}

void GidIndex::Put(CQvMusic* track)
{
    if (!track || !track->GetInfo()) return;
    TrackGid::Digits room;
    const QStringView gid = KeyOf(track).View(room);
    const size_t slot = SlotOf(gid, HashOf(gid));
    if (slot != kNone) m_tracks[slot] = track;
    else Insert(track);
}

void GidIndex::EraseSlot(size_t slot)
{
    const size_t mask = m_capacity - 1;
    size_t hole = slot;
    // The entries after the hole move back one slot each, up to an empty slot or one at its
    // home, so the run stays as the insertions would have left it.
    for (size_t i = (hole + 1) & mask; m_hashes[i] != 0 && Distance(i, m_hashes[i], mask) != 0;
         i = (i + 1) & mask) {
        m_hashes[hole] = m_hashes[i];
        m_tracks[hole] = m_tracks[i];
        hole = i;
    }
    m_hashes[hole] = 0;
    m_tracks[hole] = nullptr;
    --m_size;
}

bool GidIndex::Erase(const QString& gid)
{
    if (m_size == 0) return false;
    const size_t slot = SlotOf(gid, HashOf(gid));
    if (slot == kNone) return false;
    EraseSlot(slot);
    return true;
}

bool GidIndex::Erase(const TrackGid& gid)
{
    TrackGid::Digits room;
    const QStringView text = gid.View(room);
    const size_t slot = SlotOf(text, HashOf(text));
    if (slot == kNone) return false;
    EraseSlot(slot);
    return true;
}

bool GidIndex::EraseTrack(const CQvMusic* track)
{
    if (!track || !track->GetInfo()) return false;
    TrackGid::Digits room;
    const QStringView gid = KeyOf(track).View(room);
    const size_t slot = SlotOf(gid, HashOf(gid));
    if (slot == kNone || m_tracks[slot] != track) return false;
    EraseSlot(slot);
    return true;
}

void GidIndex::Clear()
{
    m_hashes.reset();
    m_tracks.reset();
    m_capacity = 0;
    m_size = 0;
}

void GidIndex::Reserve(size_t count)
{
    if (count == 0) return;
    size_t capacity = m_capacity == 0 ? 8 : m_capacity;
    while (Crowded(count, capacity)) capacity *= 2;
    if (capacity > m_capacity) Rehash(capacity);
}

#include "store/GidIndex.h"

#include "store/TextKeyMap.h"

#include "model/CQvMusic.h"
#include "model/TrackInfo.h"

#include <utility>

namespace {

const QString& KeyOf(const CQvMusic* track) { return track->GetInfo()->Gid; }

uint32_t HashOf(const QString& gid)
{
    const size_t full = TextKeyHash()(gid);
    const auto hash = static_cast<uint32_t>(full ^ (full >> 32));
    return hash == 0 ? 1 : hash;
}

// At most four entries in five slots: a miss then reads a few hashes on average, and a
// hundred thousand tracks still fit in 2^17 slots.
bool Crowded(size_t entries, size_t capacity) { return entries * 5 > capacity * 4; }

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

size_t GidIndex::SlotOf(const QString& gid, uint32_t hash) const
{
    if (m_size == 0) return kNone;
    const size_t mask = m_capacity - 1;
    // There is always an empty slot, so the walk ends.
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const uint32_t held = m_hashes[i];
        if (held == 0) return kNone;
        if (held == hash && KeyOf(m_tracks[i]) == gid) return i;
    }
}

CQvMusic* GidIndex::Find(const QString& gid) const
{
    const size_t slot = SlotOf(gid, HashOf(gid));
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
    const size_t mask = capacity - 1;
    // The hashes are kept, so growing reads no track.
    for (size_t from = 0; from < m_capacity; ++from) {
        const uint32_t hash = m_hashes[from];
        if (hash == 0) continue;
        size_t to = hash & mask;
        while (hashes[to] != 0) to = (to + 1) & mask;
        hashes[to] = hash;
        tracks[to] = m_tracks[from];
    }
    m_hashes = std::move(hashes);
    m_tracks = std::move(tracks);
    m_capacity = capacity;
}

bool GidIndex::Insert(CQvMusic* track)
{
    if (!track || !track->GetInfo()) return false;
    const QString& gid = KeyOf(track);
    const uint32_t hash = HashOf(gid);
    // One walk finds the key or the empty slot it goes to.
    Prepare();
    const size_t mask = m_capacity - 1;
    size_t i = hash & mask;
    for (uint32_t held; (held = m_hashes[i]) != 0; i = (i + 1) & mask)
        if (held == hash && KeyOf(m_tracks[i]) == gid) return false;
    m_hashes[i] = hash;
    m_tracks[i] = track;
    ++m_size;
    return true;
}

void GidIndex::Put(CQvMusic* track)
{
    if (!track || !track->GetInfo()) return;
    const size_t slot = SlotOf(KeyOf(track), HashOf(KeyOf(track)));
    if (slot != kNone) m_tracks[slot] = track;
    else Insert(track);
}

void GidIndex::EraseSlot(size_t slot)
{
    const size_t mask = m_capacity - 1;
    size_t hole = slot;
    // Each entry after the hole, up to the next empty slot, moves into it unless that would put
    // it before its home slot, where a lookup starts.
    for (size_t i = (hole + 1) & mask; m_hashes[i] != 0; i = (i + 1) & mask) {
        const size_t home = m_hashes[i] & mask;
        if (((i - home) & mask) < ((i - hole) & mask)) continue;
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
    const size_t slot = SlotOf(gid, HashOf(gid));
    if (slot == kNone) return false;
    EraseSlot(slot);
    return true;
}

bool GidIndex::EraseTrack(const CQvMusic* track)
{
    if (!track || !track->GetInfo()) return false;
    const size_t slot = SlotOf(KeyOf(track), HashOf(KeyOf(track)));
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

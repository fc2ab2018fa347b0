#pragma once
#include <QString>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>

class CQvMusic;
class TrackGid;

// Tracks by Gid, for the indexes that hold an entry for every track of the library (the store's
// and the members of "本地音乐"). An entry is the track and its key's hash, nothing more: the
// key is read from the track's own record, so an entry allocates nothing and takes 12 bytes a
// slot, where a node of a hashed map took some 70 with the allocator's share. Open addressing
// with linear probing over the hashes alone, in Robin Hood order, so a lookup reads a few
// hashes and, unless they match, no track; a removal moves the entries after it back, so no
// markers pile up over a long session.
// A track's Gid must not change while an index holds it (none does: it is given when the record
// is made, before the track is indexed). Not for use by two threads at once, as the maps before.
class GidIndex {
public:
    GidIndex() = default;
    GidIndex(GidIndex&& other) noexcept;
    GidIndex& operator=(GidIndex&& other) noexcept;
    GidIndex(const GidIndex&) = delete;
    GidIndex& operator=(const GidIndex&) = delete;
    ~GidIndex();

    // The track held under `gid`, or null.
    CQvMusic* Find(const QString& gid) const;
    // The same for a record's key, read without making a text of it.
    CQvMusic* Find(const TrackGid& gid) const;
    bool Contains(const QString& gid) const { return Find(gid) != nullptr; }
    bool Contains(const TrackGid& gid) const { return Find(gid) != nullptr; }
    // Adds the track under its Gid: false when that Gid is already held (by it or another
    // track), or the track has no record.
    bool Insert(CQvMusic* track);
    // Adds the track under its Gid, or puts it in the place of the one held there.
    void Put(CQvMusic* track);
    // Forgets what is held under `gid`; false when nothing was.
    bool Erase(const QString& gid);
    bool Erase(const TrackGid& gid);
    // Forgets the track's entry only while its Gid holds this very track (another track of the
    // same Gid keeps its place).
    bool EraseTrack(const CQvMusic* track);

    size_t Size() const { return m_size; }
    bool IsEmpty() const { return m_size == 0; }
    // Forgets every entry and frees the slots.
    void Clear();
    // Room for `count` entries without growing again.
    void Reserve(size_t count);

    // The tracks held, in no particular order. An insertion or removal ends a walk.
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = CQvMusic*;
        using difference_type = std::ptrdiff_t;
        using pointer = CQvMusic* const*;
        using reference = CQvMusic* const&;

        Iterator() = default;
        reference operator*() const { return m_index->m_tracks[m_slot]; }
        Iterator& operator++()
        {
            ++m_slot;
            Skip();
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const Iterator& other) const { return m_slot == other.m_slot; }

    private:
        friend class GidIndex;
        Iterator(const GidIndex* index, size_t slot) : m_index(index), m_slot(slot) { Skip(); }
        void Skip()
        {
            while (m_slot < m_index->m_capacity && m_index->m_hashes[m_slot] == 0) ++m_slot;
        }
        const GidIndex* m_index = nullptr;
        size_t m_slot = 0;
    };
    Iterator begin() const { return Iterator(this, 0); }
    Iterator end() const { return Iterator(this, m_capacity); }

private:
    static constexpr size_t kNone = ~size_t(0);
    // The slot holding `gid`, or kNone.
    size_t SlotOf(QStringView gid, uint32_t hash) const;
    // Makes room for one more entry.
    void Prepare();
    void Rehash(size_t capacity);
    // Puts the entry at `slot`, `distance` from its home, or further on past the entries that
    // are further from theirs.
    void Place(uint32_t hash, CQvMusic* track, size_t slot, size_t distance);
    void EraseSlot(size_t slot);

    // 0 marks an empty slot; a key whose hash is 0 is stored as 1.
    std::unique_ptr<uint32_t[]> m_hashes;
    std::unique_ptr<CQvMusic*[]> m_tracks;
    size_t m_capacity = 0; // 0 or a power of two
    size_t m_size = 0;
};

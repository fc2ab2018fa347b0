#pragma once
#include "model/IMedia.h"

#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>

struct TrackInfo;

// The one track class: owns its TrackInfo, the attached object, the lyrics cache and the
// alternative source URLs, all freed with the last reference. A track made with its record
// (CreateMediaWithRecord) holds both in one block.
class CQvMusic final : public IMedia {
public:
    CQvMusic();

    int AddRef() override;
    int Release() override;
    int AttachObject(QObject* object, TrackInfo* info) override;
    int AttachInfo(TrackInfo* info, QObject* owner) override;
    TrackInfo* GetInfo() const override;
    QObject* GetAttachedObject() const override;
    int ReadTagsIntoInfo(AudioTagFields& fields) override;
    // The second half of ReadTagsIntoInfo, for tags read already: the record takes them.
    void TakeTags(const AudioTagFields& fields);
    int ReadTags(AudioTagFields& fields) override;
    int ReadAudioProperties() override;
    int WriteTagsTo(const QString& path) override;
    int WriteTagsAndLyrics() override;
    int EmbedPictureInto(const QString& audioPath, const QString& picturePath) override;
    int EmbedPicture(const QString& picturePath) override;
    int WriteLyricsTo(const QString& audioPath, const QString& lyrics) override;
    int WriteCachedLyricsTo(const QString& audioPath) override;
    int GetLyricsText(QString& text) const override;
    int SetMark(int mark) override;
    void SetLyricsText(const QString& text) override;
    void CopyLyricsText(QString& text) const override;
    int HasLyrics() const override;
    void SetHasLyrics(int has) override;
    int GetSpareFlag() const override;
    QStringList& GetStringList() override;
    unsigned GetState() const override;
    void AddState(unsigned bits) override;
    unsigned RemoveState(unsigned bits) override;
    int LoadLyrics() override;

    // 3 for a stream (NSrc set), else 2 when the record has a title, else 1.
    int SourceKind() const { return int(m_ownerWord & kKindBits); }
    QObject* Owner() const { return reinterpret_cast<QObject*>(m_ownerWord & ~kFlagBits); }

    // A track's block may hold its record too: it is given back whole, as it was taken.
    static void operator delete(void* p) { ::operator delete(p); }

private:
    friend CQvMusic* CreateMediaWithRecord();
    // What few tracks ever carry, made on first use: a library of a hundred thousand tracks
    // keeps only a null pointer for it in most of them.
    struct Extras;

    ~CQvMusic() override;
    void UpdateKind();
    // Takes `info` as the record, the one held before destroyed (its room in the block, if it
    // was made there, stays until the track goes).
    void TakeInfo(TrackInfo* info);
    void SetOwner(QObject* owner) { m_ownerWord = reinterpret_cast<uintptr_t>(owner) | (m_ownerWord & kFlagBits); }
    void SetKind(int kind) { m_ownerWord = (m_ownerWord & ~kKindBits) | uintptr_t(kind); }
    bool InfoInBlock() const { return (m_ownerWord & kInfoInBlock) != 0; }
    void SetInfoInBlock(bool in) { m_ownerWord = in ? m_ownerWord | kInfoInBlock : m_ownerWord & ~kInfoInBlock; }
    void KeepLoadedLyrics(const QString& text);
    Extras* FindExtras() const { return m_pExtras.load(std::memory_order_acquire); }
    Extras& MakeExtras() const;

    std::atomic<int> m_nRef {1};
    // Workers (loading the library, importing) change it while the window reads it to draw rows.
    std::atomic<unsigned> m_uState {STATE_WORD_NEW};
    TrackInfo* m_pInfo = nullptr;
    // The owner, the kind (0..3) and whether m_pInfo was made in the track's own block, in one
    // word: an object's address leaves its three lowest bits free. With the attached object
    // among the extras, a track takes 40 bytes, and with its record one block of 192.
    uintptr_t m_ownerWord = 0;
    // Made by whichever thread first needs it (a lyrics job or the window), never replaced.
    mutable std::atomic<Extras*> m_pExtras {nullptr};

    static constexpr unsigned STATE_WORD_NEW = 0x1;
    static constexpr uintptr_t kKindBits = 0x3;
    static constexpr uintptr_t kInfoInBlock = 0x4;
    static constexpr uintptr_t kFlagBits = 0x7;
};

using TrackRef = MediaRef<CQvMusic>;

// A new track with one reference and no record for type 0; null for any other type.
CQvMusic* CreateMedia(int type);
// A new track with one reference and a new record of its own (kind 1), both in one block: the
// hundred thousand tracks of a library save the second block's overhead each. Null when there
// is no memory.
CQvMusic* CreateMediaWithRecord();

#pragma once
#include "model/IMedia.h"

#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

struct TrackInfo;

// The one track class: owns its TrackInfo, the attached object, the lyrics cache and the
// alternative source URLs, all freed with the last reference.
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
    int SourceKind() const { return m_nKind; }
    QObject* Owner() const { return m_pOwner; }

private:
    ~CQvMusic() override;
    void UpdateKind();
    void KeepLoadedLyrics(const QString& text);

    std::atomic<int> m_nRef {1};
    std::unique_ptr<TrackInfo> m_pInfo;
    std::unique_ptr<QObject> m_pAttached;
    QObject* m_pOwner = nullptr;
    int m_nKind = 0;
    // Workers (loading the library, importing) change it while the window reads it to draw rows.
    std::atomic<unsigned> m_uState {STATE_WORD_NEW};
    // The lyrics text and its flag are written by the lyrics jobs (several may run for one
    // track) and read by the window.
    mutable std::mutex m_lyricsMutex;
    QString m_strLyrics;
    int m_nHasLyrics = 0;
    QStringList m_urls;
    int m_nMark = 0;
    int m_nSpare = 0;

    static constexpr unsigned STATE_WORD_NEW = 0x1;
};

using TrackRef = MediaRef<CQvMusic>;

// A new track with one reference and no record for type 0; null for any other type.
CQvMusic* CreateMedia(int type);

#include "model/CQvMusic.h"

#include "model/AudioTag.h"
#include "model/CAudioTag.h"
#include "model/LyricsFile.h"
#include "model/LyricsLookup.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <mutex>

namespace {

ILyricsLookup* g_lyricsLookup = nullptr;

bool FileExists(const QString& path) { return !path.isEmpty() && QFileInfo(path).isFile(); }

// A channel text is one of five: the tracks an import reads share one copy of each, as loaded
// ones do.
TrackText SharedChannelText(const QString& text)
{
    static const TrackText kTexts[] = {TrackText(ChannelText(0)), TrackText(ChannelText(1)), TrackText(ChannelText(2)),
                                       TrackText(ChannelText(3)), TrackText(ChannelText(-1))};
    for (const TrackText& shared : kTexts)
        if (shared == text) return shared;
    return TrackText(text);
}

} // namespace

void SetLyricsLookup(ILyricsLookup* lookup) { g_lyricsLookup = lookup; }
ILyricsLookup* GetLyricsLookup() { return g_lyricsLookup; }

CQvMusic* CreateMedia(int type)
{
    if (type != 0) return nullptr;
    return new (std::nothrow) CQvMusic();
}

static_assert(alignof(QObject) > 0x7, "a track keeps three bits beside its owner's address");

CQvMusic* CreateMediaWithRecord()
{
    constexpr size_t kInfoAt = (sizeof(CQvMusic) + alignof(TrackInfo) - 1) / alignof(TrackInfo) * alignof(TrackInfo);
    void* block = ::operator new(kInfoAt + sizeof(TrackInfo), std::nothrow);
    if (!block) return nullptr;
    auto* track = new (block) CQvMusic();
    track->m_pInfo = new (static_cast<char*>(block) + kInfoAt) TrackInfo();
    track->SetInfoInBlock(true);
    track->UpdateKind();
    return track;
}

struct CQvMusic::Extras {
    // Only a track given one by AttachObject holds an attached object.
    std::unique_ptr<QObject> attached;
    // The lyrics text and its flag are written by the lyrics jobs (several may run for one
    // track) and read by the window.
    std::mutex lyricsMutex;
    QString lyrics;
    int hasLyrics = 0;
    QStringList urls;
    int mark = 0;
};

CQvMusic::CQvMusic() = default;

CQvMusic::~CQvMusic()
{
    delete m_pExtras.load();
    TakeInfo(nullptr);
}

void CQvMusic::TakeInfo(TrackInfo* info)
{
    if (info == m_pInfo) return;
    if (InfoInBlock()) m_pInfo->~TrackInfo();
    else delete m_pInfo;
    SetInfoInBlock(false);
    m_pInfo = info;
}

CQvMusic::Extras& CQvMusic::MakeExtras() const
{
    if (Extras* e = FindExtras()) return *e;
    auto made = std::make_unique<Extras>();
    Extras* expected = nullptr;
    // Two threads may come at once: the first one's stays, the other's is dropped.
    if (m_pExtras.compare_exchange_strong(expected, made.get(), std::memory_order_acq_rel)) return *made.release();
    return *expected;
}

int CQvMusic::AddRef() { return ++m_nRef; }

int CQvMusic::Release()
{
    const int n = --m_nRef;
    if (n == 0) delete this;
    return n;
}

void CQvMusic::UpdateKind()
{
    if (!m_pInfo) SetKind(0);
    else if (!m_pInfo->NSrc.isEmpty()) SetKind(3);
    else if (!m_pInfo->Song.isEmpty()) SetKind(2);
    else SetKind(1);
}

int CQvMusic::AttachObject(QObject* object, TrackInfo* info)
{
    if (object != GetAttachedObject()) MakeExtras().attached.reset(object);
    TakeInfo(info);
    SetOwner(nullptr);
    SetKind(3);
    return 1;
}

int CQvMusic::AttachInfo(TrackInfo* info, QObject* owner)
{
    // Attaching the record it already owns again only recomputes the kind.
    TakeInfo(info);
    SetOwner(owner);
    UpdateKind();
    return 1;
}

TrackInfo* CQvMusic::GetInfo() const { return m_pInfo; }

QObject* CQvMusic::GetAttachedObject() const
{
    const Extras* e = FindExtras();
    return e ? e->attached.get() : nullptr;
}

int CQvMusic::ReadTagsIntoInfo(AudioTagFields& fields)
{
    if (!m_pInfo) return 0;
    const int ok = ReadAudioTags(m_pInfo->LSrc, fields);
    // A file that could not be read leaves the record as it was.
    if (!ok) return 0;
    TakeTags(fields);
    return ok;
}

void CQvMusic::TakeTags(const AudioTagFields& fields)
{
    if (!m_pInfo) return;
    TrackInfo& t = *m_pInfo;
    t.Album = fields.album;
    t.Artist = fields.artist;
    t.Song = fields.title;
    t.Genre = fields.genre;
    t.ReleaseTimeText.clear();
    t.Frequency = fields.sampleRate;
    t.TotleTime = fields.length;
    t.BitRate = fields.bitRate;
    t.Stereo = SharedChannelText(fields.channels);
    t.TrackNum = fields.trackNum;
}

int CQvMusic::ReadTags(AudioTagFields& fields)
{
    if (!m_pInfo || !FileExists(m_pInfo->LSrc)) return 0;
    return ReadAudioTags(m_pInfo->LSrc, fields);
}

int CQvMusic::ReadAudioProperties()
{
    if (!m_pInfo) return 0;
    AudioTagFields fields;
    const int ok = ::ReadAudioProperties(m_pInfo->LSrc, fields);
    if (!ok) return 0;
    m_pInfo->Frequency = fields.sampleRate;
    m_pInfo->TotleTime = fields.length;
    m_pInfo->BitRate = fields.bitRate;
    m_pInfo->Stereo = SharedChannelText(fields.channels);
    return ok;
}

int CQvMusic::WriteTagsTo(const QString& path)
{
    if (!m_pInfo) return 0;
    AudioTagFields fields;
    fields.title = m_pInfo->Song;
    fields.artist = m_pInfo->Artist;
    fields.album = m_pInfo->Album;
    WriteAudioTags(path, &fields, QString(), QString());
    return 0;
}

int CQvMusic::WriteTagsAndLyrics()
{
    if (!m_pInfo) return 0;
    LoadLyrics();
    QString lyrics;
    CopyLyricsText(lyrics);
    AudioTagFields fields;
    fields.title = m_pInfo->Song;
    fields.artist = m_pInfo->Artist;
    fields.album = m_pInfo->Album;
    WriteAudioTags(m_pInfo->LSrc, &fields, lyrics, QString());
    return 0;
}

int CQvMusic::EmbedPictureInto(const QString& audioPath, const QString& picturePath)
{
    EmbedAudioPicture(audioPath, picturePath);
    return 1;
}

int CQvMusic::EmbedPicture(const QString& picturePath)
{
    if (picturePath.isEmpty() || !m_pInfo) return 0;
    EmbedAudioPicture(m_pInfo->LSrc, picturePath);
    return 1;
}

int CQvMusic::WriteLyricsTo(const QString& audioPath, const QString& lyrics)
{
    if (lyrics.isEmpty()) return 0;
    WriteAudioTags(audioPath, nullptr, lyrics, QString());
    return 1;
}

int CQvMusic::WriteCachedLyricsTo(const QString& audioPath)
{
    LoadLyrics();
    QString lyrics;
    CopyLyricsText(lyrics);
    WriteAudioTags(audioPath, nullptr, lyrics, QString());
    return 1;
}

int CQvMusic::GetLyricsText(QString& text) const
{
    CopyLyricsText(text);
    return 1;
}

int CQvMusic::SetMark(int mark)
{
    if (mark != 0 || FindExtras()) MakeExtras().mark = mark;
    return 0;
}

void CQvMusic::SetLyricsText(const QString& text)
{
    if (text.isEmpty() && !FindExtras()) return;
    Extras& e = MakeExtras();
    std::lock_guard lock(e.lyricsMutex);
    e.lyrics = text;
}

void CQvMusic::CopyLyricsText(QString& text) const
{
    Extras* e = FindExtras();
    if (!e) {
        text.clear();
        return;
    }
    std::lock_guard lock(e->lyricsMutex);
    text = e->lyrics;
}

int CQvMusic::HasLyrics() const
{
    Extras* e = FindExtras();
    if (!e) return 0;
    std::lock_guard lock(e->lyricsMutex);
    return e->hasLyrics;
}

void CQvMusic::SetHasLyrics(int has)
{
    if (has == 0 && !FindExtras()) return;
    Extras& e = MakeExtras();
    std::lock_guard lock(e.lyricsMutex);
    e.hasLyrics = has;
}

// Nothing sets the spare flag.
int CQvMusic::GetSpareFlag() const { return 0; }

QStringList& CQvMusic::GetStringList() { return MakeExtras().urls; }

unsigned CQvMusic::GetState() const { return m_uState.load(); }

void CQvMusic::AddState(unsigned bits) { m_uState.fetch_or(bits); }

unsigned CQvMusic::RemoveState(unsigned bits) { return m_uState.fetch_and(~bits) & ~bits; }

void CQvMusic::KeepLoadedLyrics(const QString& text)
{
    Extras& e = MakeExtras();
    std::lock_guard lock(e.lyricsMutex);
    // Another job may have set lyrics while these were read; the first ones stay.
    if (e.lyrics.isEmpty()) e.lyrics = text;
    e.hasLyrics = 1;
}

int CQvMusic::LoadLyrics()
{
    if (Extras* e = FindExtras()) {
        std::lock_guard lock(e->lyricsMutex);
        if (!e->lyrics.isEmpty()) return 1;
    }
    if (!m_pInfo) return 0;

    // A record that names no lyrics file takes the ".lrc" beside the music file, before the table.
    // Read without the lock: a slow disk or database must not hold up the window.
    const QString lyricsFile = m_pInfo->Rare().LrcFile.isEmpty() ? LyricsFileBeside(m_pInfo->LSrc) : m_pInfo->Rare().LrcFile.str();
    QString text;
    if (lyricsFile.isEmpty()) {
        ILyricsLookup* lookup = g_lyricsLookup;
        if (lookup && lookup->FindLyrics(m_pInfo->Gid, text)) {
            KeepLoadedLyrics(text);
            return 1;
        }
        return 0;
    }
    if (!ReadLyricsFile(lyricsFile, text))
        return m_pInfo->Rare().LrcFile == QLatin1String("deletelrc") ? 1 : 0;
    KeepLoadedLyrics(text);
    return 1;
}

#include "lyrics/CLyrics.h"
#include "lyrics/CLyricsTable.h"

#include "base/CodePage.h"
#include "model/CQvMusic.h"
#include "model/LyricsFile.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"
#include "tests/common/TestUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Lines = std::vector<std::pair<quint32, QString>>;

Lines LinesOf(const CLyrics& lyrics)
{
    Lines out;
    for (const CLyrics_Struct& l : lyrics.Lines()) out.emplace_back(l.time, l.text);
    return out;
}

const QString kLoaded = QStringLiteral("[ti:晴天]\n[ar:某人]\n[00:00.30]故事的小黄花\n[00:04.00]It's the 'quote' line\n"
                                       "[01:02.03][00:10.50]从出生那年就飘着\n");

// A program home with its own configuration, store and library operations, and the lyrics
// table installed as the tracks' lookup. Reopen() starts a new session on the same files.
struct Session {
    QTemporaryDir dir;
    QString home;
    std::unique_ptr<CQvConf> conf;
    std::unique_ptr<CQvMediaStore> store;
    std::unique_ptr<CMediaLibrary> lib;
    std::unique_ptr<CLyricsTable> table;

    Session()
    {
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        home = dir.path() + QStringLiteral("/home/");
        Reopen();
    }
    ~Session() { SetLyricsLookup(nullptr); }
    void Reopen()
    {
        SetLyricsLookup(nullptr);
        table.reset();
        lib.reset();
        store.reset();
        conf = std::make_unique<CQvConf>();
        conf->SetDirectories(home);
        conf->OpenAllMissing();
        store = std::make_unique<CQvMediaStore>();
        lib = std::make_unique<CMediaLibrary>(*store, *conf);
        table = std::make_unique<CLyricsTable>(*lib);
        SetLyricsLookup(table.get());
    }
    QString File(const QString& name, const QByteArray& bytes = "x") const
    {
        const QString path = dir.path() + QStringLiteral("/music/") + name;
        QDir().mkpath(QFileInfo(path).path());
        testutil::WriteFile(path, bytes);
        return path;
    }
    // A library track for an audio file of that name.
    TrackRef AddTrack(const QString& name, const QString& lrcFile = QString())
    {
        TrackRef t = TrackRef::Adopt(CreateMedia(0));
        auto* info = new TrackInfo;
        info->LSrc = File(name);
        info->Gid = MakeGid(info->LSrc);
        info->Song = QFileInfo(name).completeBaseName();
        info->EditRare().LrcFile = lrcFile;
        t->AttachInfo(info, nullptr);
        EXPECT_EQ(lib->AddTrack(t.get()), 1);
        return t;
    }
    CQvMusic* Reloaded(const QString& gid)
    {
        Reopen();
        EXPECT_GE(lib->LoadTracks(), 1);
        std::lock_guard lock(lib->Mutex());
        return store->FindTrack(gid, 0);
    }
    QByteArray RawRow(const QString& gid)
    {
        SqliteStatement stmt;
        if (conf->LyricsDb()->Prepare("SELECT Lrc FROM Lyrics WHERE Gid=?", stmt) != kSqliteOk) return "no statement";
        if (Bind(stmt, gid) != kSqliteOk || stmt.Step() != kSqliteRow) return QByteArray();
        return stmt.ColumnBytes(0);
    }
};

// The track's lyrics from its sources, parsed, with the stored offset applied as on show.
void LoadAndShow(CQvMusic* track, CLyrics& lyrics)
{
    EXPECT_EQ(track->LoadLyrics(), 1);
    QString text;
    track->GetLyricsText(text);
    lyrics.Parse(text);
    lyrics.ApplyStoredOffset();
}

Lines LoadAndShow(CQvMusic* track)
{
    CLyrics lyrics;
    LoadAndShow(track, lyrics);
    return LinesOf(lyrics);
}

// What the player does with a track's lyrics from start to end of playing: load and parse them,
// apply their stored offset (the panel's load message, twice: once more on a resume), then two
// presses of "歌词前进0.5秒" and one of "歌词后退0.5秒", and the unload that stores the result.
// The lines as the user left them.
Lines PlayAndRetime(CMediaLibrary& lib, CQvMusic* track, QString* stored = nullptr)
{
    CLyrics lyrics;
    LoadAndShow(track, lyrics);
    lyrics.Shift(500, 5000);
    lyrics.ApplyStoredOffset();
    lyrics.Shift(500, 5000);
    lyrics.Shift(-500, 5000);
    const Lines left = LinesOf(lyrics);
    EXPECT_NE(lyrics.TotalShift(), 0);
    const QString out = lyrics.Serialise();
    EXPECT_EQ(StoreAdjustedLyrics(lib, track, out), 1);
    if (stored) *stored = out;
    QString now;
    track->GetLyricsText(now);
    EXPECT_EQ(now, out);
    return left;
}

} // namespace

TEST(LyricsTable, QuotesAndChineseStoreAndReadBackUnchanged)
{
    Session s;
    const QString gid = QStringLiteral("it's-a-'gid'");
    QString text;
    EXPECT_FALSE(s.table->FindLyrics(gid, text));

    EXPECT_EQ(s.table->StoreLyrics(gid, kLoaded), kSqliteOk);
    ASSERT_TRUE(s.table->FindLyrics(gid, text));
    EXPECT_EQ(text, kLoaded);
    // Stored as code-page text, as the file has always held it.
    EXPECT_EQ(s.RawRow(gid), ToAnsi(kLoaded));

    // A second store replaces the row's text.
    EXPECT_EQ(s.table->StoreLyrics(gid, QStringLiteral("[00:01.00]'")), kSqliteOk);
    ASSERT_TRUE(s.table->FindLyrics(gid, text));
    EXPECT_EQ(text, QStringLiteral("[00:01.00]'"));
    EXPECT_FALSE(s.table->FindLyrics(QStringLiteral("it's"), text));

    // Adding keeps a row that is there; a new Gid gets its row.
    EXPECT_NE(s.table->AddLyrics(gid, kLoaded), kSqliteOk);
    ASSERT_TRUE(s.table->FindLyrics(gid, text));
    EXPECT_EQ(text, QStringLiteral("[00:01.00]'"));
    EXPECT_EQ(s.table->AddLyrics(QStringLiteral("it's"), kLoaded), kSqliteOk);
    EXPECT_EQ(s.RawRow(QStringLiteral("it's")), ToAnsi(kLoaded));

    // Without a connection nothing is found or stored.
    s.conf->CloseAll();
    EXPECT_FALSE(s.table->FindLyrics(gid, text));
    EXPECT_NE(s.table->StoreLyrics(gid, kLoaded), kSqliteOk);
}

TEST(LyricsStorage, RetimedDatabaseLyricsComeBackWhereTheUserLeftThem)
{
    Session s;
    TrackRef track = s.AddTrack(QStringLiteral("a.mp3"));
    const QString gid = track->GetInfo()->Gid;
    ASSERT_EQ(s.table->StoreLyrics(gid, kLoaded), kSqliteOk);

    QString stored;
    const Lines left = PlayAndRetime(*s.lib, track.get(), &stored);
    EXPECT_TRUE(stored.startsWith(QStringLiteral("[DeltalTime:500]\n")));
    EXPECT_TRUE(stored.contains(QStringLiteral("[00:04.00]It's the 'quote' line\n")));

    CQvMusic* again = s.Reloaded(gid);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(LoadAndShow(again), left);

    // A second session's adjustment goes on top of the first.
    PlayAndRetime(*s.lib, again, &stored);
    EXPECT_TRUE(stored.startsWith(QStringLiteral("[DeltalTime:1000]\n")));
}

TEST(LyricsStorage, TrackWithoutStoredLyricsGetsARow)
{
    Session s;
    TrackRef track = s.AddTrack(QStringLiteral("new.mp3"));
    const QString gid = track->GetInfo()->Gid;
    // Lyrics the track holds without a row (fetched, but not cached in the table).
    track->SetLyricsText(kLoaded);
    track->SetHasLyrics(1);
    EXPECT_TRUE(s.RawRow(gid).isEmpty());

    const Lines left = PlayAndRetime(*s.lib, track.get());
    EXPECT_FALSE(s.RawRow(gid).isEmpty());

    CQvMusic* again = s.Reloaded(gid);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->GetInfo()->Lrc, 1);
    EXPECT_EQ(LoadAndShow(again), left);
}

TEST(LyricsStorage, RetimedLyricsFileIsRewrittenInItsOwnEncoding)
{
    const struct {
        const char* name;
        LyricsFileEncoding encoding;
    } cases[] = {
        {"gbk.lrc", LyricsFileEncoding::CodePage},
        {"utf8.lrc", LyricsFileEncoding::Utf8},
        {"bom.lrc", LyricsFileEncoding::Utf8Bom},
        {"utf16.lrc", LyricsFileEncoding::Utf16LeBom},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session s;
        const QString lrc = s.File(QString::fromLatin1(c.name), EncodeLyricsFile(kLoaded, c.encoding));
        TrackRef track = s.AddTrack(QStringLiteral("song.mp3"), lrc);
        const QString gid = track->GetInfo()->Gid;

        QString stored;
        const Lines left = PlayAndRetime(*s.lib, track.get(), &stored);
        // The file holds the new text in the encoding it had; the table got nothing.
        EXPECT_EQ(testutil::ReadFile(lrc), EncodeLyricsFile(stored, c.encoding));
        LyricsFileEncoding read;
        DecodeLyricsFile(testutil::ReadFile(lrc), &read);
        EXPECT_EQ(int(read), int(c.encoding));
        EXPECT_TRUE(s.RawRow(gid).isEmpty());

        CQvMusic* again = s.Reloaded(gid);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->GetInfo()->Rare().LrcFile, lrc);
        EXPECT_EQ(LoadAndShow(again), left);
    }
}

TEST(LyricsStorage, NothingIsStoredWhereItWouldLoseOrMisplaceText)
{
    Session s;
    // A lyrics file changed by another program while the track played is not overwritten.
    const QString lrc = s.File(QStringLiteral("edited.lrc"), kLoaded.toUtf8());
    TrackRef track = s.AddTrack(QStringLiteral("edited.mp3"), lrc);
    ASSERT_EQ(track->LoadLyrics(), 1);
    testutil::WriteFile(lrc, "[00:09.00]edited meanwhile\n");
    CLyrics lyrics;
    QString text;
    track->GetLyricsText(text);
    lyrics.Parse(text);
    lyrics.Shift(500, 0);
    StoreAdjustedLyrics(*s.lib, track.get(), lyrics.Serialise());
    EXPECT_EQ(testutil::ReadFile(lrc), QByteArray("[00:09.00]edited meanwhile\n"));

    // A track marked removed gets no row; nor does a track the library does not hold.
    TrackRef removed = s.AddTrack(QStringLiteral("removed.mp3"));
    removed->SetLyricsText(kLoaded);
    ASSERT_EQ(s.lib->RemoveTrack(removed.get()), 1);
    EXPECT_EQ(StoreAdjustedLyrics(*s.lib, removed.get(), QStringLiteral("[DeltalTime:500]\n[00:01.00]a\n")), 0);
    EXPECT_TRUE(s.RawRow(removed->GetInfo()->Gid).isEmpty());

    TrackRef stranger = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Gid = MakeGid(QStringLiteral("/nowhere/x.mp3"));
    stranger->AttachInfo(info, nullptr);
    EXPECT_EQ(StoreAdjustedLyrics(*s.lib, stranger.get(), QStringLiteral("[DeltalTime:500]\n[00:01.00]a\n")), 0);
    EXPECT_TRUE(s.RawRow(info->Gid).isEmpty());

    // An empty text (a model without timed lines) stores nothing and keeps the track's text.
    TrackRef plain = s.AddTrack(QStringLiteral("plain.mp3"));
    plain->SetLyricsText(QStringLiteral("just words"));
    EXPECT_EQ(StoreAdjustedLyrics(*s.lib, plain.get(), QString()), 0);
    plain->GetLyricsText(text);
    EXPECT_EQ(text, QStringLiteral("just words"));
}

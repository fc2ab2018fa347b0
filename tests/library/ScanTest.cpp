#include "library/LibraryScan.h"

#include "store/CSqliteDb.h"
#include "store/Schema.h"
#include "store/TrackBuilder.h"

#include "base/MessageIds.h"
#include "base/Worker.h"
#include "model/TrackInfo.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/library/LibraryTestUtil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <tuple>
#include <vector>

#include <gtest/gtest.h>

using librarytest::Session;

namespace {

// Stands in for the main window and the controller: records what the workers tell them.
class Window : public CMsgWindow {
public:
    struct Msg {
        unsigned msg;
        quintptr w;
        qintptr l;
    };
    std::vector<Msg> messages;
    std::function<void(const Msg&)> onMessage;

    qintptr OnMessage(unsigned msg, quintptr w, qintptr l) override
    {
        messages.push_back({msg, w, l});
        if (onMessage) onMessage(messages.back());
        return 0;
    }
    std::vector<Msg> Of(unsigned msg) const
    {
        std::vector<Msg> out;
        for (const Msg& m : messages)
            if (m.msg == msg) out.push_back(m);
        return out;
    }
    int Count(unsigned msg, qintptr l) const
    {
        int n = 0;
        for (const Msg& m : messages) n += m.msg == msg && m.l == l;
        return n;
    }
};

// `count` tagged MP3s of 600 KB (or `bytes`) in folders of 100, as a music folder holds them.
QStringList MakeMusic(const QString& base, int count, qint64 bytes = 600 * 1024)
{
    const QString folder = QDir::cleanPath(base);
    fixtures::Mp3Options audio;
    audio.seconds = 0.2;
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString dir = QStringLiteral("%1/Artist %2/Album").arg(folder).arg(i / 100);
        QDir().mkpath(dir);
        const QString path = QStringLiteral("%1/track %2.mp3").arg(dir).arg(i);
        if (!fixtures::WriteMp3OfSize(path, bytes, audio, fixtures::Tags::Id3v2(QStringLiteral("歌 %1").arg(i))))
            return {};
        paths.append(path);
    }
    return paths;
}

int Rows(Session& s, const char* sql)
{
    SqliteStatement st;
    if (s.conf->LibraryDb()->Prepare(sql, st) != kSqliteOk) return -1;
    return st.Step() == kSqliteRow ? st.ColumnInt(0) : -1;
}

struct ScanEnv {
    Session s;
    Window mainWindow;
    Window controller;
    std::shared_ptr<ScanControl> control = std::make_shared<ScanControl>();

    ScanJob Job(const QStringList& roots = {})
    {
        ScanJob job;
        job.library = s.lib.get();
        job.mainWindow = mainWindow.Target();
        job.controller = controller.Target();
        job.control = control;
        job.roots = roots;
        return job;
    }
};

} // namespace

TEST(StartupScan, FirstRunImportsEveryFileOnceAndTheNextStartAddsNoDuplicates)
{
    ScanEnv e;
    const QString music = e.s.MusicDir();
    const QStringList files = MakeMusic(music, 2000);
    ASSERT_EQ(files.size(), 2000);
    fixtures::WriteMp3OfSize(music + "small.mp3", 400 * 1024, fixtures::Mp3Options {});
    ASSERT_EQ(e.s.Load(), 0);
    e.s.conf->Settings().autoScanPaths = {music};

    RunStartupScan(e.Job());
    EXPECT_EQ(e.s.store->LibraryTracks().size(), 2000u);
    EXPECT_EQ(Rows(e.s, "SELECT count(*) FROM AllMusic"), 2000);
    EXPECT_EQ(Rows(e.s, "SELECT count(DISTINCT LSrc) FROM AllMusic"), 2000);
    for (const QString& f : {files.front(), files.back()}) {
        CQvMusic* t = e.s.store->FindTrack(MakeGid(f), 0);
        ASSERT_TRUE(t) << f.toStdString();
        EXPECT_EQ(t->GetInfo()->AddDay, 0); // found by a scan, not added by the user
    }
    EXPECT_EQ(e.s.store->FindTrack(MakeGid(files[7]), 0)->GetInfo()->Song, "歌 7");
    // The first scan is quiet: the lists are not told, the library view shows the library.
    EXPECT_EQ(e.s.store->FindNode("最近添加")->TrackCount(), 0);
    EXPECT_EQ(e.s.store->FindNode("本地音乐")->TrackCount(), 2000);

    const std::vector<Window::Msg> status = e.mainWindow.Of(WM_SCAN_STATUS);
    ASSERT_GE(status.size(), 2003u);
    EXPECT_EQ(status[0].w, kScanShowSearching);
    EXPECT_EQ(status[1].w, kScanSelectLocal);
    EXPECT_EQ(status[2].w, kScanFound);
    EXPECT_EQ(status[2].l, 1);
    EXPECT_EQ(status[2001].l, 2000);
    EXPECT_EQ(status.back().w, kScanDone);
    EXPECT_EQ(ScanStatusText(kScanDone, 2000), "完成，共找到2000首歌曲");
    EXPECT_EQ(ScanStatusText(kScanFound, 3), "已找到3首歌曲");
    const std::vector<Window::Msg> done = e.mainWindow.Of(WM_IMPORT_DONE);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].w, 1u);
    EXPECT_EQ(done[0].l, 2000);
    EXPECT_EQ(e.s.conf->Settings().search, 2);
    EXPECT_TRUE(QFileInfo::exists(e.s.conf->DataDir() + "Config.xml"));
    EXPECT_TRUE(e.controller.HasTimer(12));
    EXPECT_TRUE(e.controller.HasTimer(23));

    // The next start: the same files, one of them new.
    e.s.Reopen();
    ASSERT_EQ(e.s.conf->LoadConfig(e.s.conf->DataDir()), 0);
    ASSERT_EQ(e.s.Load(), 0);
    EXPECT_EQ(e.s.store->LibraryTracks().size(), 2000u);
    const QString fresh = music + "new/fresh.mp3";
    QDir().mkpath(music + "new");
    ASSERT_TRUE(fixtures::WriteMp3OfSize(fresh, 600 * 1024, fixtures::Mp3Options {}));
    e.mainWindow.messages.clear();
    RunStartupScan(e.Job());
    EXPECT_EQ(e.s.store->LibraryTracks().size(), 2001u);
    EXPECT_EQ(Rows(e.s, "SELECT count(*) FROM AllMusic"), 2001);
    // Files new since the last start count as additions.
    CQvMusic* t = e.s.store->FindTrack(MakeGid(fresh), 0);
    ASSERT_TRUE(t);
    EXPECT_GT(t->GetInfo()->AddDay, 0);
    EXPECT_EQ(e.s.store->FindNode("最近添加")->TrackCount(), 1);
    EXPECT_TRUE(e.mainWindow.Of(WM_SCAN_STATUS).empty());
    ASSERT_EQ(e.mainWindow.Of(WM_IMPORT_DONE).size(), 1u);
    EXPECT_EQ(e.mainWindow.Of(WM_IMPORT_DONE)[0].w, 0u);
}

TEST(FolderImport, EveryTrackJoinsTheRecentListAndItsRowsOutliveARestart)
{
    // More files than one batch takes, so rows are written by several batches.
    Session s;
    // Small files: only their count matters here.
    const QStringList files = MakeMusic(s.MusicDir(), 1100, 16 * 1024);
    ASSERT_EQ(files.size(), 1100);
    static_assert(kImportBatchFiles < 1100);
    ASSERT_EQ(s.Load(), 0);
    int told = 0;
    EXPECT_EQ(ImportFiles(*s.lib, files, false, true, nullptr, [&](CQvMusic*, int) { return ++told, true; }, {}),
              1100);
    EXPECT_EQ(told, 1100);
    for (const QString& f : {files.front(), files.back()})
        EXPECT_EQ(s.store->FindTrack(MakeGid(f), 0)->GetInfo()->AddDay, TodayDayNumber());
    EXPECT_EQ(s.store->FindNode("最近添加")->TrackCount(), 1100);
    SqliteStatement rows;
    ASSERT_EQ(s.conf->TreeDb()->Prepare("SELECT count(*) FROM TreeList WHERE Key=?", rows), kSqliteOk);
    Bind(rows, QStringLiteral("最近添加+我的音乐"));
    ASSERT_EQ(rows.Step(), kSqliteRow);
    EXPECT_EQ(rows.ColumnInt(0), 1100);

    // The import's log is in the library file when it ends: the file alone, as a copy taken
    // without its log, holds every row, and the connection checkpoints by itself again.
    const QString libraryPath = s.conf->LibraryDb()->Path();
    const QString fileAlone = s.dir.path() + QStringLiteral("/alone.db");
    ASSERT_TRUE(QFile::copy(libraryPath, fileAlone));
    {
        CSqliteDb copy(fileAlone);
        ASSERT_EQ(copy.Open(), kSqliteOk);
        SqliteStatement count;
        ASSERT_EQ(copy.Prepare("SELECT count(*) FROM AllMusic", count), kSqliteOk);
        ASSERT_EQ(count.Step(), kSqliteRow);
        EXPECT_EQ(count.ColumnInt(0), 1100);
    }
    SqliteStatement autoCheckpoint;
    ASSERT_EQ(s.conf->LibraryDb()->Prepare("PRAGMA wal_autocheckpoint", autoCheckpoint), kSqliteOk);
    ASSERT_EQ(autoCheckpoint.Step(), kSqliteRow);
    EXPECT_EQ(autoCheckpoint.ColumnInt(0), 1000);

    // Importing them again adds nothing and leaves the lists as they were.
    EXPECT_EQ(ImportFiles(*s.lib, files, false, true, nullptr, {}, {}), 1100);
    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    EXPECT_EQ(s.store->LibraryTracks().size(), 1100u);
    EXPECT_EQ(s.store->FindNode("最近添加")->TrackCount(), 1100);
}

TEST(FolderImport, TheImportedTracksStandByFolderThenTrackNumberThenName)
{
    Session s;
    ASSERT_EQ(s.Load(), 0);
    CQvMusic* before = s.AddFileTrack("before.mp3");
    // Folders given out of order, names out of their track order, one file without a number.
    const std::vector<std::tuple<QString, unsigned>> files = {
        {"b/2.mp3", 1}, {"b/1.mp3", 2}, {"a b/x.mp3", 0}, {"a/z.mp3", 1}, {"a/y.mp3", 0},
        {"a/w.mp3", 0}, {"a/v.mp3", 3}, {"a-c/1.mp3", 5}, {"a/sub/1.mp3", 1}, {"b/3.mp3", 0},
    };
    QStringList paths;
    fixtures::Mp3Options audio;
    audio.seconds = 0.2;
    for (const auto& [name, track] : files) {
        const QString path = s.MusicDir() + "lib/" + name;
        QDir().mkpath(QFileInfo(path).path());
        fixtures::Tags tags = fixtures::Tags::Id3v2(name);
        tags.id3v2->track = track;
        ASSERT_TRUE(fixtures::WriteMp3OfSize(path, 16 * 1024, audio, tags));
        paths << path;
    }
    ASSERT_EQ(ImportFiles(*s.lib, paths, false, true, nullptr, {}, {}), int(paths.size()));
    QStringList shown;
    for (CQvMusic* t : s.store->FindNode("本地音乐")->Tracks())
        if (t != before) shown << t->GetInfo()->LSrc.Text().mid(s.MusicDir().size() + 4);
    // Folders as their paths compare ("a" before "a b" before "a-c" before "a/sub").
    EXPECT_EQ(shown, QStringList({"a/z.mp3", "a/v.mp3", "a/w.mp3", "a/y.mp3", "a b/x.mp3", "a-c/1.mp3", "a/sub/1.mp3",
                                  "b/2.mp3", "b/1.mp3", "b/3.mp3"}));
    // The track that was there keeps its place after them.
    EXPECT_EQ(s.store->FindNode("本地音乐")->Tracks().back(), before);
}

// An import reads a batch's tags before it makes the batch's tracks: each track must still come
// out as a file read alone gives it, through a restart too.
TEST(FolderImport, TracksReadTogetherHaveEveryFieldAFileReadAloneGives)
{
    Session s;
    ASSERT_EQ(s.Load(), 0);
    fixtures::Mp3Options stereo;
    stereo.seconds = 0.5;
    fixtures::Mp3Options mono = stereo;
    mono.channels = 1;
    QStringList paths;
    auto next = [&](const QString& name) {
        paths << s.MusicDir() + QStringLiteral("mix/") + name;
        QDir().mkpath(QFileInfo(paths.back()).path());
        return paths.back();
    };
    fixtures::Tags full;
    full.id3v2 = fixtures::TagFields {.title = QStringLiteral("中文标题"), .artist = QStringLiteral("歌手"),
                                      .album = QStringLiteral("专辑"), .genre = QStringLiteral("Pop"), .year = 1999,
                                      .track = 7};
    ASSERT_TRUE(fixtures::WriteMp3(next("full.mp3"), stereo, full));
    ASSERT_TRUE(fixtures::WriteMp3(next("no tags.mp3"), mono));
    testutil::WriteFile(next("not audio.mp3"), "these bytes are no MP3");
    next("gone.mp3"); // no file
    QDir().mkpath(next("folder.mp3"));
    CQvMusic* known = s.AddFileTrack(QStringLiteral("mix/known.mp3"));
    paths << known->GetInfo()->LSrc;
    ASSERT_TRUE(fixtures::WriteMp3(next("plain.mp3"), stereo, fixtures::Tags::Id3v2("Title", "Artist", "Album")));

    std::vector<CQvMusic*> told;
    ASSERT_EQ(ImportFiles(*s.lib, paths, false, true, nullptr, [&](CQvMusic* t, int) { return told.push_back(t), true; },
                          {}),
              int(paths.size()));
    // The missing file and the folder give nothing; the known one is the library's own track, told
    // in its place.
    ASSERT_EQ(told.size(), 5u);
    EXPECT_EQ(told[3], known);
    EXPECT_EQ(s.store->FindTrack(MakeGid(paths[3]), 0), nullptr);
    EXPECT_EQ(s.store->FindTrack(MakeGid(paths[4]), 0), nullptr);

    TrackBuildOptions alone;
    alone.userAddition = true;
    auto expectAsAlone = [&](const QString& path) {
        SCOPED_TRACE(path.toStdString());
        CQvMusic* t = s.store->FindTrack(MakeGid(path), 0);
        ASSERT_NE(t, nullptr);
        const TrackRef single = ReadTrackFromFile(path, MakeGid(path), alone);
        ASSERT_TRUE(single);
        const TrackInfo& got = *t->GetInfo();
        const TrackInfo& want = *single->GetInfo();
        EXPECT_EQ(got.Gid, want.Gid);
        EXPECT_EQ(got.LSrc, want.LSrc);
        EXPECT_EQ(got.Song, want.Song);
        EXPECT_EQ(got.Artist.str(), want.Artist.str());
        EXPECT_EQ(got.Album.str(), want.Album.str());
        EXPECT_EQ(got.Genre.str(), want.Genre.str());
        EXPECT_EQ(got.Stereo.str(), want.Stereo.str());
        EXPECT_EQ(got.Frequency, want.Frequency);
        EXPECT_EQ(got.TotleTime, want.TotleTime);
        EXPECT_EQ(got.BitRate, want.BitRate);
        EXPECT_EQ(got.TrackNum, want.TrackNum);
        EXPECT_EQ(got.AddDay, want.AddDay);
    };
    const std::vector<QString> fresh = {paths[0], paths[1], paths[2], paths[6]};
    for (const QString& path : fresh) expectAsAlone(path);
    // What the files hold, so the comparison above is not of two empty records.
    const TrackInfo& first = *s.store->FindTrack(MakeGid(paths[0]), 0)->GetInfo();
    EXPECT_EQ(first.Song, QStringLiteral("中文标题"));
    EXPECT_EQ(first.Artist.str(), QStringLiteral("歌手"));
    EXPECT_EQ(first.Album.str(), QStringLiteral("专辑"));
    EXPECT_EQ(first.TrackNum, 7);
    EXPECT_EQ(first.Frequency, 44100);
    EXPECT_NE(first.Stereo.str(), s.store->FindTrack(MakeGid(paths[1]), 0)->GetInfo()->Stereo.str());
    EXPECT_EQ(s.store->FindTrack(MakeGid(paths[1]), 0)->GetInfo()->Song, QStringLiteral("no tags"));
    const TrackInfo& unread = *s.store->FindTrack(MakeGid(paths[2]), 0)->GetInfo();
    EXPECT_EQ(unread.Song, QStringLiteral("not audio"));
    EXPECT_EQ(unread.Frequency, 0);

    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    for (const QString& path : fresh) expectAsAlone(path);
}

TEST(StartupScan, AStopRequestEndsTheWorkerAfterTheBatchUnderWay)
{
    ScanEnv e;
    ASSERT_EQ(MakeMusic(e.s.MusicDir(), 2000).size(), 2000);
    ASSERT_EQ(e.s.Load(), 0);
    e.s.conf->Settings().autoScanPaths = {e.s.MusicDir()};

    std::atomic<bool> stopped {false};
    std::atomic<bool> finished {false};
    e.mainWindow.onMessage = [&](const Window::Msg& m) {
        if (m.msg == WM_SCAN_STATUS && m.w == kScanFound && m.l == 50) {
            e.control->stop = true;
            stopped = true;
        }
    };
    ScanJob job = e.Job();
    ASSERT_TRUE(StartWorker([job, &finished] {
        RunStartupScan(job);
        finished = true;
    }));
    ASSERT_TRUE(testutil::WaitUntil([&] { return finished.load(); }, 120000));
    ASSERT_TRUE(stopped.load());
    // No clock here (a loaded machine makes any bound flaky); the count shows that it stopped:
    // what was read of the batch under way is stored, nothing after it.
    static_assert(kImportBatchFiles < 2000);
    EXPECT_LE(e.s.store->LibraryTracks().size(), kImportBatchFiles);
    ASSERT_EQ(e.mainWindow.Of(WM_IMPORT_DONE).size(), 1u); // a user stop still completes
    EXPECT_TRUE(WaitForWorkers(5000));
}

TEST(StartupScan, WithoutTheScanSettingTheChartIsShown)
{
    ScanEnv e;
    ASSERT_EQ(MakeMusic(e.s.MusicDir(), 3).size(), 3);
    ASSERT_EQ(e.s.Load(), 0);
    e.s.conf->Settings().showsearch = 0;
    e.s.conf->Settings().autoScanPaths = {e.s.MusicDir()};
    RunStartupScan(e.Job());
    EXPECT_TRUE(e.s.store->LibraryTracks().empty());
    const std::vector<Window::Msg> status = e.mainWindow.Of(WM_SCAN_STATUS);
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].w, kScanSelectChart);
    EXPECT_TRUE(e.mainWindow.Of(WM_IMPORT_DONE).empty());
    EXPECT_EQ(e.s.conf->Settings().search, 2);
    EXPECT_TRUE(e.controller.HasTimer(12));
}

TEST(DiskScan, ReportsEachTrackAndHonoursIgnoreDeleted)
{
    ScanEnv e;
    const QStringList files = MakeMusic(e.s.MusicDir(), 3);
    ASSERT_EQ(files.size(), 3);
    ASSERT_EQ(e.s.Load(), 0);
    const QStringList roots {e.s.MusicDir()};

    e.control->running = true; // as StartDiskScan leaves it for its worker
    RunDiskScan(e.Job(roots), 1);
    EXPECT_FALSE(e.control->running);
    testutil::WaitUntil([&] { return e.mainWindow.Count(WM_DISK_SCAN_PROGRESS, kDiskScanFinished) == 1; });
    const std::vector<Window::Msg> progress = e.mainWindow.Of(WM_DISK_SCAN_PROGRESS);
    ASSERT_EQ(progress.size(), 6u);
    EXPECT_EQ(progress[0].l, kDiskScanStarted);
    EXPECT_EQ(progress[1].l, kDiskScanSearched);
    for (int i = 2; i < 5; ++i) {
        EXPECT_EQ(progress[i].l, kDiskScanTrack);
        EXPECT_NE(progress[i].w, 0u);
    }
    EXPECT_EQ(progress[5].l, kDiskScanFinished);
    EXPECT_EQ(progress[5].w, 1u);
    EXPECT_EQ(e.control->imported, 3);
    EXPECT_EQ(e.s.store->FindNode("最近添加")->TrackCount(), 3);

    // The user removes one track; a scan that ignores deleted music leaves it out.
    CQvMusic* removed = e.s.store->FindTrack(MakeGid(files[1]), 0);
    ASSERT_EQ(e.s.lib->RemoveTrack(removed), 1);
    e.s.lib->OfferToLists(removed, -1);
    e.control->imported = 0;
    e.control->ignoreDeleted = true;
    RunDiskScan(e.Job(roots), 1);
    EXPECT_EQ(e.control->imported, 2);
    EXPECT_TRUE(removed->GetState() & STATE_REMOVED);
    EXPECT_EQ(e.s.store->LibraryTracks().size(), 2u);

    // Unchecked, it comes back.
    e.control->imported = 0;
    e.control->ignoreDeleted = false;
    RunDiskScan(e.Job(roots), 1);
    EXPECT_EQ(e.control->imported, 3);
    EXPECT_FALSE(removed->GetState() & STATE_REMOVED);
    EXPECT_EQ(e.s.store->LibraryTracks().size(), 3u);
    EXPECT_EQ(e.s.store->FindNode("本地音乐")->TrackCount(), 3);
}

TEST(DiskScan, AStoppedScanSaysSoAndOnlyOneRunsAtATime)
{
    ScanEnv e;
    ASSERT_EQ(MakeMusic(e.s.MusicDir(), 3).size(), 3);
    ASSERT_EQ(e.s.Load(), 0);
    e.control->stop = true;
    RunDiskScan(e.Job({e.s.MusicDir()}), 1);
    const std::vector<Window::Msg> progress = e.mainWindow.Of(WM_DISK_SCAN_PROGRESS);
    ASSERT_EQ(progress.size(), 2u);
    EXPECT_EQ(progress[0].l, kDiskScanStarted);
    EXPECT_EQ(progress[1].l, kDiskScanStopped);
    EXPECT_TRUE(e.s.store->LibraryTracks().empty());

    e.control->stop = false;
    e.control->running = true;
    EXPECT_FALSE(StartDiskScan(e.Job({e.s.MusicDir()})));
    e.control->running = false;
    e.control->imported = 7;
    ASSERT_TRUE(StartDiskScan(e.Job({e.s.MusicDir()})));
    EXPECT_TRUE(e.control->running || e.control->imported > 0);
    ASSERT_TRUE(testutil::WaitUntil([&] { return e.mainWindow.Count(WM_DISK_SCAN_PROGRESS, kDiskScanFinished) == 1; }, 60000));
    EXPECT_TRUE(WaitForWorkers(5000));
    EXPECT_FALSE(e.control->running);
    EXPECT_EQ(e.control->imported, 3);
}

// The media store's load and save against the floor of reading the same file with SQLite alone.
//
//   scripts/bench bench_store
//
// BM_LoadTracks/N: LoadTracks + LoadStatistics of N tracks (each with a statistics row) into a
// fresh store, including opening and checking the files; rss_per_track is the resident memory the
// loaded store holds per track, rss_mb the process's resident memory once it is loaded. The
// first is a difference: memory the making of the library left free in the heap, which the load
// fills before it takes new pages, makes it smaller without the load holding less, so the two
// are read together. BM_Floor_SqliteSelect/N: a prepared "SELECT *" over both tables
// reading every column. BM_AddTracks/N: N tracks added one by one, each inserting its row, in
// one transaction, as an import stores its batches. Every row points at an existing (empty)
// file, so none is purged.
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"

#include "model/TrackInfo.h"
#include "model/TrackUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>

namespace {

long ResidentBytes()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

TrackRef MakeTrack(const QString& path, int i)
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Gid = MakeGid(path);
    info->LSrc = path;
    info->Song = QStringLiteral("歌曲标题 %1").arg(i);
    info->Artist = QStringLiteral("Artist %1").arg(i % 500);
    info->Album = QStringLiteral("Album %1").arg(i % 2000);
    info->Genre = QStringLiteral("Pop");
    info->Stereo = QStringLiteral("Joint Stereo");
    info->ReleaseTime = QStringLiteral("2009");
    info->Frequency = 44100;
    info->TotleTime = 180 + i % 120;
    info->BitRate = 320;
    info->TrackNum = i % 12;
    if (i % 10 == 0) info->EditRare().Sysid = QStringLiteral("S%1").arg(i);
    t->AttachInfo(info, nullptr);
    return t;
}

// One home per track count: N empty files, AllMusic with N rows, MusicOpt with N rows.
struct Library {
    QTemporaryDir dir;
    QString home;
    std::vector<TrackRef> tracks;

    explicit Library(int n)
    {
        home = dir.path() + QStringLiteral("/home/");
        const QString music = dir.path() + QStringLiteral("/music/");
        for (int i = 0; i < n; ++i) {
            const QString folder = music + QStringLiteral("artist%1/").arg(i / 1000);
            if (i % 1000 == 0) QDir().mkpath(folder);
            const QString path = folder + QStringLiteral("track %1.mp3").arg(i);
            QFile(path).open(QIODevice::WriteOnly);
            tracks.push_back(MakeTrack(path, i));
        }
        CQvConf conf;
        conf.SetDirectories(home);
        CQvMediaStore store;
        CMediaLibrary lib(store, conf);
        for (const TrackRef& t : tracks) store.Add(t.get());
        lib.SaveAllTracks();
        CSqliteDb* stats = conf.OpenStatisticsDb();
        stats->BeginTransaction();
        int k = 0;
        for (const TrackRef& t : tracks)
            stats->Run("INSERT INTO MusicOpt (Gid, Rank, Totle, Year, Month, Day, Hour, Minute)VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                       t->GetInfo()->Gid, k % 7, k % 30, 2026, 1 + k % 12, 1 + k % 28, k % 24, k % 60), ++k;
        stats->CommitTransaction();
        conf.CloseAll();
    }
};

Library& LibraryOf(int n)
{
    static std::map<int, std::unique_ptr<Library>> libraries;
    auto& l = libraries[n];
    if (!l) l = std::make_unique<Library>(n);
    return *l;
}

void BM_LoadTracks(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    Library& l = LibraryOf(n);
    long rssPerTrack = 0;
    long rssLoaded = 0;
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        const long before = ResidentBytes();
        auto conf = std::make_unique<CQvConf>();
        conf->SetDirectories(l.home);
        auto store = std::make_unique<CQvMediaStore>();
        auto lib = std::make_unique<CMediaLibrary>(*store, *conf);
        state.ResumeTiming();

        const int loaded = lib->LoadTracks();
        lib->LoadStatistics();

        state.PauseTiming();
        if (loaded != n) state.SkipWithError("rows were purged");
        rssLoaded = ResidentBytes();
        rssPerTrack = (rssLoaded - before) / n;
        lib.reset();
        store.reset();
        conf->CloseAll(); // the player's clean end
        conf.reset();
        state.ResumeTiming();
    }
    state.counters["rss_per_track"] = static_cast<double>(rssPerTrack);
    state.counters["rss_mb"] = static_cast<double>(rssLoaded) / (1024.0 * 1024.0);
    state.SetItemsProcessed(state.iterations() * n);
}

// The library's rows as the load reads them: newest first, which SQLite sorts.
void BM_Floor_SqliteSelectOrdered(benchmark::State& state);

void FloorSelect(benchmark::State& state, const char* librarySelect)
{
    const int n = static_cast<int>(state.range(0));
    Library& l = LibraryOf(n);
    const QByteArray data = QFile::encodeName(l.home + QStringLiteral("data/"));
    for (auto _ : state) {
        long sum = 0;
        for (const char* file : {"AllMusic2.db", "MusicOperate2.db"}) {
            sqlite3* db = nullptr;
            sqlite3_open_v2((data + file).constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, file[0] == 'A' ? librarySelect : "SELECT * FROM MusicOpt", -1, &stmt, nullptr);
            const int columns = sqlite3_column_count(stmt);
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                for (int c = 0; c < columns; ++c) {
                    if (sqlite3_column_type(stmt, c) == SQLITE_INTEGER) {
                        sum += sqlite3_column_int(stmt, c);
                    } else {
                        benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
                        sum += sqlite3_column_bytes(stmt, c);
                    }
                }
            }
            sqlite3_finalize(stmt);
            sqlite3_close_v2(db);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_Floor_SqliteSelect(benchmark::State& state) { FloorSelect(state, "SELECT * FROM AllMusic"); }

void BM_Floor_SqliteSelectOrdered(benchmark::State& state)
{
    FloorSelect(state, "SELECT * FROM AllMusic ORDER BY AddTime DESC");
}

void BM_SaveAllTracks(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    Library& l = LibraryOf(n);
    QTemporaryDir dir;
    const QString home = dir.path() + QStringLiteral("/home/");
    CQvMediaStore store;
    for (const TrackRef& t : l.tracks) store.Add(t.get());
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* f : {"AllMusic2.db", "AllMusic2.db-wal", "AllMusic2.db-shm", "TempMusic2.db",
                              "TempMusic2.db-wal", "TempMusic2.db-shm"})
            QFile::remove(home + QStringLiteral("data/") + QLatin1String(f));
        auto conf = std::make_unique<CQvConf>();
        conf->SetDirectories(home);
        CMediaLibrary lib(store, *conf);
        state.ResumeTiming();
        if (lib.SaveAllTracks() != 0) state.SkipWithError("save failed");
        conf->CloseAll();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// An import's batches: N AddTrack calls, each inserting its row, inside one transaction, into a
// fresh library file.
void BM_AddTracks(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    Library& l = LibraryOf(100000);
    QTemporaryDir dir;
    const QString home = dir.path() + QStringLiteral("/home/");
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* f : {"AllMusic2.db", "AllMusic2.db-wal", "AllMusic2.db-shm"})
            QFile::remove(home + QStringLiteral("data/") + QLatin1String(f));
        auto conf = std::make_unique<CQvConf>();
        conf->SetDirectories(home);
        CSqliteDb* db = conf->OpenLibraryDb();
        CQvMediaStore store;
        CMediaLibrary lib(store, *conf);
        state.ResumeTiming();
        {
            SqliteTransaction tx(*db);
            for (int i = 0; i < n; ++i) lib.AddTrack(l.tracks[i].get());
            if (tx.Commit() != 0) state.SkipWithError("commit failed");
        }
        state.PauseTiming();
        conf->CloseAll();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_RecordPlay(benchmark::State& state)
{
    Library& l = LibraryOf(1000);
    QTemporaryDir dir;
    CQvConf conf;
    conf.SetDirectories(dir.path() + QStringLiteral("/home/"));
    conf.OpenAllMissing();
    CQvMediaStore store;
    CMediaLibrary lib(store, conf);
    for (const TrackRef& t : l.tracks) lib.AddTrack(t.get());
    size_t i = 0;
    for (auto _ : state) {
        if (lib.RecordPlay(l.tracks[i % l.tracks.size()].get()) != 0) state.SkipWithError("not recorded");
        ++i;
    }
}

} // namespace

BENCHMARK(BM_LoadTracks)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Floor_SqliteSelect)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Floor_SqliteSelectOrdered)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SaveAllTracks)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AddTracks)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_RecordPlay)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();

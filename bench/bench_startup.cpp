// The player's start with a large library, and the list view's sort of it.
//
//   scripts/bench bench_startup
//
// BM_Startup/N: from the application object's start-up sequence to the main window shown and
// idle (library, statistics and tree loaded, the tree pane filled, the list shown) with a library
// of N tracks whose rows point at existing (empty) files, and "showsearch" 0 so no start-up scan
// runs; the service tasks are left out (no network). rss_mb is the process's resident memory
// once the window is idle and the player's periodic trim (timer 3) has run; rss_untrimmed_mb before
// it (it includes what building the library in this process left in the heap).
// BM_SortByTitle/N: a click on the title column's header of the local music list of N tracks
// (sort and list refresh), alternating the direction.
#include "app/CMainDlg.h"
#include "app/CQuarvelApp.h"
#include "app/CQuarvelDlg.h"
#include "app/TrackSort.h"

#include "base/Worker.h"
#include "library/LibraryScan.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

namespace {

double ResidentMb()
{
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// A program home with N library rows over N empty files and the settings of a user who has
// been through the first run (no start-up scan).
struct Home {
    QTemporaryDir dir;
    QString home;

    explicit Home(int n)
    {
        home = dir.path() + QStringLiteral("/home/");
        const QString music = dir.path() + QStringLiteral("/music/");
        CQvConf& conf = CQvConf::Instance();
        conf.SetDirectories(home, ResolveResourceDir());
        conf.InstallDefaultFiles();
        conf.Settings() = ConfigSettings();
        conf.Settings().showsearch = 0;
        conf.Settings().autoaddmusic = 0;
        conf.SaveConfig();

        CQvMediaStore store;
        CMediaLibrary lib(store, conf);
        std::vector<TrackRef> tracks;
        tracks.reserve(n);
        for (int i = 0; i < n; ++i) {
            const QString folder = music + QStringLiteral("artist%1/").arg(i / 1000);
            if (i % 1000 == 0) QDir().mkpath(folder);
            const QString path = folder + QStringLiteral("track %1.mp3").arg(i);
            QFile(path).open(QIODevice::WriteOnly);
            TrackRef t = TrackRef::Adopt(CreateMedia(0));
            auto* info = new TrackInfo;
            info->Gid = MakeGid(path);
            info->LSrc = path;
            // Titles in no particular order, Chinese and Latin, so the sort has work to do.
            info->Song = (i % 3 ? QStringLiteral("歌曲 %1") : QStringLiteral("Song %1")).arg((i * 7919) % n);
            info->Artist = QStringLiteral("Artist %1").arg(i % 500);
            info->Album = QStringLiteral("Album %1").arg(i % 2000);
            info->Genre = QStringLiteral("Pop");
            info->TotleTime = 180 + i % 120;
            info->BitRate = 320;
            info->Frequency = 44100;
            t->AttachInfo(info, nullptr);
            store.Add(t.get());
            tracks.push_back(std::move(t));
        }
        lib.SaveAllTracks();
        conf.CloseAll();
    }
};

Home& HomeOf(int n)
{
    static std::map<int, std::unique_ptr<Home>> homes;
    auto& h = homes[n];
    if (!h) h = std::make_unique<Home>(n);
    return *h;
}

// One start of the player in `home`, with a store of its own.
struct Start {
    CQvMediaStore store;
    std::unique_ptr<CQuarvelApp> app;
    bool finished = false;

    explicit Start(const QString& home)
    {
        AppOptions options;
        options.home = home;
        options.registerAssociation = false;
        options.store = &store;
        options.main.serviceTasks = false;
        options.main.identity = false;
        app = std::make_unique<CQuarvelApp>(QStringList(), options);
        QObject::connect(app.get(), &CQuarvelApp::Finished, [this](int) { finished = true; });
    }
    bool Run() { return app->InitInstance() < 0; }
    bool Idle() const
    {
        CMainDlg* c = app->Controller();
        // The loader's last act is the message that sets LibraryLoaded; the usage-event sender
        // that the tree selection starts stays, as it does for the whole run.
        return c && c->LibraryLoaded() && c->MainWindow()->isVisible();
    }
    bool WaitIdle(int ms)
    {
        const QDeadlineTimer deadline(ms);
        while (!Idle()) {
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::usleep(200);
        }
        // What the loaded library posted (the tree pane, the list) is handled too.
        QCoreApplication::processEvents();
        return true;
    }
    void Exit()
    {
        app->Controller()->OnCommand(1016);
        const QDeadlineTimer deadline(60000);
        while (!finished && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        app.reset();
        ClearExiting();
    }
};

void BM_Startup(benchmark::State& state)
{
    Home& home = HomeOf(int(state.range(0)));
    double rss = 0;
    double raw = 0;
    for (auto _ : state) {
        auto start = std::make_unique<Start>(home.home);
        if (!start->Run() || !start->WaitIdle(120000)) {
            state.SkipWithError("the player did not start");
            break;
        }
        state.PauseTiming();
        raw = std::max(raw, ResidentMb());
        // What stays resident once the player's own trim (timer 3, every 10 s) has run.
        start->app->Controller()->OnTimer(CMainDlg::kTrimTimer);
        rss = std::max(rss, ResidentMb());
        start->Exit();
        state.ResumeTiming();
    }
    state.counters["rss_mb"] = rss;
    state.counters["rss_untrimmed_mb"] = raw;
}

void BM_SortByTitle(benchmark::State& state)
{
    const int n = int(state.range(0));
    Home& home = HomeOf(n);
    Start start(home.home);
    if (!start.Run() || !start.WaitIdle(120000)) {
        state.SkipWithError("the player did not start");
        return;
    }
    CMainDlg& ctl = *start.app->Controller();
    IQvNode* local = nullptr;
    {
        std::lock_guard lock(ctl.Library().Mutex());
        local = ctl.Library().Store().FindNode(QString::fromUtf16(kLocalMusicNode));
    }
    if (local) ctl.MainWindow()->SelectNode(local);
    if (!local || ctl.DisplayedNode() != local || int(local->Tracks().size()) != n) {
        state.SkipWithError("the local music list is not shown");
        return;
    }
    bool descending = false;
    for (auto _ : state) {
        ctl.SortDisplayed(kSortSong, descending);
        descending = !descending;
    }
    start.Exit();
}

} // namespace

BENCHMARK(BM_Startup)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SortByTitle)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(6)->UseRealTime();

int main(int argc, char** argv)
{
    QTemporaryDir runtime;
    QTemporaryDir config;
    // A player the user runs is not reached: the single-instance name lives in this folder.
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

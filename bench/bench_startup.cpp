// The player's start with a large library, and sorting its list by title.
//
//   scripts/bench bench_startup
//
// BM_Startup/N: from the application object's start to the main window shown, the library
// loaded into "本地音乐" and the event loop idle, with N tracks in "AllMusic2.db" whose rows
// point at existing files (hard links of one small MP3). The home has been started once before
// (its tree file and settings exist) and "showsearch" is 0, so no start-up scan runs (its worker
// only selects the chart node and ends; the start counts until it has); nothing reaches beyond
// the machine. rss_mb is the process's resident memory at that moment, rss_trimmed_mb once the
// player's periodic trim (timer 3, every 10 s) has run, rss_anon_mb the part of rss_mb that is
// the process's own (heap and stacks, not pages of mapped files such as the page engine's code). The library is made in a child process,
// so nothing of making it stays in this one's heap.
// The page engine is prepared as the player's own start prepares it, so the start makes what a
// real start makes: the chart node's page in the content view and the banner (page_views counts
// the views made; the pages themselves load in the engine's processes). "--no-pages" leaves the
// engine out, as the figure was taken before the views existed.
// BM_SortByTitle/N: a click on the title column of the list view: the shown list of N tracks
// sorted by title (the locale's order) through the controller, and the view repainted, until the
// event loop is idle again. Ascending and descending alternate, so each sort really moves rows.
// To see where the memory is: ORDEL_BENCH_SMAPS=<prefix> writes /proc/self/smaps at each start's
// idle window to <prefix>.0, .1, ... and once that start's player is torn down to <prefix>.0.down, ...; ORDEL_BENCH_EACH=1 prints each start's figures (rss_mb is
// the largest); ORDEL_BENCH_EXIT_AT_IDLE=1 ends the process at the first idle window, so a heap
// profiler's "leaked" is what the started player holds (heaptrack build/bench/bench_startup).
#include "bench/PrivateFolders.h"
#include "bench/ResidentMemory.h"

#include "app/CMainDlg.h"
#include "app/CQuarvelApp.h"
#include "app/CQuarvelDlg.h"
#include "app/TrackSort.h"

#include "base/Worker.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "net/ServiceRequest.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "tests/fixtures/Fixtures.h"
#include "ui/page/CFixedHtmlView.h"
#include "ui/page/PageEngine.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace {

constexpr int kTracks = 100000;
constexpr int kBoundMs = 30000; // a start or sort that never settles fails the run

QString g_home;

// Titles, artists and albums that mix Chinese and Latin words in no particular order, as a
// real library does; the row order is not the title order.
QString Pick(const char* const* words, int count, unsigned& seed)
{
    seed = seed * 1103515245u + 12345u;
    return QString::fromUtf8(words[(seed >> 16) % unsigned(count)]);
}

TrackRef MakeTrack(const QString& path, int i)
{
    static const char* const kWords[] = {"夜空", "Morning", "海风", "River", "纸飞机", "Neon", "春天", "Café",
                                         "星光", "Blue", "城市", "Light", "回忆", "Road", "雨", "Dream",
                                         "远方", "Summer", "心跳", "Night", "月亮", "Song", "花", "Élan"};
    static const char* const kNames[] = {"林晓", "Anna Berg", "陈雨", "The Quiet Hours", "周青", "Kito",
                                         "李梅", "Élodie Martin", "王强", "Northern Lights", "张燕", "Mika"};
    constexpr int kWordCount = int(sizeof kWords / sizeof *kWords);
    constexpr int kNameCount = int(sizeof kNames / sizeof *kNames);
    unsigned seed = unsigned(i) * 2654435761u;
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Gid = MakeGid(path);
    info->LSrc = path;
    info->Song = Pick(kWords, kWordCount, seed) + QLatin1Char(' ') + Pick(kWords, kWordCount, seed) +
                 QStringLiteral(" %1").arg(i % 97);
    info->Artist = Pick(kNames, kNameCount, seed);
    info->Album = Pick(kWords, kWordCount, seed) + QStringLiteral(" %1").arg(i % 2000);
    info->Genre = QStringLiteral("Pop");
    info->Stereo = QStringLiteral("Joint Stereo");
    info->ReleaseTime = QStringLiteral("2009");
    info->Frequency = 44100;
    info->TotleTime = 1;
    info->BitRate = 32;
    info->TrackNum = i % 12;
    t->AttachInfo(info, nullptr);
    return t;
}

// The library: one small MP3 linked N times into folders of 1000 (hard links), and N rows written through
// the store. Runs in a child process, so the parent's memory holds nothing of it.
bool MakeLibrary(const QString& root, int n)
{
    const QString music = root + QStringLiteral("/music/");
    QDir().mkpath(music);
    const QString original = music + QStringLiteral("one.mp3");
    fixtures::Mp3Options audio;
    audio.seconds = 1.0;
    audio.bitrateKbps = 32;
    if (!fixtures::WriteMp3(original, audio, fixtures::Tags::Id3v2(QStringLiteral("夜空"), QStringLiteral("林晓")))) {
        std::fprintf(stderr, "bench_startup: cannot write %s\n", qPrintable(original));
        return false;
    }
    // A file takes at most 65,000 links on ext4: each folder links to a copy of its own.
    QByteArray from;
    std::vector<TrackRef> tracks;
    tracks.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const QString folder = music + QStringLiteral("artist%1/").arg(i / 1000);
        if (i % 1000 == 0) {
            QDir().mkpath(folder);
            const QString copy = folder + QStringLiteral(".one.mp3");
            if (!QFile::copy(original, copy)) return false;
            from = QFile::encodeName(copy);
        }
        const QString path = folder + QStringLiteral("track %1.mp3").arg(i);
        if (::link(from.constData(), QFile::encodeName(path).constData()) != 0) {
            std::perror(qPrintable(path));
            return false;
        }
        tracks.push_back(MakeTrack(path, i));
    }
    CQvConf conf;
    conf.SetDirectories(g_home);
    if (!WriteUnreachableServerXml(conf.DataDir())) return false;
    CQvMediaStore store;
    CMediaLibrary lib(store, conf);
    for (const TrackRef& t : tracks) store.Add(t.get());
    const int saved = lib.SaveAllTracks();
    conf.CloseAll();
    if (saved < 0) std::fprintf(stderr, "bench_startup: the rows were not stored\n");
    return saved >= 0;
}

// One start of the player in this process, with a store of its own.
struct Player {
    std::unique_ptr<CQvMediaStore> store = std::make_unique<CQvMediaStore>();
    std::unique_ptr<CQuarvelApp> app;

    explicit Player(bool startupScan = true)
    {
        // An earlier start in this process has left its stop flags set.
        ClearExiting();
        ClearShuttingDown();
        AppOptions options;
        options.home = g_home;
        options.registerAssociation = false;
        options.instanceName = QDir::tempPath() + QStringLiteral("/ordel-bench-startup-%1").arg(getpid());
        options.store = store.get();
        options.main.serviceTasks = false;
        options.main.identity = false;
        options.main.startupScan = startupScan;
        app = std::make_unique<CQuarvelApp>(QStringList(), options);
    }

    ~Player()
    {
        if (CMainDlg* ctl = app->Controller()) {
            QEventLoop loop;
            QObject::connect(app.get(), &CQuarvelApp::Finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(kBoundMs, &loop, &QEventLoop::quit);
            ctl->ExitApp(0);
            loop.exec();
        }
        app.reset();
        store.reset();
        malloc_trim(0);
    }

    // The window shows the loaded library, and the start-up scan's worker has ended (its last
    // step arms timer 12); a start without the scan ends with the library load.
    bool Settled(bool scan) const
    {
        CMainDlg* ctl = app->Controller();
        CQuarvelDlg* wnd = ctl ? ctl->MainWindow() : nullptr;
        if (!wnd || !ctl->LibraryLoaded() || !wnd->isVisible()) return false;
        if (wnd->windowHandle() && !wnd->windowHandle()->isExposed()) return false;
        return !scan || ctl->HasTimer(CMainDlg::kLogSendTimer);
    }

    IQvNode* LocalMusic() const
    {
        std::lock_guard lock(app->Library().Mutex());
        return store->FindNode(QStringLiteral("本地音乐"));
    }
};

// Spins the event loop until `ready` holds when the loop is about to wait for events.
template <class Ready>
bool RunUntilIdle(Ready ready)
{
    QEventLoop loop;
    bool done = false;
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
        if (!done && ready()) {
            done = true;
            loop.quit();
        }
    });
    // Something must wake the loop while workers run without posting.
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [] {});
    tick.start(5);
    QTimer::singleShot(kBoundMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done;
}

int LocalRows(const Player& p)
{
    IQvNode* local = p.LocalMusic();
    std::lock_guard lock(p.app->Library().Mutex());
    return local ? int(local->Tracks().size()) : 0;
}

// The home's first start: the tree file and the settings are written; "showsearch" 0 keeps
// every later start from scanning (this one scans nothing either: its default would search the
// whole machine).
void FirstStart()
{
    static bool done = false;
    if (done) return;
    done = true;
    Player p(false);
    p.app->InitInstance();
    RunUntilIdle([&] { return p.Settled(false); });
    CQvConf::Instance().Settings().showsearch = 0;
}

// The process's memory map into `<prefix>.<name>`: at the idle window of start N as "N", and
// once its player is torn down as "N.down" (what the next start finds already resident).
void CopySmaps(const char* prefix, const std::string& name)
{
    FILE* in = std::fopen("/proc/self/smaps", "r");
    FILE* out = std::fopen((std::string(prefix) + "." + name).c_str(), "w");
    char buf[65536];
    size_t got = 0;
    while (in && out && (got = std::fread(buf, 1, sizeof buf, in)) > 0) std::fwrite(buf, 1, got, out);
    if (in) std::fclose(in);
    if (out) std::fclose(out);
}

void BM_Startup(benchmark::State& state)
{
    FirstStart();
    double rss = 0;
    double trimmed = 0;
    double anon = 0;
    int rows = 0;
    int views = 0;
    int iteration = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto p = std::make_unique<Player>();
        state.ResumeTiming();
        p->app->InitInstance();
        const bool idle = RunUntilIdle([&] { return p->Settled(true); });
        state.PauseTiming();
        rss = std::max(rss, ResidentMb());
        anon = std::max(anon, ResidentAnonMb());
        if (const char* dump = std::getenv("ORDEL_BENCH_SMAPS")) CopySmaps(dump, std::to_string(iteration));
        if (std::getenv("ORDEL_BENCH_EACH"))
            std::fprintf(stderr, "bench_startup: start %d: rss_mb %.1f rss_anon_mb %.1f\n", iteration, ResidentMb(), ResidentAnonMb());
        ++iteration;
        // For a heap profiler: what is allocated at the idle window is what it reports left.
        if (std::getenv("ORDEL_BENCH_EXIT_AT_IDLE")) _exit(0);
        p->app->Controller()->OnTimer(CMainDlg::kTrimTimer);
        trimmed = std::max(trimmed, ResidentMb());
        rows = LocalRows(*p);
        views = int(p->app->Controller()->MainWindow()->findChildren<CFixedHtmlView*>().size());
        if (!idle) {
            state.SkipWithError("the start did not settle");
            break;
        }
        p.reset();
        if (const char* dump = std::getenv("ORDEL_BENCH_SMAPS")) CopySmaps(dump, std::to_string(iteration - 1) + ".down");
        state.ResumeTiming();
    }
    state.counters["rss_mb"] = rss;
    state.counters["rss_trimmed_mb"] = trimmed;
    state.counters["rss_anon_mb"] = anon;
    state.counters["rows"] = rows;
    state.counters["page_views"] = views;
}

void BM_SortByTitle(benchmark::State& state)
{
    FirstStart();
    Player p;
    p.app->InitInstance();
    if (!RunUntilIdle([&] { return p.Settled(true); })) {
        state.SkipWithError("the start did not settle");
        return;
    }
    // A start without a scan shows the chart page; the user goes to "本地音乐" first.
    CMainDlg* ctl = p.app->Controller();
    ctl->MainWindow()->SelectNode(p.LocalMusic());
    bool shown = false;
    RunUntilIdle([&] { return std::exchange(shown, true); });
    if (ctl->DisplayedNode() != p.LocalMusic()) {
        state.SkipWithError("the local music list is not shown");
        return;
    }
    bool descending = true;
    for (auto _ : state) {
        ctl->SortDisplayed(kSortSong, descending);
        descending = !descending;
        bool painted = false;
        RunUntilIdle([&] { return std::exchange(painted, true); });
    }
    state.counters["rows"] = LocalRows(p);
}

BENCHMARK(BM_Startup)->Arg(kTracks)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_SortByTitle)->Arg(kTracks)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    // As the player's main does, before any thread.
    LimitWorkerHeaps();
    QTemporaryDir root;
    if (!root.isValid()) return 1;
    UsePrivateFolders(root.path());
    g_home = root.path() + QStringLiteral("/home/");

    QElapsedTimer made;
    made.start();
    const pid_t child = fork();
    if (child == 0) _exit(MakeLibrary(root.path(), kTracks) ? 0 : 1);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench_startup: the library could not be made\n");
        return 1;
    }
    std::fprintf(stderr, "bench_startup: %d tracks made in %lld ms\n", kTracks, static_cast<long long>(made.elapsed()));

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --disable-gpu");
    bool pages = true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--no-pages") == 0) {
            pages = false;
            std::copy(argv + i + 1, argv + argc, argv + i);
            --argc;
            break;
        }
    // Before the application object, as the player's main does it.
    if (pages) InitPageEngine();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

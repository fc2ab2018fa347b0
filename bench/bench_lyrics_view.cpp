// The processor time the lyric panel and the desktop lyrics cost while a song with lyrics plays.
//
//   scripts/bench bench_lyrics_view      (or build/bench/bench_lyrics_view with
//                                          SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen)
//
// BM_LyricsViews runs the whole player as it starts for a user (application object, controller,
// main window offscreen, the real audio path over the dummy SDL driver, which consumes audio at
// the real rate) and measures the process's processor time (getrusage, every thread) over three
// windows of 10 s each:
//   idle:   the player started, nothing playing;
//   plain:  a fixture MP3 without lyrics playing: decoding, output, progress, title and the
//           panel's message text; the lyric views have nothing to run;
//   lyrics: the same audio (a copy of the file) with an LRC beside it playing, the side panel
//           scrolling (timer 8, every frame painted offscreen) and the desktop lyrics shown and
//           sweeping (timer 8, every frame painted), the main window's 50 ms line tick moving
//           both a line every 1.5 s.
// The desktop lyrics are switched on (the "词" command) before any window is measured, so they
// show the welcome text in idle and plain and cost nothing there but their existence.
// extra_core_percent = (lyrics - plain) / 10 s, in percent of one core: what the lyric views
// and the line tick that drives them add to playing the same audio. Decoding and output are in
// both windows and cancel out; they are reported on their own as decode_core_percent
// (plain - idle). playing_core_percent (lyrics - idle) is everything a song with lyrics costs
// over an idle player, decoding included. The lyrics are read and parsed before the window
// opens, so the figure is the steady cost; panel_paints and desktop_paints count the frames the
// two views drew in the lyrics window. The machine is shared: other processes' load slows
// this one but is not counted in its processor time.
#include "bench/PrivateFolders.h"

#include "app/CMainDlg.h"
#include "app/CQuarvelApp.h"
#include "app/CQuarvelDlg.h"

#include "base/Worker.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "net/ServiceRequest.h"
#include "store/CQvMediaStore.h"
#include "tests/fixtures/Fixtures.h"
#include "ui/ControlIds.h"
#include "ui/page/PageEngine.h"
#include "ui/lyrics/CKLrcChildDlg.h"
#include "ui/lyrics/CQvLyrics.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kWindowMs = 10000;
constexpr int kBoundMs = 30000;   // a start or a play that never comes fails the run
constexpr int kSettleMs = 1500;   // after a change, before a window opens
constexpr double kSongSeconds = 20.0;
constexpr int kLineMs = 1500;

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for `ms`.
void Spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `ready` holds (checked every 20 ms), at most kBoundMs.
bool SpinUntil(const std::function<bool()>& ready)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (ready()) loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(kBoundMs, &loop, &QEventLoop::quit);
    if (!ready()) loop.exec();
    return ready();
}

// Counts the paints a widget gets, so the figure shows the views really drew.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* target) : QObject(target) { target->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
};

// Processor seconds the process uses over one window of kWindowMs.
double Measure()
{
    const double before = CpuSeconds();
    Spin(kWindowMs);
    return CpuSeconds() - before;
}

QString SongLyrics()
{
    QString lrc;
    for (int ms = 0, i = 1; ms < int(kSongSeconds * 1000); ms += kLineMs, ++i)
        lrc += QStringLiteral("[%1:%2.%3]第%4行歌词，夜空中最亮的星\n")
                   .arg(ms / 60000, 2, 10, QLatin1Char('0'))
                   .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
                   .arg(ms % 1000 / 10, 2, 10, QLatin1Char('0'))
                   .arg(i);
    return lrc;
}

struct Folder {
    QTemporaryDir root;
    QString home, plain, sung;
    bool ok = false;

    Folder()
    {
        home = root.filePath(QStringLiteral("home/"));
        const QString music = root.filePath(QStringLiteral("music/"));
        QDir().mkpath(home + QStringLiteral("data"));
        QDir().mkpath(music);
        // The lyrics and cover requests of the song without lyrics fail at once.
        if (!WriteUnreachableServerXml(home + QStringLiteral("data/"))) return;
        fixtures::Mp3Options audio;
        audio.seconds = kSongSeconds;
        audio.sampleRate = 44100;
        audio.channels = 2;
        audio.bitrateKbps = 128;
        plain = music + QStringLiteral("plain.mp3");
        sung = music + QStringLiteral("sung.mp3");
        if (!fixtures::WriteMp3(plain, audio, fixtures::Tags::Id3v2(QStringLiteral("夜空"), QStringLiteral("林晓"))))
            return;
        if (!QFile::copy(plain, sung)) return;
        // The lyrics beside the music are the track's lyrics file.
        QFile lrc(music + QStringLiteral("sung.lrc"));
        if (!lrc.open(QIODevice::WriteOnly) || lrc.write(SongLyrics().toUtf8()) < 0) return;
        ok = true;
    }
};

struct Player {
    CQvMediaStore store;
    std::unique_ptr<CQuarvelApp> app;
    bool finished = false;

    explicit Player(const QString& home)
    {
        AppOptions options;
        options.home = home;
        options.resourceDir = QStringLiteral(ORDEL_SOURCE_RESOURCES "/");
        options.registerAssociation = false;
        options.instanceName = QDir::tempPath() + QStringLiteral("/ordel-bench-lyrics-%1").arg(getpid());
        options.store = &store;
        options.main.serviceTasks = false;
        options.main.identity = false;
        options.main.startupScan = false;
        options.main.watchChanges = false;
        options.main.desktopBus = false;
        app = std::make_unique<CQuarvelApp>(QStringList(), options);
        QObject::connect(app.get(), &CQuarvelApp::Finished, [this](int) { finished = true; });
    }
    ~Player()
    {
        if (CMainDlg* ctl = app->Controller(); ctl && !finished) {
            ctl->ExitApp(0);
            SpinUntil([this] { return finished; });
        }
        app.reset();
        ClearExiting();
        ClearShuttingDown();
    }
    CMainDlg& Ctl() const { return *app->Controller(); }
    CQuarvelDlg& Wnd() const { return *Ctl().MainWindow(); }
    bool Playing(const QString& path) const
    {
        CQvMusic* t = Ctl().CurrentTrack();
        return t && t->GetInfo() && t->GetInfo()->LSrc == path && Ctl().IsStarted();
    }
};

void BM_LyricsViews(benchmark::State& state)
{
    Folder folder;
    if (!folder.ok) {
        state.SkipWithError("the fixture song could not be written");
        return;
    }
    double idle = 0, plain = 0, lyrics = 0;
    int panelPaints = 0, desktopPaints = 0;
    for (auto _ : state) {
        Player p(folder.home);
        if (p.app->InitInstance() >= 0 || !SpinUntil([&] { return p.Ctl().LibraryLoaded(); })) {
            state.SkipWithError("the player did not start");
            return;
        }
        CKLrcChildDlg* desktop = p.Wnd().DesktopLyrics();
        if (!desktop->isVisible()) p.Ctl().OnCommand(ctl::kLyricToggle);
        Spin(kSettleMs);
        idle = Measure();

        p.Ctl().PlayHandedOverFiles({folder.plain});
        if (!SpinUntil([&] { return p.Playing(folder.plain); })) {
            state.SkipWithError("the song without lyrics did not play");
            return;
        }
        Spin(kSettleMs);
        plain = Measure();

        p.Ctl().PlayHandedOverFiles({folder.sung});
        CQvLyrics* panel = p.Wnd().LyricPanel();
        const bool running = SpinUntil([&] {
            return p.Playing(folder.sung) && panel->TimerRunning() && desktop->TimerRunning(CKLrcChildDlg::kSweepTimer);
        });
        if (!running || !p.Wnd().SidePanelVisible() || !desktop->isVisible()) {
            state.SkipWithError("the song's lyrics did not run in both views");
            return;
        }
        auto* panelCount = new PaintCounter(panel);
        auto* desktopCount = new PaintCounter(desktop);
        lyrics = Measure();
        panelPaints = panelCount->count;
        desktopPaints = desktopCount->count;
        if (!p.Playing(folder.sung) || !panel->TimerRunning()) {
            state.SkipWithError("the song ended before the window did");
            return;
        }
    }
    const double seconds = kWindowMs / 1000.0;
    state.counters["idle_core_percent"] = idle / seconds * 100.0;
    state.counters["decode_core_percent"] = (plain - idle) / seconds * 100.0;
    state.counters["playing_core_percent"] = (lyrics - idle) / seconds * 100.0;
    state.counters["extra_core_percent"] = (lyrics - plain) / seconds * 100.0;
    // In the lyrics window: about 50 panel frames (200 ms) and 100 desktop frames (100 ms).
    state.counters["panel_paints"] = panelPaints;
    state.counters["desktop_paints"] = desktopPaints;
}

} // namespace

BENCHMARK(BM_LyricsViews)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    QTemporaryDir root;
    if (!root.isValid()) return 1;
    UsePrivateFolders(root.path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    // As the program starts: the pages' engine before the application object.
    InitPageEngine();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

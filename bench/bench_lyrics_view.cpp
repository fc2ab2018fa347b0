// BM_LyricsViews: the processor time the lyric panel and the desktop lyrics take together while
// a song's lyrics run for 10 s: both shown (offscreen), their timers running (the panel's scroll
// every 200 ms, the sweep every 100 ms), the main window's 50 ms line tick advancing a line every
// 1.5 s, every frame painted. Measured against 10 s of the same event loop with the views
// hidden and idle; the counter extra_core_percent is the difference in percent of one core.
// No sound is played: decoding costs the same with and without the views, so it is left out.
#include "base/MessageIds.h"
#include "lyrics/CLyrics.h"
#include "store/CQvConf.h"
#include "ui/lyrics/CKLrcChildDlg.h"
#include "ui/lyrics/CLyricDlg.h"
#include "ui/lyrics/CQvLyrics.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

constexpr int kRunMs = 10000;

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QString SongLyrics()
{
    QString lrc;
    for (int i = 0; i < 120; ++i)
        lrc += QStringLiteral("[%1:%2.%3]第%4行歌词，夜空中最亮的星\n")
                   .arg(i * 1500 / 60000, 2, 10, QLatin1Char('0'))
                   .arg(i * 1500 / 1000 % 60, 2, 10, QLatin1Char('0'))
                   .arg(i * 1500 % 1000 / 10, 2, 10, QLatin1Char('0'))
                   .arg(i + 1);
    return lrc;
}

// Runs the event loop for kRunMs; with `views`, the lyrics play through both views.
double RunFor(bool views)
{
    ConfigSettings settings;
    CLyrics lyrics;
    lyrics.Parse(SongLyrics());
    CLyricDlg panelHost;
    panelHost.resize(232, 266);
    CQvLyrics* panel = panelHost.Panel();
    panel->SetModel(&lyrics);
    CKLrcChildDlg desktop(settings);
    desktop.SetModel(&lyrics);
    desktop.SetLengthSource([] { return 200; });
    QElapsedTimer clock;
    QTimer lineTick; // the main window's timer 2
    QObject::connect(&lineTick, &QTimer::timeout, [&] {
        if (AdvanceCurrentLine(lyrics, clock.elapsed())) {
            panel->Target().SendMessage(WM_LRC_NEXTLINE, quintptr(lyrics.Current()));
            desktop.Target().PostMessage(WM_LRCBAR_NEXTLINE, quintptr(lyrics.Current()));
        }
    });
    if (views) {
        panelHost.show();
        desktop.ShowDesktopLyrics(true);
        desktop.OnTimer(CKLrcChildDlg::kHoverTimer);
        lyrics.Locate(0);
        panel->Target().SendMessage(WM_LRC_LOADED);
        desktop.Target().SendMessage(WM_LRCBAR_LOADED);
        lineTick.start(50);
    }
    QEventLoop loop;
    QTimer::singleShot(kRunMs, &loop, &QEventLoop::quit);
    const double before = CpuSeconds();
    clock.start();
    loop.exec();
    return CpuSeconds() - before;
}

void BM_LyricsViews(benchmark::State& state)
{
    double idle = 0, busy = 0;
    for (auto _ : state) {
        idle = RunFor(false);
        busy = RunFor(true);
    }
    state.counters["idle_cpu_s"] = idle;
    state.counters["views_cpu_s"] = busy;
    state.counters["extra_core_percent"] = (busy - idle) / (kRunMs / 1000.0) * 100.0;
}

} // namespace

BENCHMARK(BM_LyricsViews)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

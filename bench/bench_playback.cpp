// The audio engine's speed: from an open request to the start message (a local file, a file
// from an HTTP server on 127.0.0.1), and the CPU a minute of 320 kbit/s MP3 costs to decode
// through the equaliser, flat and with gains.
#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "base/Worker.h"
#include "playback/CQvPlayCore.h"
#include "playback/FfmpegBackend.h"
#include "playback/PeakEqualizer.h"
#include "playback/SdlAudioOutput.h"
#include "playback/StreamDecoder.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/playback/TestHttpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

namespace {

QTemporaryDir& Dir()
{
    static QTemporaryDir dir;
    return dir;
}

QString Song()
{
    static const QString path = [] {
        const QString p = QDir(Dir().path()).filePath(QStringLiteral("song.mp3"));
        fixtures::WriteMp3(p, fixtures::Mp3Options {.seconds = 3, .tone = fixtures::Tone::Step});
        return p;
    }();
    return path;
}

QString Minute320()
{
    static const QString path = [] {
        const QString p = QDir(Dir().path()).filePath(QStringLiteral("minute320.mp3"));
        fixtures::WriteMp3(p, fixtures::Mp3Options {.seconds = 60, .bitrateKbps = 320, .tone = fixtures::Tone::Step});
        return p;
    }();
    return path;
}

class CStartWindow : public CMsgWindow {
public:
    qintptr OnMessage(unsigned msg, quintptr w, qintptr) override
    {
        if (msg == WM_ENGINE_NOTIFY && w == CQvPlayCore::kNotifyStarted) ++started;
        return 0;
    }
    int started = 0;
};

std::shared_ptr<CQvPlayCore>& Engine(CStartWindow& window)
{
    static std::shared_ptr<CQvPlayCore> engine;
    if (!engine) {
        engine = CQvPlayCore::Create(std::make_unique<CFfmpegBackend>(std::make_unique<CSdlAudioOutput>()));
        engine->Init(window.Target(), nullptr);
    }
    return engine;
}

CStartWindow& Window()
{
    static CStartWindow window;
    return window;
}

void OpenToStart(benchmark::State& state, const QString& source)
{
    CStartWindow& window = Window();
    CQvPlayCore& engine = *Engine(window);
    for (auto _ : state) {
        engine.Stop();
        WaitForWorkers(10000);
        QCoreApplication::processEvents();
        const int before = window.started;
        const auto start = std::chrono::steady_clock::now();
        if (engine.Open(source, {}) != 1) {
            state.SkipWithError("open refused");
            return;
        }
        while (window.started == before) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
                state.SkipWithError("no start within 20 s");
                return;
            }
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    engine.Stop();
    WaitForWorkers(10000);
}

void BM_OpenToStart_Local(benchmark::State& state) { OpenToStart(state, Song()); }

void BM_OpenToStart_Http(benchmark::State& state)
{
    static CTestHttpServer server;
    static bool ready = false;
    if (!ready) {
        QFile f(Song());
        f.open(QIODevice::ReadOnly);
        server.Whole("/song.mp3", f.readAll());
        ready = true;
    }
    OpenToStart(state, server.Url("/song.mp3"));
}

double ThreadCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void DecodeMinute(benchmark::State& state, bool gains)
{
    const QString path = Minute320();
    double cpu = 0;
    for (auto _ : state) {
        const double before = ThreadCpuSeconds();
        CStreamDecoder decoder;
        if (decoder.OpenFile(path) != AudioError::Ok) {
            state.SkipWithError("cannot open the file");
            return;
        }
        CPeakEqualizer eq(CStreamDecoder::kRate, CStreamDecoder::kChannels);
        for (int i = 0; i < CPeakEqualizer::kBands; ++i) {
            eq.SetBand({.band = i, .centerHz = CPeakEqualizer::kCenters[i], .bandwidthOctaves = 2.5f, .gainDb = 0});
        }
        if (gains) {
            eq.SetBand({.band = 4, .centerHz = 1000, .bandwidthOctaves = 2.5f, .gainDb = 6});
            eq.SetBand({.band = 0, .centerHz = 80, .bandwidthOctaves = 2.5f, .gainDb = -4});
        }
        std::vector<float> block;
        std::int64_t frames = 0;
        while (decoder.Decode(block) == CStreamDecoder::Result::Data) {
            eq.Process(block.data(), static_cast<int>(block.size() / 2));
            frames += static_cast<std::int64_t>(block.size() / 2);
        }
        benchmark::DoNotOptimize(block.data());
        cpu += ThreadCpuSeconds() - before;
        state.counters["audio_s"] = double(frames) / CStreamDecoder::kRate;
    }
    // CPU seconds per minute of audio (the file is one minute long).
    state.counters["cpu_s_per_min"] = cpu / double(state.iterations());
}

void BM_DecodeCpu(benchmark::State& state) { DecodeMinute(state, false); }
void BM_DecodeCpu_Eq(benchmark::State& state) { DecodeMinute(state, true); }

} // namespace

BENCHMARK(BM_OpenToStart_Local)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_OpenToStart_Http)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_DecodeCpu)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DecodeCpu_Eq)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char** argv)
{
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (auto& engine = Engine(Window())) engine->Free();
    WaitForWorkers(10000);
    return 0;
}

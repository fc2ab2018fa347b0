// An upload of a 100 MB music file to the reference service on 127.0.0.1, as the cloud drive
// page starts it: throughput, and the player's resident memory while the file goes out.
// rss_above_idle_mb is the most the process held above its level just before the upload; the
// file is streamed, so it must not grow with the file (target: under 10 MB).
//   scripts/bench bench_upload
#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "net/CUploadManager.h"
#include "bench/ResidentMemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#ifndef ORDEL_SERVICE_EXE
#error "ORDEL_SERVICE_EXE must name the service executable"
#endif

namespace {

constexpr qint64 kFileBytes = 100LL * 1000 * 1000;
constexpr int kBoundMs = 120000;

// The reference service in a data folder of its own; its port from its first line.
struct Service {
    QTemporaryDir data;
    QProcess process;
    int port = 0;

    Service()
    {
        process.start(QStringLiteral(ORDEL_SERVICE_EXE), {QStringLiteral("--port"), QStringLiteral("0"),
                                                          QStringLiteral("--data"), data.path()});
        QByteArray out;
        QElapsedTimer t;
        t.start();
        // The first start makes the service's catalogue, which takes a while.
        while (port == 0 && t.elapsed() < kBoundMs) {
            if (!process.waitForReadyRead(1000) && process.state() != QProcess::Running) break;
            out += process.readAllStandardOutput();
            const qsizetype at = out.indexOf("127.0.0.1:");
            if (at >= 0 && out.indexOf('\n', at) > 0) port = out.mid(at + 10, out.indexOf('\n', at) - at - 10).trimmed().toInt();
        }
    }
    ~Service()
    {
        process.terminate();
        if (!process.waitForFinished(10000)) process.kill();
    }
};

// A file of kFileBytes written a megabyte at a time, so making it costs the process nothing.
QString MakeFile(const QString& dir)
{
    const QString path = dir + QStringLiteral("/upload.mp3");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) std::abort();
    QByteArray block(1000 * 1000, Qt::Uninitialized);
    for (qint64 written = 0, n = 0; written < kFileBytes; written += block.size(), ++n) {
        for (qsizetype i = 0; i < block.size(); ++i) block[i] = char((i * 31 + n * 7) & 0xFF);
        if (f.write(block) != block.size()) std::abort();
    }
    return path;
}

class EndWindow : public CMsgWindow {
public:
    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam) override
    {
        if (msg == WM_UPLOAD_NOTIFY && lParam == 0) result = reinterpret_cast<const UploadJob*>(wParam)->progress;
        return 0;
    }
    int result = -1000;
};

Service* g_service = nullptr;
QString g_file;

void BM_Upload(benchmark::State& state)
{
    if (!g_service || g_service->port == 0) {
        state.SkipWithError("the reference service did not start");
        return;
    }
    const QString address = QStringLiteral("http://127.0.0.1:%1/up/upload.do?orgin=2&song=bench&vuid=v1").arg(g_service->port);
    double above = 0;
    int n = 0;
    for (auto _ : state) {
        EndWindow window;
        CUploadManager manager(window.Target(), QStringLiteral("v1"));
        malloc_trim(0);
        const double idle = ResidentMb();
        manager.StartUpload(QStringLiteral("g%1").arg(n++), g_file, address, QString());
        QElapsedTimer t;
        t.start();
        while (window.result == -1000 && t.elapsed() < kBoundMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            above = std::max(above, ResidentMb() - idle);
            QThread::msleep(2);
        }
        if (window.result != UPLOAD_OK) {
            state.SkipWithError("the upload did not succeed");
            return;
        }
    }
    state.SetBytesProcessed(state.iterations() * kFileBytes);
    state.counters["rss_above_idle_mb"] = above;
}

} // namespace

BENCHMARK(BM_Upload)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_file = MakeFile(dir.path());
    Service service;
    g_service = &service;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_service = nullptr;
    return 0;
}

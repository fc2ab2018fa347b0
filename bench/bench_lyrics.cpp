// Parsing a song's lyrics and finding the line for a play position.
#include "lyrics/CLyrics.h"
#include "net/proto/ServiceReplies.h"

#include <QString>

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

// An LRC text of `lines` lines, one every 3.1 s, with ID tags and Chinese text as real files have.
QString MakeLrc(int lines)
{
    QString text = QStringLiteral("[ti:测试歌曲]\r\n[ar:歌手]\r\n[al:专辑]\r\n[by:ordel]\r\n");
    for (int i = 0; i < lines; ++i) {
        const int ms = 1000 + i * 3100;
        text += QString::asprintf("[%02d:%02d.%02d]", ms / 60000 % 100, ms / 1000 % 60, ms % 1000 / 10);
        text += QStringLiteral("第%1行 歌词 the words of line %1\r\n").arg(i);
    }
    return text;
}

void BM_Parse(benchmark::State& state)
{
    const QString text = MakeLrc(int(state.range(0)));
    CLyrics lyrics;
    for (auto _ : state) {
        lyrics.Parse(text);
        benchmark::DoNotOptimize(lyrics.LineCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * text.size() * 2);
}
BENCHMARK(BM_Parse)->Arg(500);

// The largest text a reply may hold (4 MiB as UTF-8), in the shapes that cost most: many short
// lines, unsorted lines, one line of many tags, and a reply's content that is all brackets.
QString MakeLargest(int shape)
{
    constexpr int kBytes = 4 * 1024 * 1024;
    auto repeat = [](const char* unit, int bytes) { return QString::fromUtf8(QByteArray(unit).repeated(bytes / int(strlen(unit)))); };
    switch (shape) {
    case 0: return repeat("[00:01.00]a\n", kBytes);
    case 1: return repeat("[00:09.00]late\n[00:01.00]b\n", kBytes);
    case 2: return repeat("[00:00]", kBytes / 2) + repeat("text", kBytes / 2);
    default: return NormaliseServiceLyrics(QString(kBytes, u'['));
    }
}

void BM_ParseLargest(benchmark::State& state)
{
    const QString text = MakeLargest(int(state.range(0)));
    CLyrics lyrics;
    for (auto _ : state) {
        lyrics.Parse(text);
        benchmark::DoNotOptimize(lyrics.LineCount());
    }
    state.counters["lines"] = lyrics.LineCount();
}
BENCHMARK(BM_ParseLargest)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The stored form of a big text, which must stay bounded however many tags share a line.
void BM_SerialiseLargest(benchmark::State& state)
{
    const QString text = MakeLargest(int(state.range(0)));
    CLyrics lyrics;
    for (auto _ : state) {
        state.PauseTiming();
        lyrics.Parse(text);
        lyrics.Shift(500, 0);
        state.ResumeTiming();
        benchmark::DoNotOptimize(lyrics.Serialise());
    }
}
BENCHMARK(BM_SerialiseLargest)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Locating a sweep of positions over the whole song, as seeks and shifts do.
void BM_Locate(benchmark::State& state)
{
    CLyrics lyrics;
    lyrics.Parse(MakeLrc(500));
    const qint64 end = 1000 + 500 * 3100;
    qint64 pos = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(lyrics.Locate(pos));
        pos = (pos + 7919) % end;
    }
}
BENCHMARK(BM_Locate);

} // namespace

BENCHMARK_MAIN();

// Parsing a song's lyrics and finding the line for a play position.
#include "lyrics/CLyrics.h"

#include <QString>

#include <benchmark/benchmark.h>

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

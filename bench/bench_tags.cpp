// Reading the tags and audio properties of a library's files: the read driver against a bare
// TagLib file reference over the same files, which is the floor the driver is built on.
//   scripts/bench bench_tags
#include "model/AudioTag.h"
#include "tests/fixtures/Fixtures.h"

#include <QFile>
#include <QTemporaryDir>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int kFiles = 1000;

// A thousand MP3 files the way a library holds them: mostly ID3v2 (Latin-1 and UTF-16 titles,
// some with a cover and an ID3v1 copy), some ID3v1 or APE only, at several rates.
struct Library {
    QTemporaryDir dir;
    std::vector<QString> paths;
    std::vector<QByteArray> encodedPaths;

    Library()
    {
        const fixtures::Mp3Options kinds[] = {
            {.seconds = 3},
            {.seconds = 3, .bitrateKbps = 192},
            {.seconds = 3, .vbr = true},
            {.seconds = 3, .bitrateKbps = 64, .sampleRate = 22050, .channels = 1},
        };
        for (int i = 0; i < kFiles; ++i) {
            fixtures::Tags tags;
            switch (i % 10) {
            case 7: tags.id3v1 = fixtures::TagFields {.title = QStringLiteral("Song %1").arg(i)}; break;
            case 8: tags.ape = fixtures::TagFields {.title = QStringLiteral("Song %1").arg(i)}; break;
            default:
                tags = fixtures::Tags::Id3v2(i % 2 ? QStringLiteral("歌曲 %1").arg(i) : QStringLiteral("Song %1").arg(i),
                                             QStringLiteral("Artist's & Band"), QStringLiteral("专辑 %1").arg(i % 37));
                tags.id3v2->year = 2000 + i % 20;
                tags.id3v2->track = 1 + i % 12;
                if (i % 3 == 0) tags.pictures = 1;
                if (i % 4 == 0) tags.id3v1 = fixtures::TagFields {.title = QStringLiteral("Song %1").arg(i)};
            }
            const QString path = dir.filePath(QStringLiteral("%1.mp3").arg(i));
            if (!fixtures::WriteMp3(path, kinds[i % 4], tags)) std::abort();
            paths.push_back(path);
            encodedPaths.push_back(QFile::encodeName(path));
        }
    }
};

const Library& Files()
{
    static const Library library;
    return library;
}

void BM_ReadTags(benchmark::State& state)
{
    const Library& lib = Files();
    size_t i = 0;
    for (auto _ : state) {
        AudioTagFields fields;
        benchmark::DoNotOptimize(ReadAudioTags(lib.paths[i], fields));
        benchmark::DoNotOptimize(fields.title.size());
        i = (i + 1) % lib.paths.size();
    }
    state.SetItemsProcessed(state.iterations()); // items are files
}
BENCHMARK(BM_ReadTags)->UseRealTime();

void BM_Floor_TagLibFileRef(benchmark::State& state)
{
    const Library& lib = Files();
    size_t i = 0;
    for (auto _ : state) {
        TagLib::FileRef ref(lib.encodedPaths[i].constData(), true, TagLib::AudioProperties::Average);
        if (TagLib::Tag* tag = ref.tag()) {
            benchmark::DoNotOptimize(tag->title().size());
            benchmark::DoNotOptimize(tag->artist().size());
            benchmark::DoNotOptimize(tag->album().size());
        }
        if (TagLib::AudioProperties* p = ref.audioProperties()) {
            benchmark::DoNotOptimize(p->sampleRate());
            benchmark::DoNotOptimize(p->lengthInSeconds());
            benchmark::DoNotOptimize(p->bitrate());
            benchmark::DoNotOptimize(p->channels());
        }
        i = (i + 1) % lib.paths.size();
    }
    state.SetItemsProcessed(state.iterations()); // items are files
}
BENCHMARK(BM_Floor_TagLibFileRef)->UseRealTime();

} // namespace

BENCHMARK_MAIN();

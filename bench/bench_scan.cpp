// The first-run scan: searching a music folder and importing every MP3 into a fresh library,
// against a bare directory walk with a TagLib file reference on each file (the floor the scan
// is built on: it cannot do less than find the files and read their tags).
//   scripts/bench bench_scan
#include "library/CFileFinder.h"
#include "library/CQvNodeTree.h"
#include "library/LibraryScan.h"
#include "library/PosixHandles.h"

#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"

#include "tests/fixtures/Fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

// `count` tagged MP3s of the smallest size a scan takes, 100 to an album folder.
struct MusicFolder {
    QTemporaryDir dir;
    int count = 0;

    explicit MusicFolder(int n) : count(n)
    {
        fixtures::Mp3Options audio;
        audio.seconds = 0.5;
        for (int i = 0; i < n; ++i) {
            const QString folder = QStringLiteral("%1/Artist %2/Album %3").arg(dir.path()).arg(i / 500).arg(i / 100);
            if (i % 100 == 0) QDir().mkpath(folder);
            fixtures::Tags tags = fixtures::Tags::Id3v2(QStringLiteral("歌曲 %1").arg(i), QStringLiteral("Artist %1").arg(i / 500),
                                                        QStringLiteral("Album %1").arg(i / 100));
            tags.id3v2->track = unsigned(1 + i % 100);
            if (!fixtures::WriteMp3OfSize(QStringLiteral("%1/%2.mp3").arg(folder).arg(i), kMusicMinSize, audio, tags))
                std::abort();
        }
    }
};

const MusicFolder& Music(int n)
{
    static std::unique_ptr<MusicFolder> folder;
    if (!folder || folder->count != n) folder = std::make_unique<MusicFolder>(n);
    return *folder;
}

// A player's first start: a new home, the default tree written, every database file created.
struct FreshLibrary {
    QTemporaryDir dir;
    CQvConf conf;
    CQvMediaStore store;
    CMediaLibrary library {store, conf};
    CQvNodeTree tree {library};

    FreshLibrary()
    {
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        conf.SetDirectories(dir.path() + QStringLiteral("/home"), QStringLiteral(ORDEL_SOURCE_RESOURCES));
        if (library.LoadTree() != 0) std::abort();
    }
    ~FreshLibrary() { conf.CloseAll(); }
};

void BM_ScanImport(benchmark::State& state)
{
    const MusicFolder& music = Music(int(state.range(0)));
    size_t imported = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto fresh = std::make_unique<FreshLibrary>();
        state.ResumeTiming();
        CFileFinder finder;
        ScanFolder(finder, music.dir.path(), QString::fromLatin1(kMusicMasks), true, kMusicDepth);
        // As the first start-up scan imports: quietly, not as user additions.
        ImportFiles(fresh->library, finder.Paths(), true, false, nullptr, {}, {});
        state.PauseTiming();
        imported = fresh->store.LibraryTracks().size();
        if (imported != size_t(music.count)) state.SkipWithError("not every file was imported");
        fresh.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * music.count);
    state.counters["files"] = double(imported);
}

void Walk(const std::string& folder, size_t& titles)
{
    DirHandle dir(folder.c_str());
    if (!dir) return;
    while (dirent* d = readdir(dir.get())) {
        if (d->d_name[0] == '.') continue;
        const std::string path = folder + "/" + d->d_name;
        if (d->d_type == DT_DIR) {
            Walk(path, titles);
        } else {
            TagLib::FileRef file(path.c_str());
            if (!file.isNull() && file.tag() && !file.tag()->title().isEmpty()) ++titles;
        }
    }
}

void BM_Floor_WalkAndTag(benchmark::State& state)
{
    const MusicFolder& music = Music(int(state.range(0)));
    const std::string root = QFile::encodeName(music.dir.path()).toStdString();
    size_t titles = 0;
    for (auto _ : state) {
        titles = 0;
        Walk(root, titles);
    }
    if (titles != size_t(music.count)) state.SkipWithError("not every file was read");
    state.SetItemsProcessed(int64_t(state.iterations()) * music.count);
}

BENCHMARK(BM_Floor_WalkAndTag)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ScanImport)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

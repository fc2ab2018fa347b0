// Importing a music folder as "添加文件夹" does (tracks read, stored and offered to the lists),
// against its floor: a bare directory walk with a TagLib file reference on each of the very files
// the import reads (it cannot do less than find them and read their tags).
//   scripts/bench bench_scan                                  # generated folders of 5,000 and 20,000 MP3s
//   ORDEL_BENCH_CORPUS=~/Music scripts/bench bench_scan       # a folder of your own instead
// Compare the two within one run: import time / floor time of the same run. The import also
// reports `ratio` and `cpu_ratio` against a floor walk paired with each of its runs.
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
#include <taglib/id3v2tag.h>
#include <taglib/tag.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>

#include <unistd.h>

namespace {

// Every folder entered, every entry looked at; the files the import reads are opened with TagLib.
void Walk(const std::string& folder, const std::unordered_set<std::string>& files, size_t& read)
{
    DirHandle dir(folder.c_str());
    if (!dir) return;
    while (dirent* d = readdir(dir.get())) {
        if (d->d_name[0] == '.' && (d->d_name[1] == 0 || (d->d_name[1] == '.' && d->d_name[2] == 0))) continue;
        std::string path = folder + "/" + d->d_name;
        if (d->d_type == DT_DIR) {
            Walk(path, files, read);
        } else if (files.count(path)) {
            TagLib::FileRef file(path.c_str(), true, TagLib::AudioProperties::Average);
            if (!file.isNull() && file.tag()) ++read;
        }
    }
}

// The generated corpus: MP3s of 529 KB (33 s at 128 kbit/s) with an ID3v2.3 tag, 100 to an album
// folder. The first 5,000 are in "a", the next 15,000 in "b": the 20,000-file folder holds the
// 5,000-file one, so each file is written once.
class GeneratedCorpus {
public:
    QString Folder(int n)
    {
        const QString first = m_dir.path() + QStringLiteral("/a");
        if (n <= kFirst) {
            Fill(first, 0, n);
            return first;
        }
        Fill(first, 0, kFirst);
        Fill(m_dir.path() + QStringLiteral("/b"), kFirst, n);
        return m_dir.path();
    }

private:
    static constexpr int kFirst = 5000;

    void Fill(const QString& root, int from, int to)
    {
        if (m_audio.isEmpty()) {
            fixtures::Mp3Options options;
            options.seconds = 33;
            m_audio = fixtures::EncodeMp3(options);
            if (m_audio.isEmpty()) std::abort();
        }
        for (int i = std::max(from, m_written[root]); i < to; ++i) {
            const QString folder = QStringLiteral("%1/Artist %2/Album %3").arg(root).arg(i / 500).arg(i / 100);
            if (i % 100 == 0 || i == from) QDir().mkpath(folder);
            TagLib::ID3v2::Tag tag;
            tag.setTitle(TagLib::String(QStringLiteral("歌曲 %1").arg(i).toStdString(), TagLib::String::UTF8));
            tag.setArtist(TagLib::String(QStringLiteral("Artist %1").arg(i / 500).toStdString(), TagLib::String::UTF8));
            tag.setAlbum(TagLib::String(QStringLiteral("Album %1").arg(i / 100).toStdString(), TagLib::String::UTF8));
            tag.setTrack(unsigned(1 + i % 100));
            const TagLib::ByteVector header = tag.render(3);
            QFile file(QStringLiteral("%1/%2.mp3").arg(folder).arg(i));
            if (!file.open(QIODevice::WriteOnly) || file.write(header.data(), header.size()) != header.size() ||
                file.write(m_audio) != m_audio.size())
                std::abort();
        }
        m_written[root] = std::max(m_written[root], to);
        // Gigabytes just written are still on their way to the disk: the kernel would slow down
        // the import's own writes (its database) while it writes them back, and not the floor,
        // which writes nothing. They are on the disk before anything is measured.
        ::sync();
    }

    QTemporaryDir m_dir;
    QByteArray m_audio;
    std::map<QString, int> m_written;
};

// The folder a benchmark imports: the generated one of `n` files, or the folder ORDEL_BENCH_CORPUS
// names, whatever it holds.
struct MusicFolder {
    QString root;
    int count = 0;
    // What the import reads: the finder's paths, as the file system spells them.
    std::unordered_set<std::string> files;

    explicit MusicFolder(int n)
    {
        static GeneratedCorpus generated;
        const QByteArray corpus = qgetenv("ORDEL_BENCH_CORPUS");
        root = corpus.isEmpty() ? generated.Folder(n) : QFile::decodeName(corpus);
        for (const QString& path : Find()) files.insert(QFile::encodeName(path).toStdString());
        count = int(files.size());
        // Warm: the measured runs read from the cache, as a second import of one folder would be.
        size_t read = 0;
        Walk(Root(), files, read);
    }

    std::string Root() const
    {
        std::string path = QFile::encodeName(root).toStdString();
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        return path;
    }

    QStringList Find() const
    {
        CFileFinder finder;
        ScanFolder(finder, root, QString::fromLatin1(kMusicMasks), true, kMusicDepth, MusicSizes::kEverySize);
        return finder.Paths();
    }
};

const MusicFolder& Music(int n)
{
    static std::unique_ptr<MusicFolder> folder;
    static int made = -1;
    if (!folder || made != n) {
        folder.reset();
        folder = std::make_unique<MusicFolder>(n);
        made = n;
    }
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

// As "添加文件夹" imports: the folder searched (every size of file), every file read, stored as the user's addition and
// offered to the lists.
size_t ImportFolder(FreshLibrary& fresh, const MusicFolder& music)
{
    CFileFinder finder;
    ScanFolder(finder, music.root, QString::fromLatin1(kMusicMasks), true, kMusicDepth, MusicSizes::kEverySize);
    size_t added = 0;
    ImportFiles(fresh.library, finder.Paths(), false, true, nullptr, [&](CQvMusic*, int) {
        ++added;
        return true;
    }, {});
    return added;
}

// The wall and the thread's CPU clock, in milliseconds.
struct Clocks {
    double wall = 0;
    double cpu = 0;

    static Clocks Now()
    {
        timespec wall {}, cpu {};
        clock_gettime(CLOCK_MONOTONIC, &wall);
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
        return {wall.tv_sec * 1e3 + wall.tv_nsec / 1e6, cpu.tv_sec * 1e3 + cpu.tv_nsec / 1e6};
    }
    Clocks operator-(const Clocks& o) const { return {wall - o.wall, cpu - o.cpu}; }
    Clocks& operator+=(const Clocks& o)
    {
        wall += o.wall;
        cpu += o.cpu;
        return *this;
    }
};

void BM_ScanImport(benchmark::State& state)
{
    const MusicFolder& music = Music(int(state.range(0)));
    const std::string root = music.Root();
    size_t imported = 0;
    // Each import is paired with a floor walk of its own right before it (not timed by the
    // benchmark): the two see the same machine, so their ratio holds where a busy machine moves
    // the floor's own benchmark between its run and the import's. A walk after an import runs a
    // few per cent slower than walks in a row do, so `ratio` reads a little lower than the two
    // benchmarks' times compared.
    Clocks floor, import;
    for (auto _ : state) {
        state.PauseTiming();
        size_t read = 0;
        const Clocks walked = Clocks::Now();
        Walk(root, music.files, read);
        floor += Clocks::Now() - walked;
        auto fresh = std::make_unique<FreshLibrary>();
        const Clocks start = Clocks::Now();
        state.ResumeTiming();
        ImportFolder(*fresh, music);
        state.PauseTiming();
        import += Clocks::Now() - start;
        imported = fresh->store.LibraryTracks().size();
        if (imported != size_t(music.count)) state.SkipWithError("not every file was imported");
        fresh.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * music.count);
    state.counters["files"] = double(imported);
    if (floor.wall > 0 && floor.cpu > 0) {
        state.counters["paired_floor_ms"] = floor.wall / double(state.iterations());
        state.counters["ratio"] = import.wall / floor.wall;
        state.counters["cpu_ratio"] = import.cpu / floor.cpu;
    }
}

void BM_Floor_WalkAndTag(benchmark::State& state)
{
    const MusicFolder& music = Music(int(state.range(0)));
    const std::string root = music.Root();
    size_t read = 0;
    for (auto _ : state) {
        read = 0;
        Walk(root, music.files, read);
    }
    if (read != size_t(music.count)) state.SkipWithError("not every file was read");
    state.SetItemsProcessed(int64_t(state.iterations()) * music.count);
    state.counters["files"] = double(read);
}

// Each size's floor runs right before its import, so the two see the same machine.
BENCHMARK(BM_Floor_WalkAndTag)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ScanImport)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_Floor_WalkAndTag)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_ScanImport)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

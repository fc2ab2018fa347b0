#include "library/CFileFinder.h"

#include "tests/fixtures/Fixtures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>

#include <sys/stat.h>

namespace {

// A file of exactly `size` bytes (the finder looks at sizes only).
void MakeSized(const QString& path, qint64 size)
{
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_TRUE(fixtures::WriteSizedFile(path, size));
}

constexpr qint64 kMb3 = 3 * 1024 * 1024;

QStringList Relative(const QStringList& paths, const QString& base)
{
    QStringList out;
    for (const QString& p : paths) out.append(QDir(base).relativeFilePath(p));
    return out;
}

} // namespace

TEST(FileFinder, MusicSearchLeavesOutSmallFilesUnlessTheUserChoseTheFolder)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    MakeSized(d + "/small.mp3", 400 * 1024);
    MakeSized(d + "/big.mp3", 12 * 1024 * 1024);
    MakeSized(d + "/song.mp3", kMb3);
    MakeSized(d + "/min.mp3", kMusicMinSize);
    MakeSized(d + "/belowmin.mp3", kMusicMinSize - 1);
    MakeSized(d + "/live.wma", 40 * 1024 * 1024);

    // The program's own searches: no system sounds, but no upper limit either.
    CFileFinder finder;
    EXPECT_EQ(ScanFolder(finder, d, QString::fromLatin1(kMusicMasks), true, kMusicDepth), 4);
    // The masks come one after the other: every MP3 before any WMA.
    EXPECT_EQ(Relative(finder.Paths(), d), (QStringList {"big.mp3", "min.mp3", "song.mp3", "live.wma"}));
    EXPECT_EQ(finder.GetPath(0), d + "/big.mp3");
    EXPECT_EQ(finder.GetPath(4), QString());
    EXPECT_EQ(finder.GetPath(-1), QString());

    // A folder the user chose: every music file.
    CFileFinder chosen;
    EXPECT_EQ(ScanFolder(chosen, d, QString::fromLatin1(kMusicMasks), true, kMusicDepth, MusicSizes::kEverySize), 6);
}

TEST(FileFinder, MasksIgnoreCaseAndMatchWholeNames)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    for (const char* name : {"A.MP3", "b.Wma", "c.mp3.txt", "d.mp", "e.mp3x", "f.mp3", "noext"})
        MakeSized(d + "/" + name, kMb3);
    CFileFinder finder;
    finder.Find(MusicSearchRequest(d));
    EXPECT_EQ(Relative(finder.Paths(), d), (QStringList {"A.MP3", "f.mp3", "b.Wma"}));

    EXPECT_TRUE(MatchMask("a?c*", "ABCdef"));
    EXPECT_TRUE(MatchMask("*", ""));
    EXPECT_FALSE(MatchMask("?", ""));
    EXPECT_TRUE(MatchMask("*.*.mp3", "x.y.mp3"));
    EXPECT_FALSE(MatchMask("*.*.mp3", "x.mp3"));

    // The list is cut at each "|" until fewer than three characters remain: "*.x" counts,
    // a trailing "ab" does not.
    MakeSized(d + "/g.x", kMb3);
    MakeSized(d + "/ab", kMb3);
    CFileFinder other;
    other.Find(MusicSearchRequest(d, "*.x|ab"));
    EXPECT_EQ(Relative(other.Paths(), d), (QStringList {"g.x"}));
}

TEST(FileFinder, SkipsSystemHiddenExcludedAndTooDeepFolders)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    MakeSized(d + "/Windows/a.mp3", kMb3);
    MakeSized(d + "/WINDOWS/a.mp3", kMb3);
    MakeSized(d + "/windowsmedia/kept.mp3", kMb3); // only the name "windows" itself is skipped
    MakeSized(d + "/$Recycle.Bin/a.mp3", kMb3);
    MakeSized(d + "/.hidden/a.mp3", kMb3);
    MakeSized(d + "/my_node_modules_x/a.mp3", kMb3);
    MakeSized(d + "/1/2/3/4/level4.mp3", kMb3);
    MakeSized(d + "/1/2/3/4/5/level5.mp3", kMb3);
    MakeSized(d + "/top.mp3", kMb3);

    SetFolderExclusions({"node_modules", ""}); // the empty entry must not exclude everything
    CFileFinder finder;
    finder.Find(MusicSearchRequest(d));
    SetFolderExclusions({});
    // Subfolders first, so deeper files come before the folder's own.
    EXPECT_EQ(Relative(finder.Paths(), d),
              (QStringList {"1/2/3/4/level4.mp3", "windowsmedia/kept.mp3", "top.mp3"}));

    FindRequest withHidden = MusicSearchRequest(d);
    withHidden.includeHidden = true;
    CFileFinder hidden;
    hidden.Find(withHidden);
    EXPECT_TRUE(hidden.Paths().contains(d + "/.hidden/a.mp3"));
    EXPECT_TRUE(hidden.Paths().contains(d + "/my_node_modules_x/a.mp3"));

    // Not recursive: the base folder alone.
    CFileFinder flat;
    ScanFolder(flat, d + "/", QString::fromLatin1(kMusicMasks), false, kMusicDepth);
    EXPECT_EQ(Relative(flat.Paths(), d), (QStringList {"top.mp3"}));
}

TEST(FileFinder, FoldersLinksAndUnreadablePlaces)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    MakeSized(d + "/real/a.mp3", kMb3);
    ASSERT_TRUE(QFile::link(d + "/real", d + "/linked"));       // a link to a folder: not entered
    ASSERT_TRUE(QFile::link(d + "/real/a.mp3", d + "/b.mp3")); // a link to a file: found
    ASSERT_TRUE(QFile::link(d + "/gone.mp3", d + "/c.mp3"));   // dangling: nothing
    QDir().mkpath(d + "/album.mp3");                          // a folder that matches the mask

    CFileFinder finder;
    finder.Find(MusicSearchRequest(d));
    EXPECT_EQ(Relative(finder.Paths(), d), (QStringList {"real/a.mp3", "b.mp3"}));
    // A folder the user chose takes every size, and its files are not looked at one by one:
    // the links and the folder named like a file are still told apart.
    CFileFinder chosen;
    ScanFolder(chosen, d, QString::fromLatin1(kMusicMasks), true, kMusicDepth, MusicSizes::kEverySize);
    EXPECT_EQ(Relative(chosen.Paths(), d), (QStringList {"real/a.mp3", "b.mp3"}));

    FindRequest folders;
    folders.baseFolder = d;
    folders.masks = "*.mp3";
    folders.includeFolders = true;
    CFileFinder withFolders;
    withFolders.Find(folders);
    EXPECT_TRUE(withFolders.Paths().contains(d + "/album.mp3"));
    // With the size filter on, a folder counts as size 0 and is never taken.
    folders.sizeFilter = true;
    folders.minSize = 1;
    folders.maxSize = kMb3;
    CFileFinder sized;
    sized.Find(folders);
    EXPECT_FALSE(sized.Paths().contains(d + "/album.mp3"));

    CFileFinder missing;
    EXPECT_EQ(missing.Find(MusicSearchRequest(d + "/no/such/folder")), 0);
}

TEST(FileFinder, NamesInUtf8AndGbkComeBackAsTheirText)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    const QByteArray base = QFile::encodeName(d);
    // "歌曲.mp3" in UTF-8, "音乐/歌曲.mp3" in GBK, and a plain name.
    MakeSized(d + QStringLiteral("/歌曲.mp3"), kMb3);
    const QByteArray folder = base + "/\xd2\xf4\xc0\xd6";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    std::FILE* gbk = std::fopen((folder + "/\xb8\xe8\xc7\xfa.mp3").constData(), "w");
    ASSERT_NE(gbk, nullptr);
    std::fclose(gbk);
    MakeSized(d + "/plain.mp3", kMb3);

    CFileFinder finder;
    ScanFolder(finder, d, QString::fromLatin1(kMusicMasks), true, kMusicDepth, MusicSizes::kEverySize);
    EXPECT_EQ(finder.Paths(), (QStringList {d + QStringLiteral("/音乐/歌曲.mp3"), d + "/plain.mp3",
                                            d + QStringLiteral("/歌曲.mp3")}));
}

TEST(FileFinder, StopCheckEndsTheSearchAndResultsAccumulate)
{
    QTemporaryDir dir;
    const QString d = dir.path();
    for (int i = 0; i < 5; ++i) MakeSized(QString("%1/f%2/a.mp3").arg(d).arg(i), kMb3);

    std::atomic<int> folders {0};
    CFileFinder finder([&] { return ++folders > 3; });
    finder.Find(MusicSearchRequest(d));
    EXPECT_TRUE(finder.Stopped());
    EXPECT_EQ(finder.Count(), 2); // the folders entered before the stop gave their files

    CFileFinder twice;
    twice.Find(MusicSearchRequest(d + "/f0"));
    EXPECT_EQ(twice.Find(MusicSearchRequest(d + "/f1")), 2);
    EXPECT_FALSE(twice.Stopped());
}

#include "store/CQvConf.h"
#include "store/CSqliteDb.h"

#include "tests/common/TestUtil.h"
#include "tests/store/StoreTestUtil.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Overwrites the start of the page that holds `marker`, as a bad sector leaves it, and gives the
// file back its size and time of change: damage no look at the file's outside can see.
bool DamagePageUnseen(const QString& path, const QByteArray& marker)
{
    struct stat before {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &before) != 0) return false;
    QByteArray bytes = testutil::ReadFile(path);
    const int pageSize = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
    const qsizetype at = bytes.indexOf(marker);
    if (pageSize <= 0 || at <= pageSize) return false;
    const qsizetype page = at / pageSize * pageSize;
    for (int k = 0; k < 12; ++k) bytes[page + k] = char(0xff);
    if (!testutil::WriteFile(path, bytes)) return false;
    const timespec times[2] = {before.st_atim, before.st_mtim};
    return ::utimensat(AT_FDCWD, name.constData(), times, 0) == 0;
}

} // namespace

TEST(CleanEnd, EveryPageIsCheckedOnlyAfterAnUncleanEndOrAChangeOfSize)
{
    TempHome t;
    t.conf.OpenAllMissing();
    CSqliteDb* lyrics = t.conf.LyricsDb();
    ASSERT_TRUE(lyrics && lyrics->IsOpen());
    lyrics->Exec("begin");
    for (int i = 0; i < 2000; ++i)
        lyrics->Run("INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)", QString::number(i),
                    QStringLiteral("line %1 ").arg(i).repeated(20));
    lyrics->Exec("commit");
    t.conf.CloseAll(); // a clean end
    EXPECT_TRUE(QFileInfo::exists(t.Data("CleanEnd.txt")));

    // A clean restart reads the schema only: damage its outside does not show goes unseen.
    const QString path = t.Data("Lyric2.db");
    ASSERT_TRUE(DamagePageUnseen(path, "line 1000 "));
    t.conf.OpenAllMissing();
    EXPECT_FALSE(QFileInfo::exists(path + ".damaged"));
    // The note is used up: a run that ends without closing leaves none behind.
    EXPECT_FALSE(QFileInfo::exists(t.Data("CleanEnd.txt")));

    // That run ends without closing (killed); the next start checks every page and finds it.
    {
        CQvConf next;
        next.SetDirectories(t.home);
        next.OpenAllMissing();
        EXPECT_TRUE(QFileInfo::exists(path + ".damaged"));
        ASSERT_TRUE(next.LyricsDb() && next.LyricsDb()->IsOpen());
        next.CloseAll();
    }
    EXPECT_TRUE(QFileInfo::exists(t.Data("CleanEnd.txt")));

    // After a clean end, a file whose size changed since (cut short) is checked all the same.
    const QByteArray whole = testutil::ReadFile(path);
    ASSERT_GT(whole.size(), 3 * 4096);
    ASSERT_TRUE(testutil::WriteFile(path, whole.left(whole.size() / 3)));
    CQvConf after;
    after.SetDirectories(t.home);
    after.OpenAllMissing();
    EXPECT_TRUE(QFileInfo::exists(path + ".damaged.1"));
    // The other files were as the clean end left them and open as they were.
    EXPECT_FALSE(QFileInfo::exists(t.Data("AllMusic2.db.damaged")));
    EXPECT_FALSE(QFileInfo::exists(t.Data("Tree2.db.damaged")));
    after.CloseAll();
}

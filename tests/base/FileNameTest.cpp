#include "base/FileName.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Touch(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

} // namespace

TEST(FileName, GbkNamesReadAsTextAndFindTheirWayBackToTheirBytes)
{
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    // A folder and a file named in GBK ("音乐/歌曲.mp3"), and a UTF-8 name beside them.
    const QByteArray folder = base + "/\xd2\xf4\xc0\xd6";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const QByteArray gbkFile = folder + "/\xb8\xe8\xc7\xfa.mp3";
    ASSERT_TRUE(Touch(gbkFile));
    const QByteArray utf8File = base + "/" + QStringLiteral("歌曲.mp3").toUtf8();
    ASSERT_TRUE(Touch(utf8File));

    const QString text = FileNameText(gbkFile);
    EXPECT_EQ(text, dir.path() + QStringLiteral("/音乐/歌曲.mp3"));
    EXPECT_EQ(FileNameBytes(text), gbkFile);
    EXPECT_TRUE(IsRegularFile(text));
    EXPECT_FALSE(IsRegularFile(FileNameText(folder)));

    // UTF-8 names stay UTF-8, present or not; ASCII is untouched.
    EXPECT_EQ(FileNameText(utf8File), dir.path() + QStringLiteral("/歌曲.mp3"));
    EXPECT_EQ(FileNameBytes(dir.path() + QStringLiteral("/歌曲.mp3")), utf8File);
    EXPECT_EQ(FileNameBytes(dir.path() + QStringLiteral("/新歌.mp3")), base + "/" + QStringLiteral("新歌.mp3").toUtf8());
    EXPECT_EQ(FileNameBytes(QStringLiteral("/tmp/a b.mp3")), QByteArray("/tmp/a b.mp3"));
    // Bytes that are neither UTF-8 nor GB18030 still give a text.
    EXPECT_FALSE(FileNameText(QByteArray("/x/\xff\xff.mp3")).isEmpty());
}

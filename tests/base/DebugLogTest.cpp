#include "base/DebugLog.h"
#include "base/PrivateDir.h"
#include "tests/common/TestUtil.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(DebugLog, OneTimeStampedLinePerCallInBothLogs)
{
    const QString dir = PrivateDir();
    ASSERT_FALSE(dir.isEmpty());
    QFile::remove(dir + "/quarvelA.log");
    QFile::remove(dir + "/quarvelW.log");

    WriteDebugLogA("call %s  failed", "GetTitle");
    WriteDebugLogA("playcore %s\t(code:%d)", "stream error", 41);
    WriteDebugLogW(QStringLiteral("vuid:用户"));

    const QStringList narrow =
        QString::fromUtf8(testutil::ReadFile(dir + "/quarvelA.log")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(narrow.size(), 2);
    const QRegularExpression prefix(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d  \\S"));
    EXPECT_TRUE(prefix.match(narrow[0]).hasMatch()) << narrow[0].toStdString();
    EXPECT_TRUE(narrow[0].endsWith(QStringLiteral("  call GetTitle  failed")));
    EXPECT_TRUE(narrow[1].endsWith(QStringLiteral("playcore stream error\t(code:41)")));

    const QString wide = QString::fromUtf8(testutil::ReadFile(dir + "/quarvelW.log"));
    EXPECT_TRUE(wide.endsWith(QStringLiteral("  vuid:用户\n")));
}

TEST(DebugLog, PrivateFolderIsOursAndAnUnwritableOneIsSilent)
{
    const QString dir = PrivateDir();
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(dir).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);

    // A runtime folder someone else can write into is not used for our files; the fallback
    // under the temporary folder is.
    QTemporaryDir open;
    chmod(QFile::encodeName(open.path()).constData(), 0777);
    QDir(open.path()).mkdir("ordel");
    chmod(QFile::encodeName(open.path() + "/ordel").constData(), 0777);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", open.path().toUtf8());
    const QString fallback = PrivateDir();
    EXPECT_NE(fallback, open.path() + "/ordel");
    WriteDebugLogA("x");
    EXPECT_FALSE(QFile::exists(open.path() + "/ordel/quarvelA.log"));
    qputenv("XDG_RUNTIME_DIR", saved);
}

#include "app/CSingleInstance.h"
#include "app/FileAssociation.h"
#include "app/HandOver.h"

#include "base/CodePage.h"
#include "tests/common/TestUtil.h"
#include "ui/CProfileIni.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(HandOver, FileCarriesEveryPathInOrderInTheCodePage)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("file.xml");
    const QStringList paths = {QStringLiteral("/home/u/音乐/晚风.mp3"), QStringLiteral("/tmp/a & b \"c\".mp3"),
                               QStringLiteral("/x/y.wma")};
    ASSERT_TRUE(WriteHandOverFile(file, paths));
    const QByteArray bytes = testutil::ReadFile(file);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\" standalone=\"yes\"?>"));
    EXPECT_TRUE(bytes.contains("<body>"));
    EXPECT_EQ(bytes.count("<file "), 3);
    // Code-page bytes, not UTF-8.
    EXPECT_TRUE(bytes.contains(ToAnsi(QStringLiteral("晚风"))));
    EXPECT_FALSE(bytes.contains(QStringLiteral("晚风").toUtf8()));
    EXPECT_EQ(ReadHandOverFile(file), paths);

    // A second start without files leaves an empty body; a missing or broken file gives nothing.
    ASSERT_TRUE(WriteHandOverFile(file, {}));
    EXPECT_TRUE(ReadHandOverFile(file).isEmpty());
    EXPECT_TRUE(ReadHandOverFile(dir.filePath("none.xml")).isEmpty());
    testutil::WriteFile(file, "<body><file name=\"/a.mp3\"");
    EXPECT_TRUE(ReadHandOverFile(file).isEmpty());
    EXPECT_TRUE(HandOverFilePath().endsWith(QStringLiteral("/file.xml")));
}

TEST(SingleInstance, SecondStartReachesTheFirstAndAStaleNameIsTakenOver)
{
    QTemporaryDir dir;
    const QString name = dir.filePath("QuarvelMutex");
    CSingleInstance first(name);
    ASSERT_TRUE(first.Acquire());
    EXPECT_TRUE(first.IsPrimary());
    QList<unsigned> got;
    first.SetHandler([&](unsigned m) { got.append(m); });

    {
        CSingleInstance second(name);
        EXPECT_FALSE(second.Acquire());
        EXPECT_TRUE(second.OtherRunning());
        EXPECT_TRUE(second.Send(1533));
        EXPECT_TRUE(second.Send(1532));
        EXPECT_TRUE(testutil::WaitUntil([&] { return got.size() == 2; }, 10000));
    }
    EXPECT_EQ(got, (QList<unsigned>{1533, 1532}));

    // A socket file left behind by a start that ended without closing it.
    QTemporaryDir other;
    const QString stale = other.filePath("QuarvelMutex");
    testutil::WriteFile(stale, "");
    CSingleInstance next(stale);
    EXPECT_TRUE(next.Acquire());
}

struct AssociationHome {
    QTemporaryDir dir;
    AssociationPaths paths{dir.filePath("config/mimeapps.list"), dir.filePath("data/applications/ordel.desktop")};
};

TEST(FileAssociation, WrittenOnlyWhenADefaultExistsThatNamesAnotherProgram)
{
    const QString exe = QStringLiteral("/opt/ordel/bin/ordel");
    {
        // No mimeapps.list, or one without an audio/mpeg default: nothing.
        AssociationHome h;
        EXPECT_EQ(RegisterMp3Association(exe, h.paths), 0);
        EXPECT_FALSE(QFile::exists(h.paths.desktopFile));
        QDir().mkpath(h.dir.filePath("config"));
        testutil::WriteFile(h.paths.mimeApps, "[Default Applications]\ntext/plain=gedit.desktop\n");
        EXPECT_EQ(RegisterMp3Association(exe, h.paths), 0);
        EXPECT_FALSE(QFile::exists(h.paths.desktopFile));
    }
    {
        AssociationHome h;
        QDir().mkpath(h.dir.filePath("config"));
        testutil::WriteFile(h.paths.mimeApps,
                            "[Added Associations]\naudio/mpeg=vlc.desktop;\n\n[Default Applications]\n"
                            "audio/mpeg=vlc.desktop;rhythmbox.desktop;\ntext/plain=gedit.desktop\n");
        EXPECT_EQ(RegisterMp3Association(exe, h.paths), 1);
        CProfileIni ini;
        ini.Load(h.paths.mimeApps);
        EXPECT_EQ(ini.Value("Default Applications", "audio/mpeg"), "ordel.desktop;vlc.desktop;rhythmbox.desktop;");
        EXPECT_EQ(ini.Value("Default Applications", "text/plain"), "gedit.desktop");
        EXPECT_EQ(ini.Value("Added Associations", "audio/mpeg"), "vlc.desktop;");
        const QString entry = QString::fromUtf8(testutil::ReadFile(h.paths.desktopFile));
        EXPECT_TRUE(entry.contains("Exec=\"/opt/ordel/bin/ordel\" %f"));
        EXPECT_TRUE(entry.contains("MimeType=audio/mpeg;"));
        EXPECT_TRUE(entry.contains("Icon=ordel\n")) << "the installed theme icon";
        EXPECT_TRUE(entry.contains(QStringLiteral("Ordelmp3文件 (.mp3)")));

        // Already the player's: no write at all.
        QFile::remove(h.paths.desktopFile);
        const QByteArray before = testutil::ReadFile(h.paths.mimeApps);
        EXPECT_EQ(RegisterMp3Association(exe, h.paths), 0);
        EXPECT_EQ(testutil::ReadFile(h.paths.mimeApps), before);
        EXPECT_FALSE(QFile::exists(h.paths.desktopFile));
    }
}

} // namespace

#include "ui/CProfileIni.h"
#include "ui/CSkinSplitter.h"
#include "ui/CWndShadow.h"

#include "tests/common/TestUtil.h"

#include <QCoreApplication>
#include <QLabel>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

TEST(ProfileIni, KeepsWhatItDoesNotKnowAndTakesSectionNamesLiterally)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/profile.ini");
    ASSERT_TRUE(dir.isValid());
    CProfileIni ini;
    ini.Load(path); // missing: empty
    EXPECT_EQ(ini.IntValue("splt\\init_v1", "VertSplitPos", 440), 440);
    ini.SetInt("splt\\init_v1", "VertSplitPos", 230);
    ini.SetValue("other", "name", "值");
    ASSERT_TRUE(ini.Save(path));
    const QString text = QString::fromUtf8(testutil::ReadFile(path));
    EXPECT_TRUE(text.contains("[splt\\init_v1]\nVertSplitPos=230\n"));

    ASSERT_TRUE(testutil::WriteFile(path, "; a comment\n[Settings]\nkeep=1\r\n[SPLT\\INIT_V1]\nvertsplitpos = 77abc\n"));
    CProfileIni again;
    again.Load(path);
    EXPECT_EQ(again.IntValue("splt\\init_v1", "VertSplitPos", 0), 77); // any case; read like atoi
    EXPECT_EQ(again.Value("settings", "KEEP"), "1");
    again.SetInt("splt\\init_v1", "VertSplitPos", 90);
    ASSERT_TRUE(again.Save(path));
    const QString saved = QString::fromUtf8(testutil::ReadFile(path));
    EXPECT_TRUE(saved.startsWith("; a comment\n[Settings]\nkeep=1\n"));
    EXPECT_TRUE(saved.contains("VertSplitPos=90"));
    EXPECT_FALSE(saved.contains("77abc"));
}

TEST(SkinSplitter, StartsAtTwiceTheInitialSizeAndKeepsItsPosition)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("profile.ini");
    {
        CSkinSplitter split(1, CSkinSplitter::kVerticalBar, 110, path);
        EXPECT_EQ(split.Position(), 220);
        split.SetPanes(new QLabel("a"), new QLabel("b"));
        split.resize(701, 300);
        split.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(split.Position(), 220);
        split.setSizes({300, 400});
        EXPECT_EQ(split.Position(), 300);
    }
    CProfileIni ini;
    ini.Load(path);
    EXPECT_EQ(ini.IntValue("splt\\init_v1", "VertSplitPos", -1), 300);
    {
        CSkinSplitter split(1, CSkinSplitter::kVerticalBar, 110, path);
        EXPECT_EQ(split.Position(), 300);
        split.SetPanes(new QLabel("a"), new QLabel("b"));
        split.resize(501, 300);
        split.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(split.sizes().value(0), 300);
        // Growing the window leaves the remembered pane as it is.
        split.resize(801, 300);
        QCoreApplication::processEvents();
        EXPECT_EQ(split.sizes().value(0), 300);
    }
    {
        CSkinSplitter split(2, CSkinSplitter::kHorizontalBar, 50, path);
        split.SetPanes(new QLabel("top"), new QLabel("bottom"));
        split.resize(200, 401);
        split.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(split.sizes().value(1), 100); // the lower pane
        split.setSizes({250, 150});
    }
    ini.Load(path);
    EXPECT_EQ(ini.IntValue("splt\\init_h2", "HorizSplitPos", -1), 150);
    {
        // Never laid out: its panes are empty and nothing is written.
        CSkinSplitter split(3, CSkinSplitter::kVerticalBar, 40, path);
        split.SetPanes(new QLabel("a"), new QLabel("b"));
    }
    ini.Load(path);
    EXPECT_FALSE(ini.Has("splt\\init_v3", "VertSplitPos"));
}

TEST(WndShadow, RefusesValuesOutOfRangeAndDrawsASoftEdge)
{
    QWidget window;
    CWndShadow shadow(&window);
    EXPECT_TRUE(shadow.SetDarkness(255));
    EXPECT_FALSE(shadow.SetDarkness(256));
    EXPECT_FALSE(shadow.SetDarkness(-1));
    EXPECT_TRUE(shadow.SetSharpness(20));
    EXPECT_FALSE(shadow.SetSharpness(21));
    EXPECT_TRUE(shadow.SetSize(-20));
    EXPECT_FALSE(shadow.SetSize(21));
    EXPECT_FALSE(shadow.SetPosition(0, -21));
    EXPECT_FALSE(shadow.SetPosition(21, 0));
    EXPECT_EQ(shadow.Darkness(), 255);
    EXPECT_EQ(shadow.Sharpness(), 20);
    EXPECT_EQ(shadow.Size(), -20);

    ASSERT_TRUE(shadow.SetDarkness(80));
    ASSERT_TRUE(shadow.SetSharpness(8));
    ASSERT_TRUE(shadow.SetSize(10));
    ASSERT_TRUE(shadow.SetPosition(2, 4));
    EXPECT_EQ(shadow.Margins(), QMargins(8, 6, 12, 14));

    const QImage image = CWndShadow::Render(QSize(100, 60), 80, 8, 10, Qt::black);
    ASSERT_EQ(image.size(), QSize(120, 80));
    EXPECT_EQ(qAlpha(image.pixel(60, 40)), 80);    // under the window
    EXPECT_EQ(qAlpha(image.pixel(60, 8)), 80);     // inside the fade's start
    EXPECT_LT(qAlpha(image.pixel(60, 3)), 80);     // fading
    EXPECT_GT(qAlpha(image.pixel(60, 3)), 0);
    EXPECT_LE(qAlpha(image.pixel(0, 0)), 1);       // the corner is gone
    EXPECT_LT(qAlpha(image.pixel(2, 2)), qAlpha(image.pixel(60, 2)));
    EXPECT_TRUE(CWndShadow::Render(QSize(10, 10), 80, 4, -20, Qt::black).isNull());

    const QImage hard = CWndShadow::Render(QSize(10, 10), 200, 0, 2, Qt::black);
    EXPECT_EQ(qAlpha(hard.pixel(0, 0)), 200);

    shadow.SetNone();
    EXPECT_EQ(shadow.Margins(), QMargins());
    EXPECT_EQ(shadow.Darkness(), 0);
}

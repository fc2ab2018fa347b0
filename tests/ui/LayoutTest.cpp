#include "ui/CSkinPosManage.h"
#include "ui/SkinScheme.h"

#include "base/CodePage.h"
#include "tests/common/TestUtil.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

SkinPosRecord Rec(int align, int x, int y, int w, int h, int stretch = 0)
{
    SkinPosRecord r;
    r.ctrlId = 1;
    r.alignType = align;
    r.x = x;
    r.y = y;
    r.width = w;
    r.height = h;
    r.stretch = stretch;
    return r;
}

QRect Placed(const SkinPosRecord& r, const QRect& parent)
{
    QRect out(-1, -1, -1, -1);
    EXPECT_TRUE(PlaceRecord(r, parent, out));
    return out;
}

} // namespace

TEST(SkinPlace, EveryAlignTypeMeasuresFromItsEdge)
{
    const QRect parent(0, 0, 500, 400);
    EXPECT_EQ(Placed(Rec(0, 10, 20, 30, 40), parent), QRect(10, 20, 30, 40));
    // Right and bottom of a client rectangle are left + width and top + height.
    const QRect right = Placed(Rec(1, 30, 5, 20, 10), parent);
    EXPECT_EQ(right.left(), 470);
    EXPECT_EQ(right.left() + right.width(), 490);
    EXPECT_EQ(right.top(), 5);
    EXPECT_EQ(Placed(Rec(2, 7, 50, 20, 10), parent), QRect(7, 350, 20, 10));
    EXPECT_EQ(Placed(Rec(3, 60, 50, 20, 10), parent), QRect(440, 350, 20, 10));
    EXPECT_EQ(Placed(Rec(4, 50, 9, 20, 10), QRect(0, 0, 301, 100)).left(), 150);
    EXPECT_EQ(Placed(Rec(4, 50, 9, 20, 10), QRect(0, 0, 301, 100)).top(), 9);
    EXPECT_EQ(Placed(Rec(5, 8, 50, 20, 10), QRect(0, 0, 100, 301)), QRect(8, 150, 20, 10));
    // The far edges of a rectangle that does not start at 0.
    EXPECT_EQ(Placed(Rec(3, 10, 10, 5, 5), QRect(100, 200, 50, 60)), QRect(140, 250, 5, 5));

    for (int unknown : {6, -1, 99}) {
        QRect out(1, 2, 3, 4);
        EXPECT_FALSE(PlaceRecord(Rec(unknown, 10, 10, 10, 10), parent, out));
        EXPECT_EQ(out, QRect(1, 2, 3, 4));
    }
}

TEST(SkinPlace, StretchedControlsTakeTheParentsGrowthAndKeepTheirAnchoredEdge)
{
    const QSize design(400, 300);
    const QRect grown(0, 0, 500, 350);
    QRect out;
    ASSERT_TRUE(PlaceRecordStretched(Rec(0, 10, 10, 100, 50, 1), grown, design, out));
    EXPECT_EQ(out, QRect(10, 10, 200, 50));
    ASSERT_TRUE(PlaceRecordStretched(Rec(3, 120, 60, 100, 50, 3), grown, design, out));
    EXPECT_EQ(out, QRect(280, 240, 200, 100)); // right edge 480 and bottom 340, as at design size
    ASSERT_TRUE(PlaceRecordStretched(Rec(0, 10, 10, 100, 50, 2), QRect(0, 0, 400, 200), design, out));
    EXPECT_EQ(out, QRect(10, 10, 100, 0)); // shrunk past nothing: never negative
    ASSERT_TRUE(PlaceRecordStretched(Rec(0, 10, 10, 100, 50, 3), grown, QSize(), out));
    EXPECT_EQ(out, QRect(10, 10, 100, 50)); // no design size, no growth
    out = QRect(1, 1, 1, 1);
    EXPECT_FALSE(PlaceRecordStretched(Rec(8, 10, 10, 100, 50, 3), grown, design, out));
    EXPECT_EQ(out, QRect(1, 1, 1, 1));
}

TEST(SkinPosManage, LoadsRecordsAndALaterRecordOfAnIdWins)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("pos.xml");
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"GBK\"?><layout>"
                     "<wnd id=\"102\">"
                     "<ctrl id=\"102\" x=\"0\" y=\"0\" width=\"640\" height=\"480\" aligntype=\"0\" name=\"back.bmp\"/>"
                     "<ctrl id=\"7\" x=\"1\" y=\"2\" width=\"3\" height=\"4\" aligntype=\"0\" name=\"first.bmp\"/>"
                     "<ctrl id=\"8\" x=\"12abc\" width=\"5\" aligntype=\"1\"/>"
                     "</wnd><wnd id=\"131\">"
                     "<ctrl id=\"7\" x=\"30\" y=\"5\" width=\"20\" height=\"10\" aligntype=\"1\" name=\"";
    xml += ToAnsi(QStringLiteral("图片.bmp"));
    xml += "\" stretch=\"1\"/></wnd></layout>";
    ASSERT_TRUE(testutil::WriteFile(path, xml));

    CSkinPosManage pos;
    ASSERT_TRUE(pos.Load(path));
    EXPECT_EQ(pos.Count(), 3);
    const SkinPosRecord* seven = pos.Find(7);
    ASSERT_NE(seven, nullptr);
    EXPECT_EQ(seven->wndId, 131);
    EXPECT_EQ(seven->x, 30);
    EXPECT_EQ(seven->alignType, 1);
    EXPECT_EQ(seven->stretch, 1);
    EXPECT_EQ(seven->name, QStringLiteral("图片.bmp"));
    QRect out;
    ASSERT_TRUE(pos.Place(QRect(0, 0, 500, 400), out, 7));
    EXPECT_EQ(out, QRect(470, 5, 20, 10));

    const SkinPosRecord* eight = pos.Find(8);
    ASSERT_NE(eight, nullptr);
    EXPECT_EQ(eight->x, 12);
    EXPECT_EQ(eight->y, 0); // missing attributes count as 0
    EXPECT_EQ(eight->height, 0);
    EXPECT_TRUE(eight->name.isEmpty());

    EXPECT_EQ(pos.DesignSize(102), QSize(640, 480));
    EXPECT_TRUE(pos.DesignSize(131).isEmpty());
    EXPECT_EQ(pos.RecordsOf(102).size(), 1); // 8; 7 moved to 131; its own record left out
    EXPECT_EQ(pos.RecordsOf(131).size(), 1);
    EXPECT_EQ(pos.WindowIds(), (QList<int>{102, 131}));

    QRect untouched(9, 9, 9, 9);
    EXPECT_FALSE(pos.Place(QRect(0, 0, 500, 400), untouched, 12345));
    EXPECT_EQ(untouched, QRect(9, 9, 9, 9));
    EXPECT_EQ(pos.Find(12345), nullptr);

    // A file that does not load leaves the map empty.
    ASSERT_TRUE(testutil::WriteFile(dir.filePath("bad.xml"), "<layout><wnd id=\"1\"><ctrl"));
    EXPECT_FALSE(pos.Load(dir.filePath("bad.xml")));
    EXPECT_EQ(pos.Count(), 0);
    ASSERT_TRUE(pos.Load(path));
    EXPECT_FALSE(pos.Load(dir.filePath("missing.xml")));
    EXPECT_EQ(pos.Find(7), nullptr);
}

TEST(SkinScheme, LayoutChoiceAndSchemeNames)
{
    EXPECT_EQ(LayoutFileName(733, false), "pos_small.xml");
    EXPECT_EQ(LayoutFileName(734, false), "pos.xml");
    EXPECT_EQ(LayoutFileName(733, true), "pos_win7_small.xml");
    EXPECT_EQ(LayoutFileName(734, true), "pos_win7.xml");

    EXPECT_EQ(SortOrderBitmap(0), "order_blue.bmp");
    EXPECT_EQ(SortOrderStarBitmap(0), "order_star_blue.bmp");
    EXPECT_EQ(SortOrderBitmap(1), "order_orange.bmp");
    EXPECT_EQ(SortOrderStarBitmap(2), "order_star_purple.bmp");
    EXPECT_EQ(SortOrderBitmap(9), "order_blue.bmp");
    EXPECT_EQ(SchemeColor(1), qRgb(187, 79, 0));
    EXPECT_EQ(SchemeColor(3), qRgb(51, 151, 190));
    EXPECT_EQ(SchemeColor(-1), qRgb(51, 151, 190));
    EXPECT_EQ(PageCssStyle(0), "blue");
    EXPECT_EQ(PageCssStyle(1), "gold");
    EXPECT_EQ(PageCssStyle(2), "purple");
    EXPECT_EQ(PageCssStyle(5), "purple");

    const SliderBitmaps s = SliderBitmapNames("progress");
    EXPECT_EQ(s.active, "progress_active.bmp");
    EXPECT_EQ(s.back, "progress_back.bmp");
    EXPECT_EQ(s.thumb, "progress_thumb.bmp");
    EXPECT_EQ(s.buffer, "progress_buffer.bmp");
}

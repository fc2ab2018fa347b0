// The layout of the skinned windows. Sizes of the main window: 980 x 660 for screens 734
// pixels tall and more, 880 x 580 below. The header (60) and the play bar (76) are the same in
// both, so the two share their bitmaps; the panes and the cover room change.
#include "tools/skingen/SkinGen.h"

#include "tools/skingen/Theme.h"

namespace skingen {
namespace {

enum { kTopLeft = 0, kTopRight = 1, kBottomLeft = 2, kBottomRight = 3 };
enum { kNone = 0, kWidth = 1, kHeight = 2, kBoth = 3 };

struct Builder {
    QList<Record> list;
    int wnd = 0;
    void Add(int id, int x, int y, int w, int h, int align, const QString& name, int stretch = kNone)
    {
        list.append(Record{wnd, id, x, y, w, h, align, name, stretch});
    }
};

} // namespace

QList<Record> LayoutRecords(bool small)
{
    const int W = small ? 880 : 980;
    const int H = small ? 580 : 660;
    const int content = H - kHeaderHeight - kBarHeight;
    const int treeW = small ? 196 : 220;
    const int sideW = small ? 236 : 260;
    const int searchW = small ? 92 : 168;

    Builder b;
    // Main window.
    b.wnd = 102;
    b.Add(102, 0, 0, W, H, kTopLeft, "back.bmp");
    b.Add(1040, 16, 14, 116, 32, kTopLeft, "title.bmp");
    for (int i = 0; i < 3; ++i) b.Add(1041 + i, 148 + i * kTabWidth, 14, kTabWidth, 32, kTopLeft, "tab.bmp");
    const int searchX = 148 + 3 * kTabWidth + 16;
    b.Add(1045, searchX, 15, searchW, 30, kTopLeft, "search.bmp");
    b.Add(1030, searchX + searchW, 15, 30, 30, kTopLeft, "btn_search.bmp");
    b.Add(1046, 340, 14, 32, 32, kTopRight, "userpic.bmp");
    b.Add(1047, 302, 20, 84, 20, kTopRight, "");
    b.Add(1048, 208, 16, 28, 28, kTopRight, "btn_color.bmp");
    b.Add(1521, 176, 16, 28, 28, kTopRight, "settingicon.bmp");
    b.Add(1165, 136, 16, 28, 28, kTopRight, "btn_mini.bmp");
    b.Add(1024, 104, 16, 28, 28, kTopRight, "btn_min.bmp");
    b.Add(1023, 72, 16, 28, 28, kTopRight, "btn_max.bmp");
    b.Add(1016, 40, 16, 28, 28, kTopRight, "btn_close.bmp");
    b.Add(1070, 0, kHeaderHeight, W - sideW, content, kTopLeft, "", kBoth);
    b.Add(1073, sideW, kHeaderHeight, sideW, content, kTopRight, "sideback.bmp", kHeight);
    // The play bar, measured from the bottom: the left group, the title and progress in the
    // middle (they take the window's growth), the modes and the volume on the right.
    b.Add(1004, 24, 56, 36, 36, kBottomLeft, "btn_prev.bmp");
    b.Add(1002, 66, 62, 48, 48, kBottomLeft, "btn_play.bmp");
    b.Add(1005, 120, 56, 36, 36, kBottomLeft, "btn_next.bmp");
    b.Add(1003, 166, 52, 28, 28, kBottomLeft, "btn_stop.bmp");
    b.Add(1058, 206, 58, 2, 40, kBottomLeft, "slider_side.bmp");
    b.Add(1051, 222, 64, W - 686, 22, kBottomLeft, "", kWidth);
    b.Add(1443, 454, 63, 20, 20, kBottomRight, "btn_favorite.bmp");
    for (int i = 0; i < 5; ++i) b.Add(1436 + i, 426 - 18 * i, 61, 16, 16, kBottomRight, "btn_star.bmp");
    b.Add(1052, 222, 32, 35, 14, kBottomLeft, "num.bmp");
    b.Add(1054, 268, 34, W - 652, 18, kBottomLeft, "progress", kWidth);
    b.Add(1053, 378, 32, 42, 14, kBottomRight, "num.bmp");
    b.Add(1059, 322, 58, 2, 40, kBottomRight, "slider_side.bmp");
    b.Add(1025, 306, 50, 24, 24, kBottomRight, "btn_loop.bmp");
    b.Add(1026, 276, 50, 24, 24, kBottomRight, "btn_random.bmp");
    b.Add(1512, 246, 50, 24, 24, kBottomRight, "btn_single.bmp");
    b.Add(1442, 214, 47, 18, 18, kBottomRight, "btn_voldown.bmp");
    b.Add(1056, 192, 47, 84, 18, kBottomRight, "volume");
    b.Add(1441, 104, 47, 18, 18, kBottomRight, "btn_volup.bmp");
    b.Add(1107, 76, 50, 24, 24, kBottomRight, "btn_locate.bmp");
    b.Add(1432, 44, 50, 30, 24, kBottomRight, "btn_lyric.bmp");

    // The splitter's two panes, in the splitter's coordinates.
    b.wnd = 1070;
    b.Add(1071, 0, 0, treeW, content, kTopLeft, "treeback.bmp", kHeight);
    b.Add(1072, treeW, 0, W - sideW - treeW, content, kTopLeft, "", kBoth);

    b.wnd = 1071;
    b.Add(1029, 16, 14, treeW - 32, 34, kTopLeft, "btn_add.bmp", kWidth);
    b.Add(1057, 0, 60, treeW, content - 60, kTopLeft, "treeimage.bmp", kBoth);

    b.wnd = 1073;
    b.Add(1164, 28, 8, 18, 18, kTopRight, "btn_panelclose.bmp");
    b.Add(1049, (sideW - kCoverSize) / 2, 30, kCoverSize, kCoverSize, kTopLeft, "logo.bmp");
    b.Add(153, 14, 244, sideW - 28, content - 258, kTopLeft, "lrcback.bmp", kHeight);

    // Picture-view window.
    b.wnd = 131;
    b.Add(131, 0, 0, 288, 384, kTopLeft, "miniback.bmp");
    b.Add(1305, 14, 10, 196, 20, kTopLeft, "");
    b.Add(1302, 64, 8, 24, 24, kTopRight, "mini_restore.bmp");
    b.Add(1303, 36, 8, 24, 24, kTopRight, "mini_close.bmp");
    b.Add(1304, 20, 52, kMiniPictureSize, kMiniPictureSize, kTopLeft, "viewmodepic.bmp");
    b.Add(1306, 20, 310, 248, 14, kTopLeft, "miniprogress");
    b.Add(1307, 76, 334, 32, 32, kTopLeft, "mini_prev.bmp");
    b.Add(1308, 124, 330, 40, 40, kTopLeft, "mini_play.bmp");
    b.Add(1309, 180, 334, 32, 32, kTopLeft, "mini_next.bmp");

    // Colour-scheme popup.
    b.wnd = 170;
    b.Add(170, 0, 0, 136, 48, kTopLeft, "colorpanel.bmp");
    b.Add(1433, 14, 10, 28, 28, kTopLeft, "color_blue.bmp");
    b.Add(1434, 54, 10, 28, 28, kTopLeft, "color_orange.bmp");
    b.Add(1435, 94, 10, 28, 28, kTopLeft, "color_purple.bmp");

    // Desktop lyrics: the design size only (the height is the font size and 20).
    b.wnd = 161;
    b.Add(161, 0, 0, 800, 68, kTopLeft, "");

    // Desktop lyric bar.
    b.wnd = 163;
    b.Add(163, 0, 0, 352, 40, kTopLeft, "lrcbarback.bmp");
    for (int i = 0; i < 4; ++i) b.Add(1197 + i, 10 + 30 * i, 8, 24, 24, kTopLeft, QStringLiteral("lrcscheme%1.bmp").arg(i));
    b.Add(1202, 134, 8, 172, 24, kTopLeft, "");
    b.Add(1201, 318, 8, 24, 24, kTopLeft, "lrcbar_close.bmp");
    return b.list;
}

QByteArray LayoutXml(bool small)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"GBK\"?>\n"
                     "<!-- Written by tools/skingen: change the generator, not this file. -->\n"
                     "<layout>\n";
    int wnd = -1;
    for (const Record& r : LayoutRecords(small)) {
        if (r.wnd != wnd) {
            if (wnd != -1) out += "  </wnd>\n";
            wnd = r.wnd;
            out += "  <wnd id=\"" + QByteArray::number(wnd) + "\">\n";
        }
        out += "    <ctrl id=\"" + QByteArray::number(r.id) + "\" x=\"" + QByteArray::number(r.x) + "\" y=\"" +
               QByteArray::number(r.y) + "\" width=\"" + QByteArray::number(r.width) + "\" height=\"" +
               QByteArray::number(r.height) + "\" aligntype=\"" + QByteArray::number(r.align) + "\" name=\"" +
               r.name.toLatin1() + "\"";
        if (r.stretch) out += " stretch=\"" + QByteArray::number(r.stretch) + "\"";
        out += "/>\n";
    }
    if (wnd != -1) out += "  </wnd>\n";
    out += "</layout>\n";
    return out;
}

QList<QPair<QString, QByteArray>> LayoutFiles()
{
    const QByteArray normal = LayoutXml(false), small = LayoutXml(true);
    return {{"pos.xml", normal}, {"pos_small.xml", small}, {"pos_win7.xml", normal}, {"pos_win7_small.xml", small}};
}

} // namespace skingen

// The default skin as committed in resources/skin: what the generator draws, complete and
// consistent with the layouts, and visibly different in each scheme.
#include "tests/ui/SkinDemo.h"
#include "tools/skingen/SkinGen.h"

#include "ui/CSkin.h"
#include "ui/CSkinPosManage.h"
#include "ui/SkinScheme.h"

#include "tests/common/TestUtil.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>

#include <gtest/gtest.h>

namespace {

QString SkinFolder() { return testutil::SourceDir() + "/resources/skin/"; }

constexpr QRgb kMagenta = 0xFF00FF;

// Every file a record names: its bitmap, or the four files of a slider's base name.
QStringList NamedFiles(const skingen::Record& r)
{
    if (r.name.isEmpty()) return {};
    if (r.name.endsWith(".bmp")) return {r.name};
    const SliderBitmaps s = SliderBitmapNames(r.name);
    QStringList files = {s.back, s.active, s.thumb};
    if (r.name != "volume") files.append(s.buffer);
    return files;
}

int Differing(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))}) > 24) ++n;
        }
    return n;
}

} // namespace

TEST(SkinFiles, CommittedTextFilesAreWhatTheGeneratorWrites)
{
    for (const auto& [name, text] : skingen::LayoutFiles())
        EXPECT_EQ(testutil::ReadFile(SkinFolder() + name), text) << name.toStdString() << ": run `cmake --build build --target skin`";
    EXPECT_EQ(testutil::ReadFile(SkinFolder() + "ordel.skin"), skingen::SkinFile()) << "run `cmake --build build --target skin`";
    // The program reads back what the generator meant.
    CSkinPosManage pos;
    ASSERT_TRUE(pos.Load(SkinFolder() + "pos.xml"));
    EXPECT_EQ(pos.Count(), skingen::LayoutRecords(false).size());
    EXPECT_EQ(pos.Find(1054)->stretch, 1);
    EXPECT_EQ(pos.Find(1054)->name, "progress");
}

TEST(SkinFiles, EveryBitmapIsThereAtItsSizeAndUsesMagentaForTransparency)
{
    QStringList specified;
    for (const skingen::BitmapSpec& bitmap : skingen::BitmapSpecs()) {
        specified.append(bitmap.name);
        const QImage image(SkinFolder() + bitmap.name);
        ASSERT_FALSE(image.isNull()) << bitmap.name.toStdString();
        EXPECT_EQ(image.size(), bitmap.size) << bitmap.name.toStdString();
        EXPECT_FALSE(image.hasAlphaChannel()) << bitmap.name.toStdString();
        EXPECT_EQ(bitmap.size.width() % bitmap.frames, 0) << bitmap.name.toStdString();
    }
    // Every file the program names is part of the skin.
    for (const char* name : {"logo.bmp", "viewmodepic.bmp", "Welcome.bmp", "treeimage.bmp", "slider_side.bmp", "back.bmp",
                             "num.bmp", "userpic.bmp", "settingicon.bmp", "messageicons.bmp", "updatesuccesstips.bmp"})
        EXPECT_TRUE(specified.contains(name)) << name;
    for (int scheme = 0; scheme < kSkinSchemeCount; ++scheme) {
        EXPECT_TRUE(specified.contains(SortOrderBitmap(scheme)));
        EXPECT_TRUE(specified.contains(SortOrderStarBitmap(scheme)));
    }
    // Buttons are see-through around their shape, backgrounds are not.
    EXPECT_EQ(QImage(SkinFolder() + "btn_close.bmp").pixel(0, 0) & 0xFFFFFF, kMagenta);
    EXPECT_EQ(QImage(SkinFolder() + "btn_play.bmp").pixel(0, 0) & 0xFFFFFF, kMagenta);
    EXPECT_NE(QImage(SkinFolder() + "back.bmp").pixel(20, 100) & 0xFFFFFF, kMagenta);
    // Nothing else in the folder.
    const QStringList bitmaps = QDir(SkinFolder()).entryList({"*.bmp"}, QDir::Files);
    EXPECT_EQ(bitmaps.size(), specified.size());
}

TEST(SkinFiles, EveryControlHasItsBitmapAndNoneOverlap)
{
    QHash<QString, skingen::BitmapSpec> specs;
    for (const skingen::BitmapSpec& s : skingen::BitmapSpecs()) specs.insert(s.name, s);
    for (bool small : {false, true}) {
        const QList<skingen::Record> records = skingen::LayoutRecords(small);
        QHash<int, QSize> design;
        QSet<int> ids;
        for (const skingen::Record& r : records) {
            EXPECT_FALSE(ids.contains(r.id)) << r.id;
            ids.insert(r.id);
            design.insert(r.id, QSize(r.width, r.height));
        }
        for (const skingen::Record& r : records) {
            const std::string where = std::to_string(r.id) + (small ? " (small)" : "");
            for (const QString& file : NamedFiles(r)) EXPECT_TRUE(specs.contains(file)) << where << " " << file.toStdString();
            // A button's frame is its control's size: nothing is scaled.
            if (specs.contains(r.name) && specs[r.name].frames > 1 && !specs[r.name].nineGrid && r.name != "treeimage.bmp" &&
                r.name != "num.bmp") {
                EXPECT_EQ(QSize(specs[r.name].size.width() / specs[r.name].frames, specs[r.name].size.height()),
                          QSize(r.width, r.height)) << where;
            }
            if (r.id == r.wnd) continue;
            // Inside its window at the window's design size...
            ASSERT_TRUE(design.contains(r.wnd)) << where;
            const QRect parent(QPoint(0, 0), design[r.wnd]);
            SkinPosRecord rec;
            rec.x = r.x, rec.y = r.y, rec.width = r.width, rec.height = r.height, rec.alignType = r.align;
            QRect placed;
            ASSERT_TRUE(PlaceRecord(rec, parent, placed)) << where;
            EXPECT_TRUE(parent.contains(placed)) << where;
            // ... and clear of every other control of that window.
            for (const skingen::Record& o : records) {
                if (o.wnd != r.wnd || o.id == o.wnd || o.id <= r.id) continue;
                SkinPosRecord other;
                other.x = o.x, other.y = o.y, other.width = o.width, other.height = o.height, other.alignType = o.align;
                QRect placedOther;
                ASSERT_TRUE(PlaceRecord(other, parent, placedOther));
                EXPECT_FALSE(placed.intersects(placedOther)) << where << " and " << o.id;
            }
        }
    }
}

TEST(SkinFiles, ChineseRendersAndTheThreeSchemesLookDifferent)
{
    ASSERT_TRUE(QFontDatabase::families().contains("Noto Sans CJK SC")) << "install fonts-noto-cjk";
    const QString out = QStringLiteral(ORDEL_BUILD_DIR) + "/skin-demo/";
    QDir().mkpath(out);
    QList<QImage> shots;
    for (int scheme = 0; scheme < kSkinSchemeCount; ++scheme) {
        shots.append(RenderSkinDemo(SkinFolder(), scheme));
        EXPECT_TRUE(shots.last().save(out + QStringLiteral("scheme%1.png").arg(scheme)));
        EXPECT_TRUE(QFontMetrics(QApplication::font()).inFont(QChar(0x97F3))); // 音
    }
    const QImage small = RenderSkinDemo(SkinFolder(), 0, true);
    EXPECT_TRUE(small.save(out + "small.png"));
    const int pixels = shots[0].width() * shots[0].height();
    for (int a = 0; a < 3; ++a)
        for (int b = a + 1; b < 3; ++b) EXPECT_GT(Differing(shots[a], shots[b]), pixels / 50) << a << " vs " << b;
    // Scheme 0 again is scheme 0 exactly.
    EXPECT_EQ(RenderSkinDemo(SkinFolder(), 0), shots[0]);
    StartSkin(SkinFolder(), 0);
}

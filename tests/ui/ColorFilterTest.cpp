#include "ui/CQPGColorFilterShiftRGB.h"
#include "ui/CSkin.h"
#include "ui/SkinScheme.h"

#include "tests/common/TestUtil.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

int Distance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// The blue base tinted into `scheme`: its hue and value move to the scheme's, its saturation
// stays.
void ExpectBaseTinted(QRgb tinted, int scheme)
{
    const PackedHsv out = RgbToHsv(tinted), target = RgbToHsv(SchemeColor(scheme)), base = RgbToHsv(SchemeColor(0));
    EXPECT_LE(std::abs(HsvHue(out) - HsvHue(target)), 1) << scheme;
    EXPECT_LE(std::abs(HsvVal(out) - HsvVal(target)), 1) << scheme;
    EXPECT_LE(std::abs(HsvSat(out) - HsvSat(base)), 1) << scheme;
}

QList<QRgb> SampleColors()
{
    QList<QRgb> colors;
    for (int r = 0; r < 256; r += 17)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 17) colors.append(qRgb(r, g, b));
    colors.append({qRgb(1, 1, 2), qRgb(2, 0, 0), qRgb(254, 254, 254), qRgb(255, 255, 254)});
    return colors;
}

// A skin folder with a skin file of a few colours and two small bitmaps.
struct SkinDir {
    QTemporaryDir dir;
    SkinDir()
    {
        testutil::WriteFile(dir.filePath("ordel.skin"),
                            "<?xml version=\"1.0\"?><skin font=\"Noto Sans CJK SC\" fontpx=\"14\">"
                            "<color index=\"0\" value=\"#000000\"/>"
                            "<color index=\"5\" value=\"#ffffff\"/>"
                            "<color index=\"13\" value=\"#3397be\"/>"
                            "<color index=\"17\" value=\"#8a9199\"/>"
                            "<color index=\"30\" value=\"#d6ebf4\"/>"
                            "<bitmap name=\"b.bmp\" frames=\"2\" margins=\"1,2,3,4\"/>"
                            "<bitmap name=\"fixed.bmp\" tint=\"0\"/>"
                            "<style>QMenu { background: @{13}; color: @{99}; }</style></skin>");
        QImage image(4, 2, QImage::Format_RGB32);
        image.fill(qRgb(51, 151, 190));
        image.setPixel(0, 0, qRgb(255, 0, 255));
        image.setPixel(1, 0, qRgb(0, 0, 0));
        image.setPixel(2, 0, qRgb(255, 255, 255));
        image.save(dir.filePath("b.bmp"), "BMP");
        image.save(dir.filePath("fixed.bmp"), "BMP");
    }
    QString path() const { return dir.path() + "/"; }
};

} // namespace

TEST(ColorFilter, HsvPackingAndRoundTrip)
{
    EXPECT_EQ(RgbToHsv(qRgb(255, 0, 0)), MakeHsv(0, 255, 255));
    EXPECT_EQ(RgbToHsv(qRgb(0, 0, 0)), MakeHsv(0, 0, 0));
    EXPECT_EQ(RgbToHsv(qRgb(128, 128, 128)), MakeHsv(0, 0, 128));
    EXPECT_EQ(HsvVal(RgbToHsv(qRgb(51, 151, 190))), 190);
    EXPECT_EQ(HsvToRgb(MakeHsv(0, 255, 255)) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(HsvToRgb(MakeHsv(77, 0, 90)) & 0xFFFFFF, qRgb(90, 90, 90) & 0xFFFFFF);
    // 8 bits of hue and saturation lose a little, never much.
    for (QRgb c : SampleColors()) EXPECT_LE(Distance(HsvToRgb(RgbToHsv(c)), c), 4) << std::hex << c;
    // A hue of 255 (a full turn) still converts.
    EXPECT_LE(Distance(HsvToRgb(MakeHsv(255, 255, 255)), qRgb(255, 0, 0)), 6);
}

TEST(ColorFilter, BlackAndWhiteNeverChangeAndTheBaseMovesToTheTarget)
{
    for (int scheme : {0, 1, 2}) {
        CQPGColorFilterShiftRGB filter(SchemeColor(0), RgbToHsv(SchemeColor(scheme)));
        QRgb black = qRgba(0, 0, 0, 7), white = qRgb(255, 255, 255);
        filter.ApplyColor(black);
        filter.ApplyColor(white);
        EXPECT_EQ(black, qRgba(0, 0, 0, 7));
        EXPECT_EQ(white, qRgb(255, 255, 255));
        QRgb base = SchemeColor(0);
        filter.ApplyColor(base);
        ExpectBaseTinted(base, scheme);
    }
}

TEST(ColorFilter, TheBaseSchemeIsTheIdentity)
{
    CQPGColorFilterShiftRGB filter(SchemeColor(0), RgbToHsv(SchemeColor(0)));
    EXPECT_TRUE(filter.IsIdentity());
    for (QRgb c : SampleColors()) {
        QRgb out = c;
        filter.ApplyColor(out);
        EXPECT_EQ(out, c);
    }
}

TEST(ColorFilter, ValueSaturatesInsteadOfWrapping)
{
    // Orange lies 3 steps of value below the blue base: a near-black must stay dark.
    CQPGColorFilterShiftRGB orange(SchemeColor(0), RgbToHsv(SchemeColor(1)));
    for (QRgb c : {qRgb(1, 1, 2), qRgb(2, 0, 0), qRgb(0, 1, 0)}) {
        QRgb out = c;
        orange.ApplyColor(out);
        EXPECT_LE(HsvVal(RgbToHsv(out)), 2) << std::hex << c;
    }
    // Grey keeps being grey (hue does not matter without saturation), a shade darker.
    QRgb grey = qRgb(200, 200, 200);
    orange.ApplyColor(grey);
    EXPECT_EQ(grey, qRgb(197, 197, 197));
}

TEST(Skin, SchemesTintTheColoursAndSchemeZeroRestoresThemExactly)
{
    SkinDir dir;
    CSkin skin;
    ASSERT_TRUE(skin.Load(dir.path()));
    EXPECT_EQ(skin.CurrentScheme(), -1);
    EXPECT_EQ(skin.FontFamilies(), QStringList{"Noto Sans CJK SC"});
    EXPECT_EQ(skin.FontPixelSize(), 14);
    int changed = 0;
    QObject::connect(&skin, &CSkin::SchemeChanged, [&changed] { ++changed; });

    QList<QRgb> captured;
    for (int i = 0; i < CSkin::kColorCount; ++i) captured.append(skin.CapturedColor(i).rgb());
    EXPECT_EQ(captured[13], qRgb(51, 151, 190));

    EXPECT_TRUE(skin.ApplyColorScheme(0));
    for (int i = 0; i < CSkin::kColorCount; ++i) EXPECT_EQ(skin.Color(i).rgb(), captured[i]) << i;
    EXPECT_FALSE(skin.ApplyColorScheme(0)); // already current: nothing at all
    EXPECT_EQ(changed, 1);

    EXPECT_TRUE(skin.ApplyColorScheme(1));
    EXPECT_EQ(skin.CurrentScheme(), 1);
    ExpectBaseTinted(skin.Color(13).rgb(), 1);
    EXPECT_NE(skin.Color(30).rgb(), captured[30]);
    EXPECT_EQ(skin.Color(0).rgb(), captured[0]); // black
    EXPECT_EQ(skin.Color(5).rgb(), captured[5]); // white
    EXPECT_EQ(skin.CapturedColor(13).rgb(), captured[13]);
    EXPECT_TRUE(skin.StyleSheet().contains(skin.Color(13).name()));
    EXPECT_TRUE(skin.StyleSheet().contains("@{99}")); // not a skin colour: left as written

    EXPECT_TRUE(skin.ApplyColorScheme(2));
    ExpectBaseTinted(skin.Color(13).rgb(), 2);

    EXPECT_TRUE(skin.ApplyColorScheme(0));
    for (int i = 0; i < CSkin::kColorCount; ++i) EXPECT_EQ(skin.Color(i).rgb(), captured[i]) << i;
    EXPECT_EQ(changed, 4);

    // Another index takes blue's colour: the index changes, the colours do not.
    EXPECT_FALSE(skin.ApplyColorScheme(7));
    EXPECT_EQ(skin.CurrentScheme(), 7);
    EXPECT_EQ(skin.Color(13).rgb(), captured[13]);
    EXPECT_TRUE(skin.ApplyColorScheme(1));
    EXPECT_TRUE(skin.ApplyColorScheme(-4));
    EXPECT_EQ(skin.Color(13).rgb(), captured[13]);
}

TEST(Skin, BitmapsAreMaskedByMagentaAndTintedUnlessMarkedFixed)
{
    SkinDir dir;
    CSkin skin;
    ASSERT_TRUE(skin.Load(dir.path()));
    EXPECT_EQ(skin.BitmapInfo("b.bmp").frames, 2);
    EXPECT_TRUE(skin.BitmapInfo("b.bmp").nineGrid);
    EXPECT_EQ(skin.BitmapInfo("b.bmp").margins, QMargins(1, 2, 3, 4));
    EXPECT_EQ(skin.BitmapInfo("unknown.bmp").frames, 1);
    EXPECT_TRUE(skin.Bitmap("missing.bmp").isNull());
    EXPECT_TRUE(skin.Bitmap("").isNull());

    for (int scheme : {0, 1, 2, 0}) {
        skin.ApplyColorScheme(scheme);
        const QImage b = skin.BitmapImage("b.bmp");
        const QImage fixed = skin.BitmapImage("fixed.bmp");
        ASSERT_EQ(b.size(), QSize(4, 2));
        EXPECT_EQ(qAlpha(b.pixel(0, 0)), 0) << scheme;
        EXPECT_EQ(qAlpha(fixed.pixel(0, 0)), 0);
        EXPECT_EQ(b.pixel(1, 0), qRgb(0, 0, 0));
        EXPECT_EQ(b.pixel(2, 0), qRgb(255, 255, 255));
        ExpectBaseTinted(b.pixel(3, 0), scheme);
        EXPECT_EQ(fixed.pixel(3, 0), qRgb(51, 151, 190));
        EXPECT_EQ(skin.BitmapFrame("b.bmp", 1).width(), 2);
        EXPECT_TRUE(skin.BitmapFrame("b.bmp", 2).isNull());
    }
    EXPECT_EQ(skin.BitmapImage("b.bmp").pixel(3, 1), qRgb(51, 151, 190)); // back at the base: exact
}

TEST(Skin, WithoutASkinFileColoursComeFromThePaletteAndStartSkinReducesTheScheme)
{
    QTemporaryDir empty;
    CSkin skin;
    EXPECT_FALSE(skin.Load(empty.path()));
    EXPECT_TRUE(skin.Color(5).isValid());
    EXPECT_FALSE(skin.Color(31).isValid());
    EXPECT_TRUE(skin.ApplyColorScheme(2));
    EXPECT_FALSE(skin.Load(empty.path() + "/none"));
    EXPECT_EQ(skin.CurrentScheme(), -1);

    SkinDir dir;
    EXPECT_TRUE(StartSkin(dir.path(), 5));
    EXPECT_EQ(CSkin::Instance().CurrentScheme(), 2);
    EXPECT_TRUE(StartSkin(dir.path(), -3));
    EXPECT_EQ(CSkin::Instance().CurrentScheme(), 0);
    EXPECT_EQ(QApplication::palette().color(QPalette::Highlight), CSkin::Instance().Color(13));
}

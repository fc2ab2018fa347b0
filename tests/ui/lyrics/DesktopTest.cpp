// The desktop lyrics and their control bar as windows offscreen, driven by their messages.
#include "ui/lyrics/CFloatLrcCtrlBar.h"
#include "ui/lyrics/CKLrcChildDlg.h"
#include "ui/lyrics/LyricFonts.h"
#include "ui/lyrics/LyricTexts.h"

#include "base/MessageIds.h"
#include "lyrics/CLyrics.h"
#include "store/CQvConf.h"
#include "ui/CSkinButton.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

namespace {

struct Desktop {
    ConfigSettings settings;
    CLyrics lyrics;
    std::unique_ptr<CKLrcChildDlg> window;
    explicit Desktop(const QString& lrc, int scheme = 0)
    {
        settings.ColorScheme = scheme;
        settings.fontname = QStringLiteral("Noto Sans CJK SC");
        lyrics.Parse(lrc);
        window = std::make_unique<CKLrcChildDlg>(settings);
        window->SetModel(&lyrics);
        window->SetLengthSource([] { return 30; });
        window->resize(600, window->height());
    }
    void Send(unsigned msg, quintptr w = 0) { window->Target().SendMessage(msg, w); }
    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i) window->OnTimer(CKLrcChildDlg::kSweepTimer);
    }
};

const QString kLrc = QStringLiteral("[00:00.00]短句\n[00:02.00]这是一句很长很长很长很长很长很长很长很长很长很长很长很长的歌词\n"
                                    "[00:06.00]\n[00:08.00]最后\n");

// Opaque pixels of `image` between `from` and `to` in the sung colours of scheme 0 (yellow, no
// blue) and in its unsung ones (white to cyan, much blue).
struct Colours {
    int sung = 0, unsung = 0;
};
Colours Count(const QImage& image, int from, int to)
{
    Colours n;
    for (int y = 0; y < image.height(); ++y)
        for (int x = std::max(0, from); x < std::min(image.width(), to); ++x) {
            const QColor c = QColor::fromRgba(image.pixel(x, y));
            if (c.alpha() < 250) continue;
            if (c.red() > 200 && c.blue() < 60) ++n.sung;
            if (c.green() > 200 && c.blue() > 150) ++n.unsung;
        }
    return n;
}

// How many times the process maps the font file `path` (each face opened from it maps it once).
int Mappings(const QString& path)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return -1;
    return int(maps.readAll().count(path.toUtf8()));
}

} // namespace

TEST(DesktopLyrics, WelcomeCentredThenLinesCentredOrFromTheLeftAndTheSweepFillsTheLineInTime)
{
    Desktop d(kLrc);
    // Nothing loaded: the welcome text in the middle, no sweep.
    d.lyrics.Clear();
    d.Send(WM_LRCBAR_UNLOAD);
    EXPECT_EQ(d.window->DisplayText(), QStringLiteral("欢迎使用Ordel"));
    EXPECT_NEAR(d.window->TextX(), (600 - d.window->TextWidth()) / 2, 0.01);
    EXPECT_EQ(d.window->SweepWidth(), 0);
    EXPECT_FALSE(d.window->TimerRunning(CKLrcChildDlg::kSweepTimer));

    d.lyrics.Parse(kLrc);
    d.Send(WM_LRCBAR_LOADED);
    EXPECT_TRUE(d.window->TimerRunning(CKLrcChildDlg::kSweepTimer));
    // A short line of 2000 ms: centred, swept whole within 20 ticks of 100 ms, not long before.
    d.Send(WM_LRCBAR_NEXTLINE, 0);
    EXPECT_EQ(d.window->DisplayText(), QStringLiteral("短句"));
    const float narrow = d.window->TextWidth();
    ASSERT_LT(narrow, 600);
    EXPECT_NEAR(d.window->TextX(), (600 - narrow) / 2, 0.01);
    d.Ticks(10);
    EXPECT_LT(d.window->SweepWidth(), narrow);
    EXPECT_GT(d.window->SweepWidth(), 0);
    d.Ticks(10);
    EXPECT_GE(d.window->SweepWidth(), narrow);
    // Half swept: the sung colours on the left of the sweep only.
    d.Send(WM_LRCBAR_NEXTLINE, 0);
    d.Ticks(10);
    const QImage half = d.window->Render();
    const int edge = int(d.window->TextX() + d.window->SweepWidth());
    EXPECT_GT(Count(half, 0, edge).sung, 20);
    EXPECT_EQ(Count(half, 0, edge - 1).unsung, 0);
    EXPECT_EQ(Count(half, edge + 1, 600).sung, 0);
    EXPECT_GT(Count(half, edge + 1, 600).unsung, 20);

    // A line wider than the window starts at the left edge and has scrolled its end into view
    // by the end of its 4000 ms.
    d.Send(WM_LRCBAR_NEXTLINE, 1);
    const float wide = d.window->TextWidth();
    ASSERT_GT(wide, 600);
    EXPECT_EQ(d.window->TextX(), 0);
    d.Ticks(40);
    EXPECT_GE(d.window->SweepWidth(), wide);
    EXPECT_NEAR(d.window->TextX(), 600 - wide, 0.5);
    // An empty line shows the dots; a pause stops the sweep, a load again resumes it.
    d.Send(WM_LRCBAR_NEXTLINE, 2);
    EXPECT_EQ(d.window->DisplayText(), QStringLiteral(".  .  .  .  .  ."));
    d.Send(WM_LRCBAR_PAUSE);
    EXPECT_FALSE(d.window->TimerRunning(CKLrcChildDlg::kSweepTimer));
    d.Ticks(3);
    EXPECT_EQ(d.window->SweepWidth(), 0);
    d.Send(WM_LRCBAR_LOADED);
    EXPECT_TRUE(d.window->TimerRunning(CKLrcChildDlg::kSweepTimer));
    // The last line, the trailer, lies beyond the end of the track: it is swept at once.
    d.Send(WM_LRCBAR_NEXTLINE, quintptr(d.lyrics.LastIndex()));
    EXPECT_EQ(d.window->DisplayText(), CLyrics::TrailerText());
    d.Ticks(1);
    EXPECT_GE(d.window->SweepWidth(), d.window->TextWidth());
    d.Send(WM_LRCBAR_UNLOAD);
    EXPECT_FALSE(d.window->TimerRunning(CKLrcChildDlg::kSweepTimer));
    EXPECT_EQ(d.window->SweepWidth(), 0);
}

TEST(DesktopLyrics, SchemesFontsSizesAndPlacesAreKeptInTheSettings)
{
    // A stored scheme of 4 is scheme 0.
    Desktop d(kLrc, 4);
    EXPECT_EQ(d.window->Scheme(), 0);
    CFloatLrcCtrlBar* bar = d.window->ControlBar();
    ASSERT_NE(bar->SchemeButton(0), nullptr);
    EXPECT_TRUE(bar->SchemeButton(0)->isChecked());
    bar->SchemeButton(2)->click();
    EXPECT_EQ(d.window->Scheme(), 2);
    EXPECT_EQ(d.settings.ColorScheme, 2);
    EXPECT_TRUE(bar->SchemeButton(2)->isChecked());
    EXPECT_FALSE(bar->SchemeButton(0)->isChecked());

    d.window->ApplyLyricFont(QStringLiteral("Noto Serif CJK SC"), 60, 3);
    EXPECT_EQ(d.settings.fontname, QStringLiteral("Noto Serif CJK SC"));
    EXPECT_EQ(d.settings.FontSize, 60);
    EXPECT_EQ(d.settings.ColorScheme, 3);
    EXPECT_EQ(d.window->height(), 80);
    EXPECT_TRUE(bar->SchemeButton(3)->isChecked());

    // Shown: the hover look and the bar above it; closed by the bar's close, as the setting says.
    d.window->ShowDesktopLyrics(true);
    EXPECT_EQ(d.settings.desklrc, 1);
    EXPECT_EQ(d.settings.FontSize, 60);
    // Resizing sets the size of the letters.
    d.window->resize(600, 56);
    EXPECT_EQ(d.window->FontSize(), 36);
    EXPECT_EQ(d.settings.FontSize, 36);
    EXPECT_TRUE(d.window->isVisible());
    EXPECT_TRUE(d.window->HoverLook());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->geometry().bottom() + 1, d.window->geometry().top());
    d.window->move(120, 340);
    EXPECT_EQ(d.settings.lrcx, 120);
    EXPECT_EQ(d.settings.lrcy, 340);
    EXPECT_EQ(bar->geometry().bottom() + 1, 340);
    bar->OnCommand(CFloatLrcCtrlBar::kClose);
    EXPECT_FALSE(d.window->isVisible());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(d.settings.desklrc, 0);
    EXPECT_FALSE(d.window->HoverLook());

    // The font list: the installed families as the filter leaves them.
    EXPECT_EQ(bar->FontList()->count(), InstalledLyricFontFamilies().size());
    EXPECT_GT(bar->FontList()->count(), 0);
}

TEST(DesktopLyrics, TheFontListLeavesOutVerticalAndLatinCapitalNames)
{
    const QStringList installed{QStringLiteral("@SimSun"), QStringLiteral("Arial"), QStringLiteral("幼圆"),
                                QStringLiteral("微软雅黑"), QStringLiteral("cantarell"), QStringLiteral("Zapf")};
    EXPECT_EQ(LyricFontFamilies(installed, {QStringLiteral("Noto Sans CJK SC")}),
              (QStringList{QStringLiteral("幼圆"), QStringLiteral("微软雅黑"), QStringLiteral("cantarell")}));
    // Only Latin names installed: the families that write Chinese, vertical ones still out.
    EXPECT_EQ(LyricFontFamilies({QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")},
                                {QStringLiteral("@Noto"), QStringLiteral("Noto Sans CJK SC")}),
              QStringList{QStringLiteral("Noto Sans CJK SC")});
    EXPECT_EQ(ValidLyricScheme(4), 0);
    EXPECT_EQ(ValidLyricScheme(-1), 0);
    EXPECT_EQ(ValidLyricScheme(3), 3);
}

TEST(DesktopLyrics, HiddenWithTheMainWindowAndTheHoverLookEndsAwayFromIt)
{
    ConfigSettings settings;
    QWidget main;
    main.show();
    CKLrcChildDlg window(settings, &main);
    window.ShowDesktopLyrics(true);
    EXPECT_TRUE(window.TimerRunning(CKLrcChildDlg::kHoverTimer));
    // The cursor is nowhere near it offscreen: the next hover tick ends the look.
    QCursor::setPos(window.geometry().bottomRight() + QPoint(200, 200));
    window.OnTimer(CKLrcChildDlg::kHoverTimer);
    EXPECT_FALSE(window.HoverLook());
    EXPECT_FALSE(window.ControlBar()->isVisible());
    EXPECT_FALSE(window.TimerRunning(CKLrcChildDlg::kHoverTimer));
    main.hide();
    window.OnTimer(CKLrcChildDlg::kFollowTimer);
    EXPECT_FALSE(window.isVisible());
    main.show();
    window.OnTimer(CKLrcChildDlg::kFollowTimer);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.TimerRunning(CKLrcChildDlg::kFollowTimer));
}

TEST(DesktopLyrics, AHiddenWindowOpensNoFaceOfItsFontUntilItIsShown)
{
    // A face no other test uses: its bold file is mapped once more when the window measures.
    const QString file = QStringLiteral("/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc");
    const QString family = QStringLiteral("Noto Serif CJK KR");
    if (!QFile::exists(file) || !QFontDatabase::families().contains(family)) GTEST_SKIP() << "no " << qPrintable(family);
    const int before = Mappings(file);
    ConfigSettings settings;
    settings.fontname = family;
    CLyrics lyrics;
    lyrics.Parse(kLrc);
    CKLrcChildDlg window(settings);
    window.SetModel(&lyrics);
    window.SetLengthSource([] { return 30; });
    window.resize(600, window.height());
    window.Target().SendMessage(WM_LRCBAR_LOADED);
    window.Target().SendMessage(WM_LRCBAR_NEXTLINE, 0);
    EXPECT_EQ(Mappings(file), before);
    // Shown, the line is measured and in the middle of the window as it is painted.
    window.ShowDesktopLyrics(true);
    EXPECT_EQ(Mappings(file), before + 1);
    const QImage shown = window.Render();
    const float width = window.TextWidth();
    ASSERT_GT(width, 0);
    EXPECT_NEAR(window.TextX(), (window.width() - width) / 2, 0.01);
    int left = shown.width(), right = -1;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            if (QColor::fromRgba(shown.pixel(x, y)).green() > 200 && qAlpha(shown.pixel(x, y)) > 250) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_GE(right, left);
    EXPECT_NEAR((left + right) / 2.0, window.width() / 2.0, 8);
}

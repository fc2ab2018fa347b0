// The lyric panel as a widget offscreen, driven by the messages the main window sends it.
#include "ui/lyrics/CLyricDlg.h"
#include "ui/lyrics/CQvLyrics.h"
#include "ui/lyrics/LyricTexts.h"

#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "lyrics/CLyrics.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

// The main window's side of WM_LRC_SEEK.
class SeekRecorder : public CMsgWindow {
public:
    qintptr OnMessage(unsigned msg, quintptr, qintptr l) override
    {
        if (msg == WM_LRC_SEEK) seeks.append(l);
        return 0;
    }
    QList<qintptr> seeks;
};

struct Panel {
    CLyrics lyrics;
    SeekRecorder main;
    CQvLyrics panel;
    explicit Panel(const QString& lrc)
    {
        lyrics.Parse(lrc);
        panel.resize(232, 260);
        panel.SetModel(&lyrics);
        panel.SetSeekTarget(main.Target());
        QFont font;
        font.setPixelSize(22); // pitch 26
        panel.SetLyricFont(font);
        panel.SetColors(Qt::white, QColor(10, 20, 30), QColor(210, 120, 30));
        panel.show();
    }
    void Send(unsigned msg, quintptr w = 0) { panel.Target().SendMessage(msg, w); }
    void Mouse(QEvent::Type type, int y)
    {
        const QPointF at(50, y);
        QMouseEvent e(type, at, panel.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&panel, &e);
    }
};

// Lines at 0, 1, 3, 5, 5, 7, 9, 11 s: line 2 lasts 2000 ms, lines 3 and 4 share a time.
const QString kLrc = QStringLiteral("[00:00.00]零\n[00:01.00]一\n[00:03.00]二\n[00:05.00]三\n[00:05.00]四\n"
                                    "[00:07.00]五\n[00:09.00]六\n[00:11.00]七\n");

} // namespace

TEST(LyricPanel, StepFollowsTheLineDurationAndTimerEightGlidesTheText)
{
    Panel p(kLrc);
    ASSERT_EQ(p.panel.Pitch(), 26);
    p.Send(WM_LRC_LOADED);
    EXPECT_TRUE(p.panel.TimerRunning());
    EXPECT_FALSE(p.panel.Paused());
    p.Send(WM_LRC_NEXTLINE, 2);
    EXPECT_EQ(p.lyrics.Current(), 2);
    // 2000 ms at 26 pixels: 2.6 pixels a 200 ms tick, the fraction carried over.
    EXPECT_DOUBLE_EQ(p.panel.Step(), 2.6);
    const int snapped = p.panel.height() / 2 - 26 * 2 + 4;
    EXPECT_EQ(p.panel.Top(), snapped);
    p.panel.OnTimer(CQvLyrics::kScrollTimer);
    EXPECT_EQ(p.panel.Top(), snapped - 2);
    for (int i = 0; i < 4; ++i) p.panel.OnTimer(CQvLyrics::kScrollTimer);
    EXPECT_EQ(p.panel.Top(), snapped - 13);
    // Over the whole line (10 ticks) the text moves by exactly one pitch.
    for (int i = 0; i < 5; ++i) p.panel.OnTimer(CQvLyrics::kScrollTimer);
    EXPECT_EQ(p.panel.Top(), snapped - 26);

    // Two lines at the same time: one pixel a tick.
    p.Send(WM_LRC_NEXTLINE, 3);
    EXPECT_DOUBLE_EQ(p.panel.Step(), 1.0);
    // The last line does not move.
    p.Send(WM_LRC_NEXTLINE, quintptr(p.lyrics.LastIndex()));
    EXPECT_DOUBLE_EQ(p.panel.Step(), 0.0);
    EXPECT_EQ(p.panel.CurrentText(), CLyrics::TrailerText());
}

TEST(LyricPanel, ANewLineFadesInOverThreePaintsThenTakesTheHighlight)
{
    Panel p(kLrc);
    p.Send(WM_LRC_LOADED);
    p.Send(WM_LRC_NEXTLINE, 2);
    const QColor hi(210, 120, 30), line(10, 20, 30);
    QList<QColor> seen;
    for (int i = 0; i < 5; ++i) {
        p.panel.grab();
        seen.append(p.panel.LastHighlight());
    }
    for (int n = 1; n <= 3; ++n) {
        const QColor expected(hi.red() - n * ((hi.red() - line.red()) / 4), hi.green() - n * ((hi.green() - line.green()) / 4),
                              hi.blue() - n * ((hi.blue() - line.blue()) / 4));
        EXPECT_EQ(seen[n - 1], expected) << n;
    }
    EXPECT_EQ(seen[3], hi);
    EXPECT_EQ(seen[4], hi);
    // The first line (index 0) never fades.
    p.Send(WM_LRC_NEXTLINE, 0);
    p.panel.grab();
    EXPECT_EQ(p.panel.LastHighlight(), hi);
    // And the current line is really drawn in that colour in the middle of the panel.
    const QImage image = p.panel.grab().toImage();
    bool found = false;
    for (int y = image.height() / 2; y < image.height() / 2 + 26 && !found; ++y)
        for (int x = 0; x < image.width() && !found; ++x) found = QColor(image.pixel(x, y)) == hi;
    EXPECT_TRUE(found);
}

TEST(LyricPanel, DraggingSeeksToTheLineUnderTheMiddle)
{
    Panel p(kLrc);
    p.Send(WM_LRC_LOADED);
    p.Send(WM_LRC_NEXTLINE, 2);
    // Three lines up: line 5 under the middle while line 2 is current seeks to line 6's time.
    p.Mouse(QEvent::MouseButtonPress, 150);
    EXPECT_TRUE(p.panel.Dragging());
    EXPECT_TRUE(p.panel.Paused());
    p.Mouse(QEvent::MouseMove, 150 - 3 * 26);
    EXPECT_EQ(p.panel.Top(), p.panel.height() / 2 - 3 * 26 - 2 * 26 + 4);
    p.panel.grab(); // the drag line is drawn meanwhile
    p.Mouse(QEvent::MouseButtonRelease, 150 - 3 * 26);
    EXPECT_FALSE(p.panel.Dragging());
    EXPECT_FALSE(p.panel.Paused());
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(p.main.seeks.size(), 1);
    EXPECT_EQ(p.main.seeks[0], qintptr(p.lyrics.TimeAt(6)));

    // Far above the first line: to the start.
    p.Mouse(QEvent::MouseButtonPress, 20);
    p.Mouse(QEvent::MouseButtonRelease, 20 + 4 * 26);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(p.main.seeks.size(), 2);
    EXPECT_EQ(p.main.seeks[1], 0);
    // Below the last line: a negative time, which the window takes from the end.
    p.Mouse(QEvent::MouseButtonPress, 250);
    p.Mouse(QEvent::MouseButtonRelease, 250 - 40 * 26);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(p.main.seeks.size(), 3);
    EXPECT_LT(p.main.seeks[2], 0);
    // A drag that ends on the current line seeks nowhere.
    p.Mouse(QEvent::MouseButtonPress, 100);
    p.Mouse(QEvent::MouseButtonRelease, 95);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(p.main.seeks.size(), 3);
}

TEST(LyricPanel, PauseResumeAndUnloadWithTheRetimedText)
{
    Panel p(QStringLiteral("[00:00.30]a\n[00:04.00]b\n[00:08.00]c\n"));
    QStringList adjusted;
    QObject::connect(&p.panel, &CQvLyrics::AdjustedLyrics, [&](const QString& t) { adjusted.append(t); });
    p.panel.SetPositionSource([] { return qint64(5000); });
    p.Send(WM_LRC_LOADED);
    // Pause toggles the scrolling; resuming (a load again) brings back the label.
    p.Send(WM_LRC_PAUSE);
    EXPECT_TRUE(p.panel.Paused());
    EXPECT_FALSE(p.panel.TimerRunning());
    const int top = p.panel.Top();
    p.panel.OnTimer(CQvLyrics::kScrollTimer);
    EXPECT_EQ(p.panel.Top(), top);
    p.Send(WM_LRC_LOADED);
    EXPECT_FALSE(p.panel.Paused());
    EXPECT_TRUE(p.panel.TimerRunning());
    EXPECT_FALSE(p.panel.CurrentLabel()->isHidden());
    EXPECT_EQ(p.panel.CurrentLabel()->objectName(), QStringLiteral("1783"));

    // The wheel re-times: forward comes later, backward earlier; the menu's entries the same.
    QWheelEvent back(QPointF(10, 10), p.panel.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&p.panel, &back);
    EXPECT_TRUE(back.isAccepted());
    EXPECT_EQ(p.lyrics.TotalShift(), 500);
    std::unique_ptr<QMenu> menu(p.panel.BuildMenu(nullptr));
    QStringList texts;
    QAction* earlier = nullptr;
    for (QAction* a : menu->actions()) {
        texts.append(a->text());
        if (a->menu())
            for (QAction* sub : a->menu()->actions())
                if (sub->text() == lrctxt::kEarlier) earlier = sub;
    }
    EXPECT_EQ(texts, (QStringList{lrctxt::kCopy, lrctxt::kAdjust}));
    ASSERT_NE(earlier, nullptr);
    earlier->trigger();
    EXPECT_EQ(p.lyrics.TotalShift(), 1000);
    // "a" at 300 ms was taken to 0 by the first shift; the shifts find the line of 5 s again.
    EXPECT_EQ(p.lyrics.TimeAt(p.lyrics.Current()), 3000u);

    p.panel.CopyLyrics();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("a\r\nb\r\nc\r\n")));

    p.Send(WM_LRC_UNLOAD);
    ASSERT_EQ(adjusted.size(), 1);
    const QString stored = adjusted[0];
    EXPECT_TRUE(stored.startsWith(QStringLiteral("[DeltalTime:1000]\n"))) << stored.toStdString();
    EXPECT_TRUE(stored.contains(QStringLiteral("[00:04.00]b\n"))) << stored.toStdString();
    EXPECT_FALSE(p.panel.TimerRunning());
    EXPECT_TRUE(p.panel.CurrentLabel()->isHidden());
    EXPECT_EQ(p.lyrics.LineCount(), 0);
    EXPECT_EQ(p.panel.CurrentText(), lrctxt::kPanelWelcome);
    // Without lines the menu is empty, the wheel does nothing and a pause is ignored.
    menu.reset(p.panel.BuildMenu(nullptr));
    EXPECT_TRUE(menu->isEmpty());
    p.Send(WM_LRC_PAUSE);
    EXPECT_FALSE(p.panel.TimerRunning());
    // An unload without re-timing hands nothing on.
    Panel q(kLrc);
    int none = 0;
    QObject::connect(&q.panel, &CQvLyrics::AdjustedLyrics, [&] { ++none; });
    q.Send(WM_LRC_LOADED);
    q.Send(WM_LRC_UNLOAD);
    EXPECT_EQ(none, 0);
}

TEST(LyricPanel, TheMessageShowsWithoutLyricsAndTheHostGivesSkinColours)
{
    CLyricDlg host;
    host.resize(232, 266);
    host.show();
    CQvLyrics* panel = host.Panel();
    EXPECT_EQ(panel->geometry(), QRect(5, 5, 222, 256));
    EXPECT_EQ(panel->Pitch(), 26);
    EXPECT_EQ(panel->CurrentText(), lrctxt::kPanelWelcome);
    // The welcome text is wider than the panel: it wraps, so nothing is drawn at either edge
    // and the text still reaches the middle.
    const QImage shown = panel->grab().toImage();
    const QRgb background = shown.pixel(0, 0);
    int inked = 0;
    for (int y = 0; y < shown.height(); ++y) {
        EXPECT_EQ(shown.pixel(0, y), background) << y;
        EXPECT_EQ(shown.pixel(shown.width() - 1, y), background) << y;
        if (shown.pixel(shown.width() / 2, y) != background) ++inked;
    }
    EXPECT_GT(inked, 0);
    panel->SetMessageText(lrctxt::kNoLyrics);
    panel->Target().SendMessage(WM_LRC_REFRESH);
    EXPECT_EQ(panel->CurrentText(), lrctxt::kNoLyrics);
    // A model that is not ready is not taken.
    CLyrics lyrics;
    panel->SetModel(&lyrics);
    panel->Target().SendMessage(WM_LRC_LOADED);
    EXPECT_FALSE(panel->Loaded());
    EXPECT_FALSE(panel->TimerRunning());
}

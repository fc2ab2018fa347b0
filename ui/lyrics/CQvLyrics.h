#pragma once
#include "base/MsgWindow.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>

class CLyrics;
class QLabel;
class QMenu;

// The scrolling lyric panel of the main window: every line of the one lyrics model, the current
// one highlighted and fading in, gliding upward by one line over the line's duration. It acts
// only on the lyric messages the main window sends it and on its own timer 8; a drag seeks (the
// main window is told by WM_LRC_SEEK), the wheel and the menu re-time the lines.
class CQvLyrics : public QWidget {
    Q_OBJECT
public:
    static constexpr int kScrollTimer = 8;   // 200 ms while loaded and not paused
    static constexpr int kScrollPeriodMs = 200;
    static constexpr int kLabelId = 1783;    // the current-line label
    static constexpr int kShiftMs = 500;

    explicit CQvLyrics(QWidget* parent = nullptr);
    ~CQvLyrics() override;

    // The one model (not owned) and the window WM_LRC_SEEK goes to.
    void SetModel(CLyrics* lyrics) { m_pLyrics = lyrics; }
    CLyrics* Model() const { return m_pLyrics; }
    void SetSeekTarget(const CMsgTarget& target) { m_seekTarget = target; }
    // The play position the re-timing finds the current line against.
    void SetPositionSource(std::function<qint64()> source) { m_position = std::move(source); }
    // Whether the menu offers the search and the lyrics file (a track is playing).
    void SetTrackMenu(bool on) { m_bTrackMenu = on; }

    // Where the main window sends the panel's messages.
    CMsgTarget Target() const;
    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam);
    void OnTimer(int id);
    bool TimerRunning() const;

    void SetColors(const QColor& background, const QColor& line, const QColor& current);
    void SetLyricFont(const QFont& font);
    // The text shown without lines (the main window repaints with WM_LRC_REFRESH).
    void SetMessageText(const QString& text) { m_strMessage = text; }
    QString MessageText() const { return m_strMessage; }

    // Shift(+500) or Shift(-500), as the menu and the wheel do.
    void ShiftLyrics(int delta);
    void CopyLyrics() const;
    // The menu as the right button shows it (its actions wired), for the window and tests.
    QMenu* BuildMenu(QWidget* parent);

    // State, for the window and tests.
    int Pitch() const { return m_nPitch; }
    int Top() const { return m_nTop; }
    double Step() const { return m_fStep; }
    bool Paused() const { return m_bPaused; }
    bool Loaded() const { return m_bLoaded; }
    bool Dragging() const { return m_bDragging; }
    // The current line's text, or the message text without lines.
    QString CurrentText() const;
    // The colour the current line (or the message) took at the last paint.
    QColor LastHighlight() const { return m_lastHighlight; }
    QLabel* CurrentLabel() const { return m_label; }

signals:
    // Unload found re-timed lines: their stored form, for the track they were loaded for.
    void AdjustedLyrics(const QString& text);
    void SearchRequested();
    void AssociateRequested();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    bool HasLines() const;
    void ComputeStep();
    void SnapTop();
    void OnLoaded();
    void OnUnload();
    void OnPause();
    void OnNextLine(int index);
    void PlaceLabel();
    QColor Faded();
    int DragTop(int y) const;

    std::unique_ptr<CMsgPort<CQvLyrics>> m_port;
    CLyrics* m_pLyrics = nullptr;
    CMsgTarget m_seekTarget;
    std::function<qint64()> m_position;
    bool m_bTrackMenu = false;

    QColor m_background = Qt::white;
    QColor m_line = Qt::black;
    QColor m_current = Qt::blue;
    QFont m_font;
    int m_nPitch = 26;
    int m_nTop = 0;
    double m_fStep = 0;
    double m_fAccum = 0;
    int m_nFade = 0;
    bool m_bLoaded = false;
    bool m_bPaused = true;
    bool m_bResumePending = false;
    bool m_bDragging = false;
    int m_nDragStart = 0;
    int m_nDragLast = 0;
    QString m_strMessage;
    QLabel* m_label = nullptr;
    QImage m_buffer;
    QColor m_lastHighlight;
};

#pragma once
#include "base/MsgWindow.h"

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class CFloatLrcCtrlBar;
class CLyrics;
struct ConfigSettings;

// The desktop lyrics: a frameless, see-through window above all others that shows the current
// line in outlined bold letters, the sung part swept over in the scheme's second gradient. It is
// driven by the WM_LRCBAR_* messages of the main window and its own timers: 8 sweeps, 2 ends
// the hover look, 121 keeps it hidden while the main window is. Dragging moves it (its place is
// kept in "lrcx"/"lrcy"); resizing sets the font size. Its control bar shows while the mouse is
// on it.
class CKLrcChildDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSweepTimer = 8;      // 100 ms while a line sweeps
    static constexpr int kSweepPeriodMs = 100;
    static constexpr int kHoverTimer = 2;      // 500 ms while the hover look is on
    static constexpr int kFollowTimer = 121;   // 500 ms: hidden with the main window
    static constexpr int kPeriodMs = 500;
    static constexpr float kTextTop = 10.0f;

    CKLrcChildDlg(ConfigSettings& settings, QWidget* mainWindow = nullptr);
    ~CKLrcChildDlg() override;

    void SetModel(CLyrics* lyrics) { m_pLyrics = lyrics; }
    // The playing track's length in seconds, for the last line's sweep.
    void SetLengthSource(std::function<int()> source) { m_length = std::move(source); }

    CMsgTarget Target() const;
    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam);
    void OnTimer(int id);
    bool TimerRunning(int id) const;

    // Shows or hides the window with its bar, and keeps the choice in "desklrc".
    void ShowDesktopLyrics(bool show);
    bool Wanted() const { return m_bWanted; }
    // Stores the font, size and scheme, and shows them here and in the bar.
    void ApplyLyricFont(const QString& name, int size, int scheme);
    void SetFontName(const QString& name);
    void SetScheme(int scheme);
    QString FontName() const { return m_strFontName; }
    int FontSize() const { return m_nFontSize; }
    int Scheme() const { return m_nScheme; }

    CFloatLrcCtrlBar* ControlBar() const { return m_bar; }
    // What is shown and where, for the bar and tests.
    QString DisplayText() const;
    float TextX();
    float TextWidth();
    float SweepWidth() const { return m_fSweep; }
    bool Stopped() const { return m_bStopped; }
    bool HoverLook() const { return m_background.alpha() != 0; }
    // The picture the window shows, as it is put on screen.
    QImage Render();
    // The hover look on, as when the mouse comes over it.
    void BeginHover();

signals:
    // The window was shown or hidden by the user (the bar's close, the "词" button).
    void Shown(bool shown);
    // Font, size or scheme changed here or in the bar (the settings page follows).
    void LyricFontChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void enterEvent(QEnterEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    bool HasLines() const;
    QFont PaintFont() const;
    void Measure();
    void Centre();
    void CentreIfDue();
    void Sweep();
    void EndHover();
    void PlaceBar();
    void FollowMainWindow();
    void PlaceInitially();
    void RenderLayers();

    std::unique_ptr<CMsgPort<CKLrcChildDlg>> m_port;
    ConfigSettings& m_settings;
    QPointer<QWidget> m_mainWindow;
    CLyrics* m_pLyrics = nullptr;
    std::function<int()> m_length;
    CFloatLrcCtrlBar* m_bar = nullptr;

    QString m_strFontName;
    int m_nFontSize = 48;
    int m_nScheme = 0;
    float m_fX = 0;
    float m_fY = kTextTop;
    float m_fTextWidth = 0;
    float m_fTextHeight = 0;
    float m_fSweep = 0;
    int m_nLengthSec = 0;
    QColor m_background = QColor(0, 0, 0, 0);
    QColor m_border = QColor(0, 0, 0, 0);
    bool m_bMovable = true;
    bool m_bStopped = true;
    bool m_bResumePending = false;
    bool m_bWanted = false;
    bool m_bInitialised = false;
    bool m_bApplying = false;
    bool m_bCentreDue = false;
    QPoint m_dragOffset;
    QString m_layerKey;
    QImage m_unsungLayer;
    QImage m_sungLayer;
    bool m_bDragging = false;
};

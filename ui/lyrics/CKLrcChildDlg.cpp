#include "ui/lyrics/CKLrcChildDlg.h"

#include "base/MessageIds.h"
#include "lyrics/CLyrics.h"
#include "store/CQvConf.h"
#include "ui/CSkinPosManage.h"
#include "ui/lyrics/CFloatLrcCtrlBar.h"
#include "ui/lyrics/LyricFonts.h"
#include "ui/lyrics/LyricTexts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace {

constexpr int kWindowId = 161;
constexpr int kDefaultWidth = 800;
constexpr int kEdge = 6;          // the frame a resize starts from
constexpr int kMinFontSize = 12;
constexpr int kEndMarginMs = 5000; // the last line ends this long before the track
const QColor kHoverBackground(156, 206, 223, 155);
const QColor kHoverBorder(155, 155, 155, 155);

} // namespace

CKLrcChildDlg::CKLrcChildDlg(ConfigSettings& settings, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_port(std::make_unique<CMsgPort<CKLrcChildDlg>>(*this)), m_settings(settings), m_mainWindow(mainWindow)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_NoSystemBackground);
    setWindowTitle(lrctxt::kDesktopWelcome);
    setMouseTracking(true);
    m_nScheme = ValidLyricScheme(settings.ColorScheme);
    m_nFontSize = settings.FontSize >= kMinFontSize ? settings.FontSize : 48;
    QString name = settings.fontname;
    if (name.isEmpty())
        name = QFontDatabase::families().contains(lrctxt::kRoundFont) ? lrctxt::kRoundFont : lrctxt::kDefaultFont;
    m_strFontName = name;
    const QSize design = CSkinPosManage::Instance().DesignSize(kWindowId);
    resize(design.width() > 0 ? design.width() : kDefaultWidth, m_nFontSize + 20);
    PlaceInitially();
    m_bar = new CFloatLrcCtrlBar(*this);
    m_port->SetTimer(kFollowTimer, kPeriodMs);
    m_bInitialised = true;
    ApplyLyricFont(m_strFontName, m_nFontSize, m_nScheme);
}

CKLrcChildDlg::~CKLrcChildDlg() = default;

CMsgTarget CKLrcChildDlg::Target() const { return m_port->Target(); }
bool CKLrcChildDlg::TimerRunning(int id) const { return m_port->HasTimer(id); }

void CKLrcChildDlg::PlaceInitially()
{
    // A place kept from before, if a screen still shows it; else low in the middle of the screen.
    const QPoint kept(m_settings.lrcx, m_settings.lrcy);
    if ((kept.x() != 0 || kept.y() != 0) && QGuiApplication::screenAt(kept + QPoint(width() / 2, height() / 2))) {
        move(kept);
        return;
    }
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.bottom() - height() - area.height() / 8);
    }
}

// ---- what is shown ----------------------------------------------------------------------------

bool CKLrcChildDlg::HasLines() const
{
    return m_pLyrics && m_pLyrics->LineCount() > 0 && m_pLyrics->HasTimedLines();
}

QString CKLrcChildDlg::DisplayText() const
{
    if (!HasLines()) return lrctxt::kDesktopWelcome;
    const int current = m_pLyrics->Current();
    if (current < 0 || current > m_pLyrics->LastIndex() || current >= m_pLyrics->LineCount())
        return lrctxt::kDesktopWelcome;
    const QString& text = m_pLyrics->TextAt(current);
    return text.isEmpty() ? lrctxt::kEmptyLine : text;
}

QFont CKLrcChildDlg::PaintFont() const
{
    QFont font(m_strFontName);
    font.setBold(true);
    font.setPixelSize(std::max(kMinFontSize, m_nFontSize));
    return font;
}

void CKLrcChildDlg::Measure()
{
    const QFontMetricsF metrics(PaintFont());
    m_fTextWidth = float(metrics.horizontalAdvance(DisplayText()));
    m_fTextHeight = float(metrics.height());
}

// Measuring loads the faces of the lyric font (a bold CJK face is megabytes of mapped file and
// heap), and the window is hidden at most starts: a hidden window measures only once something
// needs the line's place (shown, swept or asked).
void CKLrcChildDlg::Centre()
{
    m_bCentreDue = true;
    if (isVisible()) CentreIfDue();
}

void CKLrcChildDlg::CentreIfDue()
{
    if (!m_bCentreDue) return;
    m_bCentreDue = false;
    Measure();
    m_fX = m_fTextWidth > width() ? 0.0f : (width() - m_fTextWidth) / 2;
}

float CKLrcChildDlg::TextX()
{
    CentreIfDue();
    return m_fX;
}

float CKLrcChildDlg::TextWidth()
{
    CentreIfDue();
    return m_fTextWidth;
}

void CKLrcChildDlg::RenderLayers()
{
    // The letters change only with the line, the font, the scheme or the place: a sweep tick
    // just shows more of the sung layer.
    const QString text = DisplayText();
    const QString key = QStringLiteral("%1|%2|%3|%4|%5|%6x%7")
                            .arg(text, m_strFontName)
                            .arg(m_nFontSize)
                            .arg(m_nScheme)
                            .arg(double(m_fX))
                            .arg(width())
                            .arg(height());
    if (key == m_layerKey) return;
    m_layerKey = key;
    const QFont font = PaintFont();
    const QPointF at(m_fX, m_fY);
    m_unsungLayer = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_unsungLayer.fill(Qt::transparent);
    QPainter unsung(&m_unsungLayer);
    DrawLyricLine(unsung, at, font, text, m_nScheme, 0);
    unsung.end();
    m_sungLayer = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_sungLayer.fill(Qt::transparent);
    QPainter sung(&m_sungLayer);
    DrawSungLetters(sung, QPointF(m_fX, m_fY), font, text, m_nScheme);
}

QImage CKLrcChildDlg::Render()
{
    CentreIfDue();
    RenderLayers();
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.fillRect(image.rect(), m_background);
    if (m_border.alpha() != 0) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(m_border, 2));
        p.drawRect(QRectF(image.rect()).adjusted(1, 1, -1, -1));
    }
    p.drawImage(0, 0, m_unsungLayer);
    if (HasLines() && m_fSweep > 0) {
        p.setClipRect(QRectF(m_fX, 0, m_fSweep, height()));
        p.drawImage(0, 0, m_sungLayer);
    }
    return image;
}

void CKLrcChildDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, Render());
}

// ---- messages and timers -------------------------------------------------------------------

qintptr CKLrcChildDlg::OnMessage(unsigned msg, quintptr wParam, qintptr)
{
    switch (msg) {
    case WM_LRCBAR_LOADED:
        if (!m_pLyrics || !m_pLyrics->IsReady()) return 0;
        m_nLengthSec = m_length ? m_length() : 0;
        Centre();
        update();
        if (m_bStopped) m_port->SetTimer(kSweepTimer, kSweepPeriodMs);
        m_bStopped = false;
        m_bResumePending = false;
        return 1;
    case WM_LRCBAR_UNLOAD:
        m_bStopped = true;
        m_bResumePending = false;
        m_port->KillTimer(kSweepTimer);
        m_fSweep = 0;
        Centre(); // the welcome text, in the middle
        update();
        return 1;
    case WM_LRCBAR_PAUSE:
        if (m_bStopped && !m_bResumePending) return 0;
        if (m_bResumePending) {
            m_bResumePending = false;
            m_bStopped = false;
            m_port->SetTimer(kSweepTimer, kSweepPeriodMs);
        } else {
            m_bStopped = true;
            m_bResumePending = true;
            m_port->KillTimer(kSweepTimer);
        }
        return 1;
    case WM_LRCBAR_NEXTLINE:
        if (m_pLyrics && int(wParam) <= m_pLyrics->LastIndex()) m_pLyrics->SetCurrent(int(wParam));
        m_fSweep = 0;
        Centre();
        update();
        return 1;
    default:
        return 0;
    }
}

void CKLrcChildDlg::OnTimer(int id)
{
    switch (id) {
    case kSweepTimer:
        Sweep();
        return;
    case kHoverTimer: {
        const QPoint cursor = QCursor::pos();
        const bool over = frameGeometry().contains(cursor) || (m_bar->isVisible() && m_bar->frameGeometry().contains(cursor)) ||
                          m_bar->isActiveWindow() || QApplication::activePopupWidget();
        if (!over) EndHover();
        return;
    }
    case kFollowTimer:
        FollowMainWindow();
        return;
    default:
        return;
    }
}

void CKLrcChildDlg::Sweep()
{
    if (!HasLines() || m_bStopped) return;
    const int current = m_pLyrics->Current();
    if (current < 0 || current >= m_pLyrics->LineCount()) return;
    CentreIfDue();
    const int clientWidth = std::max(1, width());
    const quint32 start = m_pLyrics->TimeAt(current);
    double growth;
    if (current < m_pLyrics->LastIndex() && current + 1 < m_pLyrics->LineCount()) {
        int units = int((m_pLyrics->TimeAt(current + 1) - start) / 100);
        if (units <= 0) units = 1;
        const int w = int(m_fTextWidth) + 1;
        growth = (w + ((w / clientWidth) * 50 + 50)) / double(units);
    } else {
        // The last line sweeps until shortly before the end of the track.
        qint64 rest = qint64(m_nLengthSec) * 1000 - start - kEndMarginMs;
        if (rest < 0) rest += kEndMarginMs;
        qint64 units = rest / 100;
        if (units <= 0) units = 1;
        growth = (m_fTextWidth + 50) / double(units);
    }
    m_fSweep = float(std::min<double>(m_fSweep + growth, m_fTextWidth + 100.0));
    // A line wider than the window moves left once half the window is sung, its end reaching
    // the right edge as the sweep reaches it.
    if (m_fTextWidth > clientWidth && m_fSweep > clientWidth / 2.0f) {
        const float travel = m_fTextWidth - clientWidth;
        const float f = std::clamp((m_fSweep - clientWidth / 2.0f) / (m_fTextWidth - clientWidth / 2.0f), 0.0f, 1.0f);
        m_fX = -f * travel;
    }
    update();
}

// ---- showing, hover and moving ------------------------------------------------------------

void CKLrcChildDlg::ShowDesktopLyrics(bool show)
{
    m_bWanted = show;
    m_settings.desklrc = show ? 1 : 0;
    if (show) {
        Centre();
        QWidget::show();
        raise();
        BeginHover();
    } else {
        EndHover();
        hide();
    }
    emit Shown(show);
}

void CKLrcChildDlg::BeginHover()
{
    m_background = kHoverBackground;
    m_border = kHoverBorder;
    PlaceBar();
    if (isVisible()) {
        m_bar->show();
        m_bar->raise();
    }
    m_port->SetTimer(kHoverTimer, kPeriodMs);
    update();
}

void CKLrcChildDlg::EndHover()
{
    m_bar->hide();
    m_port->KillTimer(kHoverTimer);
    m_background = QColor(0, 0, 0, 0);
    m_border = QColor(0, 0, 0, 0);
    update();
}

void CKLrcChildDlg::PlaceBar()
{
    m_bar->move(x() + (width() - m_bar->width()) / 2, y() - m_bar->height());
}

void CKLrcChildDlg::FollowMainWindow()
{
    if (!m_bWanted || !m_mainWindow) return;
    const bool mainShown = m_mainWindow->isVisible() && !m_mainWindow->isMinimized();
    if (!mainShown && isVisible()) {
        EndHover();
        hide();
    } else if (mainShown && !isVisible()) {
        QWidget::show();
    }
}

void CKLrcChildDlg::enterEvent(QEnterEvent* e)
{
    BeginHover();
    QWidget::enterEvent(e);
}

void CKLrcChildDlg::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) return;
    const QPoint at = e->position().toPoint();
    Qt::Edges edges;
    if (at.x() < kEdge) edges |= Qt::LeftEdge;
    if (at.x() >= width() - kEdge) edges |= Qt::RightEdge;
    if (at.y() < kEdge) edges |= Qt::TopEdge;
    if (at.y() >= height() - kEdge) edges |= Qt::BottomEdge;
    if (edges && windowHandle() && windowHandle()->startSystemResize(edges)) return;
    if (!m_bMovable) return;
    // The window manager moves it where it can (X11, XWayland); else it follows the mouse here.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    m_bDragging = true;
    m_dragOffset = e->globalPosition().toPoint() - pos();
}

void CKLrcChildDlg::mouseMoveEvent(QMouseEvent* e)
{
    if (m_bDragging) move(e->globalPosition().toPoint() - m_dragOffset);
}

void CKLrcChildDlg::mouseReleaseEvent(QMouseEvent*) { m_bDragging = false; }

void CKLrcChildDlg::moveEvent(QMoveEvent* e)
{
    QWidget::moveEvent(e);
    if (!m_bInitialised) return;
    m_settings.lrcx = x();
    m_settings.lrcy = y();
    PlaceBar();
}

void CKLrcChildDlg::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (!m_bInitialised || m_bApplying) return;
    // The letters fill the new height.
    m_nFontSize = std::max(kMinFontSize, height() - 20);
    m_settings.FontSize = m_nFontSize;
    Centre();
    PlaceBar();
    emit LyricFontChanged();
}

void CKLrcChildDlg::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    CentreIfDue();
}

// ---- font and scheme ------------------------------------------------------------------------

void CKLrcChildDlg::ApplyLyricFont(const QString& name, int size, int scheme)
{
    m_settings.fontname = name;
    m_settings.FontSize = size;
    m_settings.ColorScheme = scheme;
    m_strFontName = name;
    m_nFontSize = std::max(kMinFontSize, size);
    m_bApplying = true;
    resize(width(), m_nFontSize + 20);
    m_bApplying = false;
    m_bar->SelectFont(name);
    Centre();
    update();
    m_bar->OnCommand(CFloatLrcCtrlBar::kScheme0 + ValidLyricScheme(scheme));
}

void CKLrcChildDlg::SetFontName(const QString& name)
{
    if (name.isEmpty()) return;
    m_strFontName = name;
    m_settings.fontname = name;
    Centre();
    update();
    emit LyricFontChanged();
}

void CKLrcChildDlg::SetScheme(int scheme)
{
    m_nScheme = ValidLyricScheme(scheme);
    m_settings.ColorScheme = m_nScheme;
    m_bar->ShowScheme(m_nScheme);
    update();
    emit LyricFontChanged();
}

#include "ui/lyrics/CQvLyrics.h"

#include "base/MessageIds.h"
#include "lyrics/CLyrics.h"
#include "ui/CSkin.h"
#include "ui/lyrics/LyricTexts.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

namespace {

// Where a seek past the last line goes: the main window takes a negative time as that much
// before the end of the track.
constexpr int kSeekNearEnd = -30000;

int Blend(int highlight, int line, int count) { return highlight - count * ((highlight - line) / 4); }

} // namespace

CQvLyrics::CQvLyrics(QWidget* parent) : QWidget(parent), m_port(std::make_unique<CMsgPort<CQvLyrics>>(*this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setFocusPolicy(Qt::ClickFocus);
    m_font = font();
    m_font.setPixelSize(22);
    m_nPitch = 22 + 4;
    m_strMessage = lrctxt::kPanelWelcome;
    m_label = new QLabel(this);
    m_label->setObjectName(QString::number(kLabelId));
    m_label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    m_label->hide();
    m_nTop = height() / 2 + 4;
}

CQvLyrics::~CQvLyrics() = default;

CMsgTarget CQvLyrics::Target() const { return m_port->Target(); }
bool CQvLyrics::TimerRunning() const { return m_port->HasTimer(kScrollTimer); }

void CQvLyrics::SetColors(const QColor& background, const QColor& line, const QColor& current)
{
    m_background = background;
    m_line = line;
    m_current = current;
    m_label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(current.name()));
    QPalette pal = m_label->palette();
    pal.setColor(QPalette::WindowText, current);
    pal.setColor(QPalette::Window, CSkin::Instance().Color(17));
    m_label->setPalette(pal);
    update();
}

void CQvLyrics::SetLyricFont(const QFont& font)
{
    m_font = font;
    // A line is the font's height and 4 pixels.
    const int height = font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
    m_nPitch = height + 4;
    m_label->setFont(font);
    update();
}

bool CQvLyrics::HasLines() const
{
    return m_pLyrics && m_bLoaded && m_pLyrics->HasTimedLines() && m_pLyrics->LineCount() > 0;
}

QString CQvLyrics::CurrentText() const
{
    if (!HasLines()) return m_strMessage;
    const int i = m_pLyrics->Current();
    return i >= 0 && i < m_pLyrics->LineCount() ? m_pLyrics->TextAt(i) : QString();
}

// ---- messages and timers --------------------------------------------------------------------

qintptr CQvLyrics::OnMessage(unsigned msg, quintptr wParam, qintptr)
{
    switch (msg) {
    case WM_LRC_LOADED: OnLoaded(); return 1;
    case WM_LRC_UNLOAD: OnUnload(); return 1;
    case WM_LRC_PAUSE: OnPause(); return 1;
    case WM_LRC_NEXTLINE: OnNextLine(int(wParam)); return 1;
    case WM_LRC_REFRESH: update(); return 1;
    default: return 0;
    }
}

void CQvLyrics::OnTimer(int id)
{
    if (id != kScrollTimer || m_bPaused) return;
    // The fraction is kept, so the text glides one pitch over the line's duration.
    m_fAccum += m_fStep;
    const int whole = int(m_fAccum);
    m_nTop -= whole;
    m_fAccum -= whole;
    update();
}

void CQvLyrics::ComputeStep()
{
    m_fStep = 0;
    if (!m_pLyrics || m_pLyrics->LineCount() == 0) return;
    const int current = m_pLyrics->Current();
    if (current < 0) return;
    if (current >= m_pLyrics->LastIndex() || current + 1 >= m_pLyrics->LineCount()) {
        m_fStep = current > 0 ? 0 : 1;
        return;
    }
    const quint32 from = m_pLyrics->TimeAt(current);
    const quint32 to = m_pLyrics->TimeAt(current + 1);
    m_fStep = to == from ? 1.0 : m_nPitch / (double(quint32(to - from)) / 200.0);
}

void CQvLyrics::SnapTop()
{
    const int current = m_pLyrics ? m_pLyrics->Current() : 0;
    m_nTop = height() / 2 - m_nPitch * current + 4;
}

void CQvLyrics::OnLoaded()
{
    // The model is only taken once its text is parsed; the stored offset moves the lines once
    // per parse, however often playing resumes.
    if (!m_pLyrics || !m_pLyrics->IsReady()) return;
    m_pLyrics->ApplyStoredOffset();
    m_bLoaded = true;
    ComputeStep();
    if (m_bPaused) {
        if (HasLines()) {
            m_label->setText(CurrentText());
            PlaceLabel();
            m_label->show();
        }
        m_port->SetTimer(kScrollTimer, kScrollPeriodMs);
    }
    m_bPaused = false;
    m_bResumePending = false;
    m_fAccum = 0;
    SnapTop();
    update();
}

void CQvLyrics::OnPause()
{
    // A panel without lyrics, or held by a drag, has nothing to pause.
    if (m_bPaused && !m_bResumePending) return;
    if (m_bResumePending) {
        m_bResumePending = false;
        m_bPaused = false;
        m_port->SetTimer(kScrollTimer, kScrollPeriodMs);
        return;
    }
    m_bPaused = true;
    m_bResumePending = true;
    m_port->KillTimer(kScrollTimer);
}

void CQvLyrics::OnNextLine(int index)
{
    if (!m_pLyrics || index < 0 || index > m_pLyrics->LastIndex()) return;
    m_pLyrics->SetCurrent(index);
    m_nFade = 0;
    ComputeStep();
    m_fAccum = 0;
    SnapTop();
    if (m_label->isVisible()) {
        m_label->setText(CurrentText());
        PlaceLabel();
    }
    update();
}

void CQvLyrics::OnUnload()
{
    // Re-timed lines are handed on before the model forgets them; the window stores them for
    // the track they were loaded for.
    if (m_pLyrics && m_pLyrics->TotalShift() != 0) {
        const QString text = m_pLyrics->Serialise();
        if (!text.isEmpty()) emit AdjustedLyrics(text);
    }
    m_label->hide();
    m_port->KillTimer(kScrollTimer);
    m_bLoaded = false;
    m_bPaused = true;
    m_bResumePending = false;
    m_label->clear();
    m_fStep = 0;
    m_fAccum = 0;
    m_nFade = 0;
    m_bDragging = false;
    m_nDragStart = m_nDragLast = 0;
    m_nTop = height() / 2 + 4;
    if (m_pLyrics) m_pLyrics->Clear();
    m_strMessage = lrctxt::kPanelWelcome;
    update();
}

void CQvLyrics::PlaceLabel()
{
    if (!m_pLyrics) return;
    const int y = m_nTop + (m_pLyrics->LastIndex() + 1) * m_nPitch;
    m_label->setGeometry(0, y, width(), m_nPitch);
}

// ---- painting -------------------------------------------------------------------------------

QColor CQvLyrics::Faded()
{
    ++m_nFade;
    const int current = m_pLyrics ? m_pLyrics->Current() : 0;
    if (m_nFade > 3 || current < 1) return m_current;
    return QColor(Blend(m_current.red(), m_line.red(), m_nFade), Blend(m_current.green(), m_line.green(), m_nFade),
                  Blend(m_current.blue(), m_line.blue(), m_nFade));
}

void CQvLyrics::paintEvent(QPaintEvent*)
{
    // One off-screen picture per paint, reused while the size stays.
    if (m_buffer.size() != size()) m_buffer = QImage(size(), QImage::Format_RGB32);
    if (m_buffer.isNull()) return;
    {
        QPainter p(&m_buffer);
        p.fillRect(m_buffer.rect(), m_background);
        p.setFont(m_font);
        p.setPen(m_line);
        const int w = width();
        const int h = height();
        if (HasLines() && m_pLyrics->Current() <= m_pLyrics->LastIndex()) {
            const int last = m_pLyrics->LastIndex();
            const auto lineRect = [&](int i) { return QRect(0, m_nTop + i * m_nPitch, w + 12, m_nPitch + 8); };
            // Lines out of sight cost nothing.
            const int first = std::max(0, (-m_nTop) / m_nPitch - 1);
            for (int i = first; i <= last && i < m_pLyrics->LineCount(); ++i) {
                const QRect r = lineRect(i);
                if (r.top() > h) break;
                p.drawText(r, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                           m_pLyrics->TextAt(i) + QStringLiteral("  "));
            }
            const int current = m_pLyrics->Current();
            if (current >= 0 && current < m_pLyrics->LineCount()) {
                m_lastHighlight = Faded();
                p.fillRect(lineRect(current).adjusted(0, 0, 0, -8), m_background);
                p.setPen(m_lastHighlight);
                p.drawText(lineRect(current), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                           m_pLyrics->TextAt(current) + QStringLiteral("  "));
            }
        } else {
            m_lastHighlight = Faded();
            p.setPen(m_lastHighlight);
            const int fontHeight = m_nPitch - 4;
            // A message wider than the panel (the welcome text in a narrow window) wraps
            // round the middle instead of losing both ends.
            const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
            const int textHeight = p.fontMetrics().boundingRect(QRect(0, 0, w, h), flags, m_strMessage).height();
            const int top = textHeight > m_nPitch ? h / 2 - textHeight / 2 : h / 2 - fontHeight / 2;
            p.drawText(QRect(0, top, w, std::max(textHeight, m_nPitch) + 8), flags, m_strMessage);
        }
        if (m_bDragging) {
            p.setPen(QPen(CSkin::Instance().Color(14), 1));
            const int y = h / 2;
            p.drawLine(0, y, w - 1, y);
            p.drawLine(0, y - 5, 0, y + 5);
            p.drawLine(w - 1, y - 5, w - 1, y + 5);
        }
    }
    QPainter(this).drawImage(0, 0, m_buffer);
}

void CQvLyrics::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    if (m_bLoaded) SnapTop();
    else m_nTop = height() / 2 + 4;
    if (m_label->isVisible()) PlaceLabel();
}

// ---- mouse ----------------------------------------------------------------------------------

int CQvLyrics::DragTop(int y) const
{
    const int current = m_pLyrics ? m_pLyrics->Current() : 0;
    return height() / 2 + (y - m_nDragStart) - m_nPitch * current + 4;
}

void CQvLyrics::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !HasLines()) {
        QWidget::mousePressEvent(e);
        return;
    }
    m_bDragging = true;
    m_bPaused = true;
    m_nDragStart = m_nDragLast = int(e->position().y());
    update();
}

void CQvLyrics::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_bDragging) return;
    m_nDragLast = int(e->position().y());
    m_nTop = DragTop(m_nDragLast);
    setCursor(rect().contains(e->position().toPoint()) ? Qt::SizeVerCursor : Qt::ArrowCursor);
    update();
}

void CQvLyrics::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_bDragging || e->button() != Qt::LeftButton) return;
    m_bDragging = false;
    unsetCursor();
    m_nDragLast = int(e->position().y());
    m_nTop = DragTop(m_nDragLast);
    // A paused track stays still after the drag: only the scrolling of a playing one resumes.
    m_bPaused = m_bResumePending;
    update();
    if (!HasLines()) return;
    const int line = (height() / 2 - m_nTop + 4) / m_nPitch;
    if (line == m_pLyrics->Current()) return;
    qintptr seek;
    if (line < -1) seek = 0;
    else if (line >= m_pLyrics->LastIndex()) seek = kSeekNearEnd;
    else seek = m_pLyrics->TimeAt(line + 1);
    m_seekTarget.PostMessage(WM_LRC_SEEK, 0, seek);
}

void CQvLyrics::wheelEvent(QWheelEvent* e)
{
    // The wheel re-times the lines here; it never reaches the window (which would seek).
    e->accept();
    const int delta = e->angleDelta().y();
    if (delta > 0) ShiftLyrics(-kShiftMs);
    else if (delta < 0) ShiftLyrics(kShiftMs);
}

void CQvLyrics::ShiftLyrics(int delta)
{
    if (!HasLines()) return;
    const qint64 position = m_position ? m_position() : 0;
    m_pLyrics->Shift(delta, position);
    // The text moves two ticks along at once, so the change is seen.
    const int move = int(2 * m_fStep);
    m_nTop += delta > 0 ? -move : move;
    ComputeStep();
    update();
}

void CQvLyrics::CopyLyrics() const
{
    if (!HasLines()) return;
    QApplication::clipboard()->setText(m_pLyrics->CopyText());
}

QMenu* CQvLyrics::BuildMenu(QWidget* parent)
{
    auto* menu = new QMenu(parent);
    if (HasLines()) {
        menu->addAction(lrctxt::kCopy, this, [this] { CopyLyrics(); });
        QMenu* adjust = menu->addMenu(lrctxt::kAdjust);
        adjust->addAction(lrctxt::kEarlier, this, [this] { ShiftLyrics(kShiftMs); });
        adjust->addAction(lrctxt::kLater, this, [this] { ShiftLyrics(-kShiftMs); });
    }
    if (m_bTrackMenu) {
        if (!menu->isEmpty()) menu->addSeparator();
        menu->addAction(lrctxt::kSearch, this, [this] { emit SearchRequested(); });
        menu->addAction(lrctxt::kAssociate, this, [this] { emit AssociateRequested(); });
    }
    return menu;
}

void CQvLyrics::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu* menu = BuildMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (menu->isEmpty()) {
        delete menu;
        return;
    }
    menu->popup(e->globalPos());
}

void CQvLyrics::enterEvent(QEnterEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    QWidget::enterEvent(e);
}

void CQvLyrics::leaveEvent(QEvent* e)
{
    if (parentWidget()) parentWidget()->setFocus(Qt::OtherFocusReason);
    QWidget::leaveEvent(e);
}

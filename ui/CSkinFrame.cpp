#include "ui/CSkinFrame.h"

#include "ui/CSkin.h"
#include "ui/CSkinPosManage.h"
#include "ui/CWndShadow.h"
#include "ui/SkinPaint.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <QWindow>

namespace {
constexpr int kGrip = 5; // how far in from the contents' edge a press resizes
}

CSkinFrame::CSkinFrame(QWidget* window, int wndId, int options)
    : QObject(window), m_window(window), m_wndId(wndId), m_options(options)
{
    window->setWindowFlag(Qt::FramelessWindowHint, true);
    if ((options & kShadow) && CWndShadow::DesktopComposited()) {
        window->setAttribute(Qt::WA_TranslucentBackground);
        m_shadow = new CWndShadow(window);
        m_shadow->SetDarkness(70);
        m_shadow->SetSharpness(14);
        m_shadow->SetSize(10);
        m_shadow->SetPosition(0, 3);
        connect(m_shadow, &CWndShadow::Changed, this, &CSkinFrame::UpdateMargins);
        UpdateMargins();
    }
    if (options & kResizable) {
        window->setAttribute(Qt::WA_Hover);
    }
    window->installEventFilter(this);
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, window, qOverload<>(&QWidget::update));
}

QString CSkinFrame::BackgroundName() const
{
    const SkinPosRecord* own = CSkinPosManage::Instance().Find(m_wndId);
    return own ? own->name : QString();
}

QSize CSkinFrame::FrameSize(const QSize& contents) const
{
    const QMargins m = m_shadow ? m_shadow->Margins() : QMargins();
    return contents.grownBy(m);
}

void CSkinFrame::UpdateMargins()
{
    if (m_shadow) m_window->setContentsMargins(m_shadow->Margins());
}

Qt::Edges CSkinFrame::EdgesAt(const QPoint& pos) const
{
    Qt::Edges edges;
    if (!(m_options & kResizable) || m_window->isMaximized() || m_window->isFullScreen()) return edges;
    const QRect r = m_window->contentsRect();
    if (pos.x() < r.left() + kGrip) edges |= Qt::LeftEdge;
    if (pos.x() >= r.right() - kGrip) edges |= Qt::RightEdge;
    if (pos.y() < r.top() + kGrip) edges |= Qt::TopEdge;
    if (pos.y() >= r.bottom() - kGrip) edges |= Qt::BottomEdge;
    return edges;
}

bool CSkinFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window) return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint: {
        // Under whatever the window paints itself.
        QPainter p(m_window);
        const QRect contents = m_window->contentsRect();
        if (m_shadow) {
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.fillRect(m_window->rect(), Qt::transparent);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            m_shadow->Paint(p, contents);
        }
        DrawSkinBitmap(p, contents, CSkin::Instance(), BackgroundName());
        break;
    }
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton || !m_window->windowHandle()) break;
        const Qt::Edges edges = EdgesAt(e->position().toPoint());
        if (edges) m_window->windowHandle()->startSystemResize(edges);
        else if (!m_window->isMaximized()) m_window->windowHandle()->startSystemMove();
        return true;
    }
    case QEvent::HoverMove: {
        const Qt::Edges edges = EdgesAt(static_cast<QHoverEvent*>(event)->position().toPoint());
        const bool h = edges & (Qt::LeftEdge | Qt::RightEdge), v = edges & (Qt::TopEdge | Qt::BottomEdge);
        Qt::CursorShape shape = Qt::ArrowCursor;
        if (h && v) {
            const bool falling = ((edges & Qt::LeftEdge) && (edges & Qt::TopEdge)) ||
                                 ((edges & Qt::RightEdge) && (edges & Qt::BottomEdge));
            shape = falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
        } else if (h) {
            shape = Qt::SizeHorCursor;
        } else if (v) {
            shape = Qt::SizeVerCursor;
        }
        if (edges) m_window->setCursor(shape);
        else m_window->unsetCursor();
        break;
    }
    case QEvent::WindowStateChange:
        UpdateMargins();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

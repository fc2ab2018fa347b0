#include "ui/CWndShadow.h"

#include <QGuiApplication>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>

#ifdef ORDEL_HAVE_XCB
#include <xcb/xcb.h>
#include <cstdlib>
#endif

CWndShadow::CWndShadow(QWidget* window) : QObject(window), m_window(window) {}

void CWndShadow::Update()
{
    m_cache = QImage();
    emit Changed();
    if (m_window->isVisible()) m_window->update();
}

bool CWndShadow::SetDarkness(int darkness)
{
    if (darkness < 0 || darkness > 255) return false;
    m_darkness = darkness;
    Update();
    return true;
}

bool CWndShadow::SetSharpness(int sharpness)
{
    if (sharpness < 0 || sharpness > 20) return false;
    m_sharpness = sharpness;
    Update();
    return true;
}

bool CWndShadow::SetSize(int size)
{
    if (size < -20 || size > 20) return false;
    m_size = size;
    Update();
    return true;
}

bool CWndShadow::SetPosition(int x, int y)
{
    if (x < -20 || x > 20 || y < -20 || y > 20) return false;
    m_x = x;
    m_y = y;
    Update();
    return true;
}

void CWndShadow::SetColor(const QColor& color)
{
    m_color = color;
    Update();
}

void CWndShadow::SetNone()
{
    m_darkness = m_sharpness = m_size = m_x = m_y = 0;
    Update();
}

QMargins CWndShadow::Margins() const
{
    if (m_darkness == 0 || m_window->isMaximized() || m_window->isFullScreen()) return {};
    // Enough room for the shadow's outer edge on each side, never negative.
    return QMargins(std::max(0, m_size - m_x), std::max(0, m_size - m_y), std::max(0, m_size + m_x),
                    std::max(0, m_size + m_y));
}

QImage CWndShadow::Render(const QSize& windowSize, int darkness, int sharpness, int size, const QColor& color)
{
    const int w = windowSize.width() + 2 * size, h = windowSize.height() + 2 * size;
    if (w <= 0 || h <= 0) return {};
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    // Full darkness inside a core rectangle `sharpness` in from the edge, fading to nothing at
    // the edge along a smooth curve; the corners fade by the distance to the core's corner.
    const double rim = std::max(0, sharpness);
    const double coreL = rim, coreT = rim, coreR = w - rim, coreB = h - rim;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double py = y + 0.5;
        const double dy = py < coreT ? coreT - py : (py > coreB ? py - coreB : 0.0);
        for (int x = 0; x < w; ++x) {
            const double px = x + 0.5;
            const double dx = px < coreL ? coreL - px : (px > coreR ? px - coreR : 0.0);
            double t = 0.0;
            if (rim > 0.0) t = std::min(1.0, std::hypot(dx, dy) / rim);
            else if (dx > 0.0 || dy > 0.0) t = 1.0;
            const double fall = 1.0 - t * t * (3.0 - 2.0 * t); // smoothstep, reversed
            const int a = int(std::lround(darkness * fall));
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), a));
        }
    }
    return image;
}

void CWndShadow::Paint(QPainter& painter, const QRect& contents) const
{
    if (m_darkness == 0 || m_window->isMaximized() || m_window->isFullScreen()) return;
    if (m_cacheFor != contents.size() || m_cache.isNull()) {
        m_cache = Render(contents.size(), m_darkness, m_sharpness, m_size, m_color);
        m_cacheFor = contents.size();
    }
    if (m_cache.isNull()) return;
    painter.drawImage(contents.topLeft() - QPoint(m_size, m_size) + QPoint(m_x, m_y), m_cache);
}

bool CWndShadow::DesktopComposited()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland"))) return true;
#ifdef ORDEL_HAVE_XCB
    if (platform == QLatin1String("xcb")) {
        // A compositing manager owns the selection _NET_WM_CM_S<screen>.
        int screen = 0;
        xcb_connection_t* c = xcb_connect(nullptr, &screen);
        bool composited = false;
        if (c && !xcb_connection_has_error(c)) {
            const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
            auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(name.size()), name.constData()), nullptr);
            if (atom && atom->atom != XCB_ATOM_NONE) {
                auto* owner = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr);
                composited = owner && owner->owner != XCB_WINDOW_NONE;
                std::free(owner);
            }
            std::free(atom);
        }
        if (c) xcb_disconnect(c);
        return composited;
    }
#endif
    return false;
}

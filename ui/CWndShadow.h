#pragma once
#include <QColor>
#include <QImage>
#include <QMargins>
#include <QObject>

class QPainter;
class QWidget;

// The soft drop shadow of a skinned window. The window is made see-through around its contents
// and the shadow is drawn in that margin (CSkinFrame does both). `size` grows the shadow beyond
// the window on every side (negative: it hides behind it), the offsets move it, `sharpness` is
// the width in pixels over which its edge fades out (0: a hard edge) and `darkness` its opacity.
class CWndShadow : public QObject {
    Q_OBJECT
public:
    explicit CWndShadow(QWidget* window);

    // Each setter refuses a value out of range (darkness 0-255, sharpness 0-20, size and offsets
    // -20 to 20) and returns false; an accepted change repaints the window.
    bool SetDarkness(int darkness);
    bool SetSharpness(int sharpness);
    bool SetSize(int size);
    bool SetPosition(int x, int y);
    void SetColor(const QColor& color);
    // A window without a shadow: everything 0.
    void SetNone();

    int Darkness() const { return m_darkness; }
    int Sharpness() const { return m_sharpness; }
    int Size() const { return m_size; }
    int OffsetX() const { return m_x; }
    int OffsetY() const { return m_y; }
    QColor Color() const { return m_color; }

    // The room the shadow takes around the window's contents; none while the window is
    // maximised or full screen.
    QMargins Margins() const;
    // Draws the shadow of contents `contents` (window coordinates).
    void Paint(QPainter& painter, const QRect& contents) const;

    // The shadow picture of a window of `windowSize`: that size plus twice the shadow size.
    static QImage Render(const QSize& windowSize, int darkness, int sharpness, int size, const QColor& color);
    // Whether the desktop composes see-through windows (else a shadow would show as black).
    static bool DesktopComposited();

signals:
    void Changed();

private:
    void Update();

    QWidget* m_window;
    int m_darkness = 0;
    int m_sharpness = 0;
    int m_size = 0;
    int m_x = 0;
    int m_y = 0;
    QColor m_color = Qt::black;
    mutable QImage m_cache;
    mutable QSize m_cacheFor;
};

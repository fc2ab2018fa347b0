#pragma once
#include <QAbstractSlider>

#include "ui/ISkinControl.h"

// A slider drawn from the four bitmaps of its base name (SliderBitmapNames): the track, the
// played part, the buffered part when a buffer is shown, and the thumb (normal, hover, pressed).
// Wider than tall it runs left to right, else bottom to top. A press jumps to the point and
// drags from there.
class CSkinSlider : public QAbstractSlider, public ISkinControl {
    Q_OBJECT
public:
    explicit CSkinSlider(QWidget* parent = nullptr);

    void SetSkinName(const QString& baseName) override;
    QString SkinName() const { return m_base; }
    // The buffered share in percent, or -1 for none.
    void SetBuffer(int percent);
    int Buffer() const { return m_buffer; }

    // The value at a point of the control, and the thumb's centre for a value.
    int ValueAt(const QPoint& pos) const;
    int ThumbCentre(int value) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    bool event(QEvent* e) override;

private:
    bool Horizontal() const { return width() >= height(); }
    int ThumbLength() const;

    QString m_base;
    int m_buffer = -1;
    bool m_hover = false;
};

#include "ui/CSkinSlider.h"

#include "ui/CSkin.h"
#include "ui/SkinPaint.h"
#include "ui/SkinScheme.h"

#include <QMouseEvent>
#include <QPainter>

CSkinSlider::CSkinSlider(QWidget* parent) : QAbstractSlider(parent)
{
    setRange(0, 100);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, qOverload<>(&QWidget::update));
}

void CSkinSlider::SetSkinName(const QString& baseName)
{
    m_base = baseName;
    update();
}

void CSkinSlider::SetBuffer(int percent)
{
    m_buffer = percent < 0 ? -1 : std::min(percent, 100);
    update();
}

int CSkinSlider::ThumbLength() const
{
    const SliderBitmaps names = SliderBitmapNames(m_base);
    const QPixmap thumb = CSkin::Instance().Bitmap(names.thumb);
    if (thumb.isNull()) return 0;
    return Horizontal() ? thumb.width() / CSkin::Instance().BitmapInfo(names.thumb).frames : thumb.height();
}

int CSkinSlider::ThumbCentre(int v) const
{
    const int length = Horizontal() ? width() : height();
    const int half = ThumbLength() / 2;
    const int travel = std::max(0, length - 2 * half);
    const int span = maximum() - minimum();
    const int offset = span > 0 ? int(qint64(travel) * (std::clamp(v, minimum(), maximum()) - minimum()) / span) : 0;
    return Horizontal() ? half + offset : height() - half - offset;
}

int CSkinSlider::ValueAt(const QPoint& pos) const
{
    const int length = Horizontal() ? width() : height();
    const int half = ThumbLength() / 2;
    const int travel = std::max(1, length - 2 * half);
    const int along = Horizontal() ? pos.x() - half : height() - half - pos.y();
    const int span = maximum() - minimum();
    const qint64 v = minimum() + (qint64(std::clamp(along, 0, travel)) * span + travel / 2) / travel;
    return int(v);
}

void CSkinSlider::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CSkin& skin = CSkin::Instance();
    const SliderBitmaps names = SliderBitmapNames(m_base);
    DrawSkinBitmap(p, rect(), skin, names.back);
    const int centre = ThumbCentre(sliderPosition());
    auto part = [&](int upTo) {
        return Horizontal() ? QRect(0, 0, upTo, height()) : QRect(0, upTo, width(), height() - upTo);
    };
    if (m_buffer >= 0) {
        const int length = Horizontal() ? width() : height();
        const int b = length * m_buffer / 100;
        DrawSkinBitmap(p, part(Horizontal() ? b : length - b), skin, names.buffer);
    }
    DrawSkinBitmap(p, part(centre), skin, names.active);
    const QPixmap thumb = skin.Bitmap(names.thumb);
    if (thumb.isNull()) return;
    const int frames = skin.BitmapInfo(names.thumb).frames;
    const int frame = std::min(isSliderDown() ? 2 : (m_hover ? 1 : 0), frames - 1);
    const int w = thumb.width() / frames;
    const QPoint at = Horizontal() ? QPoint(centre - w / 2, (height() - thumb.height()) / 2)
                                   : QPoint((width() - w) / 2, centre - thumb.height() / 2);
    p.drawPixmap(at, thumb, QRect(frame * w, 0, w, thumb.height()));
}

void CSkinSlider::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    setSliderDown(true);
    setSliderPosition(ValueAt(e->position().toPoint()));
    update();
}

void CSkinSlider::mouseMoveEvent(QMouseEvent* e)
{
    if (!isSliderDown()) return;
    setSliderPosition(ValueAt(e->position().toPoint()));
}

void CSkinSlider::mouseReleaseEvent(QMouseEvent* e)
{
    if (!isSliderDown() || e->button() != Qt::LeftButton) return;
    setSliderPosition(ValueAt(e->position().toPoint()));
    setSliderDown(false);
    update();
}

bool CSkinSlider::event(QEvent* e)
{
    if (e->type() == QEvent::HoverEnter || e->type() == QEvent::HoverLeave) {
        m_hover = e->type() == QEvent::HoverEnter;
        update();
    }
    return QAbstractSlider::event(e);
}

#include "ui/CSkinPicture.h"

#include "ui/CSkin.h"
#include "ui/SkinPaint.h"

#include <QPainter>
#include <QPainterPath>

CSkinPicture::CSkinPicture(QWidget* parent) : QWidget(parent)
{
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, qOverload<>(&QWidget::update));
}

void CSkinPicture::SetSkinName(const QString& name)
{
    m_name = name;
    update();
}

void CSkinPicture::SetFrame(int frame)
{
    m_frame = frame;
    update();
}

void CSkinPicture::SetImage(const QImage& image)
{
    m_image = image;
    update();
}

void CSkinPicture::SetCornerRadius(int radius)
{
    m_radius = radius;
    update();
}

void CSkinPicture::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_image.isNull()) {
        DrawSkinBitmap(p, rect(), CSkin::Instance(), m_name, m_frame);
        return;
    }
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    if (m_radius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), m_radius, m_radius);
        p.setClipPath(clip);
    }
    // Fill the control, cutting what does not fit, so that a cover never looks squeezed.
    const QSize scaled = m_image.size().scaled(size(), Qt::KeepAspectRatioByExpanding);
    const QRect target(QPoint((width() - scaled.width()) / 2, (height() - scaled.height()) / 2), scaled);
    p.drawImage(target, m_image);
}

#include "ui/CSkinButton.h"

#include "ui/CSkin.h"
#include "ui/SkinPaint.h"

#include <QEvent>
#include <QPainter>

CSkinButton::CSkinButton(QWidget* parent) : QAbstractButton(parent)
{
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, qOverload<>(&QWidget::update));
}

void CSkinButton::SetSkinName(const QString& name)
{
    m_name = name;
    updateGeometry();
    update();
}

void CSkinButton::SetTextColors(int normal, int checked)
{
    m_textColor = normal;
    m_checkedTextColor = checked;
    update();
}

void CSkinButton::SetTextIndent(int pixels)
{
    m_indent = pixels;
    update();
}

int CSkinButton::CurrentFrame() const
{
    int state = 0;
    if (!isEnabled()) state = 3;
    else if (isDown()) state = 2;
    else if (m_hover) state = 1;
    const int frames = CSkin::Instance().BitmapInfo(m_name).frames;
    if (isChecked() && frames >= 8) state += 4;
    return std::min(state, frames - 1);
}

QSize CSkinButton::sizeHint() const
{
    const QPixmap pixmap = CSkin::Instance().Bitmap(m_name);
    if (pixmap.isNull()) return QSize(24, 24);
    return QSize(pixmap.width() / CSkin::Instance().BitmapInfo(m_name).frames, pixmap.height());
}

bool CSkinButton::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::HoverEnter: m_hover = true; update(); break;
    case QEvent::HoverLeave: m_hover = false; update(); break;
    default: break;
    }
    return QAbstractButton::event(e);
}

void CSkinButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const CSkin& skin = CSkin::Instance();
    DrawSkinBitmap(p, rect(), skin, m_name, CurrentFrame());
    if (text().isEmpty()) return;
    QColor color = skin.Color(isChecked() ? m_checkedTextColor : m_textColor);
    if (!isEnabled()) color.setAlpha(120);
    p.setPen(color);
    p.setFont(font());
    p.drawText(rect().adjusted(m_indent, 0, 0, 0), Qt::AlignCenter, text());
}

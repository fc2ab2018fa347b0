#include "ui/CSkinNumText.h"

#include "ui/CSkin.h"

#include <QPainter>

namespace {
const QString kCells = QStringLiteral("0123456789:-");
}

CSkinNumText::CSkinNumText(QWidget* parent) : QWidget(parent)
{
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, qOverload<>(&QWidget::update));
}

void CSkinNumText::SetSkinName(const QString& name)
{
    m_name = name;
    update();
}

void CSkinNumText::SetText(const QString& text)
{
    if (text == m_text) return;
    m_text = text;
    update();
}

void CSkinNumText::SetAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

void CSkinNumText::paintEvent(QPaintEvent*)
{
    const CSkin& skin = CSkin::Instance();
    const QPixmap digits = skin.Bitmap(m_name);
    if (digits.isNull() || m_text.isEmpty()) return;
    const int frames = std::max(1, skin.BitmapInfo(m_name).frames);
    const int cell = digits.width() / frames;
    const int total = cell * int(m_text.size());
    int x = 0;
    if (m_alignment & Qt::AlignRight) x = width() - total;
    else if (m_alignment & Qt::AlignHCenter) x = (width() - total) / 2;
    const int y = (height() - digits.height()) / 2;
    QPainter p(this);
    for (QChar c : m_text) {
        const int index = int(kCells.indexOf(c));
        if (index >= 0 && index < frames) p.drawPixmap(QPoint(x, y), digits, QRect(index * cell, 0, cell, digits.height()));
        x += cell;
    }
}

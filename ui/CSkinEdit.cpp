#include "ui/CSkinEdit.h"

#include "ui/CSkin.h"
#include "ui/SkinPaint.h"

#include <QPainter>

CSkinEdit::CSkinEdit(QWidget* parent) : QLineEdit(parent)
{
    setFrame(false);
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, &CSkinEdit::Restyle);
    Restyle();
}

void CSkinEdit::SetSkinName(const QString& name)
{
    m_name = name;
    update();
}

void CSkinEdit::SetTextColors(int text, int placeholder)
{
    m_textColor = text;
    m_placeholderColor = placeholder;
    Restyle();
}

void CSkinEdit::SetPadding(int left, int right)
{
    m_padLeft = left;
    m_padRight = right;
    Restyle();
}

void CSkinEdit::Restyle()
{
    // The widget's own style wins over the application's, so the field stays see-through on
    // its bitmap whatever the skin's style says about text fields.
    const CSkin& skin = CSkin::Instance();
    setStyleSheet(QStringLiteral("CSkinEdit { background: transparent; border: none; padding: 0 %1px 0 %2px; color: %3; }")
                      .arg(m_padRight).arg(m_padLeft).arg(skin.Color(m_textColor).name()));
    QPalette pal = palette();
    pal.setColor(QPalette::PlaceholderText, skin.Color(m_placeholderColor));
    setPalette(pal);
    update();
}

void CSkinEdit::paintEvent(QPaintEvent* e)
{
    {
        QPainter p(this);
        DrawSkinBitmap(p, rect(), CSkin::Instance(), m_name, hasFocus() ? std::min(1, CSkin::Instance().BitmapInfo(m_name).frames - 1) : 0);
    }
    QLineEdit::paintEvent(e);
}

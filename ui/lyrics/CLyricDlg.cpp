#include "ui/lyrics/CLyricDlg.h"

#include "ui/CSkin.h"
#include "ui/SkinPaint.h"
#include "ui/lyrics/CQvLyrics.h"
#include "ui/lyrics/LyricTexts.h"

#include <QKeyEvent>
#include <QPainter>

CLyricDlg::CLyricDlg(QWidget* parent) : QWidget(parent), m_panel(new CQvLyrics(this))
{
    QFont font(lrctxt::kDefaultFont);
    font.setPixelSize(kFontPixels);
    m_panel->SetLyricFont(font);
    TakeSkinColors();
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, [this] { TakeSkinColors(); });
}

void CLyricDlg::SetSkinName(const QString& name)
{
    m_skinName = name;
    update();
}

void CLyricDlg::TakeSkinColors()
{
    const CSkin& skin = CSkin::Instance();
    m_panel->SetColors(QColor(0xFF, 0xFF, 0xFF), skin.Color(17), skin.Color(16));
}

void CLyricDlg::paintEvent(QPaintEvent*)
{
    if (m_skinName.isEmpty()) return;
    const QPixmap bitmap = CSkin::Instance().Bitmap(m_skinName);
    if (bitmap.isNull()) return;
    QPainter p(this);
    DrawNinePart(p, rect(), bitmap, bitmap.rect(), QMargins(kBorder, kBorder, kBorder, kBorder));
}

void CLyricDlg::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    m_panel->setGeometry(rect().adjusted(kBorder, kBorder, -kBorder, -kBorder));
}

void CLyricDlg::keyPressEvent(QKeyEvent* e)
{
    // Enter and Escape would close a dialog; the panel is a pane and stays.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape) {
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

#include "ui/lyrics/CFloatLrcCtrlBar.h"

#include "ui/CSkin.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinLayout.h"
#include "ui/CSkinPosManage.h"
#include "ui/ControlIds.h"
#include "ui/SkinPaint.h"
#include "ui/lyrics/CKLrcChildDlg.h"
#include "ui/lyrics/LyricFonts.h"
#include "ui/lyrics/LyricTexts.h"

#include <QComboBox>
#include <QPainter>

CFloatLrcCtrlBar::CFloatLrcCtrlBar(CKLrcChildDlg& lyrics)
    : QWidget(&lyrics, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_lyrics(lyrics)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    QSize design = CSkinPosManage::Instance().DesignSize(ctl::kLyricBar);
    if (!design.isValid()) design = QSize(352, 40);
    resize(design);
    m_layout = new CSkinLayout(this, ctl::kLyricBar);
    // Without a layout the bar still has its controls, in the places the skin gives them.
    const auto make = [this](int id, const QRect& fallback) {
        auto* button = m_layout->Create<CSkinButton>(id);
        if (!button) {
            button = new CSkinButton(this);
            button->setGeometry(fallback);
        }
        return button;
    };
    for (int i = 0; i < 4; ++i) {
        m_schemes[i] = make(kScheme0 + i, QRect(10 + 30 * i, 8, 24, 24));
        m_schemes[i]->setCheckable(true);
        m_schemes[i]->setToolTip(lrctxt::kSchemeNames[i]);
        connect(m_schemes[i], &QAbstractButton::clicked, this, [this, i] { OnCommand(kScheme0 + i); });
    }
    auto* close = make(kClose, QRect(318, 8, 24, 24));
    if (close->text().isEmpty() && !CSkinPosManage::Instance().Find(kClose)) close->setText(QStringLiteral("×"));
    connect(close, &QAbstractButton::clicked, this, [this] { OnCommand(kClose); });
    m_fonts = new QComboBox(this);
    m_fonts->setObjectName(QString::number(kFontList));
    m_fonts->addItems(InstalledLyricFontFamilies());
    if (!m_layout->Attach(kFontList, m_fonts)) m_fonts->setGeometry(134, 8, 172, 24);
    connect(m_fonts, &QComboBox::activated, this, [this](int index) { m_lyrics.SetFontName(m_fonts->itemText(index)); });
}

CSkinButton* CFloatLrcCtrlBar::SchemeButton(int scheme) const
{
    return scheme >= 0 && scheme < 4 ? m_schemes[scheme] : nullptr;
}

void CFloatLrcCtrlBar::OnCommand(int id)
{
    if (id >= kScheme0 && id < kScheme0 + 4) {
        m_lyrics.SetScheme(id - kScheme0);
        return;
    }
    if (id == kClose) m_lyrics.ShowDesktopLyrics(false);
}

void CFloatLrcCtrlBar::ShowScheme(int scheme)
{
    for (int i = 0; i < 4; ++i)
        if (m_schemes[i]) m_schemes[i]->setChecked(i == scheme);
}

void CFloatLrcCtrlBar::SelectFont(const QString& name)
{
    const int at = m_fonts->findText(name);
    if (at >= 0) m_fonts->setCurrentIndex(at);
}

void CFloatLrcCtrlBar::paintEvent(QPaintEvent*)
{
    const SkinPosRecord* record = CSkinPosManage::Instance().Find(ctl::kLyricBar);
    QPainter p(this);
    if (!record || !DrawSkinBitmap(p, rect(), CSkin::Instance(), record->name)) p.fillRect(rect(), QColor(40, 40, 40));
}

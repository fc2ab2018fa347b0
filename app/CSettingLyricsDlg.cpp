#include "app/CSettingLyricsDlg.h"

#include "net/CQvLog.h"
#include "store/CQvConf.h"
#include "ui/lyrics/CKLrcChildDlg.h"
#include "ui/lyrics/CLyricPreviewEdit.h"
#include "ui/lyrics/LyricFonts.h"
#include "ui/lyrics/LyricTexts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kDefaultFont = QStringLiteral("宋体");
constexpr int kMiddle = 1; // "中"

} // namespace

CSettingLyricsDlg::CSettingLyricsDlg(const ConfigSettings& settings, CKLrcChildDlg* desktop, QWidget* parent)
    : CSettingPage(parent), m_desktop(desktop)
{
    auto* form = new QFormLayout(this);
    m_font = new QComboBox(this);
    QStringList fonts = InstalledLyricFontFamilies();
    if (!fonts.contains(kDefaultFont)) fonts.prepend(kDefaultFont);
    m_font->addItems(fonts);
    m_size = new QComboBox(this);
    m_size->addItems({QStringLiteral("大"), QStringLiteral("中"), QStringLiteral("小")});
    m_scheme = new QComboBox(this);
    for (const QString& name : lrctxt::kSchemeNames) m_scheme->addItem(name);
    m_preview = new CLyricPreviewEdit(this);
    auto* restore = new QPushButton(QStringLiteral("恢复默认"), this);
    form->addRow(QStringLiteral("歌词字体"), m_font);
    form->addRow(QStringLiteral("字体大小"), m_size);
    form->addRow(QStringLiteral("颜色方案"), m_scheme);
    form->addRow(QStringLiteral("预览"), m_preview);
    form->addRow(QString(), restore);

    ShowSettings(settings.fontname, settings.FontSize, settings.ColorScheme);
    const auto changed = [this](int code, int value) {
        if (m_bShowing) return;
        CQvLog::GetInstance().AddRecord(kWindow, code, 1, nullptr, value);
        UpdatePreview();
    };
    connect(m_scheme, &QComboBox::currentIndexChanged, this, [changed](int i) { changed(858, i); });
    connect(m_size, &QComboBox::currentIndexChanged, this, [changed](int i) { changed(859, i); });
    connect(m_font, &QComboBox::currentIndexChanged, this, [changed](int i) { changed(860, i); });
    connect(restore, &QPushButton::clicked, this, &CSettingLyricsDlg::RestoreDefaults);
    if (m_desktop)
        connect(m_desktop, &CKLrcChildDlg::LyricFontChanged, this, [this] {
            ShowSettings(m_desktop->FontName(), m_desktop->FontSize(), m_desktop->Scheme());
        });
}

QString CSettingLyricsDlg::PageTitle() const { return QStringLiteral("歌词"); }

void CSettingLyricsDlg::ShowSettings(const QString& font, int size, int scheme)
{
    m_bShowing = true;
    SelectFont(font);
    int sizeIndex = kMiddle;
    for (int i = 0; i < 3; ++i)
        if (kSizes[i] == size) sizeIndex = i;
    m_size->setCurrentIndex(sizeIndex);
    m_scheme->setCurrentIndex(ValidLyricScheme(scheme));
    m_bShowing = false;
    UpdatePreview();
}

void CSettingLyricsDlg::SelectFont(const QString& font)
{
    int at = m_font->findText(font);
    if (at < 0) at = m_font->findText(kDefaultFont);
    m_font->setCurrentIndex(std::max(0, at));
}

void CSettingLyricsDlg::RestoreDefaults()
{
    CQvLog::GetInstance().AddRecord(kWindow, 861, 1, nullptr, 0);
    m_bShowing = true;
    SelectFont(kDefaultFont);
    m_size->setCurrentIndex(kMiddle);
    m_scheme->setCurrentIndex(0);
    m_bShowing = false;
    UpdatePreview();
}

QString CSettingLyricsDlg::ChosenFont() const { return m_font->currentText(); }
int CSettingLyricsDlg::ChosenSize() const { return kSizes[std::clamp(m_size->currentIndex(), 0, 2)]; }
int CSettingLyricsDlg::ChosenScheme() const { return std::max(0, m_scheme->currentIndex()); }

void CSettingLyricsDlg::UpdatePreview() { m_preview->SetLyricFont(ChosenFont(), ChosenSize(), ChosenScheme()); }

bool CSettingLyricsDlg::Apply()
{
    if (m_desktop) m_desktop->ApplyLyricFont(ChosenFont(), ChosenSize(), ChosenScheme());
    return true;
}

#include "app/CFirstSearchDlg.h"
#include "app/ChooserFolder.h"

#include "app/UiTexts.h"
#include "app/WindowIds.h"

#include "net/CQvLog.h"
#include "store/CQvConf.h"
#include "ui/CSkin.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
constexpr int kEventOk = 841;
constexpr int kEventCancel = 842;
constexpr int kEventBrowse = 843;
constexpr int kEventFolder = 844;
constexpr int kEventAll = 845;
constexpr int kWelcomeHeight = 146; // "Welcome.bmp" (480 x 140) is drawn at 3,3 above the choices

void Record(int event) { CQvLog::GetInstance().AddRecord(wnd::kFirstSearch, event, 1, nullptr, event); }
} // namespace

CFirstSearchDlg::CFirstSearchDlg(ConfigSettings& settings, QWidget* parent)
    : CSkinDialog(txt::kFirstSearchTitle, parent), m_settings(settings)
{
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setMinimumWidth(486);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(20, kWelcomeHeight + 8, 20, 16);
    v->setSpacing(10);
    v->addWidget(new QLabel(txt::kFirstSearchText, Body()));

    m_all = new QRadioButton(txt::kFirstSearchAll, Body());
    m_folder = new QRadioButton(txt::kFirstSearchFolder, Body());
    auto* group = new QButtonGroup(this);
    group->addButton(m_all);
    group->addButton(m_folder);
    v->addWidget(m_all);
    v->addWidget(m_folder);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(22, 0, 0, 0);
    m_path = new QLineEdit(Body());
    m_path->setObjectName(QStringLiteral("folder"));
    m_browse = new QPushButton(txt::kBrowse, Body());
    row->addWidget(m_path, 1);
    row->addWidget(m_browse);
    v->addLayout(row);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_ok = new QPushButton(txt::kFirstSearchOk, Body());
    m_ok->setDefault(true);
    m_cancel = new QPushButton(txt::kCancel, Body());
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    v->addSpacing(6);
    v->addLayout(buttons);

    m_folder->setChecked(true);
    OnChoice();
    connect(m_all, &QRadioButton::clicked, this, [this] { Record(kEventAll); OnChoice(); });
    connect(m_folder, &QRadioButton::clicked, this, [this] { Record(kEventFolder); OnChoice(); });
    connect(m_path, &QLineEdit::textChanged, this, &CFirstSearchDlg::UpdateOk);
    connect(m_browse, &QPushButton::clicked, this, &CFirstSearchDlg::OnBrowse);
    connect(m_ok, &QPushButton::clicked, this, &CFirstSearchDlg::OnOk);
    connect(m_cancel, &QPushButton::clicked, this, &CFirstSearchDlg::OnCancel);
}

void CFirstSearchDlg::SetFolder(const QString& folder) { m_path->setText(QDir::toNativeSeparators(folder)); }

void CFirstSearchDlg::OnChoice()
{
    const bool folder = m_folder->isChecked();
    m_path->setEnabled(folder);
    m_browse->setEnabled(folder);
    UpdateOk();
}

void CFirstSearchDlg::UpdateOk() { m_ok->setEnabled(m_all->isChecked() || !m_path->text().trimmed().isEmpty()); }

void CFirstSearchDlg::OnBrowse()
{
    Record(kEventBrowse);
    const QString start = m_path->text().isEmpty() ? ChooserStartFolder() : m_path->text();
    const QString folder = QFileDialog::getExistingDirectory(this, txt::kChooseSearchFolder, start);
    RememberChooserFolder(folder);
    if (!folder.isEmpty()) SetFolder(folder);
}

void CFirstSearchDlg::OnOk()
{
    Record(kEventOk);
    if (m_folder->isChecked()) {
        // The warning guards a folder that is not there; a scan of it would find nothing.
        const QString folder = m_path->text().trimmed();
        if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
            ShowNotice(this, txt::kChooseFolderWarning, txt::kNotice);
            return;
        }
        const QString clean = QDir::cleanPath(folder);
        m_settings.autoScanPaths.removeAll(clean);
        m_settings.autoScanPaths.prepend(clean);
    } else {
        m_settings.autoScanPaths.clear();
    }
    m_settings.showsearch = 1;
    m_settings.autoaddmusic = 1;
    accept();
}

void CFirstSearchDlg::OnCancel()
{
    Record(kEventCancel);
    m_settings.showsearch = 0;
    m_settings.autoaddmusic = 0;
    reject();
}

void CFirstSearchDlg::OnCloseButton() { OnCancel(); }

void CFirstSearchDlg::paintEvent(QPaintEvent* e)
{
    CSkinDialog::paintEvent(e);
    const QPixmap welcome = CSkin::Instance().Bitmap(QStringLiteral("Welcome.bmp"));
    if (welcome.isNull()) return;
    QPainter p(this);
    p.drawPixmap(Body()->geometry().topLeft() + QPoint(3, 3), welcome);
}

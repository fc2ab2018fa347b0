#include "app/CSettingDlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

CSettingDlg::CSettingDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("设置"));
    auto* column = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_list = new QListWidget(this);
    m_list->setFixedWidth(120);
    m_pages = new QStackedWidget(this);
    row->addWidget(m_list);
    row->addWidget(m_pages, 1);
    column->addLayout(row, 1);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    QPushButton* apply = buttons->addButton(QStringLiteral("应用"), QDialogButtonBox::ApplyRole);
    ok->setDefault(true);
    column->addWidget(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (ApplyAll()) accept();
    });
    connect(apply, &QPushButton::clicked, this, &CSettingDlg::ApplyAll);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::currentRowChanged, m_pages, &QStackedWidget::setCurrentIndex);
}

void CSettingDlg::AddPage(CSettingPage* page)
{
    m_pages->addWidget(page);
    m_list->addItem(page->PageTitle());
    if (m_list->count() == 1) m_list->setCurrentRow(0);
}

int CSettingDlg::PageCount() const { return m_pages->count(); }
CSettingPage* CSettingDlg::Page(int index) const { return qobject_cast<CSettingPage*>(m_pages->widget(index)); }
void CSettingDlg::ShowPage(int index) { m_list->setCurrentRow(index); }
void CSettingDlg::ShowPage(CSettingPage* page) { ShowPage(m_pages->indexOf(page)); }

bool CSettingDlg::ApplyAll()
{
    CSettingPage* refused = nullptr;
    for (int i = 0; i < m_pages->count(); ++i) {
        CSettingPage* page = Page(i);
        if (page && !page->Apply() && !refused) refused = page;
    }
    if (refused) ShowPage(refused);
    return !refused;
}

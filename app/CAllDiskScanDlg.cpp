#include "app/CAllDiskScanDlg.h"

#include "app/UiTexts.h"
#include "app/WindowIds.h"

#include "net/CQvLog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kEventClose = 847;
constexpr int kEventCancel = 918;
constexpr int kEventOk = 919;
void Record(int event) { CQvLog::GetInstance().AddRecord(wnd::kAllDiskScan, event, 1, nullptr, event); }
} // namespace

CAllDiskScanDlg::CAllDiskScanDlg(QWidget* parent) : CSkinDialog(txt::kAllDiskTitle, parent)
{
    setMinimumWidth(380);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 20, 24, 16);
    v->setSpacing(14);
    v->addWidget(new QLabel(txt::kAllDiskText, Body()));
    m_ignore = new QCheckBox(txt::kIgnoreDeleted, Body());
    m_ignore->setChecked(true);
    v->addWidget(m_ignore);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_ok = new QPushButton(txt::kOk, Body());
    m_ok->setDefault(true);
    m_cancel = new QPushButton(txt::kCancel, Body());
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    v->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, [this] { Record(kEventOk); accept(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { Record(kEventCancel); reject(); });
}

bool CAllDiskScanDlg::IgnoreDeleted() const { return m_ignore->isChecked(); }

void CAllDiskScanDlg::OnCloseButton()
{
    Record(kEventClose);
    reject();
}

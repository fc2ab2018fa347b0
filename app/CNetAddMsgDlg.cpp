#include "app/CNetAddMsgDlg.h"

#include "app/UiTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CNetAddMsgDlg::CNetAddMsgDlg(QWidget* parent) : CSkinDialog(QStringLiteral("添加成功"), parent)
{
    setMinimumWidth(380);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 20, 24, 16);
    v->setSpacing(10);
    v->addWidget(new QLabel(QStringLiteral("所选音乐已经被成功的添加到音乐库中，"), Body()));
    v->addWidget(new QLabel(QStringLiteral("您可以在“试听列表”或“最新加入”列表中找到。"), Body()));
    auto* row = new QHBoxLayout;
    m_dontShow = new QCheckBox(QStringLiteral("下次不再提示"), Body());
    auto* ok = new QPushButton(txt::kOk, Body());
    ok->setDefault(true);
    row->addWidget(m_dontShow);
    row->addStretch(1);
    row->addWidget(ok);
    v->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

int CNetAddMsgDlg::ShowAgainSetting() const { return m_dontShow->isChecked() ? 0 : 1; }

#include "app/CAddMusicDoneDlg.h"

#include "app/UiTexts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CAddMusicDoneDlg::CAddMusicDoneDlg(int count, QWidget* parent)
    : CSkinDialog(txt::kAddDoneTitle, parent),
      m_text(txt::kAddDoneBefore + QString::number(count) + txt::kAddDoneAfter)
{
    setMinimumWidth(340);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 20, 24, 16);
    v->setSpacing(14);
    auto* label = new QLabel(Body());
    label->setText(QStringLiteral("%1<b style='font-size:16px'> %2 </b>%3")
                       .arg(txt::kAddDoneBefore.toHtmlEscaped(), QString::number(count), txt::kAddDoneAfter.toHtmlEscaped()));
    v->addWidget(label);
    auto* row = new QHBoxLayout;
    m_dontShow = new QCheckBox(txt::kDontShowAgain, Body());
    m_ok = new QPushButton(txt::kOk, Body());
    m_ok->setDefault(true);
    row->addWidget(m_dontShow);
    row->addStretch(1);
    row->addWidget(m_ok);
    v->addLayout(row);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool CAddMusicDoneDlg::DontShowAgain() const { return m_dontShow->isChecked(); }
QString CAddMusicDoneDlg::Text() const { return m_text; }

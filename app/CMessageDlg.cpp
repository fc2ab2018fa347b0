#include "app/CMessageDlg.h"

#include "app/UiTexts.h"
#include "app/WindowIds.h"

#include "net/CMessageStore.h"
#include "net/CQvLog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kEventSubmit = 943;
}

CMessageDlg::CMessageDlg(Send send, QWidget* parent) : CSkinDialog(txt::kFeedbackTitle, parent), m_send(std::move(send))
{
    setMinimumSize(440, 360);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 16, 24, 16);
    v->setSpacing(6);
    v->addWidget(new QLabel(txt::kFeedbackSubject, Body()));
    m_title = new QLineEdit(Body());
    m_title->setMaxLength(structMESSAGE::kTitleLength);
    v->addWidget(m_title);
    v->addSpacing(6);
    v->addWidget(new QLabel(txt::kFeedbackContent, Body()));
    m_body = new QPlainTextEdit(Body());
    m_body->setTabChangesFocus(true);
    v->addWidget(m_body, 1);
    v->addSpacing(6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_submit = new QPushButton(txt::kFeedbackSubmit, Body());
    m_submit->setDefault(true);
    m_cancel = new QPushButton(txt::kCancel, Body());
    buttons->addWidget(m_submit);
    buttons->addWidget(m_cancel);
    v->addLayout(buttons);
    connect(m_submit, &QPushButton::clicked, this, &CMessageDlg::Confirm);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CMessageDlg::SetTitle(const QString& title) { m_title->setText(title); }

void CMessageDlg::SetBody(const QString& body)
{
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_body->setPlainText(text);
    // The user writes above the quoted text.
    QTextCursor start = m_body->textCursor();
    start.movePosition(QTextCursor::Start);
    m_body->setTextCursor(start);
}

QString CMessageDlg::Subject() const { return m_title->text(); }
QString CMessageDlg::Content() const { return m_body->toPlainText(); }

bool CMessageDlg::Confirm()
{
    CQvLog::GetInstance().AddRecord(wnd::kFeedback, kEventSubmit, 1, nullptr, 1);
    const QString body = Content();
    const QString title = Subject();
    if (title.trimmed().isEmpty()) {
        ShowNotice(this, txt::kFeedbackNoSubject, txt::kNotice);
        m_title->setFocus();
        return false;
    }
    if (body.size() > kMaxBodyLength) {
        ShowNotice(this, txt::kFeedbackTooLong, txt::kNotice);
        m_body->setFocus();
        return false;
    }
    if (m_send) m_send(title, body);
    // The notice outlives the dialog, so it hangs on the dialog's parent.
    ShowNotice(parentWidget(), txt::kFeedbackThanks, txt::kNotice);
    accept();
    return true;
}

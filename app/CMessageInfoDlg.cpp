#include "app/CMessageInfoDlg.h"

#include "app/UiTexts.h"

#include "net/CMessageStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

QString ReplyTitle(const QString& title) { return QStringLiteral("Re:%1").arg(title); }

QString ReplyBody(const QString& body)
{
    return QStringLiteral("\r\n\r\n------------------------------\r\n%1").arg(body);
}

CMessageInfoDlg::CMessageInfoDlg(const structMESSAGE& message, QWidget* parent)
    : CSkinDialog(txt::kMessageInfoTitle, parent)
{
    setMinimumSize(440, 340);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 16, 24, 16);
    v->setSpacing(6);
    v->addWidget(new QLabel(txt::kMessageInfoSubject, Body()));
    m_title = new QLineEdit(message.title, Body());
    m_title->setReadOnly(true);
    m_title->setCursorPosition(0);
    v->addWidget(m_title);
    v->addSpacing(6);
    v->addWidget(new QLabel(txt::kMessageInfoContent, Body()));
    m_body = new QPlainTextEdit(Body());
    m_body->setPlainText(message.body);
    m_body->setReadOnly(true);
    v->addWidget(m_body, 1);
    v->addSpacing(6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_reply = new QPushButton(txt::kMessageReply, Body());
    m_reply->setEnabled(message.Source() != kNoticeSource);
    m_cancel = new QPushButton(txt::kCancel, Body());
    m_cancel->setDefault(true);
    buttons->addWidget(m_reply);
    buttons->addWidget(m_cancel);
    v->addLayout(buttons);
    const QString title = message.title;
    const QString body = message.body;
    connect(m_reply, &QPushButton::clicked, this, [this, title, body] {
        accept();
        emit Reply(ReplyTitle(title), ReplyBody(body));
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

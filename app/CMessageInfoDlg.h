#pragma once
#include "app/CSkinDialog.h"

struct structMESSAGE;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// One message in full ("详细信息"), with "回复" for what the user may answer: the player's own
// notices cannot be replied to.
class CMessageInfoDlg : public CSkinDialog {
    Q_OBJECT
public:
    CMessageInfoDlg(const structMESSAGE& message, QWidget* parent = nullptr);

    QLineEdit* TitleView() const { return m_title; }
    QPlainTextEdit* BodyView() const { return m_body; }
    QPushButton* ReplyButton() const { return m_reply; }
    QPushButton* CancelButton() const { return m_cancel; }

signals:
    // "回复": the dialog has closed; the feedback dialog is to open with these texts.
    void Reply(const QString& title, const QString& body);

private:
    QLineEdit* m_title;
    QPlainTextEdit* m_body;
    QPushButton* m_reply;
    QPushButton* m_cancel;
};

// The reply's subject "Re:<title>" and its body, the quoted message below an empty space for
// the answer.
QString ReplyTitle(const QString& title);
QString ReplyBody(const QString& body);

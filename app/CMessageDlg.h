#pragma once
#include "app/CSkinDialog.h"

#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The feedback dialog ("意见反馈"): a subject and a content of at most 300 characters. A
// confirmed message goes to `send`, which hands it to the sending worker; the dialog thanks
// the user and closes.
class CMessageDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr int kMaxBodyLength = 300;
    using Send = std::function<void(const QString& title, const QString& body)>;
    explicit CMessageDlg(Send send, QWidget* parent = nullptr);

    void SetTitle(const QString& title);
    void SetBody(const QString& body);
    // The texts as the user left them.
    QString Subject() const;
    QString Content() const;

    QLineEdit* TitleEdit() const { return m_title; }
    QPlainTextEdit* BodyEdit() const { return m_body; }
    QPushButton* SubmitButton() const { return m_submit; }
    QPushButton* CancelButton() const { return m_cancel; }
    // The submit button's work: false while the dialog stays open.
    bool Confirm();

private:
    Send m_send;
    QLineEdit* m_title;
    QPlainTextEdit* m_body;
    QPushButton* m_submit;
    QPushButton* m_cancel;
};

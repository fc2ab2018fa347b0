#pragma once
#include "app/CSkinDialog.h"

class QLineEdit;

// "找回密码": the user name whose password is to be found again. Nothing is sent.
class CFindPwdDlg : public CSkinDialog {
    Q_OBJECT
public:
    explicit CFindPwdDlg(QWidget* parent = nullptr);
    QString UserName() const;
    QLineEdit* NameEdit() const { return m_name; }
    void OnCloseButton() override;
    // A cancel, however it comes, writes its record (873).
    void reject() override;

private:
    void Confirm();
    QLineEdit* m_name;
};

// "修改密码": old, new and repeated new password; it only closes.
class CModifyPwdDlg : public CSkinDialog {
    Q_OBJECT
public:
    explicit CModifyPwdDlg(QWidget* parent = nullptr);
    void OnCloseButton() override;
    void reject() override;
};

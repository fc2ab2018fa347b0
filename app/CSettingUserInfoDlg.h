#pragma once
#include "app/CSettingDlg.h"

class QLabel;
class QLineEdit;

// The user-information page of the settings ("个人信息"): the signed-in user's account and
// nickname. A changed nickname is checked as the service allows it when the settings are
// applied; nothing is sent.
class CSettingUserInfoDlg : public CSettingPage {
    Q_OBJECT
public:
    CSettingUserInfoDlg(const QString& account, const QString& nickname, QWidget* parent = nullptr);

    QString PageTitle() const override;
    // A nickname that fails the check keeps the dialog open with the field focused.
    bool Apply() override;

    QLineEdit* NicknameEdit() const { return m_nickname; }
    // The check of the typed nickname (recorded with code 856): true when it may be kept; an
    // empty text is ignored and passes.
    bool CheckNicknameField();

private:
    QLineEdit* m_nickname;
    QString m_shown;
};

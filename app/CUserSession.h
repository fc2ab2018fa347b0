#pragma once
#include "base/MsgWindow.h"

#include <QObject>
#include <QPointer>

class CLoginDlg;
class CMainDlg;
class QMenu;

// The signed-in user as the windows see it: the sign-in dialog, the session id it yields
// (1608), the user's details on a worker and their arrival (1609), the nickname in place of
// "未登录", the user menu with its dialogs, and signing out.
class CUserSession : public QObject {
    Q_OBJECT
public:
    explicit CUserSession(CMainDlg& controller);
    ~CUserSession() override;

    // The sign-in dialog (one at a time).
    void ShowLogin();
    CLoginDlg* LoginDialog() const;
    // 1608: the session id of the sign-in page; the user's details are asked for on a worker.
    void OnSessionId(const QString& sessionId);
    // 1609: the details have come.
    void OnUserInfoReady();
    // "退出登录": the session and the user's details are forgotten.
    void SignOut();
    bool SignedIn() const;

    // A click on the user area: the sign-in dialog, or the user menu when signed in.
    void OnUserArea(const QPoint& globalPos);
    QMenu* UserMenu() const { return m_menu; }

private:
    void BuildMenu();
    void ShowUserName();

    CMainDlg& m_ctl;
    QPointer<CLoginDlg> m_login;
    QMenu* m_menu = nullptr;
};

#pragma once
#include "app/CSkinDialog.h"
#include "base/MsgWindow.h"

#include <memory>

class CPagePane;
class IPageHost;

// The sign-in dialog: the service's sign-in page in a page view, and the close button. The page
// does the signing in; its result (1607) gives the session id, which goes to the controller
// (1608), and the dialog closes.
class CLoginDlg : public CSkinDialog {
    Q_OBJECT
public:
    CLoginDlg(IPageHost* host, const CMsgTarget& controller, QWidget* parent = nullptr);
    ~CLoginDlg() override;

    // Opens the sign-in page ("/pcc/user/login.do" of the passport host).
    void OpenLoginPage();
    CPagePane* Page() const { return m_page; }
    void OnCloseButton() override;

private:
    class Port;
    void OnLoginResult(const QString& text);

    std::unique_ptr<Port> m_port;
    CMsgTarget m_controller;
    CPagePane* m_page;
    bool m_bDone = false;
};

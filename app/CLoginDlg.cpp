#include "app/CLoginDlg.h"

#include "app/WindowIds.h"
#include "base/MessageIds.h"
#include "net/CQvClientIdentity.h"
#include "net/CQvLog.h"
#include "net/ServiceAddress.h"
#include "ui/page/CFixedHtmlView.h"
#include "ui/page/CPagePane.h"

#include <QVBoxLayout>

// Receives the page's sign-in result.
class CLoginDlg::Port : public CMsgWindow {
public:
    explicit Port(CLoginDlg& dlg) : m_dlg(dlg) {}
    qintptr OnMessage(unsigned msg, quintptr w, qintptr l) override
    {
        if (msg != WM_LOGIN_RESULT) return CMsgWindow::OnMessage(msg, w, l);
        if (w) m_dlg.OnLoginResult(*reinterpret_cast<const QString*>(w));
        return 0;
    }

private:
    CLoginDlg& m_dlg;
};

CLoginDlg::CLoginDlg(IPageHost* host, const CMsgTarget& controller, QWidget* parent)
    : CSkinDialog(QStringLiteral("用户登录"), parent), m_port(std::make_unique<Port>(*this)), m_controller(controller)
{
    resize(420, 400);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(0, 0, 0, 0);
    m_page = new CPagePane(host, false, Body());
    m_page->SetContextMenuMode(CFixedHtmlView::kMenuControlsAndText);
    v->addWidget(m_page);
    connect(m_page, &CPagePane::ViewCreated, this, [this](CFixedHtmlView* view) { view->SetLoginTarget(m_port->Target()); });
}

CLoginDlg::~CLoginDlg() = default;

void CLoginDlg::OpenLoginPage() { m_page->Open(PassportUrl(QStringLiteral("/pcc/user/login.do"))); }

void CLoginDlg::OnLoginResult(const QString& text)
{
    if (m_bDone) return;
    m_bDone = true;
    CQvLog::GetInstance().AddRecord(wnd::kLogin, 880, 1, nullptr, 1);
    QString session = SessionIdFromLoginResult(text);
    m_controller.SendMessage(WM_LOGIN_SESSION, reinterpret_cast<quintptr>(&session));
    accept();
}

void CLoginDlg::OnCloseButton()
{
    CQvLog::GetInstance().AddRecord(wnd::kLogin, 879, 1, nullptr, 2);
    reject();
}

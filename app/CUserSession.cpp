#include "app/CUserSession.h"

#include "app/CCloudGroups.h"
#include "app/CLoginDlg.h"
#include "app/CMainDlg.h"
#include "app/CPageUploads.h"
#include "app/CQuarvelDlg.h"
#include "app/CSkinDialog.h"
#include "app/CUserDialogs.h"
#include "app/UiTexts.h"

#include "base/Worker.h"
#include "net/CQvClientIdentity.h"

#include <QMenu>

namespace {
const QString kSignedOut = QStringLiteral("未登录");
}

CUserSession::CUserSession(CMainDlg& controller) : m_ctl(controller) {}

CUserSession::~CUserSession()
{
    delete m_login;
    delete m_menu;
}

CLoginDlg* CUserSession::LoginDialog() const { return m_login; }

bool CUserSession::SignedIn() const { return !CQvClientIdentity::Instance().Get().vuid.isEmpty(); }

void CUserSession::ShowLogin()
{
    if (m_login) {
        m_login->raise();
        m_login->activateWindow();
        return;
    }
    m_login = new CLoginDlg(&m_ctl, m_ctl.Target(), m_ctl.MainWindow());
    m_login->setAttribute(Qt::WA_DeleteOnClose);
    m_login->OpenLoginPage();
    m_login->open();
}

void CUserSession::OnSessionId(const QString& sessionId)
{
    if (sessionId.isEmpty()) return;
    if (CQuarvelDlg* wnd = m_ctl.MainWindow()) wnd->SetUserName(QStringLiteral("登录中…"));
    StartWorker([sessionId] { RequestUserInfo(sessionId); });
}

void CUserSession::OnUserInfoReady()
{
    const CQvClientIdentity::Values who = CQvClientIdentity::Instance().Get();
    if (!who.signedIn) {
        // The service did not know the session: still signed out.
        SignOut();
        ShowNotice(m_ctl.MainWindow(), QStringLiteral("登录失败，请重新登录。"), txt::kNotice);
        return;
    }
    ShowUserName();
}

void CUserSession::ShowUserName()
{
    const CQvClientIdentity::Values who = CQvClientIdentity::Instance().Get();
    QString name = who.nickname.isEmpty() ? who.phone : who.nickname;
    if (name.isEmpty()) name = who.userId;
    if (CQuarvelDlg* wnd = m_ctl.MainWindow()) wnd->SetUserName(who.vuid.isEmpty() ? kSignedOut : name);
}

void CUserSession::SignOut()
{
    CQvClientIdentity::Instance().SignOut();
    m_ctl.CloudGroups().SignedOut();
    if (CPageUploads* uploads = m_ctl.Uploads()) uploads->SignOut();
    ShowUserName();
}

void CUserSession::BuildMenu()
{
    m_menu = new QMenu;
    // The drive's page uploads the songs of the list the user looked at last.
    m_menu->addAction(QStringLiteral("我的网盘"), this, [this] { m_ctl.OnCommand(CMainDlg::kCloudDiskCommand); });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("个人信息"), this, [this] { m_ctl.OpenSettings(CMainDlg::SettingsPage::UserInfo); });
    m_menu->addAction(QStringLiteral("修改密码"), this, [this] {
        auto* dlg = new CModifyPwdDlg(m_ctl.MainWindow());
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
    });
    m_menu->addAction(QStringLiteral("找回密码"), this, [this] {
        auto* dlg = new CFindPwdDlg(m_ctl.MainWindow());
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        connect(dlg, &QDialog::accepted, this, [this, dlg] { m_ctl.SetFindPasswordUser(dlg->UserName()); });
        dlg->open();
    });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("退出登录"), this, [this] { SignOut(); });
}

void CUserSession::OnUserArea(const QPoint& globalPos)
{
    if (!SignedIn()) {
        ShowLogin();
        return;
    }
    if (!m_menu) BuildMenu();
    m_menu->popup(globalPos);
}

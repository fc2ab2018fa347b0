#include "app/CSettingUserInfoDlg.h"

#include "app/CSkinDialog.h"
#include "app/UiTexts.h"
#include "app/WindowIds.h"
#include "net/CQvClientIdentity.h"
#include "net/CQvLog.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

CSettingUserInfoDlg::CSettingUserInfoDlg(const QString& account, const QString& nickname, QWidget* parent)
    : CSettingPage(parent), m_shown(nickname)
{
    auto* form = new QFormLayout(this);
    const bool signedIn = !account.isEmpty();
    form->addRow(QStringLiteral("账号："), new QLabel(signedIn ? account : QStringLiteral("未登录"), this));
    m_nickname = new QLineEdit(nickname, this);
    m_nickname->setEnabled(signedIn);
    form->addRow(QStringLiteral("昵称："), m_nickname);
    auto* hint = new QLabel(QStringLiteral("昵称由汉字、字母、数字和下划线组成，不超过32个字符"), this);
    hint->setWordWrap(true);
    form->addRow(QString(), hint);
}

QString CSettingUserInfoDlg::PageTitle() const { return QStringLiteral("个人信息"); }

bool CSettingUserInfoDlg::Apply()
{
    // Applying another page must not check (and record) a nickname nobody touched.
    if (m_nickname->text() == m_shown) return true;
    if (!CheckNicknameField()) return false;
    m_shown = m_nickname->text();
    return true;
}

bool CSettingUserInfoDlg::CheckNicknameField()
{
    CQvLog::GetInstance().AddRecord(wnd::kUserInfo, 856, 1, nullptr, 1094);
    const int result = CheckNickname(m_nickname->text());
    if (result >= 0) return true;
    ShowNotice(this,
               result == -1 ? QStringLiteral("昵称不能超过32个字符")
                            : QStringLiteral("昵称只能由汉字、字母、数字和下划线组成，且不能以下划线开头"),
               txt::kNotice);
    m_nickname->setFocus();
    return false;
}

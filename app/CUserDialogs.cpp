#include "app/CUserDialogs.h"

#include "app/UiTexts.h"
#include "app/WindowIds.h"
#include "net/CQvLog.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QHBoxLayout* Buttons(QDialog* dlg, QWidget* body, const std::function<void()>& ok, const std::function<void()>& cancel)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* okButton = new QPushButton(txt::kOk, body);
    okButton->setDefault(true);
    auto* cancelButton = new QPushButton(txt::kCancel, body);
    row->addWidget(okButton);
    row->addWidget(cancelButton);
    QObject::connect(okButton, &QPushButton::clicked, dlg, ok);
    QObject::connect(cancelButton, &QPushButton::clicked, dlg, cancel);
    return row;
}

} // namespace

// ---- find password ------------------------------------------------------------------------

CFindPwdDlg::CFindPwdDlg(QWidget* parent) : CSkinDialog(QStringLiteral("找回密码"), parent)
{
    setMinimumWidth(360);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 18, 24, 16);
    v->addWidget(new QLabel(QStringLiteral("请输入要找回密码的用户名"), Body()));
    m_name = new QLineEdit(Body());
    v->addWidget(m_name);
    v->addLayout(Buttons(this, Body(), [this] { Confirm(); }, [this] { OnCloseButton(); }));
}

QString CFindPwdDlg::UserName() const { return m_name->text().trimmed(); }

void CFindPwdDlg::Confirm()
{
    CQvLog::GetInstance().AddRecord(wnd::kFindPwd, 848, 1, nullptr, 1);
    ShowNotice(parentWidget(), QStringLiteral("密码找回的方法已发送到“%1”绑定的手机和邮箱，请注意查收。").arg(UserName()),
               txt::kNotice);
    accept();
}

void CFindPwdDlg::OnCloseButton() { reject(); }

void CFindPwdDlg::reject()
{
    // Every way out but the confirmation is a cancel: the close button, "取消" and Escape.
    CQvLog::GetInstance().AddRecord(wnd::kFindPwd, 873, 1, nullptr, 2);
    CSkinDialog::reject();
}

// ---- modify password ----------------------------------------------------------------------

CModifyPwdDlg::CModifyPwdDlg(QWidget* parent) : CSkinDialog(QStringLiteral("修改密码"), parent)
{
    setMinimumWidth(360);
    auto* v = new QVBoxLayout(Body());
    v->setContentsMargins(24, 18, 24, 16);
    auto* form = new QFormLayout;
    for (const QString& label : {QStringLiteral("原密码："), QStringLiteral("新密码："), QStringLiteral("确认新密码：")}) {
        auto* edit = new QLineEdit(Body());
        edit->setEchoMode(QLineEdit::Password);
        form->addRow(label, edit);
    }
    v->addLayout(form);
    v->addLayout(Buttons(this, Body(), [this] { accept(); }, [this] { OnCloseButton(); }));
}

void CModifyPwdDlg::OnCloseButton() { reject(); }

void CModifyPwdDlg::reject()
{
    CQvLog::GetInstance().AddRecord(wnd::kModifyPwd, 873, 1, nullptr, 2);
    CSkinDialog::reject();
}

#include "app/CMessageCenter.h"

#include "app/CMessageDlg.h"
#include "app/CMessageInfoDlg.h"
#include "app/CMessageListDlg.h"

#include "base/MessageIds.h"
#include "net/CMessageStore.h"
#include "net/SendFeedback.h"
#include "net/ServiceRequest.h"

#include <QWidget>

namespace {
// Sending worker -> centre: wParam the message, lParam the request status.
constexpr unsigned WM_FEEDBACK_SENT = WM_USER_BASE + 1300;
} // namespace

CMessageCenter::CMessageCenter(const QString& storePath, QWidget* window)
    : m_store(std::make_unique<CMessageStore>(storePath)), m_window(window)
{
    m_store->Load();
}

CMessageCenter::~CMessageCenter()
{
    for (const QPointer<QWidget>& dlg : m_dialogs) delete dlg.data();
}

CMessageDlg* CMessageCenter::OpenFeedback(const QString& title, const QString& body, QWidget* over)
{
    auto* dlg = new CMessageDlg([this](const QString& t, const QString& b) { Send(t, b); }, over ? over : m_window.data());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    if (!title.isEmpty()) dlg->SetTitle(title);
    if (!body.isEmpty()) dlg->SetBody(body);
    Keep(dlg);
    dlg->open();
    return dlg;
}

CMessageListDlg* CMessageCenter::OpenList()
{
    if (!m_list) {
        m_list = new CMessageListDlg(*m_store, m_window);
        m_list->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_list, &CMessageListDlg::NewMessage, this, [this] { OpenFeedback(QString(), QString(), m_list); });
        connect(m_list, &CMessageListDlg::OpenMessage, this, [this](int id) { OpenInfo(id, m_list); });
        Keep(m_list);
    }
    m_list->show();
    m_list->raise();
    m_list->activateWindow();
    return m_list;
}

CMessageListDlg* CMessageCenter::ListDialog() const { return m_list; }

CMessageInfoDlg* CMessageCenter::OpenInfo(int messageId, QWidget* over)
{
    const structMESSAGE* m = m_store->Find(messageId);
    if (!m) return nullptr;
    auto* dlg = new CMessageInfoDlg(*m, over ? over : m_window.data());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QWidget> parent = over ? over : m_window.data();
    connect(dlg, &CMessageInfoDlg::Reply, this,
            [this, parent](const QString& title, const QString& body) { OpenFeedback(title, body, parent); });
    m_store->MarkRead(messageId);
    Keep(dlg);
    dlg->open();
    return dlg;
}

void CMessageCenter::Send(const QString& title, const QString& body)
{
    FeedbackJob job;
    job.title = title;
    job.body = body;
    job.notify = Target();
    job.doneMessage = WM_FEEDBACK_SENT;
    job.messageId = m_store->AddFeedback(title, body);
    const int id = job.messageId;
    if (!StartSendFeedback(std::move(job))) m_store->SetSent(id, false);
}

void CMessageCenter::Keep(QWidget* dlg)
{
    m_dialogs.removeIf([](const QPointer<QWidget>& p) { return p.isNull(); });
    m_dialogs.append(dlg);
}

int CMessageCenter::PostNotice(const QString& title, const QString& body)
{
    // The same news once: a check at every start finds the same version again.
    for (const structMESSAGE& m : m_store->Messages())
        if (m.status == structMESSAGE::Notice && m.title == title && m.body == body) return m.id;
    return m_store->AddNotice(title, body);
}

qintptr CMessageCenter::OnMessage(unsigned msg, quintptr wParam, qintptr lParam)
{
    if (msg == WM_FEEDBACK_SENT) {
        m_store->SetSent(int(wParam), lParam == REQUEST_OK);
        return 0;
    }
    return CMsgWindow::OnMessage(msg, wParam, lParam);
}

#pragma once
#include "base/MsgWindow.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

class CMessageDlg;
class CMessageInfoDlg;
class CMessageListDlg;
class CMessageStore;
class QWidget;

// The messages of the player: the store of what the user sent and what the player posted
// itself, and the dialogs over it (feedback, the list, a message's details). Feedback goes to
// the service on a worker; its status in the list follows the reply.
class CMessageCenter : public CMsgWindow {
    Q_OBJECT
public:
    // `storePath` is the store's file; the dialogs open over `window`.
    CMessageCenter(const QString& storePath, QWidget* window);
    ~CMessageCenter() override;

    CMessageStore& Store() const { return *m_store; }

    // The feedback dialog, optionally filled; over `over` or the window.
    CMessageDlg* OpenFeedback(const QString& title = QString(), const QString& body = QString(),
                              QWidget* over = nullptr);
    // The list, or the open one brought to the front.
    CMessageListDlg* OpenList();
    CMessageListDlg* ListDialog() const;
    // A message's details; opening a notice marks it read.
    CMessageInfoDlg* OpenInfo(int messageId, QWidget* over = nullptr);

    // Stores the feedback and starts sending it.
    void Send(const QString& title, const QString& body);
    // A notice of the player's own (an update, an upload's end); returns its id. The same
    // title and text already kept are not posted again.
    int PostNotice(const QString& title, const QString& body);

    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam) override;

private:
    void Keep(QWidget* dlg);

    std::unique_ptr<CMessageStore> m_store;
    QPointer<QWidget> m_window;
    QPointer<CMessageListDlg> m_list;
    // Every dialog it opened: they call back into the centre, so they go with it.
    QList<QPointer<QWidget>> m_dialogs;
};

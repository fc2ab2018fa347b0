#pragma once
#include "base/MsgWindow.h"

#include <QString>

// The user's feedback on its way to the service: the message block the feedback dialog hands
// to the sending worker, which owns it from then on.
struct FeedbackJob {
    QString title;
    QString body;
    // Told when the request has ended: `doneMessage` with wParam `messageId` and lParam the
    // request status (1 when the service took it). Nothing is told when no target is given.
    CMsgTarget notify;
    unsigned doneMessage = 0;
    int messageId = 0;
};

// Sends `job` with "addmessage" to the metadata entry point on the calling thread and returns
// the request status; failures reach the main window only as status notifications.
int SendFeedback(const FeedbackJob& job);
// Runs SendFeedback on a worker of its own; false when no worker can start (the process is
// exiting): then nothing is sent and nothing is told.
bool StartSendFeedback(FeedbackJob job);

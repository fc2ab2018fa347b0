#pragma once
#include "base/MessageIds.h"
#include "base/MsgWindow.h"

#include <QList>
#include <QPair>

// A stand-in main window that keeps every message it receives.
class MessageRecorder : public CMsgWindow {
public:
    struct Message {
        unsigned msg;
        quintptr wParam;
        qintptr lParam;
    };
    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam) override
    {
        messages.append({msg, wParam, lParam});
        return 0;
    }
    // The status notifications (3024) as (status, source) pairs.
    QList<QPair<int, int>> Statuses() const
    {
        QList<QPair<int, int>> out;
        for (const Message& m : messages)
            if (m.msg == WM_SERVICE_STATUS) out.append({static_cast<int>(m.wParam), static_cast<int>(m.lParam)});
        return out;
    }
    int Count(unsigned msg) const
    {
        int n = 0;
        for (const Message& m : messages) n += m.msg == msg;
        return n;
    }
    QList<Message> messages;
};

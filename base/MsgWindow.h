#pragma once
#include <QHash>
#include <QObject>

#include <memory>
#include <mutex>

class CMsgWindow;

// A handle to a window that any thread may keep and use; once the window is gone every call
// does nothing (a send returns 0).
class CMsgTarget {
public:
    CMsgTarget() = default;

    bool PostMessage(unsigned msg, quintptr wParam = 0, qintptr lParam = 0) const;
    qintptr SendMessage(unsigned msg, quintptr wParam = 0, qintptr lParam = 0) const;
    void SetTimer(int id, int ms) const;
    void KillTimer(int id) const;
    bool IsAlive() const;

private:
    friend class CMsgWindow;
    struct Link {
        std::mutex mutex;
        CMsgWindow* window = nullptr;
    };
    explicit CMsgTarget(std::shared_ptr<Link> link) : m_link(std::move(link)) {}
    // Carried to the owner's thread; `ms` -1 kills the timer.
    void CarryTimer(int id, int ms) const;
    std::shared_ptr<Link> m_link;
};

// The message and timer machinery of a window: messages by number, posted from any thread
// and handled on the owner's thread; timers by number that any thread may set or kill.
class CMsgWindow : public QObject {
    Q_OBJECT
public:
    explicit CMsgWindow(QObject* parent = nullptr);
    ~CMsgWindow() override;

    CMsgTarget Target() const { return CMsgTarget(m_link); }

    // Queued to the owner's thread; safe from any thread while the window exists.
    void PostMessage(unsigned msg, quintptr wParam = 0, qintptr lParam = 0);
    // On the owner's thread the handler runs at once; from another thread the caller waits
    // until it has run (or the window is gone, or the process is exiting: then 0).
    qintptr SendMessage(unsigned msg, quintptr wParam = 0, qintptr lParam = 0);

    // Starts or restarts timer `id` with period `ms`; from any thread.
    void SetTimer(int id, int ms);
    void KillTimer(int id);
    bool HasTimer(int id) const; // owner's thread

    virtual qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam);
    virtual void OnTimer(int id);

protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    friend class CMsgTarget;
    bool OnOwnerThread() const;
    void ApplyTimer(int id, int ms);

    std::shared_ptr<CMsgTarget::Link> m_link;
    QHash<int, int> m_timers;  // our id -> Qt timer id
    QHash<int, int> m_timerIds; // Qt timer id -> our id
};

// The message and timer machinery of a class that is already something else (a widget): its
// messages and timers go to the owner's OnMessage and OnTimer.
template <class Owner>
class CMsgPort final : public CMsgWindow {
public:
    explicit CMsgPort(Owner& owner) : m_owner(owner) {}
    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam) override { return m_owner.OnMessage(msg, wParam, lParam); }
    void OnTimer(int id) override { m_owner.OnTimer(id); }

private:
    Owner& m_owner;
};

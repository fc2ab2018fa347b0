#include "base/MsgWindow.h"

#include "base/Worker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSemaphore>
#include <QThread>
#include <QTimerEvent>

namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kTimerCommand = static_cast<QEvent::Type>(QEvent::registerEventType());

// What a waiting sender gets back; shared so that either side may finish first.
struct SendState {
    QSemaphore done;
    qintptr result = 0;
};

class MessageEvent : public QEvent {
public:
    MessageEvent(unsigned msg, quintptr w, qintptr l, std::shared_ptr<SendState> state = nullptr)
        : QEvent(kMessageEvent), m_msg(msg), m_wParam(w), m_lParam(l), m_state(std::move(state)) {}
    // An event dropped with its window still wakes the sender.
    ~MessageEvent() override { Finish(0); }

    void Finish(qintptr result)
    {
        if (m_state) {
            m_state->result = result;
            m_state->done.release();
            m_state.reset();
        }
    }

    unsigned m_msg;
    quintptr m_wParam;
    qintptr m_lParam;

private:
    std::shared_ptr<SendState> m_state;
};

class TimerCommandEvent : public QEvent {
public:
    TimerCommandEvent(int id, int ms) : QEvent(kTimerCommand), m_id(id), m_ms(ms) {}
    int m_id;
    int m_ms; // < 0: kill
};

} // namespace

// ---- CMsgTarget -------------------------------------------------------------------------

bool CMsgTarget::PostMessage(unsigned msg, quintptr wParam, qintptr lParam) const
{
    if (!m_link) return false;
    std::lock_guard lock(m_link->mutex);
    if (!m_link->window) return false;
    QCoreApplication::postEvent(m_link->window, new MessageEvent(msg, wParam, lParam));
    return true;
}

qintptr CMsgTarget::SendMessage(unsigned msg, quintptr wParam, qintptr lParam) const
{
    if (!m_link) return 0;
    std::shared_ptr<SendState> state;
    {
        std::unique_lock lock(m_link->mutex);
        CMsgWindow* window = m_link->window;
        if (!window) return 0;
        if (window->OnOwnerThread()) {
            lock.unlock();
            return window->OnMessage(msg, wParam, lParam);
        }
        state = std::make_shared<SendState>();
        QCoreApplication::postEvent(window, new MessageEvent(msg, wParam, lParam, state));
    }
    // The owner may itself be waiting for workers at shutdown: never wait past the exiting flag.
    while (!state->done.tryAcquire(1, 50)) {
        if (IsExiting()) return 0;
    }
    return state->result;
}

void CMsgTarget::SetTimer(int id, int ms) const { CarryTimer(id, ms < 0 ? 0 : ms); }

void CMsgTarget::KillTimer(int id) const { CarryTimer(id, -1); }

void CMsgTarget::CarryTimer(int id, int ms) const
{
    if (!m_link) return;
    std::unique_lock lock(m_link->mutex);
    CMsgWindow* window = m_link->window;
    if (!window) return;
    if (window->OnOwnerThread()) {
        lock.unlock();
        window->ApplyTimer(id, ms);
    } else {
        QCoreApplication::postEvent(window, new TimerCommandEvent(id, ms));
    }
}

bool CMsgTarget::IsAlive() const
{
    if (!m_link) return false;
    std::lock_guard lock(m_link->mutex);
    return m_link->window != nullptr;
}

// ---- CMsgWindow -------------------------------------------------------------------------

CMsgWindow::CMsgWindow(QObject* parent) : QObject(parent), m_link(std::make_shared<CMsgTarget::Link>())
{
    m_link->window = this;
}

CMsgWindow::~CMsgWindow()
{
    std::lock_guard lock(m_link->mutex);
    m_link->window = nullptr;
}

bool CMsgWindow::OnOwnerThread() const { return QThread::currentThread() == thread(); }

void CMsgWindow::PostMessage(unsigned msg, quintptr wParam, qintptr lParam) { Target().PostMessage(msg, wParam, lParam); }

qintptr CMsgWindow::SendMessage(unsigned msg, quintptr wParam, qintptr lParam)
{
    return Target().SendMessage(msg, wParam, lParam);
}

void CMsgWindow::SetTimer(int id, int ms) { Target().SetTimer(id, ms); }

void CMsgWindow::KillTimer(int id) { Target().KillTimer(id); }

bool CMsgWindow::HasTimer(int id) const { return m_timers.contains(id); }

qintptr CMsgWindow::OnMessage(unsigned, quintptr, qintptr) { return 0; }

void CMsgWindow::OnTimer(int) {}

void CMsgWindow::ApplyTimer(int id, int ms)
{
    if (const auto it = m_timers.find(id); it != m_timers.end()) {
        QObject::killTimer(it.value());
        m_timerIds.remove(it.value());
        m_timers.erase(it);
    }
    if (ms < 0) return;
    const int qtId = QObject::startTimer(ms, Qt::PreciseTimer);
    if (qtId == 0) return;
    m_timers.insert(id, qtId);
    m_timerIds.insert(qtId, id);
}

bool CMsgWindow::event(QEvent* e)
{
    if (e->type() == kMessageEvent) {
        auto* m = static_cast<MessageEvent*>(e);
        m->Finish(OnMessage(m->m_msg, m->m_wParam, m->m_lParam));
        return true;
    }
    if (e->type() == kTimerCommand) {
        auto* t = static_cast<TimerCommandEvent*>(e);
        ApplyTimer(t->m_id, t->m_ms);
        return true;
    }
    return QObject::event(e);
}

void CMsgWindow::timerEvent(QTimerEvent* e)
{
    const auto it = m_timerIds.constFind(e->timerId());
    if (it == m_timerIds.constEnd()) {
        QObject::timerEvent(e);
        return;
    }
    OnTimer(it.value());
}

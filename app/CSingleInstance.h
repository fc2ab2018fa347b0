#pragma once
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

// The one-player-per-user rule: the first start listens on a local socket named after the
// instance mutex in the per-user private folder; a later start finds it there and passes window
// messages (numbers) to it, which the first start's handler receives on its own thread.
class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` defaults to "QuarvelMutex" in the private folder.
    explicit CSingleInstance(QString name = QString(), QObject* parent = nullptr);
    ~CSingleInstance() override;

    // True when no other start of this user runs: this one now holds the name. False when
    // another runs (then Send reaches it) or when the name can be neither reached nor taken.
    bool Acquire();
    bool IsPrimary() const { return m_server != nullptr; }
    bool OtherRunning() const { return m_client != nullptr; }

    // A second start: passes `message` to the running start; false when it is not reached.
    bool Send(unsigned message);

    // The first start: called with each message a later start passes.
    void SetHandler(std::function<void(unsigned)> handler) { m_handler = std::move(handler); }

    static QString DefaultName();

private:
    void OnConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
    QLocalSocket* m_client = nullptr;
    std::function<void(unsigned)> m_handler;
};

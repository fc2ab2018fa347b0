#include "app/CSingleInstance.h"

#include "base/DebugLog.h"
#include "base/PrivateDir.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr int kConnectMs = 1000;
}

QString CSingleInstance::DefaultName()
{
    const QString dir = PrivateDir();
    return dir.isEmpty() ? QString() : dir + QStringLiteral("/QuarvelMutex");
}

CSingleInstance::CSingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(name.isEmpty() ? DefaultName() : std::move(name))
{
}

CSingleInstance::~CSingleInstance()
{
    if (m_server) m_server->close();
}

bool CSingleInstance::Acquire()
{
    if (m_server) return true;
    if (m_name.isEmpty()) return false;
    auto* probe = new QLocalSocket(this);
    probe->connectToServer(m_name);
    if (probe->waitForConnected(kConnectMs)) {
        m_client = probe;
        return false;
    }
    delete probe;
    // Nobody answers: a socket file left by a start that crashed is taken over.
    QLocalServer::removeServer(m_name);
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(m_name)) {
        WriteDebugLogA("single instance: cannot listen on %s", qPrintable(m_name));
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnConnection);
    return true;
}

bool CSingleInstance::Send(unsigned message)
{
    if (!m_client || m_client->state() != QLocalSocket::ConnectedState) return false;
    m_client->write(QByteArray::number(message) + '\n');
    return m_client->waitForBytesWritten(kConnectMs) || m_client->bytesToWrite() == 0;
}

void CSingleInstance::OnConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                bool ok = false;
                const unsigned message = socket->readLine().trimmed().toUInt(&ok);
                if (ok && m_handler) m_handler(message);
            }
        });
    }
}

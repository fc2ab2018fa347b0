#include "tests/net/ServiceProcess.h"

#include <QUrl>

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QUrlQuery>

#include <gtest/gtest.h>
#include <httplib.h>

#ifndef ORDEL_SERVICE_EXE
#error "ORDEL_SERVICE_EXE must name the service executable"
#endif

ServiceProcess::ServiceProcess() = default;

ServiceProcess::~ServiceProcess()
{
    if (m_process) {
        m_process->terminate();
        if (!m_process->waitForFinished(10000)) m_process->kill();
        m_process->waitForFinished(5000);
    }
}

bool ServiceProcess::Start(QString* error)
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(QStringLiteral(ORDEL_SERVICE_EXE), {QStringLiteral("--port"), QStringLiteral("0"),
                                                          QStringLiteral("--data"), m_data.path()});
    if (!m_process->waitForStarted(10000)) {
        if (error) *error = QStringLiteral("cannot start ") + QStringLiteral(ORDEL_SERVICE_EXE);
        return false;
    }
    // The first start makes the catalogue; on a loaded machine that takes a while.
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (t.elapsed() < 120000) {
        if (!m_process->waitForReadyRead(1000) && m_process->state() != QProcess::Running) break;
        out += m_process->readAllStandardOutput();
        const qsizetype at = out.indexOf("127.0.0.1:");
        if (at >= 0 && out.indexOf('\n', at) > 0) {
            m_port = out.mid(at + 10, out.indexOf('\n', at) - at - 10).trimmed().toInt();
            return m_port > 0;
        }
    }
    if (error) *error = QStringLiteral("service did not start: ") + QString::fromUtf8(m_process->readAllStandardError());
    return false;
}

QByteArray ServiceProcess::Get(const QString& path) const
{
    httplib::Client c("127.0.0.1", m_port);
    c.set_read_timeout(30, 0);
    auto r = c.Get(path.toStdString());
    return r ? QByteArray::fromStdString(r->body) : QByteArray();
}

QByteArray ServiceProcess::Post(const QString& pathAndQuery) const
{
    httplib::Client c("127.0.0.1", m_port);
    c.set_read_timeout(30, 0);
    auto r = c.Post(pathAndQuery.toStdString(), "", "application/x-www-form-urlencoded");
    return r ? QByteArray::fromStdString(r->body) : QByteArray();
}

QJsonArray ServiceProcess::Requests(const QString& method) const
{
    const QString q = method.isEmpty() ? QString() : QStringLiteral("?method=") + QString::fromLatin1(QUrl::toPercentEncoding(method));
    return QJsonDocument::fromJson(Get(QStringLiteral("/_state/requests") + q)).array();
}

void ServiceProcess::Reset() const
{
    Post(QStringLiteral("/_state/reset"));
}

void ServiceProcess::Switch(const QString& endpoint, const QString& mode, int ms, qint64 bytes) const
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("endpoint"), endpoint);
    q.addQueryItem(QStringLiteral("mode"), mode);
    q.addQueryItem(QStringLiteral("ms"), QString::number(ms));
    q.addQueryItem(QStringLiteral("bytes"), QString::number(bytes));
    Post(QStringLiteral("/_state/switch?") + q.toString(QUrl::FullyEncoded));
}

void ServiceProcess::SetUpdate(const QString& latest, const QString& validType, const QString& result,
                               const QString& address) const
{
    QUrlQuery q;
    q.addQueryItem(QStringLiteral("latest"), latest);
    q.addQueryItem(QStringLiteral("validtype"), validType);
    q.addQueryItem(QStringLiteral("result"), result);
    q.addQueryItem(QStringLiteral("address"), address);
    Post(QStringLiteral("/_state/update?") + q.toString(QUrl::FullyEncoded));
}

void ServiceProcess::SetUpload(const QString& capacity, const QString& answer) const
{
    QUrlQuery q;
    if (!capacity.isEmpty()) q.addQueryItem(QStringLiteral("capacity"), capacity);
    if (!answer.isEmpty()) q.addQueryItem(QStringLiteral("answer"), answer);
    Post(QStringLiteral("/_state/upload?") + q.toString(QUrl::FullyEncoded));
}

QString ServiceProcess::Session(const QString& user) const
{
    return QJsonDocument::fromJson(Post(QStringLiteral("/_state/session?user=") + user)).object()
        .value(QStringLiteral("vuid")).toString();
}

QJsonArray ServiceProcess::Catalogue() const
{
    return QJsonDocument::fromJson(Get(QStringLiteral("/_state/catalogue"))).array();
}

QJsonArray ServiceProcess::Groups(const QString& user) const
{
    return QJsonDocument::fromJson(Get(QStringLiteral("/_state/groups?user=") + user)).array();
}

int ServiceProcess::AddGroup(const QString& user, const QString& name, int parent, const QStringList& songIds) const
{
    const QString query = QStringLiteral("/_state/group?user=%1&name=%2&parent=%3&songs=%4")
                              .arg(QString::fromLatin1(QUrl::toPercentEncoding(user)), QString::fromLatin1(QUrl::toPercentEncoding(name)))
                              .arg(parent)
                              .arg(songIds.join(QLatin1Char(',')));
    return QJsonDocument::fromJson(Post(query)).object().value(QStringLiteral("id")).toInt();
}

namespace {

std::unique_ptr<ServiceProcess> g_shared;

// Ends the shared service while the application object still exists.
class SharedServiceEnvironment : public ::testing::Environment {
public:
    void TearDown() override { g_shared.reset(); }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SharedServiceEnvironment);

} // namespace

ServiceProcess& ServiceProcess::Shared()
{
    if (!g_shared) {
        g_shared = std::make_unique<ServiceProcess>();
        g_shared->Start();
    }
    return *g_shared;
}

QString DocField(const QJsonObject& request, const QString& name)
{
    for (const QJsonValue& f : request.value(QStringLiteral("document")).toObject().value(QStringLiteral("fields")).toArray())
        if (f.toArray().at(0).toString() == name) return f.toArray().at(1).toString();
    return QString();
}

QString Header(const QJsonObject& request, const QString& name)
{
    return request.value(QStringLiteral("headers")).toObject().value(name.toLower()).toString();
}

#pragma once
#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A running ordel-service on a free loopback port with a data folder of its own, and the
// /_state calls tests make on it.
class ServiceProcess {
public:
    ServiceProcess();
    ~ServiceProcess();

    bool Start(QString* error = nullptr);
    bool Running() const { return m_port > 0; }
    int Port() const { return m_port; }
    QString Base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    QString EntryUrl() const { return Base() + QStringLiteral("/metadata/enter.do"); }
    QString DataDir() const { return m_data.path(); }

    QJsonArray Requests(const QString& method = QString()) const;
    void Reset() const;
    // mode: normal, slow (ms), 404, empty, malformed, drop, huge (bytes).
    void Switch(const QString& endpoint, const QString& mode, int ms = 0, qint64 bytes = 0) const;
    void SetUpdate(const QString& latest, const QString& validType, const QString& result = QStringLiteral("1"),
                   const QString& address = QString()) const;
    // The cloud drive: the free capacity it tells and what it answers an upload (empty: unchanged).
    void SetUpload(const QString& capacity, const QString& answer = QString()) const;
    // A signed-in session; returns its vuid.
    QString Session(const QString& user = QStringLiteral("demo")) const;
    QJsonArray Catalogue() const;
    QJsonArray Groups(const QString& user = QStringLiteral("demo")) const;
    // A group of `user`'s (under `parent` when not 0) holding the catalogue songs `songIds`;
    // returns its id.
    int AddGroup(const QString& user, const QString& name, int parent = 0, const QStringList& songIds = {}) const;

    // The shared instance of a test binary, started on first use.
    static ServiceProcess& Shared();

private:
    QByteArray Get(const QString& path) const;
    QByteArray Post(const QString& pathAndQuery) const;

    QTemporaryDir m_data;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
};

// Values of a recorded document's fields, by name (first one).
QString DocField(const QJsonObject& request, const QString& name);
QString Header(const QJsonObject& request, const QString& name);

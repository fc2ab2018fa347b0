#pragma once
#include <QByteArray>
#include <QJsonArray>
#include <QList>
#include <QString>
#include <QVariant>

#include <mutex>

struct sqlite3;

// What the service keeps in its SQLite file: every request received, the users' sessions and
// cloud groups with their songs. Every call takes the one lock: requests arrive on the
// server's worker threads.
class CServiceDb {
public:
    CServiceDb() = default;
    ~CServiceDb();
    CServiceDb(const CServiceDb&) = delete;
    CServiceDb& operator=(const CServiceDb&) = delete;

    bool Open(const QString& path, QString* error);

    // One received request. `document` and `headers` are JSON texts.
    void RecordRequest(const QString& verb, const QString& path, const QString& method, const QByteArray& document,
                       const QByteArray& headers, const QByteArray& body);
    // Every recorded request (oldest first), each as a JSON object; `method` empty for all.
    QJsonArray Requests(const QString& method) const;
    void ClearRequests();

    // Sessions: a vuid belongs to one user.
    void AddSession(const QString& vuid, const QString& user);
    QString SessionUser(const QString& vuid) const;

    // Cloud groups of a user; parent 0 for a top-level group.
    struct Group {
        int id = 0;
        int parent = 0;
        QString name;
    };
    int AddGroup(const QString& user, const QString& name, int parent = 0);
    bool RenameGroup(const QString& user, int id, const QString& name);
    bool DeleteGroup(const QString& user, int id);
    QList<Group> Groups(const QString& user) const;

    struct GroupSong {
        QString songId;
        QString name;
        QString singer;
        QString address;
        int star = 0;
    };
    void AddGroupSong(int group, const GroupSong& song);
    QList<GroupSong> GroupSongs(int group) const;
    bool DeleteSong(const QString& user, const QString& songId);

private:
    bool Exec(const char* sql, const QVariantList& values = {}) const;
    QList<QVariantList> Query(const char* sql, const QVariantList& values = {}) const;

    mutable std::recursive_mutex m_mutex;
    sqlite3* m_db = nullptr;
};

#include "service/ServiceDb.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

#include <utility>

namespace {

// One prepared statement, finalised with its owner.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &m_p, nullptr) != SQLITE_OK) m_p = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_p); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement(Statement&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    sqlite3_stmt* get() const { return m_p; }

    bool Bind(const QVariantList& values)
    {
        if (!m_p || sqlite3_bind_parameter_count(m_p) != values.size()) return false;
        for (int i = 0; i < values.size(); ++i) {
            const QVariant& v = values[i];
            int rc;
            if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong)
                rc = sqlite3_bind_int64(m_p, i + 1, v.toLongLong());
            else if (v.typeId() == QMetaType::QByteArray) {
                const QByteArray b = v.toByteArray();
                rc = sqlite3_bind_blob(m_p, i + 1, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            } else {
                const QByteArray t = v.toString().toUtf8();
                rc = sqlite3_bind_text(m_p, i + 1, t.constData(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            }
            if (rc != SQLITE_OK) return false;
        }
        return true;
    }

private:
    sqlite3_stmt* m_p = nullptr;
};

} // namespace

CServiceDb::~CServiceDb()
{
    if (m_db) sqlite3_close(m_db);
}

bool CServiceDb::Open(const QString& path, QString* error)
{
    std::lock_guard lock(m_mutex);
    if (sqlite3_open(QFile::encodeName(path).constData(), &m_db) != SQLITE_OK) {
        if (error) *error = QString::fromUtf8(sqlite3_errmsg(m_db));
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    const char* schema =
        "CREATE TABLE IF NOT EXISTS Requests (Id INTEGER PRIMARY KEY AUTOINCREMENT, Time TEXT, Verb TEXT,"
        " Path TEXT, Method TEXT, Document TEXT, Headers TEXT, Body BLOB);"
        "CREATE TABLE IF NOT EXISTS Sessions (Vuid TEXT PRIMARY KEY, User TEXT);"
        "CREATE TABLE IF NOT EXISTS Groups (Id INTEGER PRIMARY KEY AUTOINCREMENT, User TEXT, Name TEXT,"
        " Parent INTEGER);"
        "CREATE TABLE IF NOT EXISTS GroupSongs (GroupId INTEGER, SongId TEXT, Name TEXT, Singer TEXT,"
        " Address TEXT, Star INTEGER);";
    char* message = nullptr;
    if (sqlite3_exec(m_db, schema, nullptr, nullptr, &message) != SQLITE_OK) {
        if (error) *error = QString::fromUtf8(message ? message : "schema");
        sqlite3_free(message);
        return false;
    }
    return true;
}

bool CServiceDb::Exec(const char* sql, const QVariantList& values) const
{
    std::lock_guard lock(m_mutex);
    if (!m_db) return false;
    Statement st(m_db, sql);
    if (!st.Bind(values)) return false;
    return sqlite3_step(st.get()) == SQLITE_DONE;
}

QList<QVariantList> CServiceDb::Query(const char* sql, const QVariantList& values) const
{
    std::lock_guard lock(m_mutex);
    QList<QVariantList> rows;
    if (!m_db) return rows;
    Statement st(m_db, sql);
    if (!st.Bind(values)) return rows;
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
        QVariantList row;
        for (int i = 0; i < sqlite3_column_count(st.get()); ++i) {
            switch (sqlite3_column_type(st.get(), i)) {
            case SQLITE_INTEGER:
                row.append(static_cast<qlonglong>(sqlite3_column_int64(st.get(), i)));
                break;
            case SQLITE_BLOB:
                row.append(QByteArray(static_cast<const char*>(sqlite3_column_blob(st.get(), i)),
                                      sqlite3_column_bytes(st.get(), i)));
                break;
            case SQLITE_NULL:
                row.append(QVariant());
                break;
            default:
                row.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st.get(), i)),
                                             sqlite3_column_bytes(st.get(), i)));
            }
        }
        rows.append(row);
    }
    return rows;
}

void CServiceDb::RecordRequest(const QString& verb, const QString& path, const QString& method,
                               const QByteArray& document, const QByteArray& headers, const QByteArray& body)
{
    Exec("INSERT INTO Requests (Time, Verb, Path, Method, Document, Headers, Body) VALUES (?, ?, ?, ?, ?, ?, ?)",
         {QDateTime::currentDateTime().toString(Qt::ISODateWithMs), verb, path, method, QString::fromUtf8(document),
          QString::fromUtf8(headers), body});
}

QJsonArray CServiceDb::Requests(const QString& method) const
{
    const auto rows = method.isEmpty()
        ? Query("SELECT Id, Time, Verb, Path, Method, Document, Headers, Body FROM Requests ORDER BY Id")
        : Query("SELECT Id, Time, Verb, Path, Method, Document, Headers, Body FROM Requests WHERE Method = ? ORDER BY Id",
                {method});
    QJsonArray out;
    for (const QVariantList& r : rows) {
        QJsonObject o;
        o[QStringLiteral("id")] = r[0].toLongLong();
        o[QStringLiteral("time")] = r[1].toString();
        o[QStringLiteral("verb")] = r[2].toString();
        o[QStringLiteral("path")] = r[3].toString();
        o[QStringLiteral("method")] = r[4].toString();
        o[QStringLiteral("document")] = QJsonDocument::fromJson(r[5].toString().toUtf8()).object();
        o[QStringLiteral("headers")] = QJsonDocument::fromJson(r[6].toString().toUtf8()).object();
        o[QStringLiteral("body")] = QString::fromLatin1(r[7].toByteArray());
        out.append(o);
    }
    return out;
}

void CServiceDb::ClearRequests()
{
    Exec("DELETE FROM Requests");
}

void CServiceDb::AddSession(const QString& vuid, const QString& user)
{
    Exec("INSERT OR REPLACE INTO Sessions (Vuid, User) VALUES (?, ?)", {vuid, user});
}

QString CServiceDb::SessionUser(const QString& vuid) const
{
    const auto rows = Query("SELECT User FROM Sessions WHERE Vuid = ?", {vuid});
    return rows.isEmpty() ? QString() : rows[0][0].toString();
}

int CServiceDb::AddGroup(const QString& user, const QString& name, int parent)
{
    std::lock_guard lock(m_mutex);
    if (!Exec("INSERT INTO Groups (User, Name, Parent) VALUES (?, ?, ?)", {user, name, parent})) return 0;
    return static_cast<int>(sqlite3_last_insert_rowid(m_db));
}

bool CServiceDb::RenameGroup(const QString& user, int id, const QString& name)
{
    std::lock_guard lock(m_mutex);
    return Exec("UPDATE Groups SET Name = ? WHERE Id = ? AND User = ?", {name, id, user}) && sqlite3_changes(m_db) > 0;
}

bool CServiceDb::DeleteGroup(const QString& user, int id)
{
    std::lock_guard lock(m_mutex);
    if (!Exec("DELETE FROM Groups WHERE Id = ? AND User = ?", {id, user}) || sqlite3_changes(m_db) == 0) return false;
    Exec("DELETE FROM GroupSongs WHERE GroupId = ?", {id});
    return true;
}

QList<CServiceDb::Group> CServiceDb::Groups(const QString& user) const
{
    QList<Group> out;
    for (const QVariantList& r : Query("SELECT Id, Parent, Name FROM Groups WHERE User = ? ORDER BY Id", {user}))
        out.append({static_cast<int>(r[0].toLongLong()), static_cast<int>(r[1].toLongLong()), r[2].toString()});
    return out;
}

void CServiceDb::AddGroupSong(int group, const GroupSong& s)
{
    Exec("INSERT INTO GroupSongs (GroupId, SongId, Name, Singer, Address, Star) VALUES (?, ?, ?, ?, ?, ?)",
         {group, s.songId, s.name, s.singer, s.address, s.star});
}

QList<CServiceDb::GroupSong> CServiceDb::GroupSongs(int group) const
{
    QList<GroupSong> out;
    for (const QVariantList& r :
         Query("SELECT SongId, Name, Singer, Address, Star FROM GroupSongs WHERE GroupId = ? ORDER BY rowid", {group}))
        out.append({r[0].toString(), r[1].toString(), r[2].toString(), r[3].toString(), static_cast<int>(r[4].toLongLong())});
    return out;
}

bool CServiceDb::DeleteSong(const QString& user, const QString& songId)
{
    std::lock_guard lock(m_mutex);
    return Exec("DELETE FROM GroupSongs WHERE SongId = ? AND GroupId IN (SELECT Id FROM Groups WHERE User = ?)",
                {songId, user})
        && sqlite3_changes(m_db) > 0;
}

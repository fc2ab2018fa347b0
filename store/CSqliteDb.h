#pragma once
#include "store/Sqlite.h"

#include <QString>

// One open database file: its connection and its path. Statements are composed with "?" where
// a value goes and the values bound, so no value can break or change a statement.
class CSqliteDb {
public:
    // Any length of path; it is handed to SQLite as UTF-8.
    explicit CSqliteDb(const QString& path);
    CSqliteDb(const CSqliteDb&) = delete;
    CSqliteDb& operator=(const CSqliteDb&) = delete;

    // Opens the file, creating it when missing; the SQLite result code, 0 on success. A failed
    // open leaves the handle without connection.
    int Open();
    // Runs a statement without values and without row callback; the SQLite result code.
    int Exec(const char* sql);
    // Compiles `sql` into `out`; the SQLite result code.
    int Prepare(const char* sql, SqliteStatement& out);
    static int Step(SqliteStatement& stmt) { return stmt.Step(); }
    static int Finalize(SqliteStatement& stmt) { return stmt.reset(); }
    void Close();

    // Prepares, binds `args` and runs the statement to its end: 0 when done, else the error.
    template <class... Args>
    int Run(const char* sql, const Args&... args)
    {
        SqliteStatement stmt;
        int rc = Prepare(sql, stmt);
        if (rc != kSqliteOk) return rc;
        rc = Bind(stmt, args...);
        if (rc != kSqliteOk) return rc;
        rc = stmt.Step();
        return rc == kSqliteDone || rc == kSqliteRow ? kSqliteOk : rc;
    }

    // The bulk writers' transactions. Begin and commit give their result code (the old
    // interface said "always 0"; callers that must know whether their rows are stored look).
    int BeginTransaction();
    int CommitTransaction();
    int RollbackTransaction();

    bool IsOpen() const { return static_cast<bool>(m_conn); }
    sqlite3* get() const { return m_conn.get(); }
    const QString& Path() const { return m_path; }

private:
    QString m_path;
    SqliteConnection m_conn;
};

// A transaction that is rolled back unless committed, so an error half-way leaves the rows as
// they were.
class SqliteTransaction {
public:
    explicit SqliteTransaction(CSqliteDb& db) : m_db(db), m_rc(db.BeginTransaction()) {}
    ~SqliteTransaction()
    {
        if (m_rc == kSqliteOk && !m_done) m_db.RollbackTransaction();
    }
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool Started() const { return m_rc == kSqliteOk; }
    int Commit()
    {
        if (m_rc != kSqliteOk) return m_rc;
        m_done = true;
        const int rc = m_db.CommitTransaction();
        if (rc != kSqliteOk) m_db.RollbackTransaction();
        return rc;
    }

private:
    CSqliteDb& m_db;
    int m_rc;
    bool m_done = false;
};

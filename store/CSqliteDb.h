#pragma once
#include "store/Sqlite.h"

#include <QString>

#include <string>
#include <vector>

class CSqliteDb;

// A statement of a connection's cache, lent for one use: bind, step (Rewind between rows of a
// bulk write), and when it goes it is reset, its values cleared and handed back. It must not
// outlive the handle it came from; a close meanwhile is safe (the statement is then finalized).
class SqliteCachedStatement {
public:
    SqliteCachedStatement() = default;
    SqliteCachedStatement(SqliteCachedStatement&& o) noexcept;
    SqliteCachedStatement& operator=(SqliteCachedStatement&&) = delete;
    ~SqliteCachedStatement();

    SqliteStatement& operator*() { return m_stmt; }
    SqliteStatement* operator->() { return &m_stmt; }
    explicit operator bool() const { return static_cast<bool>(m_stmt); }

private:
    friend class CSqliteDb;
    CSqliteDb* m_db = nullptr;
    size_t m_slot = 0;
    unsigned m_generation = 0;
    SqliteStatement m_stmt;
};

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
    // The journal mode as "PRAGMA journal_mode" gives it ("wal", "delete", ...), after it is set
    // to `mode` when one is given: SQLite keeps the mode it has where it cannot change it (while
    // another connection has the file open). Empty when it cannot be read.
    QByteArray JournalMode(const char* mode = nullptr);
    // Gives back the page cache's pages no statement holds: a read of every row leaves the
    // cache full of pages the next statements seldom want.
    void ReleaseMemory();
    static int Step(SqliteStatement& stmt) { return stmt.Step(); }
    static int Finalize(SqliteStatement& stmt) { return stmt.reset(); }
    void Close();

    // Prepares, binds `args` and runs the statement to its end: 0 when done, else the error.
    template <class... Args>
    int Run(const char* sql, const Args&... args)
    {
        SqliteStatement stmt;
        const int rc = Prepare(sql, stmt);
        return rc == kSqliteOk ? BindAndStep(stmt, args...) : rc;
    }

    // The statement for `sql`, compiled on first use and kept until the connection closes, for
    // the statements run again and again (an import inserts thousands of rows), where compiling
    // each time costs more than running. Lent for one use; empty when it does not compile. The
    // cache has no lock of its own: its users hold the lock that guards the connection.
    SqliteCachedStatement Cached(const char* sql);

    // Binds `args` and runs the cached statement for `sql` to its end: 0 when done, else the error.
    template <class... Args>
    int RunCached(const char* sql, const Args&... args)
    {
        SqliteCachedStatement stmt = Cached(sql);
        return stmt ? BindAndStep(*stmt, args...) : kSqliteError;
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
    template <class... Args>
    static int BindAndStep(SqliteStatement& stmt, const Args&... args)
    {
        int rc = Bind(stmt, args...);
        if (rc != kSqliteOk) return rc;
        rc = stmt.Step();
        return rc == kSqliteDone || rc == kSqliteRow ? kSqliteOk : rc;
    }

    friend class SqliteCachedStatement;
    void GiveBack(SqliteCachedStatement& lent);

    struct CacheEntry {
        std::string sql;
        SqliteStatement stmt; // empty while lent out
    };

    QString m_path;
    SqliteConnection m_conn;
    // Declared after the connection: finalized before it closes.
    std::vector<CacheEntry> m_cache;
    // Counts the closes, so a statement lent before one is not given back to the next connection.
    unsigned m_generation = 0;
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

#pragma once
#include <QByteArray>
#include <QString>

#include <utility>

struct sqlite3;
struct sqlite3_stmt;

// Result codes the store looks at (the values of the SQLite C interface).
constexpr int kSqliteOk = 0;
constexpr int kSqliteError = 1;
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteFull = 13;
constexpr int kSqliteConstraint = 19;
constexpr int kSqliteRange = 25;
constexpr int kSqliteNotADb = 26;
constexpr int kSqliteRow = 100;
constexpr int kSqliteDone = 101;

// Owns one SQLite connection; closing happens in the destructor or in reset().
class SqliteConnection {
public:
    SqliteConnection() = default;
    explicit SqliteConnection(sqlite3* db) : m_db(db) {}
    ~SqliteConnection() { reset(); }
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;
    SqliteConnection(SqliteConnection&& o) noexcept : m_db(std::exchange(o.m_db, nullptr)) {}
    SqliteConnection& operator=(SqliteConnection&& o) noexcept
    {
        if (this != &o) reset(std::exchange(o.m_db, nullptr));
        return *this;
    }
    sqlite3* get() const { return m_db; }
    explicit operator bool() const { return m_db != nullptr; }
    void reset(sqlite3* db = nullptr);

private:
    sqlite3* m_db = nullptr;
};

// Owns one prepared statement; finalized in the destructor or in reset().
class SqliteStatement {
public:
    SqliteStatement() = default;
    explicit SqliteStatement(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~SqliteStatement() { reset(); }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    SqliteStatement(SqliteStatement&& o) noexcept : m_stmt(std::exchange(o.m_stmt, nullptr)) {}
    SqliteStatement& operator=(SqliteStatement&& o) noexcept
    {
        if (this != &o) reset(std::exchange(o.m_stmt, nullptr));
        return *this;
    }
    sqlite3_stmt* get() const { return m_stmt; }
    explicit operator bool() const { return m_stmt != nullptr; }
    // Finalizes the statement held (if any) and takes `stmt`; the finalize result.
    int reset(sqlite3_stmt* stmt = nullptr);

    // kSqliteRow while rows remain, kSqliteDone at the end, else an error code.
    int Step();
    // Makes the statement ready to run again, keeping its bound values.
    void Rewind();
    // Drops the bound values (text is held as a copy until then); every placeholder reads NULL.
    void ClearBindings();
    int ColumnInt(int column) const;
    // Code-page text converted to wide text; NULL reads as empty.
    QString ColumnText(int column) const;
    // The stored bytes unchanged; NULL reads as empty.
    QByteArray ColumnBytes(int column) const;
    int ParameterCount() const;

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// One bound value each. Text goes in as code-page bytes (as the files have always held it) and
// is always TEXT, never NULL, also when empty.
int BindValue(sqlite3_stmt* stmt, int index, int value);
int BindValue(sqlite3_stmt* stmt, int index, const QString& text);
int BindValue(sqlite3_stmt* stmt, int index, const QByteArray& bytes);
int BindValue(sqlite3_stmt* stmt, int index, const char* ascii);

// Writes the debug-log line for a statement whose placeholders and values differ in count and
// returns kSqliteRange.
int BindCountMismatch(const SqliteStatement& stmt, int given);

// Binds every placeholder of `stmt` in order. The number of values must match the statement's
// placeholders, so a statement text and its values cannot drift apart: when they differ, nothing
// is bound and the statement is refused (in every build).
template <class... Args>
int Bind(SqliteStatement& stmt, const Args&... args)
{
    const int expected = stmt.ParameterCount();
    if (expected != static_cast<int>(sizeof...(args))) return BindCountMismatch(stmt, static_cast<int>(sizeof...(args)));
    int rc = kSqliteOk;
    int index = 0;
    ((rc = rc == kSqliteOk ? BindValue(stmt.get(), ++index, args) : rc), ...);
    return rc;
}

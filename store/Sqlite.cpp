#include "store/Sqlite.h"
#include "store/CSqliteDb.h"

#include "base/CodePage.h"
#include "base/DebugLog.h"

#include <QFile>

#include <sqlite3.h>

void SqliteConnection::reset(sqlite3* db)
{
    if (m_db) sqlite3_close_v2(m_db);
    m_db = db;
}

int SqliteStatement::reset(sqlite3_stmt* stmt)
{
    const int rc = m_stmt ? sqlite3_finalize(m_stmt) : SQLITE_OK;
    m_stmt = stmt;
    return rc;
}

int SqliteStatement::Step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_MISUSE; }

void SqliteStatement::Rewind()
{
    if (m_stmt) sqlite3_reset(m_stmt);
}

void SqliteStatement::ClearBindings()
{
    if (m_stmt) sqlite3_clear_bindings(m_stmt);
}

int SqliteStatement::ColumnInt(int column) const { return sqlite3_column_int(m_stmt, column); }

QString SqliteStatement::ColumnText(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!text) return QString();
    return FromAnsi(text, sqlite3_column_bytes(m_stmt, column));
}

QByteArray SqliteStatement::ColumnBytes(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    if (!text) return QByteArray();
    return QByteArray(text, sqlite3_column_bytes(m_stmt, column));
}

int SqliteStatement::ParameterCount() const { return m_stmt ? sqlite3_bind_parameter_count(m_stmt) : 0; }

int BindCountMismatch(const SqliteStatement& stmt, int given)
{
    const char* sql = stmt.get() ? sqlite3_sql(stmt.get()) : nullptr;
    WriteDebugLogA("sqlite: statement and values differ in count (%d placeholders, %d values)\t%s",
                   stmt.ParameterCount(), given, sql ? sql : "");
    return kSqliteRange;
}

int BindValue(sqlite3_stmt* stmt, int index, int value) { return sqlite3_bind_int(stmt, index, value); }

int BindValue(sqlite3_stmt* stmt, int index, const QByteArray& bytes)
{
    // A null pointer would bind NULL; the files hold '' for empty text.
    return sqlite3_bind_text(stmt, index, bytes.isNull() ? "" : bytes.constData(),
                             static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
}

int BindValue(sqlite3_stmt* stmt, int index, const QString& text)
{
    // Most texts of a track row are empty or short ASCII: they are bound without a converted
    // copy on the heap (SQLite copies the bytes either way).
    if (text.isEmpty()) return sqlite3_bind_text(stmt, index, "", 0, SQLITE_STATIC);
    constexpr qsizetype kShort = 256;
    if (text.size() <= kShort) {
        char ascii[kShort];
        const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
        qsizetype i = 0;
        for (; i < text.size() && units[i] < 0x80; ++i) ascii[i] = static_cast<char>(units[i]);
        if (i == text.size()) return sqlite3_bind_text(stmt, index, ascii, static_cast<int>(i), SQLITE_TRANSIENT);
    }
    return BindValue(stmt, index, ToAnsi(text));
}

int BindValue(sqlite3_stmt* stmt, int index, const char* ascii)
{
    return sqlite3_bind_text(stmt, index, ascii ? ascii : "", -1, SQLITE_TRANSIENT);
}

CSqliteDb::CSqliteDb(const QString& path) : m_path(path) {}

int CSqliteDb::Open()
{
    Close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(m_path).constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return rc;
    }
    // Another connection of this process (the lyrics worker, a second handle in a test) may hold
    // the file for a moment; wait for it instead of failing the statement.
    sqlite3_busy_timeout(db, 5000);
    m_conn.reset(db);
    return SQLITE_OK;
}

int CSqliteDb::Exec(const char* sql)
{
    if (!m_conn) return SQLITE_MISUSE;
    return sqlite3_exec(m_conn.get(), sql, nullptr, nullptr, nullptr);
}

int CSqliteDb::Prepare(const char* sql, SqliteStatement& out)
{
    out.reset();
    if (!m_conn) return SQLITE_MISUSE;
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v2(m_conn.get(), sql, -1, &stmt, nullptr);
    out.reset(stmt);
    return rc;
}

QByteArray CSqliteDb::JournalMode(const char* mode)
{
    const QByteArray sql = mode ? QByteArray("PRAGMA journal_mode=") + mode : QByteArray("PRAGMA journal_mode");
    SqliteStatement stmt;
    if (Prepare(sql.constData(), stmt) != kSqliteOk || stmt.Step() != kSqliteRow) return {};
    return stmt.ColumnBytes(0);
}

void CSqliteDb::ReleaseMemory()
{
    if (m_conn) sqlite3_db_release_memory(m_conn.get());
}

SqliteCachedStatement::SqliteCachedStatement(SqliteCachedStatement&& o) noexcept
    : m_db(std::exchange(o.m_db, nullptr)), m_slot(o.m_slot), m_generation(o.m_generation),
      m_stmt(std::move(o.m_stmt))
{
}

SqliteCachedStatement::~SqliteCachedStatement()
{
    if (m_db) m_db->GiveBack(*this);
}

SqliteCachedStatement CSqliteDb::Cached(const char* sql)
{
    SqliteCachedStatement lent;
    if (!m_conn || !sql) return lent;
    size_t slot = 0;
    while (slot < m_cache.size() && m_cache[slot].sql != sql) ++slot;
    if (slot < m_cache.size() && m_cache[slot].stmt) {
        lent.m_stmt = std::move(m_cache[slot].stmt);
    } else {
        // Not compiled yet, or lent out already further up the stack (the library lock is
        // recursive): this use gets a statement of its own. A text that does not compile is not
        // kept, so that it compiles once its table exists.
        if (Prepare(sql, lent.m_stmt) != kSqliteOk || !lent.m_stmt) {
            lent.m_stmt.reset();
            return lent;
        }
        if (slot == m_cache.size()) m_cache.push_back({sql, SqliteStatement()});
    }
    lent.m_db = this;
    lent.m_slot = slot;
    lent.m_generation = m_generation;
    return lent;
}

void CSqliteDb::GiveBack(SqliteCachedStatement& lent)
{
    // Lent before the connection closed: the statement belongs to the old connection (which
    // SQLite keeps until its last statement goes) and is finalized, never kept for the new one.
    if (lent.m_generation != m_generation) return;
    // Reset, so that a read does not keep the file locked and a failed step does not stick;
    // cleared, so that no value of this use can reach the next one or stay held in memory.
    lent.m_stmt.Rewind();
    lent.m_stmt.ClearBindings();
    CacheEntry& entry = m_cache[lent.m_slot];
    if (!entry.stmt) entry.stmt = std::move(lent.m_stmt);
}

void CSqliteDb::Close()
{
    // Statements first: a connection closed with statements open lingers until they go.
    m_cache.clear();
    ++m_generation;
    m_conn.reset();
}

int CSqliteDb::BeginTransaction() { return Exec("begin transaction"); }

int CSqliteDb::CommitTransaction() { return Exec("commit transaction"); }

int CSqliteDb::RollbackTransaction() { return Exec("rollback transaction"); }

#include "store/ImportCheckpoints.h"

#include "store/CQvConf.h"
#include "store/CSqliteDb.h"

#include <sqlite3.h>

namespace {
// SQLite's own threshold, which the library's connection otherwise keeps.
constexpr int kAutoCheckpointPages = 1000;

bool KeepsLog(CSqliteDb& db)
{
    return db.JournalMode().compare("wal", Qt::CaseInsensitive) == 0;
}
} // namespace

ImportCheckpoints::ImportCheckpoints(std::recursive_mutex& lock, CQvConf& conf) : m_lock(lock), m_conf(conf)
{
    QString path;
    {
        std::lock_guard guard(m_lock);
        CSqliteDb* db = m_conf.LibraryDb();
        // A library left without its log (a save that could not bring it back) checkpoints nothing.
        if (!db || !db->IsOpen() || !KeepsLog(*db)) return;
        path = db->Path();
    }
    // Without a second connection the library's own checkpoints stay as they are.
    auto own = std::make_unique<CSqliteDb>(path);
    // A connection knows its file keeps a log only once it has read it.
    if (own->Open() != SQLITE_OK || own->Exec("SELECT count(*) FROM sqlite_master") != SQLITE_OK) return;
    m_own = std::move(own);
    std::lock_guard guard(m_lock);
    CSqliteDb* db = m_conf.LibraryDb();
    if (!db || !db->IsOpen()) return;
    m_conn = db->get();
    // The log's file keeps its largest size until it is restarted: it is cut back then, so the
    // import's larger log does not stay on disk.
    db->Exec("PRAGMA journal_size_limit=4194304");
    // The hook takes the place of the connection's automatic checkpoint and only counts.
    sqlite3_wal_hook(m_conn, &ImportCheckpoints::LogGrew, this);
}

ImportCheckpoints::~ImportCheckpoints()
{
    if (!m_own) return;
    CopyBack();
    std::lock_guard guard(m_lock);
    // Back to SQLite's own checkpoints, unless the connection was closed meanwhile (and its hook
    // with it).
    const CSqliteDb* db = m_conf.LibraryDb();
    if (m_conn && db && db->get() == m_conn) sqlite3_wal_autocheckpoint(m_conn, kAutoCheckpointPages);
}

void ImportCheckpoints::AfterBatch()
{
    if (m_own && m_logPages.load(std::memory_order_relaxed) >= kLogPages) CopyBack();
}

void ImportCheckpoints::CopyBack()
{
    // A passive checkpoint waits for nobody: the window reads and writes on meanwhile, and the
    // next commit starts the log from its beginning once every page of it is in the file.
    if (sqlite3_wal_checkpoint_v2(m_own->get(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr) == SQLITE_OK)
        m_logPages.store(0, std::memory_order_relaxed);
}

int ImportCheckpoints::LogGrew(void* self, sqlite3*, const char*, int pages)
{
    static_cast<ImportCheckpoints*>(self)->m_logPages.store(pages, std::memory_order_relaxed);
    return SQLITE_OK;
}

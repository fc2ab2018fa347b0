#pragma once
#include <atomic>
#include <memory>
#include <mutex>

class CQvConf;
class CSqliteDb;

// Copies an import's write-ahead log back into the library file from a connection of its own,
// between batches and outside the library lock, instead of inside a batch's commit under it.
// The log is let grow to kLogPages first, so an index page that several batches rewrote is
// copied back once; the log stays bounded (kLogPages and one batch), every committed batch is
// in it or in the file, and when the import ends the library's connection checkpoints by
// itself again.
class ImportCheckpoints {
public:
    static constexpr int kLogPages = 10000;

    // `lock` guards the library's connection; taken here and when done, never while copying.
    ImportCheckpoints(std::recursive_mutex& lock, CQvConf& conf);
    ~ImportCheckpoints();
    ImportCheckpoints(const ImportCheckpoints&) = delete;
    ImportCheckpoints& operator=(const ImportCheckpoints&) = delete;

    // After a batch's commit, without the lock held.
    void AfterBatch();

private:
    void CopyBack();
    static int LogGrew(void* self, struct sqlite3* db, const char* name, int pages);

    std::recursive_mutex& m_lock;
    CQvConf& m_conf;
    struct sqlite3* m_conn = nullptr; // the library's connection, while its hook is ours
    std::unique_ptr<CSqliteDb> m_own;
    std::atomic<int> m_logPages {0};
};

#include "store/CMediaLibrary.h"

#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"
#include "store/IQvNode.h"
#include "store/LibraryRows.h"
#include "store/Schema.h"
#include "store/TrackRow.h"

#include "model/CQvMusic.h"
#include "model/TrackInfo.h"

#include "base/CodePage.h"
#include "base/DebugLog.h"
#include "base/FileName.h"
#include "base/Worker.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QHash>
#include <QScopeGuard>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <thread>

#include <cerrno>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kSelectMusicOpt = "SELECT Gid, Rank, Totle, Year, Month, Day, Hour, Minute FROM MusicOpt";
const char* const kCountMusicOpt = "SELECT count(*) FROM MusicOpt";
const char* const kInsertMusicOpt =
    "INSERT INTO MusicOpt (Gid, Rank, Totle, Year, Month, Day, Hour, Minute)VALUES (?, ?, ?, ?, ?, ?, ?, ?)";
const char* const kUpdateMusicOpt =
    "UPDATE MusicOpt SET Rank=?,Totle=?,Year=?,Month=?,Day=?,Hour=?,Minute=? WHERE Gid=?";

bool IsOpen(const CSqliteDb* db) { return db && db->IsOpen(); }

// What looking for a track's file found.
enum FileLook : char { kFilePresent, kFileMissing, kFileUnreachable };

FileLook LookForFile(const QString& path)
{
    struct stat st {};
    if (::stat(FileNameBytes(path).constData(), &st) == 0) return S_ISDIR(st.st_mode) ? kFileMissing : kFilePresent;
    // Only "no such file" says the file is gone; a denied folder, an I/O error or a stale share
    // says nothing about it.
    return errno == ENOENT ? kFileMissing : kFileUnreachable;
}

// The mount points the system table names: when its disk is not mounted, such a folder stays
// behind, present and empty.
const QSet<QString>& TableMountPoints()
{
    static const QSet<QString> points = [] {
        QSet<QString> out;
        QFile fstab(QStringLiteral("/etc/fstab"));
        if (!fstab.open(QIODevice::ReadOnly)) return out;
        while (!fstab.atEnd()) {
            const QByteArray line = fstab.readLine().trimmed();
            if (line.isEmpty() || line.startsWith('#')) continue;
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() < 2) continue;
            QByteArray point = fields[1];
            point.replace("\\040", " ").replace("\\011", "\t");
            QString folder = QFile::decodeName(point);
            while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
            out.insert(folder);
        }
        return out;
    }();
    return points;
}

// Whether a file reported missing in `folder` was really removed: the folder is there, can be
// read, still holds something, and is not where a disk is (or would be) mounted. A disk that is
// not mounted leaves its mount folder behind, empty.
bool FolderSaysRemoved(const QString& folder)
{
    const QByteArray name = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    if (::access(name.constData(), R_OK | X_OK) != 0) return false;
    struct stat up {};
    if (::stat((name + "/..").constData(), &up) != 0) return false;
    if (up.st_dev != st.st_dev || up.st_ino == st.st_ino) return false; // the root of a mount
    if (TableMountPoints().contains(folder)) return false;
    return !QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

bool WasRemoved(const QString& path, QHash<QString, bool>& folders)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0) return false;
    const QString folder = path.left(slash);
    const auto it = folders.constFind(folder);
    if (it != folders.constEnd()) return *it;
    const bool removed = FolderSaysRemoved(folder);
    folders.insert(folder, removed);
    return removed;
}

// The regular files a large folder holds, read from its listing in one go: one look per
// folder instead of one per file. A folder that cannot be listed or searched settles nothing.
constexpr size_t kListedFolderFrom = 8;

// Settles the tracks of one folder (`wanted`: each file's name, UTF-8, and its track's index)
// from the folder's listing; the indexes the listing did not settle are left in `wanted`.
void SettleFromListing(const QByteArray& folder, QHash<QByteArray, size_t>& wanted)
{
    if (::access(folder.constData(), X_OK) != 0) return;
    DIR* dir = ::opendir(folder.constData());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        // A link or an entry of unknown kind is looked at by itself.
        if (entry->d_type != DT_REG) continue;
        wanted.remove(QByteArray::fromRawData(entry->d_name, qsizetype(std::strlen(entry->d_name))));
        if (wanted.isEmpty()) break;
    }
    ::closedir(dir);
}

// Paths taken from the tracks to be looked for away from the lock: a shared folder is taken as
// shared, and the rest of every path is in one block of characters, so a large library's paths
// are a few allocations given back whole, not one per track left among what the window
// allocates meanwhile.
class PathList {
public:
    void Reserve(size_t count, qsizetype chars)
    {
        m_entries.reserve(count);
        m_chars.reserve(chars);
    }
    void Add(const TrackPath& path)
    {
        m_chars.append(path.Rest());
        m_entries.push_back({path.Folder(), m_chars.size()});
    }
    size_t size() const { return m_entries.size(); }
    bool IsEmpty(size_t i) const { return Rest(i).isEmpty(); }
    QStringView Directory(size_t i) const { return TrackPath::DirectoryOf(m_entries[i].folder, Rest(i)); }
    QStringView FileName(size_t i) const { return TrackPath::FileNameOf(m_entries[i].folder, Rest(i)); }
    QString Text(size_t i) const { return TrackPath::TextOf(m_entries[i].folder, Rest(i)); }

private:
    struct Entry {
        TrackText folder;
        qsizetype end;
    };
    QStringView Rest(size_t i) const
    {
        const qsizetype begin = i == 0 ? 0 : m_entries[i - 1].end;
        return QStringView(m_chars).sliced(begin, m_entries[i].end - begin);
    }

    QString m_chars;
    std::vector<Entry> m_entries;
};

// Looks for each local file (an empty path is not looked for). A folder that holds many of them
// is listed once; a file its listing does not show as a regular file (gone, a link, a name that
// is not UTF-8, a folder that cannot be listed) is looked for by itself.
std::vector<char> LookForLocalFiles(const PathList& paths)
{
    std::vector<char> found(paths.size(), kFilePresent);
    struct Folder {
        QByteArray name;
        std::vector<size_t> tracks;
    };
    std::vector<Folder> folders;
    {
        // Grouped by the text of the folder; only each folder's own name is encoded.
        QHash<QStringView, size_t> index;
        for (size_t i = 0; i < paths.size(); ++i) {
            if (paths.IsEmpty(i)) continue;
            const QStringView folder = paths.Directory(i);
            auto it = index.find(folder);
            if (it == index.end()) {
                it = index.insert(folder, folders.size());
                folders.push_back({QFile::encodeName(folder.toString()), {}});
            }
            folders[*it].tracks.push_back(i);
        }
    }
    auto check = [&](const Folder& folder) {
        std::vector<size_t> alone;
        if (folder.tracks.size() >= kListedFolderFrom && !folder.name.isEmpty()) {
            QHash<QByteArray, size_t> wanted;
            wanted.reserve(qsizetype(folder.tracks.size()));
            for (size_t i : folder.tracks) {
                const QByteArray name = QFile::encodeName(paths.FileName(i).toString());
                if (wanted.contains(name)) alone.push_back(i);
                else wanted.insert(name, i);
            }
            SettleFromListing(folder.name, wanted);
            for (size_t i : std::as_const(wanted)) alone.push_back(i);
        } else {
            alone = folder.tracks;
        }
        for (size_t i : alone) found[i] = LookForFile(paths.Text(i));
    };
    const size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    std::atomic<size_t> next {0};
    auto work = [&] {
        for (size_t f; (f = next.fetch_add(1)) < folders.size();) check(folders[f]);
    };
    if (paths.size() < 2000 || threads == 1) {
        work();
        return found;
    }
    std::vector<std::thread> workers;
    for (size_t t = 1; t < threads; ++t) workers.emplace_back(work);
    work();
    for (std::thread& w : workers) w.join();
    return found;
}

// Which of a service song's rows is the library's track and which are its duplicates depends on
// which files are there: the local files of rows that share a service key with another row are
// looked for at once, the others' are left to CheckTrackFiles. kFilePresent for every other row.
std::vector<char> LookForSharedKeyFiles(const std::vector<TrackRef>& rows)
{
    TextKeyMap<int> keys;
    for (const TrackRef& row : rows)
        if (const QString key = ServiceKey(row.get()); !key.isEmpty()) ++keys[key];
    std::vector<size_t> looked;
    PathList paths;
    for (size_t r = 0; r < rows.size() && !keys.empty(); ++r) {
        const TrackInfo& info = *rows[r]->GetInfo();
        if (!info.NSrc.isEmpty() || info.LSrc.isEmpty()) continue;
        const QString key = ServiceKey(rows[r].get());
        if (key.isEmpty() || keys[key] < 2) continue;
        looked.push_back(r);
        paths.Add(info.LSrc);
    }
    std::vector<char> found(rows.size(), kFilePresent);
    const std::vector<char> verdicts = LookForLocalFiles(paths);
    for (size_t i = 0; i < looked.size(); ++i) found[looked[i]] = verdicts[i];
    return found;
}

// The connection's page cache size as "PRAGMA cache_size" gives it (SQLite's default when it
// cannot be read).
int CacheSize(CSqliteDb& db)
{
    SqliteStatement stmt;
    if (db.Prepare("PRAGMA cache_size", stmt) != kSqliteOk || stmt.Step() != kSqliteRow) return -2000;
    return stmt.ColumnInt(0);
}

// Sets the connection's journal mode; whether it holds `mode` afterwards.
bool SetJournalMode(CSqliteDb& db, const char* mode)
{
    return db.JournalMode(mode).compare(mode, Qt::CaseInsensitive) == 0;
}

} // namespace

CMediaLibrary::CMediaLibrary(CQvMediaStore& store, CQvConf& conf)
    : m_store(store), m_conf(conf), m_rowValues(std::make_unique<CTrackRowValues>())
{
}

CMediaLibrary::~CMediaLibrary() = default;

CMediaLibrary::CMediaLibrary() : CMediaLibrary(CQvMediaStore::Instance(), CQvConf::Instance()) {}

void CMediaLibrary::SetTreeHooks(ITreeHooks* hooks)
{
    std::lock_guard lock(m_mutex);
    m_pHooks = hooks;
}

void CMediaLibrary::SetStorageFailureHandler(StorageFailure handler)
{
    std::lock_guard lock(m_mutex);
    m_onFailure = std::move(handler);
}

void CMediaLibrary::WriteFailed(int rc, const char* what)
{
    // An import on a full disk fails row after row: the log takes the first ones and then every
    // hundredth.
    if (m_nFailures < 20 || m_nFailures % 100 == 0)
        WriteDebugLogA("%s not stored: %s (%d failed writes so far)", what, sqlite3_errstr(rc), m_nFailures + 1);
    ++m_nFailures;
    if (m_onFailure) m_onFailure(rc);
}

CSqliteDb* CMediaLibrary::Statistics()
{
    CSqliteDb* db = m_conf.StatisticsDb();
    if (!IsOpen(db)) db = m_conf.OpenStatisticsDb();
    return IsOpen(db) ? db : nullptr;
}

CSqliteDb* CMediaLibrary::Tree()
{
    CSqliteDb* db = m_conf.TreeDb();
    if (!IsOpen(db)) db = m_conf.OpenTreeDb();
    return IsOpen(db) ? db : nullptr;
}

int CMediaLibrary::Insert(CSqliteDb* db, bool temp, CQvMusic* track)
{
    if (!IsOpen(db) || !track || !track->GetInfo()) return -1;
    const TrackInfo& info = *track->GetInfo();
    CTrackRowValues& values = *m_rowValues;
    // A track as its file gave it binds only what the file filled.
    const bool fromFile = FitsFileTrackInsert(info);
    SqliteCachedStatement stmt =
        db->Cached(fromFile ? FileTrackInsertStatement(temp) : temp ? kInsertTempMusic : kInsertAllMusic);
    if (!stmt) return -1;
    const unsigned state = track->GetState();
    if ((fromFile ? values.BindFileInsert(*stmt, info, state) : values.BindInsert(*stmt, info, state)) != kSqliteOk)
        return -1;
    const int rc = stmt->Step();
    if (rc == kSqliteDone) return 0;
    if ((rc & 0xff) != kSqliteConstraint) WriteFailed(rc, "a track row");
    return -1;
}

// ---- tracks ----

int CMediaLibrary::LoadTracks(bool checkFiles)
{
    std::lock_guard lock(m_mutex);
    if (!m_conf.LibraryDb() && !QFileInfo::exists(m_conf.DataDir() + QLatin1String(kLibraryDbName))) return -1;
    m_conf.OpenAllMissing();
    CSqliteDb* db = m_conf.LibraryDb();
    if (!IsOpen(db)) return -1;

    // Every row first, then added in row order.
    std::vector<TrackRef> rows;
    if (!ReadLibraryRows(*db, rows)) return -1;
    const std::vector<char> shared = LookForSharedKeyFiles(rows);
    std::vector<QString> purge;
    QHash<QString, bool> folders;
    m_store.BeginLoad(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        CQvMusic* track = rows[r].get();
        const TrackInfo& info = *track->GetInfo();
        // A row without any source, or a removed one that only streamed, goes; a local file is
        // looked for by CheckTrackFiles, unless its service song has other rows too.
        bool gone = info.NSrc.isEmpty() ? info.LSrc.isEmpty() : (track->GetState() & STATE_REMOVED) != 0;
        if (!gone && shared[r] != kFilePresent) {
            if (shared[r] == kFileUnreachable || !WasRemoved(info.LSrc, folders)) continue; // kept, left out
            gone = true;
        }
        if (gone) {
            track->AddState(STATE_DELETED_WITH_FILE);
            purge.push_back(info.Gid);
            continue;
        }
        m_store.Add(track);
    }
    m_store.EndLoad();
    rows.clear();
    if (!purge.empty()) {
        SqliteTransaction tx(*db);
        for (const QString& gid : purge) db->RunCached(kDeleteAllMusic, gid);
        tx.Commit();
    }

    CSqliteDb* temp = m_conf.TempDb();
    if (IsOpen(temp)) {
        SqliteStatement stmt;
        if (temp->Prepare(kSelectTempMusic, stmt) == kSqliteOk)
            while (stmt.Step() == kSqliteRow)
                if (TrackRef track = TrackFromRow(stmt)) m_store.PutStoredTemp(track.get());
    }
    // The read of every row filled the library's page cache (two megabytes by default) with
    // pages the single-row writes of a session rarely touch again.
    db->ReleaseMemory();
    if (IsOpen(temp)) temp->ReleaseMemory();
    if (checkFiles) CheckTrackFiles();
    return static_cast<int>(m_store.LibraryTracks().size());
}

int CMediaLibrary::CheckTrackFiles()
{
    // The paths are taken under the lock and looked for without it: the window goes on while a
    // large library's folders are read.
    std::vector<TrackRef> tracks;
    PathList paths;
    {
        std::lock_guard lock(m_mutex);
        const auto lists = {static_cast<const MemberList*>(&m_store.LibraryTracks()), &m_store.TempTracks()};
        auto looked = [](const CQvMusic* track) {
            const TrackInfo* info = track->GetInfo();
            return info && info->NSrc.isEmpty() && !info->LSrc.isEmpty() ? info : nullptr;
        };
        size_t count = 0;
        qsizetype chars = 0;
        for (const MemberList* list : lists)
            for (const CQvMusic* track : *list)
                if (const TrackInfo* info = looked(track)) {
                    ++count;
                    chars += info->LSrc.Rest().size();
                }
        tracks.reserve(count);
        paths.Reserve(count, chars);
        for (const MemberList* list : lists)
            for (CQvMusic* track : *list)
                if (const TrackInfo* info = looked(track)) {
                    tracks.emplace_back(track);
                    paths.Add(info->LSrc);
                }
    }
    const std::vector<char> found = LookForLocalFiles(paths);
    std::vector<char> removed(found.size(), 0);
    QHash<QString, bool> folders;
    for (size_t i = 0; i < found.size(); ++i)
        if (found[i] == kFileMissing) removed[i] = WasRemoved(paths.Text(i), folders);

    // A shutdown meanwhile closes the files: what was found waits for the next start.
    if (IsExiting()) return 0;
    std::lock_guard lock(m_mutex);
    TrackSet gone;
    std::vector<QString> purge;
    for (size_t i = 0; i < found.size(); ++i) {
        if (found[i] == kFilePresent) continue;
        CQvMusic* track = tracks[i].get();
        const TrackInfo* info = track->GetInfo();
        // A track the store let go of meanwhile, or one pointed at another file since, is not
        // this check's to judge.
        if (!info || info->LSrc != paths.Text(i) || m_store.FindTrack(info->Gid, 0) != track) continue;
        // A file only out of reach keeps its row: the track comes back with its disk or folder.
        gone.insert(track);
        if (!removed[i]) continue;
        track->AddState(STATE_DELETED_WITH_FILE);
        purge.push_back(info->Gid);
    }
    if (gone.empty()) return 0;
    m_store.Forget(gone);
    auto forget = [&gone](auto&& self, IQvNode* node) -> void {
        node->RemoveTracks(gone);
        for (IQvNode* child : node->Children()) self(self, child);
    };
    for (int i = 0; i < m_store.TopNodeCount(); ++i) forget(forget, m_store.GetTopNode(i));
    CSqliteDb* db = m_conf.LibraryDb();
    if (!purge.empty() && IsOpen(db)) {
        SqliteTransaction tx(*db);
        for (const QString& gid : purge) db->RunCached(kDeleteAllMusic, gid);
        tx.Commit();
    }
    return static_cast<int>(gone.size());
}

int CMediaLibrary::LoadStatistics()
{
    std::lock_guard lock(m_mutex);
    CSqliteDb* db = Statistics();
    if (!db) return -1;
    SqliteStatement stmt;
    if (db->Prepare(kCountMusicOpt, stmt) == kSqliteOk && stmt.Step() == kSqliteRow)
        m_store.ReserveStatistics(size_t(std::max(0, stmt.ColumnInt(0))));
    if (db->Prepare(kSelectMusicOpt, stmt) != kSqliteOk) return -1;
    int rows = 0;
    while (stmt.Step() == kSqliteRow) {
        ++rows;
        const QString gid = stmt.ColumnText(0);
        PlayStatistic s;
        s.Rank = stmt.ColumnInt(1);
        s.Totle = stmt.ColumnInt(2);
        s.Year = stmt.ColumnInt(3);
        s.Month = stmt.ColumnInt(4);
        s.Day = stmt.ColumnInt(5);
        s.Hour = stmt.ColumnInt(6);
        s.Minute = stmt.ColumnInt(7);
        CQvMusic* track = m_store.FindTrack(gid, 0);
        if (!track) track = m_store.FindStoredTemp(gid);
        m_store.PutStatistic(gid, s);
        if (!track) continue;
        track->GetInfo()->PlayCount = s.Totle;
        if (s.Totle > 10) m_store.AddMostPlayed(track, true);
    }
    // As after the library's rows: a play's write touches a page or two, not the whole table.
    stmt.reset();
    db->ReleaseMemory();
    return rows;
}

int CMediaLibrary::AddTrack(CQvMusic* track)
{
    std::lock_guard lock(m_mutex);
    const int added = m_store.Add(track);
    if (added == 1 && IsOpen(m_conf.LibraryDb())) Insert(m_conf.LibraryDb(), false, track);
    return added;
}

int CMediaLibrary::SaveAllTracks()
{
    std::lock_guard lock(m_mutex);
    CSqliteDb* db = m_conf.LibraryDb();
    if (!IsOpen(db)) db = m_conf.OpenLibraryDb();
    if (!IsOpen(db)) return -1;
    // Every row lands on a page of the Gid index anywhere in the file: with the default cache
    // the pages spill into the log again and again before the commit. The whole write is held
    // in memory instead, and the cache goes back to its size afterwards.
    const int cacheSize = CacheSize(*db);
    db->Exec("PRAGMA cache_size=-65536");
    const auto restore = qScopeGuard([&] {
        db->Exec(QByteArray("PRAGMA cache_size=").append(QByteArray::number(cacheSize)).constData());
    });
    // A row that is already stored keeps its AddTime: only the tracks without one are written.
    QSet<QByteArray> stored;
    {
        SqliteStatement stmt;
        if (db->Prepare(kSelectAllMusicGids, stmt) == kSqliteOk)
            while (stmt.Step() == kSqliteRow) stored.insert(stmt.ColumnBytes(0));
    }
    // A file without rows (the first save makes it) is written in place under a rollback journal
    // of its few pages, not first into the log and then copied from there: half the writing, and
    // one flush of the whole file fewer. The journal is flushed before the file is touched, so a
    // failure or a kill still leaves no row of the write. The log comes back for the writes after.
    const bool inPlace = stored.isEmpty() && SetJournalMode(*db, "delete");
    if (inPlace) db->Exec("PRAGMA synchronous=FULL");
    const auto backToLog = qScopeGuard([&] {
        if (!inPlace) return;
        // Without the log, the journal keeps its full flushes: a power cut between two of them
        // must not damage the file.
        if (SetJournalMode(*db, "wal"))
            db->Exec("PRAGMA synchronous=NORMAL");
        else
            WriteDebugLogA("SaveAllTracks: the library is left without its write-ahead log until the next start");
    });
    SqliteTransaction tx(*db);
    if (!tx.Started()) return -1;
    // The rows of one save are stored at one moment: after a restart, ties of AddTime keep the
    // order they were written in, whatever second the clock turned over during the write.
    QByteArray now;
    {
        SqliteStatement stmt;
        if (db->Prepare(kLocalTimeNow, stmt) != kSqliteOk || stmt.Step() != kSqliteRow) return -1;
        now = stmt.ColumnBytes(0);
    }
    {
        SqliteCachedStatement stmt = db->Cached(kInsertAllMusicAt);
        if (!stmt) return -1;
        CTrackRowValues values(*stmt);
        for (CQvMusic* track : m_store.LibraryTracks()) {
            if (!stored.isEmpty() && stored.contains(ToAnsi(track->GetInfo()->Gid))) continue;
            stmt->Rewind();
            if (values.BindInsertAt(*stmt, now, *track->GetInfo(), track->GetState()) != kSqliteOk) return -1;
            const int rc = stmt->Step();
            // A row that is already stored keeps its AddTime; anything else (a full disk) undoes
            // the whole write.
            if (rc != kSqliteDone && (rc & 0xff) != kSqliteConstraint) {
                WriteFailed(rc, "the library's rows");
                return -1;
            }
        }
    }
    const int rc = tx.Commit();
    if (rc != kSqliteOk) WriteFailed(rc, "the library's rows");
    return rc == kSqliteOk ? 0 : -1;
}

int CMediaLibrary::InsertTempTrack(CQvMusic* track)
{
    std::lock_guard lock(m_mutex);
    return Insert(m_conf.TempDb(), true, track);
}

int CMediaLibrary::UpdateTrack(CQvMusic* track)
{
    std::lock_guard lock(m_mutex);
    if (!track || !track->GetInfo()) return -1;
    const bool library = m_store.FindTrack(track->GetInfo()->Gid, 0) != nullptr;
    CSqliteDb* db = library ? m_conf.LibraryDb() : m_conf.TempDb();
    if (!IsOpen(db)) return -1;
    CTrackRowValues values;
    SqliteCachedStatement stmt = db->Cached(library ? kUpdateAllMusic : kUpdateTempMusic);
    if (!stmt || values.BindUpdate(*stmt, *track->GetInfo(), track->GetState()) != kSqliteOk) return -1;
    const int rc = stmt->Step();
    if (rc == kSqliteDone) return 0;
    WriteFailed(rc, "a track's change");
    return -1;
}

int CMediaLibrary::RemoveTrack(CQvMusic* track)
{
    std::lock_guard lock(m_mutex);
    if (!track || !track->GetInfo()) return 0;
    track->AddState(STATE_REMOVED);
    UpdateTrack(track);
    m_store.MoveToTemp(track);
    return 1;
}

int CMediaLibrary::RestoreTrack(CQvMusic* track)
{
    std::lock_guard lock(m_mutex);
    if (!track || !track->GetInfo()) return 0;
    track->AddState(STATE_IN_LIBRARY);
    track->RemoveState(STATE_REMOVED | STATE_DELETED_WITH_FILE);
    UpdateTrack(track);
    m_store.MoveToLibrary(track);
    return 1;
}

int CMediaLibrary::RecordPlay(CQvMusic* track)
{
    std::lock_guard lock(m_mutex);
    if (!track || !track->GetInfo()) return -1;
    TrackInfo& info = *track->GetInfo();
    CQvMusic* entry = m_store.FindTrack(info.Gid, 0);
    if (!entry) entry = m_store.FindStoredTemp(info.Gid);
    if (!entry || (entry->GetState() & STATE_REMOVED)) return -1;
    CSqliteDb* db = Statistics();
    if (!db) return -1;

    PlayStatistic s;
    m_store.GetStatistic(info.Gid, s);
    const QDateTime now = QDateTime::currentDateTime();
    s.Year = now.date().year();
    s.Month = now.date().month();
    s.Day = now.date().day();
    s.Hour = now.time().hour();
    s.Minute = now.time().minute();
    s.Rank = s.Rank < 0 ? 1 : s.Rank + 1;
    s.Totle += 1;

    const QString key = info.Gid.isEmpty() ? info.Rare().CmsID.str() : info.Gid.Text();
    if (db->RunCached(kInsertMusicOpt, key, s.Rank, s.Totle, s.Year, s.Month, s.Day, s.Hour, s.Minute) != kSqliteOk) {
        const int rc = db->RunCached(kUpdateMusicOpt, s.Rank, s.Totle, s.Year, s.Month, s.Day, s.Hour, s.Minute, key);
        if (rc != kSqliteOk) WriteFailed(rc, "a play count");
    }

    m_store.PutStatistic(info.Gid, s);
    info.PlayCount = s.Totle;
    if (entry != track) entry->GetInfo()->PlayCount = s.Totle;
    OfferToLists(track, 4);
    return 0;
}

// ---- lists ----

int CMediaLibrary::OfferToLists(CQvMusic* track, int type)
{
    std::lock_guard lock(m_mutex);
    if (!track || !m_pHooks) return 0;
    return m_pHooks->OfferToLists(track, type);
}

int CMediaLibrary::OfferToLists(const std::vector<CQvMusic*>& tracks, int type)
{
    std::lock_guard lock(m_mutex);
    if (!m_pHooks) return 0;
    for (CQvMusic* track : tracks)
        if (!track) return 0;
    return m_pHooks->OfferManyToLists(tracks, type);
}

namespace {

// A TreeList row of the list `key` for each of `gids`, written in their order; stops at the
// first that fails.
int InsertListRows(CSqliteDb& db, const QString& key, const std::vector<QString>& gids)
{
    SqliteCachedStatement stmt = db.Cached(kInsertTreeList);
    if (!stmt) return kSqliteError;
    if (stmt->ParameterCount() != 2) return BindCountMismatch(*stmt, 2);
    // The list's key is bound once: a bound value stays from one row to the next.
    int rc = BindValue(stmt->get(), 1, key);
    for (auto gid = gids.begin(); rc == kSqliteOk && gid != gids.end(); ++gid) {
        stmt->Rewind();
        if ((rc = BindValue(stmt->get(), 2, *gid)) != kSqliteOk) break;
        rc = stmt->Step();
        if (rc == kSqliteDone) rc = kSqliteOk;
    }
    return rc;
}

} // namespace

int CMediaLibrary::AddTrackToList(IQvNode* node, CQvMusic* track) { return AddTracksToList(node, {track}); }

int CMediaLibrary::AddTracksToList(IQvNode* node, const std::vector<CQvMusic*>& tracks)
{
    std::lock_guard lock(m_mutex);
    if (!node || tracks.empty()) return -1;
    for (const CQvMusic* track : tracks)
        if (!track || !track->GetInfo()) return -1;
    CSqliteDb* db = Tree();
    if (!db) return -1;
    std::vector<QString> gids;
    gids.reserve(tracks.size());
    for (const CQvMusic* track : tracks) gids.push_back(track->GetInfo()->Gid);
    const int rc = InsertListRows(*db, ListKey(node), gids);
    if (rc != kSqliteOk) WriteFailed(rc, "a list's member");
    return rc == kSqliteOk ? 0 : -1;
}

int CMediaLibrary::RemoveTrackFromList(IQvNode* node, CQvMusic* track)
{
    std::lock_guard lock(m_mutex);
    if (!node || !track || !track->GetInfo()) return -1;
    CSqliteDb* db = Tree();
    if (!db) return -1;
    db->Run(kDeleteTreeListMember, ListKey(node), track->GetInfo()->Gid);
    node->RemoveTrack(track);
    return 0;
}

int CMediaLibrary::RemoveTrackFromAllLists(CQvMusic* track)
{
    std::lock_guard lock(m_mutex);
    if (!track || !track->GetInfo()) return -1;
    CSqliteDb* db = Tree();
    if (!db) return -1;
    const QString gid = track->GetInfo()->Gid;
    // Service lists (3) and held-back nodes (5) are left alone with everything below them;
    // only lists without children hold members.
    auto visit = [&](auto&& self, IQvNode* node) -> void {
        if (node->GetType() == 3 || node->GetType() == 5) return;
        if (node->ChildCount() > 0) {
            for (IQvNode* child : node->Children()) self(self, child);
            return;
        }
        if (!node->TrackIndex().Contains(gid)) return;
        db->Run(kDeleteTreeListByGid, gid);
        node->RemoveTrack(track);
    };
    for (int i = 0; i < m_store.TopNodeCount(); ++i) visit(visit, m_store.GetTopNode(i));
    return 0;
}

int CMediaLibrary::SaveListMembers(IQvNode* node)
{
    std::lock_guard lock(m_mutex);
    if (!node) return -1;
    CSqliteDb* db = Tree();
    if (!db) return -1;
    const int rc = WriteListMembers(*db, node);
    if (rc != kSqliteOk) WriteFailed(rc, "a list's members");
    return rc == kSqliteOk ? 0 : -1;
}

int CMediaLibrary::WriteListMembers(CSqliteDb& db, IQvNode* node)
{
    const QString key = ListKey(node);
    SqliteTransaction tx(db);
    if (!tx.Started()) return kSqliteError;
    // Only what changed is written: a stored member that this start did not load (its disk or
    // share is away) is not among the members in memory and must keep its row.
    std::map<QString, int> stored;
    {
        SqliteStatement stmt;
        int rc = db.Prepare(kSelectTreeListByKey, stmt);
        if (rc != kSqliteOk || (rc = Bind(stmt, key)) != kSqliteOk) return rc;
        while ((rc = stmt.Step()) == kSqliteRow) ++stored[stmt.ColumnText(1)];
        if (rc != kSqliteDone) return rc;
    }
    for (const auto& [gid, count] : stored) {
        const CQvMusic* member = node->TrackIndex().Find(gid);
        const bool wanted = member && !(member->GetState() & STATE_REMOVED);
        // A row of a track the store knows but the list does not hold was taken out; a row of
        // a track the store does not know stays until its track is loaded again.
        const bool known = m_store.FindTrack(gid, 0) || m_store.FindStoredTemp(gid);
        if (wanted ? count == 1 : !known) continue;
        if (const int rc = db.RunCached(kDeleteTreeListMember, key, gid); rc != kSqliteOk) return rc;
        if (!wanted) continue;
        if (const int rc = db.RunCached(kInsertTreeList, key, gid); rc != kSqliteOk) return rc;
    }
    std::vector<QString> added;
    for (const CQvMusic* track : node->TrackIndex())
        if (!(track->GetState() & STATE_REMOVED) && !stored.count(track->GetInfo()->Gid))
            added.push_back(track->GetInfo()->Gid);
    // New rows go in Gid order, as the members were always written; the index has no order.
    std::sort(added.begin(), added.end());
    if (const int rc = InsertListRows(db, key, added); rc != kSqliteOk) return rc;
    return tx.Commit();
}

int CMediaLibrary::SaveNode(IQvNode* node, const QString& newName)
{
    std::lock_guard lock(m_mutex);
    if (!node) return -1;
    CSqliteDb* db = Tree();
    if (!db) return -1;
    const QString key = NodeKey(node);
    const QString name = node->GetName();
    // The stored row is found ignoring case; it is then updated under the name it really has.
    QString storedName;
    bool exists = false;
    {
        SqliteStatement stmt;
        if (db->Prepare(kSelectTreeNodeByKey, stmt) != kSqliteOk || Bind(stmt, key) != kSqliteOk) return -1;
        while (!exists && stmt.Step() == kSqliteRow) {
            storedName = stmt.ColumnText(2);
            exists = storedName.compare(name, Qt::CaseInsensitive) == 0;
        }
    }
    const QString written = newName.isEmpty() ? name : newName;
    const int rc = exists ? db->Run(kUpdateTreeNode, node->GetId(), written, node->GetCondition(), node->GetEdit(),
                                    node->GetType(), node->GetIconId(), key, storedName)
                          : db->Run(kInsertTreeNode, key, node->GetId(), written, node->GetCondition(),
                                    node->GetEdit(), node->GetType(), node->GetIconId());
    return rc == kSqliteOk ? 0 : -1;
}

int CMediaLibrary::LoadTree()
{
    std::lock_guard lock(m_mutex);
    return m_pHooks ? m_pHooks->LoadTree() : -1;
}

int CMediaLibrary::SaveTree()
{
    std::lock_guard lock(m_mutex);
    return m_pHooks ? m_pHooks->SaveTree() : -1;
}

int CMediaLibrary::RegisterNode(IQvNode* node)
{
    std::lock_guard lock(m_mutex);
    return m_store.RegisterNode(node) ? 1 : 0;
}

int CMediaLibrary::UnregisterNode(const QString& name)
{
    std::lock_guard lock(m_mutex);
    const bool known = m_store.FindNode(name) != nullptr;
    m_store.UnregisterNode(name);
    return known ? 1 : 0;
}

int CMediaLibrary::RenameNodeKey(const QString& oldName, const QString& newName)
{
    std::lock_guard lock(m_mutex);
    return m_store.RenameNode(oldName, newName) ? 1 : 0;
}

int CMediaLibrary::SaveListOrder(IQvNode* node)
{
    std::lock_guard lock(m_mutex);
    if (!node) return -1;
    CSqliteDb* db = Tree();
    if (!db) return -1;
    const QString key = ListKey(node);
    SqliteTransaction tx(*db);
    if (!tx.Started()) return -1;
    // A list is read back in the order its rows were written: the members' rows are written
    // again in the members' order. Rows of tracks this start did not load are left as they are.
    std::vector<QString> members;
    for (const CQvMusic* track : node->Tracks())
        if (track && track->GetInfo() && !(track->GetState() & STATE_REMOVED)) members.push_back(track->GetInfo()->Gid);
    for (const QString& gid : members)
        if (db->Run(kDeleteTreeListMember, key, gid) != kSqliteOk) return -1;
    if (InsertListRows(*db, key, members) != kSqliteOk) return -1;
    return tx.Commit() == kSqliteOk ? 0 : -1;
}

int CMediaLibrary::PutInList(IQvNode* node, CQvMusic* track)
{
    std::lock_guard lock(m_mutex);
    if (!node || !track || !track->GetInfo()) return -1;
    if (node->TrackIndex().Contains(track->GetInfo()->Gid)) return 0;
    if (!node->OfferTrack(track, 1)) return -1;
    AddTrackToList(node, track);
    return 1;
}

#include "store/Schema.h"

#include "store/CSqliteDb.h"

#include "base/DebugLog.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

// The 49 column definitions of both track tables, in their order.
#define ORDEL_TRACK_COLUMNS                                                                       \
    "Gid nvchar(40) primary key not NULL,AddTime timestamp,ArtistSex interger,Frequency "         \
    "interger,TotleTime interger,BitRate interger,TrackNum interger,PlayCount interger,State "    \
    "interger,Lrc interger,Pic interger,Default1 interger,Default2 interger,Default3 "            \
    "interger,Default4 interger,Default5 interger,Default6 interger,Default7 interger,Default8 "  \
    "interger,Default9 interger,Default10 interger,AlbumID nvchar(128),Song nvchar(128),Artist "  \
    "nvchar(64),Sysid nvchar(40),CmsID nvchar(40),LSrc nvchar(260),NSrc nvchar(260),Album "       \
    "nvchar(50),Genre nvchar(50),ReleaseTime nvchar(30),DownloadID nvchar(40),Stereo "            \
    "nvchar(20),ArtistSpell nvchar(64),ArtistZone nvchar(30),AlbumType nvchar(30),AlbumSpell "    \
    "nvchar(30),SongZone nvchar(30),SongType nvchar(30),SongSort nvchar(30),SongNation "          \
    "nvchar(30),SongSpell nvchar(64),SongShort nvchar(30),AlbumShort nvchar(30),ArtistShort "     \
    "nvchar(30),TagInfo nvchar(64),Topic nvchar(64),PicFile nvchar(260),LrcFile nvchar(260)"

// The temporary table's statement separates its definitions with tab runs.
#define ORDEL_TRACK_COLUMNS_TABBED                                                                \
    "Gid nvchar(40) primary key not NULL,\t\t\tAddTime timestamp,\t\t\tArtistSex "                \
    "interger,\t\t\tFrequency interger,\t\t\tTotleTime interger,\t\t\tBitRate "                   \
    "interger,\t\t\tTrackNum interger,\t\t\tPlayCount interger,\t\t\tState interger,\t\t\tLrc "   \
    "interger,\t\t\tPic interger,\t\t\tDefault1 interger,\t\t\tDefault2 "                         \
    "interger,\t\t\tDefault3 interger,\t\t\tDefault4 interger,\t\t\tDefault5 "                    \
    "interger,\t\t\tDefault6 interger,\t\t\tDefault7 interger,\t\t\tDefault8 "                    \
    "interger,\t\t\tDefault9 interger,\t\t\tDefault10 interger,\t\t\tAlbumID "                    \
    "nvchar(128),\t\t\tSong nvchar(128),\t\t\tArtist nvchar(64),\t\t\tSysid "                     \
    "nvchar(40),\t\t\tCmsID nvchar(40),\t\t\tLSrc nvchar(260),\t\t\tNSrc "                        \
    "nvchar(260),\t\t\tAlbum nvchar(50),\t\t\tGenre nvchar(50),\t\t\tReleaseTime "                \
    "nvchar(30),\t\t\tDownloadID nvchar(40),\t\t\tStereo nvchar(20),\t\t\tArtistSpell "           \
    "nvchar(64),\t\t\tArtistZone nvchar(30),\t\t\tAlbumType nvchar(30),\t\t\tAlbumSpell "         \
    "nvchar(30),\t\t\tSongZone nvchar(30),\t\t\tSongType nvchar(30),\t\t\tSongSort "              \
    "nvchar(30),\t\t\tSongNation nvchar(30),\t\t\tSongSpell nvchar(64),\t\t\tSongShort "          \
    "nvchar(30),\t\t\tAlbumShort nvchar(30),\t\t\tArtistShort nvchar(30),\t\t\tTagInfo "          \
    "nvchar(64),\t\t\tTopic nvchar(64),\t\t\tPicFile nvchar(260),\t\t\tLrcFile nvchar(260)"

const char* const kCreateAllMusic = "create table IF NOT EXISTS AllMusic(" ORDEL_TRACK_COLUMNS ")";
const char* const kCreateTempMusic = "create table IF NOT EXISTS TempMusic(" ORDEL_TRACK_COLUMNS_TABBED ")";
const char* const kCreateMusicOpt =
    "create table IF NOT EXISTS MusicOpt(Gid nvchar(40) primary key not NULL,\t\t\tRank "
    "interger,\t\t\tTotle interger,\t\t\tYear interger,\t\t\tMonth interger,\t\t\tDay "
    "interger,\t\t\tHour interger,\t\t\tMinute interger)";
const char* const kCreateLyrics =
    "create table IF NOT EXISTS Lyrics(Gid nvchar(40) primary key not NULL, Lrc nvchar(8192))";
const char* const kCreateTreeNode =
    "create table IF NOT EXISTS TreeNode (Key nvchar(128) not NULL,\t\t\tId "
    "nvchar(64),\t\t\tName nvchar(128),\t\t\tCondition nvchar(128),\t\t\tEdit "
    "interger,\t\t\tType interger,\t\t\tIconId interger)";
const char* const kCreateTreeList =
    "create table IF NOT EXISTS TreeList (Key nvchar(40) not NULL, Gid nvchar(128))";

const char* const kInsertTreeNode =
    "INSERT INTO TreeNode (Key, Id, Name, Condition, Edit, Type, IconId) VALUES (?, ?, ?, ?, ?, ?, ?)";
const char* const kUpdateTreeNode =
    "UPDATE TreeNode SET Id=?,Name=?,Condition=?,Edit=?,Type=?,IconId=? WHERE Key=? AND Name=?";
const char* const kSelectTreeNodeByKey = "SELECT Key, Id, Name, Condition, Edit, Type, IconId FROM TreeNode WHERE Key=?";
const char* const kDeleteTreeNodeRow = "DELETE FROM TreeNode WHERE Key=? AND Name=?";
const char* const kInsertTreeList = "INSERT INTO TreeList (Key, Gid) VALUES (?, ?)";
const char* const kSelectTreeListByKey = "SELECT Key, Gid FROM TreeList WHERE Key=? ";
const char* const kDeleteTreeListByKey = "DELETE FROM TreeList WHERE Key=?";
const char* const kDeleteTreeListByGid = "DELETE FROM TreeList WHERE Gid=?";
const char* const kDeleteTreeListMember = "DELETE FROM TreeList WHERE Key=? AND Gid=?";
const char* const kMoveTreeList = "UPDATE TreeList SET Key=? WHERE Key=?";

const char* const kLibraryDbName = "AllMusic2.db";
const char* const kTempDbName = "TempMusic2.db";
const char* const kStatisticsDbName = "MusicOperate2.db";
const char* const kLyricsDbName = "Lyric2.db";
const char* const kTreeDbName = "Tree2.db";

namespace {

const std::initializer_list<const char*> kTrackColumnNames = {
    "Gid", "AddTime", "ArtistSex", "Frequency", "TotleTime", "BitRate", "TrackNum", "PlayCount",
    "State", "Lrc", "Pic", "Default1", "Default2", "Default3", "Default4", "Default5", "Default6",
    "Default7", "Default8", "Default9", "Default10", "AlbumID", "Song", "Artist", "Sysid", "CmsID",
    "LSrc", "NSrc", "Album", "Genre", "ReleaseTime", "DownloadID", "Stereo", "ArtistSpell",
    "ArtistZone", "AlbumType", "AlbumSpell", "SongZone", "SongType", "SongSort", "SongNation",
    "SongSpell", "SongShort", "AlbumShort", "ArtistShort", "TagInfo", "Topic", "PicFile", "LrcFile"};

} // namespace

struct TableSpec {
    const char* name;
    const char* create;
    std::vector<const char*> columns;
};

struct DbFileSpec {
    const char* fileName;
    std::vector<TableSpec> tables;
};

const DbFileSpec kLibraryDb {kLibraryDbName, {{"AllMusic", kCreateAllMusic, kTrackColumnNames}}};
const DbFileSpec kTempDb {kTempDbName, {{"TempMusic", kCreateTempMusic, kTrackColumnNames}}};
const DbFileSpec kStatisticsDb {
    kStatisticsDbName,
    {{"MusicOpt", kCreateMusicOpt, {"Gid", "Rank", "Totle", "Year", "Month", "Day", "Hour", "Minute"}}}};
const DbFileSpec kLyricsDb {kLyricsDbName, {{"Lyrics", kCreateLyrics, {"Gid", "Lrc"}}}};
const DbFileSpec kTreeDb {
    kTreeDbName,
    {{"TreeNode", kCreateTreeNode, {"Key", "Id", "Name", "Condition", "Edit", "Type", "IconId"}},
     {"TreeList", kCreateTreeList, {"Key", "Gid"}}}};

namespace {

bool IsDamageCode(int rc)
{
    const int primary = rc & 0xff;
    return primary == kSqliteNotADb || primary == kSqliteCorrupt;
}

bool IsBusyCode(int rc)
{
    const int primary = rc & 0xff;
    return primary == kSqliteBusy || primary == kSqliteLocked;
}

// Each try waits the connection's busy timeout: about half a minute in all.
constexpr int kCreateTries = 6;

// The file's tables, made where missing. Another process may hold a file it has just made (a
// second start at the same moment); its lock ends soon, so a busy file is tried again rather than
// left without tables.
bool CreateTables(CSqliteDb& db, const DbFileSpec& file, const QString& path)
{
    for (const TableSpec& t : file.tables) {
        int rc = db.Exec(t.create);
        for (int tries = 1; IsBusyCode(rc) && tries < kCreateTries; ++tries) rc = db.Exec(t.create);
        if (rc != kSqliteOk) {
            WriteDebugLogA("%s: cannot create table %s (%s); the file is not used", QFile::encodeName(path).constData(),
                           t.name, sqlite3_errstr(rc));
            return false;
        }
    }
    return true;
}

enum class Verdict { Ours, Damaged, Foreign, Unknown };

// Whether the open file holds our tables (or none yet). Only a file SQLite calls no database or
// corrupt, or one whose tables are not ours, is judged; a busy or unreadable file is left alone.
Verdict Inspect(CSqliteDb& db, const DbFileSpec& file, bool checkPages)
{
    SqliteStatement stmt;
    int rc = db.Prepare("SELECT name FROM sqlite_master WHERE type='table'", stmt);
    if (rc != kSqliteOk) return IsDamageCode(rc) ? Verdict::Damaged : Verdict::Unknown;
    int ours = 0;
    int others = 0;
    std::vector<QByteArray> present;
    while ((rc = stmt.Step()) == kSqliteRow) {
        const QByteArray name = stmt.ColumnBytes(0);
        if (name.startsWith("sqlite_")) continue;
        bool known = false;
        for (const TableSpec& t : file.tables) known = known || name == t.name;
        if (known) {
            ++ours;
            present.push_back(name);
        } else {
            ++others;
        }
    }
    if (rc != kSqliteDone) return IsDamageCode(rc) ? Verdict::Damaged : Verdict::Unknown;
    if (ours == 0 && others > 0) return Verdict::Foreign;

    for (const TableSpec& t : file.tables) {
        bool isPresent = false;
        for (const QByteArray& p : present) isPresent = isPresent || p == t.name;
        if (!isPresent) continue;
        SqliteStatement info;
        rc = db.Prepare((QByteArray("PRAGMA table_info(") + t.name + ")").constData(), info);
        if (rc != kSqliteOk) return IsDamageCode(rc) ? Verdict::Damaged : Verdict::Unknown;
        // Every column of ours, in any order; more of them (a later version's) are read past,
        // as every read names its columns.
        std::vector<QByteArray> columns;
        while ((rc = info.Step()) == kSqliteRow) columns.push_back(info.ColumnBytes(1));
        if (rc != kSqliteDone) return IsDamageCode(rc) ? Verdict::Damaged : Verdict::Unknown;
        for (const char* c : t.columns)
            if (std::find(columns.begin(), columns.end(), QByteArray(c)) == columns.end()) return Verdict::Foreign;
    }
    // The pages beyond the schema: a torn or truncated file shows here rather than half-way
    // through a load.
    if (!checkPages) return Verdict::Ours;
    SqliteStatement check;
    rc = db.Prepare("PRAGMA quick_check", check);
    if (rc != kSqliteOk) return IsDamageCode(rc) ? Verdict::Damaged : Verdict::Unknown;
    rc = check.Step();
    if (rc == kSqliteRow && check.ColumnBytes(0) != "ok") return Verdict::Damaged;
    if (rc != kSqliteRow && rc != kSqliteDone) return IsDamageCode(rc) ? Verdict::Damaged : Verdict::Unknown;
    return Verdict::Ours;
}

// The columns of ours that `table` of the open file has; all of ours when its schema cannot be
// read.
std::vector<const char*> ColumnsPresent(CSqliteDb& db, const TableSpec& table)
{
    std::vector<QByteArray> present;
    SqliteStatement info;
    if (db.Prepare((QByteArray("PRAGMA table_info(") + table.name + ")").constData(), info) == kSqliteOk)
        while (info.Step() == kSqliteRow) present.push_back(info.ColumnBytes(1));
    if (present.empty()) return table.columns;
    std::vector<const char*> out;
    for (const char* c : table.columns)
        if (std::find(present.begin(), present.end(), QByteArray(c)) != present.end()) out.push_back(c);
    return out;
}

// Walks one table of a damaged file in rowid order and copies every row that can be read. A read
// that fails on a bad page is started again past it: the first rowid from which reading works is
// found by doubling steps, then narrowed down, so only the rows of the bad pages are lost.
class TableSalvage {
public:
    TableSalvage(CSqliteDb& from, CSqliteDb& to, const TableSpec& table) : m_from(from), m_to(to)
    {
        const std::vector<const char*> columns = ColumnsPresent(from, table);
        QByteArray names;
        QByteArray marks;
        for (const char* c : columns) {
            names += (names.isEmpty() ? "" : ",") + QByteArray(c);
            marks += marks.isEmpty() ? "?" : ",?";
        }
        m_columns = int(columns.size());
        m_select = "SELECT rowid," + names + " FROM " + table.name + " WHERE rowid>=? ORDER BY rowid";
        m_insert = "INSERT OR IGNORE INTO " + QByteArray(table.name) + " (" + names + ") VALUES (" + marks + ")";
    }

    // The rows copied.
    int Run()
    {
        if (m_columns == 0 || m_to.Prepare(m_insert.constData(), m_ins) != kSqliteOk) return 0;
        std::int64_t next = INT64_MIN;
        for (int skips = 0; skips < 10000; ++skips) {
            bool atEnd = false;
            if (Copy(next, atEnd) == kSqliteDone || atEnd) break;
            // `next` now fails; find where reading works again.
            std::int64_t bad = next;
            std::int64_t good = bad;
            for (std::int64_t gap = 1;; gap = gap > INT64_MAX / 2 ? INT64_MAX : gap * 2) {
                good = bad > INT64_MAX - gap ? INT64_MAX : bad + gap;
                if (Readable(good)) break;
                if (good == INT64_MAX) return m_copied;
            }
            while (good - bad > 1) {
                const std::int64_t mid = bad + (good - bad) / 2;
                (Readable(mid) ? good : bad) = mid;
            }
            next = good;
        }
        return m_copied;
    }

private:
    // Copies from rowid `from` on until the end or an error; `from` moves past each row copied.
    int Copy(std::int64_t& from, bool& atEnd)
    {
        SqliteStatement sel;
        int rc = m_from.Prepare(m_select.constData(), sel);
        if (rc != kSqliteOk) {
            atEnd = true; // the table itself cannot be read
            return rc;
        }
        sqlite3_bind_int64(sel.get(), 1, from);
        while ((rc = sel.Step()) == kSqliteRow) {
            const std::int64_t rowid = sqlite3_column_int64(sel.get(), 0);
            for (int i = 0; i < m_columns; ++i) sqlite3_bind_value(m_ins.get(), i + 1, sqlite3_column_value(sel.get(), i + 1));
            if (m_ins.Step() == kSqliteDone) ++m_copied;
            m_ins.Rewind();
            if (rowid == INT64_MAX) {
                atEnd = true;
                return kSqliteDone;
            }
            from = rowid + 1;
        }
        return rc;
    }

    bool Readable(std::int64_t from)
    {
        SqliteStatement sel;
        if (m_from.Prepare(m_select.constData(), sel) != kSqliteOk) return false;
        sqlite3_bind_int64(sel.get(), 1, from);
        const int rc = sel.Step();
        return rc == kSqliteRow || rc == kSqliteDone;
    }

    CSqliteDb& m_from;
    CSqliteDb& m_to;
    int m_columns = 0;
    QByteArray m_select;
    QByteArray m_insert;
    SqliteStatement m_ins;
    int m_copied = 0;
};

// Builds a fresh file at `path` from what can still be read of the open damaged file; the rows
// copied, or -1 when no fresh file could be made.
int SalvageInto(CSqliteDb& damaged, const QString& path, const DbFileSpec& file)
{
    QFile::remove(path);
    CSqliteDb fresh(path);
    if (fresh.Open() != kSqliteOk) return -1;
    // Lets the pages there are be read when the file is shorter than its header says; this
    // connection is closed once the rows are out.
    damaged.Exec("PRAGMA writable_schema=ON");
    int copied = 0;
    {
        SqliteTransaction tx(fresh);
        for (const TableSpec& t : file.tables) {
            if (fresh.Exec(t.create) != kSqliteOk) return -1;
            copied += TableSalvage(damaged, fresh, t).Run();
        }
        if (tx.Commit() != kSqliteOk) return -1;
    }
    fresh.Close();
    return copied;
}

} // namespace

QString MoveAsideDamaged(const QString& path, const char* why)
{
    QString target = path + QStringLiteral(".damaged");
    for (int n = 1; QFileInfo::exists(target); ++n)
        target = path + QStringLiteral(".damaged.") + QString::number(n);
    if (!QFile::rename(path, target)) {
        WriteDebugLogA("cannot move aside damaged file %s (%s)", QFile::encodeName(path).constData(), why);
        return QString();
    }
    // A journal left beside the file belongs to it: keep the pair together, so that neither the
    // fresh file picks it up nor the moved file loses it.
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const QString side = path + QLatin1String(suffix);
        if (QFileInfo::exists(side)) QFile::rename(side, target + QLatin1String(suffix));
    }
    WriteDebugLogA("%s: %s; moved aside to %s, starting afresh", QFile::encodeName(path).constData(), why,
                   QFile::encodeName(target).constData());
    return target;
}

std::unique_ptr<CSqliteDb> OpenDatabaseFile(const QString& dataDir, const DbFileSpec& file, bool checkPages)
{
    const QString path = dataDir + QLatin1String(file.fileName);
    auto db = std::make_unique<CSqliteDb>(path);
    // Without a data folder a bare name would land in the working directory.
    if (dataDir.isEmpty()) return db;
    const QFileInfo existing(path);
    // A folder under the file's name (made by hand or by another program) is kept, moved aside.
    if (existing.isDir() && !existing.isSymLink()) MoveAsideDamaged(path, "a folder where the database should be");
    else if (existing.isFile() && existing.size() == 0)
        WriteDebugLogA("%s: the file is empty (zero length); its rows are gone, starting afresh",
                       QFile::encodeName(path).constData());
    if (const int rc = db->Open(); rc != kSqliteOk) {
        WriteDebugLogA("%s: cannot open (%s)", QFile::encodeName(path).constData(), sqlite3_errstr(rc));
        return db;
    }

    const Verdict verdict = Inspect(*db, file, checkPages);
    if (verdict == Verdict::Damaged || verdict == Verdict::Foreign) {
        // One bad page must not cost the rows of all the others: what can be read goes into the
        // fresh file, which takes the damaged one's place once that is kept beside it.
        const QString salvaged = path + QStringLiteral(".salvaged");
        const int copied = verdict == Verdict::Damaged ? SalvageInto(*db, salvaged, file) : -1;
        db->Close();
        const bool moved = !MoveAsideDamaged(path, verdict == Verdict::Damaged ? "not a readable database"
                                                                               : "tables are not the player's")
                                .isEmpty();
        if (copied >= 0) {
            if (moved && QFile::rename(salvaged, path))
                WriteDebugLogA("%s: %d readable rows copied into the fresh file", QFile::encodeName(path).constData(),
                               copied);
            else
                QFile::remove(salvaged);
        }
        // Never write over a file that could not be kept.
        if (!moved || db->Open() != kSqliteOk) {
            db->Close();
            return db;
        }
    }
    // A write-ahead log keeps every commit atomic (a kill at any moment leaves the last commit)
    // and makes a single-row commit cost no disk flush: a scan stores each file as it finds it.
    if (const int rc = db->Exec("PRAGMA journal_mode=WAL"); rc != kSqliteOk)
        WriteDebugLogA("%s: cannot use a write-ahead log (%s)", QFile::encodeName(path).constData(), sqlite3_errstr(rc));
    db->Exec("PRAGMA synchronous=NORMAL");
    // A handle without tables would fail every statement later, far from the cause: it is closed.
    if (!CreateTables(*db, file, path)) db->Close();
    return db;
}

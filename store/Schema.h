#pragma once
#include <QString>

#include <memory>

class CSqliteDb;

// The five database files and their tables. The creation statements are the ones the files of
// existing installations were made with; they must not change.
extern const char* const kCreateAllMusic;
extern const char* const kCreateTempMusic;
extern const char* const kCreateMusicOpt;
extern const char* const kCreateLyrics;
extern const char* const kCreateTreeNode;
extern const char* const kCreateTreeList;

// The statements on the tree file's tables, with "?" where a value goes. TreeNode rows are keyed
// by their parent's list key, TreeList rows by their list's (NodeKey, ListKey).
extern const char* const kInsertTreeNode;
extern const char* const kUpdateTreeNode;      // by Key and Name
extern const char* const kSelectTreeNodeByKey;
extern const char* const kDeleteTreeNodeRow;   // by Key and Name
extern const char* const kInsertTreeList;
extern const char* const kSelectTreeListByKey;
extern const char* const kDeleteTreeListByKey;
extern const char* const kDeleteTreeListByGid;
extern const char* const kDeleteTreeListMember; // by Key and Gid
extern const char* const kMoveTreeList;         // new Key, old Key

// The file names in the data folder.
extern const char* const kLibraryDbName;    // "AllMusic2.db"
extern const char* const kTempDbName;       // "TempMusic2.db"
extern const char* const kStatisticsDbName; // "MusicOperate2.db"
extern const char* const kLyricsDbName;     // "Lyric2.db"
extern const char* const kTreeDbName;       // "Tree2.db"

// One database file: its name and the tables it holds.
struct DbFileSpec;
extern const DbFileSpec kLibraryDb;
extern const DbFileSpec kTempDb;
extern const DbFileSpec kStatisticsDb;
extern const DbFileSpec kLyricsDb;
extern const DbFileSpec kTreeDb;

// Opens `file`'s database in `dataDir` and creates its tables when missing. A file that is not a
// database or whose tables are not ours is moved aside (its name + ".damaged"), logged once, and
// the file starts afresh. Returns the handle; a failed open leaves it without connection.
// `checkPages` reads every page first (a torn or truncated file); without it only the schema is
// read, for a file known to be as the last clean end left it.
std::unique_ptr<CSqliteDb> OpenDatabaseFile(const QString& dataDir, const DbFileSpec& file, bool checkPages = true);

// Renames `path` (and an SQLite journal beside it) to the first free name of path + ".damaged",
// path + ".damaged.1", ...; writes one debug-log line. The new name, or empty when it failed.
QString MoveAsideDamaged(const QString& path, const char* why);

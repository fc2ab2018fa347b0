#include "store/CQvConf.h"
#include "store/CSqliteDb.h"
#include "store/Schema.h"

#include "tests/common/TestUtil.h"
#include "tests/store/StoreTestUtil.h"

#include "base/CodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

using testutil::ReadFile;
using testutil::WriteFile;

namespace {

QStringList Columns(CSqliteDb& db, const char* table)
{
    QStringList names;
    SqliteStatement stmt;
    db.Prepare((QByteArray("PRAGMA table_info(") + table + ")").constData(), stmt);
    while (stmt.Step() == kSqliteRow) names.append(stmt.ColumnText(1));
    return names;
}

int Count(CSqliteDb& db, const char* sql)
{
    SqliteStatement stmt;
    if (db.Prepare(sql, stmt) != kSqliteOk || stmt.Step() != kSqliteRow) return -1;
    return stmt.ColumnInt(0);
}

} // namespace

TEST(Db, OpenAllMissingCreatesFiveFilesAndReopeningKeepsRows)
{
    TempHome t;
    CQvConf& c = t.conf;
    EXPECT_EQ(c.LibraryDb(), nullptr);
    c.OpenAllMissing();
    for (const char* name : {"AllMusic2.db", "TempMusic2.db", "MusicOperate2.db", "Lyric2.db", "Tree2.db"})
        EXPECT_TRUE(QFileInfo::exists(t.Data(name))) << name;
    ASSERT_TRUE(c.LibraryDb() && c.LibraryDb()->IsOpen());
    ASSERT_TRUE(c.TempDb() && c.StatisticsDb() && c.TreeDb() && c.LyricsDb());

    const QStringList track = Columns(*c.LibraryDb(), "AllMusic");
    ASSERT_EQ(track.size(), 49);
    EXPECT_EQ(track[0], QStringLiteral("Gid"));
    EXPECT_EQ(track[8], QStringLiteral("State"));
    EXPECT_EQ(track[20], QStringLiteral("Default10"));
    EXPECT_EQ(track[48], QStringLiteral("LrcFile"));
    EXPECT_EQ(Columns(*c.TempDb(), "TempMusic"), track);
    EXPECT_EQ(Columns(*c.StatisticsDb(), "MusicOpt").join(QLatin1Char(',')),
              QStringLiteral("Gid,Rank,Totle,Year,Month,Day,Hour,Minute"));
    EXPECT_EQ(Columns(*c.LyricsDb(), "Lyrics").join(QLatin1Char(',')), QStringLiteral("Gid,Lrc"));
    EXPECT_EQ(Columns(*c.TreeDb(), "TreeNode").join(QLatin1Char(',')),
              QStringLiteral("Key,Id,Name,Condition,Edit,Type,IconId"));
    EXPECT_EQ(Columns(*c.TreeDb(), "TreeList").join(QLatin1Char(',')), QStringLiteral("Key,Gid"));

    // "interger" and "timestamp" columns keep integer and numeric affinity: an integer bound
    // reads back as an integer, a date text as the year through the integer accessor.
    ASSERT_EQ(c.LibraryDb()->Run("INSERT INTO AllMusic (Gid, AddTime, PlayCount) VALUES (?, ?, ?)",
                                 "g1", "2011-06-15 10:20:30", 7), 0);
    {
        SqliteStatement s;
        c.LibraryDb()->Prepare("SELECT AddTime, PlayCount, typeof(PlayCount) FROM AllMusic", s);
        ASSERT_EQ(s.Step(), kSqliteRow);
        EXPECT_EQ(s.ColumnInt(0), 2011);
        EXPECT_EQ(s.ColumnInt(1), 7);
        EXPECT_EQ(s.ColumnBytes(2), QByteArray("integer"));
    }

    c.CloseAll();
    EXPECT_EQ(c.LibraryDb(), nullptr);
    EXPECT_EQ(c.TempDb(), nullptr);
    EXPECT_EQ(c.TreeDb(), nullptr);
    c.OpenAllMissing();
    EXPECT_EQ(Count(*c.LibraryDb(), "SELECT count(*) FROM AllMusic"), 1);
    EXPECT_FALSE(QFileInfo::exists(t.Data("AllMusic2.db.damaged")));
}

TEST(Db, BoundValuesKeepTheStoredBytes)
{
    TempHome t;
    CSqliteDb* db = t.conf.OpenLyricsDb();
    ASSERT_TRUE(db && db->IsOpen());
    const QString lyric = QStringLiteral("[00:01.00]它's \"here\" & '); DROP TABLE Lyrics; --");
    ASSERT_EQ(db->Run("INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)", "g", lyric), 0);
    SqliteStatement s;
    db->Prepare("SELECT Lrc, typeof(Lrc) FROM Lyrics WHERE Gid=?", s);
    Bind(s, "g");
    ASSERT_EQ(s.Step(), kSqliteRow);
    EXPECT_EQ(s.ColumnText(0), lyric);
    // Code-page bytes, stored as text.
    EXPECT_EQ(s.ColumnBytes(0), ToAnsi(lyric));
    EXPECT_EQ(s.ColumnBytes(1), QByteArray("text"));

    // Empty text is stored as '' (never NULL), as the pasted statements did.
    ASSERT_EQ(db->Run("INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)", "e", QString()), 0);
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM Lyrics WHERE Lrc = ''"), 1);
    // A second row with the same key fails and is reported.
    EXPECT_NE(db->Run("INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)", "g", "x"), 0);
}

TEST(Db, CachedStatementsSurviveErrorsNestingAndSchemaChanges)
{
    TempHome t;
    CSqliteDb* db = t.conf.OpenLyricsDb();
    ASSERT_TRUE(db && db->IsOpen());
    const char* insert = "INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)";
    ASSERT_EQ(db->RunCached(insert, "g", QStringLiteral("它's")), 0);
    EXPECT_NE(db->RunCached(insert, "g", "again"), 0); // the key is taken
    ASSERT_EQ(db->RunCached(insert, "h", "next"), 0);  // and the statement still runs
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM Lyrics"), 2);
    EXPECT_FALSE(db->Cached("no such statement"));

    // No value of one use reaches the next.
    {
        SqliteCachedStatement s = db->Cached("SELECT typeof(?)");
        ASSERT_TRUE(s && Bind(*s, "x") == kSqliteOk && s->Step() == kSqliteRow);
        EXPECT_EQ(s->ColumnBytes(0), QByteArray("text"));
    }
    {
        SqliteCachedStatement s = db->Cached("SELECT typeof(?)");
        ASSERT_TRUE(s && s->Step() == kSqliteRow);
        EXPECT_EQ(s->ColumnBytes(0), QByteArray("null"));
    }

    // The same statement wanted again while it is in use (the library lock is recursive): each
    // use has its own, and both rows are written.
    {
        SqliteCachedStatement outer = db->Cached(insert);
        ASSERT_TRUE(outer && Bind(*outer, "o", "outer") == kSqliteOk);
        EXPECT_EQ(db->RunCached(insert, "i", "inner"), 0);
        EXPECT_EQ(outer->Step(), kSqliteDone);
    }
    EXPECT_EQ(db->RunCached(insert, "j", "after"), 0);
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM Lyrics"), 5);

    // Another connection drops and makes the table again: the cached statement follows.
    CSqliteDb other(db->Path());
    ASSERT_EQ(other.Open(), 0);
    ASSERT_EQ(other.Exec("DROP TABLE Lyrics"), 0);
    EXPECT_NE(db->RunCached(insert, "k", "no table"), 0);
    ASSERT_EQ(other.Exec(kCreateLyrics), 0);
    EXPECT_EQ(db->RunCached(insert, "k", "new table"), 0);
    EXPECT_EQ(Count(other, "SELECT count(*) FROM Lyrics"), 1);
}

TEST(Db, ACachedReadLeavesTheFileFreeForWriters)
{
    // Without a write-ahead log a read that is not reset keeps the whole file from writers.
    QTemporaryDir d;
    CSqliteDb db(d.path() + QStringLiteral("/plain.db"));
    ASSERT_EQ(db.Open(), 0);
    ASSERT_EQ(db.Exec(kCreateLyrics), 0);
    ASSERT_EQ(db.Exec("INSERT INTO Lyrics VALUES ('a', 'x'), ('b', 'y')"), 0);
    {
        SqliteCachedStatement s = db.Cached("SELECT Lrc FROM Lyrics");
        ASSERT_TRUE(s);
        ASSERT_EQ(s->Step(), kSqliteRow); // one row of two: the read is still open
    }
    CSqliteDb writer(db.Path());
    ASSERT_EQ(writer.Open(), 0);
    sqlite3_busy_timeout(writer.get(), 0);
    EXPECT_EQ(writer.Exec("DELETE FROM Lyrics WHERE Gid='a'"), 0);
}

TEST(Db, CachedStatementsGoWithTheirConnection)
{
    TempHome t;
    CSqliteDb* db = t.conf.OpenLyricsDb();
    ASSERT_TRUE(db && db->IsOpen());
    const QString path = db->Path();
    const char* insert = "INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)";
    ASSERT_EQ(db->RunCached(insert, "old", "x"), 0);

    // Closed while a statement is lent (a damaged file moved aside and started afresh): the lent
    // statement is finalized, not kept, and the fresh file gets statements of its own.
    {
        SqliteCachedStatement lent = db->Cached(insert);
        ASSERT_TRUE(lent);
        db->Close();
        EXPECT_FALSE(db->Cached(insert));
        EXPECT_NE(db->RunCached(insert, "closed", "x"), 0);
        ASSERT_FALSE(MoveAsideDamaged(path, "test").isEmpty());
        ASSERT_EQ(db->Open(), 0);
        ASSERT_EQ(db->Exec(kCreateLyrics), 0);
    }
    EXPECT_EQ(db->RunCached(insert, "new", "y"), 0);
    EXPECT_EQ(db->RunCached(insert, "new2", "z"), 0);
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM Lyrics WHERE Gid LIKE 'new%'"), 2);
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM Lyrics"), 2);
    CSqliteDb moved(path + QStringLiteral(".damaged"));
    ASSERT_EQ(moved.Open(), 0);
    EXPECT_EQ(Count(moved, "SELECT count(*) FROM Lyrics"), 1);
}

TEST(Db, ValuesAndPlaceholdersMustAgreeInEveryBuild)
{
    TempHome t;
    CSqliteDb* db = t.conf.OpenLyricsDb();
    ASSERT_TRUE(db);
    // Too few and too many values: the statement is refused and writes nothing, whether or not
    // the build keeps assertions.
    EXPECT_EQ(db->Run("INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)", "only one"), kSqliteRange);
    EXPECT_EQ(db->RunCached("INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)", "a", "b", "c"), kSqliteRange);
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM Lyrics"), 0);
    EXPECT_EQ(db->Run("INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)", "g", "lrc"), 0);
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM Lyrics"), 1);
}

TEST(Db, DamagedOrForeignFilesAreMovedAsideAndStartAfresh)
{
    TempHome t;
    // Not a database at all.
    const QByteArray junk(5000, 'x');
    WriteFile(t.Data("AllMusic2.db"), junk);
    // An SQLite file of someone else's.
    {
        CSqliteDb other(t.Data("Tree2.db"));
        ASSERT_EQ(other.Open(), 0);
        other.Exec("create table Bookmarks (url text)");
        other.Exec("insert into Bookmarks values ('keep me')");
    }
    // Our file name, our table name, another schema.
    {
        CSqliteDb old(t.Data("MusicOperate2.db"));
        ASSERT_EQ(old.Open(), 0);
        old.Exec("create table MusicOpt (Gid text, Plays integer)");
    }
    // A file cut short: the first page is there, the rest is gone.
    {
        CSqliteDb lyr(t.Data("Lyric2.db"));
        ASSERT_EQ(lyr.Open(), 0);
        lyr.Exec(kCreateLyrics);
        lyr.Exec("begin");
        for (int i = 0; i < 2000; ++i)
            lyr.Run("INSERT INTO Lyrics (Gid, Lrc) VALUES (?, ?)", QString::number(i), QString(200, QLatin1Char('l')));
        lyr.Exec("commit");
    }
    const QByteArray lyrics = ReadFile(t.Data("Lyric2.db"));
    WriteFile(t.Data("Lyric2.db"), lyrics.left(lyrics.size() / 3));

    t.conf.OpenAllMissing();
    EXPECT_EQ(ReadFile(t.Data("AllMusic2.db.damaged")), junk);
    EXPECT_TRUE(QFileInfo::exists(t.Data("Tree2.db.damaged")));
    EXPECT_TRUE(QFileInfo::exists(t.Data("MusicOperate2.db.damaged")));
    EXPECT_EQ(ReadFile(t.Data("Lyric2.db.damaged")), lyrics.left(lyrics.size() / 3));
    EXPECT_FALSE(QFileInfo::exists(t.Data("TempMusic2.db.damaged")));

    // Each starts afresh with its tables.
    EXPECT_EQ(Count(*t.conf.LibraryDb(), "SELECT count(*) FROM AllMusic"), 0);
    EXPECT_EQ(Count(*t.conf.TreeDb(), "SELECT count(*) FROM TreeList"), 0);
    EXPECT_EQ(Columns(*t.conf.StatisticsDb(), "MusicOpt").size(), 8);
    // What could still be read of the file cut short came over; nothing past the cut.
    const int lyricRows = Count(*t.conf.LyricsDb(), "SELECT count(*) FROM Lyrics");
    EXPECT_GT(lyricRows, 0);
    EXPECT_LT(lyricRows, 2000);

    // The foreign file is intact where it was moved.
    CSqliteDb moved(t.Data("Tree2.db.damaged"));
    ASSERT_EQ(moved.Open(), 0);
    EXPECT_EQ(Count(moved, "SELECT count(*) FROM Bookmarks"), 1);
}

TEST(Db, AFolderOrAnEmptyFileWhereADatabaseShouldBeIsToldAndTheFileStartsAfresh)
{
    TempHome t;
    // A folder under the library's name, with something of the user's in it.
    ASSERT_TRUE(QDir().mkpath(t.Data("AllMusic2.db")));
    WriteFile(t.Data("AllMusic2.db/note.txt"), "mine");
    // The tree file cut to nothing.
    WriteFile(t.Data("Tree2.db"), QByteArray());
    const int folderLines = CountInLog(QStringLiteral("a folder where the database should be"));
    const int emptyLines = CountInLog(QStringLiteral("Tree2.db: the file is empty"));

    t.conf.OpenAllMissing();
    ASSERT_TRUE(t.conf.LibraryDb() && t.conf.LibraryDb()->IsOpen());
    EXPECT_EQ(Count(*t.conf.LibraryDb(), "SELECT count(*) FROM AllMusic"), 0);
    EXPECT_EQ(ReadFile(t.Data("AllMusic2.db.damaged/note.txt")), QByteArray("mine"));
    EXPECT_EQ(CountInLog(QStringLiteral("a folder where the database should be")), folderLines + 1);
    EXPECT_EQ(Count(*t.conf.TreeDb(), "SELECT count(*) FROM TreeList"), 0);
    EXPECT_EQ(CountInLog(QStringLiteral("Tree2.db: the file is empty")), emptyLines + 1);
}

TEST(Db, PathsOfAnyLength)
{
    QTemporaryDir d;
    qputenv("XDG_CONFIG_HOME", (d.path() + QStringLiteral("/config")).toUtf8());
    QString home = d.path();
    // Well past 250 bytes of UTF-8, with characters of three bytes each.
    for (int i = 0; i < 12; ++i) home += QStringLiteral("/目录名字很长的文件夹") + QString::number(i);
    CQvConf c;
    c.SetDirectories(home);
    ASSERT_GT(QFile::encodeName(c.DataDir()).size(), 300);
    c.OpenAllMissing();
    ASSERT_TRUE(c.LibraryDb() && c.LibraryDb()->IsOpen());
    EXPECT_EQ(c.LibraryDb()->Exec("INSERT INTO AllMusic (Gid) VALUES ('a')"), 0);
    EXPECT_TRUE(QFileInfo::exists(c.DataDir() + QStringLiteral("AllMusic2.db")));
    EXPECT_EQ(c.SaveConfig(), 0);
    EXPECT_EQ(c.LoadConfig(c.DataDir()), 0);
}

TEST(Db, AFailedOpenLeavesAHandleWithoutConnection)
{
    TempHome t;
    // The name leads into a folder that is not there (a link to a disk that is away).
    ASSERT_TRUE(QFile::link(QStringLiteral("/nonexistent-ordel/away/Lyric2.db"), t.Data("Lyric2.db")));
    const int before = CountInLog(QStringLiteral("Lyric2.db: cannot open"));
    CSqliteDb* db = t.conf.OpenLyricsDb();
    ASSERT_NE(db, nullptr);
    EXPECT_FALSE(db->IsOpen());
    EXPECT_NE(db->Exec("SELECT 1"), 0);
    EXPECT_TRUE(QFileInfo(t.Data("Lyric2.db")).isSymLink());
    EXPECT_FALSE(QFileInfo::exists(t.Data("Lyric2.db.damaged")));
    EXPECT_EQ(CountInLog(QStringLiteral("Lyric2.db: cannot open")), before + 1);
}

TEST(Db, AFreshFileHeldByAnotherProgramGetsItsTablesOnceItIsLetGo)
{
    // Another start of the player has just made the library file and holds its write lock for
    // longer than one busy wait; the store waits for it instead of going on without tables.
    TempHome t;
    ASSERT_TRUE(QDir().mkpath(t.conf.DataDir()));
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(t.Data("AllMusic2.db")).constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread letGo([other] {
        std::this_thread::sleep_for(std::chrono::seconds(7));
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    });

    CSqliteDb* db = t.conf.OpenLibraryDb();
    letGo.join();
    sqlite3_close(other);
    ASSERT_TRUE(db && db->IsOpen());
    EXPECT_EQ(Count(*db, "SELECT count(*) FROM AllMusic"), 0);
    EXPECT_EQ(db->Run("INSERT INTO AllMusic (Gid) VALUES (?)", "g1"), 0);
}

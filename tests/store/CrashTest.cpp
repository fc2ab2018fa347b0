// A kill in the middle of a large write leaves the previous contents, whole and usable. The
// writes run in a child process that is killed with SIGKILL: by itself at chosen points of the
// SQLite program (so the points are the same on a fast or a loaded machine), and by the test at
// moments it does not choose.
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"
#include "store/IQvNode.h"

#include "tests/common/TestUtil.h"
#include "tests/store/StoreTestUtil.h"

#include "base/CodePage.h"
#include "model/TrackUtil.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>

#include <gtest/gtest.h>

namespace {

struct Child {
    QProcess process;
    QString output;

    void Start(const QStringList& args)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(ORDEL_CRASH_CHILD), args);
        ASSERT_TRUE(process.waitForStarted(30000));
    }
    bool WaitFor(const QString& text, int ms = 120000)
    {
        QDeadlineTimer deadline(ms);
        while (!output.contains(text)) {
            if (deadline.hasExpired() || process.state() == QProcess::NotRunning) {
                output += QString::fromUtf8(process.readAllStandardOutput());
                return output.contains(text);
            }
            process.waitForReadyRead(50);
            output += QString::fromUtf8(process.readAllStandardOutput());
        }
        return true;
    }
    // Ends the child; true when it was killed (and so did not finish its write).
    bool Finish(int ms = 120000)
    {
        process.waitForFinished(ms);
        output += QString::fromUtf8(process.readAllStandardOutput());
        return process.exitStatus() == QProcess::CrashExit;
    }
};

int Count(CSqliteDb& db, const QString& sql)
{
    SqliteStatement s;
    if (db.Prepare(ToAnsi(sql).constData(), s) != kSqliteOk || s.Step() != kSqliteRow) return -1;
    return s.ColumnInt(0);
}

QString Integrity(CSqliteDb& db)
{
    SqliteStatement s;
    if (db.Prepare("PRAGMA integrity_check", s) != kSqliteOk || s.Step() != kSqliteRow) return QStringLiteral("?");
    return s.ColumnText(0);
}

// The rows a fresh session finds: the file must be usable, not only present.
int LoadedTracks(const QString& home)
{
    CQvConf conf;
    conf.SetDirectories(home);
    CQvMediaStore store;
    CMediaLibrary lib(store, conf);
    const int n = lib.LoadTracks();
    if (n >= 0) {
        EXPECT_EQ(Integrity(*conf.LibraryDb()), QStringLiteral("ok"));
    }
    return n;
}

QStringList Args(std::initializer_list<QString> list) { return QStringList(list); }

long CountCallbacks(const QString& mode, const QString& home, int first, int count)
{
    // On a copy, so that the count's own write leaves the real files as they are.
    QTemporaryDir copy;
    const QString data = home + QStringLiteral("data/");
    QDir().mkpath(copy.path() + QStringLiteral("/data"));
    for (const QString& f : QDir(data).entryList(QDir::Files))
        QFile::copy(data + f, copy.path() + QStringLiteral("/data/") + f);
    Child c;
    c.Start(Args({mode, copy.path(), QString::number(first), QString::number(count), QStringLiteral("-1")}));
    EXPECT_TRUE(c.WaitFor(QStringLiteral("done")));
    c.Finish();
    const qsizetype at = c.output.indexOf(QStringLiteral("calls "));
    return at < 0 ? 0 : c.output.mid(at + 6).section(QLatin1Char('\n'), 0, 0).toLong();
}

} // namespace

TEST(Crash, KilledWhileSavingAllTracksLeavesThePreviousRows)
{
    TempHome t;
    constexpr int kBase = 1000;
    constexpr int kExtra = 40000;
    {
        Child c;
        c.Start(Args({QStringLiteral("saveall"), t.home, QStringLiteral("0"), QString::number(kBase), QStringLiteral("0")}));
        ASSERT_TRUE(c.WaitFor(QStringLiteral("done")));
        c.Finish();
    }
    ASSERT_EQ(LoadedTracks(t.home), kBase);
    const long total = CountCallbacks(QStringLiteral("saveall"), t.home, kBase, kExtra);
    ASSERT_GT(total, 100);

    for (const long at : {total / 20, total / 2, total * 9 / 10, total - 1}) {
        Child c;
        c.Start(Args({QStringLiteral("saveall"), t.home, QString::number(kBase), QString::number(kExtra),
                      QString::number(at)}));
        EXPECT_TRUE(c.Finish()) << "callback " << at;
        EXPECT_FALSE(c.output.contains(QStringLiteral("done")));
        EXPECT_EQ(LoadedTracks(t.home), kBase) << "killed at callback " << at << " of " << total;
    }

    // Killed by the test at a moment it does not choose: the old rows or all the new ones.
    for (int round = 0; round < 3; ++round) {
        Child c;
        c.Start(Args({QStringLiteral("saveall"), t.home, QString::number(kBase), QString::number(kExtra),
                      QStringLiteral("0")}));
        ASSERT_TRUE(c.WaitFor(QStringLiteral("begin")));
        QThread::msleep(QRandomGenerator::global()->bounded(1, 400));
        c.process.kill();
        c.Finish();
        // A kill after the commit finds all the new rows.
        const int n = LoadedTracks(t.home);
        EXPECT_TRUE(n == kBase || n == kBase + kExtra) << n;
        if (n == kBase + kExtra) break;
    }
    {
        Child c;
        c.Start(Args({QStringLiteral("saveall"), t.home, QString::number(kBase), QString::number(kExtra),
                      QStringLiteral("0")}));
        ASSERT_TRUE(c.WaitFor(QStringLiteral("done")));
        c.Finish();
    }
    EXPECT_EQ(LoadedTracks(t.home), kBase + kExtra);
}

// The first save writes into the file it has just made, in place: a kill anywhere leaves a
// usable file with none of the rows, or all of them.
TEST(Crash, KilledWhileSavingIntoANewLibraryFileLeavesNoRowOfTheWrite)
{
    TempHome t;
    constexpr int kTracks = 20000;
    const auto removeFile = [&t] {
        for (const char* side : {"", "-journal", "-wal", "-shm"})
            QFile::remove(t.home + QStringLiteral("data/AllMusic2.db") + QLatin1String(side));
    };
    const long total = CountCallbacks(QStringLiteral("saveall"), t.home, 0, kTracks);
    ASSERT_GT(total, 100);
    for (const long at : {total / 20, total / 2, total - 1}) {
        Child c;
        c.Start(Args({QStringLiteral("saveall"), t.home, QStringLiteral("0"), QString::number(kTracks), QString::number(at)}));
        EXPECT_TRUE(c.Finish()) << "callback " << at;
        EXPECT_EQ(LoadedTracks(t.home), 0) << "killed at callback " << at << " of " << total;
        // The next try starts without the file again.
        removeFile();
    }
    for (int round = 0; round < 3; ++round) {
        removeFile();
        Child c;
        c.Start(Args({QStringLiteral("saveall"), t.home, QStringLiteral("0"), QString::number(kTracks), QStringLiteral("0")}));
        ASSERT_TRUE(c.WaitFor(QStringLiteral("begin")));
        QThread::msleep(QRandomGenerator::global()->bounded(1, 300));
        c.process.kill();
        c.Finish();
        const int n = LoadedTracks(t.home);
        EXPECT_TRUE(n == 0 || n == kTracks) << n;
    }
}

TEST(Crash, KilledWhileSavingAListLeavesItsPreviousMembers)
{
    TempHome t;
    constexpr int kOld = 500;
    constexpr int kNew = 30000;
    auto gids = [](int generation, int count) {
        QSet<QString> set;
        for (int i = 0; i < count; ++i)
            set.insert(MakeGid(QStringLiteral("http://127.0.0.1/g%1/%2.mp3").arg(generation).arg(i)));
        return set;
    };
    auto members = [&](const QString& home) {
        CQvConf conf;
        conf.SetDirectories(home);
        CSqliteDb* db = conf.OpenTreeDb();
        EXPECT_EQ(Integrity(*db), QStringLiteral("ok"));
        QSet<QString> set;
        SqliteStatement s;
        db->Prepare(ToAnsi(QStringLiteral("SELECT Gid FROM TreeList WHERE Key='Mine+列表'")).constData(), s);
        while (s.Step() == kSqliteRow) set.insert(s.ColumnText(0));
        EXPECT_EQ(Count(*db, QStringLiteral("SELECT count(*) FROM TreeList")), set.size());
        return set;
    };
    {
        Child c;
        c.Start(Args({QStringLiteral("savelist"), t.home, QStringLiteral("1"), QString::number(kOld), QStringLiteral("0")}));
        ASSERT_TRUE(c.WaitFor(QStringLiteral("done")));
        c.Finish();
    }
    const QSet<QString> before = gids(1, kOld);
    ASSERT_EQ(members(t.home), before);
    const long total = CountCallbacks(QStringLiteral("savelist"), t.home, 2, kNew);
    ASSERT_GT(total, 10);
    for (const long at : {1L, total / 3, total * 2 / 3, total - 1}) {
        Child c;
        c.Start(Args({QStringLiteral("savelist"), t.home, QStringLiteral("2"), QString::number(kNew), QString::number(at)}));
        EXPECT_TRUE(c.Finish());
        EXPECT_EQ(members(t.home), before) << "killed at callback " << at << " of " << total;
    }
    {
        Child c;
        c.Start(Args({QStringLiteral("savelist"), t.home, QStringLiteral("2"), QString::number(kNew), QStringLiteral("0")}));
        ASSERT_TRUE(c.WaitFor(QStringLiteral("done")));
        c.Finish();
    }
    // The rows of members this save did not hold (their tracks were not loaded) stay.
    EXPECT_EQ(members(t.home), before + gids(2, kNew));
}

TEST(Crash, KilledWhileSavingTheConfigurationLeavesAWholeFile)
{
    TempHome t;
    // Large enough (some megabytes) that writing and flushing the file takes a while.
    constexpr int kFolders = 150000;
    int midWrite = 0;
    for (int round = 0; round < 5; ++round) {
        Child c;
        c.Start(Args({QStringLiteral("saveconfig"), t.home, QString::number(kFolders)}));
        ASSERT_TRUE(c.WaitFor(QStringLiteral("saved")));
        // The next save's temporary file appears: kill while it is being written.
        QDeadlineTimer deadline(60000);
        while (!QFileInfo::exists(t.Data("Config.xml.tmp")) && !deadline.hasExpired()) QThread::usleep(200);
        c.process.kill();
        ASSERT_TRUE(c.Finish());
        if (QFileInfo::exists(t.Data("Config.xml.tmp"))) ++midWrite;

        CQvConf conf;
        conf.SetDirectories(t.home);
        ASSERT_EQ(conf.LoadConfig(conf.DataDir()), 0) << "round " << round;
        const QStringList& folders = conf.Settings().picFolders;
        ASSERT_EQ(folders.size(), kFolders);
        const QString marker = folders.front().section(QLatin1Char('/'), 2, 2);
        EXPECT_TRUE(std::all_of(folders.begin(), folders.end(), [&](const QString& f) {
            return f.section(QLatin1Char('/'), 2, 2) == marker;
        }));
        EXPECT_FALSE(QFileInfo::exists(t.Data("Config.xml.damaged")));
    }
    // At least one kill found the new file half-written beside the old one.
    EXPECT_GE(midWrite, 1);
}

#include "library/CChangeNotifier.h"

#include "base/MessageIds.h"
#include "tests/common/TestUtil.h"
#include "tests/library/LibraryTestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Stands in for the controller: takes the changes whenever 1544 arrives.
class Controller : public CMsgWindow {
public:
    CChangeNotifier* notifier = nullptr;
    std::vector<ShellChange> changes;
    int messages = 0;

    qintptr OnMessage(unsigned msg, quintptr, qintptr) override
    {
        if (msg != WM_SHELL_CHANGE) return 0;
        ++messages;
        for (ShellChange& c : notifier->TakeChanges()) changes.push_back(std::move(c));
        return 0;
    }
    bool Has(int event, const QString& path) const
    {
        for (const ShellChange& c : changes)
            if (c.event == event && c.path == path) return true;
        return false;
    }
};

bool WatchesSettled(const CChangeNotifier& n, int atLeast)
{
    return testutil::WaitUntil([&] { return n.PendingWatchRequests() == 0 && n.WatchCount() >= atLeast; }, 10000);
}

} // namespace

TEST(ChangeNotifier, ReportsFilesWhenWrittenMovedInOrDeleted)
{
    QTemporaryDir library, outside;
    const QString lib = library.path();
    QDir().mkpath(lib + "/Artist/Album");
    Controller controller;
    CChangeNotifier notifier(controller.Target());
    controller.notifier = &notifier;
    ASSERT_TRUE(notifier.Watch({lib}));
    ASSERT_TRUE(WatchesSettled(notifier, 3));

    // A file being written is not reported before it is closed.
    {
        QFile f(lib + "/Artist/Album/new.mp3");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.flush();
        testutil::WaitUntil([] { return false; }, 300);
        EXPECT_FALSE(controller.Has(kShellItemCreated, lib + "/Artist/Album/new.mp3"));
    }
    EXPECT_TRUE(testutil::WaitUntil([&] { return controller.Has(kShellItemCreated, lib + "/Artist/Album/new.mp3"); }));

    // Moved in from elsewhere, and a folder moved in with a file inside.
    ASSERT_TRUE(testutil::WriteFile(outside.path() + "/moved.mp3", "abc"));
    ASSERT_TRUE(QFile::rename(outside.path() + "/moved.mp3", lib + "/moved.mp3"));
    QDir().mkpath(outside.path() + "/Other");
    ASSERT_TRUE(testutil::WriteFile(outside.path() + "/Other/inside.wma", "abc"));
    ASSERT_TRUE(QDir().rename(outside.path() + "/Other", lib + "/Other"));
    EXPECT_TRUE(testutil::WaitUntil([&] {
        return controller.Has(kShellItemCreated, lib + "/moved.mp3") &&
               controller.Has(kShellItemCreated, lib + "/Other/inside.wma");
    }));

    // The folder that came in is watched from now on; so is one made inside the library.
    QDir().mkpath(lib + "/Fresh");
    ASSERT_TRUE(testutil::WaitUntil([&] { return notifier.WatchCount() >= 5; }));
    ASSERT_TRUE(testutil::WriteFile(lib + "/Fresh/a.mp3", "abc"));
    ASSERT_TRUE(testutil::WriteFile(lib + "/Other/b.mp3", "abc"));
    EXPECT_TRUE(testutil::WaitUntil([&] {
        return controller.Has(kShellItemCreated, lib + "/Fresh/a.mp3") &&
               controller.Has(kShellItemCreated, lib + "/Other/b.mp3");
    }));

    // Deleted, and moved away (which also counts as deleted).
    ASSERT_TRUE(QFile::remove(lib + "/Artist/Album/new.mp3"));
    ASSERT_TRUE(QFile::rename(lib + "/moved.mp3", outside.path() + "/back.mp3"));
    EXPECT_TRUE(testutil::WaitUntil([&] {
        return controller.Has(kShellItemDeleted, lib + "/Artist/Album/new.mp3") &&
               controller.Has(kShellItemDeleted, lib + "/moved.mp3");
    }));
    // Many changes share few messages: one is posted only when the queue stops being empty.
    EXPECT_LT(controller.messages, int(controller.changes.size()) + 1);

    // Nothing outside the watched folders, and nothing after stopping.
    const size_t seen = controller.changes.size();
    notifier.Stop();
    ASSERT_TRUE(testutil::WriteFile(lib + "/after.mp3", "abc"));
    ASSERT_TRUE(testutil::WriteFile(outside.path() + "/elsewhere.mp3", "abc"));
    testutil::WaitUntil([] { return false; }, 300);
    EXPECT_EQ(controller.changes.size(), seen);
    EXPECT_FALSE(notifier.Watch({lib}));
}

TEST(ChangeNotifier, NestedFoldersAreWatchedOnceAndTheWindowMayGoFirst)
{
    QTemporaryDir library;
    const QString lib = library.path();
    QDir().mkpath(lib + "/a/b");
    auto controller = std::make_unique<Controller>();
    CChangeNotifier notifier(controller->Target());
    controller->notifier = &notifier;
    ASSERT_TRUE(notifier.Watch({lib + "/a/b", lib, lib + "/a"}));
    ASSERT_TRUE(WatchesSettled(notifier, 3));
    EXPECT_EQ(notifier.WatchCount(), 3);

    controller.reset(); // changes after the window is gone are kept, not delivered anywhere
    ASSERT_TRUE(testutil::WriteFile(lib + "/a/x.mp3", "abc"));
    EXPECT_TRUE(testutil::WaitUntil([&] {
        const std::vector<ShellChange> c = notifier.TakeChanges();
        return !c.empty() && c.front().path == lib + "/a/x.mp3";
    }));
}

TEST(ChangeNotifier, WatchesTheScanFoldersAndTheFoldersOfLibraryTracks)
{
    librarytest::Session s;
    ASSERT_EQ(s.Load(), 0);
    const QString music = QDir::cleanPath(s.MusicDir());
    s.conf->Settings().autoScanPaths = {music + "/Scan/", music + "/Scan/Inner"};
    s.AddFileTrack("A/1.mp3");
    s.AddFileTrack("A/2.mp3");
    s.AddFileTrack("A/Sub/3.mp3");
    s.AddFileTrack("Scan/Inner/4.mp3");
    s.AddFileTrack("AB/5.mp3"); // a name that starts like another folder is not inside it
    s.AddFileTrack("A-x/6.mp3");
    EXPECT_EQ(LibraryWatchFolders(*s.lib), (QStringList {music + "/A", music + "/A-x", music + "/AB", music + "/Scan"}));
}

#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "base/Worker.h"
#include "tests/common/TestUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

class Recorder : public CMsgWindow {
public:
    qintptr OnMessage(unsigned msg, quintptr w, qintptr l) override
    {
        messages.push_back({msg, w, l});
        return static_cast<qintptr>(w) * 2;
    }
    void OnTimer(int id) override
    {
        timers.push_back(id);
        if (id == 52) KillTimer(52); // a one-shot timer kills itself, as the window's timers do
    }

    struct Msg {
        unsigned msg;
        quintptr w;
        qintptr l;
    };
    std::vector<Msg> messages;
    std::vector<int> timers;
};

} // namespace

TEST(MsgWindow, PostedMessagesArriveInOrderOnTheOwnerThread)
{
    Recorder r;
    std::thread worker([t = r.Target()] {
        for (int i = 0; i < 100; ++i) t.PostMessage(WM_ENGINE_NOTIFY, 1, i);
        t.PostMessage(WM_ENGINE_NOTIFY, 2, 0);
    });
    worker.join();
    ASSERT_TRUE(testutil::WaitUntil([&] { return r.messages.size() == 101; }));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(r.messages[i].l, i);
    EXPECT_EQ(r.messages.back().w, 2u);
}

TEST(MsgWindow, SendWaitsForTheResultAndIsDirectOnTheOwnerThread)
{
    Recorder r;
    EXPECT_EQ(r.SendMessage(WM_LRC_READY, 21, 0), 42);
    ASSERT_EQ(r.messages.size(), 1u);

    std::atomic<qintptr> result {-1};
    std::thread worker([t = r.Target(), &result] { result = t.SendMessage(WM_LRC_READY, 5, 0); });
    ASSERT_TRUE(testutil::WaitUntil([&] { return result.load() != -1; }));
    worker.join();
    EXPECT_EQ(result.load(), 10);
}

TEST(MsgWindow, TargetOfAWindowThatIsGoneDoesNothing)
{
    auto r = std::make_unique<Recorder>();
    CMsgTarget t = r->Target();
    EXPECT_TRUE(t.IsAlive());
    // A message still queued when the window goes is dropped with it, and a sender waiting on
    // it is released.
    t.PostMessage(WM_IMPORT_DONE);
    std::atomic<qintptr> result {-1};
    std::thread sender([t, &result] { result = t.SendMessage(WM_IMPORT_DONE, 3); });
    while (result.load() == -1 && r) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        r.reset();
    }
    sender.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_FALSE(t.IsAlive());
    EXPECT_FALSE(t.PostMessage(WM_IMPORT_DONE));
    EXPECT_EQ(t.SendMessage(WM_IMPORT_DONE), 0);
    t.SetTimer(1, 10); // no crash
}

TEST(MsgWindow, TimersByIdFromAnyThread)
{
    Recorder r;
    std::thread worker([t = r.Target()] {
        t.SetTimer(12, 5);
        t.SetTimer(52, 5);
    });
    worker.join();
    ASSERT_TRUE(testutil::WaitUntil([&] { return r.timers.size() >= 4; }));
    EXPECT_TRUE(r.HasTimer(12));
    EXPECT_FALSE(r.HasTimer(52));
    EXPECT_EQ(std::count(r.timers.begin(), r.timers.end(), 52), 1);

    // Setting a running timer again restarts it under the same id; killing it from a worker stops it.
    r.SetTimer(12, 1000);
    std::thread killer([t = r.Target()] { t.KillTimer(12); });
    killer.join();
    ASSERT_TRUE(testutil::WaitUntil([&] { return !r.HasTimer(12); }));
    const size_t fired = r.timers.size();
    testutil::WaitUntil([] { return false; }, 50);
    EXPECT_EQ(r.timers.size(), fired);
}

TEST(Worker, CountsRunningJobsAndHonoursTheExitingFlag)
{
    ClearExiting();
    std::atomic<bool> release {false};
    std::atomic<int> done {0};
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(StartWorker([&] {
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ++done;
        }));
    EXPECT_EQ(RunningWorkerCount(), 3);
    EXPECT_FALSE(WaitForWorkers(30));
    release = true;
    EXPECT_TRUE(WaitForWorkers(5000));
    EXPECT_EQ(done.load(), 3);

    // A throwing job is caught and logged, and still counted as ended.
    ASSERT_TRUE(StartWorker([] { throw 1; }, 3));
    EXPECT_TRUE(WaitForWorkers(5000));

    // The stop event wakes a waiting job at once; no job starts after it.
    std::atomic<bool> woke {false};
    ASSERT_TRUE(StartWorker([&] { woke = WaitForStop(60000); }));
    SetExiting();
    EXPECT_TRUE(WaitForWorkers(5000));
    EXPECT_TRUE(woke.load());
    EXPECT_FALSE(StartWorker([] {}));
    ClearExiting();
    EXPECT_FALSE(WaitForStop(1));
}

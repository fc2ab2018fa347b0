#include "base/Worker.h"

#include "base/DebugLog.h"

#include <QString>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace {

struct StopSignal {
    std::mutex mutex;
    std::condition_variable changed;
    bool set = false;
};

StopSignal& Stop()
{
    static StopSignal s;
    return s;
}

std::atomic<int> g_running {0};
std::atomic<bool> g_exiting {false};

} // namespace

bool StartWorker(WorkerJob job, int task)
{
    if (!job || g_exiting.load()) return false;
    ++g_running;
    try {
        std::thread([job = std::move(job), task]() mutable {
            try {
                job();
            } catch (...) {
                WriteDebugLogW(QString::asprintf("StartMediaCommunic err! task:%d", task));
            }
            job = nullptr; // the job's captures die before the count says we are done
            --g_running;
        }).detach();
    } catch (const std::exception&) {
        --g_running;
        return false;
    }
    return true;
}

int RunningWorkerCount() { return g_running.load(); }

bool IsExiting() { return g_exiting.load(); }

void SetExiting()
{
    g_exiting.store(true);
    StopSignal& s = Stop();
    {
        std::lock_guard lock(s.mutex);
        s.set = true;
    }
    s.changed.notify_all();
}

void ClearExiting()
{
    StopSignal& s = Stop();
    std::lock_guard lock(s.mutex);
    s.set = false;
    g_exiting.store(false);
}

bool WaitForStop(int ms)
{
    StopSignal& s = Stop();
    std::unique_lock lock(s.mutex);
    return s.changed.wait_for(lock, std::chrono::milliseconds(ms < 0 ? 0 : ms), [&] { return s.set; });
}

bool WaitForWorkers(int boundMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(boundMs);
    while (g_running.load() > 0) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

void LimitWorkerHeaps()
{
#ifdef M_ARENA_MAX
    if (qEnvironmentVariableIsSet("MALLOC_ARENA_MAX")) return;
    mallopt(M_ARENA_MAX, int(std::max(2u, std::thread::hardware_concurrency())));
#endif
}

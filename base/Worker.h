#pragma once
#include <functional>

// A worker job: a value holding everything it needs, run once on its own thread. It reports
// back only by posting to a CMsgTarget or by changing the store under its lock.
using WorkerJob = std::function<void()>;

// Runs `job` on a new detached thread. `task` names the job in the log line written when the
// job throws ("StartMediaCommunic err! task:%d"). Refused (false) once the process is exiting
// or when no thread can be made.
bool StartWorker(WorkerJob job, int task = 0);

// At most one C library heap per core for all threads, set once before the first thread starts.
// A thread may otherwise get a heap of its own (up to eight per core): what a finished worker
// freed (a library's load, an import's temporaries) stays resident at the top of its heap,
// where malloc_trim cannot give it back, until another thread happens to take that heap.
// MALLOC_ARENA_MAX in the environment still decides when set.
void LimitWorkerHeaps();

// Workers started and not yet ended.
int RunningWorkerCount();

// The process-wide exiting flag and stop event: set once at shutdown; every long job checks
// them and ends early.
bool IsExiting();
void SetExiting();
// Clears the flag and the event again; for a process that starts over (tests).
void ClearExiting();

// Sleeps up to `ms`, waking early when the stop event is set. True when it was set.
bool WaitForStop(int ms);

// Polls until every worker has ended or `boundMs` has passed; true when they all ended.
bool WaitForWorkers(int boundMs);

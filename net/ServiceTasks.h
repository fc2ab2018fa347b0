#pragma once
#include "net/proto/ServiceReplies.h"

#include <QList>

#include "model/CQvMusic.h"

// The service task thread: every numbered service task runs through StartServiceTask on a
// worker of its own, and the media tasks (3 lyrics, 4 cover) through StartMediaTask.
//
//   5  cloud groups of the signed-in user      (the host's RunCloudTask)
//   6  songs of the opened cloud group          (the host's RunCloudTask)
//   8  operation records saved at the last exit, then a send
//   9  operation-record send (timer 12)
//  11  update check asked for by the user
//  15  start-up report ("start")
//  17  service menu ("getmenu"), handed to the host
//  18  random songs for the current list        (the host's RunCloudTask)
//  19  silent update check after start-up

// What the window layer supplies to the tasks whose results belong to it. Called on the
// task's worker thread: an implementation hands the work to its own thread as it needs.
class IServiceTaskHost {
public:
    // Task 17: the menu entries that carry an address.
    virtual void MenuLoaded(const QList<MenuEntry>& entries) = 0;
    // Tasks 5, 6 and 18, which change the list tree; returns the request status.
    virtual int RunCloudTask(int code) = 0;

protected:
    virtual ~IServiceTaskHost() = default;
};

// Installed at start-up; until then tasks 5, 6, 17 and 18 only do their requests.
void SetServiceTaskHost(IServiceTaskHost* host);

// Starts task `code` on a new worker; false for an unknown code or when no worker can start
// (the process is exiting).
bool StartServiceTask(int code);
// Runs task `code` on the calling thread and returns its result.
int RunServiceTask(int code);

class CMediaLibrary;
// The library lock through which the lyrics task updates the store; set at start-up. Without
// it fetched lyrics stay with the track and are not stored.
void SetMediaTaskLibrary(CMediaLibrary* library);
CMediaLibrary* MediaTaskLibrary();

// Media tasks for one track: 3 fetches its lyrics (posting WM_LRC_READY to the controller),
// 4 its cover picture. The worker holds its own reference to the track.
constexpr int MEDIA_TASK_LYRICS = 3;
constexpr int MEDIA_TASK_COVER = 4;
// At most this many cover jobs run at once; StartMediaTask refuses (false) a cover job beyond.
constexpr int kMaxCoverJobs = 2;
bool StartMediaTask(int code, const TrackRef& track);
int RunMediaTask(int code, CQvMusic* track);

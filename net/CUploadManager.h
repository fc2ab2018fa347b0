#pragma once
#include "base/MsgWindow.h"

#include <QString>

#include <atomic>
#include <memory>

// One music file on its way to the user's cloud drive.
struct UploadJob {
    QString Gid;        // the track's key, and the job's
    QString path;       // the local file
    QString url;        // the page's upload address with its query
    QString album;
    // 0-100 while running, the result code once ended.
    std::atomic<int> progress {0};
    std::atomic<bool> cancel {false};
};

// Result codes of an upload; any other value is the service's own non-zero answer.
enum UploadResult {
    UPLOAD_OK = 0,
    UPLOAD_NO_FILE = 1,       // the file cannot be opened, or it is empty
    UPLOAD_CANCELLED = 2,
    UPLOAD_NOT_OPENED = 5,    // the request could not be made (the address does not split)
    UPLOAD_NOT_SENT = 6,      // the request or its body could not be sent
    UPLOAD_NO_ANSWER = 8,     // no answer (a number) could be read after the body
    UPLOAD_EXCEPTION = 10,
    UPLOAD_TOO_LARGE = -12,   // larger than the user's free capacity
};

// The uploads of one page view: jobs keyed by Gid, at most two running on workers, the others
// waiting and started in their Gid order as places free up. Progress and the end of each job
// are sent to the notification window as WM_UPLOAD_NOTIFY (wParam the UploadJob, valid while
// the message is handled; lParam 1 progress, 0 end). Destroying the manager cancels what runs
// and drops what waits, without waiting for the workers.
class CUploadManager {
public:
    static constexpr int kMaxActive = 2;
    // Free capacity assumed when the service does not say: 500 MiB.
    static constexpr qint64 kDefaultCapacity = 524288000;

    CUploadManager(CMsgTarget notify, QString vuid);
    ~CUploadManager();
    CUploadManager(const CUploadManager&) = delete;
    CUploadManager& operator=(const CUploadManager&) = delete;

    // The signed-in user's vuid, for the capacity request of the jobs started from now on.
    void SetVuid(const QString& vuid);

    // Queues or starts an upload; for a Gid already running it only clears that job's cancel.
    void StartUpload(const QString& gid, const QString& path, const QString& url, const QString& album);
    // Drops a waiting job silently, or asks a running one to stop (it ends with 2).
    enum CancelResult { kCancelNone = 0, kCancelWaiting, kCancelRunning };
    CancelResult CancelUpload(const QString& gid);
    // A running job's percent (-1 once cancelled), 0 for a waiting one, -1 for an unknown one.
    int GetProgress(const QString& gid) const;
    int ActiveCount() const;
    int WaitingCount() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

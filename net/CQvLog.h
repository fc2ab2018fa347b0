#pragma once
#include "base/MsgWindow.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

class CQvMusic;

// What is played and what the user does, reported to the service's log server.
//
// Operation records: AddRecord on the window thread; SendOperationRecords (task 9, timer 12
// of the controller every minute) sends at most 100 per post; SaveToFile at exit writes what
// is left to "<clientid>_0_opt.log" in the data folder; LoadSavedRecords (task 8, at start)
// takes them back and sends.
// The listening record: FormatListeningRecord when the current track stops or changes, then
// SendListening on a worker.
// Usage events: QueueUsageEvent; one worker sends them in order until StopUsageWorker.
class CQvLog {
public:
    static CQvLog& GetInstance();
    CQvLog();
    ~CQvLog();
    CQvLog(const CQvLog&) = delete;
    CQvLog& operator=(const CQvLog&) = delete;

    // The controller, owner of timer 12, which the send stops and re-arms.
    void SetTimerWindow(const CMsgTarget& controller);
    static constexpr int kSendTimer = 12;
    static constexpr int kSendPeriodMs = 60000;
    static constexpr int kBatch = 100;

    // One operation record of the action `event` with `value` in window `window`, `count`
    // times, with the current track's fields (or none).
    void AddRecord(int window, int event, int count, const CQvMusic* track, int value);
    int PendingCount() const;
    QStringList PendingRecords() const;
    void ClearPending();

    // At exit: appends every pending record to the operation-log file and empties the list.
    // 1 when written (or nothing was pending), 0 when the file could not be opened.
    int SaveToFile();
    QString SavedFilePath() const;
    // Task 8: the saved records go back into the list (the file is deleted), then a send.
    int LoadSavedRecords();
    // Task 9: 0 when sent or nothing to send, -1 for nothing taken. A failed post puts the
    // batch back at the front.
    int SendOperationRecords();

    // The log server address: "logserverurl" of the address table filled with an entry of
    // fallback list 6 chosen by a counter that grows at every lookup; empty when either is.
    QString LogServerUrl();

    // Listening record: sent when the log server is reachable. 1 when sent.
    int SendListening(const QString& record);
    // Page logs ("searchlog", "recommendlog"): 1 sent, 0 failed, -2 unreachable.
    int SendPageLog(const QString& kind, const QString& text);

    // Usage event: the entry point with "?m=log&type=", the type and the six values.
    // At most 20 wait; a full queue drops the event.
    void QueueUsageEvent(const QString& type, const QString& a, const QString& b, const QString& c,
                         const QString& d, const QString& e, const QString& f);
    static QString UsageEventUrl(const QString& entryUrl, const QString& type, const QStringList& values);
    // Ends the usage-event worker and waits for it at most `boundMs`; true when it ended.
    bool StopUsageWorker(int boundMs = 5000);
    int QueuedUsageEvents() const;
    static constexpr int kUsageSlots = 20;

private:
    void UsageWorker();

    mutable std::mutex m_mutex; // pending records
    std::deque<QString> m_pending;
    CMsgTarget m_timerWindow;
    std::mutex m_counterMutex;
    unsigned m_nLookups = 0;

    struct UsageQueue;
    std::shared_ptr<UsageQueue> m_usage;
};

// The listening record of one play.
struct ListeningInfo {
    qint64 startTick = 0; // ms since system start when playing started
    qint64 endTick = 0;   // ... when it ended or was stopped
    int positionSec = 0;  // where it was stopped
    int lengthSec = 0;
    QString artist;
    QString song;
    QString sysid;
    QString cmsid;
    QString lsrc;
    QString nsrc;
};
QString FormatListeningRecord(const ListeningInfo& info);
// Sends a listening record on a worker of its own (the play controller's entry point).
bool StartSendListening(const QString& record);
// Milliseconds since the system started, as the records count ticks.
qint64 TickCount();
// The file title of a path: its name without folder and extension.
QString FileTitle(const QString& path);

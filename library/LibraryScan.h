#pragma once
#include "base/MsgWindow.h"
#include "model/CQvMusic.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>

class CMediaLibrary;
class QObject;

// The track of a music file: the one the library already holds for its Gid, else a new track
// with the file's tags, stored and (unless `quiet`) offered to the lists. `downloaded` gives it
// today's download day, so it shows in the recent additions. Null for a missing file or a track
// the store refused.
TrackRef ImportFile(CMediaLibrary& library, const QString& path, bool quiet, bool downloaded, QObject* owner = nullptr);

// ImportFile for many paths, in order, as a scan imports them: the tags of a few dozen files
// are read without the lock, then those tracks are stored under the lock in one transaction, so
// the window thread never waits long and the rows cost one commit per batch. `onTrack` gets
// each track (new or already known) with the library's track count after it was stored, once
// its batch is stored; it returns false to end the import. `stop` is asked before each file.
// The number of paths handled.
using ImportedTrack = std::function<bool(CQvMusic* track, int libraryCount)>;
// The most files a batch takes (fewer when their reading takes long).
constexpr size_t kImportBatchFiles = 1024;
int ImportFiles(CMediaLibrary& library, const QStringList& paths, bool quiet, bool downloaded, QObject* owner,
                const ImportedTrack& onTrack, const std::function<bool()>& stop);

// What a scan shows through WM_SCAN_STATUS (the main window's handler turns it into its texts).
enum ScanStatus : unsigned {
    kScanShowSearching = 0, // show the progress window with "搜索mp3中..."
    kScanFound = 1,         // "已找到%d首歌曲" with lParam tracks in the library
    kScanDone = 2,          // "完成，共找到%d首歌曲"
    kScanHideProgress = 3,  // hide the progress window
    kScanSelectLocal = 4,   // select the node "本地音乐"
    kScanSelectChart = 5,   // select the node "试听风向标"
};
// The progress text of a status, empty for the ones without text.
QString ScanStatusText(unsigned status, int count);
extern const char16_t* const kLocalMusicNode; // "本地音乐"
extern const char16_t* const kChartNode;      // "试听风向标"

// WM_DISK_SCAN_PROGRESS: lParam -1 started, 0 search finished, 1 a track (wParam), 2 stopped by
// the user, 3 finished (wParam the worker's argument).
enum DiskScanProgress : int {
    kDiskScanStarted = -1,
    kDiskScanSearched = 0,
    kDiskScanTrack = 1,
    kDiskScanStopped = 2,
    kDiskScanFinished = 3,
};

// Shared by the controller and its scan workers.
struct ScanControl {
    std::atomic<bool> stop {false};        // the controller's stop flag: the user stopped the scan
    std::atomic<bool> running {false};     // a whole-computer scan is running: no second one
    std::atomic<int> imported {0};         // tracks the whole-computer scan has counted
    std::atomic<bool> ignoreDeleted {true}; // "忽略曾经删除的音乐"
};

// Everything a scan worker needs. The library outlives the workers (shutdown waits for them).
struct ScanJob {
    CMediaLibrary* library = nullptr;
    CMsgTarget mainWindow;
    CMsgTarget controller;
    std::shared_ptr<ScanControl> control;
    QStringList roots;        // where a whole-computer search starts; empty: ScanRoots()
    QObject* owner = nullptr; // the controller, as the new tracks' owner
};

// The start-up scan: the auto-scan folders (or the whole computer) searched and imported,
// quietly with progress texts on a first run, as user additions afterwards; then 1526 to the
// main window and the controller's timers 12 and 23. Run on a worker by StartStartupScan.
void RunStartupScan(const ScanJob& job);
bool StartStartupScan(ScanJob job);

// The whole-computer scan of the "添加全部" dialog with its WM_DISK_SCAN_PROGRESS messages.
// `downloaded` is the worker's argument (the dialog gives 1). StartDiskScan refuses (false)
// while a scan is running; it marks one running and resets the count, and the worker clears the
// mark when it ends.
void RunDiskScan(const ScanJob& job, int downloaded);
bool StartDiskScan(ScanJob job, int downloaded = 1);

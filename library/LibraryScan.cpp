#include "library/LibraryScan.h"

#include "library/CFileFinder.h"
#include "library/ScanRoots.h"

#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/Schema.h"
#include "store/TrackBuilder.h"

#include "base/MessageIds.h"
#include "base/Worker.h"
#include "model/TrackInfo.h"

#include <QFileInfo>
#include <QSet>

#include <thread>

const char16_t* const kLocalMusicNode = u"本地音乐";
const char16_t* const kChartNode = u"试听风向标";

namespace {

constexpr int kTimer12 = 12;
constexpr int kTimer12Ms = 60000;
constexpr int kTimer23 = 23;
constexpr int kTimer23Ms = 300000;

bool StopRequested(const ScanJob& job) { return job.control && job.control->stop.load(); }

int LibraryCount(CMediaLibrary& library)
{
    std::lock_guard lock(library.Mutex());
    return static_cast<int>(library.Store().LibraryTracks().size());
}

void Status(const ScanJob& job, unsigned status, int count = 0)
{
    job.mainWindow.SendMessage(WM_SCAN_STATUS, status, count);
}

// Searches `folders` (the standard music search each) into one list, each path once: the home
// folder and a mounted disk may reach the same files.
QStringList Search(const ScanJob& job, const QStringList& folders, const std::function<bool()>& afterEach = {})
{
    CFileFinder finder([&job] { return IsExiting() || StopRequested(job); });
    QStringList found;
    QSet<QString> seen;
    for (const QString& folder : folders) {
        finder.Clear();
        ScanFolder(finder, folder, QString::fromLatin1(kMusicMasks), true, kMusicDepth);
        for (const QString& path : finder.Paths()) {
            if (!seen.contains(path)) {
                seen.insert(path);
                found.append(path);
            }
        }
        if (finder.Stopped() || (afterEach && !afterEach())) break;
    }
    return found;
}

QStringList Roots(const ScanJob& job) { return job.roots.isEmpty() ? ScanRoots() : job.roots; }

} // namespace

TrackRef ImportFile(CMediaLibrary& library, const QString& path, bool quiet, bool downloaded, QObject* owner)
{
    TrackBuildOptions options;
    options.owner = owner;
    options.userAddition = downloaded;
    options.quiet = quiet;
    return BuildTrackFromFile(library, path, options);
}

QString ScanStatusText(unsigned status, int count)
{
    switch (status) {
    case kScanShowSearching: return QStringLiteral("搜索mp3中...");
    case kScanFound: return QStringLiteral("已找到%1首歌曲").arg(count);
    case kScanDone: return QStringLiteral("完成，共找到%1首歌曲").arg(count);
    default: return QString();
    }
}

// ---- the start-up scan ----------------------------------------------------------------------

void RunStartupScan(const ScanJob& job)
{
    if (!job.library) return;
    CMediaLibrary& library = *job.library;
    CQvConf& conf = library.Conf();
    SetFolderExclusions(conf.LoadFilterMap());

    int search, showsearch;
    QStringList scanPaths;
    {
        std::lock_guard lock(library.Mutex());
        search = conf.Settings().search;
        showsearch = conf.Settings().showsearch;
        scanPaths = conf.Settings().autoScanPaths;
    }
    const bool firstRun = search == 0 && LibraryCount(library) == 0;
    const bool scan = showsearch != 0;
    const int before = LibraryCount(library);

    if (!scan) {
        Status(job, kScanSelectChart);
    } else {
        if (firstRun) Status(job, kScanShowSearching);
        const QStringList found = Search(job, !scanPaths.isEmpty() ? scanPaths : Roots(job));
        if (StopRequested(job)) Status(job, kScanHideProgress);

        if (search == 0) {
            Status(job, kScanSelectLocal);
            for (const QString& path : found) {
                if (IsExiting() || StopRequested(job)) break;
                if (ImportFile(library, path, true, false, job.owner)) Status(job, kScanFound, LibraryCount(library));
                std::this_thread::yield();
            }
            if (!IsExiting()) Status(job, kScanDone, LibraryCount(library));
        } else if (search == 2) {
            for (const QString& path : found) {
                if (IsExiting() || StopRequested(job)) break;
                ImportFile(library, path, false, true, job.owner);
                std::this_thread::yield();
            }
        }
        // The first scan asks for the import-complete dialog.
        if (!IsExiting())
            job.mainWindow.SendMessage(WM_IMPORT_DONE, search == 0 ? 1 : 0, LibraryCount(library) - before);
    }

    {
        std::lock_guard lock(library.Mutex());
        conf.Settings().search = 2;
    }
    // What was found is kept even when shutdown began meanwhile: the wait for workers allows it.
    if (!QFileInfo::exists(conf.DataDir() + QStringLiteral("Config.xml"))) conf.SaveConfig();
    if (!QFileInfo::exists(conf.DataDir() + QLatin1String(kLibraryDbName))) library.SaveAllTracks();
    if (IsExiting()) return;
    job.controller.SetTimer(kTimer12, kTimer12Ms);
    job.controller.SetTimer(kTimer23, kTimer23Ms);
}

bool StartStartupScan(ScanJob job)
{
    return StartWorker([job = std::move(job)] { RunStartupScan(job); });
}

// ---- the whole-computer scan ----------------------------------------------------------------

void RunDiskScan(const ScanJob& job, int downloaded)
{
    struct RunningMark {
        ScanControl* control;
        ~RunningMark() { if (control) control->running = false; }
    } mark {job.control.get()};
    if (!job.library) return;
    CMediaLibrary& library = *job.library;
    const CMsgTarget& window = job.mainWindow;

    window.SendMessage(WM_DISK_SCAN_PROGRESS, 0, kDiskScanStarted);
    bool stopped = false;
    const QStringList found = Search(job, Roots(job), [&] { return !IsExiting() && !StopRequested(job); });
    if (IsExiting()) return;
    if (StopRequested(job)) stopped = true;
    if (!stopped) {
        window.SendMessage(WM_DISK_SCAN_PROGRESS, 0, kDiskScanSearched);
        if (IsExiting()) return;
        stopped = StopRequested(job);
    }
    if (stopped) {
        window.SendMessage(WM_DISK_SCAN_PROGRESS, 0, kDiskScanStopped);
        return;
    }

    for (const QString& path : found) {
        if (IsExiting()) return;
        if (StopRequested(job)) break;
        TrackRef track = ImportFile(library, path, false, downloaded != 0, job.owner);
        if (!track) continue;
        window.SendMessage(WM_DISK_SCAN_PROGRESS, reinterpret_cast<quintptr>(track.get()), kDiskScanTrack);
        std::this_thread::yield();
        if (track->GetState() & STATE_REMOVED) {
            // A track the user removed earlier comes back only when asked for.
            if (!job.control || job.control->ignoreDeleted) continue;
            library.RestoreTrack(track.get());
            library.OfferToLists(track.get(), -2);
        }
        if (job.control) ++job.control->imported;
        if (IsExiting()) return;
        if (StopRequested(job)) break;
        library.OfferToLists(track.get(), 4);
    }
    window.PostMessage(WM_DISK_SCAN_PROGRESS, quintptr(downloaded), kDiskScanFinished);
}

bool StartDiskScan(ScanJob job, int downloaded)
{
    if (!job.control || job.control->running.exchange(true)) return false;
    job.control->imported = 0;
    std::shared_ptr<ScanControl> control = job.control;
    if (StartWorker([job = std::move(job), downloaded] { RunDiskScan(job, downloaded); })) return true;
    control->running = false;
    return false;
}

#include "library/LibraryScan.h"

#include "library/CBatchTags.h"
#include "library/CFileFinder.h"
#include "library/ScanRoots.h"

#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"
#include "store/IQvNode.h"
#include "store/ImportCheckpoints.h"
#include "store/Schema.h"
#include "store/TrackBuilder.h"

#include "base/DebugLog.h"
#include "base/FileName.h"
#include "base/MessageIds.h"
#include "base/Worker.h"
#include "model/AudioTag.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <climits>

#include <algorithm>
#include <optional>
#include <thread>
#include <vector>

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

namespace {

// The tracks an import added stand in album order in the local music: by folder, then track
// number (tracks without one after those with), then file name, in the places the import gave
// them among the others.
void PutInAlbumOrder(CMediaLibrary& library, const std::vector<TrackRef>& added)
{
    if (added.size() < 2) return;
    std::lock_guard lock(library.Mutex());
    IQvNode* local = library.Store().FindNode(QString::fromUtf16(kLocalMusicNode));
    if (!local) return;
    // A sorted array, not a hash set: no allocation per track, and the lookups stay in one block.
    std::vector<const CQvMusic*> imported;
    imported.reserve(added.size());
    for (const TrackRef& t : added) imported.push_back(t.get());
    std::sort(imported.begin(), imported.end());
    MemberList& members = local->Tracks();
    std::vector<size_t> places;
    places.reserve(imported.size());
    MemberList tracks;
    tracks.reserve(imported.size());
    for (size_t i = 0; i < members.size(); ++i)
        if (std::binary_search(imported.begin(), imported.end(), members[i])) {
            places.push_back(i);
            tracks.push_back(members[i]);
        }
    // Each track's place is worked out once, not at every comparison of the sort, and each
    // folder's rank among the folders once: the sort compares numbers, and names only within a
    // folder.
    struct Place {
        int folder;
        int number;
        QStringView name;
        CQvMusic* track;
    };
    std::vector<Place> order;
    order.reserve(tracks.size());
    QHash<QStringView, int> folderIndex;
    std::vector<QStringView> folders;
    // A folder's files come one after another: the last track's folder is asked first.
    QStringView lastFolder;
    int lastIndex = -1;
    for (CQvMusic* track : tracks) {
        const TrackInfo& info = *track->GetInfo();
        const QStringView folder = info.LSrc.Directory();
        if (lastIndex < 0 || folder != lastFolder) {
            auto it = folderIndex.constFind(folder);
            if (it == folderIndex.cend()) {
                it = folderIndex.insert(folder, int(folders.size()));
                folders.push_back(folder);
            }
            lastFolder = folder;
            lastIndex = *it;
        }
        order.push_back({lastIndex, info.TrackNum > 0 ? info.TrackNum : INT_MAX, info.LSrc.FileName(), track});
    }
    std::vector<int> byName(folders.size());
    for (size_t i = 0; i < byName.size(); ++i) byName[i] = int(i);
    std::sort(byName.begin(), byName.end(), [&](int x, int y) { return folders[size_t(x)].compare(folders[size_t(y)]) < 0; });
    std::vector<int> rank(folders.size());
    for (size_t r = 0; r < byName.size(); ++r) rank[size_t(byName[r])] = int(r);
    for (Place& p : order) p.folder = rank[size_t(p.folder)];
    std::stable_sort(order.begin(), order.end(), [](const Place& x, const Place& y) {
        if (x.folder != y.folder) return x.folder < y.folder;
        if (x.number != y.number) return x.number < y.number;
        return x.name < y.name;
    });
    for (size_t k = 0; k < order.size(); ++k) tracks[k] = order[k].track;
    for (size_t k = 0; k < places.size(); ++k) members[places[k]] = tracks[k];
}

int ImportInBatches(CMediaLibrary& library, const QStringList& paths, bool quiet, bool downloaded, QObject* owner,
                    const ImportedTrack& onTrack, const std::function<bool()>& stop, std::vector<TrackRef>& added);

} // namespace

int ImportFiles(CMediaLibrary& library, const QStringList& paths, bool quiet, bool downloaded, QObject* owner,
                const ImportedTrack& onTrack, const std::function<bool()>& stop)
{
    std::vector<TrackRef> added;
    const int handled = ImportInBatches(library, paths, quiet, downloaded, owner, onTrack, stop, added);
    PutInAlbumOrder(library, added);
    return handled;
}

namespace {

int ImportInBatches(CMediaLibrary& library, const QStringList& paths, bool quiet, bool downloaded, QObject* owner,
                    const ImportedTrack& onTrack, const std::function<bool()>& stop, std::vector<TrackRef>& added)
{
    // A batch ends after kImportBatchFiles or this long of reading, whichever comes first: the
    // window thread waits at most one batch's inserts, never its reading. Each commit writes the
    // pages its rows touched again, and a large library's Gid index spreads a batch's rows over
    // many pages: the more rows a commit takes, the fewer pages are written per row.
    constexpr qint64 kBatchMs = 50;
    TrackBuildOptions options;
    options.owner = owner;
    options.userAddition = downloaded;
    options.quiet = quiet;
    // Stored one by one, offered to the lists by the batch.
    TrackBuildOptions storeOptions = options;
    storeOptions.quiet = true;

    const int total = int(paths.size());
    int handled = 0;
    bool stopped = false;
    // The new files' tags are all read before their tracks are made (see CBatchTags).
    CBatchTags read;
    read.Reserve(kImportBatchFiles);
    ImportCheckpoints checkpoints(library.Mutex(), library.Conf());
    while (handled < total && !stopped) {
        // Today is read once a batch, not once a file.
        if (downloaded) options.addDay = storeOptions.addDay = TodayDayNumber();
        std::vector<TrackRef> batch; // null where a path gave nothing
        QElapsedTimer reading;
        reading.start();
        read.Clear();
        while (handled + int(batch.size()) < total && batch.size() < kImportBatchFiles &&
               (batch.empty() || reading.elapsed() < kBatchMs)) {
            if (stop && stop()) {
                stopped = true;
                break;
            }
            const QString& path = paths[handled + int(batch.size())];
            TrackRef track;
            const QString gid = MakeGid(path);
            {
                std::lock_guard lock(library.Mutex());
                track = TrackRef(library.Store().FindTrack(gid, 0));
            }
            // Only regular files are imported. A file whose tags were read is one, so the
            // question costs a call into the system only for known tracks and unread files.
            if (track) {
                if (!IsRegularFile(path)) track = TrackRef();
            } else {
                AudioTagFields tags;
                const bool ok = ReadAudioTags(path, tags) != 0;
                if (ok || IsRegularFile(path)) read.Keep(batch.size(), gid, ok ? &tags : nullptr);
            }
            batch.push_back(std::move(track));
        }
        for (size_t i = 0; i < read.Count(); ++i) {
            const size_t place = read.Place(i);
            QString gid;
            AudioTagFields tags;
            const bool ok = read.Take(i, gid, tags);
            TrackRef track = TrackFromTags(paths[handled + int(place)], gid, ok ? &tags : nullptr, options);
            if (track) added.push_back(track);
            batch[place] = std::move(track);
        }

        std::vector<std::pair<TrackRef, int>> stored;
        {
            std::lock_guard lock(library.Mutex());
            CSqliteDb* db = library.Conf().LibraryDb();
            std::optional<SqliteTransaction> tx;
            if (db && db->IsOpen()) tx.emplace(*db);
            // The lists' new member rows go with the batch too, not one commit (one disk sync) each.
            CSqliteDb* tree = library.Conf().TreeDb();
            std::optional<SqliteTransaction> treeTx;
            if (!quiet && tree && tree->IsOpen()) treeTx.emplace(*tree);
            // The batch's new tracks go in front of the library together, once it is stored, and
            // are offered to the lists together, each list's rows written at once.
            CQvMediaStore& store = library.Store();
            store.BeginLoad(0);
            std::vector<CQvMusic*> fresh;
            for (TrackRef& track : batch) {
                if (!track) continue;
                CQvMusic* built = track.get();
                TrackRef kept = StoreBuiltTrack(library, std::move(track), storeOptions);
                if (kept && kept.get() == built) fresh.push_back(built);
                stored.emplace_back(std::move(kept), store.LibraryCount());
            }
            if (!quiet && !fresh.empty()) library.OfferToLists(fresh, -1);
            store.EndLoad();
            if (tx && tx->Commit() != kSqliteOk)
                WriteDebugLogA("ImportFiles: %d library rows not written", int(stored.size()));
            if (treeTx && treeTx->Commit() != kSqliteOk)
                WriteDebugLogA("ImportFiles: the list rows of %d tracks not written", int(stored.size()));
        }
        handled += int(batch.size());
        checkpoints.AfterBatch();
        for (const auto& [track, count] : stored)
            if (track && onTrack && !onTrack(track.get(), count)) return handled;
    }
    return handled;
}

} // namespace

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

        auto stop = [&job] { return IsExiting() || StopRequested(job); };
        if (search == 0) {
            Status(job, kScanSelectLocal);
            ImportFiles(library, found, true, false, job.owner, [&](CQvMusic*, int count) {
                Status(job, kScanFound, count);
                return !stop();
            }, stop);
            if (!IsExiting()) Status(job, kScanDone, LibraryCount(library));
        } else if (search == 2) {
            ImportFiles(library, found, false, true, job.owner, {}, stop);
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

    bool shutdown = false;
    auto stop = [&job] { return IsExiting() || StopRequested(job); };
    ImportFiles(library, found, false, downloaded != 0, job.owner, [&](CQvMusic* track, int) {
        window.SendMessage(WM_DISK_SCAN_PROGRESS, reinterpret_cast<quintptr>(track), kDiskScanTrack);
        std::this_thread::yield();
        if (track->GetState() & STATE_REMOVED) {
            // A track the user removed earlier comes back only when asked for.
            if (!job.control || job.control->ignoreDeleted) return !stop();
            library.RestoreTrack(track);
            library.OfferToLists(track, -2);
        }
        if (job.control) ++job.control->imported;
        if (stop()) {
            shutdown = IsExiting();
            return false;
        }
        library.OfferToLists(track, 4);
        return true;
    }, stop);
    if (shutdown || IsExiting()) return;
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

#include "net/ServiceTasks.h"

#include "base/Worker.h"
#include "net/CQvLog.h"
#include "net/Cover.h"
#include "net/LyricsFetch.h"
#include "net/ServiceAddress.h"
#include "net/ServiceMethods.h"
#include "net/ServiceRequest.h"
#include "net/Update.h"
#include "store/CQvConf.h"

#include <atomic>
#include <memory>

namespace {

std::atomic<IServiceTaskHost*> g_host {nullptr};
std::atomic<CMediaLibrary*> g_library {nullptr};

bool KnownTask(int code)
{
    switch (code) {
    case 5: case 6: case 8: case 9: case 11: case 15: case 17: case 18: case 19:
        return true;
    default:
        return false;
    }
}

} // namespace

void SetServiceTaskHost(IServiceTaskHost* host)
{
    g_host.store(host);
}

int RunServiceTask(int code)
{
    IServiceTaskHost* host = g_host.load();
    switch (code) {
    case 5:
    case 6:
    case 18:
        return host ? host->RunCloudTask(code) : 0;
    case 8:
        return CQvLog::GetInstance().LoadSavedRecords();
    case 9:
        return CQvLog::GetInstance().SendOperationRecords();
    case 11:
        return CheckUpdateOnDemand();
    case 15:
        return ReportStart(MetadataEntryUrl(), CQvConf::Instance().Info().version, -1);
    case 17: {
        QList<MenuEntry> entries;
        const int status = RequestMenu(MetadataEntryUrl(), entries);
        if (status == REQUEST_OK && host) host->MenuLoaded(entries);
        return status;
    }
    case 19:
        return CheckUpdateSilently();
    default:
        return 0;
    }
}

bool StartServiceTask(int code)
{
    if (!KnownTask(code)) return false;
    return StartWorker([code] { RunServiceTask(code); }, code);
}

void SetMediaTaskLibrary(CMediaLibrary* library)
{
    g_library.store(library);
}

CMediaLibrary* MediaTaskLibrary()
{
    return g_library.load();
}

int RunMediaTask(int code, CQvMusic* track)
{
    switch (code) {
    case MEDIA_TASK_LYRICS:
        return FetchLyrics(track, true, MediaTaskLibrary());
    case MEDIA_TASK_COVER:
        return FetchCoverPicture(track, 2);
    default:
        return 0;
    }
}

namespace {

// Cover jobs running now. Skipping through a list starts one per track; against a slow picture
// server they would pile up threads and open files, so beyond the bound a cover is left for the
// track's next start.
std::atomic<int> g_coverJobs {0};

class CoverJobSlot {
public:
    CoverJobSlot() : m_taken(g_coverJobs.fetch_add(1) < kMaxCoverJobs)
    {
        if (!m_taken) g_coverJobs.fetch_sub(1);
    }
    ~CoverJobSlot() { if (m_taken) g_coverJobs.fetch_sub(1); }
    CoverJobSlot(const CoverJobSlot&) = delete;
    CoverJobSlot& operator=(const CoverJobSlot&) = delete;
    bool Taken() const { return m_taken; }

private:
    bool m_taken;
};

} // namespace

bool StartMediaTask(int code, const TrackRef& track)
{
    if (code == MEDIA_TASK_LYRICS)
        return StartWorker([code, track] { RunMediaTask(code, track.get()); }, code);
    if (code != MEDIA_TASK_COVER) return false;
    auto slot = std::make_shared<CoverJobSlot>();
    if (!slot->Taken()) return false;
    return StartWorker([code, track, slot] { RunMediaTask(code, track.get()); }, code);
}

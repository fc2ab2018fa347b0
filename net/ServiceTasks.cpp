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

bool StartMediaTask(int code, const TrackRef& track)
{
    if (code != MEDIA_TASK_LYRICS && code != MEDIA_TASK_COVER) return false;
    return StartWorker([code, track] { RunMediaTask(code, track.get()); }, code);
}

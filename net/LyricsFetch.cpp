#include "net/LyricsFetch.h"

#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "lyrics/CLyricsTable.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "net/CQvCINet.h"
#include "net/CQvLog.h"
#include "net/ServiceAddress.h"
#include "net/ServiceMethods.h"
#include "net/ServiceRequest.h"

namespace {

constexpr unsigned kForceFetch = 0x40;

} // namespace

int FetchLyrics(CQvMusic* track, bool notify, CMediaLibrary* library)
{
    if (!track || !track->GetInfo()) return 0;
    const CMsgTarget controller = ServiceControllerWindow();
    const auto ready = [&] {
        if (notify) controller.PostMessage(WM_LRC_READY, 1, reinterpret_cast<qintptr>(track));
    };
    if (track->LoadLyrics() && !(track->GetState() & kForceFetch)) {
        QString text;
        track->GetLyricsText(text);
        if (!text.isEmpty()) ready();
        return 1;
    }
    const QString url = MetadataEntryUrl();
    CQvCINet net;
    if (IsShuttingDown() || !net.CheckConnection(url)) return 1;

    const TrackInfo& info = *track->GetInfo();
    LyricsQuery query;
    query.musicId = info.NSrc.isEmpty() ? (info.Rare().Sysid.isEmpty() ? info.Rare().CmsID : info.Rare().Sysid) : QString();
    query.id = info.Gid;
    query.artist = info.Artist;
    query.album = info.Album;
    query.songName = info.Song;
    query.fileName = FileTitle(info.LSrc);
    query.fullPath = info.LSrc;
    QString content;
    const int status = RequestLyrics(url, query, content);
    if (status == REQUEST_MALFORMED) return 0;
    QString text;
    if (status == REQUEST_OK) {
        if (content.isEmpty())
            controller.PostMessage(WM_LRC_NOT_FOUND, 0, reinterpret_cast<qintptr>(track));
        else
            text = NormaliseServiceLyrics(content);
    }
    if (text.isEmpty()) {
        track->SetHasLyrics(0);
        return 0;
    }
    track->SetLyricsText(text);
    track->SetHasLyrics(1);
    if (library) StoreFetchedLyrics(*library, info.Gid, text);
    ready();
    return 1;
}

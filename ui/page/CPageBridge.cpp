#include "ui/page/CPageBridge.h"

#include "model/TrackInfo.h"
#include "net/CQvClientIdentity.h"
#include "store/CMediaLibrary.h"
#include "store/IQvNode.h"
#include "store/TrackBuilder.h"
#include "ui/page/IPageHost.h"
#include "ui/page/PageText.h"

#include <QThread>
#include <QUrl>

#include <algorithm>
#include <mutex>

namespace {

int IntArg(const QJsonArray& args, int i)
{
    if (i >= args.size()) return 0;
    const QJsonValue v = args.at(i);
    if (v.isDouble()) {
        const double d = v.toDouble();
        return d >= -2147483648.0 && d <= 2147483647.0 ? int(d) : 0;
    }
    if (v.isString()) return v.toString().trimmed().toInt();
    if (v.isBool()) return v.toBool() ? 1 : 0;
    return 0;
}

QString StringArg(const QJsonArray& args, int i)
{
    if (i >= args.size()) return QString();
    const QJsonValue v = args.at(i);
    if (v.isString()) return v.toString();
    if (v.isDouble()) return QString::number(v.toDouble());
    return QString();
}

bool IsUploadAddress(const QString& url)
{
    const QUrl u(url);
    return u.isValid() && !u.host().isEmpty()
        && (u.scheme() == QLatin1String("http") || u.scheme() == QLatin1String("https"));
}

} // namespace

QStringList CPageBridge::MethodNames()
{
    return {QStringLiteral("MPlay"),        QStringLiteral("GetItem"),        QStringLiteral("GetItemCount"),
            QStringLiteral("AddMusic"),     QStringLiteral("DelMusic"),       QStringLiteral("UploadMusic"),
            QStringLiteral("IsLogin"),      QStringLiteral("CancelUpload"),   QStringLiteral("PlaySong"),
            QStringLiteral("GetLoginString"), QStringLiteral("GetProgress"), QStringLiteral("GetPlayingMusicID"),
            QStringLiteral("SleepExT"),     QStringLiteral("SearchLog"),      QStringLiteral("RecommendLog")};
}

QJsonValue CPageBridge::Call(const QString& method, const QJsonArray& args, bool* known)
{
    if (known) *known = true;
    const auto s = [&](int i) { return StringArg(args, i); };
    const auto n = [&](int i) { return IntArg(args, i); };
    if (method == QLatin1String("MPlay")) return MPlay(s(0), s(1), qint16(n(2)), qint16(n(3)));
    if (method == QLatin1String("GetItem")) return GetItem(n(0));
    if (method == QLatin1String("GetItemCount")) return GetItemCount();
    if (method == QLatin1String("AddMusic")) return AddMusic();
    if (method == QLatin1String("DelMusic")) return DelMusic(s(0));
    if (method == QLatin1String("UploadMusic")) return UploadMusic(n(0), s(1));
    if (method == QLatin1String("IsLogin")) return IsLogin();
    if (method == QLatin1String("CancelUpload")) return CancelUpload(s(0));
    if (method == QLatin1String("PlaySong")) return PlaySong(n(0));
    if (method == QLatin1String("GetLoginString")) return GetLoginString();
    if (method == QLatin1String("GetProgress")) return GetProgress(s(0));
    if (method == QLatin1String("GetPlayingMusicID")) return GetPlayingMusicID();
    if (method == QLatin1String("SleepExT")) return SleepExT(n(0));
    if (method == QLatin1String("SearchLog")) return SearchLog(s(0));
    if (method == QLatin1String("RecommendLog")) return RecommendLog(s(0));
    if (known) *known = false;
    return QJsonValue();
}

// ---- tracks -------------------------------------------------------------------------------

TrackRef CPageBridge::PageTrack(const PageTrackFields& fields) const
{
    UrlTrackFields u;
    u.url = fields.url;
    u.song = fields.song;
    u.artist = fields.artist;
    u.album = fields.album;
    u.cmsId = fields.id;
    u.star = fields.star;
    u.fromPage = true;
    return MakeTrackFromUrl(m_host.PageLibrary(), u, TrackBuildOptions());
}

TrackRef CPageBridge::ShownTrack(int index) const
{
    IQvNode* node = m_host.ShownNode();
    if (!node || index < 0) return TrackRef();
    std::lock_guard lock(m_host.PageLibrary().Mutex());
    return index < node->TrackCount() ? TrackRef(node->GetTrack(index)) : TrackRef();
}

void CPageBridge::AddTrack(const PageTrackFields& fields, bool mayNotify)
{
    m_host.RecordListContext(fields);
    TrackRef track = PageTrack(fields);
    if (!track) return;
    m_host.AddPageTrack(track);
    if (mayNotify && !m_bNoticeShown) {
        m_bNoticeShown = true;
        m_host.ShowAddNotice();
    }
}

void CPageBridge::RunSelfOpt(const QString& url)
{
    const QString rest = url.mid(kSelfOptPrefixLength);
    if (rest.startsWith(QLatin1String("{play^"))) m_host.ClearPageQueue();
    for (const PageTrackFields& group : ParseSelfOpt(rest)) {
        if (group.action == QLatin1String("add")) {
            AddTrack(group, true);
            continue;
        }
        TrackRef track = PageTrack(group);
        if (!track) continue;
        const bool first = m_host.PageQueueEmpty();
        m_host.RecordListContext(group);
        m_host.QueuePageTrack(track, first);
    }
}

// ---- the methods --------------------------------------------------------------------------

int CPageBridge::MPlay(const QString& action, const QString& data, qint16 a, qint16 b)
{
    if (data.size() <= 5) return 0;
    const PageTrackFields fields = ParsePageFields(data);
    if (action == QLatin1String("play") && a == b) {
        m_host.RecordListContext(fields);
        if (TrackRef track = PageTrack(fields)) m_host.PlayPageTrack(track);
    } else if (action == QLatin1String("play") || action == QLatin1String("add")) {
        AddTrack(fields, action == QLatin1String("add") && a == b);
    }
    return 0;
}

QString CPageBridge::GetItem(int index) const
{
    TrackRef track = ShownTrack(index);
    if (!track || !track->GetInfo()) return QString();
    std::lock_guard lock(m_host.PageLibrary().Mutex());
    const TrackInfo& info = *track->GetInfo();
    return FormatPageItem(info.Song, info.Artist, info.Album, info.Gid);
}

int CPageBridge::GetItemCount() const
{
    IQvNode* node = m_host.ShownNode();
    if (!node) return 0;
    std::lock_guard lock(m_host.PageLibrary().Mutex());
    return node->TrackCount();
}

int CPageBridge::AddMusic()
{
    m_host.AddMusic();
    return 0;
}

int CPageBridge::DelMusic(const QString& indexes)
{
    QList<int> rows = ParseIndexList(indexes);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QList<TrackRef> tracks;
    for (int row : rows) {
        TrackRef track = ShownTrack(row);
        if (!track) continue;
        if (IPageUploads* uploads = m_host.PageUploads()) uploads->CancelUpload(track->GetInfo()->Gid);
        tracks.append(track);
    }
    if (!tracks.isEmpty()) m_host.DeletePageTracks(tracks);
    return 1;
}

int CPageBridge::UploadMusic(int index, const QString& url)
{
    TrackRef track = ShownTrack(index);
    if (!track || !track->GetInfo() || !IsUploadAddress(url)) return -1;
    const CQvClientIdentity::Values who = CQvClientIdentity::Instance().Get();
    if (who.vuid.isEmpty() || who.phone.isEmpty()) return -1;
    IPageUploads* uploads = m_host.PageUploads();
    if (!uploads) return -1;
    const TrackInfo& info = *track->GetInfo();
    const QString address = UploadAddress(url, info.Song, info.Artist, info.Gid, who.phone, info.LSrc, who.vuid, info.Album);
    return uploads->QueueUpload(track, address) == 0 ? 0 : -1;
}

int CPageBridge::IsLogin()
{
    const CQvClientIdentity::Values who = CQvClientIdentity::Instance().Get();
    if (!who.vuid.isEmpty() && !who.phone.isEmpty()) return 1;
    m_host.RequestLogin();
    return -1;
}

int CPageBridge::CancelUpload(const QString& gid)
{
    if (gid.isEmpty()) return 0;
    IPageUploads* uploads = m_host.PageUploads();
    return uploads ? uploads->CancelUpload(gid) : 0;
}

int CPageBridge::PlaySong(int index)
{
    if (!ShownTrack(index)) return -1;
    return m_host.PlayShownItem(index);
}

QString CPageBridge::GetLoginString() const
{
    const CQvClientIdentity::Values who = CQvClientIdentity::Instance().Get();
    return FormatLoginString(who.vuid, who.phone);
}

int CPageBridge::GetProgress(const QString& gid) const
{
    if (gid.isEmpty()) return -1;
    IPageUploads* uploads = m_host.PageUploads();
    return uploads ? uploads->UploadProgress(gid) : -1;
}

QString CPageBridge::GetPlayingMusicID() const
{
    CQvMusic* track = m_host.PlayingTrack();
    if (!track || !track->GetInfo()) return QString();
    return track->GetInfo()->Gid;
}

int CPageBridge::SleepExT(int ms)
{
    QThread::msleep(static_cast<unsigned long>(std::clamp(ms, 0, kSleepCapMs)));
    return 0;
}

int CPageBridge::SearchLog(const QString& text)
{
    if (!text.isEmpty()) m_host.SendPageLog(QStringLiteral("searchlog"), text);
    return 0;
}

int CPageBridge::RecommendLog(const QString& text)
{
    if (!text.isEmpty()) m_host.SendPageLog(QStringLiteral("recommendlog"), text);
    return 0;
}

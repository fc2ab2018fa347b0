#include "app/CMprisService.h"

#include "app/CMainDlg.h"
#include "app/CMprisAdaptors.h"
#include "app/CQuarvelDlg.h"
#include "app/CTrackListModel.h"
#include "app/CViewDlg.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "net/Cover.h"
#include "playback/CQvPlayCore.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/TrackBuilder.h"
#include "ui/ControlIds.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
// A position further than this from where steady playing would have taken it was a jump.
constexpr qint64 kSeekSlackMs = 1500;
} // namespace

CMprisService::CMprisService(CMainDlg& controller, QObject* parent)
    : QObject(parent), m_ctl(controller), m_bus(QString())
{
    new CMprisRootAdaptor(this);
    m_pPlayer = new CMprisPlayerAdaptor(this);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &CMprisService::Refresh);
    m_timer.start();
    m_positionClock.start();
}

CMprisService::~CMprisService()
{
    if (m_bRegistered) {
        m_bus.unregisterService(QLatin1String(kServiceName));
        m_bus.unregisterObject(QLatin1String(kObjectPath));
    }
}

bool CMprisService::Register(QDBusConnection bus)
{
    if (!bus.isConnected()) return false;
    if (!bus.registerObject(QLatin1String(kObjectPath), this, QDBusConnection::ExportAdaptors)) return false;
    if (!bus.registerService(QLatin1String(kServiceName))) {
        bus.unregisterObject(QLatin1String(kObjectPath));
        return false;
    }
    m_bus = bus;
    m_bRegistered = true;
    return true;
}

// ---- state --------------------------------------------------------------------------------

QString CMprisService::PlaybackStatus() const
{
    if (!m_ctl.CurrentTrack()) return QStringLiteral("Stopped");
    switch (m_ctl.Engine().GetStatus()) {
    case CQvPlayCore::kPlaying:
    case CQvPlayCore::kStalled:
    case CQvPlayCore::kReady:
        return QStringLiteral("Playing");
    case CQvPlayCore::kPaused:
        // The engine says paused also while it opens the track that is about to play.
        return m_ctl.IsStarted() ? QStringLiteral("Paused") : QStringLiteral("Playing");
    default:
        return QStringLiteral("Stopped");
    }
}

QString CMprisService::LoopStatus() const
{
    switch (m_ctl.PlayMode()) {
    case CPlayController::kModeNone: return QStringLiteral("None");
    case CPlayController::kModeRepeatOne: return QStringLiteral("Track");
    default: return QStringLiteral("Playlist"); // the random mode goes on for ever too
    }
}

bool CMprisService::Shuffle() const { return m_ctl.PlayMode() == CPlayController::kModeRandom; }

double CMprisService::Volume() const
{
    // Silence is not kept as the setting; the engine knows it.
    if (m_ctl.Engine().GetVolume() == 0.0f) return 0.0;
    return m_ctl.Volume() / 100.0;
}

qint64 CMprisService::PositionUs() const
{
    if (!m_ctl.CurrentTrack()) return 0;
    return std::max(0, m_ctl.GetPositionMs()) * qint64(1000);
}

QString CMprisService::TrackId() const
{
    CQvMusic* track = m_ctl.CurrentTrack();
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info) return QLatin1String(kNoTrack);
    // A Gid is 32 hexadecimal digits, which an object path element may hold as it is.
    QString gid = info->Gid.isEmpty() ? MakeGid(info->LSrc.isEmpty() ? info->NSrc.str() : info->LSrc.Text()) : info->Gid.Text();
    for (QChar& c : gid)
        if (!c.isLetterOrNumber() || c.unicode() > 127) c = QLatin1Char('_');
    return QStringLiteral("/org/ordel/track/") + gid;
}

QString CMprisService::ArtUrl() const
{
    CQvMusic* track = m_ctl.CurrentTrack();
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    // The cover task writes the file (from the service, or the picture in the file's tags); the
    // poll sees it appear.
    const QString cover = info ? ExistingCoverFile(*info) : QString();
    return cover.isEmpty() ? QString() : QUrl::fromLocalFile(QFileInfo(cover).absoluteFilePath()).toString();
}

QString CMprisService::LyricsText() const
{
    CQvMusic* track = m_ctl.CurrentTrack();
    if (!track || m_ctl.LyricsTrack() != track) return {};
    CLyrics& lyrics = const_cast<CMainDlg&>(m_ctl).Lyrics();
    if (!lyrics.IsReady()) return {};
    QStringList lines;
    for (const CLyrics_Struct& line : lyrics.Lines()) {
        // The frame lines and the no-lyrics line are the panel's, not the song's.
        if (line.time == CLyrics::kTrailerTime || line.time == CLyrics::kEndLineTime) continue;
        if (line.time == CLyrics::kNoLyricsTime && line.text == CLyrics::NoLyricsText()) continue;
        lines.append(line.text);
    }
    return lines.join(QLatin1Char('\n')).trimmed();
}

QVariantMap CMprisService::Metadata() const
{
    std::unique_lock lock(m_ctl.Library().Mutex());
    return MetadataLocked();
}

QVariantMap CMprisService::MetadataLocked() const
{
    CQvMusic* track = m_ctl.CurrentTrack();
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId())));
    if (!info) return m;
    QString title = info->Song, artist = info->Artist, album = info->Album;
    const int stars = info->Default2;
    int seconds = info->TotleTime;
    if (seconds <= 0) seconds = EngineLengthSeconds(m_ctl.Engine().GetLength());
    if (seconds > 0) m.insert(QStringLiteral("mpris:length"), qint64(seconds) * 1000000);
    if (title.isEmpty()) title = QFileInfo(info->LSrc.isEmpty() ? info->NSrc.str() : info->LSrc.Text()).completeBaseName();
    m.insert(QStringLiteral("xesam:title"), title);
    if (!artist.isEmpty()) m.insert(QStringLiteral("xesam:artist"), QStringList {artist});
    if (!album.isEmpty()) m.insert(QStringLiteral("xesam:album"), album);
    const QString source = info->LSrc.isEmpty() ? info->NSrc : QUrl::fromLocalFile(info->LSrc).toString();
    if (!source.isEmpty()) m.insert(QStringLiteral("xesam:url"), source);
    m.insert(QStringLiteral("xesam:userRating"), std::clamp(stars, 0, 5) / 5.0);
    const QString art = ArtUrl();
    if (!art.isEmpty()) m.insert(QStringLiteral("mpris:artUrl"), art);
    const QString lyrics = LyricsText();
    if (!lyrics.isEmpty()) m.insert(QStringLiteral("xesam:asText"), lyrics);
    return m;
}

// ---- commands -----------------------------------------------------------------------------

void CMprisService::Play()
{
    const QString status = PlaybackStatus();
    if (status == QLatin1String("Playing")) return;
    // Nothing chosen yet: the list's first track, as a user pressing play on a fresh start expects.
    CQuarvelDlg* window = m_ctl.MainWindow();
    if (!m_ctl.CurrentTrack() && m_ctl.CurrentIndex() < 0 && window && window->SelectedRow() < 0) window->SelectRow(0);
    m_ctl.OnCommand(ctl::kPlayPause);
    Refresh();
}

void CMprisService::Pause()
{
    if (PlaybackStatus() != QLatin1String("Playing") || !m_ctl.IsStarted()) return;
    m_ctl.OnCommand(ctl::kPlayPause);
    Refresh();
}

void CMprisService::PlayPause()
{
    m_ctl.OnCommand(ctl::kPlayPause);
    Refresh();
}

void CMprisService::Stop()
{
    if (!m_ctl.CurrentTrack()) return;
    m_ctl.OnCommand(ctl::kStop);
    Refresh();
}

void CMprisService::Next()
{
    m_ctl.OnCommand(ctl::kNext);
    Refresh();
}

void CMprisService::Previous()
{
    m_ctl.OnCommand(ctl::kPrev);
    Refresh();
}

void CMprisService::SeekBy(qint64 offsetUs)
{
    if (!m_ctl.CurrentTrack()) return;
    const qint64 target = std::max<qint64>(0, m_ctl.GetPositionMs() + offsetUs / 1000);
    const qint64 length = qint64(m_ctl.GetLengthSeconds()) * 1000;
    // Past the end is the next track, as the media controls expect.
    if (length > 0 && target > length) {
        Next();
        return;
    }
    if (m_ctl.Seek(int(target))) EmitSeeked(target * 1000);
}

void CMprisService::SetPosition(const QString& trackId, qint64 positionUs)
{
    if (!m_ctl.CurrentTrack() || trackId != TrackId() || positionUs < 0) return;
    const qint64 length = qint64(m_ctl.GetLengthSeconds()) * 1000;
    if (length > 0 && positionUs / 1000 > length) return;
    if (m_ctl.Seek(int(positionUs / 1000))) EmitSeeked(positionUs);
}

void CMprisService::OpenUri(const QString& uri)
{
    const QUrl url(uri);
    const QString scheme = url.scheme().toLower();
    if (url.isLocalFile() || scheme.isEmpty()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : uri;
        if (QFileInfo(path).isFile()) m_ctl.PlayHandedOverFiles({QFileInfo(path).absoluteFilePath()});
        Refresh();
        return;
    }
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("mms")) return;
    // A network address is added as the add-address dialog adds it, then played.
    UrlTrackFields fields;
    fields.url = uri;
    if (!m_ctl.AddUrl(fields)) return;
    CQvMusic* track = nullptr;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        track = m_ctl.Library().Store().FindTrack(MakeGid(uri), 0);
    }
    if (!track) return;
    const int row = m_ctl.MainWindow()->ListModel()->RowOf(track);
    m_ctl.StopPlay();
    if (row >= 0) m_ctl.OnListDoubleClick(row);
    else m_ctl.PlayNow(TrackRef(track), true);
    Refresh();
}

void CMprisService::SetLoopStatus(const QString& status)
{
    if (status == QLatin1String("Track")) {
        m_ctl.OnCommand(ctl::kModeSingle);
    } else if (status == QLatin1String("Playlist")) {
        // Random play goes on for ever as well; only a mode that ends is changed.
        if (m_ctl.PlayMode() != CPlayController::kModeRandom) m_ctl.OnCommand(ctl::kModeLoop);
    } else if (status == QLatin1String("None")) {
        // The window has no command for it: the mode is set as the settings keep it.
        m_ctl.Conf().Settings().rolltype = CPlayController::kModeNone;
        if (m_ctl.MainWindow()) m_ctl.MainWindow()->SetPlayMode(CPlayController::kModeNone);
    }
    Refresh();
}

void CMprisService::SetShuffle(bool on)
{
    if (on && !Shuffle()) m_ctl.OnCommand(ctl::kModeRandom);
    else if (!on && Shuffle()) m_ctl.OnCommand(ctl::kModeLoop);
    Refresh();
}

void CMprisService::SetVolume(double volume)
{
    if (!std::isfinite(volume)) return;
    m_ctl.SetVolumePercent(int(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
    Refresh();
}

void CMprisService::Raise()
{
    if (m_ctl.ViewWindow() && m_ctl.ViewWindow()->isVisible()) m_ctl.OnCommand(ctl::kMiniRestore);
    else if (m_ctl.MainWindow()) m_ctl.MainWindow()->RestoreFromTray();
}

void CMprisService::Quit() { m_ctl.OnCommand(ctl::kExit); }

// ---- announcing ---------------------------------------------------------------------------

void CMprisService::Refresh()
{
    if (m_ctl.IsShuttingDown()) return;
    QVariantMap changed;
    const QString status = PlaybackStatus();
    if (status != m_lastStatus) changed.insert(QStringLiteral("PlaybackStatus"), m_lastStatus = status);
    const QString loop = LoopStatus();
    if (loop != m_lastLoop) changed.insert(QStringLiteral("LoopStatus"), m_lastLoop = loop);
    const bool shuffle = Shuffle();
    if (shuffle != m_bLastShuffle) changed.insert(QStringLiteral("Shuffle"), m_bLastShuffle = shuffle);
    const double volume = Volume();
    if (volume != m_lastVolume) changed.insert(QStringLiteral("Volume"), m_lastVolume = volume);
    // A scan may hold the library for a while; the window's thread does not wait for it here,
    // the next tick looks again.
    std::unique_lock lock(m_ctl.Library().Mutex(), std::try_to_lock);
    if (lock.owns_lock()) {
        const QVariantMap metadata = MetadataLocked();
        lock.unlock();
        if (metadata != m_lastMetadata) changed.insert(QStringLiteral("Metadata"), m_lastMetadata = metadata);
    }
    if (!changed.isEmpty()) EmitChanged(kPlayerInterface, changed);

    CQvMusic* track = m_ctl.CurrentTrack();
    const QString gid = track ? track->GetInfo()->Gid.Text() : QString();
    const bool newTrack = gid != m_lastGid;
    m_lastGid = gid;

    // A jump of the position that steady playing does not explain was a seek of the window's.
    const qint64 position = PositionUs() / 1000;
    const qint64 elapsed = m_positionClock.restart();
    const qint64 expected = m_lastPositionMs + (status == QLatin1String("Playing") ? elapsed : 0);
    if (!newTrack && track && std::abs(position - expected) > kSeekSlackMs) EmitSeeked(position * 1000);
    m_lastPositionMs = position;

    if (newTrack && track) emit TrackChanged();
}

void CMprisService::EmitChanged(const char* interfaceName, const QVariantMap& changed)
{
    if (!m_bRegistered) return;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(interfaceName) << changed << QStringList();
    m_bus.send(signal);
}

void CMprisService::EmitSeeked(qint64 positionUs)
{
    m_lastPositionMs = positionUs / 1000;
    m_positionClock.restart();
    if (m_bRegistered) emit m_pPlayer->Seeked(positionUs);
}

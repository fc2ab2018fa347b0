#include "playback/CPlayController.h"

#include "base/DebugLog.h"
#include "base/MessageIds.h"
#include "base/Worker.h"
#include "model/TrackInfo.h"
#include "net/CQvLog.h"
#include "net/Cover.h"
#include "net/ServiceTasks.h"
#include "playback/CQvPlayCore.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"

#include <QRandomGenerator>

#include <algorithm>
#include <mutex>

namespace {

// Shown when a track cannot start because the sound device does not open (the engine's own text).
constexpr char kNoDeviceText[] = "Can't initialize device";

// The operation record's event code and value of each play mode's command.
struct ModeCommand {
    int event;
    int command;
};
ModeCommand CommandOfMode(int mode)
{
    switch (mode) {
    case CPlayController::kModeListLoop: return {983, 1025};
    case CPlayController::kModeRandom: return {984, 1026};
    case CPlayController::kModeRepeatOne: return {982, 1512};
    default: return {0, 0};
    }
}

void QueueSwitchEvent(const char* direction)
{
    CQvLog::GetInstance().QueueUsageEvent(QStringLiteral("sdqh"), QLatin1String(direction), QString(), QString(),
                                          QString(), QString(), QString());
}

} // namespace

CPlayController::CPlayController(CMediaLibrary& library, CQvPlayCore* engine, QObject* parent)
    : CMsgWindow(parent),
      m_library(library),
      m_pEngine(engine ? engine : CQvPlayCore::GetInstance()),
      m_random([] { return QRandomGenerator::global()->generate(); })
{
}

CPlayController::~CPlayController() = default;

int CPlayController::InitEngine(IEngineUi* ui)
{
    m_pEngineUi = ui;
    // The first track plays at the stored volume from its first sample, not from its start notice.
    m_pEngine->SetVolume(StoredVolume());
    const int ok = m_pEngine->Init(Target(), ui);
    // The engine has just said that the device does not open.
    m_bInitFailureTold = ok == 0;
    return ok;
}

float CPlayController::StoredVolume() const
{
    return static_cast<float>(std::clamp(m_library.Conf().Settings().volume, 0, 100)) / 100.0f;
}

// ---- listeners --------------------------------------------------------------------------

void CPlayController::AddListener(const CMsgTarget& listener) { m_listeners.push_back(listener); }

void CPlayController::Broadcast(unsigned msg, quintptr wParam, qintptr lParam)
{
    std::erase_if(m_listeners, [&](const CMsgTarget& t) { return !t.PostMessage(msg, wParam, lParam); });
}

void CPlayController::SendToListeners(unsigned msg, quintptr wParam, qintptr lParam)
{
    // A listener may add listeners while it handles the message: walk a copy.
    const std::vector<CMsgTarget> listeners = m_listeners;
    for (const CMsgTarget& t : listeners) t.SendMessage(msg, wParam, lParam);
    std::erase_if(m_listeners, [](const CMsgTarget& t) { return !t.IsAlive(); });
}

// ---- the window's parts -----------------------------------------------------------------

void CPlayController::ShowCover(const QString&) {}
void CPlayController::ShowRating(int) {}
void CPlayController::ShowPlayingTrack(CQvMusic*, int) {}
void CPlayController::SelectTreeNode(IQvNode* node) { SetDisplayedNode(node); }
void CPlayController::ShowOpenFailed(CQvMusic*) {}

// ---- the current list -------------------------------------------------------------------

int CPlayController::ListSize() const
{
    if (m_bQueueCurrent) return static_cast<int>(m_playQueue.size());
    if (!m_pPlayNode) return 0;
    // Scans change the lists under the library lock.
    std::lock_guard lock(m_library.Mutex());
    return static_cast<int>(m_pPlayNode->Tracks().size());
}

TrackRef CPlayController::TrackAt(int index) const
{
    if (index < 0) return TrackRef();
    if (m_bQueueCurrent) return index < static_cast<int>(m_playQueue.size()) ? m_playQueue[index] : TrackRef();
    if (!m_pPlayNode) return TrackRef();
    std::lock_guard lock(m_library.Mutex());
    const MemberList& tracks = m_pPlayNode->Tracks();
    return index < static_cast<int>(tracks.size()) ? TrackRef(tracks[index]) : TrackRef();
}

void CPlayController::ListReordered()
{
    if (m_bQueueCurrent || !m_pPlayNode || !m_pCurTrack) return;
    std::lock_guard lock(m_library.Mutex());
    const MemberList& tracks = m_pPlayNode->Tracks();
    for (int i = 0; i < static_cast<int>(tracks.size()); ++i)
        if (tracks[i] == m_pCurTrack.get()) {
            m_nCurIndex = i;
            return;
        }
}

int CPlayController::PlayAt(int index)
{
    const TrackRef track = TrackAt(index);
    if (!track) return 0;
    ListIndex() = index;
    StopPlay();
    return PlayTrack(track) == 1 ? 1 : 0;
}

void CPlayController::ForgetNode(IQvNode* node)
{
    if (!node) return;
    if (m_pCurNode == node) m_pCurNode = nullptr;
    if (m_pPlayNode == node) {
        // What plays goes on; there is just no list to continue in.
        m_pPlayNode = nullptr;
        m_nCurIndex = -1;
    }
}

// ---- play -------------------------------------------------------------------------------

int CPlayController::PlayTrack(const TrackRef& track)
{
    if (!track || !track->GetInfo()) return -1;
    const TrackInfo& info = *track->GetInfo();
    const QString source = info.LSrc.isEmpty() ? info.NSrc.str() : info.LSrc.Text();
    if (source.isEmpty()) return -1;

    if (m_pEngine->GetStatus() != CQvPlayCore::kStopped) {
        const int status = m_pEngine->PauseResume();
        if (status == CQvPlayCore::kPlaying)
            Broadcast(WM_PLAY_STATE, 1);
        else if (status == CQvPlayCore::kPaused)
            Broadcast(WM_PLAY_STATE, 0);
        return 0;
    }

    // Asked first: an open the engine refuses (no sound device) starts nothing at all.
    if (m_pEngine->Open(source, track->GetStringList()) != 1) {
        OpenRefused();
        return -1;
    }
    if (!(track == m_pCurTrack)) {
        m_pCurTrack = track;
        ShowTrackCover(track);
    }
    SetTimer(kProgressTimer, kProgressPeriodMs);
    m_bStarted = false;
    m_bLyricsParsed = false;
    SetTimer(kLyricsTimer, kLyricsPeriodMs);
    ShowRating(info.Default2);
    m_nStartTick = TickCount();
    m_nStopTick = 0;

    StartMediaTask(MEDIA_TASK_LYRICS, track);

    const bool displayed = !m_bQueueCurrent && m_pPlayNode && m_pPlayNode == m_pCurNode;
    ShowPlayingTrack(track.get(), displayed ? m_nCurIndex : -1);
    return 1;
}

void CPlayController::OpenRefused()
{
    // Whatever was current has been let go by the engine; nothing new starts, the list does not
    // move on, and no play is counted or reported for a track that was never heard.
    if (m_pCurTrack) StopPlay();
    if (IsExiting() || m_pEngine->HasDevice()) return;
    WriteDebugLogA("CMainDlg::PlayTrack(): no sound device");
    // Every play the user asks for is answered; the automatic one at start-up does not repeat
    // what the engine said a moment before.
    if (m_bAutoPlaying && m_bInitFailureTold) return;
    if (m_pEngineUi) m_pEngineUi->MessageBox(QString::fromLatin1(kNoDeviceText));
}

void CPlayController::ShowTrackCover(const TrackRef& track)
{
    KillTimer(kCoverTimer);
    const QString picture = ExistingCoverFile(*track->GetInfo());
    ShowCover(picture);
    if (!picture.isEmpty()) return;
    StartMediaTask(MEDIA_TASK_COVER, track);
    SetTimer(kCoverTimer, kCoverPeriodMs);
}

void CPlayController::CountPlay(CQvMusic* track)
{
    const QString gid = track->GetInfo()->Gid;
    {
        std::lock_guard lock(m_library.Mutex());
        CQvMediaStore& store = m_library.Store();
        if (!store.FindTrack(gid, 0) && !store.FindStoredTemp(gid)) {
            m_library.InsertTempTrack(track);
            // The store knows the track from now on, as it will after the next load: its plays
            // count from the first, and its row is not inserted again at every play.
            if (!gid.isEmpty()) store.PutStoredTemp(track);
        }
    }
    m_library.RecordPlay(track);
}

int CPlayController::StopPlay()
{
    SendPlayRecord();
    m_pEngine->Stop();
    KillTimer(kProgressTimer);
    // Lyrics and cover of a track that no longer plays are not waited for.
    KillTimer(kLyricsTimer);
    KillTimer(kCoverTimer);
    SendToListeners(WM_PLAY_STOPPED);
    m_pCurTrack = TrackRef();
    m_bStarted = false;
    return 0;
}

void CPlayController::SendPlayRecord()
{
    if (IsExiting() || !m_pCurTrack) return;
    if (m_nStopTick == 0) m_nStopTick = TickCount();
    const TrackInfo& info = *m_pCurTrack->GetInfo();
    ListeningInfo record;
    record.startTick = m_nStartTick;
    record.endTick = m_nStopTick;
    record.positionSec = GetPositionMs() / 1000;
    record.lengthSec = GetLengthSeconds();
    record.artist = info.Artist;
    record.song = info.Song;
    record.sysid = info.Rare().Sysid;
    record.cmsid = info.Rare().CmsID;
    record.lsrc = info.LSrc;
    record.nsrc = info.NSrc;
    StartSendListening(FormatListeningRecord(record));
}

int CPlayController::PlayNext()
{
    const int n = ListSize();
    if (n <= 0) return 0;
    int index = ListIndex() + 1;
    if (m_bQueueCurrent) {
        // The page's queue ends with its last track.
        if (index >= n) return 0;
    } else if (index >= n || index < 0) {
        index = 0;
    }
    QueueSwitchEvent("n");
    return PlayAt(index);
}

int CPlayController::PlayPrevious()
{
    const int n = ListSize();
    if (n <= 0) return 0;
    int index = ListIndex() - 1;
    if (index < 0 || index >= n) index = n - 1;
    QueueSwitchEvent("p");
    return PlayAt(index);
}

int CPlayController::PlayRandom()
{
    const int n = ListSize();
    if (n <= 0) return 0;
    const int index = m_shuffle.Choose(n, m_random);
    QueueSwitchEvent("r");
    return PlayAt(index);
}

int CPlayController::ReplayCurrent()
{
    const int n = ListSize();
    const int index = ListIndex();
    if (n <= 0 || index < 0 || index >= n) return 0;
    return PlayAt(index);
}

int CPlayController::PlayNextByMode()
{
    switch (PlayMode()) {
    case kModeListLoop:
    case kModeRepeatOne: return PlayNext();
    case kModeRandom: return PlayRandom();
    default: return 0;
    }
}

int CPlayController::PlayPreviousByMode()
{
    switch (PlayMode()) {
    case kModeListLoop:
    case kModeRepeatOne: return PlayPrevious();
    case kModeRandom: return PlayRandom();
    default: return 0;
    }
}

void CPlayController::PlayNow(const TrackRef& track, bool playNow)
{
    if (!track) return;
    // At the end, so that a page's songs play in the order the page gave them.
    m_playQueue.push_back(track);
    if (!playNow) return;
    StopPlay();
    // The track's own place: 0 when the queue was empty, which is when the pages ask for it.
    m_nQueueIndex = static_cast<int>(m_playQueue.size()) - 1;
    m_bQueueCurrent = true;
    m_pPlayNode = nullptr;
    m_nCurIndex = -1;
    m_nOpenFailures = 0;
    PlayTrack(track);
}

void CPlayController::ClearPlayQueue()
{
    m_playQueue.clear();
    m_nQueueIndex = 0;
}

int CPlayController::PlayDisplayedRow(int row)
{
    if (row < 0) return 0;
    if (m_nCurIndex >= 0 || (m_bQueueCurrent && m_nQueueIndex >= 0) || m_pCurTrack) StopPlay();
    m_nCurIndex = row;
    m_bQueueCurrent = false;
    m_pPlayNode = m_pCurNode;
    m_nOpenFailures = 0;
    const TrackRef track = TrackAt(row);
    if (!track) return 0;
    return PlayTrack(track) == 1 ? 1 : 0;
}

int CPlayController::PlayOrPause(int selectedRow)
{
    if (m_pCurTrack) return PlayTrack(m_pCurTrack) >= 0 ? 1 : 0;
    if (!m_bQueueCurrent && !m_pPlayNode) m_pPlayNode = m_pCurNode; // nothing played yet
    if (ListIndex() < 0) ListIndex() = selectedRow;
    const TrackRef track = TrackAt(ListIndex());
    if (!track) return 0;
    m_nOpenFailures = 0;
    return PlayTrack(track) == 1 ? 1 : 0;
}

int CPlayController::SelectNodeToPlay()
{
    IQvNode* node = nullptr;
    bool select = false;
    {
        std::lock_guard lock(m_library.Mutex());
        CQvMediaStore& store = m_library.Store();
        int group = -1;
        if (!store.LibraryTracks().empty())
            group = 0;
        else if (store.StoredTempCount() > 0 || !store.TempTracks().empty())
            group = 1;
        if (group >= 0) {
            select = true;
            IQvNode* top = store.GetTopNode(group);
            node = top && top->ChildCount() > 0 ? top->GetChild(0) : nullptr;
        }
    }
    if (select) {
        SelectTreeNode(node);
        if (!m_pCurNode) {
            WriteDebugLogA("CMainDlg::SelectNodeToPlay(): m_pCurNode == NULL");
            return 0;
        }
    }
    if (!m_pCurNode) return 0;
    {
        std::lock_guard lock(m_library.Mutex());
        if (m_pCurNode->Tracks().empty()) return 0;
    }
    m_bQueueCurrent = false;
    m_pPlayNode = m_pCurNode;
    m_nCurIndex = 0;
    m_nOpenFailures = 0;
    const TrackRef track = TrackAt(0);
    m_bAutoPlaying = true;
    const int started = track && PlayTrack(track) == 1 ? 1 : 0;
    m_bAutoPlaying = false;
    return started;
}

// ---- mode, position, volume -------------------------------------------------------------

int CPlayController::PlayMode() const { return m_library.Conf().Settings().rolltype; }

void CPlayController::SetPlayMode(int mode, int window)
{
    const ModeCommand command = CommandOfMode(mode);
    if (!command.event) return;
    const int old = PlayMode();
    m_library.Conf().Settings().rolltype = mode;
    CQvLog::GetInstance().AddRecord(window, command.event, 1, m_pCurTrack.get(), command.command);
    CQvLog::GetInstance().QueueUsageEvent(QStringLiteral("bfms"), QString::number(old), QString::number(mode),
                                          QString(), QString(), QString(), QString());
}

int CPlayController::GetPositionMs() const { return m_pEngine->GetPosition(); }

int CPlayController::GetLengthSeconds()
{
    if (!m_pCurTrack) return 0;
    TrackInfo& info = *m_pCurTrack->GetInfo();
    if (info.TotleTime != 0) return info.TotleTime;
    const int length = EngineLengthSeconds(m_pEngine->GetLength());
    if (length != 0) {
        // The lyrics task may be writing the track's row meanwhile.
        std::lock_guard lock(m_library.Mutex());
        info.TotleTime = length;
    }
    return length;
}

bool CPlayController::Seek(int ms) { return m_pEngine->Seek(ms); }

void CPlayController::SetVolume(float volume)
{
    m_pEngine->SetVolume(volume);
    if (volume != 0.0f) m_library.Conf().Settings().volume = qRound(volume * 100.0f);
}

int CPlayController::ProgressPercent(int lengthSec) const
{
    if (lengthSec <= 0) return 0;
    const qint64 percent = static_cast<qint64>(GetPositionMs()) * 100 / 1000 / lengthSec;
    // A length from the tags may be a little short of the stream's: the bar stops at its end.
    return static_cast<int>(std::clamp<qint64>(percent, 0, 100));
}

// ---- messages and timers ----------------------------------------------------------------

qintptr CPlayController::OnMessage(unsigned msg, quintptr wParam, qintptr lParam)
{
    switch (msg) {
    case WM_ENGINE_NOTIFY:
        OnEngineNotify(static_cast<int>(wParam), static_cast<int>(lParam));
        return 0;
    case WM_LRC_READY:
        OnLyricsReady(wParam, lParam);
        return 0;
    case WM_LRC_NOT_FOUND:
        if (m_pCurTrack && reinterpret_cast<CQvMusic*>(lParam) == m_pCurTrack.get()) Broadcast(WM_LRC_NOT_FOUND);
        return 0;
    case WM_PLAY_NOW:
        // Sent by the page host, which holds its reference until the call returns.
        PlayNow(TrackRef(reinterpret_cast<CQvMusic*>(wParam)), lParam != 0);
        return 0;
    default:
        return CMsgWindow::OnMessage(msg, wParam, lParam);
    }
}

void CPlayController::OnTimer(int id)
{
    switch (id) {
    case kProgressTimer: OnProgressTimer(); break;
    case kLyricsTimer: OnLyricsTimer(); break;
    case kCoverTimer: OnCoverTimer(); break;
    default: CMsgWindow::OnTimer(id); break;
    }
}

void CPlayController::OnProgressTimer()
{
    KillTimer(kProgressTimer);
    const auto rearm = [this] { SetTimer(kProgressTimer, kProgressPeriodMs); };
    if (!m_pCurTrack) {
        rearm();
        return;
    }
    const bool network = m_pCurTrack->GetInfo()->LSrc.isEmpty();
    const int length = GetLengthSeconds();
    const int status = m_pEngine->GetStatus();
    const int percent = ProgressPercent(length);
    // Stopped before it ever started: a network stream is still being opened while the engine's
    // worker is at work on it. Once started, a stopped stream has ended, wherever it stopped.
    const bool stillComing = network && !m_bStarted && m_pEngine->IsOpening();
    if (status == CQvPlayCore::kStopped && network && !m_bStarted && !stillComing) {
        // The open failed and its notice is still on its way: the same as the notice.
        OpenFailed();
        return;
    }
    if (length == 0) {
        Broadcast(WM_PLAY_PROGRESS, 0, 0);
        // A track whose length is never known (a file that does not open, a live stream that
        // ended) still ends, or the player would sit silent for good.
        if (status == CQvPlayCore::kStopped && !stillComing) {
            // Stopped before it ever started: its file could not be played.
            if (!m_bStarted) ShowOpenFailed(m_pCurTrack.get());
            TrackEnded();
            return;
        }
        rearm();
        return;
    }
    switch (status) {
    case CQvPlayCore::kStalled:
        Broadcast(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyBuffering, static_cast<qintptr>(m_pEngine->GetBufferPercent()));
        Broadcast(WM_PLAY_STATE, 0);
        break;
    case CQvPlayCore::kPaused:
        break;
    case CQvPlayCore::kStopped:
        if (stillComing) break;
        TrackEnded();
        return;
    default:
        if (m_bRefreshPlayState) Broadcast(WM_PLAY_STATE, 1);
        Broadcast(WM_PLAY_PROGRESS, static_cast<quintptr>(length), percent);
        Broadcast(WM_BUFFER_PERCENT, static_cast<quintptr>(m_pEngine->GetBufferPercent()));
        break;
    }
    rearm();
}

void CPlayController::OpenFailed()
{
    m_nStopTick = TickCount();
    ShowOpenFailed(m_pCurTrack.get());
    StopPlay();
    // Skipped whatever the mode; a list whose every track fails (no network) is not tried round
    // and round.
    if (++m_nOpenFailures < ListSize()) PlayNext();
}

void CPlayController::TrackEnded()
{
    StopPlay();
    if (m_bQueueCurrent) {
        PlayNext();
        return;
    }
    switch (PlayMode()) {
    case kModeListLoop: PlayNext(); break;
    case kModeRandom: PlayRandom(); break;
    case kModeRepeatOne: ReplayCurrent(); break;
    default: break;
    }
}

void CPlayController::OnEngineNotify(int wParam, int lParam)
{
    switch (wParam) {
    case CQvPlayCore::kNotifyConnecting:
    case CQvPlayCore::kNotifyBuffering:
        Broadcast(WM_BUFFER_PERCENT, static_cast<quintptr>(m_pEngine->GetBufferPercent()));
        break;
    case CQvPlayCore::kNotifyStarted:
        // A start told late, after another track was asked for, is not this track's: the engine
        // is then stopped or opening the other. A stream that stalls or is paused before this
        // is handled has started all the same.
        if (m_pCurTrack && !m_pEngine->IsOpening()) {
            const int status = m_pEngine->GetStatus();
            if (status == CQvPlayCore::kPlaying || status == CQvPlayCore::kStalled || status == CQvPlayCore::kPaused) {
                const bool first = !m_bStarted;
                m_nStartTick = TickCount();
                m_bStarted = true;
                m_nOpenFailures = 0;
                m_pEngine->SetVolume(StoredVolume());
                // A play counts once it is heard: an open that fails counts nothing.
                if (first) CountPlay(m_pCurTrack.get());
            }
        }
        break;
    case CQvPlayCore::kNotifyOpenFailed:
        // Only while the failed open is still what the engine is about.
        if (m_pCurTrack && !m_bStarted && m_pEngine->GetStatus() == CQvPlayCore::kStopped) OpenFailed();
        break;
    default:
        break;
    }
    Broadcast(WM_ENGINE_NOTIFY, static_cast<quintptr>(wParam), lParam);
}

void CPlayController::OnLyricsReady(quintptr wParam, qintptr lParam)
{
    if (wParam == 0) return; // our own broadcast form; nothing to load
    if (!m_pCurTrack || reinterpret_cast<CQvMusic*>(lParam) != m_pCurTrack.get()) return;
    // The task posted after it stored the text: reading it now is safe.
    QString text;
    m_pCurTrack->GetLyricsText(text);
    if (text.isEmpty()) return;
    m_lyrics.Parse(text);
    m_pLyricsTrack = m_pCurTrack;
    m_bLyricsParsed = true;
}

void CPlayController::OnLyricsTimer()
{
    if (!m_pCurTrack || !m_bLyricsParsed || !m_bStarted) return;
    KillTimer(kLyricsTimer);
    Broadcast(WM_LRC_READY);
}

void CPlayController::OnCoverTimer()
{
    if (!m_pCurTrack) {
        KillTimer(kCoverTimer);
        return;
    }
    const QString picture = ExistingCoverFile(*m_pCurTrack->GetInfo());
    if (picture.isEmpty()) return;
    KillTimer(kCoverTimer);
    ShowCover(picture);
}

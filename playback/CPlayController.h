#pragma once
#include "base/MsgWindow.h"
#include "lyrics/CLyrics.h"
#include "model/CQvMusic.h"
#include "playback/ShuffleHistory.h"

#include <QString>

#include <vector>

class CMediaLibrary;
class CQvPlayCore;
class IEngineUi;
class IQvNode;

// The part of the central controller that decides what plays: it starts a track on the audio
// engine, stops it, follows its progress and its end with timer 1, picks the next track by the
// play mode, counts each play and reports it, and tells the listener windows what is happening.
//
// The central controller derives from it, so that the window layer sees one object: the
// engine's notifications, the lyrics task's messages and the pages' play-now message arrive
// here, and the controller's own OnMessage and OnTimer hand what they do not handle to this
// class. What belongs to the windows (the cover, the rating, the selected row, the tree) is
// reached through the virtual functions below, which do nothing here.
class CPlayController : public CMsgWindow {
public:
    // The "rolltype" setting.
    enum PlayMode {
        kModeNone = 0,      // nothing more plays after a track
        kModeListLoop = 1,  // the next track; after the last the first
        kModeRandom = 2,
        kModeRepeatOne = 3,
    };
    static constexpr int kProgressTimer = 1;   // 1000 ms: progress and end of track
    static constexpr int kLyricsTimer = 38;    // 500 ms: lyrics ready once playing
    static constexpr int kCoverTimer = 50;     // 1000 ms: the fetched cover, once its file exists
    static constexpr int kProgressPeriodMs = 1000;
    static constexpr int kLyricsPeriodMs = 500;
    static constexpr int kCoverPeriodMs = 1000;

    // `engine` null: the process-wide engine.
    explicit CPlayController(CMediaLibrary& library, CQvPlayCore* engine = nullptr, QObject* parent = nullptr);
    ~CPlayController() override;

    // Opens the sound device with this window as the engine's notification window.
    int InitEngine(IEngineUi* ui);
    CQvPlayCore& Engine() const { return *m_pEngine; }
    CMediaLibrary& Library() const { return m_library; }

    // Windows that receive the broadcasts; a window that is gone is skipped and forgotten.
    void AddListener(const CMsgTarget& listener);
    // Posts to every listener.
    void Broadcast(unsigned msg, quintptr wParam = 0, qintptr lParam = 0);

    // Starts `track` when the engine is stopped, else toggles pause (whatever the track):
    // 1 started, 0 toggled, -1 for a null track, one without a source, or an open the engine
    // refused (no sound device: playback stops and the user is told).
    int PlayTrack(const TrackRef& track);
    // Reports the play, stops the engine, tells the listeners (sent) and forgets the track.
    int StopPlay();
    // Next and previous in the current list: 1 when a track was started, else 0.
    int PlayNext();
    int PlayPrevious();
    int PlayRandom();
    int ReplayCurrent();
    // The previous and next buttons: by the play mode (nothing in mode 0, a random track in 2).
    int PlayNextByMode();
    int PlayPreviousByMode();

    // The pages' play-now (WM_PLAY_NOW): `track` joins the end of the page play queue; with
    // `playNow` the queue becomes the current list and the track plays (at index 0 when the
    // queue was empty, as it is when a page starts one).
    void PlayNow(const TrackRef& track, bool playNow);
    // Empties the page play queue and sets its index to 0 (a page that starts a new queue).
    void ClearPlayQueue();

    // A double click on a row of the displayed list: the displayed list becomes the current
    // list and its row plays. 1 when started.
    int PlayDisplayedRow(int row);
    // The play/pause button: with nothing current, the track at the current index plays (an
    // index of -1 is first replaced by `selectedRow`); else the current track pauses or resumes.
    int PlayOrPause(int selectedRow);
    // At start-up, when nothing plays: the first list of the first group (the library), or of
    // the second when only temporary tracks exist, is selected and its first track plays.
    int SelectNodeToPlay();

    // The node shown in the list view (the window sets it when the tree selection changes).
    void SetDisplayedNode(IQvNode* node) { m_pCurNode = node; }
    IQvNode* DisplayedNode() const { return m_pCurNode; }
    // A node about to be deleted: the controller lets go of it.
    void ForgetNode(IQvNode* node);
    // The playing list was reordered (sorted): the current index follows the current track.
    void ListReordered();

    // Stores the mode, writes the operation record (window `window`, the mode's event code,
    // the mode's command id as value) and queues the usage event "bfms" with the old and the new
    // mode.
    void SetPlayMode(int mode, int window);
    int PlayMode() const;

    // Position in ms; length in whole seconds (the track's TotleTime, else the engine's length,
    // which is then kept in TotleTime).
    int GetPositionMs() const;
    int GetLengthSeconds();
    bool Seek(int ms);
    // 0.0-1.0; a volume other than 0 is kept in the "volume" setting as a percentage.
    void SetVolume(float volume);
    // While set by the main window, every progress tick also broadcasts the play state.
    void SetPlayStateRefresh(bool on) { m_bRefreshPlayState = on; }

    // The controller's state, for the windows.
    CQvMusic* CurrentTrack() const { return m_pCurTrack.get(); }
    bool IsQueueCurrent() const { return m_bQueueCurrent; }
    IQvNode* PlayingNode() const { return m_pPlayNode; }
    int CurrentIndex() const { return m_nCurIndex; }
    int QueueIndex() const { return m_nQueueIndex; }
    const std::vector<TrackRef>& PlayQueue() const { return m_playQueue; }
    const CShuffleHistory& ShuffleHistory() const { return m_shuffle; }
    bool IsStarted() const { return m_bStarted; }
    qint64 StartTick() const { return m_nStartTick; }
    // The one lyrics model; the lyric views keep pointers to it.
    CLyrics& Lyrics() { return m_lyrics; }
    // The track the lyrics model was parsed for (re-timed lyrics are stored for it).
    CQvMusic* LyricsTrack() const { return m_pLyricsTrack.get(); }

    // For tests: where the random mode's numbers come from.
    void SetRandomSource(CShuffleHistory::Random random) { m_random = std::move(random); }

    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam) override;
    void OnTimer(int id) override;

protected:
    // The cover picture to show; empty: the skin's placeholders while the cover is fetched.
    virtual void ShowCover(const QString& picture);
    // The star rating of the track that starts.
    virtual void ShowRating(int stars);
    // A track has been started: `displayedRow` is its row when the current list is the displayed
    // list (select it, tell the page), else -1 (clear the selection).
    virtual void ShowPlayingTrack(CQvMusic* track, int displayedRow);
    // Selects `node` in the tree, which makes it the displayed node.
    virtual void SelectTreeNode(IQvNode* node);
    // The file of `track` could not be opened; the list goes on without it.
    virtual void ShowOpenFailed(CQvMusic* track);

private:
    void OnProgressTimer();
    void OnLyricsTimer();
    void OnCoverTimer();
    void OnEngineNotify(int wParam, int lParam);
    void OnLyricsReady(quintptr wParam, qintptr lParam);
    void TrackEnded();
    // The engine could not open the current track: it is skipped whatever the play mode.
    void OpenFailed();
    // The engine refused an open (no sound device): playback stops and the user is told.
    void OpenRefused();
    float StoredVolume() const;

    int ListSize() const;
    TrackRef TrackAt(int index) const;
    int& ListIndex() { return m_bQueueCurrent ? m_nQueueIndex : m_nCurIndex; }
    int ListIndex() const { return m_bQueueCurrent ? m_nQueueIndex : m_nCurIndex; }
    int PlayAt(int index);
    void ShowTrackCover(const TrackRef& track);
    void CountPlay(CQvMusic* track);
    void SendPlayRecord();
    int ProgressPercent(int lengthSec) const;
    void SendToListeners(unsigned msg, quintptr wParam = 0, qintptr lParam = 0);

    CMediaLibrary& m_library;
    CQvPlayCore* m_pEngine;
    std::vector<CMsgTarget> m_listeners;

    TrackRef m_pCurTrack;
    IQvNode* m_pCurNode = nullptr;   // displayed
    IQvNode* m_pPlayNode = nullptr;  // the node whose list is current, unless the queue is
    bool m_bQueueCurrent = false;
    int m_nCurIndex = -1;
    std::vector<TrackRef> m_playQueue;
    int m_nQueueIndex = 0;
    CShuffleHistory m_shuffle;
    CShuffleHistory::Random m_random;

    qint64 m_nStartTick = 0;
    qint64 m_nStopTick = 0;
    bool m_bStarted = false;
    IEngineUi* m_pEngineUi = nullptr;
    bool m_bInitFailureTold = false; // the engine's Init said the device does not open
    bool m_bAutoPlaying = false;     // the start-up play, not one the user asked for
    bool m_bRefreshPlayState = false;
    // Open failures in a row: once every track of the list has failed, skipping stops.
    int m_nOpenFailures = 0;

    CLyrics m_lyrics;
    TrackRef m_pLyricsTrack;
    bool m_bLyricsParsed = false; // for the current track
};

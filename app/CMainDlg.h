#pragma once
#include "playback/CPlayController.h"

#include "net/ServiceTasks.h"
#include "net/Update.h"
#include "playback/CQvPlayCore.h"
#include "ui/page/IPageHost.h"
#include "ui/page/PageText.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>

#include <memory>

class CChangeNotifier;
class CCloudGroups;
class CEqualizer;
class CEqualizerDlg;
class CFileTrackReader;
class CLyricsTable;
class CMprisService;
class QDBusConnection;
class CTrackNotifier;
class CMessageCenter;
class CPageUploads;
class CPlaylistActions;
class CQuarvelDlg;
class CQvConf;
class CQvNodeTree;
class CUserSession;
class CViewDlg;
class QMimeData;
struct ScanControl;
struct ScanJob;
struct UrlTrackFields;

// What a start of the controller includes; tests leave out what reaches beyond the machine.
struct MainDlgOptions {
    bool serviceTasks = true;  // the service tasks at start-up and their timers
    bool identity = true;      // the client identity files and task 8
    bool watchChanges = true;  // the library's folders are watched for new and deleted files
    bool startupScan = true;   // the start-up scan after the library load
    int screenHeight = 0;      // picks the layout file; 0: the primary screen's
    bool desktopBus = true;    // media controls and notifications on the session bus
};

// The central controller: an invisible object that owns the main window, the picture-view
// window, the list tree, the lyrics table and the scans, plays through the play controller it
// derives from, and carries out every command of the windows. The windows only show and
// forward; what the commands do, and what is recorded for them, is decided here.
class CMainDlg : public CPlayController,
                 public IEngineUi,
                 public IServiceTaskHost,
                 public IUpdatePrompt,
                 public IPageHost {
    Q_OBJECT
public:
    // Timers of the controller.
    static constexpr int kTrimTimer = 3;        // 10000 ms
    static constexpr int kOnlineTimer = 10;     // 1000 ms: the online state
    static constexpr int kLogSendTimer = 12;    // 60000 ms: operation records (set by the scans)
    static constexpr int kIdleTimer = 23;       // 300000 ms, armed by the scans, no job
    static constexpr int kCloudTimer = 40;      // 60000 ms: service task 5
    static constexpr int kExitTimer = 42;       // 200 ms: waits for the workers at exit
    static constexpr int kUpdateTimer = 45;     // 1000 ms once: service task 11
    static constexpr int kStartUpdateTimer = 52; // 1000 ms once: service task 19
    static constexpr int kSessionTimer = 104;   // 900000 ms: the session is kept alive
    // Menu commands that have no id of their own elsewhere.
    static constexpr int kAddAllCommand = 50032;      // "添加全部"
    static constexpr int kCheckUpdateCommand = 50033; // "检查更新"
    static constexpr int kSettingsCommand = 50040;    // "设置"
    static constexpr int kEqualizerCommand = 50034;   // "均衡器"
    static constexpr int kTrackNoticeCommand = 50035; // "切歌时桌面通知", on and off
    static constexpr int kFeedbackCommand = 50036;    // "意见反馈"
    static constexpr int kMessagesCommand = 50037;    // "留言和反馈"
    static constexpr int kMyMusicCommand = 50050;     // "我的音乐": the service's page of the shown list
    static constexpr int kOrderCommand = 50051;       // "在线订购": the web order page
    static constexpr int kCloudDiskCommand = 50052;   // "我的网盘": the drive's page, uploads of the shown list
    static constexpr int kSidePanelCommand = 50041;   // "显示歌词面板", on and off
    // Workers get this long to end at exit; then the program ends anyway.
    static constexpr int kWorkerBoundMs = 5000;

    CMainDlg(CQvConf& conf, CMediaLibrary& library, CQvPlayCore* engine = nullptr, MainDlgOptions options = {});
    ~CMainDlg() override;

    // The controller's initialisation: timers, engine, identity, layout, windows, the library
    // load on a worker, listeners, change watching; `files` (the command line's) are played
    // once the library is there.
    bool Initialize(const QStringList& files);

    CQuarvelDlg* MainWindow() const { return m_pMainWnd.get(); }
    CViewDlg* ViewWindow() const { return m_pViewWnd.get(); }
    // The media controls (MPRIS) and the track notification; null before Initialize.
    CMprisService* Mpris() const { return m_pMpris.get(); }
    CTrackNotifier* TrackNotifier() const { return m_pTrackNotifier.get(); }
    CEqualizer& Equalizer() const { return *m_pEqualizer; }
    // The equaliser window while it is open.
    CEqualizerDlg* EqualizerWindow() const;
    CMessageCenter* Messages() const { return m_pMessages.get(); }
    CQvConf& Conf() const { return m_conf; }
    CQvNodeTree& Tree() const { return *m_pTree; }
    // The playlist commands of the list view and the tree.
    CPlaylistActions& Playlists() const { return *m_pPlaylists; }
    // The user's play groups on the service (the nodes under "Nimbra").
    CCloudGroups& CloudGroups() const { return *m_pCloud; }
    const QString& RunId() const { return m_strRunId; }
    bool LibraryLoaded() const { return m_bLibraryLoaded; }
    // The tracks' files have been looked for after the list was shown (the missing ones left).
    bool LibraryFilesChecked() const { return m_bLibraryChecked; }
    bool IsScanning() const;
    // Files named by the user (command line, hand-over, watched folders) are being read.
    bool IsReadingFiles() const;
    bool IsOnline() const { return m_bOnline; }

    // The media controls and the track notification on `bus` (Initialize uses the session bus);
    // a later call replaces them.
    void StartDesktopBus(const QDBusConnection& bus);

    // A command of the main window or its menus, by id.
    void OnCommand(int id);

    // Volume, 0-100 as the setting keeps it; up and down move it by 2.
    int Volume() const;
    void VolumeUp();
    void VolumeDown();
    void SetVolumePercent(int percent);
    // A click on star `star` (1-5) that left its button lit (`lit`) or not.
    void ClickStar(int star, bool lit);
    void SetFavorite(bool on);
    // The wheel over the window: `delta` in eighths of a degree (120 a notch).
    void OnWheel(int delta);
    // The progress control was let go at `percent`.
    void SeekPercent(int percent);
    // Re-timed lyrics (their stored form) go to the track they were loaded for.
    int StoreRetimedLyrics(const QString& text);
    // The lyric panel's menu: the search dialog, and a lyrics file chosen for the playing track.
    void SearchLyrics();
    void AssociateLyricsFile();
    // Lyrics chosen for `track`: a lyrics file (kept as the track's) or a text (kept in the
    // lyrics table); the views show them at once when the track plays. False when unusable.
    bool AttachLyrics(const TrackRef& track, const QString& text, const QString& file);
    // The settings dialog with its pages, showing the lyrics page or the user's.
    enum class SettingsPage { Lyrics, UserInfo };
    void OpenSettings(SettingsPage first = SettingsPage::Lyrics);
    // The progress control's position, as the main window shows it.
    int ProgressPosition() const;

    // The tree's selection changed to `node`.
    void OnTreeSelect(IQvNode* node);
    // Sorts the displayed list by a list view column.
    void SortDisplayed(int column, bool descending);
    // A double click on a row of the list view.
    void OnListDoubleClick(int row);
    // "从列表中删除" of a row's menu: out of the list, or out of the library for local music.
    void RemoveRow(int row);
    // Deletes a user playlist: its stored rows and its node. The controller and the windows let
    // go of it first: a shown list gives way to the local music, a playing one stops being the
    // current list (the track plays on). False for anything but a user playlist.
    bool DeleteList(IQvNode* node);
    // The local music becomes the shown list (a shown list that goes gives way to it).
    void ShowLocalMusic();
    // The messages that the workers send the main window and that need the controller's
    // work (library loaded, scan texts and results).
    qintptr OnWindowMessage(unsigned msg, quintptr wParam, qintptr lParam);

    // Adding music. Files are read on a worker: these return the number of files whose tracks
    // are on their way (a drop on the list: -1 for what is not files); the tracks land in the
    // library and the list they were meant for once read (IsReadingFiles).
    int AddFiles(const QStringList& paths);
    bool AddFolder(const QString& folder);
    bool AddUrl(const UrlTrackFields& fields);
    bool StartDiskScan(bool ignoreDeleted);
    void StopScan();
    // Files dropped on the tree pane (the group window) and on the list view or the window.
    int DropOnGroupWindow(const QStringList& paths);
    int DropOnList(const QMimeData* data);
    // The hand-over of a second start (message 1533), with the files it names.
    void PlayHandedOverFiles(const QStringList& paths);

    // The service's pages in the content view: a menu entry by its id (the tabs' and the web
    // nodes' ids; the offline page when the menu has no such entry), the search page with a
    // text, the song room (nothing without a signed-in user).
    void OpenMenuPage(const QString& id);
    void OpenSearchPage(const QString& text);
    bool OpenSongRoom();
    // The web order page, for this installation's client id.
    void OpenOrderPage();
    // The address of a menu entry (empty when the menu has none) and of a page on the web host.
    QString MenuUrl(const QString& id) const;
    QString WebPageUrl(const QString& pathAndQuery) const;
    CUserSession& Session() const { return *m_pSession; }
    // The user name the find-password dialog took.
    void SetFindPasswordUser(const QString& name) { m_strFindPwdUser = name; }
    QString FindPasswordUser() const { return m_strFindPwdUser; }
    // The upload manager the pages' upload methods reach; null until one is installed.
    void SetPageUploads(IPageUploads* uploads) { m_pUploads = uploads; }
    // The player's own uploads (installed by Initialize); null before.
    CPageUploads* Uploads() const { return m_pPageUploads.get(); }
    // The list context the last page track came with.
    const PageTrackFields& PageListContext() const { return m_pageContext; }

    // IPageHost
    CMediaLibrary& PageLibrary() const override { return Library(); }
    IQvNode* ShownNode() const override;
    CQvMusic* PlayingTrack() const override { return CurrentTrack(); }
    void ClearPageQueue() override { ClearPlayQueue(); }
    bool PageQueueEmpty() const override { return PlayQueue().empty(); }
    void QueuePageTrack(const TrackRef& track, bool first) override;
    void PlayPageTrack(const TrackRef& track) override;
    void AddPageTrack(const TrackRef& track) override;
    void RecordListContext(const PageTrackFields& fields) override { m_pageContext = fields; }
    void ShowAddNotice() override;
    int PlayShownItem(int index) override;
    void DeletePageTracks(const QList<TrackRef>& tracks) override;
    void AddMusic() override { OnCommand(50029); }
    void RequestLogin() override;
    void SendPageLog(const QString& kind, const QString& text) override;
    void DropOnPage(const QMimeData* data) override { DropOnList(data); }
    IPageUploads* PageUploads() const override { return m_pUploads; }

    // The exit command: the windows go, the workers end (bounded), then the settings are
    // saved, the databases closed and the logs written; Ended follows.
    void ExitApp(int exitCode = 0);
    bool IsShuttingDown() const { return m_bShuttingDown; }

    // IEngineUi
    void MessageBox(const QString& text) override;
    // IServiceTaskHost
    void MenuLoaded(const QList<MenuEntry>& entries) override;
    int RunCloudTask(int code) override;
    // IUpdatePrompt (called on the checks' workers)
    void Notice(const QString& text, const QString& title) override;
    bool AskYesNo(const QString& text, const QString& title) override;
    void EndAfterDeclinedUpdate() override;
    void UpdateOffered(const QString& latest) override;

    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam) override;
    void OnTimer(int id) override;

signals:
    // The shutdown has finished; the program may end with `exitCode`.
    void Ended(int exitCode);
    // The library and the tree are loaded (the windows show them).
    void LibraryReady();
    // The tracks whose files are gone or out of reach have left the store and the lists.
    void LibraryChecked();

protected:
    void ShowCover(const QString& picture) override;
    void ShowRating(int stars) override;
    void ShowPlayingTrack(CQvMusic* track, int displayedRow) override;
    void SelectTreeNode(IQvNode* node) override;
    void ShowOpenFailed(CQvMusic* track) override;

private:
    void StartLibraryLoad();
    void OnLibraryLoaded(int tracks);
    void CheckLibraryFiles();
    void OnLibraryChecked(int gone);
    void ShowFirstRun();
    // "curmedia" of "curlist": the last track's place, kept at exit and selected at start
    // ("autoplay" plays it).
    void RememberLastTrack();
    void RestoreLastTrack();
    void StartStartupScan();
    ScanJob MakeScanJob();
    void ShowImportDone(int count);
    void OnShellChange();
    void WatchLibraryFolders();
    void OnOnlineTimer();
    void FinishShutdown();
    void RestoreIfRemoved(CQvMusic* track);
    // The name of the user's playlist that is shown; empty when another node is.
    QString ShownUserListName();
    // The files added by the user, read on a worker; once read, their tracks come back into the
    // library if removed, join the playlist `listName` when it is still there, and the views
    // follow (`showNode`: the shown node is drawn again whole). False when nothing is read.
    bool ReadAddedFiles(const QStringList& paths, const QString& listName, bool showNode);
    // The files' tracks are read on a worker; then SelectAndPlayTracks.
    void SelectAndPlayFiles(const QStringList& paths);
    int SelectAndPlayTracks(const std::vector<TrackRef>& tracks);
    void ShowVolume();
    void RecordCommand(int event, int value);
    IQvNode* LocalMusicNode() const;
    void RefreshList();
    // A row of the user's data could not be written (`code`: the SQLite result code).
    void OnStorageFailure(int code);

    CQvConf& m_conf;
    MainDlgOptions m_options;
    std::unique_ptr<CQvNodeTree> m_pTree;
    CPlaylistActions* m_pPlaylists = nullptr; // a child of this object
    CCloudGroups* m_pCloud = nullptr;         // a child of this object
    std::unique_ptr<CLyricsTable> m_pLyricsTable;
    std::unique_ptr<CQuarvelDlg> m_pMainWnd;
    std::unique_ptr<CViewDlg> m_pViewWnd;
    // After the windows, so they go first: they read the windows.
    std::unique_ptr<CMprisService> m_pMpris;
    std::unique_ptr<CTrackNotifier> m_pTrackNotifier;
    std::unique_ptr<CEqualizer> m_pEqualizer;
    QPointer<QObject> m_pEqualizerDlg; // a CEqualizerDlg
    std::unique_ptr<CMessageCenter> m_pMessages;
    std::unique_ptr<CPageUploads> m_pPageUploads;
    std::unique_ptr<CChangeNotifier> m_pNotifier;
    std::shared_ptr<ScanControl> m_scan;
    std::unique_ptr<CFileTrackReader> m_pFileReader;
    quint64 m_nFilePlayRequest = 0;

    QString m_strRunId;
    QStringList m_startFiles;
    bool m_bLibraryLoaded = false;
    bool m_bLibraryChecked = false;
    // The folders to watch, gathered by the worker that looks for the tracks' files.
    std::shared_ptr<QStringList> m_pCheckedFolders;
    bool m_bStorageNoticeShown = false;
    bool m_bOnline = false;
    bool m_bImporting = false;
    QString m_strLastDeleted;
    bool m_bShuttingDown = false;
    bool m_bEnded = false;
    int m_nExitCode = 0;
    QElapsedTimer m_shutdownClock;
    QList<MenuEntry> m_menu;
    std::unique_ptr<CUserSession> m_pSession;
    QString m_strShownList; // the last list (not page) the user looked at, by name
    IPageUploads* m_pUploads = nullptr;
    PageTrackFields m_pageContext;
    QString m_strFindPwdUser;
};

// Whether a file name ends in ".mp3" or ".wma" as the change notifications and the group
// window take them: case-sensitive, and the first occurrence of the ending is the end.
bool EndsInMusicExtension(const QString& path);
// Whether its extension after the last dot is mp3 or wma in any case (the list view's drops).
bool HasMusicExtension(const QString& path);

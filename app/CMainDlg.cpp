#include "app/CMainDlg.h"

#include "app/CAddMusicDoneDlg.h"
#include "app/CAddUrlDlg.h"
#include "app/CAllDiskScanDlg.h"
#include "app/CCloudGroups.h"
#include "app/CEqualizer.h"
#include "app/CEqualizerDlg.h"
#include "app/ChooserFolder.h"
#include "app/CFirstSearchDlg.h"
#include "app/CMprisService.h"
#include "app/CMessageCenter.h"
#include "app/CNodeTreeModel.h"
#include "app/CPageUploads.h"
#include "app/CPlaylistActions.h"
#include "app/CPlaylistDialogs.h"
#include "app/CQuarvelDlg.h"
#include "app/CTrackListModel.h"
#include "app/CTrackNotifier.h"
#include "app/CNetAddMsgDlg.h"
#include "app/CUpdateSuccessDlg.h"
#include "app/CUserSession.h"
#include "app/CViewDlg.h"
#include "app/HandOver.h"
#include "app/TrackSort.h"
#include "app/UiTexts.h"
#include "app/WindowIds.h"

#include "base/DebugLog.h"
#include "base/MessageIds.h"
#include "base/Worker.h"
#include "library/CChangeNotifier.h"
#include "library/CFileTrackReader.h"
#include "library/CFileFinder.h"
#include "library/CQvNodeTree.h"
#include "library/LibraryScan.h"
#include "library/ListInfo.h"
#include "lyrics/CLyricsTable.h"
#include "ui/lyrics/CKLrcChildDlg.h"
#include "app/CLyricSearchDlg.h"
#include "app/CSettingDlg.h"
#include "app/CSettingLyricsDlg.h"
#include "app/CSettingUserInfoDlg.h"
#include "model/LyricsLookup.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "net/CQvClientIdentity.h"
#include "net/CQvLog.h"
#include "net/ServiceAddress.h"
#include "net/ServiceMethods.h"
#include "net/ServiceRequest.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "store/Sqlite.h"
#include "store/TrackBuilder.h"
#include "ui/CSkin.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinPosManage.h"
#include "ui/CSkinSlider.h"
#include "ui/ControlIds.h"
#include "ui/SkinScheme.h"
#include "ui/page/CFixedHtmlView.h"
#include "ui/page/CPagePane.h"
#include "ui/page/PageEngine.h"
#include "net/proto/UrlEncode.h"
#include "base/CodePage.h"

#include <QApplication>
#include <QDBusConnection>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QNetworkInterface>
#include <QScreen>
#include <QThread>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QUuid>

#include <malloc.h>

#include <algorithm>
#include <mutex>

using namespace ctl;

namespace {

// Private messages of the controller.
constexpr unsigned WM_START_SCAN = WM_USER_BASE + 1200;     // the library is loaded and not empty
constexpr unsigned WM_DECLINED_UPDATE = WM_USER_BASE + 1201; // end after a declined mandatory update
constexpr unsigned WM_LIBRARY_CHECKED = WM_USER_BASE + 1202; // the tracks' files looked for; lParam: tracks gone

constexpr int kTrimPeriodMs = 10000;
constexpr int kOnlinePeriodMs = 1000;
constexpr int kCloudPeriodMs = 60000;
constexpr int kExitPollMs = 200;
constexpr int kExitPauseMs = 500;
constexpr int kUpdatePeriodMs = 1000;
constexpr int kSessionPeriodMs = 900000;

// Event codes of the commands' operation records.
struct CommandEvent {
    int id;
    int event;
};
constexpr CommandEvent kCommandEvents[] = {
    // The exit's record (971) is the shutdown's first step, once for every way out.
    {kPlayPause, 967}, {kPrev, 966}, {kNext, 965}, {kMaximize, 973}, {kToTray, 972},
    {kAddMenu, 962}, {kSearch, 963}, {kLocatePlaying, 985}, {kClosePanel, 839}, {kMiniMode, 986},
    {kMiniModeMenu, 986}, {kMainMenu, 964}, {1551, 822},
};

// The usage event of a selected list: smart lists by name, the others by kind.
QString UsageEventOfNode(const QString& name, int type)
{
    static const struct {
        const char16_t* name;
        const char* event;
    } byName[] = {{u"试听列表", "stlb"}, {u"最近播放", "zjbf"}, {u"最常播放", "zcbf"}, {u"最近添加", "zjtj"},
                  {u"我的收藏夹", "scj"}};
    for (const auto& n : byName)
        if (name == QString::fromUtf16(n.name)) return QLatin1String(n.event);
    switch (type) {
    case 21: return QStringLiteral("qbyy");
    case 30: return QStringLiteral("yywp");
    case 51: return QStringLiteral("yytj");
    case 52: return QStringLiteral("sbtt");
    case 53: return QStringLiteral("cltj");
    case 54: return QStringLiteral("clgl");
    default: return QString();
    }
}

constexpr int kSongRoomType = 54;
constexpr int kNewListType = 5;
constexpr int kUserListType = -1;

bool MachineOnline()
{
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if ((flags & QNetworkInterface::IsUp) && (flags & QNetworkInterface::IsRunning) &&
            !(flags & QNetworkInterface::IsLoopBack))
            return true;
    }
    return false;
}

QString FileExtension(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? path.mid(dot) : QString();
}

} // namespace

bool EndsInMusicExtension(const QString& path)
{
    for (const char* ext : {".mp3", ".wma"}) {
        const int at = path.indexOf(QLatin1String(ext));
        if (at >= 0 && at == path.size() - 4) return true;
    }
    return false;
}

bool HasMusicExtension(const QString& path)
{
    const QString ext = FileExtension(path);
    return ext.compare(QLatin1String(".mp3"), Qt::CaseInsensitive) == 0 ||
           ext.compare(QLatin1String(".wma"), Qt::CaseInsensitive) == 0;
}

// ---- construction -----------------------------------------------------------------------

CMainDlg::CMainDlg(CQvConf& conf, CMediaLibrary& library, CQvPlayCore* engine, MainDlgOptions options)
    : CPlayController(library, engine),
      m_conf(conf),
      m_options(options),
      m_pTree(std::make_unique<CQvNodeTree>(library)),
      m_pLyricsTable(std::make_unique<CLyricsTable>(library)),
      m_scan(std::make_shared<ScanControl>()),
      m_pFileReader(std::make_unique<CFileTrackReader>(library)),
      m_pSession(std::make_unique<CUserSession>(*this))
{
    m_bOnline = MachineOnline();
    // The skin: its file, its colours captured, the stored scheme applied.
    StartSkin(m_conf.SkinDir(), m_conf.Settings().ColorConfig);
    SetLyricsLookup(m_pLyricsTable.get());
    SetMediaTaskLibrary(&library);
    m_pPlaylists = new CPlaylistActions(*this, library, *m_pTree);
    m_pCloud = new CCloudGroups(*this);
    // A deleted playlist takes its cloud group with it while a user is signed in. The tree
    // calls this on the window thread, before the list's node goes.
    m_pTree->SetCloudGroupRemoval([cloud = QPointer<CCloudGroups>(m_pCloud)](const QString& name, const ListInfo&) {
        if (cloud) cloud->ListDeleted(name);
    });
}

CMainDlg::~CMainDlg()
{
    Library().SetStorageFailureHandler({});
    SetUpdatePrompt(nullptr);
    SetServiceTaskHost(nullptr);
    SetLyricsLookup(nullptr);
    if (m_pNotifier) m_pNotifier->Stop();
    m_pNotifier.reset();
    m_pTrackNotifier.reset();
    m_pMpris.reset();
    // Uploads still running are cancelled; their notices would go to the message list.
    m_pUploads = nullptr;
    m_pPageUploads.reset();
    // The windows hold the models over the store; they go before the tree.
    m_pMessages.reset();
    m_pSession.reset();
    m_pViewWnd.reset();
    m_pMainWnd.reset();
    Engine().Free();
}

bool CMainDlg::Initialize(const QStringList& files)
{
    m_startFiles = files;
    if (m_options.serviceTasks) {
        SetTimer(kCloudTimer, kCloudPeriodMs);
        SetTimer(kSessionTimer, kSessionPeriodMs);
        SetServiceTaskHost(this);
    }
    SetUpdatePrompt(this);
    CQvLog::GetInstance().SetTimerWindow(Target());

    InitEngine(this);
    m_strRunId = QUuid::createUuid().toString(QUuid::WithoutBraces);

    if (m_options.identity) {
        CQvClientIdentity::Instance().BuildClientIdentity();
        CQvClientIdentity::Instance().SetInstanceId(m_strRunId);
        StartServiceTask(8);
    }

    // The layout for the screen the player starts on.
    int height = m_options.screenHeight;
    if (height <= 0 && QGuiApplication::primaryScreen()) height = QGuiApplication::primaryScreen()->size().height();
    const QString layout = LayoutFileName(height, false);
    if (!CSkinPosManage::Instance().Load(m_conf.SkinDir() + layout)) {
        // A layout file in the home that cannot be read gives way to the shipped one.
        WriteDebugLogW(QStringLiteral("layout %1 cannot be read; the shipped one is used").arg(m_conf.SkinDir() + layout));
        const QString shipped = m_conf.ResourceDir().isEmpty() ? QString() : m_conf.ResourceDir() + QStringLiteral("skin/") + layout;
        if (!shipped.isEmpty() && shipped != m_conf.SkinDir() + layout) CSkinPosManage::Instance().Load(shipped);
    }

    SetOfflinePagePath(m_conf.ResourceDir() + QStringLiteral("pages/offline.html"));
    m_pViewWnd = std::make_unique<CViewDlg>(*this);
    m_pMainWnd = std::make_unique<CQuarvelDlg>(*this, Library());
    AddListener(m_pMainWnd->Target());
    m_pMessages = std::make_unique<CMessageCenter>(m_conf.DataDir() + QStringLiteral("messages.xml"), m_pMainWnd.get());
    m_pPageUploads = std::make_unique<CPageUploads>(*this);
    SetPageUploads(m_pPageUploads.get());
    // Rows are written on workers too; the notice is the window's.
    Library().SetStorageFailureHandler([this](int code) {
        QMetaObject::invokeMethod(this, [this, code] { OnStorageFailure(code); }, Qt::QueuedConnection);
    });
    // The tasks' results (lyrics ready, user details) come to the controller, request status
    // notices to the main window.
    SetServiceControllerWindow(Target());
    SetServiceStatusWindow(m_pMainWnd->Target());
    ShowVolume();
    m_pMainWnd->SetPlayMode(PlayMode());
    if (m_options.desktopBus) StartDesktopBus(QDBusConnection::sessionBus());
    m_pEqualizer = std::make_unique<CEqualizer>(Engine(), m_conf.Settings());
    m_pEqualizer->Load();

    StartLibraryLoad();

    SetTimer(kTrimTimer, kTrimPeriodMs);
    const ConfigSettings& s = m_conf.Settings();
    if (s.mainx != 0 || s.mainy != 0) m_pMainWnd->move(s.mainx, s.mainy);
    if (s.minix != 0 || s.miniy != 0) m_pViewWnd->move(s.minix, s.miniy);
    if (s.sidepanel == 0) m_pMainWnd->SetSidePanelVisible(false);
    m_pMainWnd->show();
    if (s.desklrc == 1) m_pMainWnd->DesktopLyrics()->ShowDesktopLyrics(true);

    SetTimer(kOnlineTimer, kOnlinePeriodMs);
    if (m_options.serviceTasks) {
        StartServiceTask(17);
        StartServiceTask(15);
        SetTimer(kStartUpdateTimer, kUpdatePeriodMs);
    }
    if (TakeUpdateSuccess()) (new CUpdateSuccessDlg(m_pMainWnd.get()))->open();
    return true;
}

CEqualizerDlg* CMainDlg::EqualizerWindow() const { return static_cast<CEqualizerDlg*>(m_pEqualizerDlg.data()); }

void CMainDlg::StartDesktopBus(const QDBusConnection& bus)
{
    m_pTrackNotifier.reset();
    m_pMpris = std::make_unique<CMprisService>(*this);
    // Without a session bus (or with the name taken) the player simply has no media controls.
    if (!m_pMpris->Register(bus)) WriteDebugLogA("MPRIS not registered");
    m_pTrackNotifier = std::make_unique<CTrackNotifier>(*this, bus);
    connect(m_pMpris.get(), &CMprisService::TrackChanged, m_pTrackNotifier.get(), &CTrackNotifier::OnTrackChanged);
}

// ---- the library at start-up ------------------------------------------------------------

void CMainDlg::StartLibraryLoad()
{
    CMediaLibrary* library = &Library();
    CQvNodeTree* tree = m_pTree.get();
    const CMsgTarget window = m_pMainWnd->Target();
    const CMsgTarget controller = Target();
    // Decided before the load opens the database files, which creates a missing "Tree2.db".
    const bool treeStored = QFileInfo::exists(m_conf.DataDir() + QStringLiteral("Tree2.db"));
    const QString treeXml = m_conf.DataDir() + QStringLiteral("tree.xml");
    StartWorker([library, tree, window, controller, treeStored, treeXml] {
        // Tracks first, so that the tree's lists find their members. Their files are looked for
        // once the window shows the list.
        library->LoadTracks(false);
        if (IsExiting()) return;
        library->LoadStatistics();
        if (IsExiting()) return;
        if (treeStored) tree->LoadFromDb();
        bool noTree = false;
        {
            std::lock_guard lock(library->Mutex());
            noTree = library->Store().TopNodeCount() == 0;
        }
        // A tree file without nodes is no tree: the default one is built and stored instead.
        if (noTree) {
            if (!QFileInfo::exists(treeXml)) library->Conf().InstallDefaultFiles();
            tree->LoadFromXml(treeXml);
        }
        if (IsExiting()) return;
        int tracks = 0;
        {
            std::lock_guard lock(library->Mutex());
            tracks = int(library->Store().LibraryTracks().size());
        }
        window.PostMessage(WM_LIBRARY_LOADED, 0, tracks);
        controller.PostMessage(tracks == 0 ? WM_FIRST_RUN : WM_START_SCAN);
    });
}

void CMainDlg::OnLibraryLoaded(int)
{
    m_bLibraryLoaded = true;
    m_pMainWnd->FillTree();
    if (!m_startFiles.isEmpty()) {
        const QStringList files = m_startFiles;
        m_startFiles.clear();
        SelectAndPlayFiles(files);
    } else {
        RestoreLastTrack();
    }
    // Loading a large library leaves its temporary rows in the heap: given back now, not
    // only at the next tick of timer 3.
    malloc_trim(0);
    emit LibraryReady();
    CheckLibraryFiles();
}

void CMainDlg::CheckLibraryFiles()
{
    // Reading the folders of a large library took a fifth of the start; the list is shown
    // first, and a track whose file is gone leaves it (and its row goes) a moment later.
    // The folders to watch are gathered there too: a large library's tracks are many to walk.
    CMediaLibrary* library = &Library();
    const CMsgTarget controller = Target();
    const bool watch = m_options.watchChanges;
    auto folders = m_pCheckedFolders = std::make_shared<QStringList>();
    StartWorker([library, controller, watch, folders] {
        if (IsExiting()) return;
        const int gone = library->CheckTrackFiles();
        if (watch && !IsExiting()) *folders = LibraryWatchFolders(*library);
        if (!IsExiting()) controller.PostMessage(WM_LIBRARY_CHECKED, 0, gone);
    });
}

void CMainDlg::OnLibraryChecked(int gone)
{
    m_bLibraryChecked = true;
    if (m_options.watchChanges && m_pCheckedFolders) {
        if (!m_pNotifier) m_pNotifier = std::make_unique<CChangeNotifier>(Target());
        m_pNotifier->Watch(*m_pCheckedFolders);
    }
    m_pCheckedFolders.reset();
    if (gone > 0 && m_pMainWnd) {
        // Rows went from the lists: the selection and what plays keep their tracks.
        CQvMusic* selected = nullptr;
        {
            std::lock_guard lock(Library().Mutex());
            if (IQvNode* node = DisplayedNode()) selected = node->GetTrack(m_pMainWnd->SelectedRow());
        }
        ListReordered();
        RefreshList();
        int row = -1;
        {
            std::lock_guard lock(Library().Mutex());
            if (IQvNode* node = DisplayedNode(); node && selected) {
                const MemberList& tracks = node->Tracks();
                const auto it = std::find(tracks.begin(), tracks.end(), selected);
                if (it != tracks.end()) row = int(it - tracks.begin());
            }
        }
        if (selected) m_pMainWnd->SelectRow(row);
    }
    emit LibraryChecked();
}

void CMainDlg::RememberLastTrack()
{
    // The list that plays and the track's place in it, so the next start shows it selected.
    ConfigSettings& s = m_conf.Settings();
    IQvNode* node = PlayingNode();
    if (!node || IsQueueCurrent() || CurrentIndex() < 0) {
        s.curmedia = -1;
        return;
    }
    std::lock_guard lock(Library().Mutex());
    s.selectnode = node->GetName();
    s.curmedia = CurrentIndex();
}

void CMainDlg::RestoreLastTrack()
{
    const int row = m_conf.Settings().curmedia;
    const bool autoplay = m_conf.Settings().autoplay != 0;
    if (row < 0 || !DisplayedNode() || row >= m_pMainWnd->ListModel()->rowCount()) {
        if (autoplay) SelectNodeToPlay();
        return;
    }
    m_pMainWnd->SelectRow(row);
    m_pMainWnd->ListView()->scrollTo(m_pMainWnd->ListModel()->index(row, 1), QAbstractItemView::PositionAtCenter);
    if (autoplay) PlayDisplayedRow(row);
}

void CMainDlg::ShowFirstRun()
{
    auto* dlg = new CFirstSearchDlg(m_conf.Settings(), m_pMainWnd.get());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QDialog::finished, this, [this](int result) {
        if (result == QDialog::Accepted) SelectTreeNode(LocalMusicNode());
        StartStartupScan();
    });
    dlg->open();
}

void CMainDlg::StartStartupScan()
{
    if (!m_options.startupScan || IsExiting()) return;
    ::StartStartupScan(MakeScanJob());
}

ScanJob CMainDlg::MakeScanJob()
{
    ScanJob job;
    job.library = &Library();
    job.mainWindow = m_pMainWnd->Target();
    job.controller = Target();
    job.control = m_scan;
    job.owner = this;
    return job;
}

void CMainDlg::WatchLibraryFolders()
{
    if (!m_pNotifier) m_pNotifier = std::make_unique<CChangeNotifier>(Target());
    m_pNotifier->Watch(LibraryWatchFolders(Library()));
}

IQvNode* CMainDlg::LocalMusicNode() const
{
    std::lock_guard lock(Library().Mutex());
    return Library().Store().FindNode(QString::fromUtf16(kLocalMusicNode));
}

void CMainDlg::RefreshList()
{
    if (m_pMainWnd) m_pMainWnd->RefreshList();
}

// ---- the window's parts of the play controller ------------------------------------------

void CMainDlg::ShowCover(const QString& picture)
{
    m_pMainWnd->ShowCover(picture);
    m_pViewWnd->ShowCover(picture);
}

void CMainDlg::ShowRating(int stars) { m_pMainWnd->SetStars(stars); }

void CMainDlg::ShowPlayingTrack(CQvMusic* track, int displayedRow)
{
    m_pMainWnd->SetPlaying(track);
    m_pMainWnd->SelectRow(displayedRow);
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info) return;
    m_pMainWnd->SetFavorite(info->Default1 != 0);
    m_pMainWnd->SetTrayTip(CutTrackText(info->Song));
    m_pViewWnd->SetTitle(QStringLiteral("%1 - %2").arg(CutTrackText(info->Song), CutTrackText(info->Artist)));
}

void CMainDlg::ShowOpenFailed(CQvMusic* track) { m_pMainWnd->ShowOpenFailed(track); }

void CMainDlg::SelectTreeNode(IQvNode* node)
{
    if (!node) return;
    m_pMainWnd->SelectNode(node);
}

void CMainDlg::OnTreeSelect(IQvNode* node)
{
    if (!node) return;
    QString name;
    int type = 0;
    QString display;
    {
        std::lock_guard lock(Library().Mutex());
        name = node->GetName();
        type = node->GetType();
        display = node->GetDisplayType();
    }
    if (type == kNewListType) {
        // The entry that makes a new playlist: the shown list stays selected while the name is
        // asked.
        m_pMainWnd->SelectNode(DisplayedNode() ? DisplayedNode() : LocalMusicNode());
        m_pPlaylists->AskNewList({});
        return;
    }
    const QString event = UsageEventOfNode(name, type);
    if (!event.isEmpty())
        CQvLog::GetInstance().QueueUsageEvent(event, QString(), QString(), QString(), QString(), QString(), QString());
    if (type == kSongRoomType && CQvClientIdentity::Instance().Get().vuid.isEmpty()) return;
    bool reordered = false;
    {
        // "最近播放" shows the most recent first; its stored rows stay as they are.
        std::lock_guard lock(Library().Mutex());
        if (node->GetCondition() == QLatin1String("recentplay")) {
            SortByLastPlay(node->Tracks(), Library().Store());
            reordered = true;
        }
    }
    if (reordered && node == PlayingNode()) ListReordered();
    m_pCloud->OnSelect(node);
    SetDisplayedNode(node);
    if (display != QLatin1String("web")) m_strShownList = name;
    m_pMainWnd->ShowNode(node);
    if (display == QLatin1String("web")) {
        if (type == kSongRoomType) {
            OpenSongRoom();
            return;
        }
        QString id;
        {
            std::lock_guard lock(Library().Mutex());
            id = node->GetId();
            // The group of the pages shows its first page.
            if (MenuUrl(id).isEmpty() && node->ChildCount() > 0) id = node->GetChild(0)->GetId();
        }
        OpenMenuPage(id);
    }
}

void CMainDlg::OnListDoubleClick(int row)
{
    if (row < 0) return;
    PlayDisplayedRow(row);
}

void CMainDlg::RemoveRow(int row) { m_pPlaylists->RemoveRows({row}); }

void CMainDlg::OnStorageFailure(int code)
{
    // Once a session: an import on a full disk fails with every file.
    if (m_bStorageNoticeShown || m_bShuttingDown || !m_pMainWnd) return;
    m_bStorageNoticeShown = true;
    ShowNotice(m_pMainWnd.get(), (code & 0xff) == kSqliteFull ? txt::kDiskFull : txt::kStoreNotWritable, txt::kNotice);
}

bool CMainDlg::DeleteList(IQvNode* node)
{
    if (!node) return false;
    IQvNode* parent = nullptr;
    {
        std::lock_guard lock(Library().Mutex());
        if (node->GetType() != kUserListType) return false;
        parent = node->GetParent();
    }
    if (!parent) return false;
    // Nothing may point at the node once it is freed: the list view, the shown and the playing
    // list.
    if (node == DisplayedNode()) ShowLocalMusic();
    ForgetNode(node);
    if (m_pTree->DeleteList(node) != 0) return false;
    {
        std::lock_guard lock(Library().Mutex());
        parent->RemoveChild(node);
    }
    m_pMainWnd->TreeModel()->Reload();
    m_pMainWnd->TreeView()->expandAll();
    if (DisplayedNode()) m_pMainWnd->SelectNode(DisplayedNode());
    return true;
}

void CMainDlg::ShowLocalMusic()
{
    IQvNode* local = LocalMusicNode();
    SetDisplayedNode(local);
    SelectTreeNode(local);
    m_pMainWnd->ShowNode(local);
}

void CMainDlg::SortDisplayed(int column, bool descending)
{
    IQvNode* node = DisplayedNode();
    if (!node) return;
    {
        std::lock_guard lock(Library().Mutex());
        SortTracks(node->Tracks(), column, descending);
    }
    if (node == PlayingNode()) ListReordered();
    RefreshList();
    m_pMainWnd->SelectRow(m_pMainWnd->ListModel()->RowOf(CurrentTrack()));
}

// ---- commands ---------------------------------------------------------------------------

void CMainDlg::RecordCommand(int event, int value) { CQvLog::GetInstance().AddRecord(wnd::kMain, event, 1, CurrentTrack(), value); }

void CMainDlg::OnCommand(int id)
{
    for (const CommandEvent& c : kCommandEvents)
        if (c.id == id) RecordCommand(c.event, id);

    switch (id) {
    case kPlayPause:
        PlayOrPause(m_pMainWnd->SelectedRow());
        break;
    case kStop:
        StopPlay();
        m_pMainWnd->update();
        break;
    case kPrev:
        PlayPreviousByMode();
        break;
    case kNext:
        PlayNextByMode();
        break;
    case kExit:
    case 1552:
        ExitApp();
        break;
    case kMaximize:
        if (m_pMainWnd->isMaximized()) m_pMainWnd->showNormal();
        else m_pMainWnd->showMaximized();
        break;
    case kToTray:
        m_pMainWnd->HideToTray();
        break;
    case kModeLoop:
        SetPlayMode(kModeListLoop, wnd::kMain);
        m_pMainWnd->SetPlayMode(PlayMode());
        break;
    case ctl::kModeRandom: // the command; the play controller's kModeRandom is the mode
        SetPlayMode(CPlayController::kModeRandom, wnd::kMain);
        m_pMainWnd->SetPlayMode(PlayMode());
        break;
    case kModeSingle:
        SetPlayMode(kModeRepeatOne, wnd::kMain);
        m_pMainWnd->SetPlayMode(PlayMode());
        break;
    case kAddMenu:
        if (QWidget* b = m_pMainWnd->Button(kAddMenu))
            m_pMainWnd->AddMenu()->popup(b->mapToGlobal(QPoint(0, b->height())));
        break;
    case kTabRecommend:
        OpenMenuPage(QStringLiteral("musicrecommand"));
        break;
    case kTabLike:
        OpenMenuPage(QStringLiteral("musiclikename"));
        break;
    case kSearch:
    case kTabSearch:
        OpenSearchPage(m_pMainWnd->SearchText());
        break;
    case kLocatePlaying:
        if (PlayingNode()) {
            SelectTreeNode(PlayingNode());
            m_pMainWnd->SelectRow(m_pMainWnd->ListModel()->RowOf(CurrentTrack()));
        }
        break;
    case kClosePanel:
        m_pMainWnd->SetSidePanelVisible(false);
        m_conf.Settings().sidepanel = 0;
        break;
    case kSidePanelCommand: {
        // The panel's own close button hides it; the main menu is the way back.
        const bool show = !m_pMainWnd->SidePanelVisible();
        m_pMainWnd->SetSidePanelVisible(show);
        m_conf.Settings().sidepanel = show ? 1 : 0;
        break;
    }
    case kMiniMode:
    case kMiniModeMenu:
        CQvLog::GetInstance().QueueUsageEvent(QStringLiteral("msqh"), QString(), QString(), QString(), QString(),
                                              QString(), QString());
        m_pViewWnd->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        m_pViewWnd->show();
        m_pMainWnd->hide();
        m_conf.Settings().dlgstate = 1;
        break;
    case kMiniRestore:
    case 1551:
        m_pViewWnd->hide();
        m_pMainWnd->RestoreFromTray();
        m_conf.Settings().dlgstate = 0;
        break;
    case kLyricToggle: {
        CKLrcChildDlg* desktop = m_pMainWnd->DesktopLyrics();
        const bool on = !desktop->Wanted();
        desktop->ShowDesktopLyrics(on);
        CQvLog::GetInstance().QueueUsageEvent(QStringLiteral("xsgc"), QString::number(on ? 1 : 0), QString(), QString(),
                                              QString(), QString(), QString());
        break;
    }
    case kColor0:
    case kColor1:
    case kColor2: {
        const int scheme = id - kColor0;
        const int old = CSkin::Instance().CurrentScheme();
        if (scheme == old) break;
        CQvLog::GetInstance().QueueUsageEvent(QStringLiteral("ysqh"), QString::number(old), QString(), QString(),
                                              QString(), QString(), QString());
        CSkin::Instance().ApplyColorScheme(scheme);
        CSkin::Instance().ApplyToApplication();
        m_conf.Settings().ColorConfig = scheme;
        break;
    }
    case kVolumeUp:
        VolumeUp();
        break;
    case kVolumeDown:
        VolumeDown();
        break;
    case kFavorite:
        SetFavorite(m_pMainWnd->FavoriteButton() && m_pMainWnd->FavoriteButton()->isChecked());
        break;
    case kMainMenu:
        if (QWidget* b = m_pMainWnd->Button(kMainMenu))
            m_pMainWnd->MainMenu()->popup(b->mapToGlobal(QPoint(0, b->height())));
        break;
    case kCheckUpdateCommand:
        SetTimer(kUpdateTimer, kUpdatePeriodMs);
        break;
    case kSettingsCommand:
        OpenSettings();
        break;
    case kTrackNoticeCommand:
        m_conf.Settings().trackntf = m_conf.Settings().trackntf ? 0 : 1;
        break;
    case kEqualizerCommand: {
        CEqualizerDlg* dlg = EqualizerWindow();
        if (!dlg) {
            dlg = new CEqualizerDlg(*m_pEqualizer, m_pMainWnd.get());
            dlg->setAttribute(Qt::WA_DeleteOnClose);
            m_pEqualizerDlg = dlg;
        }
        dlg->show();
        dlg->raise();
        dlg->activateWindow();
        break;
    }
    case kFeedbackCommand:
        m_pMessages->OpenFeedback();
        break;
    case kMessagesCommand:
        m_pMessages->OpenList();
        break;
    case kMyMusicCommand:
        OpenMenuPage(QStringLiteral("mymusic"));
        break;
    case kCloudDiskCommand:
        OpenMenuPage(QStringLiteral("clouddisk"));
        break;
    case kOrderCommand:
        OpenOrderPage();
        break;
    case 1553:
        (new CAboutDlg(m_conf.Info().version, m_conf.ProgramDir(), m_pMainWnd.get()))->open();
        break;
    case 50029: {
        RecordCommand(922, id);
        const QStringList files =
            QFileDialog::getOpenFileNames(m_pMainWnd.get(), txt::kAddFilesTitle, ChooserStartFolder(), txt::kFileFilter);
        if (!files.isEmpty()) {
            RememberChooserFolder(files.first());
            RecordCommand(923, id);
            AddFiles(files);
        }
        break;
    }
    case 50030: {
        auto* dlg = new CAddUrlDlg([this](const UrlTrackFields& f) { return AddUrl(f); }, m_pMainWnd.get());
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
        break;
    }
    case 50031: {
        const QString folder = QFileDialog::getExistingDirectory(m_pMainWnd.get(), txt::kAddFolderTitle, ChooserStartFolder());
        RememberChooserFolder(folder);
        if (!folder.isEmpty()) AddFolder(folder);
        break;
    }
    case kAddAllCommand: {
        if (IsScanning()) break;
        auto* dlg = new CAllDiskScanDlg(m_pMainWnd.get());
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        connect(dlg, &QDialog::accepted, this, [this, dlg] { StartDiskScan(dlg->IgnoreDeleted()); });
        dlg->open();
        break;
    }
    default:
        if (id >= kStar1 && id <= kStar5) {
            const CSkinButton* star = m_pMainWnd->StarButton(id - kStar1 + 1);
            ClickStar(id - kStar1 + 1, star && star->isChecked());
        }
        break;
    }
}

// ---- volume, rating, favourite, seeking -------------------------------------------------

int CMainDlg::Volume() const { return m_conf.Settings().volume; }

void CMainDlg::ShowVolume() { m_pMainWnd->SetVolume(Volume()); }

void CMainDlg::VolumeUp()
{
    const int volume = Volume();
    if (volume > 98) return;
    SetVolumePercent(volume + 2);
}

void CMainDlg::VolumeDown()
{
    const int volume = Volume();
    if (volume <= 1) return;
    SetVolumePercent(volume - 2);
}

void CMainDlg::SetVolumePercent(int percent)
{
    percent = std::clamp(percent, 0, 100);
    // Silence is not kept as the setting, so the next start is not silent.
    SetVolume(float(percent) / 100.0f);
    if (m_pMainWnd) m_pMainWnd->SetVolume(percent);
}

void CMainDlg::ClickStar(int star, bool lit)
{
    CQvMusic* track = CurrentTrack();
    if (!track || !track->GetInfo()) {
        // Nothing to rate: the star is only drawn unlit.
        m_pMainWnd->SetStars(0);
        return;
    }
    TrackInfo& info = *track->GetInfo();
    int rating = star;
    if (star == info.Default2 && !lit) rating = star - 1; // the top lit star again takes one away
    {
        std::lock_guard lock(Library().Mutex());
        info.Default2 = rating;
    }
    m_pMainWnd->SetStars(rating);
    Library().UpdateTrack(track);
    const QString sysid = info.Rare().Sysid, cmsid = info.Rare().CmsID;
    if (m_options.serviceTasks)
        StartWorker([sysid, cmsid, rating] { AddSongScore(MetadataEntryUrl(), sysid, cmsid, rating); });
    RefreshList();
}

void CMainDlg::SetFavorite(bool on)
{
    CQvMusic* track = CurrentTrack();
    if (!track || !track->GetInfo()) {
        m_pMainWnd->SetFavorite(false);
        return;
    }
    {
        std::lock_guard lock(Library().Mutex());
        track->GetInfo()->Default1 = on ? 1 : 0;
    }
    // Counted as a play, which also lets the smart lists (the favourites) take or drop it.
    Library().RecordPlay(track);
    Library().UpdateTrack(track);
    m_pMainWnd->SetFavorite(on);
    RefreshList();
}

int CMainDlg::ProgressPosition() const
{
    const CSkinSlider* progress = m_pMainWnd ? m_pMainWnd->Progress() : nullptr;
    return progress ? progress->value() : 0;
}

void CMainDlg::OnWheel(int delta)
{
    if (!CurrentTrack()) return;
    const int length = GetLengthSeconds();
    const int position = std::clamp(ProgressPosition() + delta * 2 / 120, 0, 100);
    if (CSkinSlider* p = m_pMainWnd->Progress()) p->setValue(position);
    m_pViewWnd->SetProgress(position);
    const int ms = position * length / 100 * 1000;
    if (Seek(ms)) m_pMainWnd->OnSeeked(ms);
}

void CMainDlg::SeekPercent(int percent)
{
    if (!CurrentTrack()) return;
    const int length = GetLengthSeconds();
    const int ms = std::clamp(percent, 0, 100) * length / 100 * 1000;
    if (Seek(ms)) m_pMainWnd->OnSeeked(ms);
}

int CMainDlg::StoreRetimedLyrics(const QString& text)
{
    return StoreAdjustedLyrics(Library(), LyricsTrack(), text);
}

void CMainDlg::SearchLyrics()
{
    const TrackRef track(CurrentTrack());
    if (!track) return;
    auto* dlg = new CLyricSearchDlg(track->GetInfo()->Song, track->GetInfo()->Artist, m_conf.LyricsDir(), m_pMainWnd.get());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &CLyricSearchDlg::Chosen, this,
            [this, track](const CLyricSearchDlg::Found& f) { AttachLyrics(track, f.text, f.file); });
    dlg->open();
}

void CMainDlg::AssociateLyricsFile()
{
    const TrackRef track(CurrentTrack());
    if (!track) return;
    const QString folder = QFileInfo(track->GetInfo()->LSrc).absolutePath();
    const QString file = QFileDialog::getOpenFileName(m_pMainWnd.get(), QStringLiteral("关联本地歌词"), folder,
                                                      QStringLiteral("LRC (*.lrc)"));
    if (!file.isEmpty()) AttachLyrics(track, QString(), file);
}

bool CMainDlg::AttachLyrics(const TrackRef& track, const QString& text, const QString& file)
{
    if (!track || (text.isEmpty() && file.isEmpty())) return false;
    if (!file.isEmpty()) {
        // The file becomes the track's own, read the way every lyrics file is.
        const QString before = track->GetInfo()->Rare().LrcFile;
        track->GetInfo()->EditRare().LrcFile = file;
        track->SetLyricsText(QString());
        QString read;
        if (track->LoadLyrics()) track->GetLyricsText(read);
        if (read.isEmpty()) {
            track->GetInfo()->EditRare().LrcFile = before;
            return false;
        }
        Library().UpdateTrack(track.get());
    } else {
        track->SetLyricsText(text);
        track->SetHasLyrics(1);
        m_pLyricsTable->StoreLyrics(track->GetInfo()->Gid, text);
    }
    if (track.get() == CurrentTrack()) {
        m_pMainWnd->ReloadLyrics();
        OnMessage(WM_LRC_READY, 1, reinterpret_cast<qintptr>(track.get()));
        Broadcast(WM_LRC_READY);
    }
    return true;
}

void CMainDlg::OpenSettings(SettingsPage first)
{
    auto* dlg = new CSettingDlg(m_pMainWnd.get());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->AddPage(new CSettingLyricsDlg(m_conf.Settings(), m_pMainWnd->DesktopLyrics()));
    const CQvClientIdentity::Values who = CQvClientIdentity::Instance().Get();
    auto* user = new CSettingUserInfoDlg(who.vuid.isEmpty() ? QString() : (who.phone.isEmpty() ? who.userId : who.phone),
                                         who.nickname);
    dlg->AddPage(user);
    if (first == SettingsPage::UserInfo) dlg->ShowPage(user);
    dlg->open();
}

// ---- adding music -----------------------------------------------------------------------

bool CMainDlg::IsScanning() const { return m_scan->running.load() || m_bImporting; }

bool CMainDlg::IsReadingFiles() const { return m_pFileReader->Pending() > 0; }

void CMainDlg::RestoreIfRemoved(CQvMusic* track)
{
    if (!(track->GetState() & (STATE_REMOVED | STATE_DELETED_WITH_FILE))) return;
    Library().RestoreTrack(track);
    Library().OfferToLists(track, -1);
}

int CMainDlg::AddFiles(const QStringList& paths)
{
    // Added while a playlist is shown: into that playlist too.
    return ReadAddedFiles(paths, ShownUserListName(), false) ? int(paths.size()) : 0;
}

QString CMainDlg::ShownUserListName()
{
    IQvNode* node = DisplayedNode();
    std::lock_guard lock(Library().Mutex());
    return CPlaylistActions::IsUserList(node) ? node->GetName() : QString();
}

bool CMainDlg::ReadAddedFiles(const QStringList& paths, const QString& listName, bool showNode)
{
    if (paths.isEmpty()) return false;
    TrackBuildOptions options;
    options.owner = this;
    options.userAddition = true;
    // The playlist is found again by its name once the files are read: the user may have
    // deleted it meanwhile.
    return m_pFileReader->Read(paths, options, [this, listName, showNode](const std::vector<TrackRef>& tracks) {
        if (m_bShuttingDown) return;
        std::vector<CQvMusic*> added;
        for (const TrackRef& track : tracks) {
            RestoreIfRemoved(track.get());
            added.push_back(track.get());
        }
        if (!listName.isEmpty() && !added.empty()) {
            IQvNode* list = nullptr;
            {
                std::lock_guard lock(Library().Mutex());
                list = Library().Store().FindNode(listName);
            }
            m_pPlaylists->AddToList(list, added);
        }
        if (showNode && DisplayedNode()) m_pMainWnd->ShowNode(DisplayedNode());
        RefreshList();
        if (!added.empty() && m_options.watchChanges) WatchLibraryFolders();
    });
}

bool CMainDlg::AddFolder(const QString& folder)
{
    if (m_bImporting || folder.isEmpty()) return false;
    m_bImporting = true;
    m_scan->stop = false;
    CMediaLibrary* library = &Library();
    const CMsgTarget window = m_pMainWnd->Target();
    const std::shared_ptr<ScanControl> control = m_scan;
    QObject* owner = this;
    // Added while a playlist is shown: into that playlist too, found again by its name when the
    // import ends (the user may have deleted it meanwhile).
    QString listName;
    if (CPlaylistActions::IsUserList(DisplayedNode())) {
        std::lock_guard lock(Library().Mutex());
        listName = DisplayedNode()->GetName();
    }
    window.PostMessage(WM_SCAN_STATUS, kScanShowSearching, 0);
    const bool started = StartWorker([library, window, control, owner, folder, listName] {
        CFileFinder finder([control] { return IsExiting() || control->stop.load(); });
        ScanFolder(finder, folder, QString::fromLatin1(kMusicMasks), true, kMusicDepth, MusicSizes::kEverySize);
        int added = 0;
        std::vector<TrackRef> imported;
        ImportFiles(*library, finder.Paths(), false, true, owner,
                    [&](CQvMusic* track, int count) {
                        ++added;
                        if (!listName.isEmpty()) imported.emplace_back(track);
                        window.PostMessage(WM_SCAN_STATUS, kScanFound, count);
                        return !control->stop.load();
                    },
                    [control] { return IsExiting() || control->stop.load(); });
        if (IsExiting()) return;
        if (!listName.isEmpty()) {
            std::lock_guard lock(library->Mutex());
            if (IQvNode* list = library->Store().FindNode(listName); CPlaylistActions::IsUserList(list))
                for (const TrackRef& track : imported) library->PutInList(list, track.get());
        }
        window.PostMessage(WM_IMPORT_DONE, 2, added);
    });
    if (!started) m_bImporting = false;
    return started;
}

bool CMainDlg::AddUrl(const UrlTrackFields& fields)
{
    TrackBuildOptions options;
    options.owner = this;
    options.userAddition = true;
    TrackRef track = BuildTrackFromUrl(Library(), fields, options);
    if (!track) return false;
    IQvNode* node = DisplayedNode();
    bool userList = false;
    if (node) {
        std::lock_guard lock(Library().Mutex());
        userList = node->GetType() == kUserListType;
    }
    if (userList) {
        {
            std::lock_guard lock(Library().Mutex());
            node->AppendTrack(track.get());
        }
        Library().SaveListMembers(node);
    }
    RefreshList();
    m_pMainWnd->SelectRow(m_pMainWnd->ListModel()->RowOf(track.get()));
    return true;
}

bool CMainDlg::StartDiskScan(bool ignoreDeleted)
{
    m_scan->ignoreDeleted = ignoreDeleted;
    m_scan->stop = false;
    return ::StartDiskScan(MakeScanJob(), 1);
}

void CMainDlg::StopScan() { m_scan->stop = true; }

int CMainDlg::DropOnGroupWindow(const QStringList& paths)
{
    QStringList music;
    for (const QString& path : paths)
        if (path.endsWith(QLatin1String(".mp3")) || path.endsWith(QLatin1String(".wma"))) music.append(path);
    return ReadAddedFiles(music, QString(), true) ? int(music.size()) : 0;
}

int CMainDlg::DropOnList(const QMimeData* data)
{
    // Text dragged from somewhere is not music; files come as addresses.
    if (!data || !data->hasUrls()) return -1;
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && HasMusicExtension(url.toLocalFile())) paths.append(url.toLocalFile());
    if (paths.isEmpty()) return 0;

    QString listName = ShownUserListName();
    if (listName.isEmpty()) {
        // Dropped files go to the first list of the playlists, shown at once.
        IQvNode* first = nullptr;
        {
            std::lock_guard lock(Library().Mutex());
            IQvNode* group = Library().Store().GetTopNode(1);
            first = group && group->ChildCount() > 0 ? group->GetChild(0) : nullptr;
        }
        if (first) SelectTreeNode(first);
        listName = ShownUserListName();
    }
    return ReadAddedFiles(paths, listName, false) ? int(paths.size()) : 0;
}

void CMainDlg::SelectAndPlayFiles(const QStringList& paths)
{
    // A later hand-over replaces what an earlier one, still being read, was going to play.
    const quint64 request = ++m_nFilePlayRequest;
    TrackBuildOptions options;
    options.owner = this;
    options.userAddition = true;
    m_pFileReader->Read(paths, options, [this, request](const std::vector<TrackRef>& tracks) {
        if (m_bShuttingDown || request != m_nFilePlayRequest) return;
        SelectAndPlayTracks(tracks);
    });
}

int CMainDlg::SelectAndPlayTracks(const std::vector<TrackRef>& tracks)
{
    IQvNode* local = LocalMusicNode();
    if (local) {
        SelectTreeNode(local);
        SetDisplayedNode(local);
        m_pMainWnd->ShowNode(local);
    }
    TrackRef first;
    std::vector<TrackRef> unlisted;
    for (const TrackRef& track : tracks) {
        RestoreIfRemoved(track.get());
        m_pMainWnd->RefreshList();
        const int row = m_pMainWnd->ListModel()->RowOf(track.get());
        if (row < 0) {
            unlisted.push_back(track);
            continue;
        }
        m_pMainWnd->SelectRow(row);
        if (!first) first = track;
    }
    if (!first) {
        // No list shows them (a home without its tree): they still play, one after another.
        if (unlisted.empty()) return 0;
        ClearPlayQueue();
        for (size_t i = 0; i < unlisted.size(); ++i) PlayNow(unlisted[i], i == 0);
        return 1;
    }
    // Its row, after the others went in front of it.
    const int row = m_pMainWnd->ListModel()->RowOf(first.get());
    m_pMainWnd->SelectRow(row);
    return PlayDisplayedRow(row);
}

void CMainDlg::PlayHandedOverFiles(const QStringList& paths)
{
    if (paths.isEmpty()) return;
    StopPlay();
    m_pMainWnd->SelectRow(-1);
    if (!m_bLibraryLoaded) {
        m_startFiles += paths;
        return;
    }
    SelectAndPlayFiles(paths);
}

// ---- change notifications ---------------------------------------------------------------

void CMainDlg::OnShellChange()
{
    if (!m_pNotifier) return;
    bool changed = false;
    QStringList created;
    for (const ShellChange& change : m_pNotifier->TakeChanges()) {
        if (change.event == kShellItemCreated) {
            if (EndsInMusicExtension(change.path)) created.append(change.path);
        } else if (change.event == kShellItemDeleted) {
            if (change.path == m_strLastDeleted) continue;
            m_strLastDeleted = change.path;
            if (!EndsInMusicExtension(change.path)) continue;
            CQvMusic* track = nullptr;
            {
                std::lock_guard lock(Library().Mutex());
                track = Library().Store().FindTrack(MakeGid(change.path), 0);
            }
            if (!track) continue;
            TrackRef keep(track);
            if (track == CurrentTrack()) StopPlay();
            track->AddState(STATE_DELETED_WITH_FILE);
            Library().UpdateTrack(track);
            changed = true;
        }
    }
    if (changed) RefreshList();
    if (!created.isEmpty()) {
        TrackBuildOptions options;
        options.owner = this;
        options.userAddition = true;
        m_pFileReader->Read(created, options, [this](const std::vector<TrackRef>& tracks) {
            if (!m_bShuttingDown && !tracks.empty()) RefreshList();
        });
    }
}

// ---- messages and timers ----------------------------------------------------------------

qintptr CMainDlg::OnMessage(unsigned msg, quintptr wParam, qintptr lParam)
{
    switch (msg) {
    case WM_CLOUD_GROUPS_LOADED:
        m_pCloud->OnGroupsLoaded();
        return 0;
    case WM_CLOUD_BUSY:
        m_pCloud->OnBusy(int(wParam));
        return 0;
    case WM_FIRST_RUN:
        ShowFirstRun();
        return 0;
    case WM_START_SCAN:
        StartStartupScan();
        return 0;
    case WM_LIBRARY_CHECKED:
        OnLibraryChecked(int(lParam));
        return 0;
    case WM_SHOW_WINDOW:
        if (m_conf.Settings().dlgstate == 1 && m_pViewWnd->isVisible()) {
            m_pViewWnd->raise();
            m_pViewWnd->activateWindow();
        } else {
            m_pMainWnd->RestoreFromTray();
        }
        return 0;
    case WM_OPEN_HANDOVER:
        PlayHandedOverFiles(ReadHandOverFile(HandOverFilePath()));
        return 0;
    case WM_SHELL_CHANGE:
        OnShellChange();
        return 0;
    case WM_ADD_NET_TRACK: {
        // A page's track joins the library as the user's addition.
        TrackRef track(reinterpret_cast<CQvMusic*>(wParam));
        if (!track || !track->GetInfo()) return 0;
        if (track->GetInfo()->AddDay == 0) track->GetInfo()->AddDay = DayNumber(QDate::currentDate());
        if (Library().AddTrack(track.get())) Library().OfferToLists(track.get(), -1);
        RefreshList();
        return 0;
    }
    case WM_UPDATE_SUCCESS_SEEN:
        MarkUpdateSeen();
        return 0;
    case WM_LOGIN_PROMPT:
        if (wParam == kLoginPromptSource) m_pSession->ShowLogin();
        return 0;
    case WM_LOGIN_SESSION:
        if (wParam) m_pSession->OnSessionId(*reinterpret_cast<const QString*>(wParam));
        return 0;
    case WM_USER_INFO_READY:
        m_pSession->OnUserInfoReady();
        return 0;
    case WM_DECLINED_UPDATE:
        ExitApp(0);
        return 0;
    default:
        return CPlayController::OnMessage(msg, wParam, lParam);
    }
}

qintptr CMainDlg::OnWindowMessage(unsigned msg, quintptr wParam, qintptr lParam)
{
    switch (msg) {
    case WM_LIBRARY_LOADED:
        OnLibraryLoaded(int(lParam));
        return 0;
    case WM_SCAN_STATUS:
        switch (wParam) {
        case kScanShowSearching:
        case kScanFound:
        case kScanDone:
            m_pMainWnd->ShowScanText(ScanStatusText(unsigned(wParam), int(lParam)));
            if (wParam == kScanFound) RefreshList();
            break;
        case kScanHideProgress:
            m_pMainWnd->HideScanProgress();
            break;
        case kScanSelectLocal:
            SelectTreeNode(LocalMusicNode());
            break;
        case kScanSelectChart: {
            IQvNode* chart = nullptr;
            {
                std::lock_guard lock(Library().Mutex());
                chart = Library().Store().FindNode(QString::fromUtf16(kChartNode));
            }
            SelectTreeNode(chart);
            break;
        }
        default:
            break;
        }
        return 0;
    case WM_IMPORT_DONE: {
        // wParam 1: the first scan (the dialog is shown); 2: a folder the user added.
        if (wParam == 2) m_bImporting = false;
        {
            std::lock_guard lock(Library().Mutex());
            if (!QFileInfo::exists(m_conf.DataDir() + QStringLiteral("AllMusic2.db"))) Library().SaveAllTracks();
        }
        RefreshList();
        if (m_options.watchChanges) WatchLibraryFolders();
        if (wParam == 2) m_pMainWnd->ShowScanText(ScanStatusText(kScanDone, int(lParam)));
        if (m_pMainWnd->ScanProgressVisible())
            QTimer::singleShot(3000, m_pMainWnd.get(), [w = m_pMainWnd.get()] { w->HideScanProgress(); });
        if (wParam != 0) ShowImportDone(int(lParam));
        return 0;
    }
    case WM_DISK_SCAN_PROGRESS:
        switch (int(lParam)) {
        case kDiskScanStarted:
            m_pMainWnd->ShowScanText(ScanStatusText(kScanShowSearching, 0));
            break;
        case kDiskScanTrack:
            m_pMainWnd->ShowScanText(ScanStatusText(kScanFound, m_scan->imported.load() + 1));
            break;
        case kDiskScanStopped:
            m_pMainWnd->HideScanProgress();
            RefreshList();
            break;
        case kDiskScanFinished:
            m_pMainWnd->ShowScanText(ScanStatusText(kScanDone, m_scan->imported.load()));
            QTimer::singleShot(3000, m_pMainWnd.get(), [w = m_pMainWnd.get()] { w->HideScanProgress(); });
            RefreshList();
            if (m_options.watchChanges) WatchLibraryFolders();
            ShowImportDone(m_scan->imported.load());
            break;
        default:
            break;
        }
        return 0;
    default:
        return 0;
    }
}

void CMainDlg::ShowImportDone(int count)
{
    if (m_conf.Settings().showaddmusicdone == 0) return;
    // The dialog clears the stop flag when it opens.
    m_scan->stop = false;
    auto* dlg = new CAddMusicDoneDlg(count, m_pMainWnd.get());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QDialog::finished, this, [this, dlg] {
        if (dlg->DontShowAgain()) m_conf.Settings().showaddmusicdone = 0;
    });
    dlg->open();
}

void CMainDlg::OnOnlineTimer()
{
    const bool online = MachineOnline();
    if (online == m_bOnline) return;
    m_bOnline = online;
    Broadcast(WM_ONLINE_CHANGED, online ? 1 : 0);
}

void CMainDlg::OnTimer(int id)
{
    switch (id) {
    case kTrimTimer:
        malloc_trim(0);
        return;
    case kOnlineTimer:
        OnOnlineTimer();
        return;
    case kLogSendTimer:
        KillTimer(kLogSendTimer);
        StartServiceTask(9); // the send sets the timer again
        return;
    case kIdleTimer:
        return;
    case kCloudTimer: {
        KillTimer(kCloudTimer);
        int loaded = 0;
        {
            std::lock_guard lock(Library().Mutex());
            loaded = Library().Store().StatusFlag();
        }
        if (loaded == 0) StartServiceTask(5);
        // Always again: a sign-in after a sign-out needs it as much as a failed load.
        SetTimer(kCloudTimer, kCloudPeriodMs);
        return;
    }
    case kUpdateTimer:
        KillTimer(kUpdateTimer);
        StartServiceTask(11);
        return;
    case kStartUpdateTimer:
        KillTimer(kStartUpdateTimer);
        StartServiceTask(19);
        return;
    case kSessionTimer:
        if (!CQvClientIdentity::Instance().Get().vuid.isEmpty()) StartWorker([] { KeepSessionAlive(); });
        return;
    case kExitTimer:
        // The workers have ended, or they had their time.
        if (RunningWorkerCount() == 0 || m_shutdownClock.elapsed() >= kWorkerBoundMs) FinishShutdown();
        return;
    default:
        CPlayController::OnTimer(id);
        return;
    }
}

// ---- shutdown ---------------------------------------------------------------------------

void CMainDlg::ExitApp(int exitCode)
{
    if (m_bShuttingDown) return;
    m_bShuttingDown = true;
    m_nExitCode = exitCode;
    CQvLog::GetInstance().AddRecord(wnd::kMain, 971, 1, CurrentTrack(), kExit);
    m_pMainWnd->SaveState();
    RememberLastTrack();
    m_conf.Settings().minix = m_pViewWnd->pos().x();
    m_conf.Settings().miniy = m_pViewWnd->pos().y();
    m_pMainWnd->hide();
    m_pViewWnd->hide();
    StopPlay();
    // The stop flag: loading and scans end at their next check, requests return at once.
    SetExiting();
    SetShuttingDown();
    m_scan->stop = true;
    if (m_pNotifier) m_pNotifier->Stop();
    for (int timer : {int(kOnlineTimer), int(kCloudTimer), int(kSessionTimer), int(kTrimTimer), int(kLogSendTimer),
                      int(kIdleTimer), int(kUpdateTimer), int(kStartUpdateTimer)})
        KillTimer(timer);
    CQvLog::GetInstance().StopUsageWorker(kWorkerBoundMs);
    m_shutdownClock.start();
    QTimer::singleShot(kExitPauseMs, this, [this] { SetTimer(kExitTimer, kExitPollMs); });
}

void CMainDlg::FinishShutdown()
{
    if (m_bEnded) return;
    m_bEnded = true;
    KillTimer(kExitTimer);
    if (RunningWorkerCount() > 0) WriteDebugLogA("exit: %d workers still running", RunningWorkerCount());
    // Only now that nothing else writes: the settings, the databases, the pending records.
    m_conf.SaveConfig();
    {
        std::lock_guard lock(Library().Mutex());
        m_conf.CloseAll();
    }
    CQvLog::GetInstance().SaveToFile();
    Engine().Free();
    emit Ended(m_nExitCode);
}

// ---- what the engine, the tasks and the update check ask of the windows -----------------

void CMainDlg::MessageBox(const QString& text)
{
    QMetaObject::invokeMethod(this, [this, text] { ShowNotice(m_pMainWnd.get(), text, QString()); }, Qt::QueuedConnection);
}

void CMainDlg::MenuLoaded(const QList<MenuEntry>& entries)
{
    QMetaObject::invokeMethod(this, [this, entries] {
        m_menu = entries;
        if (!m_pMainWnd) return;
        // A page shown while the menu was missing (the offline page) gets its address now.
        IQvNode* shown = DisplayedNode();
        bool web = false;
        if (shown) {
            std::lock_guard lock(Library().Mutex());
            web = shown->GetDisplayType() == QLatin1String("web");
        }
        if (web && m_pMainWnd->PageShown()) {
            OnTreeSelect(shown);
            return;
        }
        // The recommendations wait in the content view for the first look at it.
        if (CPagePane* pane = m_pMainWnd->ContentPane(); pane && pane->ExistingView() && pane->RequestedUrl().isEmpty())
            pane->Open(MenuUrl(QStringLiteral("musicrecommand")));
    }, Qt::QueuedConnection);
}

int CMainDlg::RunCloudTask(int code) { return m_pCloud->RunTask(code); }

// ---- the service's pages ----------------------------------------------------------------

QString CMainDlg::MenuUrl(const QString& id) const
{
    for (const MenuEntry& e : m_menu)
        if (e.Id == id) return e.Url;
    return QString();
}

QString CMainDlg::WebPageUrl(const QString& pathAndQuery) const
{
    const QString origin = OriginOf(MetadataEntryUrl());
    return origin.isEmpty() ? QString() : origin + pathAndQuery;
}

void CMainDlg::OpenMenuPage(const QString& id)
{
    m_pMainWnd->ShowPage(MenuUrl(id));
    const int tab = id == QLatin1String("musicrecommand") ? kTabRecommend
        : id == QLatin1String("musiclikename")           ? kTabLike
                                                          : 0;
    m_pMainWnd->CheckTab(tab);
    if (m_menu.isEmpty() && m_options.serviceTasks) StartServiceTask(17); // a retry of the menu
}

void CMainDlg::OpenSearchPage(const QString& text)
{
    const QString value = QString::fromLatin1(UrlEncode(ToAnsi(text.trimmed())));
    m_pMainWnd->ShowPage(WebPageUrl(QStringLiteral("/metadata/enter.do?m=search&value=") + value));
    m_pMainWnd->CheckTab(kTabSearch);
}

bool CMainDlg::OpenSongRoom()
{
    const QString vuid = CQvClientIdentity::Instance().Get().vuid;
    if (vuid.isEmpty()) return false;
    m_pMainWnd->ShowPage(WebPageUrl(QStringLiteral("/pc/tosongsroom.do?orgin=2&vuid=") + vuid));
    m_pMainWnd->CheckTab(0);
    return true;
}

void CMainDlg::OpenOrderPage()
{
    const QString cid = QString::fromLatin1(UrlEncode(ToAnsi(m_conf.Settings().clientid)));
    m_pMainWnd->ShowPage(WebPageUrl(QStringLiteral("/v5/action/secweborder/weborder2.do?cid=%1&pt=2&ca=&pid=").arg(cid)));
    m_pMainWnd->CheckTab(0);
}

IQvNode* CMainDlg::ShownNode() const
{
    std::lock_guard lock(Library().Mutex());
    IQvNode* node = DisplayedNode();
    if (node && node->GetDisplayType() != QLatin1String("web")) return node;
    return m_strShownList.isEmpty() ? nullptr : Library().Store().FindNode(m_strShownList);
}

void CMainDlg::QueuePageTrack(const TrackRef& track, bool first)
{
    SendMessage(WM_PLAY_NOW, reinterpret_cast<quintptr>(track.get()), first ? 1 : 0);
}

void CMainDlg::PlayPageTrack(const TrackRef& track)
{
    ClearPlayQueue();
    SendMessage(WM_PLAY_NOW, reinterpret_cast<quintptr>(track.get()), 1);
}

void CMainDlg::AddPageTrack(const TrackRef& track)
{
    SendMessage(WM_ADD_NET_TRACK, reinterpret_cast<quintptr>(track.get()));
    // The network list shows it, at its end.
    IQvNode* urls = nullptr;
    {
        std::lock_guard lock(Library().Mutex());
        urls = Library().Store().FindNode(QStringLiteral("试听列表"));
    }
    if (!urls) return;
    m_pMainWnd->SelectNode(urls);
    RefreshList();
    m_pMainWnd->SelectRow(m_pMainWnd->ListModel()->rowCount() - 1);
}

void CMainDlg::ShowAddNotice()
{
    if (m_conf.Settings().showaddnetmsg == 0) return;
    auto* dlg = new CNetAddMsgDlg(m_pMainWnd.get());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg->DontShowBox(), &QCheckBox::toggled, this, [this](bool on) { m_conf.Settings().showaddnetmsg = on ? 0 : 1; });
    dlg->open();
}

int CMainDlg::PlayShownItem(int index)
{
    IQvNode* node = ShownNode();
    if (!node) return -1;
    if (node != DisplayedNode()) {
        SetDisplayedNode(node);
    }
    const int started = PlayDisplayedRow(index);
    RefreshList();
    return started;
}

void CMainDlg::DeletePageTracks(const QList<TrackRef>& tracks)
{
    for (auto it = tracks.rbegin(); it != tracks.rend(); ++it) {
        CQvMusic* track = it->get();
        if (track == CurrentTrack()) StopPlay();
        track->AddState(STATE_DELETED_WITH_FILE);
        Library().RemoveTrackFromAllLists(track);
        Library().RemoveTrack(track);
    }
    RefreshList();
}

void CMainDlg::RequestLogin() { PostMessage(WM_LOGIN_PROMPT, kLoginPromptSource); }

void CMainDlg::SendPageLog(const QString& kind, const QString& text)
{
    StartWorker([kind, text] { CQvLog::GetInstance().SendPageLog(kind, text); });
}

namespace {
// The window the update questions go over: the picture-view window in mini mode.
QWidget* PromptParent(CMainDlg& ctl)
{
    if (ctl.Conf().Settings().dlgstate == 1 && ctl.ViewWindow() && ctl.ViewWindow()->isVisible()) return ctl.ViewWindow();
    return ctl.MainWindow();
}
} // namespace

void CMainDlg::Notice(const QString& text, const QString& title)
{
    QMetaObject::invokeMethod(this, [this, text, title] {
        auto* dlg = new CNoticeDlg(title, text, PromptParent(*this));
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        dlg->open();
    }, Qt::QueuedConnection);
}

void CMainDlg::UpdateOffered(const QString& latest)
{
    const QString current = m_conf.Info().version;
    QMetaObject::invokeMethod(this, [this, latest, current] {
        if (m_pMessages) m_pMessages->PostNotice(txt::kUpdateNoticeTitle.arg(latest), txt::kUpdateNoticeText.arg(latest, current));
    }, Qt::QueuedConnection);
}

bool CMainDlg::AskYesNo(const QString& text, const QString& title)
{
    if (IsExiting()) return false;
    bool yes = false;
    auto ask = [&] {
        CConfirmDlg dlg(title, text, PromptParent(*this));
        yes = dlg.exec() == QDialog::Accepted;
    };
    if (QThread::currentThread() == thread()) ask();
    else QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
    return yes;
}

void CMainDlg::EndAfterDeclinedUpdate() { PostMessage(WM_DECLINED_UPDATE); }

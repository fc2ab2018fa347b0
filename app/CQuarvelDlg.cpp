#include "app/CQuarvelDlg.h"
#include "app/CCloudGroups.h"

#include "app/CMainDlg.h"
#include "app/CNodeTreeModel.h"
#include "app/CPlaylistActions.h"
#include "app/CTrackListModel.h"
#include "app/CUserSession.h"
#include "app/CViewDlg.h"
#include "app/UiTexts.h"
#include "app/WindowIds.h"

#include "base/MessageIds.h"
#include "library/LibraryScan.h"
#include "lyrics/CLyrics.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "net/CQvLog.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "ui/CProfileIni.h"
#include "ui/CSkin.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinEdit.h"
#include "ui/CSkinFrame.h"
#include "ui/CSkinLabel.h"
#include "ui/CSkinLayout.h"
#include "ui/CSkinNumText.h"
#include "ui/CSkinPicture.h"
#include "ui/CSkinPosManage.h"
#include "ui/CSkinSlider.h"
#include "ui/CSkinSplitter.h"
#include "ui/ControlIds.h"
#include "ui/SkinScheme.h"
#include "ui/lyrics/CKLrcChildDlg.h"
#include "ui/lyrics/CLyricDlg.h"
#include "ui/lyrics/CQvLyrics.h"
#include "ui/page/CFixedHtmlView.h"
#include "ui/page/CPagePane.h"

#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QActionGroup>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTableView>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QWheelEvent>

#include <algorithm>
#include <mutex>

using namespace ctl;

// ---- the parts --------------------------------------------------------------------------

// Receives the controller's broadcasts, the workers' messages and this window's timers.
class CQuarvelDlg::Port : public CMsgWindow {
public:
    explicit Port(CQuarvelDlg& window) : m_window(window) {}
    qintptr OnMessage(unsigned msg, quintptr w, qintptr l) override { return m_window.OnMessage(msg, w, l); }
    void OnTimer(int id) override { m_window.OnTimer(id); }

private:
    CQuarvelDlg& m_window;
};

// The scan's progress over the list: its text and a stop button.
class CScanProgress : public QWidget {
public:
    CScanProgress(CMainDlg& controller, QWidget* parent) : QWidget(parent)
    {
        setAutoFillBackground(true);
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(14, 6, 10, 6);
        m_text = new QLabel(this);
        row->addWidget(m_text, 1);
        m_stop = new QPushButton(txt::kScanStop, this);
        row->addWidget(m_stop);
        connect(m_stop, &QPushButton::clicked, this, [&controller] { controller.StopScan(); });
        hide();
    }
    void Show(const QString& text, bool stoppable)
    {
        m_text->setText(text);
        m_stop->setVisible(stoppable);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, CSkin::Instance().Color(29));
        setPalette(pal);
        show();
        raise();
    }
    QString Text() const { return m_text->text(); }

private:
    QLabel* m_text;
    QPushButton* m_stop;
};

namespace {

const QString kTabTexts[3] = {QStringLiteral("推荐音乐"), QStringLiteral("猜你喜欢"), QStringLiteral("搜索结果")};
const QString kTabKeys[3] = {QStringLiteral("musicrecommand"), QStringLiteral("musiclikename"), QStringLiteral("search")};

QFont Px(int pixels, bool bold = false)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

} // namespace

// ---- construction -----------------------------------------------------------------------

CQuarvelDlg::CQuarvelDlg(CMainDlg& controller, CMediaLibrary& library, QWidget* parent)
    : QWidget(parent), m_ctl(controller), m_library(library), m_port(std::make_unique<Port>(*this))
{
    setWindowTitle(txt::kProduct);
    setAcceptDrops(true);
    m_frame = new CSkinFrame(this, kMainWnd, CSkinFrame::kResizable);
    // Without a layout file the window takes a plain size of its own.
    QSize design = CSkinPosManage::Instance().DesignSize(kMainWnd);
    if (!design.isValid()) design = QSize(980, 660);
    // Controls anchored to the right never run into those anchored to the left.
    setMinimumSize(m_frame->FrameSize(design));
    resize(m_frame->FrameSize(design));
    m_layout = new CSkinLayout(this, kMainWnd);

    BuildTitleBar();
    BuildContent();
    BuildSidePanel();
    BuildPlayBar();
    BuildMenus();
    BuildShortcuts();

    m_tray = new QSystemTrayIcon(this);
    m_tray->setIcon(QIcon(CSkin::Instance().Bitmap(QStringLiteral("logo.bmp"))));
    m_tray->setContextMenu(nullptr);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        m_port->PostMessage(WM_TRAY_NOTIFY, 0, reason == QSystemTrayIcon::Context ? 1 : 0);
    });

    SetSortImages(std::max(0, CSkin::Instance().CurrentScheme()));
    connect(&CSkin::Instance(), &CSkin::SchemeChanged, this, [this](int scheme) {
        SetSortImages(scheme);
        m_pagePane->SetPageStyle(scheme);
        m_banner->SetPageStyle(scheme);
        m_list->viewport()->update();
        m_tree->viewport()->update();
    });
    ShowCover(QString());
}

CQuarvelDlg::~CQuarvelDlg() = default;

CMsgTarget CQuarvelDlg::Target() const { return m_port->Target(); }

void CQuarvelDlg::ConnectCommand(CSkinButton* button, int id)
{
    if (!button) return;
    m_buttons.insert(id, button);
    connect(button, &QAbstractButton::clicked, this, [this, button, id] {
        // State buttons show what the controller decides, not the click itself; the stars and
        // the favourite are told the click.
        if (button->isCheckable() && !(id >= kStar1 && id <= kStar5) && id != kFavorite)
            button->setChecked(!button->isChecked());
        m_ctl.OnCommand(id);
    });
}

void CQuarvelDlg::BuildTitleBar()
{
    m_layout->Create<CSkinPicture>(kBrand);
    for (int i = 0; i < 3; ++i) {
        auto* tab = m_layout->Create<CSkinButton>(kTabRecommend + i);
        if (!tab) continue;
        tab->setCheckable(true);
        tab->setText(kTabTexts[i]);
        tab->SetTextColors(19, 9);
        tab->setFont(Px(14));
        ConnectCommand(tab, kTabRecommend + i);
    }
    if (auto* search = m_layout->Create<CSkinEdit>(kSearchEdit)) {
        search->setPlaceholderText(QStringLiteral("搜索歌曲、歌手、专辑"));
        search->setFont(Px(12));
        search->setObjectName(QStringLiteral("searchEdit"));
        connect(search, &QLineEdit::returnPressed, this, [this] { m_ctl.OnCommand(kSearch); });
    }
    ConnectCommand(m_layout->Create<CSkinButton>(kSearch), kSearch);
    m_layout->Create<CSkinPicture>(kUserPic);
    if (auto* user = m_layout->Create<CSkinLabel>(kUserName)) {
        user->SetText(QStringLiteral("未登录"));
        user->SetColor(9);
        user->setFont(Px(13));
        user->setCursor(Qt::PointingHandCursor);
        user->installEventFilter(this);
    }
    if (QWidget* pic = m_layout->Control(kUserPic)) {
        pic->setCursor(Qt::PointingHandCursor);
        pic->installEventFilter(this);
    }
    for (int id : {kMainMenu, kMiniMode, kToTray, kExit}) ConnectCommand(m_layout->Create<CSkinButton>(id), id);
    if (auto* color = m_layout->Create<CSkinButton>(kColorButton)) {
        color->setToolTip(txt::kColor);
        connect(color, &QAbstractButton::clicked, this, &CQuarvelDlg::OpenColorPanel);
    }
    if (auto* max = m_layout->Create<CSkinButton>(kMaximize)) {
        max->setCheckable(true);
        ConnectCommand(max, kMaximize);
    }
    if (auto* b = m_buttons.value(kMiniMode)) b->setToolTip(txt::kMiniMode);
    if (auto* b = m_buttons.value(kExit)) b->setToolTip(txt::kTrayExit);
}

void CQuarvelDlg::BuildContent()
{
    const SkinPosRecord* treePane = CSkinPosManage::Instance().Find(kTreePane);
    const int treeWidth = treePane ? treePane->width : 220;
    m_splitter = new CSkinSplitter(1, CSkinSplitter::kVerticalBar, treeWidth / 2, DefaultProfilePath(), this);
    m_layout->Attach(kContentSplitter, m_splitter);

    auto* tree = new CSkinPicture;
    if (treePane) {
        tree->SetSkinName(treePane->name);
        tree->resize(treePane->width, treePane->height);
    }
    tree->setMinimumWidth(160);
    auto* treeLayout = new CSkinLayout(tree, kTreePane);
    if (auto* add = treeLayout->Create<CSkinButton>(kAddMenu)) {
        add->setText(txt::kAddMusic);
        add->SetTextColors(9, 9);
        add->SetTextIndent(14);
        add->setFont(Px(13, true));
        ConnectCommand(add, kAddMenu);
    }
    m_tree = new QTreeView(tree);
    m_tree->setObjectName(QStringLiteral("tree"));
    treeLayout->Attach(kTree, m_tree);
    m_treeModel = new CNodeTreeModel(m_library, this);
    m_tree->setModel(m_treeModel);
    m_tree->setItemDelegate(new CNodeTreeDelegate(m_tree));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(false);
    m_tree->setIndentation(0);
    m_tree->setIconSize(QSize(16, 16));
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setItemsExpandable(false);
    m_tree->setExpandsOnDoubleClick(false);
    m_tree->setAcceptDrops(true);
    m_tree->viewport()->setAcceptDrops(true);
    m_tree->viewport()->installEventFilter(this);
    m_tree->setStyleSheet(QStringLiteral("QTreeView { background: transparent; } "
                                         "QTreeView::item { height: 32px; padding-left: 14px; }"));
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this, &CQuarvelDlg::OnTreeSelection);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &CQuarvelDlg::OnTreeContextMenu);
    // The banner: a small page of the service at the foot of the tree pane.
    m_banner = new CPagePane(&m_ctl, true, tree);
    m_banner->setObjectName(QStringLiteral("banner"));
    m_banner->SetContextMenuMode(CFixedHtmlView::kMenuNone);
    m_banner->SetPageStyle(std::max(0, CSkin::Instance().CurrentScheme()));
    m_banner->hide();
    tree->installEventFilter(this);

    m_viewStack = new QStackedWidget;
    m_list = new QTableView;
    m_list->setObjectName(QStringLiteral("list"));
    m_listModel = new CTrackListModel(m_library, this);
    m_list->setModel(m_listModel);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(32);
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->setShowGrid(false);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setDragEnabled(true);
    m_list->setDragDropMode(QAbstractItemView::DragDrop);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setDropIndicatorShown(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setAcceptDrops(true);
    m_list->viewport()->setAcceptDrops(true);
    m_list->viewport()->installEventFilter(this);
    QHeaderView* header = m_list->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionResizeMode(CTrackListModel::kColSong, QHeaderView::Stretch);
    m_list->setColumnWidth(CTrackListModel::kColNumber, 44);
    m_list->setColumnWidth(CTrackListModel::kColArtist, 110);
    m_list->setColumnWidth(CTrackListModel::kColAlbum, 120);
    m_list->setColumnWidth(CTrackListModel::kColTime, 64);
    m_list->setColumnWidth(CTrackListModel::kColService, 46);
    connect(header, &QHeaderView::sectionClicked, this, &CQuarvelDlg::OnHeaderClicked);
    connect(m_list, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        CQvLog::GetInstance().AddRecord(wnd::kMain, 909, 1, nullptr, kListView);
        m_ctl.OnListDoubleClick(index.row());
    });
    connect(m_list, &QWidget::customContextMenuRequested, this, &CQuarvelDlg::OnListContextMenu);
    RestoreColumnWidths();
    m_emptyHint = new QLabel(m_list->viewport());
    m_emptyHint->setObjectName(QStringLiteral("emptyHint"));
    m_emptyHint->setAlignment(Qt::AlignCenter);
    m_emptyHint->setWordWrap(true);
    m_emptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_emptyHint->hide();
    connect(m_listModel, &QAbstractItemModel::modelReset, this, &CQuarvelDlg::UpdateListHints);
    connect(m_listModel, &QAbstractItemModel::rowsInserted, this, &CQuarvelDlg::UpdateListHints);
    connect(m_listModel, &QAbstractItemModel::rowsRemoved, this, &CQuarvelDlg::UpdateListHints);
    m_viewStack->addWidget(m_list);

    m_pagePane = new CPagePane(&m_ctl, true);
    m_pagePane->setObjectName(QStringLiteral("page"));
    m_pagePane->SetPageStyle(std::max(0, CSkin::Instance().CurrentScheme()));
    m_viewStack->addWidget(m_pagePane);

    m_scanProgress = new CScanProgress(m_ctl, m_viewStack);
    m_viewStack->installEventFilter(this);
    m_splitter->SetPanes(tree, m_viewStack);
}

void CQuarvelDlg::BuildSidePanel()
{
    auto* side = m_layout->Create<CSkinPicture>(kSidePanel);
    m_sidePanel = side;
    if (side) {
        auto* sideLayout = new CSkinLayout(side, kSidePanel);
        ConnectCommand(sideLayout->Create<CSkinButton>(kClosePanel), kClosePanel);
        m_cover = sideLayout->Create<CSkinPicture>(kPlayerView);
        if (m_cover) m_cover->SetCornerRadius(12);
        m_lyricDlg = sideLayout->Create<CLyricDlg>(kLyricHost);
    }
    if (!m_lyricDlg) {
        // A layout without the panel: the lyrics still have their panel, out of sight.
        m_lyricDlg = new CLyricDlg(this);
        m_lyricDlg->hide();
    }
    CQvLyrics* panel = m_lyricDlg->Panel();
    panel->SetModel(&m_ctl.Lyrics());
    panel->SetSeekTarget(m_port->Target());
    // The re-timing finds the current line against the elapsed time as the window shows it.
    panel->SetPositionSource([this] { return qint64(m_ctl.GetPositionMs() / 1000) * 1000; });
    connect(panel, &CQvLyrics::AdjustedLyrics, this, [this](const QString& text) { m_ctl.StoreRetimedLyrics(text); });
    connect(panel, &CQvLyrics::SearchRequested, this, [this] { m_ctl.SearchLyrics(); });
    connect(panel, &CQvLyrics::AssociateRequested, this, [this] { m_ctl.AssociateLyricsFile(); });

    m_desktopLyrics = new CKLrcChildDlg(m_library.Conf().Settings(), this);
    m_desktopLyrics->SetModel(&m_ctl.Lyrics());
    m_desktopLyrics->SetLengthSource([this] { return m_ctl.GetLengthSeconds(); });
    connect(m_desktopLyrics, &CKLrcChildDlg::Shown, this, [this](bool shown) {
        if (CSkinButton* b = m_buttons.value(kLyricToggle)) b->setChecked(shown);
    });
}

void CQuarvelDlg::BuildPlayBar()
{
    ConnectCommand(m_layout->Create<CSkinButton>(kPrev), kPrev);
    m_play = m_layout->Create<CSkinButton>(kPlayPause);
    if (m_play) m_play->setCheckable(true);
    ConnectCommand(m_play, kPlayPause);
    ConnectCommand(m_layout->Create<CSkinButton>(kNext), kNext);
    ConnectCommand(m_layout->Create<CSkinButton>(kStop), kStop);
    m_layout->Create<CSkinPicture>(kSeparatorLeft);
    m_layout->Create<CSkinPicture>(kSeparatorRight);
    m_title = m_layout->Create<CSkinLabel>(kTitleText);
    if (m_title) {
        m_title->setFont(Px(14));
        m_title->SetText(txt::kProduct);
    }
    m_favorite = m_layout->Create<CSkinButton>(kFavorite);
    if (m_favorite) {
        m_favorite->setCheckable(true);
        m_favorite->setToolTip(txt::kFavorite);
        ConnectCommand(m_favorite, kFavorite);
    }
    for (int i = 0; i < 5; ++i) {
        m_stars[i] = m_layout->Create<CSkinButton>(kStar1 + i);
        if (!m_stars[i]) continue;
        m_stars[i]->setCheckable(true);
        m_stars[i]->setToolTip(txt::kStars[i]);
        ConnectCommand(m_stars[i], kStar1 + i);
    }
    m_elapsed = m_layout->Create<CSkinNumText>(kTimeElapsed);
    if (m_elapsed) m_elapsed->SetText(QStringLiteral("00:00"));
    m_progress = m_layout->Create<CSkinSlider>(kProgress);
    if (m_progress) {
        m_progress->setRange(0, 100);
        connect(m_progress, &QAbstractSlider::sliderReleased, this, [this] { m_ctl.SeekPercent(m_progress->value()); });
        m_progress->installEventFilter(this);
    }
    m_remaining = m_layout->Create<CSkinNumText>(kTimeRemaining);
    if (m_remaining) {
        m_remaining->SetAlignment(Qt::AlignRight);
        m_remaining->SetText(QStringLiteral("-00:00"));
    }
    const QString modeTips[3] = {txt::kModeLoop, txt::kModeRandom, txt::kModeSingle};
    const int modes[3] = {kModeLoop, kModeRandom, kModeSingle};
    for (int i = 0; i < 3; ++i) {
        auto* b = m_layout->Create<CSkinButton>(modes[i]);
        if (!b) continue;
        b->setCheckable(true);
        b->setToolTip(modeTips[i]);
        ConnectCommand(b, modes[i]);
    }
    ConnectCommand(m_layout->Create<CSkinButton>(kVolumeDown), kVolumeDown);
    m_volume = m_layout->Create<CSkinSlider>(kVolume);
    if (m_volume) {
        m_volume->setRange(0, 100);
        connect(m_volume, &QAbstractSlider::sliderMoved, this, [this](int v) { m_ctl.SetVolumePercent(v); });
        connect(m_volume, &QAbstractSlider::sliderReleased, this, [this] { m_ctl.SetVolumePercent(m_volume->value()); });
    }
    ConnectCommand(m_layout->Create<CSkinButton>(kVolumeUp), kVolumeUp);
    ConnectCommand(m_layout->Create<CSkinButton>(kLocatePlaying), kLocatePlaying);
    if (auto* lyric = m_layout->Create<CSkinButton>(kLyricToggle)) {
        lyric->setCheckable(true);
        ConnectCommand(lyric, kLyricToggle);
    }
    if (auto* b = m_buttons.value(kPrev)) b->setToolTip(txt::kPrevious);
    if (auto* b = m_buttons.value(kNext)) b->setToolTip(txt::kNext);
    if (auto* b = m_buttons.value(kStop)) b->setToolTip(txt::kStop);
    if (auto* b = m_buttons.value(kVolumeUp)) b->setToolTip(txt::kVolumeUp);
    if (auto* b = m_buttons.value(kVolumeDown)) b->setToolTip(txt::kVolumeDown);
}

void CQuarvelDlg::BuildMenus()
{
    m_addMenu = new QMenu(this);
    m_addMenu->addAction(txt::kAddFiles, this, [this] { m_ctl.OnCommand(50029); });
    m_addMenu->addAction(txt::kAddFolder, this, [this] { m_ctl.OnCommand(50031); });
    m_addMenu->addAction(txt::kAddUrl, this, [this] { m_ctl.OnCommand(50030); });
    m_addMenu->addSeparator();
    m_addMenu->addAction(txt::kAddAll, this, [this] { m_ctl.OnCommand(CMainDlg::kAddAllCommand); });

    m_mainMenu = new QMenu(this);
    QMenu* modes = m_mainMenu->addMenu(QStringLiteral("播放模式"));
    // The mode that is on carries the check mark.
    auto* modeGroup = new QActionGroup(modes);
    const QString modeTexts[3] = {txt::kModeLoop, txt::kModeRandom, txt::kModeSingle};
    const int modeIds[3] = {kModeLoop, kModeRandom, kModeSingle};
    for (int i = 0; i < 3; ++i) {
        QAction* a = modes->addAction(modeTexts[i], this, [this, id = modeIds[i]] { m_ctl.OnCommand(id); });
        a->setCheckable(true);
        modeGroup->addAction(a);
        m_modeActions[i] = a;
    }
    QMenu* colors = m_mainMenu->addMenu(txt::kColor);
    const QString names[3] = {QStringLiteral("蓝色"), QStringLiteral("橙色"), QStringLiteral("紫色")};
    for (int i = 0; i < 3; ++i) colors->addAction(names[i], this, [this, i] { m_ctl.OnCommand(kColor0 + i); });
    m_mainMenu->addAction(txt::kMiniMode, this, [this] { m_ctl.OnCommand(kMiniModeMenu); });
    m_mainMenu->addAction(txt::kEqualizer, this, [this] { m_ctl.OnCommand(CMainDlg::kEqualizerCommand); });
    QAction* notice = m_mainMenu->addAction(txt::kTrackNotice, this, [this] { m_ctl.OnCommand(CMainDlg::kTrackNoticeCommand); });
    notice->setCheckable(true);
    connect(m_mainMenu, &QMenu::aboutToShow, notice, [this, notice] { notice->setChecked(m_ctl.Conf().Settings().trackntf != 0); });
    QAction* panel = m_mainMenu->addAction(txt::kShowSidePanel, this, [this] { m_ctl.OnCommand(CMainDlg::kSidePanelCommand); });
    panel->setCheckable(true);
    connect(m_mainMenu, &QMenu::aboutToShow, panel, [this, panel] { panel->setChecked(SidePanelVisible()); });
    m_mainMenu->addSeparator();
    // The service's pages that no tab or node opens: the shown list as the service's page
    // sees it, and the order page.
    m_mainMenu->addAction(QStringLiteral("我的音乐"), this, [this] { m_ctl.OnCommand(CMainDlg::kMyMusicCommand); });
    m_mainMenu->addAction(QStringLiteral("在线订购"), this, [this] { m_ctl.OnCommand(CMainDlg::kOrderCommand); });
    m_mainMenu->addAction(QStringLiteral("我的网盘"), this, [this] { m_ctl.OnCommand(CMainDlg::kCloudDiskCommand); });
    m_mainMenu->addSeparator();
    m_mainMenu->addAction(txt::kFeedbackTitle, this, [this] { m_ctl.OnCommand(CMainDlg::kFeedbackCommand); });
    m_mainMenu->addAction(txt::kMessageListTitle, this, [this] { m_ctl.OnCommand(CMainDlg::kMessagesCommand); });
    m_mainMenu->addAction(QStringLiteral("设置"), this, [this] { m_ctl.OnCommand(CMainDlg::kSettingsCommand); });
    m_mainMenu->addAction(txt::kCheckUpdate, this, [this] { m_ctl.OnCommand(CMainDlg::kCheckUpdateCommand); });
    m_mainMenu->addAction(txt::kTrayAbout, this, [this] { m_ctl.OnCommand(1553); });
    m_mainMenu->addSeparator();
    m_mainMenu->addAction(txt::kTrayExit, this, [this] { m_ctl.OnCommand(kExit); });

    m_trayMenu = new QMenu(this);
    m_trayMenu->addAction(txt::kPrevious, this, [this] { m_ctl.OnCommand(kPrev); });
    m_trayMenu->addAction(txt::kPlayPauseMenu, this, [this] { m_ctl.OnCommand(kPlayPause); });
    m_trayMenu->addAction(txt::kNext, this, [this] { m_ctl.OnCommand(kNext); });
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(txt::kTrayRestore, this, [this] { m_ctl.OnCommand(1551); });
    m_trayMenu->addAction(txt::kTrayExit, this, [this] { m_ctl.OnCommand(1552); });
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(txt::kTrayAbout, this, [this] { m_ctl.OnCommand(1553); });

    m_rowMenu = new QMenu(this);
    m_nodeMenu = new QMenu(this);
}

// ---- the tree and the list --------------------------------------------------------------

void CQuarvelDlg::FillTree()
{
    m_treeModel->Reload();
    m_tree->expandAll();
    IQvNode* node = nullptr;
    {
        std::lock_guard lock(m_library.Mutex());
        node = m_library.Store().FindNode(m_library.Conf().Settings().selectnode);
        if (!node) node = m_library.Store().FindNode(QString::fromUtf16(kLocalMusicNode));
    }
    SelectNode(node);
}

void CQuarvelDlg::ReloadTree()
{
    IQvNode* shown = m_ctl.DisplayedNode();
    m_treeModel->Reload();
    m_tree->expandAll();
    const QSignalBlocker quiet(m_tree->selectionModel());
    m_tree->setCurrentIndex(m_treeModel->IndexOf(shown));
    m_tree->viewport()->update();
}

void CQuarvelDlg::SelectNode(IQvNode* node)
{
    const QModelIndex index = m_treeModel->IndexOf(node);
    if (!index.isValid()) return;
    if (m_tree->currentIndex() == index) {
        // Selecting the shown node again shows it again (its list may have changed).
        m_ctl.OnTreeSelect(node);
        return;
    }
    m_tree->setCurrentIndex(index);
}

void CQuarvelDlg::OnTreeSelection()
{
    IQvNode* node = m_treeModel->NodeAt(m_tree->currentIndex());
    if (node) m_ctl.OnTreeSelect(node);
}

void CQuarvelDlg::ShowNode(IQvNode* node)
{
    bool web = false;
    QString name;
    if (node) {
        std::lock_guard lock(m_library.Mutex());
        web = node->GetDisplayType() == QLatin1String("web");
        name = node->GetName();
    }
    if (web) {
        // The controller opens the node's page.
        m_viewStack->setCurrentWidget(m_pagePane);
        return;
    }
    m_listModel->SetNode(node);
    m_viewStack->setCurrentWidget(m_list);
    SetPlaying(m_ctl.CurrentTrack());
}

void CQuarvelDlg::RefreshList()
{
    m_listModel->Refresh();
    m_treeModel->dataChanged(QModelIndex(), QModelIndex());
    m_tree->viewport()->update();
}

void CQuarvelDlg::SelectRow(int row)
{
    if (row < 0 || row >= m_listModel->rowCount()) {
        m_list->clearSelection();
        return;
    }
    const QModelIndex index = m_listModel->index(row, CTrackListModel::kColSong);
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // A row already in sight stays where it is: the row under the mouse is still the one clicked.
    m_list->scrollTo(index, QAbstractItemView::EnsureVisible);
}

int CQuarvelDlg::SelectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CQuarvelDlg::SetPlaying(CQvMusic* track) { m_listModel->SetPlaying(track); }

void CQuarvelDlg::ShowOpenFailed(CQvMusic* track)
{
    if (!track || !track->GetInfo()) return;
    m_listModel->MarkUnplayable(track);
    if (!m_title) return;
    m_notice = txt::kCannotPlay.arg(track->GetInfo()->Song);
    m_title->SetText(m_notice);
    // The notice holds the line for a while, also when the next track starts meanwhile.
    QTimer::singleShot(kOpenFailedNoticeMs, this, [this, notice = m_notice] {
        if (m_notice != notice) return;
        m_notice.clear();
        if (m_ctl.CurrentTrack()) ShowTitle();
        else if (m_title) m_title->SetText(txt::kProduct);
    });
}

void CQuarvelDlg::OnHeaderClicked(int section)
{
    if (section == CTrackListModel::kColNumber) return;
    m_sortDescending = section == m_sortColumn ? !m_sortDescending : false;
    m_sortColumn = section;
    m_ctl.SortDisplayed(section, m_sortDescending);
    SetSortImages(std::max(0, CSkin::Instance().CurrentScheme()));
}

void CQuarvelDlg::SetSortImages(int scheme)
{
    if (m_sortColumn <= 0) return;
    m_listModel->SetSortMark(m_sortColumn, CSkin::Instance().BitmapFrame(SortOrderBitmap(scheme), m_sortDescending ? 1 : 0));
}

void CQuarvelDlg::OnListContextMenu(const QPoint& pos)
{
    const QModelIndex index = m_list->indexAt(pos);
    if (!index.isValid()) return;
    CQvLog::GetInstance().AddRecord(wnd::kMain, 908, 1, nullptr, kListView);
    // A click on a row outside the selection selects that row alone; the list never moves.
    if (!m_list->selectionModel()->isRowSelected(index.row(), QModelIndex()))
        m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_ctl.Playlists().FillRowMenu(m_rowMenu, SelectedRows());
    m_ctl.CloudGroups().FillRowMenu(m_rowMenu, SelectedRows());
    m_rowMenu->popup(m_list->viewport()->mapToGlobal(pos));
}

void CQuarvelDlg::OnTreeContextMenu(const QPoint& pos)
{
    IQvNode* node = m_treeModel->NodeAt(m_tree->indexAt(pos));
    if (!node) return;
    m_ctl.Playlists().FillNodeMenu(m_nodeMenu, node);
    m_ctl.CloudGroups().FillNodeMenu(m_nodeMenu, node);
    if (!m_nodeMenu->isEmpty()) m_nodeMenu->popup(m_tree->viewport()->mapToGlobal(pos));
}

QList<int> CQuarvelDlg::SelectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& i : m_list->selectionModel()->selectedRows()) rows.append(i.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

// ---- what the window shows --------------------------------------------------------------

void CQuarvelDlg::ShowCover(const QString& picture)
{
    if (!m_cover) return;
    QImage image;
    if (!picture.isEmpty()) image.load(picture);
    m_cover->SetImage(image); // a null image brings back "logo.bmp"
}

void CQuarvelDlg::SetVolume(int percent)
{
    if (m_volume && !m_volume->isSliderDown()) m_volume->setValue(percent);
    if (m_volume) m_volume->setToolTip(QString::number(percent));
}

void CQuarvelDlg::SetStars(int rating)
{
    for (int i = 0; i < 5; ++i)
        if (m_stars[i]) m_stars[i]->setChecked(i < rating);
}

void CQuarvelDlg::SetFavorite(bool on)
{
    if (m_favorite) m_favorite->setChecked(on);
}

void CQuarvelDlg::SetPlayMode(int mode)
{
    const int ids[3] = {kModeLoop, kModeRandom, kModeSingle};
    for (int i = 0; i < 3; ++i) {
        if (CSkinButton* b = m_buttons.value(ids[i])) b->setChecked(mode == i + 1);
        if (m_modeActions[i]) m_modeActions[i]->setChecked(mode == i + 1);
    }
}

CSkinButton* CQuarvelDlg::StarButton(int star) const { return star >= 1 && star <= 5 ? m_stars[star - 1] : nullptr; }
CSkinButton* CQuarvelDlg::Button(int id) const { return m_buttons.value(id); }
QString CQuarvelDlg::TitleText() const { return m_title ? m_title->Text() : QString(); }
QString CQuarvelDlg::ElapsedText() const { return m_elapsed ? m_elapsed->Text() : QString(); }
QString CQuarvelDlg::RemainingText() const { return m_remaining ? m_remaining->Text() : QString(); }
QString CQuarvelDlg::LyricText() const { return m_lyricDlg->Panel()->CurrentText(); }
CQvLyrics* CQuarvelDlg::LyricPanel() const { return m_lyricDlg->Panel(); }
bool CQuarvelDlg::PageShown() const { return m_viewStack->currentWidget() == m_pagePane; }

void CQuarvelDlg::ShowPage(const QString& url)
{
    m_viewStack->setCurrentWidget(m_pagePane);
    m_pagePane->Open(url);
    if (m_banner->isHidden() && !url.isEmpty()) {
        // The banner comes with the first page, so a start that shows none makes no page view.
        const QString origin = QUrl(url).adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
        m_banner->show();
        m_banner->Open(origin + QStringLiteral("/ad.html"));
        PlaceBanner();
    }
}

void CQuarvelDlg::PlaceBanner()
{
    if (m_banner->isHidden()) return;
    // Under the tree, which gives up the room (after the pane's layout has placed it).
    constexpr int kBannerHeight = 96;
    const QSize s = m_banner->parentWidget()->size();
    m_banner->setGeometry(8, s.height() - kBannerHeight - 8, s.width() - 16, kBannerHeight);
    QRect tree = m_tree->geometry();
    tree.setBottom(std::min(tree.bottom(), m_banner->y() - 6));
    m_tree->setGeometry(tree);
}

void CQuarvelDlg::CheckTab(int id)
{
    for (int tab : {kTabRecommend, kTabLike, kTabSearch})
        if (CSkinButton* b = m_buttons.value(tab)) b->setChecked(tab == id);
}

QString CQuarvelDlg::SearchText() const
{
    auto* edit = qobject_cast<QLineEdit*>(m_layout->Control(kSearchEdit));
    return edit ? edit->text() : QString();
}

void CQuarvelDlg::SetUserName(const QString& name)
{
    if (auto* user = static_cast<CSkinLabel*>(m_layout->Control(kUserName))) user->SetText(name);
}

QString CQuarvelDlg::UserName() const
{
    auto* user = static_cast<CSkinLabel*>(m_layout->Control(kUserName));
    return user ? user->Text() : QString();
}

void CQuarvelDlg::ShowTitle()
{
    CQvMusic* track = m_ctl.CurrentTrack();
    if (!track || !track->GetInfo() || !m_title || !m_notice.isEmpty()) return;
    const TrackInfo& info = *track->GetInfo();
    const QString both = QStringLiteral("%1-%2").arg(CutTrackText(info.Song), CutTrackText(info.Artist));
    m_title->SetText(m_titleCount % 2 == 1 && !info.Album.isEmpty() ? CutTrackText(info.Album) : both);
}

void CQuarvelDlg::ShowScanText(const QString& text) { m_scanProgress->Show(text, m_ctl.IsScanning()); }
void CQuarvelDlg::HideScanProgress() { m_scanProgress->hide(); }
QString CQuarvelDlg::ScanText() const { return m_scanProgress->Text(); }
bool CQuarvelDlg::ScanProgressVisible() const { return m_scanProgress->isVisible(); }

void CQuarvelDlg::SetSidePanelVisible(bool visible)
{
    if (!m_sidePanel) return;
    m_sidePanel->setVisible(visible);
    m_layout->Relayout();
    resizeEvent(nullptr);
}

bool CQuarvelDlg::SidePanelVisible() const { return m_sidePanel && !m_sidePanel->isHidden(); }

void CQuarvelDlg::resizeEvent(QResizeEvent* e)
{
    if (e) QWidget::resizeEvent(e);
    // The layout has placed the splitter beside the panel; without the panel it reaches across.
    if (m_sidePanel && m_sidePanel->isHidden() && m_splitter) {
        QRect r = m_splitter->geometry();
        r.setRight(contentsRect().right());
        m_splitter->setGeometry(r);
    }
}

// ---- tray -------------------------------------------------------------------------------

void CQuarvelDlg::HideToTray()
{
    CQvMusic* track = m_ctl.CurrentTrack();
    SetTrayTip(track && track->GetInfo() ? CutTrackText(track->GetInfo()->Song) : txt::kProduct);
    m_tray->show();
    hide();
}

void CQuarvelDlg::RestoreFromTray()
{
    m_tray->hide();
    show();
    raise();
    activateWindow();
}

void CQuarvelDlg::SetTrayTip(const QString& tip)
{
    if (!tip.isEmpty()) m_tray->setToolTip(tip.left(kTrayTipChars));
}

void CQuarvelDlg::PopupTrayMenu(const QPoint& at) { m_trayMenu->popup(at); }

void CQuarvelDlg::OpenColorPanel()
{
    if (m_colorPanel) {
        m_colorPanel->close();
        return;
    }
    auto* panel = new QWidget(this, Qt::Popup);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    auto* frame = new CSkinFrame(panel, kColorPanel, CSkinFrame::kShadow);
    panel->resize(frame->FrameSize(CSkinPosManage::Instance().DesignSize(kColorPanel)));
    auto* layout = new CSkinLayout(panel, kColorPanel);
    for (int i = 0; i < 3; ++i) {
        auto* b = layout->Create<CSkinButton>(kColor0 + i);
        if (!b) continue;
        b->setCheckable(true);
        b->setChecked(CSkin::Instance().CurrentScheme() == i);
        connect(b, &QAbstractButton::clicked, panel, [this, panel, i] {
            panel->close();
            m_ctl.OnCommand(kColor0 + i);
        });
    }
    if (CSkinButton* anchor = m_layout->Control(kColorButton) ? static_cast<CSkinButton*>(m_layout->Control(kColorButton)) : nullptr)
        panel->move(anchor->mapToGlobal(QPoint(anchor->width() - panel->width(), anchor->height() + 4)));
    m_colorPanel = panel;
    panel->show();
}

// ---- state --------------------------------------------------------------------------------

void CQuarvelDlg::SaveState()
{
    SaveColumnWidths();
    ConfigSettings& s = m_library.Conf().Settings();
    s.mainx = pos().x();
    s.mainy = pos().y();
    if (IQvNode* node = m_ctl.DisplayedNode()) {
        std::lock_guard lock(m_library.Mutex());
        s.selectnode = node->GetName();
    }
    m_tray->hide();
}

// ---- messages and timers ----------------------------------------------------------------

qintptr CQuarvelDlg::OnMessage(unsigned msg, quintptr wParam, qintptr lParam)
{
    switch (msg) {
    case WM_PLAY_PROGRESS:
        OnProgress(int(wParam), int(lParam));
        // Progress comes only while playing: lyrics held by a pause or a stall go on.
        if (lParam > 0 || wParam > 0) PauseLyrics(false);
        return 0;
    case WM_PLAY_STATE:
        PauseLyrics(wParam != 1);
        if (m_play) m_play->setChecked(wParam == 1);
        if (m_ctl.ViewWindow()) m_ctl.ViewWindow()->SetPlaying(wParam == 1);
        return 0;
    case WM_PLAY_STOPPED:
        UnloadLyrics();
        LyricPanel()->SetTrackMenu(false);
        m_port->KillTimer(kTitleTimer);
        if (m_play) m_play->setChecked(false);
        if (m_ctl.ViewWindow()) {
            m_ctl.ViewWindow()->SetPlaying(false);
            m_ctl.ViewWindow()->SetTime(QString());
        }
        if (m_progress) {
            m_progress->setValue(0);
            m_progress->SetBuffer(-1);
        }
        if (m_elapsed) m_elapsed->SetText(QStringLiteral("00:00"));
        if (m_remaining) m_remaining->SetText(QStringLiteral("-00:00"));
        if (m_title && m_notice.isEmpty()) m_title->SetText(txt::kProduct);
        SetPlaying(nullptr);
        return 0;
    case WM_ENGINE_NOTIFY:
        if (wParam == CQvPlayCore::kNotifyStarted) {
            LyricPanel()->SetTrackMenu(true);
            m_titleCount = 0;
            ShowTitle();
            m_port->SetTimer(kTitleTimer, 5000);
            if (m_play) m_play->setChecked(true);
            if (m_ctl.ViewWindow()) m_ctl.ViewWindow()->SetPlaying(true);
        }
        return 0;
    case WM_BUFFER_PERCENT:
        if (m_progress) m_progress->SetBuffer(m_ctl.CurrentTrack() && m_ctl.CurrentTrack()->GetInfo()->LSrc.isEmpty()
                                                  ? int(wParam) : -1);
        return 0;
    case WM_LRC_READY:
        OnLyricsReady();
        return 0;
    case WM_LRC_NOT_FOUND:
        ShowLyricsMessage(txt::kNoLyrics);
        return 0;
    case WM_LRC_SEEK:
        SeekToLyric(int(lParam));
        return 0;
    case WM_TRAY_NOTIFY:
        if (lParam == 1) PopupTrayMenu(QCursor::pos());
        else m_ctl.OnCommand(1551);
        return 0;
    default:
        return m_ctl.OnWindowMessage(msg, wParam, lParam);
    }
}

void CQuarvelDlg::OnProgress(int lengthSec, int percent)
{
    // A drag of the progress control is not disturbed.
    const bool dragging = (m_progress && m_progress->isSliderDown()) ||
                          (m_ctl.ViewWindow() && m_ctl.ViewWindow()->Progress() && m_ctl.ViewWindow()->Progress()->isSliderDown());
    if (dragging) return;
    const int elapsed = m_ctl.GetPositionMs() / 1000;
    if (m_progress) m_progress->setValue(percent);
    if (m_ctl.ViewWindow()) {
        m_ctl.ViewWindow()->SetProgress(percent);
        m_ctl.ViewWindow()->SetTime(FormatMinutesSeconds(elapsed) + QStringLiteral(" / ") + FormatMinutesSeconds(lengthSec));
    }
    if (m_elapsed) m_elapsed->SetText(FormatMinutesSeconds(elapsed));
    if (m_remaining) m_remaining->SetText(QLatin1Char('-') + FormatMinutesSeconds(lengthSec - elapsed));
}

void CQuarvelDlg::OnLyricsReady()
{
    CLyrics& lyrics = m_ctl.Lyrics();
    if (!lyrics.IsReady()) return;
    if (!lyrics.HasTimedLines()) {
        ShowLyricsMessage(lyrics.Title().isEmpty() ? txt::kNoLyrics : lyrics.Title());
        return;
    }
    // Lyrics that come after the track has played a while start at the line of the position.
    lyrics.Locate(m_ctl.GetPositionMs());
    m_bLyricsLoaded = true;
    m_bLyricsPaused = false;
    LyricPanel()->Target().SendMessage(WM_LRC_LOADED);
    m_desktopLyrics->Target().SendMessage(WM_LRCBAR_LOADED);
    m_port->SetTimer(kLyricsTimer, 50);
}

void CQuarvelDlg::ReloadLyrics()
{
    if (m_bLyricsLoaded) UnloadLyrics();
}

void CQuarvelDlg::ShowLyricsMessage(const QString& text)
{
    CQvLyrics* panel = LyricPanel();
    panel->SetMessageText(text);
    panel->Target().SendMessage(WM_LRC_REFRESH);
}

void CQuarvelDlg::UnloadLyrics()
{
    m_port->KillTimer(kLyricsTimer);
    m_bLyricsLoaded = false;
    m_bLyricsPaused = false;
    LyricPanel()->Target().SendMessage(WM_LRC_UNLOAD);
    m_desktopLyrics->Target().SendMessage(WM_LRCBAR_UNLOAD);
}

void CQuarvelDlg::PauseLyrics(bool pause)
{
    if (!m_bLyricsLoaded || pause == m_bLyricsPaused) return;
    m_bLyricsPaused = pause;
    // Resuming is a load again: the views pick up where the position is.
    LyricPanel()->Target().SendMessage(pause ? WM_LRC_PAUSE : WM_LRC_LOADED);
    m_desktopLyrics->Target().SendMessage(pause ? WM_LRCBAR_PAUSE : WM_LRCBAR_LOADED);
}

void CQuarvelDlg::OnSeeked(int ms)
{
    if (!m_bLyricsLoaded) return;
    CLyrics& lyrics = m_ctl.Lyrics();
    if (lyrics.Locate(ms) < 0) return;
    LyricPanel()->Target().SendMessage(WM_LRC_NEXTLINE, quintptr(lyrics.Current()));
    m_desktopLyrics->Target().PostMessage(WM_LRCBAR_NEXTLINE, quintptr(lyrics.Current()));
}

void CQuarvelDlg::SeekToLyric(int ms)
{
    if (!m_ctl.CurrentTrack()) return;
    // A drag past the last line goes to shortly before the end.
    if (ms < 0) ms = std::max(0, m_ctl.GetLengthSeconds() * 1000 + ms);
    if (m_ctl.Seek(ms)) OnSeeked(ms);
}

void CQuarvelDlg::OnTimer(int id)
{
    switch (id) {
    case kLyricsTimer:
        if (!m_ctl.CurrentTrack()) {
            m_port->KillTimer(kLyricsTimer);
            return;
        }
        if (AdvanceCurrentLine(m_ctl.Lyrics(), m_ctl.GetPositionMs())) {
            const auto line = quintptr(m_ctl.Lyrics().Current());
            LyricPanel()->Target().SendMessage(WM_LRC_NEXTLINE, line);
            m_desktopLyrics->Target().PostMessage(WM_LRCBAR_NEXTLINE, line);
        }
        return;
    case kTitleTimer:
        ++m_titleCount;
        ShowTitle();
        return;
    default:
        return;
    }
}

// ---- the list view's manners ------------------------------------------------------------

namespace {
const QString kListSection = QStringLiteral("listview");
const QString kColumnsKey = QStringLiteral("columns");
} // namespace

void CQuarvelDlg::RestoreColumnWidths()
{
    CProfileIni profile;
    profile.Load(DefaultProfilePath());
    const QStringList widths = profile.Value(kListSection, kColumnsKey).split(QLatin1Char(','), Qt::SkipEmptyParts);
    // The title column takes the room the others leave; the others keep what the user gave them.
    for (int c = 0; c < widths.size() && c < CTrackListModel::kColumnCount; ++c) {
        const int w = widths[c].toInt();
        if (c != CTrackListModel::kColSong && w >= 20 && w <= 2000) m_list->setColumnWidth(c, w);
    }
}

void CQuarvelDlg::SaveColumnWidths() const
{
    QStringList widths;
    for (int c = 0; c < CTrackListModel::kColumnCount; ++c) widths.append(QString::number(m_list->columnWidth(c)));
    CProfileIni profile;
    profile.Load(DefaultProfilePath());
    profile.SetValue(kListSection, kColumnsKey, widths.join(QLatin1Char(',')));
    profile.Save(DefaultProfilePath());
}

void CQuarvelDlg::ShowCutText(QHelpEvent* e)
{
    const QModelIndex index = m_list->indexAt(e->pos());
    const QString text = index.isValid() ? index.data(Qt::DisplayRole).toString() : QString();
    const QRect cell = index.isValid() ? m_list->visualRect(index) : QRect();
    // Only a text the column cuts is shown whole.
    if (text.isEmpty() || m_list->fontMetrics().horizontalAdvance(text) + 12 <= cell.width()) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(e->globalPos(), text, m_list->viewport(), cell);
}

void CQuarvelDlg::UpdateListHints()
{
    // The "在线" column tells the service's tracks apart; a list without any does not show it.
    bool service = false;
    {
        std::lock_guard lock(m_library.Mutex());
        if (IQvNode* node = m_listModel->Node())
            for (const CQvMusic* t : node->Tracks())
                if (t && (t->GetState() & STATE_FROM_SERVICE)) {
                    service = true;
                    break;
                }
    }
    m_list->setColumnHidden(CTrackListModel::kColService, !service);
    if (!m_emptyHint) return;
    const bool empty = m_listModel->rowCount() == 0 && m_listModel->Node();
    if (empty) {
        bool playlist = false;
        {
            std::lock_guard lock(m_library.Mutex());
            playlist = CPlaylistActions::IsUserList(m_listModel->Node());
        }
        const QString cloud = m_ctl.CloudGroups().EmptyHint(m_listModel->Node());
        m_emptyHint->setText(!cloud.isEmpty() ? cloud : playlist ? txt::kEmptyListHint : txt::kEmptyLibraryHint);
        QPalette pal = m_emptyHint->palette();
        pal.setColor(QPalette::WindowText, CSkin::Instance().Color(17));
        m_emptyHint->setPalette(pal);
        m_emptyHint->setGeometry(m_list->viewport()->rect());
    }
    m_emptyHint->setVisible(empty);
}

QString CQuarvelDlg::EmptyHint() const { return m_emptyHint && !m_emptyHint->isHidden() ? m_emptyHint->text() : QString(); }

void CQuarvelDlg::BuildShortcuts()
{
    auto add = [this](const QKeySequence& keys, QWidget* on, Qt::ShortcutContext context, auto&& act) {
        auto* s = new QShortcut(keys, on, std::forward<decltype(act)>(act), context);
        s->setAutoRepeat(false);
    };
    // Space plays and pauses wherever the focus is, except in a text field (which takes it first).
    add(QKeySequence(Qt::Key_Space), this, Qt::WindowShortcut, [this] { m_ctl.OnCommand(kPlayPause); });
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
        add(QKeySequence(key), m_list, Qt::WidgetShortcut, [this] {
            const QModelIndex current = m_list->currentIndex();
            if (current.isValid()) m_ctl.OnListDoubleClick(current.row());
        });
    add(QKeySequence(QKeySequence::Delete), m_list, Qt::WidgetShortcut, [this] {
        const QList<int> rows = SelectedRows();
        if (!rows.isEmpty()) m_ctl.Playlists().RemoveRows(rows);
    });
    add(QKeySequence(QKeySequence::Find), this, Qt::WindowShortcut, [this] {
        if (auto* search = findChild<QLineEdit*>(QStringLiteral("searchEdit"))) {
            search->setFocus(Qt::ShortcutFocusReason);
            search->selectAll();
        }
    });
    // The media keys, while the window has the focus (the desktop's own keys reach the player
    // through the session bus when it has none).
    for (Qt::Key key : {Qt::Key_MediaPlay, Qt::Key_MediaTogglePlayPause, Qt::Key_MediaPause})
        add(QKeySequence(key), this, Qt::WindowShortcut, [this] { m_ctl.OnCommand(kPlayPause); });
    add(QKeySequence(Qt::Key_MediaNext), this, Qt::WindowShortcut, [this] { m_ctl.OnCommand(kNext); });
    add(QKeySequence(Qt::Key_MediaPrevious), this, Qt::WindowShortcut, [this] { m_ctl.OnCommand(kPrev); });
    add(QKeySequence(Qt::Key_MediaStop), this, Qt::WindowShortcut, [this] { m_ctl.OnCommand(kStop); });
}

// ---- input ------------------------------------------------------------------------------

void CQuarvelDlg::wheelEvent(QWheelEvent* e)
{
    // The lists, the tree, the lyrics and the pages scroll with the wheel (a list at its end
    // passes the wheel on, and it must not seek then either); the play bar and the picture seek.
    if (WheelSeeksAt(e->position().toPoint())) m_ctl.OnWheel(e->angleDelta().y());
    e->accept();
}

bool CQuarvelDlg::WheelSeeksAt(const QPoint& at) const
{
    if (m_cover && m_cover->isVisible() && QRect(m_cover->mapTo(this, QPoint(0, 0)), m_cover->size()).contains(at))
        return true;
    // The play bar is what lies below the lists and the panel.
    return m_splitter && at.y() > m_splitter->geometry().bottom()
        && (!m_sidePanel || m_sidePanel->isHidden() || at.y() > m_sidePanel->geometry().bottom());
}

void CQuarvelDlg::closeEvent(QCloseEvent* e)
{
    e->ignore();
    if (!m_ctl.IsShuttingDown()) {
        CQvLog::GetInstance().AddRecord(wnd::kMain, 834, 1, m_ctl.CurrentTrack(), kExit);
        m_ctl.ExitApp();
    }
}

void CQuarvelDlg::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::WindowStateChange)
        if (CSkinButton* max = m_buttons.value(kMaximize)) max->setChecked(isMaximized());
    QWidget::changeEvent(e);
}

void CQuarvelDlg::dragEnterEvent(QDragEnterEvent* e)
{
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void CQuarvelDlg::dropEvent(QDropEvent* e)
{
    if (m_ctl.DropOnList(e->mimeData()) >= 0) e->acceptProposedAction();
}

bool CQuarvelDlg::DropRows(bool onTree, QEvent* event)
{
    const auto type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto* e = static_cast<QDropEvent*>(event);
    if (!e->mimeData()->hasFormat(CTrackListModel::kRowsMimeType)) return false;
    const QPoint at = e->position().toPoint();
    CPlaylistActions& lists = m_ctl.Playlists();
    bool take = false;
    if (onTree) {
        IQvNode* node = m_treeModel->NodeAt(m_tree->indexAt(at));
        take = type == QEvent::Drop ? lists.DropOnNode(e->mimeData(), node) : lists.CanDropOnNode(e->mimeData(), node);
    } else if (type == QEvent::Drop) {
        const QModelIndex over = m_list->indexAt(at);
        int before = over.isValid() ? over.row() : -1;
        // Below the middle of a row means after it.
        if (over.isValid() && at.y() > m_list->visualRect(over).center().y()) ++before;
        take = lists.DropOnList(e->mimeData(), before);
    } else {
        take = lists.CanDropOnList(e->mimeData());
    }
    if (take) {
        e->setDropAction(onTree ? Qt::CopyAction : Qt::MoveAction);
        e->accept();
    } else {
        e->ignore();
    }
    return true;
}

bool CQuarvelDlg::eventFilter(QObject* watched, QEvent* event)
{
    // Filters are installed while the window is still being built.
    const bool onTree = m_tree && watched == m_tree->viewport();
    const bool onList = m_list && watched == m_list->viewport();
    if ((onTree || onList) && DropRows(onTree, event)) return true;
    if (onTree || onList) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* e = static_cast<QDragMoveEvent*>(event);
            if (e->mimeData()->hasUrls()) e->acceptProposedAction();
            else e->ignore();
            return true;
        }
        case QEvent::Drop: {
            auto* e = static_cast<QDropEvent*>(event);
            if (onTree) {
                QStringList paths;
                for (const QUrl& url : e->mimeData()->urls())
                    if (url.isLocalFile()) paths.append(url.toLocalFile());
                m_ctl.DropOnGroupWindow(paths);
            } else {
                m_ctl.DropOnList(e->mimeData());
            }
            e->acceptProposedAction();
            return true;
        }
        default:
            break;
        }
    }
    // The progress control seeks with the wheel as the rest of the play bar does.
    if (m_progress && watched == m_progress && event->type() == QEvent::Wheel) {
        m_ctl.OnWheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
        event->accept();
        return true;
    }
    if (onList && event->type() == QEvent::ToolTip) {
        ShowCutText(static_cast<QHelpEvent*>(event));
        return true;
    }
    if (onList && event->type() == QEvent::Resize && m_emptyHint) m_emptyHint->setGeometry(m_list->viewport()->rect());
    if (m_viewStack && m_scanProgress && watched == m_viewStack && event->type() == QEvent::Resize) {
        const QSize s = m_viewStack->size();
        m_scanProgress->setGeometry(0, s.height() - 40, s.width(), 40);
    }
    if ((watched == m_layout->Control(kUserName) || watched == m_layout->Control(kUserPic))
        && event->type() == QEvent::MouseButtonRelease) {
        m_ctl.Session().OnUserArea(static_cast<QWidget*>(watched)->mapToGlobal(QPoint(0, static_cast<QWidget*>(watched)->height())));
        return true;
    }
    if (m_banner && watched == m_banner->parentWidget() && event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, [this] { PlaceBanner(); });
    return QWidget::eventFilter(watched, event);
}

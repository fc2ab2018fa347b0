#pragma once
#include "base/MsgWindow.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class CMainDlg;
class CMediaLibrary;
class CNodeTreeModel;
class CQvMusic;
class CSkinButton;
class CSkinFrame;
class CSkinLabel;
class CSkinLayout;
class CSkinNumText;
class CSkinPicture;
class CSkinSlider;
class CSkinSplitter;
class CTrackListModel;
class IQvNode;
class QAction;
class QHelpEvent;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QSystemTrayIcon;
class QTableView;
class QTreeView;
class CKLrcChildDlg;
class CLyricDlg;
class CQvLyrics;
class CScanProgress;
class CPagePane;

// The visible main window: title bar with the page tabs, search and window buttons; the tree of
// lists beside the list view (or a page); the cover and lyrics panel; the play bar. It shows
// what the controller tells it and forwards every user action to the controller.
class CQuarvelDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLyricsTimer = 2;  // 50 ms: the lyrics highlight follows the position
    static constexpr int kTitleTimer = 34;  // 5000 ms: the title line alternates
    static constexpr int kTrayId = 88;
    static constexpr int kTrayTipChars = 63;
    static constexpr int kOpenFailedNoticeMs = 5000;

    CQuarvelDlg(CMainDlg& controller, CMediaLibrary& library, QWidget* parent = nullptr);
    ~CQuarvelDlg() override;

    // Where the controller and the workers send this window's messages.
    CMsgTarget Target() const;

    // The tree pane shows the loaded tree; the node named in the settings is selected.
    void FillTree();
    // The tree changed (cloud groups came or went): the pane shows it again, the selection kept
    // without being made again.
    void ReloadTree();
    // Selects `node` in the tree (its list or page shows).
    void SelectNode(IQvNode* node);
    void ShowNode(IQvNode* node);
    void RefreshList();
    // Selects, scrolls to and focuses a row of the list view; -1 clears the selection.
    void SelectRow(int row);
    int SelectedRow() const;
    // The selected rows of the list view, in order.
    QList<int> SelectedRows() const;
    void SetPlaying(CQvMusic* track);
    // A track whose file could not be played: the title line says so for a few seconds and
    // its row stays marked.
    void ShowOpenFailed(CQvMusic* track);
    void ShowCover(const QString& picture);
    void SetVolume(int percent);
    void SetStars(int rating);
    void SetFavorite(bool on);
    void SetPlayMode(int mode);
    void SetSortImages(int scheme);
    // The cover and lyrics panel; without it the lists take its room.
    void SetSidePanelVisible(bool visible);
    bool SidePanelVisible() const;

    // The tray: the window is hidden and the icon shows; back again.
    void HideToTray();
    void RestoreFromTray();
    void SetTrayTip(const QString& tip);
    QSystemTrayIcon* Tray() const { return m_tray; }
    // The main menu (1521) and the add menu (1029).
    QMenu* MainMenu() const { return m_mainMenu; }
    QMenu* AddMenu() const { return m_addMenu; }
    void PopupTrayMenu(const QPoint& at);
    QMenu* TrayMenu() const { return m_trayMenu; }
    // The list view's row menu and the tree's node menu, as last opened.
    QMenu* RowMenu() const { return m_rowMenu; }
    QMenu* NodeMenu() const { return m_nodeMenu; }

    // Scan progress texts, shown over the list view; hidden again by Hide.
    void ShowScanText(const QString& text);
    void HideScanProgress();
    QString ScanText() const;
    bool ScanProgressVisible() const;

    // The window's state for the next start: its place, the selected node.
    void SaveState();

    // Parts for the controller and tests.
    QTableView* ListView() const { return m_list; }
    QTreeView* TreeView() const { return m_tree; }
    CTrackListModel* ListModel() const { return m_listModel; }
    CNodeTreeModel* TreeModel() const { return m_treeModel; }
    CSkinSlider* Progress() const { return m_progress; }
    CSkinSlider* VolumeSlider() const { return m_volume; }
    CSkinButton* StarButton(int star) const;
    CSkinButton* FavoriteButton() const { return m_favorite; }
    CSkinButton* PlayButton() const { return m_play; }
    CSkinPicture* CoverPicture() const { return m_cover; }
    CSkinButton* Button(int id) const;
    QString TitleText() const;
    QString ElapsedText() const;
    QString RemainingText() const;
    QString LyricText() const;
    CQvLyrics* LyricPanel() const;
    CKLrcChildDlg* DesktopLyrics() const { return m_desktopLyrics; }
    // New lyrics for the playing track are on their way: the views let go of the old ones.
    void ReloadLyrics();
    // The position was moved: the lyric views find the line again.
    void OnSeeked(int ms);
    bool PageShown() const;
    // The hint an empty list shows, empty while the list has rows.
    QString EmptyHint() const;
    // The content view (the service's pages, styled) and the banner under the tree.
    CPagePane* ContentPane() const { return m_pagePane; }
    CPagePane* BannerPane() const { return m_banner; }
    // Shows the page view with `url` (the offline page for an empty one).
    void ShowPage(const QString& url);
    // The page tab that is checked (0: none).
    void CheckTab(int id);
    QString SearchText() const;
    // The user area: the nickname, or "未登录".
    void SetUserName(const QString& name);
    QString UserName() const;
    // The window's timers (2, 34); tests fire them without waiting.
    void OnTimer(int id);

protected:
    void wheelEvent(QWheelEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    class Port;
    qintptr OnMessage(unsigned msg, quintptr wParam, qintptr lParam);
    void BuildTitleBar();
    void BuildContent();
    void BuildSidePanel();
    void BuildPlayBar();
    void BuildMenus();
    void ConnectCommand(CSkinButton* button, int id);
    void OnProgress(int lengthSec, int percent);
    void ShowTitle();
    void OnLyricsReady();
    void ShowLyricsMessage(const QString& text);
    void UnloadLyrics();
    void PauseLyrics(bool pause);
    void SeekToLyric(int ms);
    void OnTreeSelection();
    void OpenColorPanel();
    void OnListContextMenu(const QPoint& pos);
    void OnTreeContextMenu(const QPoint& pos);
    void BuildShortcuts();
    bool WheelSeeksAt(const QPoint& at) const;
    void RestoreColumnWidths();
    void SaveColumnWidths() const;
    void ShowCutText(QHelpEvent* e);
    void UpdateListHints();
    // Rows of the list dragged over the tree or the list: true when the event was theirs.
    bool DropRows(bool onTree, QEvent* event);
    void OnHeaderClicked(int section);
    void PlaceBanner();

    CMainDlg& m_ctl;
    CMediaLibrary& m_library;
    std::unique_ptr<Port> m_port;
    CSkinFrame* m_frame = nullptr;
    CSkinLayout* m_layout = nullptr;

    CSkinSplitter* m_splitter = nullptr;
    QTreeView* m_tree = nullptr;
    CNodeTreeModel* m_treeModel = nullptr;
    QStackedWidget* m_viewStack = nullptr;
    QTableView* m_list = nullptr;
    CTrackListModel* m_listModel = nullptr;
    CPagePane* m_pagePane = nullptr;
    CPagePane* m_banner = nullptr;
    CScanProgress* m_scanProgress = nullptr;

    CSkinPicture* m_cover = nullptr;
    CLyricDlg* m_lyricDlg = nullptr;
    CKLrcChildDlg* m_desktopLyrics = nullptr;
    bool m_bLyricsLoaded = false;
    bool m_bLyricsPaused = false;
    QWidget* m_sidePanel = nullptr;

    CSkinButton* m_play = nullptr;
    CSkinButton* m_favorite = nullptr;
    CSkinButton* m_stars[5] = {};
    CSkinLabel* m_title = nullptr;
    CSkinNumText* m_elapsed = nullptr;
    CSkinNumText* m_remaining = nullptr;
    CSkinSlider* m_progress = nullptr;
    CSkinSlider* m_volume = nullptr;
    QHash<int, CSkinButton*> m_buttons;

    QMenu* m_mainMenu = nullptr;
    QMenu* m_addMenu = nullptr;
    QMenu* m_trayMenu = nullptr;
    QMenu* m_rowMenu = nullptr;
    QMenu* m_nodeMenu = nullptr;
    QAction* m_modeActions[3] = {};
    QLabel* m_emptyHint = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QPointer<QWidget> m_colorPanel;

    int m_titleCount = 0;
    QString m_notice; // a notice that holds the title line for a while
    int m_sortColumn = 0;
    bool m_sortDescending = false;
    bool m_selectingNode = false;
};

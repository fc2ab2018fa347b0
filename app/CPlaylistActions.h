#pragma once
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class CMainDlg;
class CMediaLibrary;
class CQvMusic;
class CQvNodeTree;
class IQvNode;
class QMenu;
class QMimeData;
class QUrl;
class QWidget;

// What the user does with playlists from the list view and the tree: the row menu ("播放",
// "添加到", "从列表中删除", "打开文件所在位置"), the playlist menu ("重命名", "删除", "播放全部"),
// rows dragged onto a playlist or within one. Every change goes to the stored rows at once,
// and the tree's counts and the list view follow.
class CPlaylistActions : public QObject {
    Q_OBJECT
public:
    CPlaylistActions(CMainDlg& controller, CMediaLibrary& library, CQvNodeTree& tree);

    // The user's playlists (Type -1), in the tree's order.
    QList<IQvNode*> UserLists() const;
    static bool IsUserList(IQvNode* node);

    // Puts tracks into a playlist after its members, leaving out those already in it; stored
    // at once. The number added.
    int AddToList(IQvNode* list, const std::vector<CQvMusic*>& tracks);
    // "新建列表...": asks for a name in the skin, makes the list and puts the tracks in it.
    void AskNewList(const std::vector<CQvMusic*>& tracks);
    // "从列表中删除" for rows of the shown list. Out of a playlist: out of that list. Out of
    // "本地音乐": out of the library, so the rows leave the view and every list.
    int RemoveRows(const QList<int>& rows);
    // Moves rows of the shown playlist to stand before row `before` (the end for -1 or past
    // it); the new order is stored. False when the shown list is no playlist.
    bool MoveRows(const QList<int>& rows, int before);
    // The file manager shows the folder of the track's file.
    bool OpenFileLocation(CQvMusic* track);
    // How a folder is shown (the desktop's file manager; tests look instead).
    using UrlOpener = std::function<bool(const QUrl&)>;
    void SetUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    // "重命名", asked in the skin; the tree follows.
    void AskRename(IQvNode* list);
    // 1 renamed, 0 refused (name taken or empty).
    int Rename(IQvNode* list, const QString& name);
    // "删除", after the user confirmed.
    void AskDelete(IQvNode* list);
    bool Delete(IQvNode* list);
    // "播放全部": the list is shown and its first track plays.
    bool PlayAll(IQvNode* list);

    // The menus, filled for rows of the shown list and for a node of the tree.
    void FillRowMenu(QMenu* menu, const QList<int>& rows);
    void FillNodeMenu(QMenu* menu, IQvNode* node);

    // Rows of the shown list dragged onto a tree node (added to it when it is a playlist) or
    // dropped on the list view before row `before` (reordered). False when the drop is not
    // taken.
    bool CanDropOnNode(const QMimeData* data, IQvNode* node) const;
    bool DropOnNode(const QMimeData* data, IQvNode* node);
    bool CanDropOnList(const QMimeData* data) const;
    bool DropOnList(const QMimeData* data, int before);

private:
    std::vector<CQvMusic*> TracksOfRows(const QList<int>& rows) const;
    std::vector<CQvMusic*> TracksOfDrag(const QMimeData* data) const;
    void TreeChanged(IQvNode* select);
    QWidget* Window() const;

    CMainDlg& m_ctl;
    CMediaLibrary& m_library;
    CQvNodeTree& m_tree;
    UrlOpener m_openUrl;
};

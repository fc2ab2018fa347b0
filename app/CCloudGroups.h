#pragma once
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "model/CQvMusic.h"
#include "net/proto/ServiceReplies.h"

class CMainDlg;
class CSyncDlg;
class IQvNode;
class QMenu;

// The signed-in user's play groups on the service, shown as nodes under the cloud node
// "Nimbra". The group list (task 5) is built into the tree by the worker under the library
// lock; a group's songs (task 6) and the random songs of "Nimbra" (task 18) are fetched on a
// worker and put into their node on the window thread when the busy end (3624, 202) arrives,
// so a node a worker asked for may have gone meanwhile without harm.
class CCloudGroups : public QObject {
    Q_OBJECT
public:
    static constexpr int kCloudGroupType = 3;
    static constexpr int kBusyBegin = 201;
    static constexpr int kBusyEnd = 202;

    explicit CCloudGroups(CMainDlg& ctl);
    ~CCloudGroups() override;

    // Tasks 5, 6 and 18 on the calling (worker) thread; the request status.
    int RunTask(int code);
    int LoadCloudGroups();
    int LoadGroupSongs();
    int LoadRandomSongs();

    // The cloud node and whether `node` is one of its groups (caller holds the library lock).
    IQvNode* CloudNode() const;
    static bool IsCloudGroup(const IQvNode* node);
    // The group node of service id `groupId` (the cloud node for 0); null when gone.
    IQvNode* FindGroup(int groupId) const;

    // Window thread: a node was selected. A group not yet loaded starts task 6; the cloud node,
    // while a user is signed in, starts task 18. True when the node is the cloud's.
    bool OnSelect(IQvNode* node);
    // Window thread: reloads `node`'s songs (a group) or random songs (the cloud node).
    void Refresh(IQvNode* node);
    // Window thread: the answers of 3524 and 3624.
    void OnGroupsLoaded();
    void OnBusy(int code);
    // Window thread: the user signed out: the group nodes and the cloud node's songs go and
    // the loaded flag is cleared.
    void SignedOut();
    bool Busy() const { return m_nBusy > 0; }
    // What the list view says while `node`, a cloud node without songs, is shown: signed out,
    // how to see the groups; else how songs get there. Empty for any other node.
    QString EmptyHint(IQvNode* node) const;

    // Window thread: editing the groups. Each request runs on a worker; when it succeeded the
    // tree changes on the window thread, else the user gets a short notice (the status
    // notification has gone to the window already). `done` (may be empty) hears the outcome.
    using Done = std::function<void(bool)>;
    void CreateGroup(const QString& name, Done done = {});
    void RenameGroup(IQvNode* node, const QString& name, Done done = {});
    void DeleteGroup(IQvNode* node, Done done = {});
    // A user playlist is being deleted: its group of the same name under "Nimbra" goes too, on
    // the service and in the tree, while a user is signed in.
    void ListDeleted(const QString& name);
    // The tree's menu entries of the cloud node ("新建网盘列表"), of a group ("重命名", "删除",
    // "刷新") and, while a user is signed in, of a user playlist ("将播放列表上传到网盘"),
    // added to `menu`.
    void FillNodeMenu(QMenu* menu, IQvNode* node);
    // The list view's entries for rows of the shown list while a user is signed in: in a group
    // "从网盘列表删除"; elsewhere (a playlist, the library, "Nimbra"'s random songs) "上传到网盘列表"
    // with the groups as a submenu.
    void FillRowMenu(QMenu* menu, const QList<int>& rows);

    // "将播放列表上传到网盘": the user playlist becomes, or joins, the group of its name under
    // "Nimbra"; the songs the service knows (a Sysid or a CmsID) go up in pieces on a worker
    // while CSyncDlg shows how far it is. A group made here that never reached the service
    // leaves the tree again.
    void UploadList(IQvNode* list, Done done = {});
    CSyncDlg* SyncDialog() const;
    // "从网盘列表删除": the tracks leave `group` on the service and, for those it removed, here.
    void DeleteSongs(IQvNode* group, const std::vector<CQvMusic*>& tracks, Done done = {});
    // "上传到网盘列表": the tracks the service knows go into group `groupId`.
    void UploadSongs(int groupId, const std::vector<CQvMusic*>& tracks, Done done = {});

private:
    struct PendingSongs {
        int groupId = 0; // 0: the cloud node's random songs
        QList<CloudSong> songs;
    };
    void StartSongs(int groupId);
    int FetchSongs(bool random);
    void ApplySongs(const PendingSongs& result);
    TrackRef TrackOf(const CloudSong& song);
    void RemoveGroupNodes();
    void RemoveNode(IQvNode* node);
    int GroupIdOf(IQvNode* node) const;
    void ListUploaded(const QString& name, int groupId, bool ok, bool created, int sent, QPointer<CSyncDlg> dlg,
                      Done done);
    void SongsDeleted(int groupId, const QStringList& gids, bool ok, Done done);
    std::vector<CQvMusic*> TracksOfRows(const QList<int>& rows) const;

    CMainDlg& m_ctl;
    std::mutex m_mutex;        // the two members below
    std::vector<int> m_wanted; // groups asked for by the window thread, in order
    std::vector<PendingSongs> m_results;
    // Cloud songs are nobody else's: the lists borrow them, so they live as long as this.
    std::map<QString, TrackRef> m_tracks;
    int m_nBusy = 0;
    QPointer<CSyncDlg> m_sync; // the last upload's
};

#include "app/CCloudGroups.h"

#include "app/CMainDlg.h"
#include "app/CMessageCenter.h"
#include "app/CPlaylistActions.h"
#include "app/CPlaylistDialogs.h"
#include "app/CQuarvelDlg.h"
#include "app/CSkinDialog.h"
#include "app/CSyncDlg.h"
#include "app/CTrackListModel.h"
#include "app/UiTexts.h"
#include "base/Worker.h"
#include "base/DebugLog.h"
#include "base/MessageIds.h"
#include "library/CQvCommonNode.h"
#include "library/DataBuilders.h"
#include "library/ListInfo.h"
#include "model/TrackInfo.h"
#include "net/CQvClientIdentity.h"
#include "net/ServiceAddress.h"
#include "net/ServiceMethods.h"
#include "net/ServiceRequest.h"
#include "store/CMediaLibrary.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "store/TrackBuilder.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>

namespace {

const QString kCloudNodeName = QStringLiteral("Nimbra");

const QString kNewGroup = QStringLiteral("新建网盘列表");
const QString kRefresh = QStringLiteral("刷新");
const QString kDeleteGroupText = QStringLiteral("确定要删除网盘列表“%1”吗？网盘中的这个列表也将删除。");
const QString kGroupFailed = QStringLiteral("网盘列表操作失败，请稍后再试");
const QString kSignInHint = QStringLiteral("登录后即可在这里收听网盘列表。\n点击窗口上方的“未登录”登录。");
const QString kUploadList = QStringLiteral("将播放列表上传到网盘");
const QString kListUploaded = QStringLiteral("上传列表成功");
const QString kListUploadFailed = QStringLiteral("上传列表出错");
const QString kListUploadedText = QStringLiteral("播放列表“%1”已上传到网盘，共%2首歌曲。");
const QString kDeleteSong = QStringLiteral("从网盘列表删除");
const QString kDeleteSongFailed = QStringLiteral("从网盘列表删除歌曲失败，请稍后再试");
const QString kUploadSong = QStringLiteral("上传到网盘列表");
const QString kSongUploaded = QStringLiteral("上传歌曲成功");
const QString kSongUploadFailed = QStringLiteral("上传歌曲失败，请稍后再试");
const QString kNoGroups = QStringLiteral("（还没有网盘列表）");

// A group the service has not given an id yet.
constexpr int kUnknownGroup = -1;
// Songs per synsongs2group request: a long list goes up in pieces, and the progress with them.
constexpr int kSyncBatch = 10;
// The service's codes for a song the user keeps in a group.
const QString kSongChannel = QStringLiteral("1");
const QString kSongState = QStringLiteral("1");

// A track as the upload methods send it; only songs the service knows (a Sysid or a CmsID)
// can be sent, others give false.
bool UploadOf(const CQvMusic* track, CloudSongUpload& out)
{
    const TrackInfo* i = track ? track->GetInfo() : nullptr;
    if (!i || (i->Rare().Sysid.isEmpty() && i->Rare().CmsID.isEmpty())) return false;
    out.SongAddress = !i->NSrc.isEmpty() ? i->NSrc.str() : i->LSrc.Text();
    out.SongName = i->Song;
    out.SingerName = i->Artist;
    out.SongChannel = kSongChannel;
    out.SongState = kSongState;
    out.SongQuKuId = !i->Rare().Sysid.isEmpty() ? i->Rare().Sysid : i->Rare().CmsID;
    out.SongId = i->Rare().CmsID;
    return true;
}

bool Succeeded(int status, const ResultReply& reply) { return status == REQUEST_OK && reply.result == QLatin1String("1"); }

const QString kNoSongsHint = QStringLiteral("这里暂时没有歌曲。");
const QString kEmptyGroupHint =
    QStringLiteral("这个网盘列表中还没有歌曲。\n在本地歌曲上点右键，选择“上传到网盘列表”。");

std::unique_ptr<CQvCommonNode> MakeGroupNode(const QString& name, int id)
{
    auto node = std::make_unique<CQvCommonNode>(std::make_unique<CNetDataBuilder>());
    node->SetEdit(0);
    node->SetType(CCloudGroups::kCloudGroupType);
    node->SetIconId(-1);
    node->SetName(name);
    node->GetListInfo()->displayName = name;
    node->GetListInfo()->groupId = id;
    node->GetListInfo()->groupName = name;
    return node;
}

// Depth first, in the reply's order: each group becomes a node under `parent`, then its own
// groups under it. A name its siblings already use cannot be a second node of the tree.
void AddGroupNodes(IQvNode* parent, const QList<CloudGroup>& groups)
{
    for (const CloudGroup& g : groups) {
        auto node = MakeGroupNode(g.name, g.id);
        node->SetParent(parent);
        IQvNode* added = node.get();
        if (!parent->AppendChild(added)) {
            WriteDebugLogW(QStringLiteral("cloud group \"%1\" (%2): name taken, left out").arg(g.name).arg(g.id));
            continue;
        }
        node.release();
        AddGroupNodes(added, g.children);
    }
}

IQvNode* FindGroupBelow(IQvNode* node, int groupId)
{
    for (IQvNode* child : node->Children()) {
        if (child->GetType() == CCloudGroups::kCloudGroupType && child->GetListInfo() &&
            child->GetListInfo()->groupId == groupId)
            return child;
        if (IQvNode* found = FindGroupBelow(child, groupId)) return found;
    }
    return nullptr;
}

void CollectGroups(IQvNode* node, std::vector<IQvNode*>& out)
{
    for (IQvNode* child : node->Children()) {
        CollectGroups(child, out);
        out.push_back(child);
    }
}

QString SignedInVuid() { return CQvClientIdentity::Instance().Get().vuid; }


} // namespace

CCloudGroups::CCloudGroups(CMainDlg& ctl) : QObject(&ctl), m_ctl(ctl) {}

CCloudGroups::~CCloudGroups() = default;

int CCloudGroups::RunTask(int code)
{
    switch (code) {
    case 5:
        return LoadCloudGroups();
    case 6:
        return LoadGroupSongs();
    case 18:
        return LoadRandomSongs();
    default:
        return 0;
    }
}

IQvNode* CCloudGroups::CloudNode() const { return m_ctl.Library().Store().FindTopNodeByName(kCloudNodeName); }

bool CCloudGroups::IsCloudGroup(const IQvNode* node) { return node && node->GetType() == kCloudGroupType; }

IQvNode* CCloudGroups::FindGroup(int groupId) const
{
    IQvNode* cloud = CloudNode();
    if (!cloud || groupId == 0) return cloud;
    return FindGroupBelow(cloud, groupId);
}

int CCloudGroups::LoadCloudGroups()
{
    const QString vuid = SignedInVuid();
    if (vuid.isEmpty()) return 0;
    CMediaLibrary& library = m_ctl.Library();
    {
        std::lock_guard lock(library.Mutex());
        if (library.Store().StatusFlag() != 0) return 1;
    }
    GroupListReply reply;
    const int status = GetPlayGroupOfUser(MetadataEntryUrl(), vuid, reply);
    WriteDebugLogW(QStringLiteral("vuid:%1").arg(vuid));
    if (status != REQUEST_OK) return status;
    {
        std::lock_guard lock(library.Mutex());
        // Signed out (or in as someone else) while the request ran: these groups are not the
        // signed-in user's.
        if (SignedInVuid() != vuid || library.Store().StatusFlag() != 0) return status;
        IQvNode* cloud = CloudNode();
        if (!cloud) return -1;
        AddGroupNodes(cloud, reply.groups);
        library.Store().SetStatusFlag(1);
    }
    if (!IsShuttingDown()) m_ctl.Target().PostMessage(WM_CLOUD_GROUPS_LOADED);
    return status;
}

int CCloudGroups::LoadGroupSongs() { return FetchSongs(false); }

int CCloudGroups::LoadRandomSongs() { return FetchSongs(true); }

int CCloudGroups::FetchSongs(bool random)
{
    int groupId = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!random) {
            if (m_wanted.empty()) return 0;
            groupId = m_wanted.front();
            m_wanted.erase(m_wanted.begin());
        }
    }
    const CMsgTarget ctl = m_ctl.Target();
    ctl.PostMessage(WM_CLOUD_BUSY, kBusyBegin);
    SongListReply reply;
    const int status = random ? GetRandomSongs(MetadataEntryUrl(), reply)
                              : GetSongOfUsersGroup(MetadataEntryUrl(), groupId, reply);
    if (status == REQUEST_OK) {
        std::lock_guard lock(m_mutex);
        m_results.push_back({groupId, reply.songs});
    }
    ctl.PostMessage(WM_CLOUD_BUSY, kBusyEnd);
    return status;
}

void CCloudGroups::StartSongs(int groupId)
{
    if (groupId != 0) {
        std::lock_guard lock(m_mutex);
        m_wanted.push_back(groupId);
    }
    if (!StartServiceTask(groupId != 0 ? 6 : 18) && groupId != 0) {
        std::lock_guard lock(m_mutex);
        m_wanted.pop_back();
    }
}

bool CCloudGroups::OnSelect(IQvNode* node)
{
    bool group = false;
    bool cloud = false;
    bool loaded = false;
    int groupId = 0;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        cloud = node && node == CloudNode();
        group = IsCloudGroup(node);
        if (group && node->GetListInfo()) {
            groupId = node->GetListInfo()->groupId;
            loaded = node->GetListInfo()->loaded;
        }
    }
    if (cloud) {
        if (!SignedInVuid().isEmpty()) StartSongs(0);
        return true;
    }
    if (group && !loaded) StartSongs(groupId);
    return group;
}

void CCloudGroups::Refresh(IQvNode* node)
{
    int groupId = -1;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        if (node && node == CloudNode()) groupId = 0;
        else if (IsCloudGroup(node) && node->GetListInfo()) groupId = node->GetListInfo()->groupId;
    }
    if (groupId > 0 || (groupId == 0 && !SignedInVuid().isEmpty())) StartSongs(groupId);
}

void CCloudGroups::OnGroupsLoaded()
{
    CQuarvelDlg* wnd = m_ctl.MainWindow();
    if (wnd) wnd->ReloadTree();
    IQvNode* cloud = nullptr;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        cloud = CloudNode();
    }
    // The user signed in while looking at "Nimbra": the hint to sign in gives way to its songs.
    if (cloud && cloud == m_ctl.DisplayedNode()) {
        if (wnd) wnd->ShowNode(cloud);
        Refresh(cloud);
    }
}

QString CCloudGroups::EmptyHint(IQvNode* node) const
{
    bool cloud = false;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        cloud = node && node == CloudNode();
        if (!cloud && !IsCloudGroup(node)) return QString();
    }
    if (SignedInVuid().isEmpty()) return kSignInHint;
    return cloud ? kNoSongsHint : kEmptyGroupHint;
}

void CCloudGroups::OnBusy(int code)
{
    CQuarvelDlg* wnd = m_ctl.MainWindow();
    if (code == kBusyBegin) {
        if (m_nBusy++ == 0 && wnd) wnd->setCursor(Qt::BusyCursor);
        return;
    }
    if (code != kBusyEnd) return;
    if (m_nBusy > 0 && --m_nBusy == 0 && wnd) wnd->unsetCursor();
    std::vector<PendingSongs> results;
    {
        std::lock_guard lock(m_mutex);
        results.swap(m_results);
    }
    for (const PendingSongs& r : results) ApplySongs(r);
}

TrackRef CCloudGroups::TrackOf(const CloudSong& song)
{
    UrlTrackFields fields;
    fields.url = song.SongAdress;
    fields.song = song.SongName;
    fields.artist = song.SingerName;
    fields.album = song.AlbumName;
    fields.cmsId = song.SongID;
    fields.star = song.Star;
    fields.fromService = true;
    TrackBuildOptions options;
    options.owner = &m_ctl;
    // The user may have the same address in the library already: that track plays.
    TrackRef track = MakeTrackFromUrl(m_ctl.Library(), fields, options);
    if (!track) return track;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        if (m_ctl.Library().Store().FindTrack(track->GetInfo()->Gid, 0) == track.get()) return track;
    }
    // A song shown before stays the same track, so a list that plays it keeps it.
    return m_tracks.try_emplace(track->GetInfo()->Gid, track).first->second;
}

void CCloudGroups::ApplySongs(const PendingSongs& result)
{
    std::vector<TrackRef> tracks;
    for (const CloudSong& s : result.songs)
        if (TrackRef t = TrackOf(s)) tracks.push_back(t);
    IQvNode* node = nullptr;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        node = FindGroup(result.groupId);
        if (!node) return;
        node->Tracks().clear();
        node->TrackIndex().Clear();
        // Appending indexes the track and keeps out a second one of its Gid.
        for (const TrackRef& t : tracks) node->AppendTrack(t.get());
        if (node->GetListInfo()) node->GetListInfo()->loaded = true;
    }
    if (node == m_ctl.PlayingNode()) m_ctl.ListReordered();
    if (node == m_ctl.DisplayedNode() && m_ctl.MainWindow()) m_ctl.MainWindow()->ShowNode(node);
}

void CCloudGroups::RemoveGroupNodes()
{
    std::vector<IQvNode*> nodes;
    IQvNode* cloud = nullptr;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        cloud = CloudNode();
        if (!cloud) return;
        CollectGroups(cloud, nodes);
        nodes.push_back(cloud);
    }
    // Nothing may point at a node once it is freed: the shown and the playing list.
    for (IQvNode* n : nodes) {
        if (n == m_ctl.DisplayedNode() && n != cloud) m_ctl.ShowLocalMusic();
        if (n != cloud) m_ctl.ForgetNode(n);
    }
    if (cloud == m_ctl.PlayingNode()) m_ctl.ForgetNode(cloud);
    std::lock_guard lock(m_ctl.Library().Mutex());
    while (cloud->ChildCount() > 0) cloud->RemoveChild(cloud->GetChild(0));
    cloud->Tracks().clear();
    cloud->TrackIndex().Clear();
}

void CCloudGroups::SignedOut()
{
    {
        std::lock_guard lock(m_mutex);
        m_wanted.clear();
        m_results.clear();
    }
    RemoveGroupNodes();
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        m_ctl.Library().Store().SetStatusFlag(0);
    }
    if (CQuarvelDlg* wnd = m_ctl.MainWindow()) {
        wnd->ReloadTree();
        if (m_ctl.DisplayedNode() == CloudNode()) wnd->ShowNode(m_ctl.DisplayedNode());
    }
}

// ---- editing the groups ---------------------------------------------------------------

int CCloudGroups::GroupIdOf(IQvNode* node) const
{
    std::lock_guard lock(m_ctl.Library().Mutex());
    return IsCloudGroup(node) && node->GetListInfo() ? node->GetListInfo()->groupId : 0;
}

void CCloudGroups::RemoveNode(IQvNode* node)
{
    std::vector<IQvNode*> nodes;
    IQvNode* parent = nullptr;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        parent = node->GetParent();
        if (!parent) return;
        CollectGroups(node, nodes);
        nodes.push_back(node);
    }
    for (IQvNode* n : nodes) {
        if (n == m_ctl.DisplayedNode()) m_ctl.ShowLocalMusic();
        m_ctl.ForgetNode(n);
    }
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        parent->RemoveChild(node);
    }
    if (CQuarvelDlg* wnd = m_ctl.MainWindow()) wnd->ReloadTree();
}

void CCloudGroups::CreateGroup(const QString& name, Done done)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || SignedInVuid().isEmpty()) {
        if (done) done(false);
        return;
    }
    QPointer<CCloudGroups> self(this);
    const bool started = StartWorker([self, trimmed, done] {
        ResultReply reply;
        const int status = AddPlayGroup(MetadataEntryUrl(), trimmed, reply);
        const int id = status == REQUEST_OK && reply.result != QLatin1String("0") ? reply.objId.toInt() : 0;
        QMetaObject::invokeMethod(qApp, [self, trimmed, id, done] {
            if (!self) return;
            bool added = false;
            if (id > 0) {
                std::lock_guard lock(self->m_ctl.Library().Mutex());
                if (IQvNode* cloud = self->CloudNode()) {
                    auto node = MakeGroupNode(trimmed, id);
                    node->SetParent(cloud);
                    if (cloud->AppendChild(node.get())) {
                        node.release();
                        added = true;
                    }
                }
            }
            if (added) {
                if (CQuarvelDlg* wnd = self->m_ctl.MainWindow()) wnd->ReloadTree();
            } else {
                ShowNotice(self->m_ctl.MainWindow(), kGroupFailed, txt::kNotice);
            }
            if (done) done(added);
        }, Qt::QueuedConnection);
    });
    if (!started && done) done(false);
}

void CCloudGroups::RenameGroup(IQvNode* node, const QString& name, Done done)
{
    const QString trimmed = name.trimmed();
    const int id = GroupIdOf(node);
    if (id <= 0 || trimmed.isEmpty()) {
        if (done) done(false);
        return;
    }
    QPointer<CCloudGroups> self(this);
    const bool started = StartWorker([self, id, trimmed, done] {
        ResultReply reply;
        const bool ok = UpdatePlayGroupName(MetadataEntryUrl(), id, trimmed, reply) == REQUEST_OK &&
                        reply.result == QLatin1String("1");
        QMetaObject::invokeMethod(qApp, [self, id, trimmed, ok, done] {
            if (!self) return;
            bool renamed = false;
            if (ok) {
                std::lock_guard lock(self->m_ctl.Library().Mutex());
                IQvNode* group = self->FindGroup(id);
                // A sibling of that name already: the service has the new name, the tree the
                // old one until the next load.
                if (group && group != self->CloudNode() && !group->GetParent()->FindChild(trimmed)) {
                    group->SetName(trimmed);
                    group->GetListInfo()->displayName = trimmed;
                    group->GetListInfo()->groupName = trimmed;
                    renamed = true;
                }
            }
            if (renamed) {
                if (CQuarvelDlg* wnd = self->m_ctl.MainWindow()) wnd->ReloadTree();
            } else if (!ok) {
                ShowNotice(self->m_ctl.MainWindow(), kGroupFailed, txt::kNotice);
            }
            if (done) done(ok);
        }, Qt::QueuedConnection);
    });
    if (!started && done) done(false);
}

void CCloudGroups::DeleteGroup(IQvNode* node, Done done)
{
    const int id = GroupIdOf(node);
    if (id <= 0) {
        if (done) done(false);
        return;
    }
    QPointer<CCloudGroups> self(this);
    const bool started = StartWorker([self, id, done] {
        const bool ok = DeletePlayGroup(MetadataEntryUrl(), id) == REQUEST_OK;
        QMetaObject::invokeMethod(qApp, [self, id, ok, done] {
            if (!self) return;
            if (ok) {
                IQvNode* group = nullptr;
                {
                    std::lock_guard lock(self->m_ctl.Library().Mutex());
                    group = self->FindGroup(id);
                    if (group == self->CloudNode()) group = nullptr;
                }
                if (group) self->RemoveNode(group);
            } else {
                ShowNotice(self->m_ctl.MainWindow(), kGroupFailed, txt::kNotice);
            }
            if (done) done(ok);
        }, Qt::QueuedConnection);
    });
    if (!started && done) done(false);
}

void CCloudGroups::ListDeleted(const QString& name)
{
    if (SignedInVuid().isEmpty()) return;
    IQvNode* group = nullptr;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        IQvNode* cloud = CloudNode();
        group = cloud ? cloud->FindChild(name) : nullptr;
        if (!IsCloudGroup(group)) group = nullptr;
    }
    if (group) DeleteGroup(group);
}

void CCloudGroups::FillNodeMenu(QMenu* menu, IQvNode* node)
{
    bool cloud = false;
    bool group = false;
    bool playlist = false;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        cloud = node && node == CloudNode();
        group = IsCloudGroup(node);
        playlist = CPlaylistActions::IsUserList(node);
    }
    QWidget* wnd = m_ctl.MainWindow();
    if (playlist && !SignedInVuid().isEmpty()) {
        if (!menu->isEmpty()) menu->addSeparator();
        menu->addAction(kUploadList, this, [this, node] { UploadList(node); });
    }
    if (cloud && !SignedInVuid().isEmpty()) {
        if (!menu->isEmpty()) menu->addSeparator();
        menu->addAction(kNewGroup, this, [this, wnd] {
            auto* dlg = new CListNameDlg(kNewGroup, QString(), wnd);
            dlg->setAttribute(Qt::WA_DeleteOnClose);
            connect(dlg, &QDialog::accepted, this, [this, dlg] { CreateGroup(dlg->Name()); });
            dlg->open();
        });
    }
    if (!group) return;
    if (!menu->isEmpty()) menu->addSeparator();
    menu->addAction(txt::kRename, this, [this, node, wnd] {
        QString name;
        {
            std::lock_guard lock(m_ctl.Library().Mutex());
            name = node->GetName();
        }
        auto* dlg = new CListNameDlg(txt::kRename, name, wnd);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        const int id = GroupIdOf(node);
        connect(dlg, &QDialog::accepted, this, [this, dlg, id] {
            std::unique_lock lock(m_ctl.Library().Mutex());
            IQvNode* group = FindGroup(id);
            lock.unlock();
            if (group && id > 0) RenameGroup(group, dlg->Name());
        });
        dlg->open();
    });
    menu->addAction(txt::kDelete, this, [this, node, wnd] {
        QString name;
        {
            std::lock_guard lock(m_ctl.Library().Mutex());
            name = node->GetName();
        }
        const int id = GroupIdOf(node);
        // The service's copy goes with it: the user confirms first.
        auto* dlg = new CConfirmDlg(txt::kDelete, kDeleteGroupText.arg(name), wnd);
        dlg->setAttribute(Qt::WA_DeleteOnClose);
        connect(dlg, &QDialog::accepted, this, [this, id] {
            std::unique_lock lock(m_ctl.Library().Mutex());
            IQvNode* group = id > 0 ? FindGroup(id) : nullptr;
            lock.unlock();
            if (group) DeleteGroup(group);
        });
        dlg->open();
    });
    menu->addAction(kRefresh, this, [this, node] { Refresh(node); });
}

// ---- songs of the groups and lists going up --------------------------------------------

std::vector<CQvMusic*> CCloudGroups::TracksOfRows(const QList<int>& rows) const
{
    std::vector<CQvMusic*> tracks;
    CQuarvelDlg* wnd = m_ctl.MainWindow();
    if (!wnd) return tracks;
    for (int row : rows)
        if (CQvMusic* t = wnd->ListModel()->TrackAt(row)) tracks.push_back(t);
    return tracks;
}

void CCloudGroups::FillRowMenu(QMenu* menu, const QList<int>& rows)
{
    if (rows.isEmpty() || SignedInVuid().isEmpty()) return;
    IQvNode* shown = m_ctl.DisplayedNode();
    bool inGroup = false;
    bool known = false;
    std::vector<std::pair<QString, int>> groups; // indented name, id; in the tree's order
    const std::vector<CQvMusic*> tracks = TracksOfRows(rows);
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        IQvNode* cloud = CloudNode();
        inGroup = IsCloudGroup(shown);
        CloudSongUpload unused;
        for (CQvMusic* t : tracks) known = known || UploadOf(t, unused);
        std::function<void(IQvNode*, int)> walk = [&](IQvNode* parent, int depth) {
            for (IQvNode* child : parent->Children()) {
                if (!IsCloudGroup(child) || !child->GetListInfo() || child->GetListInfo()->groupId <= 0) continue;
                groups.emplace_back(QString(depth * 2, QChar(0x3000)) + child->GetName(), child->GetListInfo()->groupId);
                walk(child, depth + 1);
            }
        };
        if (cloud) walk(cloud, 0);
    }
    menu->addSeparator();
    if (inGroup) {
        menu->addAction(kDeleteSong, this, [this, shown, tracks] { DeleteSongs(shown, tracks); });
        return;
    }
    QMenu* upload = menu->addMenu(kUploadSong);
    upload->setEnabled(known);
    if (groups.empty()) upload->addAction(kNoGroups)->setEnabled(false);
    for (const auto& [name, id] : groups)
        upload->addAction(name, this, [this, id = id, tracks] { UploadSongs(id, tracks); });
}

CSyncDlg* CCloudGroups::SyncDialog() const { return m_sync; }

void CCloudGroups::UploadList(IQvNode* list, Done done)
{
    CQuarvelDlg* wnd = m_ctl.MainWindow();
    auto fail = [&] {
        ShowNotice(wnd, kListUploadFailed, txt::kNotice);
        if (done) done(false);
    };
    if (SignedInVuid().isEmpty()) return fail();
    QString name;
    QList<CloudSongUpload> songs;
    int groupId = kUnknownGroup;
    bool created = false;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        IQvNode* cloud = CloudNode();
        if (!cloud || !CPlaylistActions::IsUserList(list)) return fail();
        name = list->GetName();
        IQvNode* group = cloud->FindChild(name);
        if (!group) {
            auto node = MakeGroupNode(name, kUnknownGroup);
            node->SetParent(cloud);
            if (cloud->AppendChild(node.get())) {
                group = node.release();
                created = true;
            }
        }
        // Another kind of node under "Nimbra" holds the name: the list has nowhere to go.
        if (!IsCloudGroup(group) || !group->GetListInfo()) return fail();
        groupId = group->GetListInfo()->groupId;
        for (const CQvMusic* t : list->Tracks()) {
            CloudSongUpload song;
            if (UploadOf(t, song)) songs.append(song);
        }
    }
    if (created && wnd) wnd->ReloadTree();

    QPointer<CSyncDlg> dlg = new CSyncDlg(wnd);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    dlg->show();
    m_sync = dlg;
    const CMsgTarget progress = dlg->Target();
    QPointer<CCloudGroups> self(this);
    const bool started = StartWorker([self, name, songs, groupId, created, progress, dlg, done] {
        // The first piece names the group "-1" when the service does not know it yet; its
        // answer gives the id the later pieces go to.
        QString id = groupId > 0 ? QString::number(groupId) : QStringLiteral("-1");
        int known = groupId > 0 ? groupId : 0;
        bool ok = true;
        qsizetype sent = 0;
        progress.PostMessage(WM_SYNC_PERCENT, 0);
        do {
            const QList<CloudSongUpload> piece = songs.mid(sent, kSyncBatch);
            ResultReply reply;
            ok = Succeeded(SyncSongsToGroup(MetadataEntryUrl(), id, name, piece, reply), reply) &&
                 reply.objId.toInt() > 0;
            if (!ok) break;
            known = reply.objId.toInt();
            id = QString::number(known);
            sent += piece.size();
            progress.PostMessage(WM_SYNC_COUNTS, quintptr(sent), qintptr(songs.size()));
        } while (sent < songs.size());
        QMetaObject::invokeMethod(qApp, [self, name, known, ok, created, sent, dlg, done] {
            if (self) self->ListUploaded(name, known, ok, created, int(sent), dlg, done);
            else if (done) done(false);
        }, Qt::QueuedConnection);
    });
    if (!started) {
        dlg->close();
        fail();
    }
}

void CCloudGroups::ListUploaded(const QString& name, int groupId, bool ok, bool created, int sent,
                                QPointer<CSyncDlg> dlg, Done done)
{
    IQvNode* group = nullptr;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        IQvNode* cloud = CloudNode();
        group = cloud ? cloud->FindChild(name) : nullptr;
        if (!IsCloudGroup(group) || !group->GetListInfo()) group = nullptr;
        if (group && groupId > 0) {
            group->GetListInfo()->groupId = groupId;
            group->GetListInfo()->loaded = false; // its songs are the service's to tell now
        }
    }
    if (dlg) dlg->close();
    CQuarvelDlg* wnd = m_ctl.MainWindow();
    if (ok) {
        ShowNotice(wnd, kListUploaded, txt::kNotice);
        if (CMessageCenter* messages = m_ctl.Messages()) messages->PostNotice(kListUploaded, kListUploadedText.arg(name).arg(sent));
        if (group && group == m_ctl.DisplayedNode()) Refresh(group);
    } else {
        // Nothing of a group made for this upload reached the service: it goes from the tree.
        if (group && created && groupId <= 0) RemoveNode(group);
        ShowNotice(wnd, kListUploadFailed, txt::kNotice);
    }
    if (done) done(ok);
}

void CCloudGroups::DeleteSongs(IQvNode* group, const std::vector<CQvMusic*>& tracks, Done done)
{
    int groupId = 0;
    std::vector<std::pair<QString, QString>> songs; // service song id, Gid
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        if (IsCloudGroup(group) && group->GetListInfo()) groupId = group->GetListInfo()->groupId;
        for (const CQvMusic* t : tracks)
            if (t && t->GetInfo() && !t->GetInfo()->Rare().CmsID.isEmpty()) songs.emplace_back(t->GetInfo()->Rare().CmsID, t->GetInfo()->Gid);
    }
    if (groupId <= 0 || songs.empty()) {
        ShowNotice(m_ctl.MainWindow(), kDeleteSongFailed, txt::kNotice);
        if (done) done(false);
        return;
    }
    QPointer<CCloudGroups> self(this);
    const bool started = StartWorker([self, groupId, songs, done] {
        QStringList gone;
        bool ok = true;
        for (const auto& [songId, gid] : songs) {
            ResultReply reply;
            if (Succeeded(DeleteCloudSong(MetadataEntryUrl(), songId, reply), reply)) gone.append(gid);
            else ok = false;
        }
        QMetaObject::invokeMethod(qApp, [self, groupId, gone, ok, done] {
            if (self) self->SongsDeleted(groupId, gone, ok, done);
            else if (done) done(false);
        }, Qt::QueuedConnection);
    });
    if (!started && done) done(false);
}

void CCloudGroups::SongsDeleted(int groupId, const QStringList& gids, bool ok, Done done)
{
    IQvNode* group = nullptr;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        group = FindGroup(groupId);
        if (group == CloudNode()) group = nullptr;
        if (group)
            for (const QString& gid : gids)
                if (CQvMusic* member = group->TrackIndex().Find(gid)) group->RemoveTrack(member);
    }
    if (group && group == m_ctl.PlayingNode()) m_ctl.ListReordered();
    if (group && group == m_ctl.DisplayedNode() && m_ctl.MainWindow()) m_ctl.MainWindow()->ShowNode(group);
    if (!ok) ShowNotice(m_ctl.MainWindow(), kDeleteSongFailed, txt::kNotice);
    if (done) done(ok);
}

void CCloudGroups::UploadSongs(int groupId, const std::vector<CQvMusic*>& tracks, Done done)
{
    QList<CloudSongUpload> songs;
    {
        std::lock_guard lock(m_ctl.Library().Mutex());
        for (const CQvMusic* t : tracks) {
            CloudSongUpload song;
            if (UploadOf(t, song)) songs.append(song);
        }
    }
    if (groupId <= 0 || songs.isEmpty()) {
        ShowNotice(m_ctl.MainWindow(), kSongUploadFailed, txt::kNotice);
        if (done) done(false);
        return;
    }
    QPointer<CCloudGroups> self(this);
    const bool started = StartWorker([self, groupId, songs, done] {
        bool ok = true;
        for (const CloudSongUpload& song : songs) {
            ResultReply reply;
            ok = Succeeded(AddQukuSongToGroup(MetadataEntryUrl(), groupId, song, reply), reply) && ok;
        }
        QMetaObject::invokeMethod(qApp, [self, groupId, ok, done] {
            if (!self) {
                if (done) done(false);
                return;
            }
            IQvNode* group = nullptr;
            {
                std::lock_guard lock(self->m_ctl.Library().Mutex());
                group = self->FindGroup(groupId);
                if (group == self->CloudNode()) group = nullptr;
                if (group && group->GetListInfo()) group->GetListInfo()->loaded = false;
            }
            if (group && group == self->m_ctl.DisplayedNode()) self->Refresh(group);
            ShowNotice(self->m_ctl.MainWindow(), ok ? kSongUploaded : kSongUploadFailed, txt::kNotice);
            if (done) done(ok);
        }, Qt::QueuedConnection);
    });
    if (!started && done) done(false);
}

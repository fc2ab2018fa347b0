#include "app/CPlaylistActions.h"

#include "app/CMainDlg.h"
#include "app/CNodeTreeModel.h"
#include "app/CPlaylistDialogs.h"
#include "app/CQuarvelDlg.h"
#include "app/CTrackListModel.h"
#include "app/UiTexts.h"

#include "library/CQvNodeTree.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "store/CMediaLibrary.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "store/TrackBuilder.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QTableView>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <mutex>

namespace {

constexpr int kUserListType = -1;
constexpr int kLocalMusicType = 21;

} // namespace

CPlaylistActions::CPlaylistActions(CMainDlg& controller, CMediaLibrary& library, CQvNodeTree& tree)
    : QObject(&controller), m_ctl(controller), m_library(library), m_tree(tree),
      m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); })
{
}

QWidget* CPlaylistActions::Window() const { return m_ctl.MainWindow(); }

bool CPlaylistActions::IsUserList(IQvNode* node) { return node && node->GetType() == kUserListType; }

QList<IQvNode*> CPlaylistActions::UserLists() const
{
    QList<IQvNode*> out;
    std::lock_guard lock(m_library.Mutex());
    IQvNode* group = m_library.Store().FindTopNodeByType(0);
    if (!group) return out;
    for (IQvNode* child : group->Children())
        if (IsUserList(child)) out.append(child);
    return out;
}

std::vector<CQvMusic*> CPlaylistActions::TracksOfRows(const QList<int>& rows) const
{
    std::vector<CQvMusic*> out;
    const CTrackListModel* model = m_ctl.MainWindow()->ListModel();
    for (int row : rows)
        if (CQvMusic* t = model->TrackAt(row)) out.push_back(t);
    return out;
}

std::vector<CQvMusic*> CPlaylistActions::TracksOfDrag(const QMimeData* data) const
{
    // The rows were dragged from the shown list; a row that moved since does not count.
    std::vector<CQvMusic*> out;
    const CTrackListModel* model = m_ctl.MainWindow()->ListModel();
    for (const auto& [row, gid] : CTrackListModel::DraggedRows(data)) {
        CQvMusic* t = model->TrackAt(row);
        if (t && t->GetInfo() && t->GetInfo()->Gid == gid) out.push_back(t);
    }
    return out;
}

void CPlaylistActions::TreeChanged(IQvNode* select)
{
    CQuarvelDlg* wnd = m_ctl.MainWindow();
    if (!wnd) return;
    if (select) {
        wnd->TreeModel()->Reload();
        wnd->TreeView()->expandAll();
        wnd->SelectNode(select);
    }
    wnd->RefreshList();
}

int CPlaylistActions::AddToList(IQvNode* list, const std::vector<CQvMusic*>& tracks)
{
    {
        std::lock_guard lock(m_library.Mutex());
        if (!IsUserList(list)) return 0;
    }
    int added = 0;
    for (CQvMusic* track : tracks) {
        bool stored = true;
        {
            std::lock_guard lock(m_library.Mutex());
            stored = !track || !track->GetInfo() || m_library.Store().FindTrack(track->GetInfo()->Gid, 0);
        }
        // A song of a cloud group is no track of the library: a list keeps only the Gid, so
        // the song is stored first, or the list would lose it at the next start.
        TrackRef kept(track);
        if (!stored) {
            TrackBuildOptions options;
            options.owner = &m_ctl;
            kept = StoreBuiltTrack(m_library, kept, options);
        }
        if (kept && m_library.PutInList(list, kept.get()) == 1) ++added;
    }
    if (added && list == m_ctl.PlayingNode()) m_ctl.ListReordered();
    TreeChanged(nullptr);
    return added;
}

void CPlaylistActions::AskNewList(const std::vector<CQvMusic*>& tracks)
{
    std::vector<TrackRef> kept(tracks.begin(), tracks.end());
    auto* dlg = new CListNameDlg(txt::kNewListTitle, QString(), Window());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QDialog::accepted, this, [this, dlg, kept] {
        IQvNode* created = m_tree.CreateList(dlg->Name());
        if (!created) {
            ShowNotice(Window(), txt::kListNameTaken, txt::kNotice);
            return;
        }
        std::vector<CQvMusic*> tracks;
        for (const TrackRef& t : kept) tracks.push_back(t.get());
        AddToList(created, tracks);
        TreeChanged(tracks.empty() ? created : m_ctl.DisplayedNode());
    });
    dlg->open();
}

int CPlaylistActions::RemoveRows(const QList<int>& rows)
{
    IQvNode* node = m_ctl.DisplayedNode();
    if (!node) return 0;
    int type = 0;
    {
        std::lock_guard lock(m_library.Mutex());
        type = node->GetType();
    }
    std::vector<TrackRef> tracks;
    for (CQvMusic* t : TracksOfRows(rows)) tracks.emplace_back(t);
    for (const TrackRef& track : tracks) {
        if (track.get() == m_ctl.CurrentTrack()) m_ctl.StopPlay();
        if (type == kLocalMusicType) {
            // Out of the library: the track leaves every list with it, this view too.
            m_library.RemoveTrack(track.get());
            m_library.OfferToLists(track.get(), -1);
            std::lock_guard lock(m_library.Mutex());
            if (node->TrackIndex().Contains(track->GetInfo()->Gid)
                || std::find(node->Tracks().begin(), node->Tracks().end(), track.get()) != node->Tracks().end())
                node->RemoveTrack(track.get());
        } else {
            m_library.RemoveTrackFromList(node, track.get());
        }
    }
    if (node == m_ctl.PlayingNode()) m_ctl.ListReordered();
    TreeChanged(nullptr);
    m_ctl.MainWindow()->ListView()->clearSelection();
    return int(tracks.size());
}

bool CPlaylistActions::MoveRows(const QList<int>& rows, int before)
{
    IQvNode* node = m_ctl.DisplayedNode();
    {
        std::lock_guard lock(m_library.Mutex());
        if (!IsUserList(node)) return false;
        MemberList& members = node->Tracks();
        const int count = int(members.size());
        if (before < 0 || before > count) before = count;
        QList<int> moving;
        for (int r : rows)
            if (r >= 0 && r < count && !moving.contains(r)) moving.append(r);
        if (moving.isEmpty()) return false;
        std::sort(moving.begin(), moving.end());
        MemberList taken;
        MemberList rest;
        int insertAt = 0;
        for (int i = 0; i < count; ++i) {
            if (i == before) insertAt = int(rest.size());
            if (moving.contains(i)) taken.push_back(members[i]);
            else rest.push_back(members[i]);
        }
        if (before == count) insertAt = int(rest.size());
        rest.insert(rest.begin() + insertAt, taken.begin(), taken.end());
        if (rest == members) return true;
        members = std::move(rest);
    }
    m_library.SaveListOrder(node);
    if (node == m_ctl.PlayingNode()) m_ctl.ListReordered();
    TreeChanged(nullptr);
    return true;
}

bool CPlaylistActions::OpenFileLocation(CQvMusic* track)
{
    if (!track || !track->GetInfo() || track->GetInfo()->LSrc.isEmpty()) return false;
    const QFileInfo file(track->GetInfo()->LSrc);
    if (!file.dir().exists()) return false;
    return m_openUrl(QUrl::fromLocalFile(file.absolutePath()));
}

void CPlaylistActions::AskRename(IQvNode* list)
{
    QString name;
    {
        std::lock_guard lock(m_library.Mutex());
        if (!IsUserList(list)) return;
        name = list->GetName();
    }
    auto* dlg = new CListNameDlg(txt::kRename, name, Window());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QDialog::accepted, this, [this, dlg, list] {
        if (Rename(list, dlg->Name()) < 0) ShowNotice(Window(), txt::kListNameTaken, txt::kNotice);
    });
    dlg->open();
}

int CPlaylistActions::Rename(IQvNode* list, const QString& name)
{
    {
        std::lock_guard lock(m_library.Mutex());
        if (!IsUserList(list)) return -1;
    }
    const int result = m_tree.RenameList(list, name.trimmed());
    if (result < 0) return -1;
    // The rows were written again under the new name: in the list's order.
    m_library.SaveListOrder(list);
    CQuarvelDlg* wnd = m_ctl.MainWindow();
    wnd->TreeModel()->Reload();
    wnd->TreeView()->expandAll();
    if (IQvNode* shown = m_ctl.DisplayedNode()) wnd->TreeView()->setCurrentIndex(wnd->TreeModel()->IndexOf(shown));
    return 1;
}

void CPlaylistActions::AskDelete(IQvNode* list)
{
    QString name;
    {
        std::lock_guard lock(m_library.Mutex());
        if (!IsUserList(list)) return;
        name = list->GetName();
    }
    auto* dlg = new CConfirmDlg(txt::kDelete, txt::kDeleteListText.arg(name), Window());
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    connect(dlg, &QDialog::accepted, this, [this, list] { Delete(list); });
    dlg->open();
}

bool CPlaylistActions::Delete(IQvNode* list) { return m_ctl.DeleteList(list); }

bool CPlaylistActions::PlayAll(IQvNode* list)
{
    int count = 0;
    {
        std::lock_guard lock(m_library.Mutex());
        if (!list) return false;
        count = list->TrackCount();
    }
    CQuarvelDlg* wnd = m_ctl.MainWindow();
    wnd->SelectNode(list);
    if (m_ctl.DisplayedNode() != list || count == 0) return false;
    return m_ctl.PlayDisplayedRow(0) > 0;
}

void CPlaylistActions::FillRowMenu(QMenu* menu, const QList<int>& rows)
{
    menu->clear();
    if (rows.isEmpty()) return;
    const int first = rows.first();
    menu->addAction(txt::kPlay, this, [this, first] { m_ctl.OnListDoubleClick(first); });
    QMenu* addTo = menu->addMenu(txt::kAddTo);
    IQvNode* shown = m_ctl.DisplayedNode();
    for (IQvNode* list : UserLists()) {
        QString name;
        {
            std::lock_guard lock(m_library.Mutex());
            name = list->GetName();
        }
        QAction* a = addTo->addAction(name, this, [this, list, rows] { AddToList(list, TracksOfRows(rows)); });
        a->setEnabled(list != shown);
    }
    addTo->addSeparator();
    addTo->addAction(txt::kNewListMenu, this, [this, rows] { AskNewList(TracksOfRows(rows)); });
    menu->addAction(txt::kRemoveFromList, this, [this, rows] { RemoveRows(rows); });
    menu->addSeparator();
    QAction* open = menu->addAction(txt::kOpenFolder, this, [this, first] {
        OpenFileLocation(m_ctl.MainWindow()->ListModel()->TrackAt(first));
    });
    CQvMusic* t = m_ctl.MainWindow()->ListModel()->TrackAt(first);
    open->setEnabled(t && t->GetInfo() && !t->GetInfo()->LSrc.isEmpty());
}

void CPlaylistActions::FillNodeMenu(QMenu* menu, IQvNode* node)
{
    menu->clear();
    bool user = false;
    bool list = false;
    {
        std::lock_guard lock(m_library.Mutex());
        if (!node) return;
        user = IsUserList(node);
        list = node->GetParent() && node->GetDisplayType() != QLatin1String("web") && node->GetType() != 5;
    }
    if (list) menu->addAction(txt::kPlayAll, this, [this, node] { PlayAll(node); });
    if (!user) return;
    menu->addSeparator();
    menu->addAction(txt::kRename, this, [this, node] { AskRename(node); });
    menu->addAction(txt::kDelete, this, [this, node] { AskDelete(node); });
}

bool CPlaylistActions::CanDropOnNode(const QMimeData* data, IQvNode* node) const
{
    if (!data || !data->hasFormat(CTrackListModel::kRowsMimeType) || node == m_ctl.DisplayedNode()) return false;
    std::lock_guard lock(m_library.Mutex());
    return IsUserList(node);
}

bool CPlaylistActions::DropOnNode(const QMimeData* data, IQvNode* node)
{
    if (!CanDropOnNode(data, node)) return false;
    AddToList(node, TracksOfDrag(data));
    return true;
}

bool CPlaylistActions::CanDropOnList(const QMimeData* data) const
{
    if (!data || !data->hasFormat(CTrackListModel::kRowsMimeType)) return false;
    std::lock_guard lock(m_library.Mutex());
    return IsUserList(m_ctl.DisplayedNode());
}

bool CPlaylistActions::DropOnList(const QMimeData* data, int before)
{
    if (!CanDropOnList(data)) return false;
    QList<int> rows;
    for (const auto& [row, gid] : CTrackListModel::DraggedRows(data)) rows.append(row);
    return MoveRows(rows, before);
}

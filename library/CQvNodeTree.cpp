#include "library/CQvNodeTree.h"

#include "library/CQvCommonNode.h"
#include "library/DataBuilders.h"

#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"
#include "store/Schema.h"

#include "base/DebugLog.h"
#include "base/Worker.h"
#include "base/XmlFile.h"
#include "model/TrackInfo.h"

#include <QFile>
#include <QFileInfo>

#include <tinyxml2.h>

#include <map>
#include <vector>

namespace {

const QString kLocalMusic = QStringLiteral("本地音乐");

// One TreeNode row.
struct NodeRow {
    QString id;
    QString name;
    QString condition;
    int edit = 0;
    int type = 0;
    int iconId = -1;
};

std::vector<NodeRow> ReadNodeRows(CSqliteDb& db, const QString& key)
{
    std::vector<NodeRow> rows;
    SqliteStatement stmt;
    if (db.Prepare(kSelectTreeNodeByKey, stmt) != kSqliteOk || Bind(stmt, key) != kSqliteOk) return rows;
    while (stmt.Step() == kSqliteRow)
        rows.push_back({stmt.ColumnText(1), stmt.ColumnText(2), stmt.ColumnText(3), stmt.ColumnInt(4),
                        stmt.ColumnInt(5), stmt.ColumnInt(6)});
    return rows;
}

bool HasNodeRows(CSqliteDb& db, const QString& key)
{
    SqliteStatement stmt;
    return db.Prepare(kSelectTreeNodeByKey, stmt) == kSqliteOk && Bind(stmt, key) == kSqliteOk &&
           stmt.Step() == kSqliteRow;
}

// The builder a node of `type` gets. Top-level nodes have one only when their type is 99; a
// held-back node (5) never has one, nor the local music view of a default tree, which shows the
// library itself.
std::unique_ptr<IQvDataBuilder> BuilderFor(int type, bool topLevel, bool fromXml, const CQvMediaStore& store)
{
    if (topLevel) return type == 99 ? std::make_unique<CNormalDataBuilder>() : nullptr;
    switch (type) {
    case 3: return std::make_unique<CNetDataBuilder>();
    case 4: return std::make_unique<CLocalDataBuilder>(&store);
    case 5: return nullptr;
    case 21: return fromXml ? nullptr : std::make_unique<CNormalDataBuilder>();
    default: return std::make_unique<CNormalDataBuilder>();
    }
}

std::unique_ptr<CQvCommonNode> MakeNode(const NodeRow& row, bool topLevel, bool fromXml, const CQvMediaStore& store)
{
    auto node = std::make_unique<CQvCommonNode>(BuilderFor(row.type, topLevel, fromXml, store));
    node->SetId(row.id);
    node->SetName(row.name);
    node->SetCondition(row.condition);
    node->SetEdit(row.edit);
    node->SetType(row.type);
    node->SetIconId(row.iconId);
    return node;
}

// "Tree2.db" has no column for the display type, so a tree loaded from it takes each node's
// display type from "tree.xml" by the node's kind; without this the online pages came back as
// empty lists from the second start on.
using DisplayTypes = std::map<int, QString>;

DisplayTypes ReadDisplayTypes(const QString& path)
{
    DisplayTypes types;
    tinyxml2::XMLDocument doc;
    if (ReadXmlFile(path, doc) != XmlFileRead::Parsed) return types;
    // Children nest as deep as the tree's loader lets them.
    auto take = [&](auto&& self, const tinyxml2::XMLElement* e) -> void {
        const QString type = XmlAttrText(e, "displaytype");
        if (!type.isEmpty()) types.emplace(e->IntAttribute("type", 0), type);
        for (const tinyxml2::XMLElement* c = e->FirstChildElement("child"); c; c = c->NextSiblingElement("child")) self(self, c);
    };
    for (const tinyxml2::XMLElement* e = doc.FirstChildElement("root"); e; e = e->NextSiblingElement("root")) take(take, e);
    return types;
}

} // namespace

// ---- loading from "Tree2.db" --------------------------------------------------------------

class CQvNodeTree::Loader {
public:
    Loader(CQvMediaStore& store, CSqliteDb& db, DisplayTypes displayTypes)
        : m_store(store), m_db(db), m_displayTypes(std::move(displayTypes))
    {
    }

    int Top()
    {
        for (const NodeRow& row : ReadNodeRows(m_db, kRootKey)) {
            if (IsExiting()) return 2;
            std::unique_ptr<CQvCommonNode> node = MakeNode(row, true, false, m_store);
            SetDisplayType(*node);
            if (row.type != 30) {
                const QString parentName = HasNodeRows(m_db, row.name + QLatin1Char('+') + kRootKey) ? kRootKey : QString();
                if (Children(node.get(), parentName) == 2) return 2;
            }
            m_store.RegisterNode(node.get());
            m_store.AppendTopNode(std::move(node));
        }
        return 0;
    }

private:
    void SetDisplayType(CQvCommonNode& node) const
    {
        const auto it = m_displayTypes.find(node.GetType());
        if (it != m_displayTypes.end()) node.SetDisplayType(it->second);
    }

    void Members(IQvNode* node)
    {
        std::vector<QString> gids;
        {
            SqliteStatement stmt;
            if (m_db.Prepare(kSelectTreeListByKey, stmt) != kSqliteOk || Bind(stmt, ListKey(node)) != kSqliteOk) return;
            while (stmt.Step() == kSqliteRow) {
                const QString gid = stmt.ColumnText(1);
                if (!gid.isEmpty()) gids.push_back(gid);
            }
        }
        for (const QString& gid : gids) {
            if (CQvMusic* track = m_store.FindTrack(gid, 0)) {
                if (!(track->GetState() & STATE_REMOVED)) node->OfferTrack(track, 1);
            } else if (CQvMusic* stored = m_store.FindStoredTemp(gid)) {
                node->OfferTrack(stored, 1);
            }
        }
    }

    // The rows under `node` are keyed by its Name and, when the tree was written with parent
    // names, "+" and `parentName`.
    int Children(IQvNode* node, const QString& parentName)
    {
        Members(node);
        const QString key = parentName.isEmpty() ? node->GetName() : node->GetName() + QLatin1Char('+') + parentName;
        std::unique_ptr<CQvCommonNode> heldBack;
        for (const NodeRow& row : ReadNodeRows(m_db, key)) {
            if (IsExiting()) return 2;
            std::unique_ptr<CQvCommonNode> child = MakeNode(row, false, false, m_store);
            SetDisplayType(*child);
            child->SetParent(node);
            if (row.type == 5) {
                heldBack = std::move(child);
                continue;
            }
            if (row.name.compare(kLocalMusic, Qt::CaseInsensitive) == 0) {
                const MemberList& library = m_store.LibraryTracks();
                child->Tracks().reserve(library.size());
                child->TrackIndex().Reserve(library.size());
                for (CQvMusic* track : library) child->OfferTrack(track, 1);
            }
            IQvNode* added = AdoptChild(*node, std::move(child));
            if (!added) continue; // a second row of a name already there
            m_store.RegisterNode(added);
            if (row.type != 30 && Children(added, parentName.isEmpty() ? QString() : node->GetName()) == 2) return 2;
        }
        if (heldBack && node->GetType() == 0) {
            if (IQvNode* added = AdoptChild(*node, std::move(heldBack))) m_store.RegisterNode(added);
        }
        return 0;
    }

    CQvMediaStore& m_store;
    CSqliteDb& m_db;
    DisplayTypes m_displayTypes;
};

// ---- the tree -----------------------------------------------------------------------------

CQvNodeTree::CQvNodeTree(CMediaLibrary& library) : m_library(library)
{
    std::lock_guard lock(m_library.Mutex());
    if (!m_library.Store().TreeRoot()) m_library.Store().SetTreeRoot(std::make_unique<CQvCommonNode>());
    m_library.SetTreeHooks(this);
}

CQvNodeTree::~CQvNodeTree()
{
    m_library.SetTreeHooks(nullptr);
}

void CQvNodeTree::SetCloudGroupRemoval(CloudGroupRemoval removal)
{
    std::lock_guard lock(m_library.Mutex());
    m_cloudRemoval = std::move(removal);
}

CSqliteDb* CQvNodeTree::Tree()
{
    CQvConf& conf = m_library.Conf();
    CSqliteDb* db = conf.TreeDb();
    if (!db || !db->IsOpen()) db = conf.OpenTreeDb();
    return db && db->IsOpen() ? db : nullptr;
}

int CQvNodeTree::LoadTree()
{
    std::lock_guard lock(m_library.Mutex());
    CQvConf& conf = m_library.Conf();
    if (QFileInfo::exists(conf.DataDir() + QLatin1String(kTreeDbName))) return LoadFromDb();
    const QString xml = conf.DataDir() + QStringLiteral("tree.xml");
    if (!QFileInfo::exists(xml)) conf.InstallDefaultFiles();
    const int rc = LoadFromXml(xml);
    if (rc != -1 || !QFileInfo::exists(xml)) return rc;
    // A tree file that gives no tree is kept aside; the shipped one takes its place.
    if (MoveAsideDamaged(xml, "no tree can be read from it").isEmpty() || conf.InstallDefaultFiles() == 0) return rc;
    return LoadFromXml(xml);
}

int CQvNodeTree::LoadFromDb()
{
    std::lock_guard lock(m_library.Mutex());
    if (m_library.Store().TopNodeCount() > 0) return 0;
    CSqliteDb* db = Tree();
    if (!db) return -1;
    CQvConf& conf = m_library.Conf();
    const QString xml = conf.DataDir() + QStringLiteral("tree.xml");
    if (!QFileInfo::exists(xml)) conf.InstallDefaultFiles();
    DisplayTypes types = ReadDisplayTypes(xml);
    if (types.empty() && !conf.ResourceDir().isEmpty()) {
        WriteDebugLogA("%s gives no display types; the shipped ones are used", QFile::encodeName(xml).constData());
        types = ReadDisplayTypes(conf.ResourceDir() + QStringLiteral("tree.xml"));
    }
    return Loader(m_library.Store(), *db, std::move(types)).Top();
}

int CQvNodeTree::LoadFromXml(const QString& path)
{
    std::lock_guard lock(m_library.Mutex());
    CQvMediaStore& store = m_library.Store();
    if (store.TopNodeCount() > 0) return 0;
    tinyxml2::XMLDocument doc;
    if (ReadXmlFile(path, doc) != XmlFileRead::Parsed) return -1;

    auto rowOf = [&](const tinyxml2::XMLElement* e) {
        NodeRow row;
        row.type = e->IntAttribute("type", 0);
        row.id = XmlAttrText(e, "id");
        row.name = XmlAttrText(e, "name");
        row.condition = XmlAttrText(e, "condition");
        row.edit = e->IntAttribute("edit", 0);
        e->QueryIntAttribute("img", &row.iconId);
        return row;
    };
    auto children = [&](auto&& self, IQvNode* parent, const tinyxml2::XMLElement* e) -> void {
        for (const tinyxml2::XMLElement* c = e->FirstChildElement("child"); c; c = c->NextSiblingElement("child")) {
            const NodeRow row = rowOf(c);
            std::unique_ptr<CQvCommonNode> node = MakeNode(row, false, true, store);
            node->SetDisplayType(XmlAttrText(c, "displaytype"));
            if (row.type == 21) node->SetTracks(&store.LibraryTracks());
            node->GetListInfo()->displayName = row.name;
            node->GetListInfo()->stored = true;
            IQvNode* added = AdoptChild(*parent, std::move(node));
            if (!added) continue;
            store.RegisterNode(added);
            self(self, added, c);
        }
    };
    for (const tinyxml2::XMLElement* e = doc.FirstChildElement("root"); e; e = e->NextSiblingElement("root")) {
        std::unique_ptr<CQvCommonNode> node = MakeNode(rowOf(e), true, true, store);
        node->SetDisplayType(XmlAttrText(e, "displaytype"));
        children(children, node.get(), e);
        store.RegisterNode(node.get());
        store.AppendTopNode(std::move(node));
    }
    if (store.TopNodeCount() == 0) return -1;
    m_library.Conf().OpenAllMissing();
    SaveTree();
    return 0;
}

// ---- writing ------------------------------------------------------------------------------

// The node's row, then its children (depth first) or, for a list, its members.
void CQvNodeTree::Save(IQvNode* node)
{
    m_library.SaveNode(node, QString());
    if (node->GetType() == 30) return;
    if (node->ChildCount() > 0) {
        for (IQvNode* child : node->Children()) Save(child);
    } else if (!node->TrackIndex().IsEmpty()) {
        m_library.SaveListMembers(node);
    }
}

int CQvNodeTree::SaveTree()
{
    std::lock_guard lock(m_library.Mutex());
    if (!Tree()) return -1;
    CQvMediaStore& store = m_library.Store();
    for (int i = 0; i < store.TopNodeCount(); ++i) Save(store.GetTopNode(i));
    return 0;
}

// ---- offering tracks ----------------------------------------------------------------------

int CQvNodeTree::Offer(IQvNode* node, const std::vector<CQvMusic*>& tracks, int type, std::vector<char>& purged)
{
    const int nodeType = node->GetType();
    if (nodeType > 101 || nodeType == 3) return 0;
    int taken = 0;
    for (IQvNode* child : node->Children()) taken += Offer(child, tracks, type, purged);

    const bool offered = type == -1 || type == -2 || nodeType == type;
    std::vector<CQvMusic*> rows;
    for (size_t i = 0; i < tracks.size(); ++i) {
        CQvMusic* track = tracks[i];
        if (track->GetState() & STATE_REMOVED) {
            node->RemoveTrack(track);
            // Every list's rows of the track go with one statement.
            if (!purged[i]) {
                if (CSqliteDb* db = Tree()) db->Run(kDeleteTreeListByGid, track->GetInfo()->Gid);
                purged[i] = true;
            }
            continue;
        }
        if (!offered) continue;
        if (nodeType == 4 && type != -2) {
            if (node->OfferTrack(track, 0)) {
                ++taken;
                rows.push_back(track);
            }
        } else if (nodeType == 21) {
            if (node->OfferTrack(track, 0)) ++taken;
        }
    }
    // A list's rows of many tracks are written together.
    if (!rows.empty()) {
        m_library.AddTracksToList(node, rows);
        ListInfo* info = node->GetListInfo();
        if (info && !info->stored) {
            info->stored = true;
            m_library.SaveNode(node, QString());
        }
    }
    return taken;
}

int CQvNodeTree::OfferToLists(CQvMusic* track, int type) { return OfferManyToLists({track}, type); }

int CQvNodeTree::OfferManyToLists(const std::vector<CQvMusic*>& tracks, int type)
{
    std::lock_guard lock(m_library.Mutex());
    for (const CQvMusic* track : tracks)
        if (!track || !track->GetInfo()) return 0;
    CQvMediaStore& store = m_library.Store();
    std::vector<char> purged(tracks.size(), 0);
    int taken = 0;
    for (int i = 0; i < store.TopNodeCount(); ++i) taken += Offer(store.GetTopNode(i), tracks, type, purged);
    return taken;
}

// ---- user lists ---------------------------------------------------------------------------

IQvNode* CQvNodeTree::CreateList(const QString& name)
{
    std::lock_guard lock(m_library.Mutex());
    CQvMediaStore& store = m_library.Store();
    if (name.isEmpty() || store.FindNode(name)) return nullptr;
    IQvNode* parent = store.FindTopNodeByType(0);
    if (!parent) return nullptr;
    auto node = std::make_unique<CQvCommonNode>(std::make_unique<CNormalDataBuilder>());
    node->SetName(name);
    node->SetType(-1);
    node->SetIconId(4);
    node->GetListInfo()->displayName = name;
    const int at = parent->ChildCount() > 0 ? parent->ChildCount() - 1 : 0;
    IQvNode* added = AdoptChild(*parent, std::move(node), at);
    if (!added) return nullptr;
    m_library.RegisterNode(added);
    if (m_library.SaveNode(added, QString()) == 0) added->GetListInfo()->stored = true;
    return added;
}

int CQvNodeTree::RenameList(IQvNode* node, const QString& newName)
{
    std::lock_guard lock(m_library.Mutex());
    if (!node || newName.isEmpty()) return -1;
    ListInfo* info = node->GetListInfo();
    const QString oldName = node->GetName();
    if (oldName.compare(newName, Qt::CaseInsensitive) == 0) {
        if (info && info->displayName.compare(newName, Qt::CaseInsensitive) != 0) info->displayName = newName;
        return 0;
    }
    // Two lists of one name would share their stored rows and one of them would be lost.
    CQvMediaStore& store = m_library.Store();
    const IQvNode* owner = store.FindNode(newName);
    if ((owner && owner != node) || (node->GetParent() && node->GetParent()->FindChild(newName))) return -1;
    if (info && info->displayName.compare(newName, Qt::CaseInsensitive) != 0) info->displayName = newName;

    const QString oldListKey = ListKey(node);
    m_library.SaveNode(node, newName);
    // A node the index does not hold is renamed all the same.
    if (m_library.RenameNodeKey(oldName, newName) == 0) node->SetName(newName);
    // The rows move with the list, those of members this start did not load included.
    if (CSqliteDb* db = Tree()) db->Run(kMoveTreeList, ListKey(node), oldListKey);
    if (!node->TrackIndex().IsEmpty()) m_library.SaveListMembers(node);
    return 1;
}

void CQvNodeTree::DeleteStoredRows(IQvNode* node)
{
    CSqliteDb* db = Tree();
    if (!db) return;
    const QString key = NodeKey(node);
    QString storedName;
    bool exists = false;
    for (const NodeRow& row : ReadNodeRows(*db, key)) {
        if (row.name.compare(node->GetName(), Qt::CaseInsensitive) == 0) {
            storedName = row.name;
            exists = true;
            break;
        }
    }
    if (!exists) return;
    db->Run(kDeleteTreeNodeRow, key, storedName);
    if (node->GetParent()) db->Run(kDeleteTreeListByKey, ListKey(node));
}

int CQvNodeTree::DeleteList(IQvNode* node)
{
    if (!node) return -1;
    CloudGroupRemoval removal;
    QString name;
    ListInfo info;
    {
        std::lock_guard lock(m_library.Mutex());
        removal = m_cloudRemoval;
        name = node->GetName();
        if (node->GetListInfo()) info = *node->GetListInfo();
    }
    if (removal) removal(name, info);
    std::lock_guard lock(m_library.Mutex());
    if (m_library.Store().FindNode(name) == node) m_library.UnregisterNode(name);
    DeleteStoredRows(node);
    return 0;
}

int CQvNodeTree::DeleteListByName(const QString& name)
{
    std::lock_guard lock(m_library.Mutex());
    IQvNode* node = m_library.Store().FindNode(name);
    if (!node) return -1;
    m_library.UnregisterNode(name);
    DeleteStoredRows(node);
    return 0;
}

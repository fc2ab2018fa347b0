#include "store/CQvMediaStore.h"

#include "model/TrackInfo.h"

#include <algorithm>

const QString kRootKey = QStringLiteral("根结点");

QString NodeKey(const IQvNode* node)
{
    const IQvNode* parent = node ? node->GetParent() : nullptr;
    if (!parent) return kRootKey;
    const IQvNode* grand = parent->GetParent();
    return parent->GetName() + QLatin1Char('+') + (grand ? grand->GetName() : kRootKey);
}

QString ListKey(const IQvNode* node)
{
    if (!node) return QString();
    const IQvNode* parent = node->GetParent();
    return node->GetName() + QLatin1Char('+') + (parent ? parent->GetName() : kRootKey);
}

QString ServiceKey(const CQvMusic* track)
{
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info) return QString();
    return info->Rare().Sysid.isEmpty() ? info->Rare().CmsID : info->Rare().Sysid;
}

namespace {

template <class Map>
typename Map::mapped_type Lookup(const Map& map, const QString& key)
{
    const auto it = map.find(key);
    return it == map.end() ? nullptr : it->second;
}

void EraseFrom(MemberList& list, CQvMusic* track)
{
    const auto it = std::find(list.begin(), list.end(), track);
    if (it != list.end()) list.erase(it);
}

} // namespace

CQvMediaStore::CQvMediaStore() = default;

CQvMediaStore::~CQvMediaStore()
{
    // The tree borrows tracks: it goes first.
    m_topNodes.clear();
    m_pRoot.reset();
}

CQvMediaStore& CQvMediaStore::Instance()
{
    static CQvMediaStore store;
    return store;
}

CQvMusic* CQvMediaStore::FindTrack(const QString& key, int kind) const
{
    if (key.isEmpty()) return nullptr;
    if (kind == 0) {
        if (CQvMusic* t = m_libraryIndex.Find(key)) return t;
        return m_tempIndex.Find(key);
    }
    if (kind == 1 || kind == 2) return Lookup(m_serviceIndex, key);
    return nullptr;
}

CQvMusic* CQvMediaStore::FindStoredTemp(const QString& gid) const
{
    return gid.isEmpty() ? nullptr : m_storedTemp.Find(gid);
}

IQvNode* CQvMediaStore::FindNode(const QString& name) const { return Lookup(m_nodes, name); }

IQvNode* CQvMediaStore::FindTopNodeByType(int type) const
{
    for (const auto& n : m_topNodes)
        if (n->GetType() == type) return n.get();
    return nullptr;
}

IQvNode* CQvMediaStore::FindTopNodeByName(const QString& name) const
{
    for (const auto& n : m_topNodes)
        if (n->GetName().compare(name, Qt::CaseInsensitive) == 0) return n.get();
    return nullptr;
}

IQvNode* CQvMediaStore::FindDescendant(IQvNode* node, const QString& name)
{
    if (!node) return nullptr;
    for (IQvNode* child : node->Children()) {
        if (child->GetName().compare(name, Qt::CaseInsensitive) == 0) return child;
        if (child->ChildCount() > 0)
            if (IQvNode* found = FindDescendant(child, name)) return found;
    }
    return nullptr;
}

IQvNode* CQvMediaStore::GetTopNode(int index) const
{
    if (index < 0 || index >= TopNodeCount()) return nullptr;
    return m_topNodes[static_cast<size_t>(index)].get();
}

int CQvMediaStore::GetStatistic(const QString& gid, PlayStatistic& out) const
{
    const auto it = m_statistics.find(gid);
    if (it == m_statistics.end()) return -1;
    out = it->second;
    return 1;
}

int CQvMediaStore::GetStatistic(const TrackGid& gid, PlayStatistic& out) const
{
    const auto it = m_statistics.find(gid);
    if (it == m_statistics.end()) return -1;
    out = it->second;
    return 1;
}

void CQvMediaStore::AppendTopNode(std::unique_ptr<IQvNode> node)
{
    if (node) m_topNodes.push_back(std::move(node));
}

void CQvMediaStore::ClearTopNodes() { m_topNodes.clear(); }

void CQvMediaStore::SetTreeRoot(std::unique_ptr<IQvNode> root) { m_pRoot = std::move(root); }

void CQvMediaStore::Keep(CQvMusic* track) { m_kept.emplace_back(track); }

int CQvMediaStore::Add(CQvMusic* track)
{
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info) return 0;
    const QString key = ServiceKey(track);
    const bool duplicate = !key.isEmpty() && m_serviceIndex.count(key) > 0;
    if ((track->GetState() & STATE_REMOVED) || duplicate) {
        track->AddState(STATE_REMOVED);
        if (!m_tempIndex.Insert(track)) return 0;
        m_temp.push_back(track);
        Keep(track);
        return 1;
    }
    if (!m_libraryIndex.Insert(track)) return 0;
    if (m_bLoading) m_loading.push_back(track);
    else m_library.insert(m_library.begin(), track);
    if (!key.isEmpty()) m_serviceIndex.emplace(key, track);
    Keep(track);
    return 1;
}

bool CQvMediaStore::MoveToTemp(CQvMusic* track)
{
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info) return false;
    if (!m_libraryIndex.EraseTrack(track)) return false;
    EraseFrom(m_library, track);
    const QString key = ServiceKey(track);
    const auto sit = m_serviceIndex.find(key);
    if (sit != m_serviceIndex.end() && sit->second == track) m_serviceIndex.erase(sit);
    // Found again by its Gid, so the same file is not imported anew as if it had never been.
    if (m_tempIndex.Insert(track)) m_temp.push_back(track);
    return true;
}

bool CQvMediaStore::MoveToLibrary(CQvMusic* track)
{
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info) return false;
    if (!m_tempIndex.EraseTrack(track)) return false;
    EraseFrom(m_temp, track);
    if (m_libraryIndex.Insert(track)) {
        m_library.insert(m_library.begin(), track);
        const QString key = ServiceKey(track);
        if (!key.isEmpty()) m_serviceIndex.emplace(key, track);
    }
    return true;
}

void CQvMediaStore::Forget(const TrackSet& gone)
{
    if (gone.empty()) return;
    auto leave = [&gone](MemberList& list) {
        list.erase(std::remove_if(list.begin(), list.end(), [&gone](const CQvMusic* t) { return gone.count(t) > 0; }),
                   list.end());
    };
    leave(m_library);
    leave(m_temp);
    auto unindex = [](TextKeyMap<CQvMusic*>& index, const QString& key, const CQvMusic* track) {
        const auto it = index.find(key);
        if (it != index.end() && it->second == track) index.erase(it);
    };
    for (const CQvMusic* track : gone) {
        const TrackInfo* info = track->GetInfo();
        if (!info) continue;
        m_libraryIndex.EraseTrack(track);
        m_tempIndex.EraseTrack(track);
        if (const QString key = ServiceKey(track); !key.isEmpty()) unindex(m_serviceIndex, key, track);
    }
    for (size_t i = m_mostPlayed.size(); i-- > 0;) {
        if (!gone.count(m_mostPlayed[i])) continue;
        m_mostPlayed.erase(m_mostPlayed.begin() + static_cast<std::ptrdiff_t>(i));
        m_mostPlayedStats.erase(m_mostPlayedStats.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void CQvMediaStore::PutStoredTemp(CQvMusic* track)
{
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (!info) return;
    m_storedTemp.Put(track);
    Keep(track);
}

void CQvMediaStore::PutStatistic(const QString& gid, const PlayStatistic& statistic)
{
    m_statistics.insert_or_assign(TrackGid(gid), statistic);
}

void CQvMediaStore::AddMostPlayed(CQvMusic* track, bool force)
{
    if (!track || !track->GetInfo()) return;
    if (!force && std::find(m_mostPlayed.begin(), m_mostPlayed.end(), track) != m_mostPlayed.end()) return;
    auto statisticOf = [this](const CQvMusic* t) -> const PlayStatistic* {
        const auto it = m_statistics.find(t->GetInfo()->Gid);
        return it == m_statistics.end() ? nullptr : &it->second;
    };
    constexpr size_t kAppendUpTo = 50;
    if (m_mostPlayed.size() <= kAppendUpTo) {
        m_mostPlayed.push_back(track);
        m_mostPlayedStats.push_back(statisticOf(track));
        return;
    }
    int smallest = 10;
    size_t victim = 0;
    for (size_t i = 0; i < m_mostPlayed.size(); ++i) {
        const PlayStatistic*& s = m_mostPlayedStats[i];
        if (!s) s = statisticOf(m_mostPlayed[i]);
        const int n = s ? s->Totle : 0;
        if (n < smallest) {
            smallest = n;
            victim = i;
        }
    }
    const PlayStatistic* own = statisticOf(track);
    if ((own ? own->Totle : 0) < smallest) return;
    m_mostPlayed.erase(m_mostPlayed.begin() + static_cast<std::ptrdiff_t>(victim));
    m_mostPlayedStats.erase(m_mostPlayedStats.begin() + static_cast<std::ptrdiff_t>(victim));
    m_mostPlayed.push_back(track);
    m_mostPlayedStats.push_back(own);
}

bool CQvMediaStore::RegisterNode(IQvNode* node)
{
    if (!node) return false;
    return m_nodes.emplace(node->GetName(), node).second;
}

void CQvMediaStore::UnregisterNode(const QString& name) { m_nodes.erase(name); }

bool CQvMediaStore::RenameNode(const QString& oldName, const QString& newName)
{
    const auto it = m_nodes.find(oldName);
    if (it == m_nodes.end()) return false;
    IQvNode* node = it->second;
    m_nodes.erase(it);
    // The renamed list is the one the user is looking at: it takes the name.
    m_nodes[newName] = node;
    node->SetName(newName);
    return true;
}

void CQvMediaStore::BeginLoad(size_t expected)
{
    m_bLoading = true;
    m_loading.clear();
    // An import gathers a batch at a time and gives no count: sizing the indexes to each batch
    // would rehash them every time.
    if (expected == 0) return;
    m_loading.reserve(expected);
    m_libraryIndex.Reserve(m_libraryIndex.Size() + expected);
    // Every loaded track is kept; the statistics are sized by their own load, to the tracks
    // played rather than to the library.
    m_kept.reserve(m_kept.size() + expected);
}

void CQvMediaStore::EndLoad()
{
    m_bLoading = false;
    m_library.insert(m_library.begin(), m_loading.rbegin(), m_loading.rend());
    m_loading.clear();
    m_loading.shrink_to_fit();
}

void CQvMediaStore::Clear()
{
    m_topNodes.clear();
    m_nodes.clear();
    m_library.clear();
    m_libraryIndex.Clear();
    m_serviceIndex.clear();
    m_temp.clear();
    m_tempIndex.Clear();
    m_storedTemp.Clear();
    m_statistics.clear();
    m_mostPlayed.clear();
    m_mostPlayedStats.clear();
    m_kept.clear();
}

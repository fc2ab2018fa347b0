#include "library/CQvCommonNode.h"

#include "model/CQvMusic.h"
#include "model/TrackInfo.h"

#include <algorithm>

CQvCommonNode::CQvCommonNode(std::unique_ptr<IQvDataBuilder> builder)
    : m_pBuilder(std::move(builder)), m_nType(m_pBuilder ? -1 : -2)
{
    if (m_pBuilder) m_pBuilder->SetNode(this);
}

CQvCommonNode::~CQvCommonNode() = default;

IQvNode* CQvCommonNode::GetChild(int index) const
{
    return index >= 0 && index < ChildCount() ? m_children[size_t(index)] : nullptr;
}

CQvMusic* CQvCommonNode::GetTrack(int index) const
{
    return index >= 0 && index < TrackCount() ? (*m_pTracks)[size_t(index)] : nullptr;
}

CQvMusic* CQvCommonNode::GetBuilderTrack(int index) const
{
    if (!m_pBuilder || index < 0 || index >= TrackCount()) return nullptr;
    return m_pBuilder->GetItem(index, *m_pTracks);
}

int CQvCommonNode::InsertChild(IQvNode* node, int index)
{
    if (!node || node == this || index < 0 || index > ChildCount()) return 0;
    const QString name = node->GetName();
    if (m_childrenByName.count(name)) return 0;
    node->SetParent(this);
    m_children.insert(m_children.begin() + index, node);
    m_owned.emplace_back(node);
    m_childrenByName.emplace(name, node);
    return 1;
}

int CQvCommonNode::AppendChild(IQvNode* node) { return InsertChild(node, ChildCount()); }

bool CQvCommonNode::OfferTrack(CQvMusic* track, int force)
{
    return track && track->GetInfo() && m_pBuilder && m_pBuilder->Accept(track, *m_pTracks, m_index, force) == 1;
}

void CQvCommonNode::AppendTrack(CQvMusic* track)
{
    if (!track || std::find(m_pTracks->begin(), m_pTracks->end(), track) != m_pTracks->end()) return;
    // The member index is what the list's rows are written from: a track appended without it
    // would be shown until the program ends and gone after a restart.
    if (const TrackInfo* info = track->GetInfo(); info && !info->Gid.isEmpty()) {
        if (!m_index.Insert(track)) return;
    }
    m_pTracks->push_back(track);
}

void CQvCommonNode::RemoveChild(IQvNode* node)
{
    const auto it = std::find(m_children.begin(), m_children.end(), node);
    if (it == m_children.end()) return;
    m_children.erase(it);
    const auto named = m_childrenByName.find(node->GetName());
    if (named != m_childrenByName.end() && named->second == node) m_childrenByName.erase(named);
    // Deletes the child and its subtree.
    m_owned.erase(std::find_if(m_owned.begin(), m_owned.end(),
                               [node](const std::unique_ptr<IQvNode>& n) { return n.get() == node; }));
}

void CQvCommonNode::RemoveTrack(CQvMusic* track)
{
    if (!track) return;
    if (m_pBuilder) m_pBuilder->Forget(track, *m_pTracks, m_index);
    if (const TrackInfo* info = track->GetInfo()) m_index.Erase(info->Gid);
    const auto it = std::find(m_pTracks->begin(), m_pTracks->end(), track);
    if (it != m_pTracks->end()) m_pTracks->erase(it);
}

void CQvCommonNode::RemoveTracks(const TrackSet& gone)
{
    if (gone.empty()) return;
    MemberList& members = *m_pTracks;
    const auto kept = std::remove_if(members.begin(), members.end(), [&](CQvMusic* track) {
        if (!gone.count(track)) return false;
        // The keyed builders forget the service key only; the members are left to this pass.
        MemberList none;
        if (m_pBuilder) m_pBuilder->Forget(track, none, m_index);
        m_index.EraseTrack(track);
        return true;
    });
    members.erase(kept, members.end());
}

IQvNode* CQvCommonNode::FindChild(const QString& name) const
{
    const auto it = m_childrenByName.find(name);
    return it == m_childrenByName.end() ? nullptr : it->second;
}

void CQvCommonNode::SetTracks(MemberList* shared)
{
    if (!shared) return;
    m_ownTracks.clear();
    m_pTracks = shared;
    m_bSharesMembers = true;
}

namespace {
template <class Pred>
int CountLocal(const MemberList& tracks, Pred flag)
{
    return int(std::count_if(tracks.begin(), tracks.end(), [&](const CQvMusic* t) {
        const TrackInfo* info = t ? t->GetInfo() : nullptr;
        return info && !info->LSrc.isEmpty() && flag(*info);
    }));
}
} // namespace

int CQvCommonNode::CountWithPicture() const
{
    return CountLocal(*m_pTracks, [](const TrackInfo& i) { return i.Pic != 0; });
}

int CQvCommonNode::CountWithLyrics() const
{
    return CountLocal(*m_pTracks, [](const TrackInfo& i) { return i.Lrc != 0; });
}

void CQvCommonNode::SetName(const QString& name)
{
    const QString old = m_strName;
    m_strName = name;
    if (m_pParent && old != name) m_pParent->OnChildRenamed(this, old);
}

int CQvCommonNode::OnChildRenamed(IQvNode* child, const QString& oldName)
{
    const auto it = m_childrenByName.find(oldName);
    if (it == m_childrenByName.end() || it->second != child) return 0;
    m_childrenByName.erase(it);
    m_childrenByName.emplace(child->GetName(), child);
    return 1;
}

IQvNode* AdoptChild(IQvNode& parent, std::unique_ptr<IQvNode> node, int index)
{
    if (!node) return nullptr;
    if (index < 0) index = parent.ChildCount();
    if (!parent.InsertChild(node.get(), index)) return nullptr;
    return node.release();
}

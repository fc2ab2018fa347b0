#include "library/CQvCommonNode.h"

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
    return index >= 0 && index < ChildCount() ? m_children[size_t(index)].get() : nullptr;
}

CQvMusic* CQvCommonNode::GetTrack(int index) const
{
    return index >= 0 && index < TrackCount() ? (*m_pTracks)[size_t(index)].get() : nullptr;
}

CQvMusic* CQvCommonNode::GetBuilderTrack(int index) const
{
    if (!m_pBuilder || index < 0 || index >= TrackCount()) return nullptr;
    return m_pBuilder->GetItem(index, *m_pTracks);
}

IQvNode* CQvCommonNode::InsertChild(std::unique_ptr<IQvNode> node, int index)
{
    if (!node || index < 0 || index > ChildCount()) return nullptr;
    const QString name = node->GetName();
    if (m_childrenByName.count(name)) return nullptr;
    IQvNode* child = node.get();
    child->SetParent(this);
    m_children.insert(m_children.begin() + index, std::move(node));
    m_childrenByName.emplace(name, child);
    return child;
}

IQvNode* CQvCommonNode::AppendChild(std::unique_ptr<IQvNode> node)
{
    return InsertChild(std::move(node), ChildCount());
}

bool CQvCommonNode::OfferTrack(CQvMusic* track, int force)
{
    return track && m_pBuilder && m_pBuilder->Accept(track, *m_pTracks, m_index, force) == 1;
}

void CQvCommonNode::AppendTrack(CQvMusic* track)
{
    if (!track) return;
    if (std::any_of(m_pTracks->begin(), m_pTracks->end(), [track](const TrackRef& t) { return t.get() == track; }))
        return;
    m_pTracks->push_back(TrackRef(track));
}

void CQvCommonNode::RemoveChild(IQvNode* node)
{
    const auto it = std::find_if(m_children.begin(), m_children.end(),
                                 [node](const std::unique_ptr<IQvNode>& c) { return c.get() == node; });
    if (it == m_children.end()) return;
    const auto named = m_childrenByName.find(node->GetName());
    if (named != m_childrenByName.end() && named->second == node) m_childrenByName.erase(named);
    m_children.erase(it); // deletes the child and its subtree
}

void CQvCommonNode::RemoveTrack(CQvMusic* track)
{
    if (!track) return;
    if (m_pBuilder) m_pBuilder->Forget(track, *m_pTracks, m_index);
    if (const TrackInfo* info = track->GetInfo()) m_index.erase(info->Gid);
    const auto it = std::find_if(m_pTracks->begin(), m_pTracks->end(),
                                 [track](const TrackRef& t) { return t.get() == track; });
    if (it != m_pTracks->end()) m_pTracks->erase(it);
}

IQvNode* CQvCommonNode::FindChild(const QString& name) const
{
    const auto it = m_childrenByName.find(name);
    return it == m_childrenByName.end() ? nullptr : it->second;
}

void CQvCommonNode::SetTracks(TrackList* shared)
{
    if (!shared) return;
    m_ownTracks.clear();
    m_pTracks = shared;
    m_bSharesMembers = true;
}

int CQvCommonNode::CountWithPicture() const
{
    return int(std::count_if(m_pTracks->begin(), m_pTracks->end(), [](const TrackRef& t) {
        const TrackInfo* info = t ? t->GetInfo() : nullptr;
        return info && !info->LSrc.isEmpty() && info->Pic != 0;
    }));
}

int CQvCommonNode::CountWithLyrics() const
{
    return int(std::count_if(m_pTracks->begin(), m_pTracks->end(), [](const TrackRef& t) {
        const TrackInfo* info = t ? t->GetInfo() : nullptr;
        return info && !info->LSrc.isEmpty() && info->Lrc != 0;
    }));
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

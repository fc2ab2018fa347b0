#pragma once
#include "library/IQvDataBuilder.h"
#include "library/ListInfo.h"

#include <map>
#include <memory>
#include <vector>

// The one node class. A node owns its children and its builder; its members are tracks the store
// owns, in a sequence of its own or, after SetTracks, in the library's.
class CQvCommonNode final : public IQvNode {
public:
    // With a builder the node starts as a user list (Type -1), without one as Type -2.
    explicit CQvCommonNode(std::unique_ptr<IQvDataBuilder> builder = nullptr);
    ~CQvCommonNode() override;
    CQvCommonNode(const CQvCommonNode&) = delete;
    CQvCommonNode& operator=(const CQvCommonNode&) = delete;

    int ChildCount() const override { return static_cast<int>(m_children.size()); }
    int TrackCount() const override { return static_cast<int>(m_pTracks->size()); }
    IQvNode* GetChild(int index) const override;
    CQvMusic* GetTrack(int index) const override;
    CQvMusic* GetBuilderTrack(int index) const override;
    IQvNode* GetParent() const override { return m_pParent; }
    void SetParent(IQvNode* parent) override { m_pParent = parent; }
    // On success the node belongs to this one (and this is its parent); on failure (0: index
    // beyond the end, or a child of that Name exists) it stays the caller's.
    int InsertChild(IQvNode* node, int index) override;
    int AppendChild(IQvNode* node) override;
    bool OfferTrack(CQvMusic* track, int force) override;
    // Appends and indexes by Gid, unless the track or its Gid is already a member.
    void AppendTrack(CQvMusic* track) override;
    void RemoveChild(IQvNode* node) override;
    void RemoveTrack(CQvMusic* track) override;
    // One pass over the members, however many leave.
    void RemoveTracks(const TrackSet& gone) override;
    IQvNode* FindChild(const QString& name) const override;
    const std::vector<IQvNode*>& Children() const override { return m_children; }
    MemberList& Tracks() override { return *m_pTracks; }
    void SetTracks(MemberList* shared) override;
    MemberIndex& TrackIndex() override { return m_index; }
    int CountWithPicture() const override;
    int CountWithLyrics() const override;
    QString GetId() const override { return m_strId; }
    void SetId(const QString& id) override { m_strId = id; }
    QString GetName() const override { return m_strName; }
    void SetName(const QString& name) override;
    void SetCondition(const QString& condition) override { m_strCondition = condition; }
    QString GetCondition() const override { return m_strCondition; }
    void SetDisplayType(const QString& type) override { m_strDisplayType = type; }
    QString GetDisplayType() const override { return m_strDisplayType; }
    int GetEdit() const override { return m_nEdit; }
    void SetEdit(int edit) override { m_nEdit = edit; }
    int GetType() const override { return m_nType; }
    void SetType(int type) override { m_nType = type; }
    int GetIconId() const override { return m_nIconId; }
    void SetIconId(int id) override { m_nIconId = id; }
    ListInfo* GetListInfo() override { return &m_listInfo; }
    ShareInfo* GetShareInfo() override { return &m_shareInfo; }
    int OnChildRenamed(IQvNode* child, const QString& oldName) override;

    bool SharesMembers() const { return m_bSharesMembers; }

private:
    std::unique_ptr<IQvDataBuilder> m_pBuilder;
    int m_nEdit = 0;
    int m_nType;
    QString m_strId;
    int m_nIconId = -1;
    QString m_strCondition;
    QString m_strDisplayType;
    QString m_strName;
    std::vector<IQvNode*> m_children;           // in order; each owned through m_owned
    std::vector<std::unique_ptr<IQvNode>> m_owned;
    std::map<QString, IQvNode*> m_childrenByName;
    MemberList m_ownTracks;
    MemberList* m_pTracks = &m_ownTracks;
    MemberIndex m_index;
    IQvNode* m_pParent = nullptr;
    bool m_bSharesMembers = false;
    ListInfo m_listInfo;
    ShareInfo m_shareInfo;
};

// Gives `node` to `parent` at `index` (append when -1): the child, or null when the parent
// refused it (the node is then deleted).
IQvNode* AdoptChild(IQvNode& parent, std::unique_ptr<IQvNode> node, int index = -1);

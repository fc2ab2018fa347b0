#pragma once
// A plain list node for the store's tests. The tree's own node class belongs to the list tree,
// which builds on the store; this one holds children and members and accepts every track.
#include "store/IQvNode.h"

#include "model/CQvMusic.h"
#include "model/TrackInfo.h"

#include <algorithm>
#include <memory>

class FakeNode final : public IQvNode {
public:
    FakeNode(const QString& name, int type) : m_name(name), m_type(type) {}
    ~FakeNode() override
    {
        for (IQvNode* c : m_children) delete c;
    }
    int ChildCount() const override { return static_cast<int>(m_children.size()); }
    int TrackCount() const override { return static_cast<int>(m_members.size()); }
    IQvNode* GetChild(int i) const override { return i >= 0 && i < ChildCount() ? m_children[size_t(i)] : nullptr; }
    CQvMusic* GetTrack(int i) const override { return i >= 0 && i < TrackCount() ? m_members[size_t(i)] : nullptr; }
    CQvMusic* GetBuilderTrack(int) const override { return nullptr; }
    IQvNode* GetParent() const override { return m_parent; }
    void SetParent(IQvNode* p) override { m_parent = p; }
    int InsertChild(IQvNode* n, int i) override
    {
        m_children.insert(m_children.begin() + i, n);
        n->SetParent(this);
        return 1;
    }
    int AppendChild(IQvNode* n) override { return InsertChild(n, ChildCount()); }
    bool OfferTrack(CQvMusic* t, int) override
    {
        if (!m_index.Insert(t)) return false;
        m_members.push_back(t);
        return true;
    }
    void AppendTrack(CQvMusic* t) override { m_members.push_back(t); }
    void RemoveChild(IQvNode* n) override
    {
        m_children.erase(std::find(m_children.begin(), m_children.end(), n));
        delete n;
    }
    void RemoveTrack(CQvMusic* t) override
    {
        m_index.Erase(t->GetInfo()->Gid);
        m_members.erase(std::remove(m_members.begin(), m_members.end(), t), m_members.end());
    }
    IQvNode* FindChild(const QString& name) const override
    {
        for (IQvNode* c : m_children)
            if (c->GetName() == name) return c;
        return nullptr;
    }
    const std::vector<IQvNode*>& Children() const override { return m_children; }
    MemberList& Tracks() override { return m_members; }
    void SetTracks(MemberList*) override {}
    MemberIndex& TrackIndex() override { return m_index; }
    int CountWithPicture() const override { return 0; }
    int CountWithLyrics() const override { return 0; }
    QString GetId() const override { return m_id; }
    void SetId(const QString& id) override { m_id = id; }
    QString GetName() const override { return m_name; }
    void SetName(const QString& name) override { m_name = name; }
    void SetCondition(const QString& c) override { m_condition = c; }
    QString GetCondition() const override { return m_condition; }
    void SetDisplayType(const QString&) override {}
    QString GetDisplayType() const override { return QString(); }
    int GetEdit() const override { return m_edit; }
    void SetEdit(int e) override { m_edit = e; }
    int GetType() const override { return m_type; }
    void SetType(int t) override { m_type = t; }
    int GetIconId() const override { return m_icon; }
    void SetIconId(int i) override { m_icon = i; }
    ListInfo* GetListInfo() override { return nullptr; }
    ShareInfo* GetShareInfo() override { return nullptr; }
    int OnChildRenamed(IQvNode*, const QString&) override { return 1; }

    FakeNode* Add(const QString& name, int type)
    {
        auto* n = new FakeNode(name, type);
        AppendChild(n);
        return n;
    }

private:
    QString m_name;
    int m_type;
    QString m_id;
    QString m_condition;
    int m_edit = 0;
    int m_icon = -1;
    IQvNode* m_parent = nullptr;
    std::vector<IQvNode*> m_children;
    MemberList m_members;
    MemberIndex m_index;
};

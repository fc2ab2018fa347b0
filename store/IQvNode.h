#pragma once
#include "store/GidIndex.h"

#include <QString>

#include <unordered_set>
#include <vector>

class CQvMusic;
struct ListInfo;   // a list's cloud-group record, defined with the list tree
struct ShareInfo;  // a list's sharing record, defined with the list tree

// A node's member tracks (borrowed from the store) and its index by Gid. The store's library
// sequence is a MemberList too, so the local-music view can take it as its members. The index
// holds only the tracks: the library list indexes every track of the library at each start,
// and nothing walks an index in Gid order.
using MemberList = std::vector<CQvMusic*>;
using MemberIndex = GidIndex;
// Tracks that leave together (a check of the library's files found them gone).
using TrackSet = std::unordered_set<const CQvMusic*>;

// One entry of the tree of lists. The operations keep the order of the node interface's slots.
class IQvNode {
public:
    virtual ~IQvNode() = default;                                          //  0
    virtual int ChildCount() const = 0;                                    //  1
    virtual int TrackCount() const = 0;                                    //  2
    virtual IQvNode* GetChild(int index) const = 0;                        //  3
    virtual CQvMusic* GetTrack(int index) const = 0;                       //  4
    virtual CQvMusic* GetBuilderTrack(int index) const = 0;                //  5
    virtual IQvNode* GetParent() const = 0;                                //  6
    virtual void SetParent(IQvNode* parent) = 0;                           //  7
    virtual int InsertChild(IQvNode* node, int index) = 0;                 //  8
    virtual int AppendChild(IQvNode* node) = 0;                            //  9
    virtual bool OfferTrack(CQvMusic* track, int force) = 0;               // 10
    virtual void AppendTrack(CQvMusic* track) = 0;                         // 11
    virtual void RemoveChild(IQvNode* node) = 0;                           // 12
    virtual void RemoveTrack(CQvMusic* track) = 0;                         // 13
    virtual IQvNode* FindChild(const QString& name) const = 0;             // 14
    virtual const std::vector<IQvNode*>& Children() const = 0;             // 15
    virtual MemberList& Tracks() = 0;                                      // 16
    virtual void SetTracks(MemberList* shared) = 0;                        // 17
    virtual MemberIndex& TrackIndex() = 0;                                 // 18
    virtual int CountWithPicture() const = 0;                              // 19
    virtual int CountWithLyrics() const = 0;                               // 20
    virtual QString GetId() const = 0;                                     // 21
    virtual void SetId(const QString& id) = 0;                             // 22
    virtual QString GetName() const = 0;                                   // 23
    virtual void SetName(const QString& name) = 0;                         // 24
    virtual void SetCondition(const QString& condition) = 0;               // 25
    virtual QString GetCondition() const = 0;                              // 26
    virtual void SetDisplayType(const QString& displayType) = 0;           // 27
    virtual QString GetDisplayType() const = 0;                            // 28
    virtual int GetEdit() const = 0;                                       // 29
    virtual void SetEdit(int edit) = 0;                                    // 30
    virtual int GetType() const = 0;                                       // 31
    virtual void SetType(int type) = 0;                                    // 32
    virtual int GetIconId() const = 0;                                     // 33
    virtual void SetIconId(int iconId) = 0;                                // 34
    virtual ListInfo* GetListInfo() = 0;                                   // 35
    virtual ShareInfo* GetShareInfo() = 0;                                 // 36
    virtual int OnChildRenamed(IQvNode* child, const QString& oldName) = 0; // 37
    // Forgets every member that `gone` holds, as RemoveTrack forgets one.
    virtual void RemoveTracks(const TrackSet& gone)                        // 38
    {
        std::vector<CQvMusic*> leaving;
        for (CQvMusic* track : Tracks())
            if (gone.count(track)) leaving.push_back(track);
        for (CQvMusic* track : leaving) RemoveTrack(track);
    }
};

// The Key of a node without parent, and the end of every key whose node has no grandparent.
extern const QString kRootKey; // "根结点"

// The node's stored TreeNode Key: its parent's Name + "+" + (grandparent's Name or the root
// key), or the root key for a top-level node.
QString NodeKey(const IQvNode* node);
// The Key its members are stored under in TreeList: its Name + "+" + (parent's Name or the root
// key).
QString ListKey(const IQvNode* node);

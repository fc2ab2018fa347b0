#pragma once
#include "model/CQvMusic.h"

#include <QString>

#include <map>
#include <memory>
#include <vector>

// A list's members: each holds a reference, so a track lives as long as some list shows it.
using TrackList = std::vector<TrackRef>;
// A list's members by Gid.
using TrackIndex = std::map<QString, CQvMusic*>;

class IQvNode;
using NodeList = std::vector<std::unique_ptr<IQvNode>>;

// What cloud play groups and the tree pane keep about a list besides its members.
struct NodeListInfo {
    QString displayName;
    bool stored = false; // the node's TreeNode row is known to exist
    int groupId = 0;     // the service's id of the play group the node shows (cloud groups)
    QString groupName;
    bool loaded = false; // a cloud group's songs have been fetched
};

// What sharing a list keeps; nothing fills it yet.
struct NodeShareInfo {
};

// One entry of the tree of lists: child nodes, member tracks and the builder that decides which
// tracks it takes. The operations keep the order of the node interface's slots.
class IQvNode {
public:
    virtual ~IQvNode() = default;                                           //  0
    virtual int ChildCount() const = 0;                                     //  1
    virtual int TrackCount() const = 0;                                     //  2
    virtual IQvNode* GetChild(int index) const = 0;                         //  3 null out of range
    virtual CQvMusic* GetTrack(int index) const = 0;                        //  4 null out of range
    virtual CQvMusic* GetBuilderTrack(int index) const = 0;                 //  5
    virtual IQvNode* GetParent() const = 0;                                 //  6
    virtual void SetParent(IQvNode* parent) = 0;                            //  7
    // Takes the node and makes this its parent; null (and the node deleted) when index > count
    // or a child of that Name exists.
    virtual IQvNode* InsertChild(std::unique_ptr<IQvNode> node, int index) = 0; // 8
    virtual IQvNode* AppendChild(std::unique_ptr<IQvNode> node) = 0;        //  9
    // True when the builder took the track (or has it); false without builder.
    virtual bool OfferTrack(CQvMusic* track, int force) = 0;                // 10
    // Appends unless the same track is already a member; the index is left alone.
    virtual void AppendTrack(CQvMusic* track) = 0;                          // 11
    // Removes the child and deletes it.
    virtual void RemoveChild(IQvNode* node) = 0;                            // 12
    virtual void RemoveTrack(CQvMusic* track) = 0;                          // 13
    virtual IQvNode* FindChild(const QString& name) const = 0;              // 14 exact Name
    virtual const NodeList& Children() const = 0;                           // 15
    virtual TrackList& Tracks() = 0;                                        // 16
    virtual const TrackList& Tracks() const = 0;
    // Shows a sequence owned elsewhere (the library's) as the members, from now on.
    virtual void SetTracks(TrackList* shared) = 0;                          // 17
    virtual TrackIndex& GetTrackIndex() = 0;                                // 18
    virtual int CountWithPicture() const = 0;                               // 19
    virtual int CountWithLyrics() const = 0;                                // 20
    virtual QString GetId() const = 0;                                      // 21
    virtual void SetId(const QString& id) = 0;                              // 22
    virtual QString GetName() const = 0;                                    // 23
    // Stores the name and has the parent file the node under it.
    virtual void SetName(const QString& name) = 0;                          // 24
    virtual void SetCondition(const QString& condition) = 0;                // 25
    virtual QString GetCondition() const = 0;                               // 26
    virtual void SetDisplayType(const QString& type) = 0;                   // 27
    virtual QString GetDisplayType() const = 0;                             // 28
    virtual int GetEdit() const = 0;                                        // 29
    virtual void SetEdit(int edit) = 0;                                     // 30
    virtual int GetType() const = 0;                                        // 31
    virtual void SetType(int type) = 0;                                     // 32
    virtual int GetIconId() const = 0;                                      // 33
    virtual void SetIconId(int id) = 0;                                     // 34
    virtual NodeListInfo& GetListInfo() = 0;                                // 35
    virtual NodeShareInfo& GetShareInfo() = 0;                              // 36
    // A child was renamed: files it under its current Name; 1 when `oldName` was filed, else 0.
    virtual int OnChildRenamed(IQvNode* child, const QString& oldName) = 0; // 37
};

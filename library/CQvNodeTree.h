#pragma once
#include "store/CMediaLibrary.h"

#include <QString>

#include <functional>
#include <vector>

class IQvNode;
struct ListInfo;

// The tree of lists over the media store: loading it from "Tree2.db" (or, on a first run, from
// "tree.xml"), writing it, offering tracks to its lists, and creating, renaming and deleting user
// lists. It installs itself as the library's tree hooks for its lifetime. Every operation holds
// the library lock.
class CQvNodeTree final : public ITreeHooks {
public:
    explicit CQvNodeTree(CMediaLibrary& library);
    ~CQvNodeTree() override;
    CQvNodeTree(const CQvNodeTree&) = delete;
    CQvNodeTree& operator=(const CQvNodeTree&) = delete;

    // From "Tree2.db" when it exists; else from "tree.xml" of the data folder (copied from the
    // shipped resources when missing), after which every database file is opened and the tree
    // written. 0 when loaded (or already loaded), -1 without tree connection or default tree
    // (the tree stays empty), 2 when shutdown ended the load. Every node is registered by Name.
    int LoadTree() override;
    int LoadFromDb();
    int LoadFromXml(const QString& path);
    // Writes every node's row and every list's members; the subtree of a type-30 node is not
    // written. 0, or -1 without tree connection.
    int SaveTree() override;
    // Offers a track to the lists: type -1 all, -2 all except the smart lists' stored rows,
    // else the lists of that type. Service lists (3) and types above 101 are skipped with their
    // subtrees; a track with flag 2 is taken out of every list instead. The number of lists that
    // took it.
    int OfferToLists(CQvMusic* track, int type) override;
    // The same for many tracks, list by list (each list's rows written together). Nothing is
    // offered when any track is null.
    int OfferManyToLists(const std::vector<CQvMusic*>& tracks, int type) override;

    // A user playlist under the first top-level node of Type 0, before its last child. Null when
    // the name is empty or taken, or there is no such group.
    IQvNode* CreateList(const QString& name);
    // Gives a list a new name, in memory and in its stored rows: 1 when renamed, 0 when only the
    // case differs (the display name alone follows), -1 for a null node, an empty name or a name
    // another list has.
    int RenameList(IQvNode* node, const QString& newName);
    // Forgets the list's name and deletes its stored rows (the TreeNode row with its Key and Name,
    // and its members). Removing the node from its parent is the caller's step. When a cloud
    // group removal is set it is asked first (it decides whether a user is signed in). 0, or -1
    // for a null node or an unknown name.
    int DeleteList(IQvNode* node);
    int DeleteListByName(const QString& name);

    // Removes the service's play group of a deleted list; gets the list's Name and record.
    using CloudGroupRemoval = std::function<void(const QString& name, const ListInfo& info)>;
    void SetCloudGroupRemoval(CloudGroupRemoval removal);

private:
    class Loader;
    CSqliteDb* Tree();
    void DeleteStoredRows(IQvNode* node);
    int Offer(IQvNode* node, const std::vector<CQvMusic*>& tracks, int type, std::vector<char>& purged);
    void Save(IQvNode* node);

    CMediaLibrary& m_library;
    CloudGroupRemoval m_cloudRemoval;
};

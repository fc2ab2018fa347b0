#pragma once
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class CQvConf;
class CQvMediaStore;
class CQvMusic;
class CSqliteDb;
class CTrackRowValues;
class IQvNode;

// What the tree of lists supplies to the library operations. The list tree installs it at
// start-up; until then tracks are offered to no list and no tree is loaded or written.
class ITreeHooks {
public:
    // Offers a track to the lists (type -1 all, -2 all without stored rows, else lists of that
    // type); returns what the tree reports.
    virtual int OfferToLists(CQvMusic* track, int type) = 0;
    // Offers each of `tracks` in turn (what OfferToLists reports, added up); a tree may offer
    // them list by list, as long as each list gets them in this order.
    virtual int OfferManyToLists(const std::vector<CQvMusic*>& tracks, int type)
    {
        int taken = 0;
        for (CQvMusic* track : tracks) taken += OfferToLists(track, type);
        return taken;
    }
    virtual int LoadTree() = 0;
    virtual int SaveTree() = 0;

protected:
    virtual ~ITreeHooks() = default;
};

// The only code that changes the media store and the database files together. Every operation
// holds the library lock (recursive: operations call one another) for its whole duration.
// Results: 1/0 for store changes, 0/-1 for statements (-1: nothing done).
class CMediaLibrary {
public:
    explicit CMediaLibrary(CQvMediaStore& store, CQvConf& conf);
    // The process-wide store and configuration.
    CMediaLibrary();
    ~CMediaLibrary();
    CMediaLibrary(const CMediaLibrary&) = delete;
    CMediaLibrary& operator=(const CMediaLibrary&) = delete;

    // For a caller that reads the store across several steps.
    std::recursive_mutex& Mutex() { return m_mutex; }
    CQvMediaStore& Store() { return m_store; }
    CQvConf& Conf() { return m_conf; }
    void SetTreeHooks(ITreeHooks* hooks);
    // Told when a row could not be written (a full disk, a file gone read-only), with the SQLite
    // result code; called on the writing thread. Each failure also goes to the debug log.
    using StorageFailure = std::function<void(int code)>;
    void SetStorageFailureHandler(StorageFailure handler);

    // Reads AllMusic (newest first) into the library and TempMusic into the stored temporary
    // tracks, when "AllMusic2.db" exists; a row without any source, or removed and only
    // streamed, is deleted. With `checkFiles` the tracks' files are then looked for as
    // CheckTrackFiles does; without, the start leaves that until its window shows the list.
    // The number of library tracks, or -1 when there is no library file.
    int LoadTracks(bool checkFiles = true);
    // Looks for the local file of every library and temporary track and takes out of the store
    // and every list the tracks whose file cannot be found. Its row is deleted only when the
    // file is reported as not existing in a folder that is there, readable, not empty and not
    // a mount point; any other row stays stored, its track left out until it can be reached.
    // The folders are read without the lock. The number of tracks taken out.
    int CheckTrackFiles();
    // The statistics cache and the most-played cache from MusicOpt; the rows read, or -1.
    int LoadStatistics();
    // Adds to the store and, when it went in and the library file is open, inserts its row.
    int AddTrack(CQvMusic* track);
    // Inserts a row for every library track in one transaction (rows already stored are
    // kept). A crash or kill leaves the rows as they were before. 0, or -1 when nothing was
    // written.
    int SaveAllTracks();
    int InsertTempTrack(CQvMusic* track);
    // The AllMusic row when the store knows the track by Gid, else the TempMusic row.
    int UpdateTrack(CQvMusic* track);
    // Flag 2 and out of the library into the temporary tracks, where FindTrack still sees it.
    int RemoveTrack(CQvMusic* track);
    // Flags 1 set, 2 and 512 cleared, and back from the temporary tracks into the library.
    int RestoreTrack(CQvMusic* track);
    // Counts a play: -1 for a track the store does not know or holds with flag 2.
    int RecordPlay(CQvMusic* track);

    int OfferToLists(CQvMusic* track, int type);
    // The tracks an import stored together, offered as OfferToLists offers each (none null).
    int OfferToLists(const std::vector<CQvMusic*>& tracks, int type);
    int AddTrackToList(IQvNode* node, CQvMusic* track);
    // A row for each track, in order: 0, or -1 when any was not written.
    int AddTracksToList(IQvNode* node, const std::vector<CQvMusic*>& tracks);
    int RemoveTrackFromList(IQvNode* node, CQvMusic* track);
    int RemoveTrackFromAllLists(CQvMusic* track);
    // Brings the list's stored rows to its current members (without flag 2): rows are added and
    // removed one by one for the members that changed; rows of tracks this start did not load
    // stay. One transaction: a kill leaves the old members or the new, never a part.
    int SaveListMembers(IQvNode* node);
    // The track joins the list's members (after the others) and its row is stored: 1, 0 when
    // it was a member already, -1 when the list refuses it.
    int PutInList(IQvNode* node, CQvMusic* track);
    // Writes the list's rows again in the order of its members, so it is read back in that
    // order; rows of tracks not loaded stay. One transaction. 0, or -1 when nothing was written.
    int SaveListOrder(IQvNode* node);
    // Updates the node's TreeNode row (found by Key and Name ignoring case) or inserts it; the
    // name written is `newName`, or the node's own when empty.
    int SaveNode(IQvNode* node, const QString& newName);
    int LoadTree();
    int SaveTree();

    // The node index: 1, or 0 when refused (name taken; old name unknown).
    int RegisterNode(IQvNode* node);
    int UnregisterNode(const QString& name);
    int RenameNodeKey(const QString& oldName, const QString& newName);

private:
    CSqliteDb* Statistics();
    CSqliteDb* Tree();
    int Insert(CSqliteDb* db, bool temp, CQvMusic* track);
    // A write that failed: logged and told to the handler. `rc` is the SQLite result code.
    void WriteFailed(int rc, const char* what);
    // The list's rows brought to its members, in one transaction; the SQLite result code.
    int WriteListMembers(CSqliteDb& db, IQvNode* node);

    std::recursive_mutex m_mutex;
    CQvMediaStore& m_store;
    CQvConf& m_conf;
    ITreeHooks* m_pHooks = nullptr;
    StorageFailure m_onFailure;
    int m_nFailures = 0;
    // The values of the last row inserted, kept for the next: an import's rows reuse their bytes.
    std::unique_ptr<CTrackRowValues> m_rowValues;
};

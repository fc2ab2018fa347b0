#pragma once
#include "store/IQvNode.h"
#include "store/TextKeyMap.h"

#include "model/CQvMusic.h"
#include "model/TrackGid.h"

#include <QString>

#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

// A track's play statistic, as its MusicOpt row holds it: two counters and the local time of
// the last play, to the minute (month 1-12; all 0 while never played).
struct PlayStatistic {
    int Rank = 0;
    int Year = 0;
    int Month = 0;
    int Day = 0;
    int Hour = 0;
    int Minute = 0;
    int Totle = 0;
};
using StatisticMap = std::unordered_map<TrackGid, PlayStatistic, TrackGidHash, TrackGidEqual>;

// The in-memory library: every known track, indexed by Gid and by service key, the temporary
// tracks, the play statistics, the most-played cache and the tree's top-level nodes. It is
// changed only through CMediaLibrary, under its lock; the queries here are for callers that
// hold that lock.
class CQvMediaStore {
public:
    CQvMediaStore();
    ~CQvMediaStore();
    CQvMediaStore(const CQvMediaStore&) = delete;
    CQvMediaStore& operator=(const CQvMediaStore&) = delete;

    static CQvMediaStore& Instance();

    // Kind 0: the key as a Gid in the library, then the temporary index; kinds 1 and 2: the
    // key as a service key; anything else, or an empty key: null.
    CQvMusic* FindTrack(const QString& key, int kind) const;
    // The tracks read from TempMusic.
    CQvMusic* FindStoredTemp(const QString& gid) const;
    size_t StoredTempCount() const { return m_storedTemp.Size(); }
    IQvNode* FindNode(const QString& name) const;
    IQvNode* FindTopNodeByType(int type) const;
    // Names compared without regard to case.
    IQvNode* FindTopNodeByName(const QString& name) const;
    static IQvNode* FindDescendant(IQvNode* node, const QString& name);
    IQvNode* GetTopNode(int index) const;
    int TopNodeCount() const { return static_cast<int>(m_topNodes.size()); }
    // Copies the cached statistic: 1, or -1 when the track has none.
    int GetStatistic(const QString& gid, PlayStatistic& out) const;
    int GetStatistic(const TrackGid& gid, PlayStatistic& out) const;

    // The library sequence (oldest first after a load; each new track goes in front).
    MemberList& LibraryTracks() { return m_library; }
    // The library's tracks, with those a load or import is still gathering.
    int LibraryCount() const { return int(m_library.size() + m_loading.size()); }
    const MemberList& TempTracks() const { return m_temp; }
    const std::vector<CQvMusic*>& MostPlayed() const { return m_mostPlayed; }
    const StatisticMap& Statistics() const { return m_statistics; }

    // The tree: top-level nodes are owned here; the root (a node without builder) is made by
    // the list tree and handed over.
    void AppendTopNode(std::unique_ptr<IQvNode> node);
    void ClearTopNodes();
    void SetTreeRoot(std::unique_ptr<IQvNode> root);
    IQvNode* TreeRoot() const { return m_pRoot.get(); }

    // Plain values kept for the controller (0 at creation); the first is the status flag that
    // holds back the minute's service task.
    int StatusFlag() const { return m_nStatusFlag; }
    void SetStatusFlag(int value) { m_nStatusFlag = value; }
    int SecondValue() const { return m_nSecondValue; }
    void SetSecondValue(int value) { m_nSecondValue = value; }

    // ---- changes; CMediaLibrary makes them together with the rows ----

    // Adds a track to the library or, with flag 2 or the service key of a library track, to the
    // temporary tracks: 1 when it went in, 0 when its Gid was already there.
    int Add(CQvMusic* track);
    // Takes a track out of the library sequence and indexes and puts it into the temporary
    // ones; false when it was not in the library.
    bool MoveToTemp(CQvMusic* track);
    // Takes a track out of the temporary tracks and back into the library; false when it was
    // not among the temporary tracks.
    bool MoveToLibrary(CQvMusic* track);
    // Takes the tracks out of the library and temporary tracks, their indexes and the
    // most-played cache (the lists are the tree's to forget). They stay alive with the store.
    void Forget(const TrackSet& gone);
    // A track read from TempMusic; a later one of the same Gid replaces the entry.
    void PutStoredTemp(CQvMusic* track);
    void PutStatistic(const QString& gid, const PlayStatistic& statistic);
    // Room for `count` more statistics, so a load of them does not rehash as it goes.
    void ReserveStatistics(size_t count) { m_statistics.reserve(m_statistics.size() + count); }
    // The most-played cache: at most 51 tracks; past 50 a newcomer replaces the entry with the
    // fewest plays below 10 unless it has fewer still.
    void AddMostPlayed(CQvMusic* track, bool force);
    // The node index (names compared exactly).
    bool RegisterNode(IQvNode* node);
    void UnregisterNode(const QString& name);
    bool RenameNode(const QString& oldName, const QString& newName);
    // Forgets every track, statistic and node; for a load that starts over.
    void Clear();
    // While a load adds its rows (newest first, each in front), the library tracks it adds are
    // gathered and put in front once at the end, in the same order.
    // `expected` rows sizes the indexes (and the statistics) once; 0 leaves them as they are.
    // An import gathers each batch so, rather than moving the whole library for every track.
    void BeginLoad(size_t expected);
    void EndLoad();

private:
    // Keeps a reference to every track the store has held, so that no list ever holds a freed
    // one; a track's lifetime is the store's.
    void Keep(CQvMusic* track);

    std::vector<std::unique_ptr<IQvNode>> m_topNodes;
    std::unique_ptr<IQvNode> m_pRoot;
    MemberList m_library;
    MemberList m_loading;
    bool m_bLoading = false;
    // Lookups only: hashed (none of these is ever walked in key order). The Gid indexes hold
    // just the tracks; the service keys are few and are made from two fields, so they keep theirs.
    GidIndex m_libraryIndex;
    TextKeyMap<CQvMusic*> m_serviceIndex;
    MemberList m_temp;
    GidIndex m_tempIndex;
    GidIndex m_storedTemp;
    std::map<QString, IQvNode*> m_nodes;
    // Keyed by the Gid as a record holds it: a library's statistics take no text per track.
    StatisticMap m_statistics;
    std::vector<CQvMusic*> m_mostPlayed;
    // Each entry's statistic (null while it has none); the map's entries never move.
    std::vector<const PlayStatistic*> m_mostPlayedStats;
    std::vector<TrackRef> m_kept;
    int m_nStatusFlag = 0;
    int m_nSecondValue = 0;
};

// Sysid, or CmsID when Sysid is empty.
QString ServiceKey(const CQvMusic* track);

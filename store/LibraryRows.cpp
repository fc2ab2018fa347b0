#include "store/LibraryRows.h"

#include "store/CSqliteDb.h"
#include "store/TrackRow.h"

#include "model/TrackInfo.h"

TrackRef TrackFromRow(const SqliteStatement& stmt, CTrackTextPool* pool)
{
    TrackRef track = TrackRef::Adopt(CreateMediaWithRecord());
    if (!track) return track;
    TrackInfo* info = track->GetInfo();
    const unsigned state = ReadTrackRow(stmt, *info, pool);
    track->AttachInfo(info, nullptr);
    track->RemoveState(~0u);
    track->AddState(state);
    return track;
}

// One connection, in SQLite's own order. Reading rowid ranges on two connections at once and
// merging them took a large library's load from the start's path by a third, but every thread
// that builds tracks keeps a heap of its own: the tracks of the second part left tens of
// megabytes behind in it, more than the time was worth.
bool ReadLibraryRows(CSqliteDb& db, std::vector<TrackRef>& out)
{
    out.clear();
    SqliteStatement stmt;
    if (db.Prepare(kSelectAllMusic, stmt) != kSqliteOk) return false;
    CTrackTextPool pool;
    while (stmt.Step() == kSqliteRow)
        if (TrackRef track = TrackFromRow(stmt, &pool)) out.push_back(std::move(track));
    return true;
}

#pragma once
#include "model/CQvMusic.h"

#include <vector>

class CSqliteDb;
class CTrackTextPool;
class SqliteStatement;

// A track made from the current row of a track table (its flags from the State column).
TrackRef TrackFromRow(const SqliteStatement& stmt, CTrackTextPool* pool = nullptr);

// Every AllMusic row as a track, newest first (AddTime descending; rows of the same AddTime in
// the order they were stored). False when the rows cannot be read at all.
bool ReadLibraryRows(CSqliteDb& db, std::vector<TrackRef>& out);

#pragma once
#include <QString>

class SqliteStatement;
struct TrackInfo;

// A track's row in AllMusic or TempMusic. The five columns Song, Artist, Album, LSrc and NSrc
// hold an apostrophe as caret, grave accent, caret, as the files have always held it; every
// other column holds its text unchanged. The spare column Default10 holds the download day.

// Statement texts, with "?" where the values of BindTrackInsert / BindTrackUpdate go.
extern const char* const kInsertAllMusic;
extern const char* const kInsertTempMusic;
extern const char* const kUpdateAllMusic;
extern const char* const kUpdateTempMusic;
extern const char* const kDeleteAllMusic;
extern const char* const kSelectAllMusic;   // newest first
extern const char* const kSelectTempMusic;

// Binds Gid, the integer columns (State = `state`) and the text columns, in column order.
int BindTrackInsert(SqliteStatement& stmt, const TrackInfo& info, unsigned state);
// Binds the integer and text columns, then Gid for the WHERE.
int BindTrackUpdate(SqliteStatement& stmt, const TrackInfo& info, unsigned state);
// Fills `info` from the current row of a "SELECT *" on a track table; the State column's word.
unsigned ReadTrackRow(const SqliteStatement& stmt, TrackInfo& info);

// The stored form of the five escaped columns and back.
QString EscapeApostrophes(const QString& text);
QString UnescapeApostrophes(const QString& text);

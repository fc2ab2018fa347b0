#pragma once
#include "model/LyricsLookup.h"

#include <QString>

class CMediaLibrary;
class CQvMusic;

// The `Lyrics` table of "Lyric2.db": where tracks find lyrics that have no lyrics file, and
// where re-timed lyrics are kept. Every statement runs under the library lock, like every other
// statement on the lyrics connection; a closed or missing connection finds and stores nothing.
class CLyricsTable final : public ILyricsLookup {
public:
    explicit CLyricsTable(CMediaLibrary& library);

    // The stored text for `gid`; false when there is no row.
    bool FindLyrics(const QString& gid, QString& lyrics) override;
    // Replaces the row's text, or adds the row when there is none: 0, or the SQLite error.
    int StoreLyrics(const QString& gid, const QString& lyrics);
    // Adds the row only: a row already there keeps its text (0, or the SQLite error).
    int AddLyrics(const QString& gid, const QString& lyrics);

private:
    CMediaLibrary& m_library;
};

// Caches lyrics fetched from the service for the library's record of `gid` (not for a track
// outside the library or marked removed): the row is added unless one is there already (a fetch
// forced past stored lyrics shows the new text without storing it) and the record is marked as
// having lyrics.
void StoreFetchedLyrics(CMediaLibrary& library, const QString& gid, const QString& text);

// Keeps re-timed lyrics (the model's stored form) for `track`, the track they were loaded for:
// the text becomes the track's lyrics. Lyrics that were read from the track's lyrics file are
// written back to that file, in the encoding it was read in; all others go into the table for a
// track of the library that is not marked removed. 1 when stored, 0 when not (empty text, no
// track, a file or statement that failed: the old text is then kept where it was).
int StoreAdjustedLyrics(CMediaLibrary& library, CQvMusic* track, const QString& text);

#pragma once
#include "model/TrackText.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <string>
#include <vector>

class SqliteStatement;
class TrackPath;
struct TrackInfo;

// A track's row in AllMusic or TempMusic. The five columns Song, Artist, Album, LSrc and NSrc
// hold an apostrophe as caret, grave accent, caret, as the files have always held it; every
// other column holds its text unchanged. The spare column Default10 holds the download day.

// Statement texts, with "?" where the values of CTrackRowValues go.
extern const char* const kInsertAllMusic;
extern const char* const kInsertTempMusic;
// kInsertAllMusic with the AddTime given, as the second value: the rows of one write share one.
extern const char* const kInsertAllMusicAt;
// The local time as the insert statements write AddTime ("yyyy-MM-dd HH:mm:ss").
extern const char* const kLocalTimeNow;
extern const char* const kUpdateAllMusic;
extern const char* const kUpdateTempMusic;
extern const char* const kDeleteAllMusic;
extern const char* const kSelectAllMusic;   // newest first
extern const char* const kSelectTempMusic;

extern const char* const kSelectAllMusicGids;

// The insert of a track whose columns all hold a new record's values, but for those a music
// file's tags fill (Gid, State, the audio properties, the track number, the download day, the
// title, artist, album, genre, path and channel text): most tracks an import adds. Those values
// are literals in the statement, so a row binds 13 values instead of 48 and stores the same.
// Bound with CTrackRowValues::BindFileInsert; `temp` for TempMusic.
const char* FileTrackInsertStatement(bool temp);
bool FitsFileTrackInsert(const TrackInfo& info);

// One track's values bound to a row statement without copying them: the code-page bytes of its
// texts are kept here, so this must outlive the statement's run. Kept from row to row, a bulk
// write converts and allocates nothing for the texts that fit where the last row's were.
class CTrackRowValues {
public:
    CTrackRowValues() = default;
    // The values of a bulk write's rows through `run`, which is this object's alone while it
    // lives (no one else binds it or clears its values): each row binds only the values that
    // differ from the row before. Most columns of most tracks hold the same empty text or zero,
    // and each bind takes the connection's lock.
    explicit CTrackRowValues(const SqliteStatement& run) : m_run(&run) {}
    CTrackRowValues(const CTrackRowValues&) = delete;
    CTrackRowValues& operator=(const CTrackRowValues&) = delete;

    // Gid, the integer columns (State = `state`) and the text columns, in column order.
    int BindInsert(SqliteStatement& stmt, const TrackInfo& info, unsigned state);
    // The same for kInsertAllMusicAt, with `addTime` (kept here while bound) after Gid.
    int BindInsertAt(SqliteStatement& stmt, const QByteArray& addTime, const TrackInfo& info, unsigned state);
    // The integer and text columns, then Gid for the WHERE.
    int BindUpdate(SqliteStatement& stmt, const TrackInfo& info, unsigned state);
    // Gid and the columns a file fills, for FileTrackInsertStatement.
    int BindFileInsert(SqliteStatement& stmt, const TrackInfo& info, unsigned state);

    static constexpr int kInts = 19;  // the integer columns
    static constexpr int kTexts = 29; // Gid and the 28 text columns

private:
    int BindColumns(SqliteStatement& stmt, int index, const TrackInfo& info, unsigned state);
    int BindInt(SqliteStatement& stmt, int index, int slot, int value);
    int BindText(SqliteStatement& stmt, int index, int slot, QStringView text, bool escaped);
    // Whether `stmt` holds the values this object bound to it last.
    bool Holds(const SqliteStatement& stmt) const { return &stmt == m_run; }
    int BindPath(SqliteStatement& stmt, int index, int slot, const TrackPath& path, bool escaped);
    // The text column `field` (0 for the first after the integers) at placeholder `index`.
    int BindTextColumn(SqliteStatement& stmt, int index, size_t field, const TrackInfo& info);

    const SqliteStatement* m_run = nullptr;
    // One per text placeholder, in column order; m_spare takes a row's text to compare it with
    // the one bound.
    QByteArray m_bytes[kTexts];
    QByteArray m_spare;
    QByteArray m_addTime;
    bool m_addTimeBound = false;
    QString m_path; // a path put together from its shared folder and its file name
    QString m_title; // a title kept in Latin-1, in UTF-16 to be bound
    int m_ints[kInts] {};
    // Which slots the run has bound so far.
    bool m_intBound[kInts] {};
    bool m_textBound[kTexts] {};
};
// Texts that many tracks hold alike (an artist, an album, a genre, the channel text), kept once
// while a table is read: each track's field shares the one copy. A large library reads its
// artists and albums a hundred thousand times over: a text already read is found by its stored
// bytes, so it is neither converted from the code page nor allocated again. The table and the
// bytes are a few large blocks, given back whole when the reading ends, so the pool leaves no
// holes between the tracks it helped to make.
class CTrackTextPool {
public:
    // The text of `length` stored bytes (caret-grave-caret undone when `escaped`).
    TrackText Text(const char* bytes, int length, bool escaped);

private:
    struct Slot {
        size_t hash = 0;
        qsizetype offset = 0; // of the stored bytes in m_bytes
        int length = 0;       // 0: a free slot
        bool escaped = false;
        TrackText text;
    };
    void Grow();

    std::vector<Slot> m_slots; // open addressing; a power of two, at most half full
    std::string m_bytes;
    size_t m_used = 0;
};

// Fills `info` from the current row of kSelectAllMusic or kSelectTempMusic (the columns in the
// order of the table's creation); the State column's word.
// With a pool, the texts tracks often share are taken from it.
unsigned ReadTrackRow(const SqliteStatement& stmt, TrackInfo& info, CTrackTextPool* pool = nullptr);

// The stored form of the five escaped columns and back.
QString EscapeApostrophes(const QString& text);
QString UnescapeApostrophes(const QString& text);

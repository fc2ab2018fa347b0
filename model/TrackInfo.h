#pragma once
#include "model/TrackText.h"

#include <QString>

// Text8's default: one copy for every record.
inline const TrackText& ZeroText()
{
    static const TrackText zero(QStringLiteral("0"));
    return zero;
}

// One track's data: the columns of the AllMusic and TempMusic tables, in record order, plus the
// few fields that are not columns. All integers are signed 32-bit; defaults are a new record's.
// A library holds a hundred thousand of these: the title, the key and the path, which every
// track has of its own, are plain strings; every other text is a TrackText, one pointer that
// is null while empty and shares a text many tracks hold alike.
struct TrackInfo {
    QString Song;              //  0 title
    TrackText Artist;          //  1
    TrackText Text2;           //  2 no column
    TrackText Album;           //  3
    TrackText Text4;           //  4 no column
    TrackText Text5;           //  5 no column
    TrackText ReleaseTimeText; //  6 display copy of ReleaseTime
    TrackText Text7;           //  7 no column
    TrackText Text8 = ZeroText(); // 8 not a column
    QString Gid;               //  9 key: MakeGid of the path or URL
    TrackText Sysid;           // 10 service system id
    TrackText CmsID;           // 11 service content id
    QString LSrc;              // 12 local file path; empty for a pure stream
    TrackText NSrc;            // 13 http:// or mms:// source; empty for a local file
    TrackText Genre;           // 14
    TrackText ReleaseTime;     // 15
    TrackText DownloadID;      // 16
    TrackText Stereo;          // 17 channel description
    TrackText ArtistSpell;     // 18
    TrackText ArtistZone;      // 19
    TrackText AlbumType;       // 20
    TrackText AlbumSpell;      // 21
    TrackText SongZone;        // 22
    TrackText SongType;        // 23
    TrackText SongSort;        // 24
    TrackText SongNation;      // 25
    TrackText SongSpell;       // 26
    TrackText SongShort;       // 27
    TrackText AlbumShort;      // 28
    TrackText ArtistShort;     // 29
    TrackText TagInfo;         // 30
    TrackText Topic;           // 31
    TrackText PicFile;         // 32 cover picture file
    int AddDay = 0;            // 33 day number of a user's addition; 0 for tracks scans found
    TrackText LrcFile;         // 34 lyrics file; "deletelrc" marks lyrics the user deleted
    int Int35 = 0;             // 35 not a column
    int Int36 = 0;             // 36 not a column
    TrackText AlbumID;         // 37
    int ArtistSex = -1;        // 38
    int Frequency = 0;         // 39 sample rate, Hz
    int TotleTime = 0;         // 40 length, s
    int BitRate = 0;           // 41 kbit/s
    int TrackNum = 0;          // 42
    int PlayCount = 0;         // 43
    int Lrc = 0;               // 44 lyrics flag
    int Pic = 0;               // 45 picture flag
    int Default1 = 0;          // 46 favourite mark
    int Default2 = 0;          // 47 star rating from the service's page
    int Default3 = 0;          // 48..55 spare columns, stored and loaded unchanged
    int Default4 = 0;
    int Default5 = 0;
    int Default6 = 0;
    int Default7 = 0;
    int Default8 = 0;
    int Default9 = 0;
    int Default10 = 0;         // 55 its column stores AddDay, so the download day survives a restart
    int Int56 = 0;             // 56 not a column
};

// Bits of a track's state word (the State column).
enum TrackState : unsigned {
    STATE_IN_LIBRARY = 0x1,
    STATE_REMOVED = 0x2,
    STATE_FROM_SERVICE = 0x4,
    STATE_ADDED_BY_PAGE = 0x8,
    STATE_REFETCH_COVER = 0x40,
    STATE_DELETED_WITH_FILE = 0x200,
};

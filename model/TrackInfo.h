#pragma once
#include <QString>

// One track's data: the columns of the AllMusic and TempMusic tables, in record order, plus the
// few fields that are not columns. All integers are signed 32-bit; defaults are a new record's.
struct TrackInfo {
    QString Song;            //  0 title
    QString Artist;          //  1
    QString Text2;           //  2 no column
    QString Album;           //  3
    QString Text4;           //  4 no column
    QString Text5;           //  5 no column
    QString ReleaseTimeText; //  6 display copy of ReleaseTime
    QString Text7;           //  7 no column
    QString Text8 = QStringLiteral("0"); // 8 not a column
    QString Gid;             //  9 key: MakeGid of the path or URL
    QString Sysid;           // 10 service system id
    QString CmsID;           // 11 service content id
    QString LSrc;            // 12 local file path; empty for a pure stream
    QString NSrc;            // 13 http:// or mms:// source; empty for a local file
    QString Genre;           // 14
    QString ReleaseTime;     // 15
    QString DownloadID;      // 16
    QString Stereo;          // 17 channel description
    QString ArtistSpell;     // 18
    QString ArtistZone;      // 19
    QString AlbumType;       // 20
    QString AlbumSpell;      // 21
    QString SongZone;        // 22
    QString SongType;        // 23
    QString SongSort;        // 24
    QString SongNation;      // 25
    QString SongSpell;       // 26
    QString SongShort;       // 27
    QString AlbumShort;      // 28
    QString ArtistShort;     // 29
    QString TagInfo;         // 30
    QString Topic;           // 31
    QString PicFile;         // 32 cover picture file
    int AddDay = 0;          // 33 day number of a user's addition; 0 for tracks scans found
    QString LrcFile;         // 34 lyrics file; "deletelrc" marks lyrics the user deleted
    int Int35 = 0;           // 35 not a column
    int Int36 = 0;           // 36 not a column
    QString AlbumID;         // 37
    int ArtistSex = -1;      // 38
    int Frequency = 0;       // 39 sample rate, Hz
    int TotleTime = 0;       // 40 length, s
    int BitRate = 0;         // 41 kbit/s
    int TrackNum = 0;        // 42
    int PlayCount = 0;       // 43
    int Lrc = 0;             // 44 lyrics flag
    int Pic = 0;             // 45 picture flag
    int Default1 = 0;        // 46 favourite mark
    int Default2 = 0;        // 47 star rating from the service's page
    int Default3 = 0;        // 48..55 spare columns, stored and loaded unchanged
    int Default4 = 0;
    int Default5 = 0;
    int Default6 = 0;
    int Default7 = 0;
    int Default8 = 0;
    int Default9 = 0;
    int Default10 = 0;       // 55 its column stores AddDay, so the download day survives a restart
    int Int56 = 0;           // 56 not a column
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

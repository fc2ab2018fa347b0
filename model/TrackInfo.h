#pragma once
#include "model/TrackGid.h"
#include "model/TrackPath.h"
#include "model/TrackText.h"
#include "model/TrackTitle.h"

#include <QString>

#include <memory>

// Text8's default: one copy for every record.
inline const TrackText& ZeroText()
{
    static const TrackText zero(QStringLiteral("0"));
    return zero;
}

// The fields of a track record that nearly every track leaves at a new record's value: the
// service's ids and texts, the spelling and sorting columns, the cover and lyrics files, the
// spare integers and the fields that are no column. Numbers are the record's order.
struct TrackRareFields {
    TrackText Text2;           //  2 no column
    TrackText Text4;           //  4 no column
    TrackText Text5;           //  5 no column
    TrackText Text7;           //  7 no column
    TrackText Text8 = ZeroText(); // 8 not a column
    TrackText Sysid;           // 10 service system id
    TrackText CmsID;           // 11 service content id
    TrackText DownloadID;      // 16
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
    TrackText LrcFile;         // 34 lyrics file; "deletelrc" marks lyrics the user deleted
    TrackText AlbumID;         // 37
    int Int35 = 0;             // 35 not a column
    int Int36 = 0;             // 36 not a column
    int Default3 = 0;          // 48..54 spare columns, stored and loaded unchanged
    int Default4 = 0;
    int Default5 = 0;
    int Default6 = 0;
    int Default7 = 0;
    int Default8 = 0;
    int Default9 = 0;
    int Int56 = 0;             // 56 not a column
};

// A record's rare fields, made the first time one of them is written: until then they read as
// a new record's. A copy holds a copy of its own.
class TrackRareBlock {
public:
    TrackRareBlock() = default;
    TrackRareBlock(const TrackRareBlock& other) : m_p(other.m_p ? new TrackRareFields(*other.m_p) : nullptr) {}
    TrackRareBlock(TrackRareBlock&&) noexcept = default;
    TrackRareBlock& operator=(const TrackRareBlock& other)
    {
        if (this != &other) m_p.reset(other.m_p ? new TrackRareFields(*other.m_p) : nullptr);
        return *this;
    }
    TrackRareBlock& operator=(TrackRareBlock&&) noexcept = default;

    const TrackRareFields& Get() const { return m_p ? *m_p : None(); }
    TrackRareFields& Edit()
    {
        if (!m_p) m_p = std::make_unique<TrackRareFields>();
        return *m_p;
    }
    bool IsMade() const { return m_p != nullptr; }

private:
    static const TrackRareFields& None()
    {
        static const TrackRareFields none;
        return none;
    }

    std::unique_ptr<TrackRareFields> m_p;
};

// One track's data: the columns of the AllMusic and TempMusic tables, in record order, plus the
// few fields that are not columns. All integers are signed 32-bit; defaults are a new record's.
// A library holds a hundred thousand of these: the title, which every track has of its own, is
// one compact block, the path shares its folder, the key is its bytes; the other texts a scan or a view touches are
// TrackTexts, one pointer that is null while empty and shares a text many tracks hold alike;
// the fields few tracks ever fill are in the rare block, read through Rare() and written
// through EditRare().
struct TrackInfo {
    TrackTitle Song;           //  0 title
    TrackText Artist;          //  1
    TrackText Album;           //  3
    TrackText ReleaseTimeText; //  6 display copy of ReleaseTime
    TrackGid Gid;              //  9 key: MakeGid of the path or URL
    TrackPath LSrc;            // 12 local file path; empty for a pure stream
    TrackText NSrc;            // 13 http:// or mms:// source; empty for a local file
    TrackText Genre;           // 14
    TrackText ReleaseTime;     // 15
    TrackText Stereo;          // 17 channel description
    int AddDay = 0;            // 33 day number of a user's addition; 0 for tracks scans found
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
    int Default10 = 0;         // 55 its column stores AddDay, so the download day survives a restart

    const TrackRareFields& Rare() const { return m_rare.Get(); }
    TrackRareFields& EditRare() { return m_rare.Edit(); }
    bool HasRareBlock() const { return m_rare.IsMade(); }

private:
    TrackRareBlock m_rare;
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

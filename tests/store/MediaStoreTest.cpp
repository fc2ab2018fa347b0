#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"
#include "store/Schema.h"
#include "store/TrackRow.h"

#include "tests/common/TestUtil.h"
#include "tests/store/FakeNode.h"
#include "tests/store/StoreTestUtil.h"

#include "base/CodePage.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <functional>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A home with its store and library operations; Reopen() starts a new session on the same files.
struct Session {
    TempHome home;
    std::unique_ptr<CQvConf> conf;
    std::unique_ptr<CQvMediaStore> store;
    std::unique_ptr<CMediaLibrary> lib;

    Session() { Reopen(); }
    void Reopen()
    {
        lib.reset();
        store.reset();
        conf = std::make_unique<CQvConf>();
        conf->SetDirectories(home.home);
        store = std::make_unique<CQvMediaStore>();
        lib = std::make_unique<CMediaLibrary>(*store, *conf);
    }
    QString File(const QString& relative, bool create = true) const
    {
        const QString path = home.dir.path() + QStringLiteral("/music/") + relative;
        if (create) {
            QDir().mkpath(QFileInfo(path).path());
            testutil::WriteFile(path, "x");
        }
        return path;
    }
    CSqliteDb& Library() { return *conf->LibraryDb(); }
};

TrackRef MakeTrack(const QString& path, const QString& song = QString(), const QString& sysid = QString())
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Gid = MakeGid(path);
    if (path.startsWith(QLatin1String("http://"))) info->NSrc = path;
    else info->LSrc = path;
    info->Song = song.isEmpty() ? QFileInfo(path).completeBaseName() : song;
    info->EditRare().Sysid = sysid;
    t->AttachInfo(info, nullptr);
    return t;
}

int Count(CSqliteDb& db, const QString& sql)
{
    SqliteStatement s;
    if (db.Prepare(ToAnsi(sql).constData(), s) != kSqliteOk || s.Step() != kSqliteRow) return -1;
    return s.ColumnInt(0);
}

QByteArray Column(CSqliteDb& db, const char* table, const char* column, const QString& gid)
{
    SqliteStatement s;
    db.Prepare((QByteArray("SELECT ") + column + " FROM " + table + " WHERE Gid=?").constData(), s);
    Bind(s, gid);
    return s.Step() == kSqliteRow ? s.ColumnBytes(0) : QByteArray("<none>");
}

// Records every offer to the lists.
struct RecordingHooks : ITreeHooks {
    std::vector<std::pair<CQvMusic*, int>> offers;
    int OfferToLists(CQvMusic* track, int type) override
    {
        offers.emplace_back(track, type);
        return 1;
    }
    int LoadTree() override { return 7; }
    int SaveTree() override { return 8; }
};

} // namespace

// The tracks of a folder share its text after a load, and every path still reads, is written and
// is looked for as the text it was: in a folder of Chinese and apostrophes, at the root of a
// name, in a folder of one, and through a save of the whole library.
TEST(MediaStore, TracksOfAFolderShareItAndTheirPathsStayExact)
{
    Session s;
    s.conf->OpenAllMissing();
    const QStringList paths = {s.File(QStringLiteral("林晓's/1.mp3")), s.File(QStringLiteral("林晓's/it's 2.mp3")),
                               s.File(QStringLiteral("林晓's/gone.mp3")), s.File(QStringLiteral("other/3.mp3"))};
    const QString root = QStringLiteral("/ordel-test-no-such-root.mp3");
    for (const QString& path : paths) ASSERT_EQ(s.lib->AddTrack(MakeTrack(path).get()), 1);
    ASSERT_EQ(s.lib->AddTrack(MakeTrack(root).get()), 1);
    ASSERT_TRUE(QFile::remove(paths[2]));

    for (int round = 0; round < 2; ++round) {
        s.Reopen();
        ASSERT_EQ(s.lib->LoadTracks(false), 5);
        std::vector<CQvMusic*> t;
        for (const QString& path : paths + QStringList {root}) {
            t.push_back(s.store->FindTrack(MakeGid(path), 0));
            ASSERT_NE(t.back(), nullptr) << qPrintable(path);
            EXPECT_EQ(t.back()->GetInfo()->LSrc.Text(), path);
            EXPECT_EQ(Column(s.Library(), "AllMusic", "LSrc", MakeGid(path)), ToAnsi(path).replace("'", "^`^"));
        }
        EXPECT_EQ(&t[0]->GetInfo()->LSrc.Folder().str(), &t[1]->GetInfo()->LSrc.Folder().str());
        EXPECT_EQ(t[0]->GetInfo()->LSrc.Directory(), QFileInfo(paths[0]).path());
        EXPECT_EQ(t[3]->GetInfo()->LSrc.FileName(), QStringLiteral("3.mp3"));
        EXPECT_TRUE(t[4]->GetInfo()->LSrc.Folder().isEmpty());
        // Written again from the loaded tracks, the rows hold the same bytes (checked above next round).
        for (CQvMusic* track : t) {
            track->GetInfo()->PlayCount = round + 1;
            ASSERT_EQ(s.lib->UpdateTrack(track), 0);
        }
    }
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE PlayCount=2")), 5);
    // The check finds the one removed file of the shared folder, and only it.
    EXPECT_EQ(s.lib->CheckTrackFiles(), 2); // the removed file, and the root one out of reach
    EXPECT_EQ(s.store->FindTrack(MakeGid(paths[2]), 0), nullptr);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE Gid='%1'").arg(MakeGid(paths[2]))), 0);
    EXPECT_NE(s.store->FindTrack(MakeGid(paths[1]), 0), nullptr);
    EXPECT_NE(s.store->FindTrack(MakeGid(paths[3]), 0), nullptr);
}

TEST(MediaStore, ApostrophesInEveryColumnSurviveTheRoundTrip)
{
    Session s;
    s.conf->OpenAllMissing();
    const QString path = s.File(QStringLiteral("it's/Rock 'n' Roll.mp3"));
    TrackRef t = MakeTrack(path, QStringLiteral("Don't Stop"));
    TrackInfo& i = *t->GetInfo();
    i.Artist = QStringLiteral("Guns N' Roses");
    i.Album = QStringLiteral("'Til Dawn 中文");
    i.NSrc = QStringLiteral("http://127.0.0.1/it's.mp3");
    i.Genre = QStringLiteral("Rock'n'Roll");            // not escaped: stored as it is
    i.EditRare().LrcFile = QStringLiteral("/lrc/it's.lrc");
    i.EditRare().TagInfo = QStringLiteral("a ^`^ b"); // the escape text itself, in a plain column
    ASSERT_EQ(s.lib->AddTrack(t.get()), 1);

    CSqliteDb& db = s.Library();
    EXPECT_EQ(Column(db, "AllMusic", "Song", i.Gid), QByteArray("Don^`^t Stop"));
    EXPECT_EQ(Column(db, "AllMusic", "Artist", i.Gid), QByteArray("Guns N^`^ Roses"));
    EXPECT_EQ(Column(db, "AllMusic", "Album", i.Gid), ToAnsi(QStringLiteral("^`^Til Dawn 中文")));
    EXPECT_EQ(Column(db, "AllMusic", "LSrc", i.Gid), QFile::encodeName(path).replace("'", "^`^"));
    EXPECT_EQ(Column(db, "AllMusic", "NSrc", i.Gid), QByteArray("http://127.0.0.1/it^`^s.mp3"));
    EXPECT_EQ(Column(db, "AllMusic", "Genre", i.Gid), QByteArray("Rock'n'Roll"));
    EXPECT_EQ(Column(db, "AllMusic", "LrcFile", i.Gid), QByteArray("/lrc/it's.lrc"));

    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), 1);
    CQvMusic* back = s.store->FindTrack(i.Gid, 0);
    ASSERT_NE(back, nullptr);
    const TrackInfo& b = *back->GetInfo();
    EXPECT_EQ(b.Song, i.Song);
    EXPECT_EQ(b.Artist, i.Artist);
    EXPECT_EQ(b.Album, i.Album);
    EXPECT_EQ(b.LSrc, i.LSrc);
    EXPECT_EQ(b.NSrc, i.NSrc);
    EXPECT_EQ(b.Genre, i.Genre);
    EXPECT_EQ(b.Rare().LrcFile, i.Rare().LrcFile);
    EXPECT_EQ(b.Rare().TagInfo, i.Rare().TagInfo);

    // An update binds the same way.
    back->GetInfo()->Song = QStringLiteral("It's Over");
    back->GetInfo()->EditRare().Topic = QStringLiteral("'quoted'");
    ASSERT_EQ(s.lib->UpdateTrack(back), 0);
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Song", i.Gid), QByteArray("It^`^s Over"));
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Topic", i.Gid), QByteArray("'quoted'"));
}

namespace {

// A column's field, in the record or in its rare block.
template <class T>
struct Field {
    T TrackInfo::* common = nullptr;
    T TrackRareFields::* rare = nullptr;

    const T& Get(const TrackInfo& info) const { return common ? info.*common : info.Rare().*rare; }
    T& Edit(TrackInfo& info) const { return common ? info.*common : info.EditRare().*rare; }
};
template <class T>
constexpr Field<T> Of(T TrackInfo::* field) { return {field, nullptr}; }
template <class T>
constexpr Field<T> Of(T TrackRareFields::* field) { return {nullptr, field}; }

// The stored texts of a record, by column name: the title, key and path are strings of their
// own, the rest the record's compact texts.
const std::pair<const char*, Field<TrackText>> kCompactColumns[] = {
    {"Artist", Of(&TrackInfo::Artist)},               {"Album", Of(&TrackInfo::Album)},
    {"Sysid", Of(&TrackRareFields::Sysid)},           {"CmsID", Of(&TrackRareFields::CmsID)},
    {"NSrc", Of(&TrackInfo::NSrc)},                   {"Genre", Of(&TrackInfo::Genre)},
    {"ReleaseTime", Of(&TrackInfo::ReleaseTime)},     {"DownloadID", Of(&TrackRareFields::DownloadID)},
    {"Stereo", Of(&TrackInfo::Stereo)},               {"ArtistSpell", Of(&TrackRareFields::ArtistSpell)},
    {"ArtistZone", Of(&TrackRareFields::ArtistZone)}, {"AlbumType", Of(&TrackRareFields::AlbumType)},
    {"AlbumSpell", Of(&TrackRareFields::AlbumSpell)}, {"SongZone", Of(&TrackRareFields::SongZone)},
    {"SongType", Of(&TrackRareFields::SongType)},     {"SongSort", Of(&TrackRareFields::SongSort)},
    {"SongNation", Of(&TrackRareFields::SongNation)}, {"SongSpell", Of(&TrackRareFields::SongSpell)},
    {"SongShort", Of(&TrackRareFields::SongShort)},   {"AlbumShort", Of(&TrackRareFields::AlbumShort)},
    {"ArtistShort", Of(&TrackRareFields::ArtistShort)}, {"TagInfo", Of(&TrackRareFields::TagInfo)},
    {"Topic", Of(&TrackRareFields::Topic)},           {"PicFile", Of(&TrackRareFields::PicFile)},
    {"LrcFile", Of(&TrackRareFields::LrcFile)},       {"AlbumID", Of(&TrackRareFields::AlbumID)},
};
const std::pair<const char*, Field<int>> kIntColumns[] = {
    {"ArtistSex", Of(&TrackInfo::ArtistSex)},       {"Frequency", Of(&TrackInfo::Frequency)},
    {"TotleTime", Of(&TrackInfo::TotleTime)},       {"BitRate", Of(&TrackInfo::BitRate)},
    {"TrackNum", Of(&TrackInfo::TrackNum)},         {"PlayCount", Of(&TrackInfo::PlayCount)},
    {"Lrc", Of(&TrackInfo::Lrc)},                   {"Pic", Of(&TrackInfo::Pic)},
    {"Default1", Of(&TrackInfo::Default1)},         {"Default2", Of(&TrackInfo::Default2)},
    {"Default3", Of(&TrackRareFields::Default3)},   {"Default4", Of(&TrackRareFields::Default4)},
    {"Default5", Of(&TrackRareFields::Default5)},   {"Default6", Of(&TrackRareFields::Default6)},
    {"Default7", Of(&TrackRareFields::Default7)},   {"Default8", Of(&TrackRareFields::Default8)},
    {"Default9", Of(&TrackRareFields::Default9)},   {"Default10", Of(&TrackInfo::AddDay)},
};

// Every column of a record as "name=value", in one list to compare.
QStringList ColumnValues(const TrackInfo& info)
{
    QStringList out {QStringLiteral("Song=") + info.Song, QStringLiteral("Gid=") + info.Gid,
                     QStringLiteral("LSrc=") + info.LSrc};
    for (const auto& [name, field] : kCompactColumns)
        out << QLatin1String(name) + QLatin1Char('=') + field.Get(info).str();
    for (const auto& [name, field] : kIntColumns)
        out << QLatin1String(name) + QLatin1Char('=') + QString::number(field.Get(info));
    return out;
}

// A track whose every column holds a value of its own (apostrophes and Chinese included).
TrackRef FilledTrack(const QString& path, int n)
{
    TrackRef t = MakeTrack(path, QStringLiteral("歌 it's %1").arg(n));
    TrackInfo& info = *t->GetInfo();
    for (const auto& [name, field] : kCompactColumns)
        field.Edit(info) = QStringLiteral("%1 值 it's %2").arg(QLatin1String(name)).arg(n);
    int value = 7 * n;
    for (const auto& [name, field] : kIntColumns) field.Edit(info) = ++value;
    info.ArtistSex = -1 - n;
    return t;
}

} // namespace

// A title comes back from the file exactly as it was stored, whichever way the record keeps it
// (one byte a character or two) and whichever way it is read (bytes taken as they are, or
// through the code page and the apostrophe's escape), written alone or with the library.
TEST(MediaStore, TitlesOfEveryKindComeBackFromTheFileAsTheyWere)
{
    const QStringList titles = {QStringLiteral("Morning River 42"), QStringLiteral("it's ^ and ^` 3"),
                                QStringLiteral("Café Élan"), QStringLiteral("Ā beyond Latin-1"),
                                QStringLiteral("夜空 Morning 7"), QStringLiteral("^")};
    Session s;
    s.conf->OpenAllMissing();
    std::vector<TrackRef> added, saved;
    for (int i = 0; i < titles.size(); ++i) {
        added.push_back(MakeTrack(s.File(QStringLiteral("a%1.mp3").arg(i)), titles[i]));
        ASSERT_EQ(s.lib->AddTrack(added.back().get()), 1);
        saved.push_back(MakeTrack(s.File(QStringLiteral("s%1.mp3").arg(i)), titles[i]));
        ASSERT_EQ(s.store->Add(saved.back().get()), 1);
    }
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), int(2 * titles.size()));
    for (int i = 0; i < titles.size(); ++i)
        for (const TrackRef& t : {added[size_t(i)], saved[size_t(i)]}) {
            CQvMusic* back = s.store->FindTrack(t->GetInfo()->Gid, 0);
            ASSERT_TRUE(back);
            EXPECT_EQ(back->GetInfo()->Song.Text(), titles[i]);
            EXPECT_TRUE(back->GetInfo()->Song == t->GetInfo()->Song);
        }
    // And saved again from the loaded records, the rows hold the same bytes.
    const QByteArray before = Column(s.Library(), "AllMusic", "Song", added[1]->GetInfo()->Gid);
    EXPECT_EQ(before, QByteArray("it^`^s ^ and ^` 3"));
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Song", added[1]->GetInfo()->Gid), before);
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Song", added[2]->GetInfo()->Gid), ToAnsi(titles[2]));
}

// Every column goes through the three ways a row is written (added, saved with the library,
// the temporary table) and comes back alike, and so does a copy of a loaded record; a text
// set and then emptied is stored empty and loads empty.
TEST(MediaStore, EveryColumnSurvivesTheRoundTripsAndACopyAndEmptyingATextSticks)
{
    Session s;
    s.conf->OpenAllMissing();
    TrackRef added = FilledTrack(s.File(QStringLiteral("added.mp3")), 1);
    ASSERT_EQ(s.lib->AddTrack(added.get()), 1);
    TrackRef saved = FilledTrack(s.File(QStringLiteral("saved.mp3")), 2);
    ASSERT_EQ(s.store->Add(saved.get()), 1);
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    TrackRef temp = FilledTrack(QStringLiteral("http://127.0.0.1/temp.mp3"), 3);
    temp->GetInfo()->LSrc.clear();
    ASSERT_EQ(s.lib->InsertTempTrack(temp.get()), 0);
    // Each value sits in its own column (the five escaped ones hold the apostrophe escaped).
    const TrackInfo& a = *added->GetInfo();
    for (const auto& [name, field] : kCompactColumns) {
        const bool escaped = QByteArray("Artist Album NSrc").contains(name);
        QString stored = field.Get(a).str();
        if (escaped) stored.replace(QLatin1Char('\''), QStringLiteral("^`^"));
        EXPECT_EQ(Column(s.Library(), "AllMusic", name, a.Gid), ToAnsi(stored)) << name;
    }
    for (const auto& [name, field] : kIntColumns)
        EXPECT_EQ(Column(s.Library(), "AllMusic", name, a.Gid), QByteArray::number(field.Get(a))) << name;

    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), 2);
    CQvMusic* addedBack = s.store->FindTrack(added->GetInfo()->Gid, 0);
    CQvMusic* savedBack = s.store->FindTrack(saved->GetInfo()->Gid, 0);
    CQvMusic* tempBack = s.store->FindStoredTemp(temp->GetInfo()->Gid);
    ASSERT_TRUE(addedBack && savedBack && tempBack);
    EXPECT_EQ(ColumnValues(*addedBack->GetInfo()), ColumnValues(*added->GetInfo()));
    EXPECT_EQ(ColumnValues(*savedBack->GetInfo()), ColumnValues(*saved->GetInfo()));
    EXPECT_EQ(ColumnValues(*tempBack->GetInfo()), ColumnValues(*temp->GetInfo()));
    EXPECT_EQ(addedBack->GetInfo()->ReleaseTimeText, QStringLiteral("ReleaseTime 值 it's 1"));
    const TrackInfo copy = *addedBack->GetInfo();
    EXPECT_EQ(ColumnValues(copy), ColumnValues(*added->GetInfo()));

    // Emptied texts are written as '' and load empty; the copy keeps its values.
    for (const auto& [name, field] : kCompactColumns)
        if (std::strcmp(name, "NSrc") != 0) field.Edit(*addedBack->GetInfo()) = QString();
    ASSERT_EQ(s.lib->UpdateTrack(addedBack), 0);
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Topic", added->GetInfo()->Gid), QByteArray(""));
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE Artist IS NULL OR Topic IS NULL")), 0);
    EXPECT_EQ(copy.Rare().Topic, QStringLiteral("Topic 值 it's 1"));
    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), 2);
    const TrackInfo& emptied = *s.store->FindTrack(added->GetInfo()->Gid, 0)->GetInfo();
    for (const auto& [name, field] : kCompactColumns) {
        if (std::strcmp(name, "NSrc") != 0) {
            EXPECT_TRUE(field.Get(emptied).isEmpty()) << name;
        }
    }
    EXPECT_TRUE(emptied.ReleaseTimeText.isEmpty());
    EXPECT_EQ(emptied.Song, added->GetInfo()->Song);
    EXPECT_EQ(emptied.Rare().Default9, added->GetInfo()->Rare().Default9);
}

// Loading shares equal texts among tracks; the same stored bytes in an escaped column (artist)
// and a plain one (genre) are still two texts, and many distinct texts each stay their own.
TEST(MediaStore, SharedTextsAtLoadKeepEachColumnsOwnReading)
{
    Session s;
    std::vector<TrackRef> tracks;
    for (int i = 0; i < 600; ++i) {
        TrackRef t = MakeTrack(s.File(QStringLiteral("p/%1.mp3").arg(i)));
        TrackInfo& info = *t->GetInfo();
        info.Artist = QStringLiteral("Guns N' Roses");
        info.Genre = QStringLiteral("Guns N^`^ Roses");
        info.Album = QStringLiteral("专辑 %1").arg(i / 2);
        info.Stereo = QStringLiteral("Joint Stereo");
        ASSERT_EQ(s.store->Add(t.get()), 1);
        tracks.push_back(t);
    }
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), 600);
    for (int i = 0; i < 600; ++i) {
        const TrackInfo& info = *s.store->FindTrack(tracks[size_t(i)]->GetInfo()->Gid, 0)->GetInfo();
        ASSERT_EQ(info.Artist, QStringLiteral("Guns N' Roses")) << i;
        ASSERT_EQ(info.Genre, QStringLiteral("Guns N^`^ Roses")) << i;
        ASSERT_EQ(info.Album, QStringLiteral("专辑 %1").arg(i / 2)) << i;
        ASSERT_EQ(info.Stereo, QStringLiteral("Joint Stereo"));
    }
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Genre", tracks[0]->GetInfo()->Gid), QByteArray("Guns N^`^ Roses"));
}

TEST(MediaStore, ARowWrittenTheOldWayLoadsUnchanged)
{
    Session s;
    // The statement an existing installation ran, pasted and converted whole to the code page.
    const QString path = s.File(QStringLiteral("周杰伦/七里香.mp3"));
    const QString gid = MakeGid(path);
    const QString sql = QStringLiteral(
        "INSERT INTO AllMusic (Gid, AddTime, ArtistSex,Frequency,TotleTime,BitRate,TrackNum,PlayCount,State,Lrc,Pic,"
        "Default1,Default2,Default3,Default4,Default5,Default6,Default7,Default8,Default9,Default10,AlbumID,Song,"
        "Artist,Sysid,CmsID,LSrc,NSrc,Album,Genre,ReleaseTime,DownloadID,Stereo,ArtistSpell,ArtistZone,AlbumType,"
        "AlbumSpell,SongZone,SongType,SongSort,SongNation,SongSpell,SongShort,AlbumShort,ArtistShort,TagInfo,Topic,"
        "PicFile,LrcFile) VALUES ('%1', '2011-06-15 10:20:30', 1, 44100, 299, 320, 3, 12, 1, 1, 0, 1, 4, 5, 6, 7, "
        "8, 9, 10, 11, 0,  'alb9', '七里香 (Jay''s)', '周杰伦', 'sys1', 'cms1', '%2', '', '七里香', '流行', "
        "'2004', 'dl1', '立体声', 'zhoujielun', '港台', '专辑', 'qilixiang', '华语', '流行', '排行', '中国', "
        "'qlx', 'QLX', 'QL', 'ZJL', 'tag', 'topic', '/pic/七里香.jpg', '/lrc/七里香.lrc')")
                            .arg(gid, path)
                            .replace(QStringLiteral("Jay''s"), QStringLiteral("Jay^`^s"));
    {
        CSqliteDb raw(s.home.Data("AllMusic2.db"));
        ASSERT_EQ(raw.Open(), 0);
        ASSERT_EQ(raw.Exec(kCreateAllMusic), 0);
        ASSERT_EQ(raw.Exec(ToAnsi(sql).constData()), 0);
        CSqliteDb stats(s.home.Data("MusicOperate2.db"));
        ASSERT_EQ(stats.Open(), 0);
        ASSERT_EQ(stats.Exec(kCreateMusicOpt), 0);
        ASSERT_EQ(stats.Exec(("INSERT INTO MusicOpt (Gid, Rank, Totle, Year, Month, Day, Hour, Minute)VALUES ('" +
                              gid.toLatin1() + "', -1, 12, 2011, 6, 15, 10, 20)").constData()), 0);
    }

    ASSERT_EQ(s.lib->LoadTracks(), 1);
    ASSERT_EQ(s.lib->LoadStatistics(), 1);
    CQvMusic* t = s.store->FindTrack(gid, 0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetState(), 1u);
    const TrackInfo& i = *t->GetInfo();
    const int ints[] = {i.ArtistSex, i.Frequency, i.TotleTime, i.BitRate, i.TrackNum, i.PlayCount, i.Lrc, i.Pic,
                        i.Default1, i.Default2, i.Rare().Default3, i.Rare().Default4, i.Rare().Default5, i.Rare().Default6, i.Rare().Default7,
                        i.Rare().Default8, i.Rare().Default9, i.Default10, i.AddDay};
    const int expectedInts[] = {1, 44100, 299, 320, 3, 12, 1, 0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 0, 0};
    for (size_t k = 0; k < std::size(ints); ++k) EXPECT_EQ(ints[k], expectedInts[k]) << "integer " << k;
    const QStringList texts = {i.Rare().AlbumID, i.Song, i.Artist, i.Rare().Sysid, i.Rare().CmsID, i.LSrc, i.NSrc, i.Album, i.Genre,
                               i.ReleaseTime, i.Rare().DownloadID, i.Stereo, i.Rare().ArtistSpell, i.Rare().ArtistZone, i.Rare().AlbumType,
                               i.Rare().AlbumSpell, i.Rare().SongZone, i.Rare().SongType, i.Rare().SongSort, i.Rare().SongNation, i.Rare().SongSpell,
                               i.Rare().SongShort, i.Rare().AlbumShort, i.Rare().ArtistShort, i.Rare().TagInfo, i.Rare().Topic, i.Rare().PicFile, i.Rare().LrcFile};
    const QStringList expectedTexts = {
        "alb9", "七里香 (Jay's)", "周杰伦", "sys1", "cms1", path, "", "七里香", "流行", "2004", "dl1", "立体声",
        "zhoujielun", "港台", "专辑", "qilixiang", "华语", "流行", "排行", "中国", "qlx", "QLX", "QL", "ZJL",
        "tag", "topic", "/pic/七里香.jpg", "/lrc/七里香.lrc"};
    EXPECT_EQ(texts, expectedTexts);
    EXPECT_EQ(i.Gid, gid);
    EXPECT_EQ(i.ReleaseTimeText, QStringLiteral("2004"));
    EXPECT_EQ(s.store->FindTrack(QStringLiteral("sys1"), 1), t);

    PlayStatistic st;
    ASSERT_EQ(s.store->GetStatistic(gid, st), 1);
    EXPECT_EQ(st.Rank, -1);
    EXPECT_EQ(st.Totle, 12);
    EXPECT_EQ(std::make_tuple(st.Year, st.Month, st.Day, st.Hour, st.Minute), std::make_tuple(2011, 6, 15, 10, 20));
    EXPECT_EQ(s.store->MostPlayed(), std::vector<CQvMusic*> {t});

    // Writing it back leaves the old bytes as they were: a bound update of the same values.
    ASSERT_EQ(s.lib->UpdateTrack(t), 0);
    SqliteStatement q;
    s.Library().Prepare("SELECT Song, Artist, AddTime FROM AllMusic", q);
    ASSERT_EQ(q.Step(), kSqliteRow);
    EXPECT_EQ(q.ColumnBytes(0), ToAnsi(QStringLiteral("七里香 (Jay^`^s)")));
    EXPECT_EQ(q.ColumnBytes(1), ToAnsi(QStringLiteral("周杰伦")));
    EXPECT_EQ(q.ColumnBytes(2), QByteArray("2011-06-15 10:20:30"));
}

TEST(MediaStore, MissingFilesArePurgedOnlyWhereTheirFolderIsThere)
{
    Session s;
    s.conf->OpenAllMissing();
    const QString kept = s.File(QStringLiteral("a/kept.mp3"));
    const QString deleted = s.File(QStringLiteral("a/deleted.mp3"));
    const QString away = s.File(QStringLiteral("usb/disk/away.mp3"));
    TrackRef stream = MakeTrack(QStringLiteral("http://127.0.0.1/s.mp3"));
    TrackRef removedStream = MakeTrack(QStringLiteral("http://127.0.0.1/r.mp3"));
    removedStream->AddState(STATE_REMOVED);
    for (const QString& p : {kept, deleted, away}) ASSERT_EQ(s.lib->AddTrack(MakeTrack(p).get()), 1);
    ASSERT_EQ(s.lib->AddTrack(stream.get()), 1);
    ASSERT_EQ(s.lib->AddTrack(removedStream.get()), 1);
    ASSERT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 5);

    QFile::remove(deleted);
    // The disk is unplugged: the folder is gone with the file.
    const QString disk = s.home.dir.path() + QStringLiteral("/music/usb/disk");
    ASSERT_TRUE(QDir().rename(disk, disk + QStringLiteral(".off")));

    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(), 2);
    EXPECT_NE(s.store->FindTrack(MakeGid(kept), 0), nullptr);
    EXPECT_NE(s.store->FindTrack(MakeGid(QStringLiteral("http://127.0.0.1/s.mp3")), 0), nullptr);
    EXPECT_EQ(s.store->FindTrack(MakeGid(deleted), 0), nullptr);
    EXPECT_EQ(s.store->FindTrack(MakeGid(away), 0), nullptr);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE Gid='%1'").arg(MakeGid(deleted))), 0);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE Gid='%1'").arg(MakeGid(away))), 1);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 3);

    // The disk is back: so is its track.
    ASSERT_TRUE(QDir().rename(disk + QStringLiteral(".off"), disk));
    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(), 3);
    EXPECT_NE(s.store->FindTrack(MakeGid(away), 0), nullptr);
}

TEST(MediaStore, RowsOfOneServiceSongAreSettledByTheirFilesEvenWhenTheFilesAreLookedForLater)
{
    // The newer row of each song would be the library's track; its file is gone (removed from a
    // folder that is there, or out of reach with its disk), so the older row's track is.
    Session s;
    s.conf->OpenAllMissing();
    const QString removed = s.File(QStringLiteral("a/removed.mp3"));
    const QString present = s.File(QStringLiteral("a/present.mp3"));
    const QString away = s.File(QStringLiteral("usb/disk/away.mp3"));
    const QString here = s.File(QStringLiteral("b/here.mp3"));
    for (const auto& [path, key] : {std::pair {present, "S1"}, std::pair {here, "S2"}})
        ASSERT_EQ(s.lib->AddTrack(MakeTrack(path, QString(), QLatin1String(key)).get()), 1);
    for (const auto& [path, key] : {std::pair {removed, "S1"}, std::pair {away, "S2"}}) {
        ASSERT_EQ(s.lib->AddTrack(MakeTrack(path, QString(), QLatin1String(key)).get()), 1);
        ASSERT_EQ(s.Library().Run("UPDATE AllMusic SET State=0, AddTime='2030-01-01 00:00:00' WHERE Gid=?", MakeGid(path)),
                  kSqliteOk);
    }
    QFile::remove(removed);
    const QString disk = s.home.dir.path() + QStringLiteral("/music/usb/disk");
    ASSERT_TRUE(QDir().rename(disk, disk + QStringLiteral(".off")));

    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(false), 2);
    EXPECT_EQ(s.store->FindTrack(QStringLiteral("S1"), 1), s.store->FindTrack(MakeGid(present), 0));
    EXPECT_EQ(s.store->FindTrack(QStringLiteral("S2"), 1), s.store->FindTrack(MakeGid(here), 0));
    EXPECT_TRUE(s.store->TempTracks().empty());
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE Gid='%1'").arg(MakeGid(removed))), 0);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE Gid='%1'").arg(MakeGid(away))), 1);
    EXPECT_EQ(s.lib->CheckTrackFiles(), 0);
}

TEST(MediaStore, FilesOnlyOutOfReachKeepTheirRows)
{
    Session s;
    s.conf->OpenAllMissing();
    // The top of a disk that is not mounted: its mount folder stays, empty.
    const QString unmounted = s.File(QStringLiteral("mnt/usb/top.mp3"));
    // A name the system cannot resolve (a link to itself): not "no such file".
    const QString looped = s.File(QStringLiteral("b/looped.mp3"));
    s.File(QStringLiteral("b/other.mp3"));
    // The top of a mounted file system (a track whose disk is mounted elsewhere today).
    const QString mountTop = QStringLiteral("/dev/shm/ordel-%1.mp3").arg(QCoreApplication::applicationPid());
    const QString deleted = s.File(QStringLiteral("b/deleted.mp3"));
    for (const QString& p : {unmounted, looped, mountTop, deleted}) ASSERT_EQ(s.lib->AddTrack(MakeTrack(p).get()), 1);

    ASSERT_TRUE(QFile::remove(unmounted));
    ASSERT_TRUE(QFile::remove(looped));
    ASSERT_TRUE(QFile::link(looped, looped));
    ASSERT_TRUE(QFile::remove(deleted));
    struct stat shm {}, dev {};
    const bool shmIsMount = ::stat("/dev/shm", &shm) == 0 && ::stat("/dev", &dev) == 0 && shm.st_dev != dev.st_dev;

    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(), 0);
    auto stored = [&](const QString& p) {
        return Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE Gid='%1'").arg(MakeGid(p)));
    };
    EXPECT_EQ(stored(unmounted), 1);
    EXPECT_EQ(stored(looped), 1);
    if (shmIsMount) {
        EXPECT_EQ(stored(mountTop), 1);
    }
    EXPECT_EQ(stored(deleted), 0); // really removed from a folder that is there
    EXPECT_EQ(s.store->FindTrack(MakeGid(unmounted), 0), nullptr); // left out while away

    // A folder that cannot be read for a moment (root reads any folder: not shown to root).
    if (::geteuid() != 0) {
        const QString locked = s.File(QStringLiteral("c/locked.mp3"));
        ASSERT_EQ(s.lib->AddTrack(MakeTrack(locked).get()), 1);
        const QString folder = QFileInfo(locked).path();
        ASSERT_TRUE(QFile::setPermissions(folder, QFileDevice::WriteOwner));
        s.Reopen();
        s.lib->LoadTracks();
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_EQ(stored(locked), 1);
    }

    // The disk is mounted again: its track comes back.
    s.File(QStringLiteral("mnt/usb/top.mp3"));
    s.Reopen();
    s.lib->LoadTracks();
    EXPECT_NE(s.store->FindTrack(MakeGid(unmounted), 0), nullptr);
}

TEST(MediaStore, AFolderOfManyTracksIsReadOnceWithTheSameVerdicts)
{
    // Enough tracks in one folder that its listing is read instead of looking for each file.
    Session s;
    s.conf->OpenAllMissing();
    std::vector<QString> present;
    for (int i = 0; i < 9; ++i) present.push_back(s.File(QStringLiteral("big/歌 %1.mp3").arg(i)));
    const QString deleted = s.File(QStringLiteral("big/deleted.mp3"));
    const QString nowAFolder = s.File(QStringLiteral("big/folder.mp3"));
    const QString linked = s.File(QStringLiteral("big/linked.mp3"));
    const QString dangling = s.File(QStringLiteral("big/dangling.mp3"));
    const QString looped = s.File(QStringLiteral("big/looped.mp3"));
    std::vector<QString> all = present;
    for (const QString& p : {deleted, nowAFolder, linked, dangling, looped}) all.push_back(p);
    for (const QString& p : all) ASSERT_EQ(s.lib->AddTrack(MakeTrack(p).get()), 1);

    ASSERT_TRUE(QFile::remove(deleted));
    ASSERT_TRUE(QFile::remove(nowAFolder) && QDir().mkpath(nowAFolder));
    ASSERT_TRUE(QFile::remove(linked) && QFile::link(present[0], linked));
    ASSERT_TRUE(QFile::remove(dangling) && QFile::link(deleted, dangling));
    ASSERT_TRUE(QFile::remove(looped) && QFile::link(looped, looped));

    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(), 10);
    for (const QString& p : present) EXPECT_NE(s.store->FindTrack(MakeGid(p), 0), nullptr) << qPrintable(p);
    EXPECT_NE(s.store->FindTrack(MakeGid(linked), 0), nullptr);
    auto stored = [&](const QString& p) {
        return Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE Gid='%1'").arg(MakeGid(p)));
    };
    EXPECT_EQ(stored(deleted), 0);
    EXPECT_EQ(stored(nowAFolder), 0);
    EXPECT_EQ(stored(dangling), 0);
    // Not "no such file": kept, left out.
    EXPECT_EQ(stored(looped), 1);
    EXPECT_EQ(s.store->FindTrack(MakeGid(looped), 0), nullptr);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 11);
}

TEST(MediaStore, ADamagedPageCostsOnlyItsOwnRowsAtTheNextStart)
{
    Session s;
    s.conf->OpenAllMissing();
    constexpr int kTracks = 600;
    for (int i = 0; i < kTracks; ++i)
        ASSERT_EQ(s.lib->AddTrack(MakeTrack(QStringLiteral("http://127.0.0.1/%1.mp3").arg(i),
                                            QStringLiteral("Song %1 of the library").arg(i)).get()),
                  1);
    s.Reopen(); // closes the file, its log written back

    // One page in the middle of the table is overwritten, as a bad sector leaves it.
    const QString path = s.home.Data("AllMusic2.db");
    QByteArray bytes = testutil::ReadFile(path);
    const int pageSize = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
    const qsizetype at = bytes.indexOf("Song 300 of the library");
    ASSERT_GT(at, pageSize);
    const qsizetype page = at / pageSize * pageSize;
    for (int k = 0; k < 12; ++k) bytes[page + k] = char(0xff);
    testutil::WriteFile(path, bytes);

    const int loaded = s.lib->LoadTracks();
    EXPECT_GT(loaded, kTracks * 9 / 10);
    EXPECT_LT(loaded, kTracks);
    EXPECT_NE(s.store->FindTrack(MakeGid(QStringLiteral("http://127.0.0.1/0.mp3")), 0), nullptr);
    EXPECT_NE(s.store->FindTrack(MakeGid(QStringLiteral("http://127.0.0.1/599.mp3")), 0), nullptr);
    EXPECT_EQ(s.store->FindTrack(MakeGid(QStringLiteral("http://127.0.0.1/300.mp3")), 0), nullptr);
    // The damaged file is kept beside the fresh one, byte for byte.
    EXPECT_EQ(testutil::ReadFile(path + QStringLiteral(".damaged")), bytes);

    // The fresh file is whole: the next start reads the same rows and sets nothing aside.
    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(), loaded);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".damaged.1")));
}

TEST(MediaStore, TablesALaterVersionWroteWithMoreColumnsAreReadByName)
{
    Session s;
    const QString path = s.File(QStringLiteral("later/one.mp3"));
    const QString gid = MakeGid(path);
    {
        // Our columns with two more, one of them in the middle of the row.
        QByteArray create = kCreateAllMusic;
        create.replace("Song nvchar(128),", "Rating interger,Song nvchar(128),");
        create.replace("LrcFile nvchar(260)", "LrcFile nvchar(260),Mood nvchar(20)");
        CSqliteDb raw(s.home.Data("AllMusic2.db"));
        ASSERT_EQ(raw.Open(), 0);
        ASSERT_EQ(raw.Exec(create.constData()), 0);
        ASSERT_EQ(raw.Run("INSERT INTO AllMusic (Gid, State, Rating, Song, Artist, LSrc, Mood) VALUES (?, 1, 5, ?, ?, ?, ?)",
                          gid, QStringLiteral("Later"), QStringLiteral("Someone"), path, QStringLiteral("calm")),
                  0);
        CSqliteDb stats(s.home.Data("MusicOperate2.db"));
        ASSERT_EQ(stats.Open(), 0);
        ASSERT_EQ(stats.Exec("create table MusicOpt(Gid nvchar(40) primary key not NULL, Skips interger, Rank interger,"
                             "Totle interger,Year interger,Month interger,Day interger,Hour interger,Minute interger)"),
                  0);
        ASSERT_EQ(stats.Run("INSERT INTO MusicOpt (Gid, Skips, Rank, Totle, Year, Month, Day, Hour, Minute) VALUES "
                            "(?, 99, 3, 12, 2020, 1, 2, 3, 4)",
                            gid),
                  0);
    }
    ASSERT_EQ(s.lib->LoadTracks(), 1);
    ASSERT_EQ(s.lib->LoadStatistics(), 1);
    CQvMusic* t = s.store->FindTrack(gid, 0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetInfo()->Song, QStringLiteral("Later"));
    EXPECT_EQ(t->GetInfo()->Artist, QStringLiteral("Someone"));
    EXPECT_EQ(t->GetInfo()->LSrc, path);
    EXPECT_EQ(t->GetInfo()->PlayCount, 12);
    EXPECT_FALSE(QFileInfo::exists(s.home.Data("AllMusic2.db.damaged")));
    EXPECT_FALSE(QFileInfo::exists(s.home.Data("MusicOperate2.db.damaged")));
    // New rows go into the same table, the later version's columns left empty.
    ASSERT_EQ(s.lib->AddTrack(MakeTrack(s.File(QStringLiteral("later/two.mp3"))).get()), 1);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 2);
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Mood", gid), QByteArray("calm"));
}

TEST(MediaStore, ServiceKeyDuplicatesGoToTheTemporaryTracks)
{
    Session s;
    s.conf->OpenAllMissing();
    TrackRef first = MakeTrack(s.File(QStringLiteral("1.mp3")), QString(), QStringLiteral("S1"));
    TrackRef localDup = MakeTrack(s.File(QStringLiteral("2.mp3")), QString(), QStringLiteral("S1"));
    TrackRef streamDup = MakeTrack(QStringLiteral("http://127.0.0.1/3.mp3"), QString(), QStringLiteral("S1"));
    TrackRef byCms = MakeTrack(s.File(QStringLiteral("4.mp3")));
    byCms->GetInfo()->EditRare().CmsID = QStringLiteral("C9");

    ASSERT_EQ(s.lib->AddTrack(first.get()), 1);
    ASSERT_EQ(s.lib->AddTrack(localDup.get()), 1);
    ASSERT_EQ(s.lib->AddTrack(streamDup.get()), 1);
    ASSERT_EQ(s.lib->AddTrack(byCms.get()), 1);
    // The same Gid again is refused wherever it went.
    EXPECT_EQ(s.lib->AddTrack(MakeTrack(first->GetInfo()->LSrc).get()), 0);
    EXPECT_EQ(s.lib->AddTrack(MakeTrack(localDup->GetInfo()->LSrc, QString(), QStringLiteral("S1")).get()), 0);

    EXPECT_EQ(s.store->LibraryTracks(), (MemberList {byCms.get(), first.get()}));
    EXPECT_EQ(s.store->TempTracks(), (MemberList {localDup.get(), streamDup.get()}));
    EXPECT_TRUE(localDup->GetState() & STATE_REMOVED);
    EXPECT_EQ(s.store->FindTrack(QStringLiteral("S1"), 1), first.get());
    EXPECT_EQ(s.store->FindTrack(QStringLiteral("C9"), 2), byCms.get());
    EXPECT_EQ(s.store->FindTrack(localDup->GetInfo()->Gid, 0), localDup.get());
    EXPECT_EQ(s.store->FindTrack(QStringLiteral("S1"), 3), nullptr);
    // Their rows were written, with flag 2 in State.
    EXPECT_EQ(Column(s.Library(), "AllMusic", "State", localDup->GetInfo()->Gid), QByteArray("3"));

    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(), 2);
    // The stream duplicate is deleted, the local one returns to the temporary tracks.
    EXPECT_EQ(s.store->FindTrack(streamDup->GetInfo()->Gid, 0), nullptr);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 3);
    ASSERT_EQ(s.store->TempTracks().size(), 1u);
    EXPECT_EQ(s.store->TempTracks()[0]->GetInfo()->Gid, localDup->GetInfo()->Gid);
    // Newest first in the file, each in front: the library ends oldest first.
    ASSERT_EQ(s.store->LibraryTracks().size(), 2u);
}

TEST(MediaStore, RemovedTrackIsFoundAgainAndRestored)
{
    Session s;
    s.conf->OpenAllMissing();
    const QString path = s.File(QStringLiteral("r.mp3"));
    TrackRef t = MakeTrack(path, QString(), QStringLiteral("SR"));
    ASSERT_EQ(s.lib->AddTrack(t.get()), 1);
    ASSERT_EQ(s.lib->RemoveTrack(t.get()), 1);

    EXPECT_TRUE(s.store->LibraryTracks().empty());
    EXPECT_EQ(s.store->FindTrack(QStringLiteral("SR"), 1), nullptr);
    EXPECT_EQ(s.store->FindTrack(MakeGid(path), 0), t.get());
    EXPECT_EQ(s.store->TempTracks(), MemberList {t.get()});
    EXPECT_EQ(Column(s.Library(), "AllMusic", "State", MakeGid(path)), QByteArray("3"));
    // Played while removed: not counted.
    EXPECT_EQ(s.lib->RecordPlay(t.get()), -1);

    t->AddState(STATE_DELETED_WITH_FILE);
    ASSERT_EQ(s.lib->RestoreTrack(t.get()), 1);
    EXPECT_EQ(t->GetState(), 1u);
    EXPECT_EQ(s.store->LibraryTracks(), MemberList {t.get()});
    EXPECT_TRUE(s.store->TempTracks().empty());
    EXPECT_EQ(s.store->FindTrack(QStringLiteral("SR"), 1), t.get());
    EXPECT_EQ(Column(s.Library(), "AllMusic", "State", MakeGid(path)), QByteArray("1"));

    // A track removed in an earlier session comes back as a temporary track at load.
    s.lib->RemoveTrack(t.get());
    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(), 0);
    CQvMusic* again = s.store->FindTrack(MakeGid(path), 0);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(again->GetState() & STATE_REMOVED);
}

TEST(MediaStore, RecordPlayCountsAndTheStoredRows)
{
    Session s;
    s.conf->OpenAllMissing();
    RecordingHooks hooks;
    s.lib->SetTreeHooks(&hooks);
    TrackRef t = MakeTrack(s.File(QStringLiteral("p.mp3")));
    const QString gid = t->GetInfo()->Gid;
    ASSERT_EQ(s.lib->AddTrack(t.get()), 1);
    CSqliteDb& stats = *s.conf->StatisticsDb();

    ASSERT_EQ(s.lib->RecordPlay(t.get()), 0);
    EXPECT_EQ(Column(stats, "MusicOpt", "Rank", gid), QByteArray("1"));
    EXPECT_EQ(Column(stats, "MusicOpt", "Totle", gid), QByteArray("1"));
    EXPECT_EQ(Column(stats, "MusicOpt", "Year", gid), QByteArray::number(QDate::currentDate().year()));
    ASSERT_EQ(s.lib->RecordPlay(t.get()), 0);
    EXPECT_EQ(Column(stats, "MusicOpt", "Rank", gid), QByteArray("2"));
    EXPECT_EQ(Column(stats, "MusicOpt", "Totle", gid), QByteArray("2"));
    EXPECT_EQ(t->GetInfo()->PlayCount, 2);
    EXPECT_EQ(Count(stats, QStringLiteral("SELECT count(*) FROM MusicOpt")), 1);
    ASSERT_EQ(hooks.offers.size(), 2u);
    EXPECT_EQ(hooks.offers[1], std::make_pair(t.get(), 4));

    // A rank the service reset to -1 starts again at 1 while the total goes on.
    ASSERT_EQ(stats.Exec("UPDATE MusicOpt SET Rank=-1"), 0);
    s.Reopen();
    s.lib->LoadTracks();
    s.lib->LoadStatistics();
    CQvMusic* back = s.store->FindTrack(gid, 0);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetInfo()->PlayCount, 2);
    ASSERT_EQ(s.lib->RecordPlay(back), 0);
    PlayStatistic st;
    ASSERT_EQ(s.store->GetStatistic(gid, st), 1);
    EXPECT_EQ(st.Rank, 1);
    EXPECT_EQ(st.Totle, 3);
    EXPECT_EQ(Column(*s.conf->StatisticsDb(), "MusicOpt", "Rank", gid), QByteArray("1"));
    EXPECT_EQ(Column(*s.conf->StatisticsDb(), "MusicOpt", "Totle", gid), QByteArray("3"));

    // Flag 2 and unknown tracks are never counted.
    TrackRef stranger = MakeTrack(s.File(QStringLiteral("unknown.mp3")));
    EXPECT_EQ(s.lib->RecordPlay(stranger.get()), -1);
    TrackRef dup = MakeTrack(s.File(QStringLiteral("dup.mp3")));
    dup->AddState(STATE_REMOVED);
    ASSERT_EQ(s.lib->AddTrack(dup.get()), 1);
    EXPECT_EQ(s.lib->RecordPlay(dup.get()), -1);
    EXPECT_EQ(Count(*s.conf->StatisticsDb(), QStringLiteral("SELECT count(*) FROM MusicOpt")), 1);
    EXPECT_EQ(s.store->GetStatistic(dup->GetInfo()->Gid, st), -1);
}

TEST(MediaStore, MostPlayedCacheKeepsFiftyOneAndReplacesTheLeastPlayed)
{
    CQvMediaStore store;
    std::vector<TrackRef> tracks;
    auto add = [&](int totle) {
        TrackRef t = MakeTrack(QStringLiteral("/m/%1.mp3").arg(tracks.size()));
        PlayStatistic st;
        st.Totle = totle;
        store.PutStatistic(t->GetInfo()->Gid, st);
        store.AddMostPlayed(t.get(), false);
        tracks.push_back(t);
        return t.get();
    };
    for (int i = 0; i < 51; ++i) add(i == 7 ? 2 : i == 9 ? 2 : i == 20 ? 5 : 20);
    ASSERT_EQ(store.MostPlayed().size(), 51u);
    // Not again, unless forced.
    store.AddMostPlayed(tracks[0].get(), false);
    EXPECT_EQ(store.MostPlayed().size(), 51u);

    // Totle 3 against a smallest of 2 (the first such, entry 7): it replaces that entry.
    CQvMusic* t52 = add(3);
    ASSERT_EQ(store.MostPlayed().size(), 51u);
    EXPECT_EQ(store.MostPlayed().back(), t52);
    EXPECT_EQ(std::count(store.MostPlayed().begin(), store.MostPlayed().end(), tracks[7].get()), 0);
    EXPECT_EQ(std::count(store.MostPlayed().begin(), store.MostPlayed().end(), tracks[9].get()), 1);
    // Totle 1 is below the smallest left (2): refused.
    CQvMusic* low = add(1);
    EXPECT_EQ(std::count(store.MostPlayed().begin(), store.MostPlayed().end(), low), 0);
    // With nothing below 10 left, a track with 10 or more replaces the first entry.
    store.PutStatistic(tracks[9]->GetInfo()->Gid, PlayStatistic {0, 0, 0, 0, 0, 0, 30});
    store.PutStatistic(tracks[20]->GetInfo()->Gid, PlayStatistic {0, 0, 0, 0, 0, 0, 30});
    store.PutStatistic(t52->GetInfo()->Gid, PlayStatistic {0, 0, 0, 0, 0, 0, 30});
    CQvMusic* first = store.MostPlayed().front();
    EXPECT_EQ(std::count(store.MostPlayed().begin(), store.MostPlayed().end(), add(9)), 0);
    CQvMusic* hot = add(12);
    EXPECT_EQ(store.MostPlayed().back(), hot);
    EXPECT_EQ(std::count(store.MostPlayed().begin(), store.MostPlayed().end(), first), 0);
}

TEST(MediaStore, ALargeLibraryLoadsNewestFirstWithTiesInTheOrderTheyWereStored)
{
    // Many rows, with every kind of AddTime a file may hold (texts, numbers, NULL), long runs of
    // equal times, and gaps in the rowids.
    Session s;
    s.conf->OpenAllMissing();
    constexpr int kTracks = 20000;
    for (int i = 0; i < kTracks; ++i)
        s.store->Add(MakeTrack(QStringLiteral("http://127.0.0.1/%1.mp3").arg(i)).get());
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    ASSERT_EQ(s.Library().Run("UPDATE AllMusic SET AddTime = CASE rowid % 9 WHEN 0 THEN NULL WHEN 1 THEN 5 "
                              "WHEN 2 THEN 2.5 WHEN 3 THEN '2026-01-01 10:00:00' WHEN 4 THEN x'0102' "
                              "WHEN 5 THEN '2026-01-01 10:00:0' ELSE '2025-12-31 23:59:5' || (rowid % 3) END"),
              kSqliteOk);
    ASSERT_EQ(s.Library().Run("DELETE FROM AllMusic WHERE rowid % 97 = 0 OR rowid BETWEEN 5000 AND 6500"), kSqliteOk);
    std::vector<QString> expected;
    {
        SqliteStatement stmt;
        ASSERT_EQ(s.Library().Prepare("SELECT Gid FROM AllMusic ORDER BY AddTime DESC", stmt), kSqliteOk);
        while (stmt.Step() == kSqliteRow) expected.push_back(stmt.ColumnText(0));
    }
    ASSERT_GT(expected.size(), 17000u);

    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), int(expected.size()));
    // Each row goes in front of the ones before it: the library holds them oldest first.
    std::vector<QString> loaded;
    for (auto it = s.store->LibraryTracks().rbegin(); it != s.store->LibraryTracks().rend(); ++it)
        loaded.push_back((*it)->GetInfo()->Gid);
    EXPECT_TRUE(loaded == expected);
    // The tracks are whole: their texts came with them.
    const CQvMusic* first = s.store->LibraryTracks().back();
    EXPECT_EQ(first->GetInfo()->NSrc, QStringLiteral("http://127.0.0.1/%1").arg(first->GetInfo()->Song) + QStringLiteral(".mp3"));
}

// A save's rows are stored at one moment, however long the write takes: after a restart they come
// back in the order of the save, never split where the clock turned to the next second.
TEST(MediaStore, ASavesRowsShareOneAddTimeAndComeBackInTheOrderOfTheSave)
{
    Session s;
    constexpr int kTracks = 30000;
    for (int i = 0; i < kTracks; ++i)
        ASSERT_EQ(s.store->Add(MakeTrack(QStringLiteral("http://127.0.0.1/moment/%1.mp3").arg(i)).get()), 1);
    std::vector<QString> saved;
    for (const CQvMusic* t : s.store->LibraryTracks()) saved.push_back(t->GetInfo()->Gid);
    SqliteStatement clock;
    ASSERT_EQ(s.conf->OpenLibraryDb()->Prepare("SELECT datetime('now','localtime')", clock), kSqliteOk);
    ASSERT_EQ(clock.Step(), kSqliteRow);
    const QByteArray before = clock.ColumnBytes(0);
    clock.reset();
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(DISTINCT AddTime) FROM AllMusic")), 1);
    EXPECT_GE(Column(s.Library(), "AllMusic", "AddTime", saved.front()), before);

    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), kTracks);
    // Each row goes in front of the ones loaded before it.
    std::vector<QString> loaded;
    for (auto it = s.store->LibraryTracks().rbegin(); it != s.store->LibraryTracks().rend(); ++it)
        loaded.push_back((*it)->GetInfo()->Gid);
    EXPECT_TRUE(loaded == saved);
}

TEST(MediaStore, DownloadDaySurvivesARestart)
{
    Session s;
    s.conf->OpenAllMissing();
    TrackRef t = MakeTrack(s.File(QStringLiteral("d.mp3")));
    t->GetInfo()->AddDay = TodayDayNumber();
    ASSERT_EQ(s.lib->AddTrack(t.get()), 1);
    TrackRef scanned = MakeTrack(s.File(QStringLiteral("scan.mp3")));
    ASSERT_EQ(s.lib->AddTrack(scanned.get()), 1);
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Default10", t->GetInfo()->Gid), QByteArray::number(TodayDayNumber()));
    s.Reopen();
    s.lib->LoadTracks();
    EXPECT_EQ(s.store->FindTrack(t->GetInfo()->Gid, 0)->GetInfo()->AddDay, TodayDayNumber());
    EXPECT_EQ(s.store->FindTrack(scanned->GetInfo()->Gid, 0)->GetInfo()->AddDay, 0);
}

namespace {

// Every column of a row but AddTime, each as SQLite quotes it (so its kind shows: 0, '' or NULL).
QByteArray WholeRow(CSqliteDb& db, const char* table, const QString& gid)
{
    SqliteStatement columns;
    db.Prepare((QByteArray("PRAGMA table_info(") + table + ")").constData(), columns);
    QByteArray select = "SELECT ''";
    while (columns.Step() == kSqliteRow)
        if (const QByteArray name = columns.ColumnBytes(1); name != "AddTime") select += "||'|'||quote(" + name + ")";
    SqliteStatement row;
    db.Prepare((select + " FROM " + table + " WHERE Gid=?").constData(), row);
    Bind(row, gid);
    return row.Step() == kSqliteRow ? row.ColumnBytes(0) : QByteArray("<none>");
}

} // namespace

TEST(MediaStore, ATrackAsItsFileGaveItIsStoredAsTheWholeRowWouldBe)
{
    Session s;
    s.conf->OpenAllMissing();
    TrackRef t = MakeTrack(s.File(QStringLiteral("it's/歌 it's.mp3")), QStringLiteral("Don't 歌"));
    TrackInfo& i = *t->GetInfo();
    i.Artist = QStringLiteral("Guns N' Roses");
    i.Album = QStringLiteral("专辑 'A'");
    i.Genre = QStringLiteral("UnKnown");
    i.Stereo = QStringLiteral("立体声");
    i.Frequency = 44100;
    i.TotleTime = 33;
    i.BitRate = 128;
    i.TrackNum = 7;
    i.AddDay = TodayDayNumber();
    ASSERT_TRUE(FitsFileTrackInsert(i));
    ASSERT_EQ(s.lib->AddTrack(t.get()), 1);
    const QByteArray fromFile = WholeRow(s.Library(), "AllMusic", i.Gid);
    EXPECT_TRUE(fromFile.contains("|-1|44100|33|128|7|0|1|0|")) << fromFile.constData();
    EXPECT_FALSE(fromFile.contains("NULL")) << fromFile.constData();

    // The same track through the statement that binds all 48 values: the same row.
    ASSERT_EQ(s.Library().Exec("DELETE FROM AllMusic"), 0);
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    EXPECT_EQ(WholeRow(s.Library(), "AllMusic", i.Gid), fromFile);
    // The temporary table's row too.
    ASSERT_EQ(s.lib->InsertTempTrack(t.get()), 0);
    EXPECT_EQ(WholeRow(*s.conf->TempDb(), "TempMusic", i.Gid), fromFile);

    // Any other column filled takes the whole statement, and is stored.
    const std::vector<std::function<void(TrackInfo&)>> others = {
        [](TrackInfo& o) { o.ArtistSex = 0; },  [](TrackInfo& o) { o.PlayCount = 2; },
        [](TrackInfo& o) { o.EditRare().Default3 = 5; }, [](TrackInfo& o) { o.Pic = 1; },
        [](TrackInfo& o) { o.EditRare().Sysid = QStringLiteral("s1"); },
        [](TrackInfo& o) { o.NSrc = QStringLiteral("http://127.0.0.1/x.mp3"); },
        [](TrackInfo& o) { o.ReleaseTime = QStringLiteral("1999"); },
        [](TrackInfo& o) { o.EditRare().LrcFile = QStringLiteral("deletelrc"); },
    };
    std::vector<TrackRef> more;
    for (size_t k = 0; k < others.size(); ++k) {
        TrackRef o = MakeTrack(s.File(QStringLiteral("other%1.mp3").arg(k)));
        others[k](*o->GetInfo());
        EXPECT_FALSE(FitsFileTrackInsert(*o->GetInfo())) << k;
        ASSERT_EQ(s.lib->AddTrack(o.get()), 1);
        more.push_back(o);
    }
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Default3", more[2]->GetInfo()->Gid), QByteArray("5"));
    EXPECT_EQ(Column(s.Library(), "AllMusic", "LrcFile", more[7]->GetInfo()->Gid), QByteArray("deletelrc"));

    // Read back after a restart, every field as it was.
    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), int(1 + more.size()));
    const CQvMusic* back = s.store->FindTrack(i.Gid, 0);
    ASSERT_NE(back, nullptr);
    const TrackInfo& b = *back->GetInfo();
    EXPECT_EQ(b.Song, i.Song);
    EXPECT_EQ(b.Artist, i.Artist);
    EXPECT_EQ(b.Album, i.Album);
    EXPECT_EQ(b.Genre, i.Genre);
    EXPECT_EQ(b.Stereo, i.Stereo);
    EXPECT_EQ(b.LSrc, i.LSrc);
    EXPECT_EQ(b.Frequency, 44100);
    EXPECT_EQ(b.TotleTime, 33);
    EXPECT_EQ(b.BitRate, 128);
    EXPECT_EQ(b.TrackNum, 7);
    EXPECT_EQ(b.AddDay, i.AddDay);
    EXPECT_EQ(b.ArtistSex, -1);
    EXPECT_EQ(back->GetState(), t->GetState());
    EXPECT_TRUE(b.Rare().Sysid.isEmpty() && b.NSrc.isEmpty() && b.Rare().PicFile.isEmpty() && b.Rare().LrcFile.isEmpty());
    // A row whose rare columns hold a new record's values loads without the rare fields' block.
    EXPECT_FALSE(b.HasRareBlock());
    EXPECT_FALSE(s.store->FindTrack(more[0]->GetInfo()->Gid, 0)->GetInfo()->HasRareBlock());
    EXPECT_EQ(s.store->FindTrack(more[2]->GetInfo()->Gid, 0)->GetInfo()->Rare().Default3, 5);
    EXPECT_EQ(s.store->FindTrack(more[0]->GetInfo()->Gid, 0)->GetInfo()->ArtistSex, 0);
    EXPECT_EQ(s.store->FindTrack(more[4]->GetInfo()->Gid, 0)->GetInfo()->Rare().Sysid, QStringLiteral("s1"));
}

// A save binds each row's values only where they differ from the row before: a value kept, one
// emptied, one back after an empty row, texts of the same bytes in an escaped and a plain column,
// the state word: each row is stored as a write of that track alone stores it.
TEST(MediaStore, ASaveOfManyTracksStoresEachRowAsAWriteOfItsOwnWould)
{
    Session s;
    s.conf->OpenAllMissing();
    std::vector<TrackRef> tracks;
    for (int k = 0; k < 24; ++k) {
        TrackRef t = MakeTrack(s.File(QStringLiteral("run/%1.mp3").arg(k)), k % 4 == 0 ? QStringLiteral("歌 it's") : QString());
        TrackInfo& info = *t->GetInfo();
        int j = 0;
        for (const auto& [name, field] : kCompactColumns) {
            const int pick = (k / (1 + j % 3) + j) % 3;
            // The service's keys stay each track's own: a shared one would make a duplicate.
            const bool key = QByteArray("Sysid CmsID").contains(name);
            field.Edit(info) = pick == 0 ? QString()
                               : pick == 1 && !key ? QStringLiteral("同 it's")
                                                   : QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(k);
            ++j;
        }
        for (const auto& [name, field] : kIntColumns) field.Edit(info) = (k / (1 + j++ % 4)) % 2 ? -k : 7;
        if (k % 5 == 2) t->AddState(STATE_REFETCH_COVER);
        tracks.push_back(t);
    }
    std::map<QString, QByteArray> single;
    for (const TrackRef& t : tracks) {
        ASSERT_EQ(s.lib->AddTrack(t.get()), 1);
        single[t->GetInfo()->Gid] = WholeRow(s.Library(), "AllMusic", t->GetInfo()->Gid);
    }
    ASSERT_EQ(s.store->LibraryTracks().size(), tracks.size());
    ASSERT_EQ(s.Library().Exec("DELETE FROM AllMusic"), 0);
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    for (const TrackRef& t : tracks)
        EXPECT_EQ(WholeRow(s.Library(), "AllMusic", t->GetInfo()->Gid), single[t->GetInfo()->Gid]) << t->GetInfo()->LSrc.Text().toStdString();
    // The statement went back to the cache with nothing of the run bound: a single write after it
    // binds all its values again.
    TrackRef after = MakeTrack(s.File(QStringLiteral("after.mp3")));
    after->GetInfo()->PlayCount = 3;
    ASSERT_EQ(s.lib->AddTrack(after.get()), 1);
    EXPECT_FALSE(WholeRow(s.Library(), "AllMusic", after->GetInfo()->Gid).contains("NULL"));
}

TEST(MediaStore, TracksLoadedWithTheSameArtistKeepTheirOwnFields)
{
    // Loading shares one copy of a text many rows hold; a change to one track's field must
    // still leave the others as they were, also in the rows written back.
    Session s;
    s.conf->OpenAllMissing();
    std::vector<TrackRef> added;
    for (int i = 0; i < 3; ++i) {
        TrackRef t = MakeTrack(s.File(QStringLiteral("a%1.mp3").arg(i)), QStringLiteral("歌%1").arg(i));
        t->GetInfo()->Artist = QStringLiteral("林晓");
        t->GetInfo()->Album = QStringLiteral("It's an album");
        t->GetInfo()->Genre = QStringLiteral("Pop");
        ASSERT_EQ(s.lib->AddTrack(t.get()), 1);
        added.push_back(t);
    }
    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), 3);
    CQvMusic* first = s.store->FindTrack(added[0]->GetInfo()->Gid, 0);
    CQvMusic* second = s.store->FindTrack(added[1]->GetInfo()->Gid, 0);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->GetInfo()->Artist, QStringLiteral("林晓"));
    EXPECT_EQ(second->GetInfo()->Album, QStringLiteral("It's an album"));
    EXPECT_EQ(second->GetInfo()->Song, QStringLiteral("歌1"));
    first->GetInfo()->Artist = first->GetInfo()->Artist.str() + QStringLiteral(" & 陈雨");
    QString genre = first->GetInfo()->Genre;
    genre[0] = QLatin1Char('B');
    first->GetInfo()->Genre = genre;
    EXPECT_EQ(second->GetInfo()->Artist, QStringLiteral("林晓"));
    EXPECT_EQ(second->GetInfo()->Genre, QStringLiteral("Pop"));
    ASSERT_GE(s.lib->UpdateTrack(first), 0);
    s.Reopen();
    ASSERT_EQ(s.lib->LoadTracks(), 3);
    EXPECT_EQ(s.store->FindTrack(added[0]->GetInfo()->Gid, 0)->GetInfo()->Genre, QStringLiteral("Bop"));
    EXPECT_EQ(s.store->FindTrack(added[2]->GetInfo()->Gid, 0)->GetInfo()->Artist, QStringLiteral("林晓"));
    EXPECT_EQ(s.store->FindTrack(added[2]->GetInfo()->Gid, 0)->GetInfo()->Genre, QStringLiteral("Pop"));
}

TEST(MediaStore, SaveAllTracksWritesTheLibraryAndKeepsStoredRows)
{
    Session s;
    // A first run: the store fills before "AllMusic2.db" exists; the tracks are written after.
    std::vector<TrackRef> tracks;
    for (int i = 0; i < 30; ++i) {
        tracks.push_back(MakeTrack(s.File(QStringLiteral("f%1.mp3").arg(i))));
        ASSERT_EQ(s.lib->AddTrack(tracks.back().get()), 1);
    }
    EXPECT_FALSE(QFileInfo::exists(s.home.Data("AllMusic2.db")));
    EXPECT_EQ(s.lib->LoadTracks(), -1);
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 30);
    ASSERT_EQ(s.Library().Exec("UPDATE AllMusic SET AddTime='2001-01-01 00:00:00' WHERE rowid=1"), 0);
    // Saving again adds nothing and leaves the stored rows as they were.
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 30);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE AddTime LIKE '2001%'")), 1);
    // The temporary connection came with it.
    EXPECT_TRUE(s.conf->TempDb() && s.conf->TempDb()->IsOpen());
    TrackRef played = MakeTrack(QStringLiteral("http://127.0.0.1/t.mp3"));
    EXPECT_EQ(s.lib->InsertTempTrack(played.get()), 0);
    played->GetInfo()->Song = QStringLiteral("it's");
    EXPECT_EQ(s.lib->UpdateTrack(played.get()), 0);
    EXPECT_EQ(Column(*s.conf->TempDb(), "TempMusic", "Song", played->GetInfo()->Gid), QByteArray("it^`^s"));

    // Rows come newest first and each goes in front: the library ends oldest first.
    ASSERT_EQ(s.Library().Exec("UPDATE AllMusic SET AddTime=printf('2020-01-01 00:%02d:00', 60 - rowid)"), 0);
    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(), 30);
    EXPECT_NE(s.store->FindStoredTemp(played->GetInfo()->Gid), nullptr);
    // The first track was added first and so stored last (the sequence had it at the back).
    const MemberList& order = s.store->LibraryTracks();
    ASSERT_EQ(order.size(), 30u);
    EXPECT_EQ(order.front()->GetInfo()->Gid, tracks.front()->GetInfo()->Gid);
    EXPECT_EQ(order.back()->GetInfo()->Gid, tracks.back()->GetInfo()->Gid);

    // A track the file does not hold yet is written beside the stored rows, whole; the write's
    // larger page cache is given back.
    TrackRef extra = MakeTrack(s.File(QStringLiteral("新的 it's.mp3")));
    extra->GetInfo()->Song = QStringLiteral("夜空 it's");
    ASSERT_EQ(s.store->Add(extra.get()), 1);
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 31);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE AddTime LIKE '2020%'")), 30);
    EXPECT_EQ(Column(s.Library(), "AllMusic", "Song", extra->GetInfo()->Gid), ToAnsi(QStringLiteral("夜空 it^`^s")));
    EXPECT_EQ(Column(s.Library(), "AllMusic", "LSrc", extra->GetInfo()->Gid), ToAnsi(s.File(QStringLiteral("新的 it^`^s.mp3"), false)));
    EXPECT_EQ(Count(s.Library(), QStringLiteral("PRAGMA cache_size")), -2000);
}

// The disk fills up in the middle of a save: none of its rows stays, neither in a file the save
// has just made nor beside rows stored before (whose AddTime stays), and the connection is left
// as it was for the writes after. (SQLite reports the page limit exactly as it reports a full disk.)
TEST(MediaStore, ASaveTheDiskCannotHoldLeavesNoRowOfIt)
{
    Session s;
    std::vector<TrackRef> tracks;
    const auto add = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            tracks.push_back(MakeTrack(QStringLiteral("http://127.0.0.1/full/%1.mp3").arg(i), QString(300, QChar(0x6B4C + i % 7))));
            ASSERT_EQ(s.store->Add(tracks.back().get()), 1);
        }
    };
    const auto limitTo = [&](int morePages) {
        ASSERT_EQ(s.Library().Exec("PRAGMA wal_checkpoint(TRUNCATE)"), 0);
        const int pages = Count(s.Library(), QStringLiteral("PRAGMA page_count"));
        ASSERT_EQ(s.Library().Exec(("PRAGMA max_page_count=" + QByteArray::number(pages + morePages)).constData()), 0);
    };
    const auto connectionAsBefore = [&] {
        EXPECT_EQ(Count(s.Library(), QStringLiteral("PRAGMA cache_size")), -2000);
        SqliteStatement mode;
        ASSERT_EQ(s.Library().Prepare("PRAGMA journal_mode", mode), kSqliteOk);
        ASSERT_EQ(mode.Step(), kSqliteRow);
        EXPECT_EQ(mode.ColumnBytes(0), QByteArray("wal"));
        EXPECT_EQ(Count(s.Library(), QStringLiteral("PRAGMA synchronous")), 1);
    };
    add(0, 400);
    ASSERT_NE(s.conf->OpenLibraryDb(), nullptr);
    limitTo(20);
    EXPECT_EQ(s.lib->SaveAllTracks(), -1);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 0);
    connectionAsBefore();
    limitTo(100000);
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 400);
    ASSERT_EQ(s.Library().Exec("UPDATE AllMusic SET AddTime='2001-01-01 00:00:00'"), 0);

    add(400, 800);
    limitTo(20);
    EXPECT_EQ(s.lib->SaveAllTracks(), -1);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 400);
    connectionAsBefore();
    limitTo(100000);
    ASSERT_EQ(s.lib->SaveAllTracks(), 0);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic")), 800);
    EXPECT_EQ(Count(s.Library(), QStringLiteral("SELECT count(*) FROM AllMusic WHERE AddTime LIKE '2001%'")), 400);
    connectionAsBefore();
    s.Reopen();
    EXPECT_EQ(s.lib->LoadTracks(), 800);
}

TEST(MediaStore, ListRowsMembersAndNodes)
{
    Session s;
    s.conf->OpenAllMissing();
    CQvMediaStore& st = *s.store;
    auto top = std::make_unique<FakeNode>(QStringLiteral("我的音乐"), 0);
    FakeNode* lists = top->Add(QStringLiteral("列表"), 0);
    FakeNode* mine = lists->Add(QStringLiteral("Mine"), -1);
    FakeNode* other = lists->Add(QStringLiteral("Other"), -1);
    FakeNode* service = top->Add(QStringLiteral("在线"), 3);
    FakeNode* serviceList = service->Add(QStringLiteral("Net"), -1);
    FakeNode* topNode = top.get();
    st.AppendTopNode(std::move(top));
    EXPECT_EQ(NodeKey(topNode), QStringLiteral("根结点"));
    EXPECT_EQ(ListKey(topNode), QStringLiteral("我的音乐+根结点"));
    EXPECT_EQ(NodeKey(mine), QStringLiteral("列表+我的音乐"));
    EXPECT_EQ(ListKey(mine), QStringLiteral("Mine+列表"));
    EXPECT_EQ(st.FindTopNodeByName(QStringLiteral("我的音乐")), topNode);
    EXPECT_EQ(st.FindTopNodeByType(0), topNode);
    EXPECT_EQ(CQvMediaStore::FindDescendant(topNode, QStringLiteral("other")), other);
    EXPECT_EQ(CQvMediaStore::FindDescendant(topNode, QStringLiteral("net")), serviceList);

    std::vector<TrackRef> tr;
    for (int i = 0; i < 4; ++i) {
        tr.push_back(MakeTrack(s.File(QStringLiteral("l%1.mp3").arg(i))));
        s.lib->AddTrack(tr.back().get());
        mine->OfferTrack(tr.back().get(), 0);
    }
    other->OfferTrack(tr[0].get(), 0);
    serviceList->OfferTrack(tr[0].get(), 0);
    tr[3]->AddState(STATE_REMOVED);
    CSqliteDb& tree = *s.conf->TreeDb();
    auto rows = [&](const QString& where) {
        return Count(tree, QStringLiteral("SELECT count(*) FROM TreeList WHERE ") + where);
    };

    // Saving twice gives each member one row; flag 2 is left out.
    ASSERT_EQ(s.lib->SaveListMembers(mine), 0);
    ASSERT_EQ(s.lib->SaveListMembers(mine), 0);
    EXPECT_EQ(rows(QStringLiteral("Key='Mine+列表'")), 3);
    ASSERT_EQ(s.lib->AddTrackToList(other, tr[0].get()), 0);
    ASSERT_EQ(s.lib->AddTrackToList(serviceList, tr[0].get()), 0);
    ASSERT_EQ(s.lib->AddTrackToList(mine, tr[3].get()), 0);

    ASSERT_EQ(s.lib->RemoveTrackFromList(mine, tr[3].get()), 0);
    EXPECT_EQ(rows(QStringLiteral("Key='Mine+列表'")), 3);
    EXPECT_EQ(mine->TrackCount(), 3);
    ASSERT_EQ(s.lib->RemoveTrackFromList(mine, tr[1].get()), 0);
    EXPECT_EQ(rows(QStringLiteral("Key='Mine+列表'")), 2);

    // Removing from all lists leaves the service list alone in memory.
    ASSERT_EQ(s.lib->RemoveTrackFromAllLists(tr[0].get()), 0);
    EXPECT_FALSE(mine->TrackIndex().Contains(tr[0]->GetInfo()->Gid));
    EXPECT_EQ(other->TrackCount(), 0);
    EXPECT_EQ(serviceList->TrackCount(), 1);
    EXPECT_EQ(rows(QStringLiteral("Gid='%1'").arg(tr[0]->GetInfo()->Gid.Text())), 0);

    // A node's row: inserted, then updated under the name it was stored with.
    mine->SetId(QStringLiteral("id1"));
    mine->SetIconId(4);
    ASSERT_EQ(s.lib->SaveNode(mine, QString()), 0);
    mine->SetName(QStringLiteral("MINE"));
    mine->SetCondition(QStringLiteral("c'1"));
    ASSERT_EQ(s.lib->SaveNode(mine, QStringLiteral("Renamed")), 0);
    SqliteStatement q;
    tree.Prepare("SELECT Key, Id, Name, Condition, IconId FROM TreeNode", q);
    ASSERT_EQ(q.Step(), kSqliteRow);
    EXPECT_EQ(q.ColumnText(0), QStringLiteral("列表+我的音乐"));
    EXPECT_EQ(q.ColumnText(2), QStringLiteral("Renamed"));
    EXPECT_EQ(q.ColumnText(3), QStringLiteral("c'1"));
    EXPECT_EQ(q.ColumnInt(4), 4);
    EXPECT_EQ(q.Step(), kSqliteDone);

    // The node index.
    EXPECT_EQ(s.lib->RegisterNode(other), 1);
    EXPECT_EQ(s.lib->RegisterNode(other), 0);
    EXPECT_EQ(s.lib->RenameNodeKey(QStringLiteral("nope"), QStringLiteral("x")), 0);
    EXPECT_EQ(s.lib->RenameNodeKey(QStringLiteral("Other"), QStringLiteral("Fresh")), 1);
    EXPECT_EQ(other->GetName(), QStringLiteral("Fresh"));
    EXPECT_EQ(st.FindNode(QStringLiteral("Fresh")), other);
    EXPECT_EQ(st.FindNode(QStringLiteral("Other")), nullptr);
    EXPECT_EQ(s.lib->UnregisterNode(QStringLiteral("Fresh")), 1);
    EXPECT_EQ(st.FindNode(QStringLiteral("Fresh")), nullptr);

    RecordingHooks hooks;
    EXPECT_EQ(s.lib->LoadTree(), -1);
    s.lib->SetTreeHooks(&hooks);
    EXPECT_EQ(s.lib->LoadTree(), 7);
    EXPECT_EQ(s.lib->SaveTree(), 8);
}

TEST(MediaStore, NullArgumentsChangeNothing)
{
    Session s;
    EXPECT_EQ(s.lib->AddTrack(nullptr), 0);
    EXPECT_EQ(s.lib->RemoveTrack(nullptr), 0);
    EXPECT_EQ(s.lib->RestoreTrack(nullptr), 0);
    EXPECT_EQ(s.lib->RecordPlay(nullptr), -1);
    EXPECT_EQ(s.lib->UpdateTrack(nullptr), -1);
    EXPECT_EQ(s.lib->SaveListMembers(nullptr), -1);
    EXPECT_EQ(s.lib->SaveNode(nullptr, QString()), -1);
    EXPECT_EQ(s.lib->AddTrackToList(nullptr, nullptr), -1);
    EXPECT_EQ(s.store->FindTrack(QString(), 0), nullptr);
    EXPECT_EQ(s.store->FindStoredTemp(QString()), nullptr);
    EXPECT_EQ(s.store->GetTopNode(0), nullptr);
}

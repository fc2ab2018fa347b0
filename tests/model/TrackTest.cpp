#include "model/CQvMusic.h"
#include "model/LyricsFile.h"
#include "model/LyricsLookup.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "tests/common/TestUtil.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(Track, GidIsMd5OfUtf16LeUnits)
{
    // Reference values from an independent MD5 of the UTF-16LE bytes (Python's hashlib).
    EXPECT_EQ(MakeGid(QStringLiteral("/home/u/Music/a.mp3")), "f9180e1d23984d2166fae91fbc0f2860");
    EXPECT_EQ(MakeGid(QStringLiteral("/home/u/Music/中文 歌曲.mp3")), "ca5bd7ba9c77f679f7d2d075ba6ffb10");
    EXPECT_EQ(MakeGid(QStringLiteral("http://127.0.0.1:8080/song/1.mp3")), "ee84502d4ec8078e4afc081ca7e5749d");
    EXPECT_EQ(MakeGid(QStringLiteral("😀")), "713b431f5caa0d142bea157989c96852");
    // Two spellings of one path are two tracks.
    EXPECT_EQ(MakeGid(QStringLiteral("/home/u/music/a.mp3")), "503f9df90b1334472b809329e7adf067");
}

// A record keeps MakeGid's digits as the bytes they spell and any other key as its text; either
// reads back, compares and copies as the text it was given.
TEST(Track, RecordKeyReadsAsTheTextItWasGiven)
{
    TrackInfo a;
    EXPECT_TRUE(a.Gid.isEmpty());
    EXPECT_TRUE(a.Gid.Text().isEmpty());
    EXPECT_EQ(a.Gid, QString());

    const QString digits = MakeGid(QStringLiteral("/music/歌.mp3"));
    a.Gid = digits;
    EXPECT_FALSE(a.Gid.isEmpty());
    EXPECT_EQ(a.Gid.Text(), digits);
    EXPECT_EQ(a.Gid, digits);
    EXPECT_FALSE(a.Gid == MakeGid(QStringLiteral("/music/other.mp3")));
    TrackGid::Digits room;
    EXPECT_EQ(a.Gid.View(room), QStringView(digits));
    EXPECT_EQ(sizeof(TrackGid), 16u);

    // Keys that are not lowercase digits of that length stay what they were, byte for byte.
    QString upper = digits.toUpper();
    upper[0] = QLatin1Char('A');
    const QString zeros(32, QLatin1Char('0'));
    // Digits whose second half is all zero spell no digest the record can tell from a text.
    const QString halfZeros = digits.left(16) + QString(16, QLatin1Char('0'));
    const QStringList others = {QStringLiteral("a"), upper, digits.left(31), digits + QLatin1Char('0'), zeros, halfZeros,
                                QStringLiteral("g") + digits.mid(1), QStringLiteral("键 %1").arg(7)};
    for (const QString& key : others) {
        TrackInfo t;
        t.Gid = key;
        EXPECT_EQ(t.Gid.Text(), key);
        EXPECT_EQ(t.Gid, key);
        EXPECT_FALSE(t.Gid.isEmpty());
        EXPECT_FALSE(t.Gid == a.Gid) << qPrintable(key);
    }

    // Copies are keys of their own; equal keys are equal whichever way they were given.
    TrackInfo b = a;
    EXPECT_TRUE(b.Gid == a.Gid);
    b.Gid = QStringLiteral("name");
    TrackInfo c = b;
    b.Gid.clear();
    EXPECT_TRUE(b.Gid.isEmpty());
    EXPECT_EQ(c.Gid, QStringLiteral("name"));
    EXPECT_EQ(a.Gid, digits);
    EXPECT_TRUE(TrackGid(QStringLiteral("name")) == c.Gid);
    EXPECT_FALSE(TrackGid(zeros) == TrackGid());
    EXPECT_TRUE(TrackGid(halfZeros) == TrackGid(halfZeros));
    EXPECT_FALSE(TrackGid(halfZeros) == TrackGid(digits.left(16) + QString(15, QLatin1Char('0')) + QLatin1Char('1')));
    c = a;
    EXPECT_TRUE(c.Gid == a.Gid);
    // A key moved away leaves an empty one; a key held as text moves without a copy.
    TrackGid held(halfZeros);
    TrackGid taken(std::move(held));
    EXPECT_TRUE(held.isEmpty());
    EXPECT_EQ(taken, halfZeros);
    taken = TrackGid(digits);
    EXPECT_EQ(taken, digits);
    taken = b.Gid;
    EXPECT_TRUE(taken.isEmpty());
}

TEST(Track, DayNumber)
{
    EXPECT_EQ(DayNumber(2006, 1, 1), 31);                 // 30.5 + 1 truncated
    EXPECT_EQ(DayNumber(2011, 6, 15), 5 * 365 + 183 + 15);
    EXPECT_EQ(DayNumber(2026, 12, 8), 20 * 365 + 366 + 8);
    EXPECT_EQ(DayNumber(2026, 11, 8), 20 * 365 + 335 + 8); // 335.5 truncated with the rest
}

TEST(Track, NewTrackDefaultsKindAndState)
{
    EXPECT_EQ(CreateMedia(1), nullptr);
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->GetInfo(), nullptr);
    EXPECT_EQ(t->GetState(), 1u);
    EXPECT_EQ(t->HasLyrics(), 0);

    auto* info = new TrackInfo;
    EXPECT_EQ(info->ArtistSex, -1);
    EXPECT_EQ(info->Rare().Text8, QStringLiteral("0"));
    t->AttachInfo(info, nullptr);
    EXPECT_EQ(t->SourceKind(), 1);
    info->Song = QStringLiteral("a");
    t->AttachInfo(info, nullptr);
    EXPECT_EQ(t->SourceKind(), 2);
    info->NSrc = QStringLiteral("http://x/a.mp3");
    t->AttachInfo(info, nullptr);
    EXPECT_EQ(t->SourceKind(), 3);

    t->AddState(STATE_REMOVED | STATE_DELETED_WITH_FILE);
    EXPECT_EQ(t->RemoveState(STATE_REMOVED | STATE_DELETED_WITH_FILE), 1u);

    // References: a copy keeps the track alive after the first owner lets go.
    TrackRef copy = t;
    EXPECT_EQ(t->AddRef(), 3);
    EXPECT_EQ(t->Release(), 2);

    // A track made with its record answers as one given a new record; a record attached later
    // takes its place, and the record's texts go with whichever record holds them (the sanitiser
    // runs see any of them left behind or freed twice).
    TrackRef joined = TrackRef::Adopt(CreateMediaWithRecord());
    ASSERT_TRUE(joined && joined->GetInfo());
    EXPECT_EQ(joined->SourceKind(), 1);
    EXPECT_EQ(joined->GetState(), 1u);
    EXPECT_EQ(joined->GetInfo()->ArtistSex, -1);
    TrackInfo* own = joined->GetInfo();
    own->Song = QStringLiteral("夜空 Morning 1");
    own->EditRare().Sysid = QStringLiteral("s-9");
    joined->AttachInfo(own, nullptr);
    EXPECT_EQ(joined->SourceKind(), 2);
    EXPECT_EQ(joined->GetInfo(), own);
    const TrackInfo kept = *own;
    auto* later = new TrackInfo(kept);
    later->NSrc = QStringLiteral("http://x/b.mp3");
    joined->AttachInfo(later, nullptr);
    EXPECT_EQ(joined->GetInfo(), later);
    EXPECT_EQ(joined->SourceKind(), 3);
    EXPECT_EQ(joined->GetInfo()->Song, QStringLiteral("夜空 Morning 1"));
    EXPECT_EQ(kept.Rare().Sysid, QStringLiteral("s-9"));
    TrackRef streamed = TrackRef::Adopt(CreateMediaWithRecord());
    streamed->AttachObject(new QObject, nullptr);
    EXPECT_EQ(streamed->GetInfo(), nullptr);
    EXPECT_EQ(streamed->SourceKind(), 3);
    EXPECT_NE(streamed->GetAttachedObject(), nullptr);

    // The owner, the kind and the record's place share one word: each reads back on its own.
    QObject owner;
    TrackRef owned = TrackRef::Adopt(CreateMediaWithRecord());
    owned->GetInfo()->Song = QStringLiteral("a");
    owned->AttachInfo(owned->GetInfo(), &owner);
    EXPECT_EQ(owned->Owner(), &owner);
    EXPECT_EQ(owned->SourceKind(), 2);
    EXPECT_EQ(owned->GetAttachedObject(), nullptr);
    owned->GetInfo()->NSrc = QStringLiteral("http://x/a.mp3");
    owned->AttachInfo(owned->GetInfo(), &owner);
    EXPECT_EQ(owned->SourceKind(), 3);
    EXPECT_EQ(owned->Owner(), &owner);
    auto* object = new QObject;
    owned->AttachObject(object, owned->GetInfo());
    EXPECT_EQ(owned->Owner(), nullptr);
    EXPECT_EQ(owned->GetAttachedObject(), object);
    owned->AttachInfo(new TrackInfo, &owner);
    EXPECT_EQ(owned->SourceKind(), 1);
    EXPECT_EQ(owned->Owner(), &owner);
    EXPECT_EQ(owned->GetAttachedObject(), object);
    EXPECT_LE(sizeof(CQvMusic), 40u);
}

namespace {
class FakeLyricsTable : public ILyricsLookup {
public:
    bool FindLyrics(const QString& gid, QString& lyrics) override
    {
        asked = gid;
        if (gid != QStringLiteral("known")) return false;
        lyrics = QStringLiteral("[00:01.00]它's here");
        return true;
    }
    QString asked;
};
} // namespace

TEST(Track, LoadLyricsFromCacheFileOrTable)
{
    FakeLyricsTable table;
    SetLyricsLookup(&table);
    QTemporaryDir dir;

    auto make = [](const QString& gid, const QString& lrcFile) {
        TrackRef t = TrackRef::Adopt(CreateMedia(0));
        auto* info = new TrackInfo;
        info->Gid = gid;
        info->EditRare().LrcFile = lrcFile;
        t->AttachInfo(info, nullptr);
        return t;
    };

    TrackRef fromTable = make(QStringLiteral("known"), QString());
    EXPECT_EQ(fromTable->LoadLyrics(), 1);
    QString text;
    fromTable->CopyLyricsText(text);
    EXPECT_EQ(text, QStringLiteral("[00:01.00]它's here"));
    EXPECT_EQ(fromTable->HasLyrics(), 1);

    TrackRef unknown = make(QStringLiteral("other"), QString());
    EXPECT_EQ(unknown->LoadLyrics(), 0);
    EXPECT_EQ(table.asked, QStringLiteral("other"));

    // A cached text is used as it is, without asking anyone.
    unknown->SetLyricsText(QStringLiteral("cached"));
    table.asked.clear();
    EXPECT_EQ(unknown->LoadLyrics(), 1);
    EXPECT_TRUE(table.asked.isEmpty());

    // Lyrics files in the code page and in UTF-8 both read as the right text.
    const QString gbkFile = dir.filePath("gbk.lrc");
    ASSERT_TRUE(testutil::WriteFile(gbkFile, QByteArray("[00:02.00]\xD6\xD0\xCE\xC4")));
    TrackRef gbk = make(QStringLiteral("g"), gbkFile);
    EXPECT_EQ(gbk->LoadLyrics(), 1);
    gbk->CopyLyricsText(text);
    EXPECT_EQ(text, QStringLiteral("[00:02.00]中文"));

    const QString utf8File = dir.filePath("utf8.lrc");
    ASSERT_TRUE(testutil::WriteFile(utf8File, QStringLiteral("[00:03.00]中文").toUtf8()));
    TrackRef utf8 = make(QStringLiteral("u"), utf8File);
    EXPECT_EQ(utf8->LoadLyrics(), 1);
    utf8->CopyLyricsText(text);
    EXPECT_EQ(text, QStringLiteral("[00:03.00]中文"));

    // Deleted lyrics: nothing to show, yet nothing to fetch either.
    TrackRef deleted = make(QStringLiteral("d"), QStringLiteral("deletelrc"));
    EXPECT_EQ(deleted->LoadLyrics(), 1);
    deleted->CopyLyricsText(text);
    EXPECT_TRUE(text.isEmpty());
    TrackRef missing = make(QStringLiteral("m"), dir.filePath("none.lrc"));
    EXPECT_EQ(missing->LoadLyrics(), 0);

    // A lyrics file over 4 MiB is no lyrics file: ignored as if absent; up to the bound it reads.
    const QString hugeFile = dir.filePath("huge.lrc");
    ASSERT_TRUE(testutil::WriteFile(hugeFile, "[00:01.00]" + QByteArray(kMaxLyricsFileBytes - 9, 'x')));
    TrackRef huge = make(QStringLiteral("h"), hugeFile);
    EXPECT_EQ(huge->LoadLyrics(), 0);
    huge->CopyLyricsText(text);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(huge->HasLyrics(), 0);
    ASSERT_TRUE(testutil::WriteFile(hugeFile, "[00:01.00]" + QByteArray(kMaxLyricsFileBytes - 10, 'x')));
    EXPECT_EQ(huge->LoadLyrics(), 1);
    huge->CopyLyricsText(text);
    EXPECT_EQ(text.size(), kMaxLyricsFileBytes);

    SetLyricsLookup(nullptr);
}

// Two lyrics jobs for one track (the play that started it and a fetch the user asked for) set
// its text while the window reads it over and over to draw the panel.
TEST(Track, LyricsJobsAndTheWindowShareTheTextSafely)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("one.lrc");
    const QString fromFile = QStringLiteral("[00:01.00]") + QString(3000, QLatin1Char('f'));
    ASSERT_TRUE(testutil::WriteFile(file, fromFile.toUtf8()));
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Gid = QStringLiteral("race");
    info->EditRare().LrcFile = file;
    t->AttachInfo(info, nullptr);

    // Each job sets texts of its own making, so the text a write replaces is freed at once.
    std::atomic<int> running {2};
    auto job = [&](QChar letter, int length) {
        for (int i = 0; i < 1000000; ++i) {
            if (i % 1000 == 0) {
                t->SetLyricsText(QString());
                t->LoadLyrics();
            }
            t->SetLyricsText(QString(length, letter));
            t->SetHasLyrics(1);
        }
        --running;
    };
    const auto whole = [](const QString& s, QChar letter, int length) {
        return s.size() == length && s.front() == letter && s.back() == letter;
    };
    std::thread first(job, QLatin1Char('a'), 50);
    std::thread second(job, QLatin1Char('b'), 70);
    int torn = 0;
    int reads = 0;
    while (running.load() > 0 || reads == 0) {
        QString shown;
        t->GetLyricsText(shown);
        if (!shown.isEmpty() && shown != fromFile && !whole(shown, QLatin1Char('a'), 50) && !whole(shown, QLatin1Char('b'), 70))
            ++torn;
        ++reads;
    }
    first.join();
    second.join();
    EXPECT_EQ(torn, 0);
}

// The record's rarely filled and shared texts take one pointer each: they must still read, copy
// and compare as the strings they stand for, empty again when cleared.
TEST(Track, CompactTextsReadCopyAndEmptyLikeStrings)
{
    TrackInfo a;
    EXPECT_TRUE(a.Artist.isEmpty());
    EXPECT_EQ(a.Artist, QString());
    EXPECT_TRUE(static_cast<const QString&>(a.Artist).isNull());
    EXPECT_EQ(a.Rare().Text8, QStringLiteral("0"));
    TrackInfo b;
    EXPECT_EQ(&a.Rare().Text8.str(), &b.Rare().Text8.str()); // every record shares the default
    // The rare fields take room only once one is written; a hundred thousand records of a
    // library pay for the rest alone.
    EXPECT_FALSE(a.HasRareBlock());
    EXPECT_EQ(a.Rare().Default9, 0);
    EXPECT_LE(sizeof(TrackInfo), 192u);

    a.Artist = QStringLiteral("陈雨");
    a.EditRare().Sysid = QStringLiteral("s-1");
    a.EditRare().LrcFile = QLatin1String("deletelrc");
    EXPECT_EQ(a.Artist.size(), 2);
    EXPECT_EQ(a.Rare().LrcFile, QLatin1String("deletelrc"));
    const QString joined = a.Artist + QStringLiteral(" & ") + a.Rare().Sysid.str();
    EXPECT_EQ(joined, QStringLiteral("陈雨 & s-1"));

    // A copy shares the texts; a change to either leaves the other as it was.
    b = a;
    EXPECT_EQ(&b.Artist.str(), &a.Artist.str());
    b.Artist = QStringLiteral("林晓");
    b.EditRare().Sysid.clear();
    b.EditRare().Default3 = 4;
    EXPECT_TRUE(a.HasRareBlock() && b.HasRareBlock());
    EXPECT_NE(&a.Rare(), &b.Rare());
    EXPECT_EQ(a.Rare().Default3, 0);
    EXPECT_EQ(a.Artist, QStringLiteral("陈雨"));
    EXPECT_EQ(a.Rare().Sysid, QStringLiteral("s-1"));
    EXPECT_TRUE(b.Rare().Sysid.isEmpty());
    EXPECT_EQ(b.Rare().LrcFile, a.Rare().LrcFile);

    // Setting an empty text empties the field (no empty-but-set state), whatever the spelling.
    a.Artist = QString();
    a.EditRare().Sysid = QStringLiteral("");
    a.EditRare().LrcFile = QLatin1String("");
    EXPECT_TRUE(a.Artist.isEmpty() && a.Rare().Sysid.isEmpty() && a.Rare().LrcFile.isEmpty());
    EXPECT_EQ(a.Rare().Sysid.size(), 0);
    EXPECT_EQ(a.Artist, b.Rare().Sysid);
    EXPECT_FALSE(a.Rare().LrcFile == b.Rare().LrcFile);

    // A record the track owns and one copied from it are equal field by field.
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo(b);
    info->Song = QStringLiteral("歌");
    t->AttachInfo(info, nullptr);
    const TrackInfo copy = *t->GetInfo();
    EXPECT_EQ(copy.Song, QStringLiteral("歌"));
    EXPECT_EQ(copy.Artist, QStringLiteral("林晓"));
    EXPECT_EQ(copy.Rare().LrcFile, QLatin1String("deletelrc"));
    EXPECT_TRUE(copy.Rare().Sysid.isEmpty());
    EXPECT_EQ(copy.Rare().Default3, 4);
    TrackInfo moved = std::move(b);
    EXPECT_EQ(moved.Rare().Default3, 4);
}

// A path reads back as the text it was given, whether kept whole or with its folder shared, and
// a copy is a path of its own.
TEST(Track, PathsReadBackAsGivenWholeOrWithASharedFolder)
{
    const QStringList whole = {QStringLiteral("/music/林晓/it's 1.mp3"), QStringLiteral("/root.mp3"),
                               QStringLiteral("no folder.mp3"), QStringLiteral("/music/folder/"),
                               QStringLiteral("/music/") + QString(70000, QLatin1Char('x'))};
    for (const QString& text : whole) {
        TrackPath p(text);
        EXPECT_EQ(p.Text(), text);
        EXPECT_EQ(p.size(), text.size());
        EXPECT_TRUE(p == text);
        EXPECT_FALSE(p == QString(text).append(QLatin1Char('x')));
        const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
        EXPECT_EQ(p.Directory(), slash > 0 ? QStringView(text).left(slash) : QStringView());
        EXPECT_EQ(p.FileName(), QStringView(text).sliced(slash + 1));
    }

    const TrackText folder(QStringLiteral("/music/林晓"));
    TrackInfo a;
    TrackInfo b;
    a.LSrc.SetShared(folder, QStringLiteral("it's 1.mp3"));
    b.LSrc.SetShared(folder, QStringLiteral("2.mp3"));
    EXPECT_EQ(a.LSrc.Text(), whole[0]);
    EXPECT_EQ(QString(b.LSrc), QStringLiteral("/music/林晓/2.mp3"));
    EXPECT_EQ(&a.LSrc.Folder().str(), &b.LSrc.Folder().str()); // one folder for both
    EXPECT_EQ(a.LSrc.Directory(), QStringLiteral("/music/林晓"));
    EXPECT_EQ(a.LSrc.FileName(), QStringLiteral("it's 1.mp3"));
    EXPECT_EQ(a.LSrc.size(), whole[0].size());
    // Equal texts are equal paths whichever way they are held; near misses are not.
    EXPECT_TRUE(a.LSrc == TrackPath(whole[0]));
    EXPECT_TRUE(a.LSrc == whole[0]);
    EXPECT_FALSE(a.LSrc == b.LSrc);
    EXPECT_FALSE(a.LSrc == QStringLiteral("/music/林晓it's 1.mp3/"));
    EXPECT_FALSE(a.LSrc == QStringLiteral("/music/林晓/it's 1.mp"));
    EXPECT_FALSE(a.LSrc == QString());

    // A name with a "/" of its own, or an empty part, keeps the path whole and as given.
    TrackPath deeper;
    deeper.SetShared(folder, QStringLiteral("sub/3.mp3"));
    EXPECT_EQ(deeper.Text(), QStringLiteral("/music/林晓/sub/3.mp3"));
    EXPECT_EQ(deeper.Directory(), QStringLiteral("/music/林晓/sub"));
    TrackPath noName;
    noName.SetShared(folder, QString());
    EXPECT_EQ(noName.Text(), folder.str());
    noName.SetShared(TrackText(), QString());
    EXPECT_TRUE(noName.isEmpty());

    // Copies are independent; emptying one leaves the other.
    TrackInfo c = a;
    c.LSrc = QStringLiteral("/other/x.mp3");
    EXPECT_EQ(a.LSrc.Text(), whole[0]);
    TrackInfo d = a;
    a.LSrc.clear();
    EXPECT_TRUE(a.LSrc.isEmpty());
    EXPECT_EQ(a.LSrc.Text(), QString());
    EXPECT_EQ(d.LSrc.Text(), whole[0]);
    EXPECT_EQ(c.LSrc.Text(), QStringLiteral("/other/x.mp3"));
    c.LSrc = d.LSrc;
    EXPECT_TRUE(c.LSrc == d.LSrc);
    c.LSrc = QString();
    EXPECT_TRUE(c.LSrc.isEmpty());
}

// A title reads back exactly as given, whether its characters fit one byte each or not, and a
// copy is a title of its own.
TEST(Track, TitlesReadBackAsGivenInEitherWidth)
{
    QString surrogates = QStringLiteral("夜空 ");
    surrogates.append(QChar::fromUcs4(0x1F3B5).operator QStringView());
    const QStringList titles = {QStringLiteral("Morning River 42"), QStringLiteral("Café Élan ÿ"),
                                QStringLiteral("Ā just past Latin-1"), QStringLiteral("夜空 Morning 7"), surrogates,
                                QStringLiteral("it's ^`^ \u0000"), QString(QChar(0)), QString(40000, QChar(0xE9)),
                                QString(0x7FFE, QLatin1Char('a')), QString(0x7FFF, QChar(0x4E00))};
    for (const QString& text : titles) {
        TrackTitle t(text);
        EXPECT_EQ(t.Text(), text);
        EXPECT_EQ(QString(t).size(), text.size());
        EXPECT_EQ(t.size(), text.size());
        EXPECT_FALSE(t.isEmpty());
        EXPECT_TRUE(t == text);
        EXPECT_FALSE(t == QString(text).append(QLatin1Char('x')));
        EXPECT_FALSE(t == text.left(text.size() - 1));
        QString room;
        EXPECT_EQ(t.View(room), text);
        EXPECT_TRUE(t == TrackTitle(text));
    }
    // Bytes taken as Latin-1 are the same title as the text given.
    TrackTitle bytes;
    bytes.SetLatin1(QLatin1StringView("Night Road 3"));
    EXPECT_TRUE(bytes == TrackTitle(QStringLiteral("Night Road 3")));
    EXPECT_TRUE(bytes == QLatin1StringView("Night Road 3"));
    EXPECT_FALSE(bytes == QLatin1StringView("Night Road"));
    EXPECT_FALSE(TrackTitle(QStringLiteral("Ā")) == TrackTitle(QStringLiteral("A")));
    bytes.SetLatin1(QLatin1StringView());
    EXPECT_TRUE(bytes.isEmpty());

    // Empty is one state, however it was given.
    TrackInfo a;
    EXPECT_TRUE(a.Song.isEmpty());
    EXPECT_TRUE(a.Song.Text().isNull());
    EXPECT_TRUE(a.Song == QString());
    a.Song = QStringLiteral("");
    EXPECT_TRUE(a.Song.isEmpty());

    // Copies are independent; a title set from its own text keeps it.
    a.Song = QStringLiteral("纸飞机 Blue 5");
    TrackInfo b = a;
    b.Song = QStringLiteral("Light");
    EXPECT_EQ(a.Song.Text(), QStringLiteral("纸飞机 Blue 5"));
    TrackInfo c = a;
    a.Song.clear();
    EXPECT_EQ(c.Song.Text(), QStringLiteral("纸飞机 Blue 5"));
    EXPECT_EQ(b.Song.Text(), QStringLiteral("Light"));
    QString room;
    c.Song = c.Song.View(room).toString();
    b.Song = b.Song;
    EXPECT_EQ(c.Song.Text(), QStringLiteral("纸飞机 Blue 5"));
    EXPECT_EQ(b.Song.Text(), QStringLiteral("Light"));
    b.Song = std::move(c.Song);
    EXPECT_EQ(b.Song.Text(), QStringLiteral("纸飞机 Blue 5"));
    EXPECT_LE(sizeof(TrackTitle), sizeof(void*));
}

// The lyrics, the mark and the source list are made only when a track first needs them; until
// then and after they are emptied the track answers as a new one does.
TEST(Track, LyricsAndSourcesBeforeAndAfterUse)
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    QString text = QStringLiteral("stale");
    t->CopyLyricsText(text);
    EXPECT_TRUE(text.isEmpty());
    text = QStringLiteral("stale");
    EXPECT_EQ(t->GetLyricsText(text), 1);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(t->HasLyrics(), 0);
    EXPECT_EQ(t->LoadLyrics(), 0); // no record, nothing to look up
    t->SetHasLyrics(0);
    t->SetLyricsText(QString());
    t->SetMark(0);
    EXPECT_EQ(t->HasLyrics(), 0);
    EXPECT_EQ(t->GetSpareFlag(), 0);

    t->SetLyricsText(QStringLiteral("[00:01.00]一"));
    t->SetHasLyrics(1);
    t->SetMark(5);
    t->CopyLyricsText(text);
    EXPECT_EQ(text, QStringLiteral("[00:01.00]一"));
    EXPECT_EQ(t->HasLyrics(), 1);
    EXPECT_EQ(t->LoadLyrics(), 1); // cached: no record needed
    t->SetLyricsText(QString());
    t->SetHasLyrics(0);
    t->CopyLyricsText(text);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(t->HasLyrics(), 0);

    EXPECT_TRUE(t->GetStringList().isEmpty());
    t->GetStringList() << QStringLiteral("http://a/1.mp3");
    EXPECT_EQ(t->GetStringList(), QStringList {QStringLiteral("http://a/1.mp3")});
}

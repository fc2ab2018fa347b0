#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"
#include "store/TrackBuilder.h"

#include "tests/common/TestUtil.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/store/StoreTestUtil.h"

#include "base/Worker.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"

#include <QDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct Offers : ITreeHooks {
    std::vector<int> types;
    int OfferToLists(CQvMusic*, int type) override
    {
        types.push_back(type);
        return 1;
    }
    int LoadTree() override { return 0; }
    int SaveTree() override { return 0; }
};

struct Env {
    TempHome home;
    CQvMediaStore store;
    CMediaLibrary lib {store, home.conf};
    Offers offers;
    Env()
    {
        home.conf.OpenAllMissing();
        lib.SetTreeHooks(&offers);
    }
    QString Path(const QString& name) const { return home.dir.path() + QLatin1Char('/') + name; }
    int Rows()
    {
        SqliteStatement s;
        home.conf.LibraryDb()->Prepare("SELECT count(*) FROM AllMusic", s);
        return s.Step() == kSqliteRow ? s.ColumnInt(0) : -1;
    }
};

} // namespace

TEST(TrackBuilder, FromAFileReadsTagsStoresOnceAndTellsTheLists)
{
    Env e;
    const QString tagged = e.Path(QStringLiteral("tagged.mp3"));
    ASSERT_TRUE(fixtures::WriteMp3(tagged, fixtures::Mp3Options {},
                                   fixtures::Tags::Id3v2(QStringLiteral("Rock & 'Roll'"), QStringLiteral("歌手"),
                                                         QStringLiteral("专辑"))));
    TrackBuildOptions user;
    user.userAddition = true;
    TrackRef t = BuildTrackFromFile(e.lib, tagged, user);
    ASSERT_TRUE(t);
    const TrackInfo& i = *t->GetInfo();
    EXPECT_EQ(i.Gid, MakeGid(tagged));
    EXPECT_EQ(i.LSrc, tagged);
    EXPECT_EQ(i.Song, QStringLiteral("Rock & 'Roll'")); // the title as the tag has it
    EXPECT_EQ(i.Artist, QStringLiteral("歌手"));
    EXPECT_EQ(i.Album, QStringLiteral("专辑"));
    EXPECT_EQ(i.Frequency, 44100);
    EXPECT_EQ(i.AddDay, TodayDayNumber());
    EXPECT_EQ(t->SourceKind(), 2);
    EXPECT_EQ(e.offers.types, (std::vector<int> {4, -1}));
    EXPECT_EQ(e.Rows(), 1);

    // The same path again: the same track, no second row, no second announcement.
    TrackRef again = BuildTrackFromFile(e.lib, tagged, user);
    EXPECT_EQ(again, t);
    EXPECT_EQ(e.Rows(), 1);
    EXPECT_EQ(e.offers.types.size(), 2u);

    // Without a title the file name is the title; a scan sets no day and a quiet build tells nobody.
    const QString bare = e.Path(QStringLiteral("No Title.v2.mp3"));
    ASSERT_TRUE(fixtures::WriteMp3(bare, fixtures::Mp3Options {}));
    TrackBuildOptions quiet;
    quiet.quiet = true;
    TrackRef b = BuildTrackFromFile(e.lib, bare, quiet);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->GetInfo()->Song, QStringLiteral("No Title.v2"));
    EXPECT_EQ(b->GetInfo()->AddDay, 0);
    EXPECT_EQ(e.offers.types.size(), 2u);
    TrackRef scanned = BuildTrackFromFile(e.lib, e.Path(QStringLiteral("No Title.v2.mp3")), TrackBuildOptions {});
    EXPECT_EQ(scanned, b);

    // A broken file is still a track, titled by its name.
    const QString broken = e.Path(QStringLiteral("broken.mp3"));
    ASSERT_TRUE(fixtures::WriteSizedFile(broken, 1000));
    TrackRef k = BuildTrackFromFile(e.lib, broken, TrackBuildOptions {});
    ASSERT_TRUE(k);
    EXPECT_EQ(k->GetInfo()->Song, QStringLiteral("broken"));
    EXPECT_EQ(e.offers.types, (std::vector<int> {4, -1, -1}));

    EXPECT_FALSE(BuildTrackFromFile(e.lib, QString(), user));
    EXPECT_FALSE(BuildTrackFromFile(e.lib, e.Path(QStringLiteral("missing.mp3")), user));
    EXPECT_FALSE(BuildTrackFromFile(e.lib, e.home.dir.path(), user));
    EXPECT_EQ(e.Rows(), 3);

    // A removed track is the one found again: the file is not imported anew.
    e.lib.RemoveTrack(t.get());
    TrackRef removed = BuildTrackFromFile(e.lib, tagged, user);
    EXPECT_EQ(removed, t);
    EXPECT_TRUE(removed->GetState() & STATE_REMOVED);
    EXPECT_EQ(e.Rows(), 3);
}

TEST(TrackBuilder, FromAnAddress)
{
    Env e;
    UrlTrackFields page;
    page.url = QStringLiteral("http://127.0.0.1:8080/song/1.mp3");
    page.song = QStringLiteral("It's 歌");
    page.artist = QStringLiteral("A");
    page.album = QStringLiteral("B");
    page.cmsId = QStringLiteral("c77");
    page.star = 4;
    page.fromPage = true;
    TrackRef t = BuildTrackFromUrl(e.lib, page, TrackBuildOptions {});
    ASSERT_TRUE(t);
    EXPECT_EQ(t->GetInfo()->Gid, MakeGid(page.url));
    EXPECT_EQ(t->GetInfo()->NSrc, page.url);
    EXPECT_EQ(t->GetInfo()->Song, page.song);
    EXPECT_EQ(t->GetInfo()->Default2, 4);
    EXPECT_EQ(t->GetState(), 1u | STATE_ADDED_BY_PAGE | STATE_FROM_SERVICE);
    EXPECT_EQ(t->SourceKind(), 3);
    EXPECT_EQ(e.store.FindTrack(QStringLiteral("c77"), 2), t.get());
    EXPECT_EQ(e.offers.types, std::vector<int> {-1});
    EXPECT_EQ(BuildTrackFromUrl(e.lib, page, TrackBuildOptions {}), t);

    // A second address for the same service song goes to the temporary tracks.
    UrlTrackFields dialog = page;
    dialog.url = QStringLiteral("mms://127.0.0.1/song/1");
    dialog.fromPage = false;
    TrackBuildOptions user;
    user.userAddition = true;
    TrackRef d = BuildTrackFromUrl(e.lib, dialog, user);
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->GetState() & STATE_REMOVED);
    EXPECT_EQ(d->GetInfo()->AddDay, TodayDayNumber());
    EXPECT_EQ(e.store.TempTracks().size(), 1u);
    EXPECT_EQ(e.Rows(), 2);
    EXPECT_FALSE(BuildTrackFromUrl(e.lib, UrlTrackFields {}, user));

    // A cloud group's song: from the service, not from a page, and not stored.
    UrlTrackFields cloud = page;
    cloud.url = QStringLiteral("http://127.0.0.1:8080/song/2.mp3");
    cloud.fromPage = false;
    cloud.fromService = true;
    TrackRef c = MakeTrackFromUrl(e.lib, cloud, TrackBuildOptions {});
    ASSERT_TRUE(c);
    EXPECT_EQ(c->GetState() & (STATE_ADDED_BY_PAGE | STATE_FROM_SERVICE), unsigned(STATE_FROM_SERVICE));
    EXPECT_EQ(e.store.FindTrack(c->GetInfo()->Gid, 0), nullptr);
    // The address the library holds already gives the library's track.
    EXPECT_EQ(MakeTrackFromUrl(e.lib, page, TrackBuildOptions {}), t);
}

TEST(TrackBuilder, WorkersAddingAtOnceStoreEveryFileOnce)
{
    Env e;
    QDir().mkpath(e.Path(QStringLiteral("many")));
    std::vector<QString> paths;
    for (int i = 0; i < 200; ++i) {
        paths.push_back(e.Path(QStringLiteral("many/%1.mp3").arg(i)));
        ASSERT_TRUE(testutil::WriteFile(paths.back(), "not audio"));
    }
    // Four threads over the same files: each file becomes one track with one row.
    std::vector<std::thread> threads;
    std::atomic<int> nulls {0};
    for (int w = 0; w < 4; ++w)
        threads.emplace_back([&, w] {
            for (size_t i = 0; i < paths.size(); ++i) {
                const QString& p = paths[(i + size_t(w) * 50) % paths.size()];
                if (!BuildTrackFromFile(e.lib, p, TrackBuildOptions {})) ++nulls;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(nulls.load(), 0);
    EXPECT_EQ(e.store.LibraryTracks().size(), paths.size());
    EXPECT_EQ(e.Rows(), 200);
}

#include "library/CQvCommonNode.h"
#include "library/DataBuilders.h"

#include "store/CQvMediaStore.h"

#include "model/TrackUtil.h"
#include "tests/library/LibraryTestUtil.h"

#include <gtest/gtest.h>

#include <map>

using librarytest::MakeTrack;

namespace {

std::unique_ptr<CQvCommonNode> SmartList(const QString& condition, const CQvMediaStore* store = nullptr)
{
    auto n = std::make_unique<CQvCommonNode>(std::make_unique<CLocalDataBuilder>(store));
    n->SetType(4);
    n->SetCondition(condition);
    n->SetName(condition);
    return n;
}

PlayStatistic Played(int rank, const QDate& day)
{
    PlayStatistic s;
    s.Rank = rank;
    s.Totle = rank;
    s.Year = day.year();
    s.Month = day.month();
    s.Day = day.day();
    return s;
}

} // namespace

TEST(NormalBuilder, TakesEachTrackAndEachServiceSongOnce)
{
    CQvCommonNode list(std::make_unique<CNormalDataBuilder>());
    TrackRef a = MakeTrack("a", [](TrackInfo& i) { i.EditRare().Sysid = "S1"; });
    TrackRef sameSong = MakeTrack("b", [](TrackInfo& i) { i.EditRare().Sysid = "S1"; });
    TrackRef cms = MakeTrack("c", [](TrackInfo& i) { i.EditRare().CmsID = "C1"; });
    TrackRef cmsAgain = MakeTrack("d", [](TrackInfo& i) { i.EditRare().CmsID = "C1"; });
    TrackRef plain1 = MakeTrack("e");
    TrackRef plain2 = MakeTrack("f");
    EXPECT_TRUE(list.OfferTrack(a.get(), 0));
    EXPECT_FALSE(list.OfferTrack(a.get(), 0));
    EXPECT_FALSE(list.OfferTrack(sameSong.get(), 0));
    EXPECT_TRUE(list.OfferTrack(cms.get(), 0));
    EXPECT_FALSE(list.OfferTrack(cmsAgain.get(), 0));
    EXPECT_TRUE(list.OfferTrack(plain1.get(), 0)); // tracks the service does not know: no key
    EXPECT_TRUE(list.OfferTrack(plain2.get(), 0));
    EXPECT_EQ(list.TrackCount(), 4);

    // Once the member is gone its song may come in under another Gid.
    list.RemoveTrack(a.get());
    EXPECT_TRUE(list.OfferTrack(sameSong.get(), 0));
}

TEST(NormalBuilder, LocalMusicViewRefusesStreamsYetAnswersOne)
{
    CQvCommonNode local(std::make_unique<CNormalDataBuilder>());
    local.SetType(21);
    TrackRef stream = MakeTrack("s", [](TrackInfo& i) { i.LSrc.clear(); i.NSrc = "http://h/s.mp3"; i.EditRare().Sysid = "S"; });
    TrackRef file = MakeTrack("f", [](TrackInfo& i) { i.EditRare().Sysid = "S"; });
    EXPECT_TRUE(local.OfferTrack(stream.get(), 0));
    EXPECT_EQ(local.TrackCount(), 0);
    // The stream left no key behind, so the local copy of the same song is taken.
    EXPECT_TRUE(local.OfferTrack(file.get(), 0));
    EXPECT_EQ(local.TrackCount(), 1);
    EXPECT_FALSE(local.OfferTrack(file.get(), 0));
}

TEST(SmartRules, DayBoundariesFourteenAndFifteen)
{
    const QDate today(2024, 3, 20);
    TrackInfo info;

    // Played 14 day units ago: still recent; 15: not, and a member leaves.
    EXPECT_EQ(PlayAge(Played(1, QDate(2024, 3, 6)), 0, today), 14);
    EXPECT_EQ(PlayAge(Played(1, QDate(2024, 3, 5)), 0, today), 15);
    EXPECT_TRUE(SmartListTakes("recentplay", info, 14, today));
    EXPECT_FALSE(SmartListTakes("recentplay", info, 15, today));
    EXPECT_FALSE(SmartListDrops("recentplay", info, 14, today));
    EXPECT_TRUE(SmartListDrops("recentplay", info, 15, today));
    // No statistic: neither taken nor dropped.
    EXPECT_FALSE(SmartListTakes("recentplay", info, std::nullopt, today));
    EXPECT_FALSE(SmartListDrops("recentplay", info, std::nullopt, today));

    // Months are 30.5 days: from 15 February to 1 March is 16.5 units, truncated to 16.
    EXPECT_EQ(PlayAge(Played(1, QDate(2024, 2, 15)), 0, QDate(2024, 3, 1)), 16);
    // A year back across New Year: (1 * 365) + (1 - 12) * 30.5 + (2 - 31) = 0.5 -> 0.
    EXPECT_EQ(PlayAge(Played(1, QDate(2023, 12, 31)), 0, QDate(2024, 1, 2)), 0);
    // Without a positive rank the age runs from the download day.
    EXPECT_EQ(PlayAge(Played(0, QDate(2020, 1, 1)), DayNumber(today) - 3, today), 3);
    EXPECT_EQ(PlayAge(Played(-1, QDate(2020, 1, 1)), DayNumber(today) - 20, today), 20);

    info.AddDay = DayNumber(today) - 14;
    EXPECT_TRUE(SmartListTakes("recentdownload", info, std::nullopt, today));
    EXPECT_FALSE(SmartListDrops("recentdownload", info, std::nullopt, today));
    info.AddDay = DayNumber(today) - 15;
    EXPECT_FALSE(SmartListTakes("recentdownload", info, std::nullopt, today));
    EXPECT_TRUE(SmartListDrops("recentdownload", info, std::nullopt, today));
    info.AddDay = 0; // none
    EXPECT_FALSE(SmartListTakes("recentdownload", info, std::nullopt, today));
    EXPECT_FALSE(SmartListDrops("recentdownload", info, std::nullopt, today));

    info.PlayCount = 9;
    EXPECT_FALSE(SmartListTakes("hotplay", info, 0, today));
    info.PlayCount = 10;
    EXPECT_TRUE(SmartListTakes("hotplay", info, 0, today));
    EXPECT_FALSE(SmartListDrops("hotplay", info, 1000, today));

    EXPECT_FALSE(SmartListTakes("favorite", info, 0, today));
    EXPECT_TRUE(SmartListDrops("favorite", info, 0, today));
    info.Default1 = 1;
    EXPECT_TRUE(SmartListTakes("favorite", info, 0, today));
    EXPECT_FALSE(SmartListDrops("favorite", info, 0, today));

    EXPECT_FALSE(SmartListTakes("urllist", info, 0, today));
    info.NSrc = "mms://host/live";
    EXPECT_TRUE(SmartListTakes("urllist", info, 0, today));
    EXPECT_FALSE(SmartListDrops("urllist", info, 0, today));

    EXPECT_FALSE(SmartListTakes("somethingelse", info, 0, today));
    EXPECT_FALSE(SmartListDrops("somethingelse", info, 100, today));
}

TEST(LocalBuilder, HotplayTakesATrackAtItsTenthPlayAndKeepsIt)
{
    auto hot = SmartList("hotplay");
    TrackRef t = MakeTrack("t");
    for (int plays = 1; plays <= 9; ++plays) {
        t->GetInfo()->PlayCount = plays;
        EXPECT_FALSE(hot->OfferTrack(t.get(), 0)) << plays;
    }
    t->GetInfo()->PlayCount = 10;
    EXPECT_TRUE(hot->OfferTrack(t.get(), 0));
    t->GetInfo()->PlayCount = 11;
    EXPECT_FALSE(hot->OfferTrack(t.get(), 0)); // already in: not taken twice
    EXPECT_EQ(hot->TrackCount(), 1);
}

TEST(LocalBuilder, RecentPlayFollowsTheStatistics)
{
    CQvMediaStore store;
    auto recent = SmartList("recentplay", &store);
    TrackRef t = MakeTrack("t");
    EXPECT_FALSE(recent->OfferTrack(t.get(), 0)); // never played
    store.PutStatistic("t", Played(1, QDate::currentDate()));
    EXPECT_TRUE(recent->OfferTrack(t.get(), 0));
    store.PutStatistic("t", Played(1, QDate::currentDate().addDays(-40)));
    EXPECT_FALSE(recent->OfferTrack(t.get(), 0));
    EXPECT_FALSE(recent->TrackIndex().Contains("t"));
    EXPECT_EQ(recent->TrackCount(), 0);
}

TEST(LocalBuilder, FavouritesLeaveAndComeBack)
{
    auto fav = SmartList("favorite");
    TrackRef t = MakeTrack("t", [](TrackInfo& i) { i.EditRare().Sysid = "S9"; i.Default1 = 1; });
    TrackRef copy = MakeTrack("copy", [](TrackInfo& i) { i.EditRare().Sysid = "S9"; i.Default1 = 1; });
    EXPECT_TRUE(fav->OfferTrack(t.get(), 0));
    EXPECT_FALSE(fav->OfferTrack(copy.get(), 0)); // the same song under another Gid

    t->GetInfo()->Default1 = 0;
    EXPECT_FALSE(fav->OfferTrack(t.get(), 0));
    EXPECT_EQ(fav->TrackCount(), 0);
    // Marked again in the same session: back in the list.
    t->GetInfo()->Default1 = 1;
    EXPECT_TRUE(fav->OfferTrack(t.get(), 0));

    // A service stream (CmsID and a network source) may stand beside its song.
    TrackRef stream = MakeTrack("stream", [](TrackInfo& i) {
        i.EditRare().Sysid = "S9"; i.EditRare().CmsID = "C9"; i.LSrc.clear(); i.NSrc = "http://h/s.mp3"; i.Default1 = 1;
    });
    EXPECT_TRUE(fav->OfferTrack(stream.get(), 0));
    EXPECT_EQ(fav->TrackCount(), 2);
    // Unmarking the other copy does not take out the member it is not.
    copy->GetInfo()->Default1 = 0;
    EXPECT_FALSE(fav->OfferTrack(copy.get(), 0));
    EXPECT_EQ(fav->TrackCount(), 2);
}

TEST(NetBuilder, TakesNothing)
{
    CQvCommonNode net(std::make_unique<CNetDataBuilder>());
    net.SetType(3);
    TrackRef t = MakeTrack("t");
    EXPECT_FALSE(net.OfferTrack(t.get(), 1));
    EXPECT_EQ(net.TrackCount(), 0);
}

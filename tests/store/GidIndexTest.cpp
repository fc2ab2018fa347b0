#include "store/CQvMediaStore.h"
#include "store/GidIndex.h"

#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

TrackRef Track(const QString& path)
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Gid = MakeGid(path);
    info->LSrc = path;
    t->AttachInfo(info, nullptr);
    return t;
}

std::vector<TrackRef> Tracks(int n, const QString& folder = QStringLiteral("/music/"))
{
    std::vector<TrackRef> out;
    for (int i = 0; i < n; ++i) out.push_back(Track(folder + QString::number(i) + QStringLiteral(".mp3")));
    return out;
}

// The index against a plain map after every kind of change: each held Gid finds its track,
// each other Gid nothing, and a walk meets each held track once.
void ExpectSame(const GidIndex& index, const std::map<QString, CQvMusic*>& model, const std::vector<TrackRef>& all)
{
    ASSERT_EQ(index.Size(), model.size());
    ASSERT_EQ(index.IsEmpty(), model.empty());
    for (const TrackRef& t : all) {
        const QString& gid = t->GetInfo()->Gid;
        const auto it = model.find(gid);
        ASSERT_EQ(index.Find(gid), it == model.end() ? nullptr : it->second) << gid.toStdString();
        // A record's key as it is held finds the same.
        ASSERT_EQ(index.Find(t->GetInfo()->Gid), index.Find(gid));
    }
    std::set<CQvMusic*> walked;
    for (CQvMusic* t : index) ASSERT_TRUE(walked.insert(t).second);
    std::set<CQvMusic*> held;
    for (const auto& [gid, t] : model) held.insert(t);
    ASSERT_EQ(walked, held);
}

} // namespace

// Random insertions and removals over a few thousand tracks, the index growing from nothing and
// filled up to its limit: every removal moves the entries of a crowded run back, across the
// table's end too, and a lookup still finds each one from its home slot.
TEST(GidIndex, FollowsAMapThroughGrowthAndRemovals)
{
    const std::vector<TrackRef> all = Tracks(3000);
    GidIndex index;
    std::map<QString, CQvMusic*> model;
    std::mt19937 random(20);
    for (int step = 0; step < 30000; ++step) {
        CQvMusic* t = all[random() % all.size()].get();
        const QString& gid = t->GetInfo()->Gid;
        // More insertions than removals early, so the table fills and grows; later even.
        const bool insert = random() % 100 < (step < 10000 ? 70 : 50);
        if (insert) {
            ASSERT_EQ(index.Insert(t), model.emplace(gid, t).second);
        } else if (random() % 2) {
            const bool erased = random() % 2 ? index.Erase(gid) : index.Erase(t->GetInfo()->Gid);
            ASSERT_EQ(erased, model.erase(gid) == 1);
        } else {
            ASSERT_EQ(index.EraseTrack(t), model.erase(gid) == 1);
        }
        if (step % 1000 == 999) ExpectSame(index, model, all);
    }
    ExpectSame(index, model, all);
    for (const TrackRef& t : all) index.Erase(t->GetInfo()->Gid);
    model.clear();
    ExpectSame(index, model, all);
    // Emptied by removals, it takes them all again.
    for (const TrackRef& t : all) ASSERT_TRUE(index.Insert(t.get()));
    for (const TrackRef& t : all) model.emplace(t->GetInfo()->Gid, t.get());
    ExpectSame(index, model, all);

    GidIndex moved(std::move(index));
    ExpectSame(moved, model, all);
    EXPECT_TRUE(index.IsEmpty());
    EXPECT_EQ(index.Find(all[0]->GetInfo()->Gid), nullptr);
    EXPECT_TRUE(index.Insert(all[0].get()));
    moved.Clear();
    ExpectSame(moved, {}, all);
    moved.Reserve(5000);
    EXPECT_TRUE(moved.Insert(all[1].get()));
    EXPECT_EQ(moved.Size(), 1u);
}

// Two tracks of one Gid (a file imported again, a temporary copy): the first keeps the place
// until it is replaced, and forgetting the other one leaves it; a track without a record or an
// empty Gid is handled like the maps handled them.
TEST(GidIndex, DuplicatesEmptyKeysAndTracksWithoutRecord)
{
    const TrackRef first = Track(QStringLiteral("/music/a.mp3"));
    const TrackRef second = Track(QStringLiteral("/music/a.mp3"));
    const QString gid = first->GetInfo()->Gid;
    GidIndex index;
    EXPECT_TRUE(index.Insert(first.get()));
    EXPECT_FALSE(index.Insert(second.get()));
    EXPECT_FALSE(index.Insert(first.get()));
    EXPECT_EQ(index.Find(gid), first.get());
    EXPECT_FALSE(index.EraseTrack(second.get()));
    EXPECT_EQ(index.Find(gid), first.get());
    index.Put(second.get());
    EXPECT_EQ(index.Size(), 1u);
    EXPECT_EQ(index.Find(gid), second.get());
    EXPECT_FALSE(index.EraseTrack(first.get()));
    EXPECT_TRUE(index.EraseTrack(second.get()));
    EXPECT_FALSE(index.Contains(gid));
    EXPECT_FALSE(index.Erase(gid));

    const TrackRef bare = TrackRef::Adopt(CreateMedia(0));
    EXPECT_FALSE(index.Insert(bare.get()));
    EXPECT_FALSE(index.Insert(nullptr));
    index.Put(bare.get());
    EXPECT_FALSE(index.EraseTrack(bare.get()));
    EXPECT_TRUE(index.IsEmpty());

    const TrackRef unnamed = Track(QString());
    unnamed->GetInfo()->Gid.clear();
    EXPECT_FALSE(index.Contains(QString()));
    EXPECT_TRUE(index.Insert(unnamed.get()));
    EXPECT_EQ(index.Find(QString()), unnamed.get());
    EXPECT_EQ(index.Find(QStringLiteral("x")), nullptr);
}

// The store through its own operations on a library large enough to grow its indexes several
// times: tracks moved to the temporary ones and back, and a purge of every third, are found (or
// not) by Gid exactly as they stand.
TEST(GidIndex, TheStoreFindsItsTracksAfterMovesAndAPurge)
{
    const std::vector<TrackRef> all = Tracks(5000);
    CQvMediaStore store;
    store.BeginLoad(1000); // fewer than come: the index grows past what was reserved
    for (const TrackRef& t : all) ASSERT_EQ(store.Add(t.get()), 1);
    store.EndLoad();
    EXPECT_EQ(store.Add(Track(QStringLiteral("/music/7.mp3")).get()), 0);
    for (size_t i = 0; i < all.size(); i += 5) ASSERT_TRUE(store.MoveToTemp(all[i].get()));
    for (size_t i = 0; i < all.size(); i += 10) ASSERT_TRUE(store.MoveToLibrary(all[i].get()));
    TrackSet gone;
    for (size_t i = 0; i < all.size(); i += 3) gone.insert(all[i].get());
    store.Forget(gone);
    int library = 0;
    for (size_t i = 0; i < all.size(); ++i) {
        const bool away = i % 3 == 0;
        const bool temp = i % 5 == 0 && i % 10 != 0;
        CQvMusic* found = store.FindTrack(all[i]->GetInfo()->Gid, 0);
        ASSERT_EQ(found, away ? nullptr : all[i].get()) << i;
        if (!away && !temp) ++library;
    }
    EXPECT_EQ(int(store.LibraryTracks().size()), library);
    EXPECT_EQ(store.LibraryCount(), library);
}

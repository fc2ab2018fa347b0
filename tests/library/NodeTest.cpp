#include "library/CQvCommonNode.h"
#include "library/DataBuilders.h"
#include "store/CQvMediaStore.h"

#include "tests/library/LibraryTestUtil.h"

#include <gtest/gtest.h>

using librarytest::MakeTrack;

namespace {

std::unique_ptr<CQvCommonNode> Node(const QString& name, bool withBuilder = true)
{
    auto n = std::make_unique<CQvCommonNode>(withBuilder ? std::make_unique<CNormalDataBuilder>() : nullptr);
    n->SetName(name);
    return n;
}

IQvNode* Add(IQvNode* parent, const QString& name, int index = -1)
{
    return AdoptChild(*parent, Node(name), index);
}

} // namespace

TEST(Node, KeysNameTheParentAndGrandparent)
{
    auto top = Node("我的音乐", false);
    EXPECT_EQ(top->GetType(), -2);
    EXPECT_EQ(top->GetIconId(), -1);
    EXPECT_EQ(top->GetEdit(), 0);
    IQvNode* group = Add(top.get(), "播放列表");
    IQvNode* list = Add(group, "摇滚");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->GetParent(), group);
    EXPECT_EQ(list->GetType(), -1);

    EXPECT_EQ(NodeKey(top.get()), "根结点");
    EXPECT_EQ(ListKey(top.get()), "我的音乐+根结点");
    EXPECT_EQ(NodeKey(group), "我的音乐+根结点");
    EXPECT_EQ(ListKey(group), "播放列表+我的音乐");
    EXPECT_EQ(NodeKey(list), "播放列表+我的音乐");
    EXPECT_EQ(ListKey(list), "摇滚+播放列表");
}

TEST(Node, ChildrenAreUniqueByNameAndFollowRenames)
{
    auto group = Node("group", false);
    ASSERT_TRUE(Add(group.get(), "a"));
    ASSERT_TRUE(Add(group.get(), "b"));
    ASSERT_TRUE(Add(group.get(), "last"));
    EXPECT_EQ(Add(group.get(), "a"), nullptr);
    auto refused = Node("x");
    EXPECT_EQ(group->InsertChild(refused.get(), 4), 0); // beyond the end: still the caller's
    EXPECT_EQ(refused->GetParent(), nullptr);
    IQvNode* before = Add(group.get(), "new", group->ChildCount() - 1);
    ASSERT_TRUE(before);
    EXPECT_EQ(group->GetChild(2), before);
    EXPECT_EQ(group->GetChild(3)->GetName(), "last");
    EXPECT_EQ(group->GetChild(4), nullptr);
    EXPECT_EQ(group->GetChild(-1), nullptr);

    before->SetName("renamed");
    EXPECT_EQ(group->FindChild("renamed"), before);
    EXPECT_EQ(group->FindChild("new"), nullptr);
    // The old name is free again; a taken one is still refused.
    EXPECT_TRUE(Add(group.get(), "new"));
    EXPECT_EQ(Add(group.get(), "renamed"), nullptr);
    EXPECT_EQ(group->OnChildRenamed(before, "nothing"), 0);

    group->RemoveChild(group->FindChild("a"));
    EXPECT_EQ(group->FindChild("a"), nullptr);
    EXPECT_EQ(group->ChildCount(), 4);
    EXPECT_EQ(group->GetChild(0)->GetName(), "b");
    CQvCommonNode stranger;
    group->RemoveChild(&stranger); // not a child: nothing happens
    EXPECT_EQ(group->ChildCount(), 4);
}

TEST(Node, MembersAreCountedAndForgotten)
{
    auto list = Node("list");
    TrackRef a = MakeTrack("a", [](TrackInfo& i) { i.Pic = 1; i.Lrc = 1; });
    TrackRef b = MakeTrack("b", [](TrackInfo& i) { i.Pic = 1; i.LSrc.clear(); i.NSrc = "http://h/b.mp3"; });
    TrackRef c = MakeTrack("c", [](TrackInfo& i) { i.Lrc = 1; });
    EXPECT_TRUE(list->OfferTrack(a.get(), 0));
    EXPECT_TRUE(list->OfferTrack(b.get(), 0));
    EXPECT_TRUE(list->OfferTrack(c.get(), 0));
    EXPECT_FALSE(list->OfferTrack(a.get(), 1)); // the same Gid again
    EXPECT_EQ(list->TrackCount(), 3);
    EXPECT_EQ(list->CountWithPicture(), 1); // b has no local file
    EXPECT_EQ(list->CountWithLyrics(), 2);
    EXPECT_EQ(list->GetBuilderTrack(0), nullptr);
    EXPECT_EQ(list->GetTrack(3), nullptr);

    list->RemoveTrack(a.get());
    EXPECT_EQ(list->TrackCount(), 2);
    EXPECT_FALSE(list->TrackIndex().Contains("a"));
    EXPECT_TRUE(list->OfferTrack(a.get(), 0)); // gone, so it may come back

    list->AppendTrack(b.get()); // already there: not twice
    EXPECT_EQ(list->TrackCount(), 3);

    CQvCommonNode bare;
    EXPECT_FALSE(bare.OfferTrack(a.get(), 1));
}

TEST(Node, TracksThatLeaveTogetherLeaveAsOneByOne)
{
    // A list of many, as the library list is, of which a few leave at once.
    auto list = Node("list");
    std::vector<TrackRef> tracks;
    for (int i = 0; i < 50; ++i) {
        tracks.push_back(MakeTrack(QStringLiteral("t%1").arg(i), [i](TrackInfo& info) {
            if (i % 10 == 0) info.EditRare().Sysid = QStringLiteral("s%1").arg(i);
        }));
        ASSERT_TRUE(list->OfferTrack(tracks.back().get(), 0));
    }
    const TrackSet gone {tracks[0].get(), tracks[7].get(), tracks[49].get()};
    list->RemoveTracks(gone);
    EXPECT_EQ(list->TrackCount(), 47);
    EXPECT_EQ(list->TrackIndex().Size(), 47u);
    EXPECT_FALSE(list->TrackIndex().Contains("t7"));
    // The rest keep their order.
    EXPECT_EQ(list->GetTrack(0), tracks[1].get());
    EXPECT_EQ(list->GetTrack(6), tracks[8].get());
    EXPECT_EQ(list->GetTrack(46), tracks[48].get());
    // The service song that left may come back with another track; one still there may not.
    const TrackRef again = MakeTrack("again", [](TrackInfo& i) { i.EditRare().Sysid = "s0"; });
    const TrackRef twice = MakeTrack("twice", [](TrackInfo& i) { i.EditRare().Sysid = "s10"; });
    EXPECT_TRUE(list->OfferTrack(again.get(), 0));
    EXPECT_FALSE(list->OfferTrack(twice.get(), 0));
}

TEST(Node, SharedMembersFollowTheLibrarySequence)
{
    TrackRef a = MakeTrack("a"), b = MakeTrack("b");
    MemberList library {a.get()};
    CQvCommonNode local;
    local.SetType(21);
    local.SetTracks(&library);
    EXPECT_TRUE(local.SharesMembers());
    library.insert(library.begin(), b.get());
    EXPECT_EQ(local.TrackCount(), 2);
    EXPECT_EQ(local.GetTrack(0)->GetInfo()->Gid, "b");
}

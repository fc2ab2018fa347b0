#include "library/CQvCommonNode.h"
#include "library/DataBuilders.h"
#include "library/NodeKeys.h"

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

} // namespace

TEST(Node, KeysNameTheParentAndGrandparent)
{
    auto top = Node("我的音乐", false);
    EXPECT_EQ(top->GetType(), -2);
    EXPECT_EQ(top->GetIconId(), -1);
    EXPECT_EQ(top->GetEdit(), 0);
    IQvNode* group = top->AppendChild(Node("播放列表"));
    IQvNode* list = group->AppendChild(Node("摇滚"));
    ASSERT_TRUE(list);
    EXPECT_EQ(list->GetParent(), group);
    EXPECT_EQ(list->GetType(), -1);

    EXPECT_EQ(StoredKey(*top), "根结点");
    EXPECT_EQ(ListKey(*top), "我的音乐+根结点");
    EXPECT_EQ(StoredKey(*group), "我的音乐+根结点");
    EXPECT_EQ(ListKey(*group), "播放列表+我的音乐");
    EXPECT_EQ(StoredKey(*list), "播放列表+我的音乐");
    EXPECT_EQ(ListKey(*list), "摇滚+播放列表");
}

TEST(Node, ChildrenAreUniqueByNameAndFollowRenames)
{
    auto group = Node("group", false);
    ASSERT_TRUE(group->AppendChild(Node("a")));
    ASSERT_TRUE(group->AppendChild(Node("b")));
    ASSERT_TRUE(group->AppendChild(Node("last")));
    EXPECT_EQ(group->AppendChild(Node("a")), nullptr);
    EXPECT_EQ(group->InsertChild(Node("x"), 4), nullptr); // beyond the end
    IQvNode* before = group->InsertChild(Node("new"), group->ChildCount() - 1);
    ASSERT_TRUE(before);
    EXPECT_EQ(group->GetChild(2), before);
    EXPECT_EQ(group->GetChild(3)->GetName(), "last");
    EXPECT_EQ(group->GetChild(4), nullptr);
    EXPECT_EQ(group->GetChild(-1), nullptr);

    before->SetName("renamed");
    EXPECT_EQ(group->FindChild("renamed"), before);
    EXPECT_EQ(group->FindChild("new"), nullptr);
    // The old name is free again; a taken one is still refused.
    EXPECT_TRUE(group->AppendChild(Node("new")));
    EXPECT_EQ(group->AppendChild(Node("renamed")), nullptr);
    EXPECT_EQ(group->OnChildRenamed(before, "nothing"), 0);

    group->RemoveChild(group->FindChild("a"));
    EXPECT_EQ(group->FindChild("a"), nullptr);
    EXPECT_EQ(group->ChildCount(), 4);
    EXPECT_EQ(group->GetChild(0)->GetName(), "b");
    CQvCommonNode stranger;
    group->RemoveChild(&stranger); // not a child: nothing happens
    EXPECT_EQ(group->ChildCount(), 4);
}

TEST(Node, MembersAreKeptByReferenceAndCounted)
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

    // The list holds its own reference: the track outlives the caller's.
    CQvMusic* raw = c.get();
    c = TrackRef();
    EXPECT_EQ(list->GetTrack(2), raw);
    EXPECT_EQ(raw->GetInfo()->Gid, "c");

    list->RemoveTrack(a.get());
    EXPECT_EQ(list->TrackCount(), 2);
    EXPECT_EQ(list->GetTrackIndex().count("a"), 0u);
    EXPECT_TRUE(list->OfferTrack(a.get(), 0)); // gone, so it may come back

    list->AppendTrack(b.get()); // already there: not twice
    EXPECT_EQ(list->TrackCount(), 3);

    CQvCommonNode bare;
    EXPECT_FALSE(bare.OfferTrack(a.get(), 1));
}

TEST(Node, SharedMembersFollowTheLibrarySequence)
{
    TrackList library;
    library.push_back(MakeTrack("a"));
    CQvCommonNode local;
    local.SetType(21);
    local.SetTracks(&library);
    EXPECT_TRUE(local.SharesMembers());
    library.insert(library.begin(), MakeTrack("b"));
    EXPECT_EQ(local.TrackCount(), 2);
    EXPECT_EQ(local.GetTrack(0)->GetInfo()->Gid, "b");
}

#include "library/CQvCommonNode.h"
#include "library/CQvNodeTree.h"
#include "library/DataBuilders.h"
#include "library/ListInfo.h"

#include "store/CSqliteDb.h"
#include "store/Schema.h"

#include "base/CodePage.h"
#include "tests/library/LibraryTestUtil.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using librarytest::Session;

namespace {

int Count(CSqliteDb* db, const char* sql, const QString& value = QString())
{
    SqliteStatement s;
    if (!db || db->Prepare(sql, s) != kSqliteOk) return -1;
    if (s.ParameterCount() == 1) Bind(s, value);
    return s.Step() == kSqliteRow ? s.ColumnInt(0) : -1;
}

int TreeListRows(Session& s, const QString& key)
{
    return Count(s.conf->TreeDb(), "SELECT count(*) FROM TreeList WHERE Key=?", key);
}

QStringList Names(IQvNode* node)
{
    QStringList names;
    for (IQvNode* c : node->Children()) names.append(c->GetName());
    return names;
}

// The shape every first run must start with, whichever source it came from.
void ExpectDefaultShape(CQvMediaStore& store)
{
    ASSERT_GE(store.TopNodeCount(), 4);
    IQvNode* first = store.GetTopNode(0);
    ASSERT_GT(first->ChildCount(), 0);
    EXPECT_EQ(first->GetChild(0)->GetName(), "本地音乐");
    EXPECT_EQ(first->GetChild(0)->GetType(), 21);
    const std::pair<const char*, const char*> smart[] = {{"最近播放", "recentplay"}, {"最常播放", "hotplay"},
                                                         {"最近添加", "recentdownload"}, {"我的收藏夹", "favorite"},
                                                         {"试听列表", "urllist"}};
    for (const auto& [name, condition] : smart) {
        IQvNode* n = store.FindNode(name);
        ASSERT_TRUE(n) << name;
        EXPECT_EQ(n->GetType(), 4) << name;
        EXPECT_EQ(n->GetCondition(), condition);
    }
    IQvNode* playlists = store.FindTopNodeByType(0);
    ASSERT_TRUE(playlists);
    EXPECT_EQ(playlists, store.GetTopNode(1)); // the second group: its first item takes drops
    ASSERT_GE(playlists->ChildCount(), 2);
    EXPECT_EQ(playlists->GetChild(0)->GetType(), -1);
    EXPECT_EQ(playlists->GetChild(playlists->ChildCount() - 1)->GetType(), 5);
    EXPECT_TRUE(store.FindNode("试听风向标"));
    IQvNode* cloud = store.FindTopNodeByName("Nimbra");
    ASSERT_TRUE(cloud);
    EXPECT_EQ(cloud->GetType(), 30);
    // The online pages are pages whether the tree came from "tree.xml" or from its rows.
    for (int kind : {51, 52, 53, 54}) {
        const IQvNode* page = nullptr;
        for (int i = 0; i < store.TopNodeCount(); ++i)
            for (IQvNode* c : store.GetTopNode(i)->Children())
                if (c->GetType() == kind) page = c;
        ASSERT_TRUE(page) << kind;
        EXPECT_EQ(page->GetDisplayType(), "web") << kind;
        EXPECT_EQ(page->GetParent()->GetDisplayType(), "web") << kind;
    }
    EXPECT_EQ(store.FindNode("本地音乐")->GetDisplayType(), "list");
    EXPECT_EQ(cloud->GetDisplayType(), "list");
}

} // namespace

TEST(NodeTree, FirstRunBuildsTheDefaultTreeAndTheNextStartReadsItBack)
{
    Session s;
    ASSERT_EQ(s.Load(), 0);
    ExpectDefaultShape(*s.store);
    EXPECT_TRUE(QFileInfo::exists(s.conf->DataDir() + "tree.xml"));
    EXPECT_TRUE(QFileInfo::exists(s.conf->DataDir() + kTreeDbName));
    // The default tree's local music view is the library itself.
    CQvMusic* a = s.AddFileTrack("a.mp3");
    IQvNode* local = s.store->FindNode("本地音乐");
    ASSERT_EQ(local->TrackCount(), 1);
    EXPECT_EQ(local->GetTrack(0), a);
    EXPECT_EQ(s.store->GetTopNode(0)->GetChild(1)->GetListInfo()->displayName, "最近播放");

    const QStringList topNames = [&] {
        QStringList n;
        for (int i = 0; i < s.store->TopNodeCount(); ++i) n.append(s.store->GetTopNode(i)->GetName());
        return n;
    }();
    const QStringList playlistNames = Names(s.store->FindTopNodeByType(0));

    s.Reopen();
    s.AddFileTrack("b.mp3");
    ASSERT_EQ(s.Load(), 0);
    ExpectDefaultShape(*s.store);
    for (int i = 0; i < s.store->TopNodeCount(); ++i) EXPECT_EQ(s.store->GetTopNode(i)->GetName(), topNames[i]);
    EXPECT_EQ(Names(s.store->FindTopNodeByType(0)), playlistNames);
    // Read back from the rows, the local music view holds its own copy of the library.
    EXPECT_EQ(s.store->FindNode("本地音乐")->TrackCount(), 2);
    // Loading twice does not double the tree.
    const int top = s.store->TopNodeCount();
    EXPECT_EQ(s.lib->LoadTree(), 0);
    EXPECT_EQ(s.store->TopNodeCount(), top);
}

TEST(NodeTree, ADamagedTreeFileWithoutTreeRowsGivesWayToTheShippedOne)
{
    Session s;
    const QString xml = s.home + "data/tree.xml";
    testutil::WriteFile(xml, "<root name=\"broken\"><child name=");
    ASSERT_FALSE(QFileInfo::exists(s.home + "data/Tree2.db"));
    ASSERT_EQ(s.Load(), 0);
    ExpectDefaultShape(*s.store);
    EXPECT_EQ(testutil::ReadFile(xml + ".damaged"), QByteArray("<root name=\"broken\"><child name="));
    EXPECT_EQ(testutil::ReadFile(xml), testutil::ReadFile(testutil::SourceDir() + "/resources/tree.xml"));

    // With the tree's rows stored, a damaged tree file still leaves the pages their display type.
    testutil::WriteFile(xml, "not a tree");
    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    bool webPages = false;
    for (int i = 0; i < s.store->TopNodeCount(); ++i) {
        auto walk = [&](auto&& self, IQvNode* n) -> void {
            webPages = webPages || n->GetDisplayType() == "web";
            for (IQvNode* c : n->Children()) self(self, c);
        };
        walk(walk, s.store->GetTopNode(i));
    }
    EXPECT_TRUE(webPages);
}

TEST(NodeTree, CreatedListsGoBeforeTheLastChildAndStayThere)
{
    Session s;
    ASSERT_EQ(s.Load(), 0);
    IQvNode* group = s.store->FindTopNodeByType(0);
    const int before = group->ChildCount();
    IQvNode* rock = s.tree->CreateList("摇滚");
    ASSERT_TRUE(rock);
    EXPECT_EQ(group->ChildCount(), before + 1);
    EXPECT_EQ(group->GetChild(before - 1), rock);
    EXPECT_EQ(group->GetChild(before)->GetType(), 5);
    EXPECT_EQ(rock->GetType(), -1);
    EXPECT_EQ(rock->GetIconId(), 4);
    EXPECT_EQ(s.store->FindNode("摇滚"), rock);
    EXPECT_EQ(NodeKey(rock), "播放列表+根结点");
    EXPECT_EQ(ListKey(rock), "摇滚+播放列表");
    EXPECT_EQ(s.tree->CreateList("摇滚"), nullptr);
    EXPECT_EQ(s.tree->CreateList(""), nullptr);
    EXPECT_EQ(group->ChildCount(), before + 1);

    CQvMusic* a = s.AddFileTrack("a.mp3");
    ASSERT_TRUE(rock->OfferTrack(a, 0));
    s.lib->AddTrackToList(rock, a);
    IQvNode* jazz = s.tree->CreateList("Jazz");
    EXPECT_EQ(group->GetChild(before), jazz);

    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    group = s.store->FindTopNodeByType(0);
    ASSERT_EQ(group->ChildCount(), before + 2);
    EXPECT_EQ(group->GetChild(before - 1)->GetName(), "摇滚");
    EXPECT_EQ(group->GetChild(before)->GetName(), "Jazz");
    EXPECT_EQ(group->GetChild(before + 1)->GetType(), 5); // held back, put last again
    EXPECT_EQ(group->GetChild(before - 1)->TrackCount(), 1);
}

TEST(NodeTree, RenamedListIsFoundUnderItsNewNameWithItsMembers)
{
    Session s;
    ASSERT_EQ(s.Load(), 0);
    IQvNode* list = s.tree->CreateList("旧名字");
    IQvNode* other = s.tree->CreateList("Other");
    CQvMusic* a = s.AddFileTrack("a.mp3");
    CQvMusic* b = s.AddFileTrack("b.mp3");
    for (CQvMusic* t : {a, b}) {
        list->OfferTrack(t, 0);
        s.lib->AddTrackToList(list, t);
    }
    IQvNode* group = list->GetParent();

    EXPECT_EQ(s.tree->RenameList(list, "Other"), -1); // taken
    EXPECT_EQ(s.tree->RenameList(list, "新名字"), 1);
    EXPECT_EQ(list->GetName(), "新名字");
    EXPECT_EQ(group->FindChild("新名字"), list);
    EXPECT_EQ(group->FindChild("旧名字"), nullptr);
    EXPECT_EQ(s.store->FindNode("新名字"), list);
    EXPECT_EQ(s.store->FindNode("旧名字"), nullptr);
    EXPECT_EQ(list->GetListInfo()->displayName, "新名字");
    EXPECT_EQ(TreeListRows(s, "旧名字+播放列表"), 0);
    EXPECT_EQ(TreeListRows(s, "新名字+播放列表"), 2);
    // Only the case differs: nothing changes.
    EXPECT_EQ(s.tree->RenameList(other, "OTHER"), 0);
    EXPECT_EQ(other->GetName(), "Other");

    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    group = s.store->FindTopNodeByType(0);
    ASSERT_TRUE(group->FindChild("新名字"));
    EXPECT_FALSE(group->FindChild("旧名字"));
    EXPECT_EQ(group->FindChild("新名字")->TrackCount(), 2);
}

TEST(NodeTree, AListKeepsTheRowsOfMembersWhoseDiskIsAwayThroughSavesAndRenames)
{
    Session s;
    ASSERT_EQ(s.Load(), 0);
    IQvNode* list = s.tree->CreateList("Mine");
    CQvMusic* away1 = s.AddFileTrack("disk/a.mp3");
    CQvMusic* away2 = s.AddFileTrack("disk/b.mp3");
    CQvMusic* here = s.AddFileTrack("home/c.mp3");
    // Appended as the window does for a drop: the member index is what the rows are written from.
    for (CQvMusic* t : {away1, away2, here}) list->AppendTrack(t);
    EXPECT_EQ(list->TrackIndex().Size(), 3u);
    ASSERT_EQ(s.lib->SaveListMembers(list), 0);
    EXPECT_EQ(TreeListRows(s, "Mine+播放列表"), 3);
    const QString hereGid = here->GetInfo()->Gid;

    // The disk is away at the next start: its tracks are not loaded, their rows stay.
    const QString disk = s.MusicDir() + "disk";
    ASSERT_TRUE(QDir().rename(disk, disk + "-away"));
    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    list = s.store->FindNode("Mine");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->TrackCount(), 1);
    CQvMusic* added = s.AddFileTrack("home/d.mp3");
    list->AppendTrack(added);
    ASSERT_EQ(s.lib->SaveListMembers(list), 0);
    EXPECT_EQ(TreeListRows(s, "Mine+播放列表"), 4);
    // A member taken out in memory (a loaded track) loses its row at the next save.
    CQvMusic* c = s.store->FindTrack(hereGid, 0);
    ASSERT_TRUE(c);
    list->RemoveTrack(c);
    ASSERT_EQ(s.lib->SaveListMembers(list), 0);
    EXPECT_EQ(TreeListRows(s, "Mine+播放列表"), 3);
    // Renaming moves every row, those of the members away included.
    ASSERT_EQ(s.tree->RenameList(list, "Ours"), 1);
    EXPECT_EQ(TreeListRows(s, "Mine+播放列表"), 0);
    EXPECT_EQ(TreeListRows(s, "Ours+播放列表"), 3);
    ASSERT_EQ(s.lib->SaveTree(), 0);

    // The disk is back: every member is there again.
    ASSERT_TRUE(QDir().rename(disk + "-away", disk));
    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    list = s.store->FindNode("Ours");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->TrackCount(), 3);
    for (const char* name : {"disk/a.mp3", "disk/b.mp3", "home/d.mp3"})
        EXPECT_TRUE(list->TrackIndex().Contains(MakeGid(s.MusicDir() + name))) << name;
}

TEST(NodeTree, DeletingAListLeavesItsSiblingsAndTheirRows)
{
    Session s;
    ASSERT_EQ(s.Load(), 0);
    IQvNode* first = s.tree->CreateList("first");
    IQvNode* second = s.tree->CreateList("second");
    CQvMusic* a = s.AddFileTrack("a.mp3");
    for (IQvNode* l : {first, second}) {
        l->OfferTrack(a, 0);
        s.lib->AddTrackToList(l, a);
    }
    QStringList removed;
    s.tree->SetCloudGroupRemoval([&](const QString& name, const ListInfo&) { removed.append(name); });

    IQvNode* group = first->GetParent();
    ASSERT_EQ(s.tree->DeleteList(first), 0);
    group->RemoveChild(first);
    EXPECT_EQ(removed, QStringList {"first"});
    EXPECT_EQ(s.store->FindNode("first"), nullptr);
    EXPECT_EQ(TreeListRows(s, "first+播放列表"), 0);
    EXPECT_EQ(TreeListRows(s, "second+播放列表"), 1);
    EXPECT_EQ(Count(s.conf->TreeDb(), "SELECT count(*) FROM TreeNode WHERE Key=?", "播放列表+根结点"),
              group->ChildCount());

    // Without anyone signed in (no cloud removal) a list is still deleted here.
    s.tree->SetCloudGroupRemoval({});
    ASSERT_EQ(s.tree->DeleteListByName("second"), 0);
    group->RemoveChild(second);
    EXPECT_EQ(s.tree->DeleteListByName("second"), -1);
    EXPECT_EQ(s.tree->DeleteList(nullptr), -1);
    IQvNode* third = s.tree->CreateList("third");
    third->OfferTrack(a, 0);
    s.lib->AddTrackToList(third, a);

    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    group = s.store->FindTopNodeByType(0);
    EXPECT_FALSE(group->FindChild("first"));
    EXPECT_FALSE(group->FindChild("second"));
    ASSERT_TRUE(group->FindChild("third"));
    EXPECT_EQ(group->FindChild("third")->TrackCount(), 1);
    EXPECT_TRUE(group->FindChild("默认列表")); // the shipped sibling survived both deletions
}

TEST(NodeTree, CloudNodeIsStoredButItsGroupsAreNotReadBack)
{
    Session s;
    ASSERT_EQ(s.Load(), 0);
    IQvNode* cloud = s.store->FindTopNodeByName("Nimbra");
    auto group = std::make_unique<CQvCommonNode>(std::make_unique<CNetDataBuilder>());
    group->SetName("云端歌单");
    group->SetType(3);
    IQvNode* added = AdoptChild(*cloud, std::move(group));
    ASSERT_TRUE(added);
    // Even a row written for it by hand is not read back, and SaveTree writes none.
    ASSERT_EQ(s.lib->SaveNode(added, QString()), 0);
    ASSERT_EQ(s.tree->SaveTree(), 0);
    EXPECT_EQ(Count(s.conf->TreeDb(), "SELECT count(*) FROM TreeNode WHERE Key=?", "Nimbra+根结点"), 1);

    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    cloud = s.store->FindTopNodeByName("Nimbra");
    ASSERT_TRUE(cloud);
    EXPECT_EQ(cloud->ChildCount(), 0);
    EXPECT_EQ(s.store->FindNode("云端歌单"), nullptr);
}

TEST(NodeTree, OffersReachTheSmartListsAndRemovedTracksLeaveEveryList)
{
    Session s;
    ASSERT_EQ(s.Load(), 0);
    IQvNode* recent = s.store->FindNode("最近播放");
    IQvNode* favourite = s.store->FindNode("我的收藏夹");
    IQvNode* urls = s.store->FindNode("试听列表");
    IQvNode* mine = s.tree->CreateList("mine");
    CQvMusic* a = s.AddFileTrack("a.mp3");
    mine->OfferTrack(a, 0);
    s.lib->AddTrackToList(mine, a);

    // A play reaches the smart lists (type 4) and is stored under the list's key.
    ASSERT_EQ(s.lib->RecordPlay(a), 0);
    EXPECT_TRUE(recent->TrackIndex().Contains(a->GetInfo()->Gid));
    EXPECT_EQ(TreeListRows(s, "最近播放+我的音乐"), 1);
    EXPECT_EQ(favourite->TrackCount(), 0);

    // -2 leaves the smart lists alone; -1 offers to all of them.
    a->GetInfo()->Default1 = 1;
    s.lib->UpdateTrack(a);
    EXPECT_EQ(s.tree->OfferToLists(a, -2), 0);
    EXPECT_EQ(favourite->TrackCount(), 0);
    EXPECT_EQ(s.tree->OfferToLists(a, -1), 1);
    EXPECT_EQ(favourite->TrackCount(), 1);
    EXPECT_EQ(urls->TrackCount(), 0);

    s.Reopen();
    ASSERT_EQ(s.Load(), 0);
    CQvMusic* back = s.store->FindTrack(MakeGid(s.MusicDir() + "a.mp3"), 0);
    ASSERT_TRUE(back);
    EXPECT_EQ(s.store->FindNode("最近播放")->TrackCount(), 1);
    EXPECT_EQ(s.store->FindNode("我的收藏夹")->TrackCount(), 1);
    EXPECT_EQ(s.store->FindNode("mine")->TrackCount(), 1);

    // Removed from the library: every list forgets it, and its rows go.
    ASSERT_EQ(s.lib->RemoveTrack(back), 1);
    s.tree->OfferToLists(back, -1);
    for (const char* name : {"最近播放", "我的收藏夹", "mine", "本地音乐"}) EXPECT_EQ(s.store->FindNode(name)->TrackCount(), 0) << name;
    EXPECT_EQ(Count(s.conf->TreeDb(), "SELECT count(*) FROM TreeList WHERE Gid=?", back->GetInfo()->Gid), 0);
}

TEST(NodeTree, ABatchOfferedListByListEndsAsOffersOneByOne)
{
    // The same tracks offered one by one in one home and as one batch in another: the same
    // members in the same order, and the same stored rows after a restart.
    auto run = [](bool batch) {
        Session s;
        EXPECT_EQ(s.Load(), 0);
        IQvNode* mine = s.tree->CreateList("mine");
        CQvMusic* gone = s.AddFileTrack("gone.mp3", [](TrackInfo& i) { i.Default1 = 1; });
        s.tree->OfferToLists(gone, -1);
        mine->OfferTrack(gone, 0);
        s.lib->AddTrackToList(mine, gone);
        EXPECT_EQ(TreeListRows(s, "我的收藏夹+我的音乐"), 1);
        s.lib->RemoveTrack(gone);
        std::vector<CQvMusic*> tracks;
        for (int i = 0; i < 6; ++i) {
            tracks.push_back(s.AddFileTrack(QStringLiteral("t%1.mp3").arg(i), [i](TrackInfo& info) {
                info.AddDay = i % 2 ? TodayDayNumber() : 0;
                info.Default1 = i % 3 == 0;
            }));
            if (i == 2) tracks.push_back(gone);
        }
        int taken = 0;
        if (batch) taken = s.tree->OfferManyToLists(tracks, -1);
        else
            for (CQvMusic* t : tracks) taken += s.tree->OfferToLists(t, -1);
        std::map<std::string, std::vector<QString>> members;
        // By file name: the two homes' paths, and so their Gids, differ.
        for (const char* name : {"最近添加", "我的收藏夹", "mine"}) {
            std::vector<QString>& names = members[name];
            for (CQvMusic* t : s.store->FindNode(name)->Tracks()) names.push_back(t->GetInfo()->Song);
        }
        members["taken"].push_back(QString::number(taken));
        members["rows"].push_back(QString::number(TreeListRows(s, "最近添加+我的音乐")));
        members["rows"].push_back(QString::number(TreeListRows(s, "我的收藏夹+我的音乐")));
        members["rows"].push_back(QString::number(
            Count(s.conf->TreeDb(), "SELECT count(*) FROM TreeList WHERE Gid=?", gone->GetInfo()->Gid)));
        s.Reopen();
        EXPECT_EQ(s.Load(), 0);
        for (const char* name : {"最近添加", "我的收藏夹"})
            members[std::string("after ") + name].push_back(QString::number(s.store->FindNode(name)->TrackCount()));
        return members;
    };
    const auto single = run(false);
    const auto batch = run(true);
    EXPECT_EQ(batch, single);
    EXPECT_EQ(single.at("最近添加").size(), 3u);
    EXPECT_EQ(single.at("我的收藏夹").size(), 2u);
    EXPECT_EQ(single.at("mine").size(), 0u);
    EXPECT_EQ(single.at("rows"), (std::vector<QString> {"3", "2", "0"}));
}

TEST(NodeTree, TreesWrittenWithoutParentNamesStillLoad)
{
    Session s;
    s.conf->OpenAllMissing();
    CSqliteDb* db = s.conf->TreeDb();
    const char* insert = "INSERT INTO TreeNode (Key, Id, Name, Condition, Edit, Type, IconId) VALUES (?, ?, ?, ?, ?, ?, ?)";
    ASSERT_EQ(db->Run(insert, QString::fromUtf16(u"根结点"), "", "Group", "", 0, 0, 0), kSqliteOk);
    ASSERT_EQ(db->Run(insert, "Group", "", "List", "", 0, -1, 4), kSqliteOk);
    ASSERT_EQ(db->Run(insert, "Group", "", "New", "", 0, 5, 8), kSqliteOk);
    ASSERT_EQ(db->Run(insert, "Group", "", "List2", "", 0, -1, 4), kSqliteOk);
    ASSERT_EQ(db->Run(insert, "List", "", "Deep", "", 0, -1, 4), kSqliteOk);
    ASSERT_EQ(s.Load(), 0);
    IQvNode* group = s.store->FindTopNodeByName("group");
    ASSERT_TRUE(group);
    EXPECT_EQ(Names(group), (QStringList {"List", "List2", "New"}));
    EXPECT_EQ(Names(group->FindChild("List")), QStringList {"Deep"});
}

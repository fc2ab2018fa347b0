#include "app/CNodeTreeModel.h"
#include "app/CTrackListModel.h"
#include "app/TrackSort.h"

#include "library/CQvNodeTree.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "tests/common/TestUtil.h"

#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

TrackRef Track(const QString& song, const QString& artist = {}, int seconds = 0, bool service = false)
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Song = song;
    info->Artist = artist;
    info->TotleTime = seconds;
    info->LSrc = QStringLiteral("/m/") + song + QStringLiteral(".mp3");
    info->Gid = MakeGid(info->LSrc);
    t->AttachInfo(info, nullptr);
    if (service) t->AddState(STATE_FROM_SERVICE);
    return t;
}

QStringList Songs(const MemberList& list)
{
    QStringList out;
    for (CQvMusic* t : list) out.append(t->GetInfo()->Song);
    return out;
}

TEST(TrackSort, ColumnsSortStablyInBothDirections)
{
    std::vector<TrackRef> keep = {Track("b", "x", 200), Track("a", "y", 100, true), Track("c", "x", 100),
                                  Track("B2", "y", 300, true)};
    MemberList list;
    for (auto& t : keep) list.push_back(t.get());

    // Texts go in the order of the user's language, not by character codes.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    SortTracks(list, kSortSong, false);
    EXPECT_EQ(Songs(list), (QStringList{"a", "b", "B2", "c"}));
    SortTracks(list, kSortSong, true);
    EXPECT_EQ(Songs(list), (QStringList{"c", "B2", "b", "a"}));
    // Equal artists keep the order they had.
    SortTracks(list, kSortArtist, false);
    EXPECT_EQ(Songs(list), (QStringList{"c", "b", "B2", "a"}));
    SortTracks(list, kSortTime, false);
    EXPECT_EQ(Songs(list), (QStringList{"c", "a", "b", "B2"}));
    SortTracks(list, kSortTime, true);
    EXPECT_EQ(Songs(list), (QStringList{"B2", "b", "c", "a"}));
    SortTracks(list, kSortService, true);
    EXPECT_EQ(Songs(list), (QStringList{"B2", "a", "b", "c"}));
    // Any other column: all equal, nothing moves.
    SortTracks(list, 9, false);
    SortTracks(list, kSortNone, true);
    EXPECT_EQ(Songs(list), (QStringList{"B2", "a", "b", "c"}));

    // Chinese titles by their pinyin, among the Latin ones.
    std::vector<TrackRef> chinese = {Track("周杰伦", "x", 1), Track("Beyond", "x", 1), Track("陈奕迅", "x", 1),
                                     Track("阿杜", "x", 1), Track("Zorn", "x", 1)};
    MemberList mixed;
    for (auto& t : chinese) mixed.push_back(t.get());
    SortTracks(mixed, kSortSong, false);
    const QStringList sorted = Songs(mixed);
    EXPECT_LT(sorted.indexOf("阿杜"), sorted.indexOf("陈奕迅"));
    EXPECT_LT(sorted.indexOf("陈奕迅"), sorted.indexOf("周杰伦"));
    EXPECT_LT(sorted.indexOf("Beyond"), sorted.indexOf("Zorn"));
    QLocale::setDefault(before);
}

struct Library {
    QTemporaryDir dir;
    CQvConf conf;
    CQvMediaStore store;
    CMediaLibrary lib{store, conf};
    CQvNodeTree tree{lib};
    Library()
    {
        conf.SetDirectories(dir.filePath("home"), testutil::SourceDir() + QStringLiteral("/resources"));
        lib.LoadTracks();
        lib.LoadTree();
    }
};

TEST(TrackListModel, RowsComeFromTheListAndFollowItAtRefresh)
{
    Library l;
    IQvNode* local = l.store.FindNode(QStringLiteral("本地音乐"));
    ASSERT_TRUE(local);
    std::vector<TrackRef> keep = {Track("晚风", "林晓", 245), Track("远方", "", 0, true)};
    for (auto& t : keep) l.lib.AddTrack(t.get());

    CTrackListModel model(l.lib);
    model.SetNode(local);
    ASSERT_EQ(model.rowCount(), 2);
    const int row = model.RowOf(keep[0].get());
    ASSERT_GE(row, 0);
    EXPECT_EQ(model.data(model.index(row, CTrackListModel::kColSong), Qt::DisplayRole).toString(), "晚风");
    EXPECT_EQ(model.data(model.index(row, CTrackListModel::kColArtist), Qt::DisplayRole).toString(), "林晓");
    EXPECT_EQ(model.data(model.index(row, CTrackListModel::kColTime), Qt::DisplayRole).toString(), "04:05");
    EXPECT_EQ(model.data(model.index(row, CTrackListModel::kColNumber), Qt::DisplayRole).toString(),
              QString::number(row + 1));
    model.SetPlaying(keep[0].get());
    EXPECT_EQ(model.data(model.index(row, CTrackListModel::kColNumber), Qt::DisplayRole).toString(), "▶");
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "歌曲");

    // A track added behind the model's back shows at the next refresh.
    TrackRef third = Track("潮汐");
    l.lib.AddTrack(third.get());
    EXPECT_EQ(model.rowCount(), 2);
    model.Refresh();
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.TrackAt(5), nullptr);
}

TEST(NodeTreeModel, GroupsAndListsOfTheDefaultTree)
{
    Library l;
    CNodeTreeModel model(l.lib);
    ASSERT_EQ(model.rowCount(), l.store.TopNodeCount());
    const QModelIndex mine = model.index(0, 0);
    EXPECT_EQ(model.data(mine, Qt::DisplayRole).toString(), "我的音乐");
    EXPECT_FALSE(model.flags(mine) & Qt::ItemIsSelectable);
    const QModelIndex local = model.index(0, 0, mine);
    EXPECT_EQ(model.NodeAt(local), l.store.FindNode("本地音乐"));
    EXPECT_EQ(model.parent(local), mine);
    EXPECT_TRUE(model.data(local, Qt::DisplayRole).toString().startsWith("本地音乐"));
    EXPECT_TRUE(model.flags(local) & Qt::ItemIsSelectable);
    IQvNode* defaultList = l.store.FindNode("默认列表");
    const QModelIndex found = model.IndexOf(defaultList);
    ASSERT_TRUE(found.isValid());
    EXPECT_EQ(model.NodeAt(found), defaultList);
    EXPECT_EQ(model.NodeAt(found.parent()), defaultList->GetParent());
}

} // namespace

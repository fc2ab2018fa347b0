// The signed-in user's play groups under "Nimbra", driven through the controller, the tree pane
// and the list view against the reference service.
#include "app/CCloudGroups.h"
#include "app/CNodeTreeModel.h"
#include "app/CPlaylistActions.h"
#include "app/CUserSession.h"
#include "library/CQvNodeTree.h"
#include "library/ListInfo.h"
#include "net/CQvClientIdentity.h"
#include "net/ServiceTasks.h"
#include "tests/app/AppHarness.h"
#include "tests/net/ServiceProcess.h"

#include <QMenu>
#include <QTreeView>

using namespace apptest;

namespace {

class Cloud : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(svc().Running());
        svc().Reset();
        ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("data"))));
        // The home's service addresses name the test's service, the passport paths included.
        testutil::WriteFile(home.filePath(QStringLiteral("data/server.xml")),
                            QStringLiteral("<?xml version=\"1.0\" encoding=\"GBK\"?>\n"
                                           "<url name=\"metadataurl\" value=\"%1\"/>\n"
                                           "<url name=\"passporturl\" value=\"%2\"/>\n")
                                .arg(svc().EntryUrl(), svc().Base())
                                .toUtf8());
        CQvClientIdentity::Instance().Clear();
        p = std::make_unique<Player>(home.path());
        ASSERT_TRUE(p->WaitLoaded());
        if (WaitUntil([&] { return p->FirstRunDialog() != nullptr; }, 2000)) p->FirstRunDialog()->CancelButton()->click();
        // The test's player leaves the service out at start; the cloud tasks reach it here.
        SetServiceTaskHost(&p->Ctl());
    }
    void TearDown() override
    {
        if (p) {
            ASSERT_TRUE(p->Exit());
        }
        p.reset();
        SetServiceTaskHost(nullptr);
        CQvClientIdentity::Instance().Clear();
    }
    static ServiceProcess& svc() { return ServiceProcess::Shared(); }

    // Signs `user` in through the call the sign-in flow makes once it has the session id.
    void SignIn(const QString& user)
    {
        const QString vuid = svc().Session(user);
        ASSERT_EQ(RequestUserInfo(vuid), 1);
    }
    int Loaded() const
    {
        std::lock_guard lock(p->Lib().Mutex());
        return p->Lib().Store().StatusFlag();
    }
    IQvNode* CloudNode() const
    {
        std::lock_guard lock(p->Lib().Mutex());
        return p->Lib().Store().FindTopNodeByName(QStringLiteral("Nimbra"));
    }
    int ChildCount(IQvNode* node) const
    {
        std::lock_guard lock(p->Lib().Mutex());
        return node->ChildCount();
    }
    IQvNode* Child(IQvNode* node, const QString& name) const
    {
        std::lock_guard lock(p->Lib().Mutex());
        return node ? node->FindChild(name) : nullptr;
    }
    int Tracks(IQvNode* node) const
    {
        std::lock_guard lock(p->Lib().Mutex());
        return int(node->TrackCount());
    }
    QStringList CatalogueIds(int n) const
    {
        QStringList ids;
        for (const QJsonValue& v : svc().Catalogue())
            if (ids.size() < n) ids.append(v.toObject().value(QStringLiteral("id")).toString());
        return ids;
    }

    QTemporaryDir home;
    std::unique_ptr<Player> p;
};

} // namespace

TEST_F(Cloud, AUserWithoutGroupsIsLoadedWithoutNodesAndAFailedLoadIsRetriedByTheMinuteTimer)
{
    // No groups: the load succeeds, the flag is set, nothing is added.
    SignIn(QStringLiteral("nogroups"));
    ASSERT_TRUE(WaitUntil([&] { return Loaded() == 1; }, kWaitMs));
    ASSERT_TRUE(CloudNode());
    EXPECT_EQ(ChildCount(CloudNode()), 0);
    EXPECT_EQ(svc().Requests(QStringLiteral("getplaygroupofuser")).size(), 1);
    // Loaded: the minute's timer asks nothing more.
    p->Ctl().OnTimer(CMainDlg::kCloudTimer);
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(svc().Requests(QStringLiteral("getplaygroupofuser")).size(), 1);

    // Signed out and in as someone with a group, while the service fails the request.
    p->Ctl().CloudGroups().SignedOut();
    CQvClientIdentity::Instance().Clear();
    EXPECT_EQ(Loaded(), 0);
    svc().AddGroup(QStringLiteral("later"), QStringLiteral("晚到的列表"));
    svc().Switch(QStringLiteral("getplaygroupofuser"), QStringLiteral("malformed"));
    SignIn(QStringLiteral("later"));
    ASSERT_TRUE(WaitUntil([&] { return svc().Requests(QStringLiteral("getplaygroupofuser")).size() == 2; }, kWaitMs));
    // The service has read its switch once the request is recorded; its answer is on the way.
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(Loaded(), 0);
    EXPECT_EQ(ChildCount(CloudNode()), 0);
    // A minute later the timer tries again, and the service answers now.
    svc().Switch(QStringLiteral("getplaygroupofuser"), QStringLiteral("normal"));
    p->Ctl().OnTimer(CMainDlg::kCloudTimer);
    ASSERT_TRUE(WaitUntil([&] { return Loaded() == 1; }, kWaitMs));
    IQvNode* late = Child(CloudNode(), QStringLiteral("晚到的列表"));
    ASSERT_TRUE(late);
    ASSERT_TRUE(WaitUntil([&] { return p->Wnd().TreeView()->isExpanded(p->Wnd().TreeModel()->IndexOf(CloudNode())); }, kWaitMs));
    EXPECT_TRUE(p->Wnd().TreeModel()->IndexOf(late).isValid());
}

TEST_F(Cloud, GroupsAndSubGroupsBecomeNestedNodesASecondSongPlaysAndSigningOutRemovesThem)
{
    const QStringList songs = CatalogueIds(3);
    ASSERT_EQ(songs.size(), 3);
    const int rock = svc().AddGroup(QStringLiteral("listener"), QStringLiteral("摇滚"), 0, songs);
    const int sub = svc().AddGroup(QStringLiteral("listener"), QStringLiteral("Live Sets"), rock);
    svc().AddGroup(QStringLiteral("listener"), QStringLiteral("Quiet"));
    // Someone else's group is not ours.
    svc().AddGroup(QStringLiteral("stranger"), QStringLiteral("别人的"));
    SignIn(QStringLiteral("listener"));
    ASSERT_TRUE(WaitUntil([&] { return Loaded() == 1; }, kWaitMs));

    IQvNode* cloud = CloudNode();
    IQvNode* group = Child(cloud, QStringLiteral("摇滚"));
    IQvNode* subGroup = Child(group, QStringLiteral("Live Sets"));
    ASSERT_TRUE(group);
    ASSERT_TRUE(subGroup);
    EXPECT_EQ(ChildCount(cloud), 2);
    EXPECT_TRUE(Child(cloud, QStringLiteral("Quiet")));
    EXPECT_FALSE(Child(cloud, QStringLiteral("别人的")));
    {
        std::lock_guard lock(p->Lib().Mutex());
        EXPECT_EQ(group->GetType(), 3);
        EXPECT_EQ(group->GetListInfo()->groupId, rock);
        EXPECT_EQ(subGroup->GetListInfo()->groupId, sub);
        EXPECT_EQ(subGroup->GetListInfo()->groupName, QStringLiteral("Live Sets"));
    }
    // The tree pane shows the nesting, opened, once 3524 has redrawn it.
    CNodeTreeModel* model = p->Wnd().TreeModel();
    ASSERT_TRUE(WaitUntil([&] { return p->Wnd().TreeView()->isExpanded(model->IndexOf(group)); }, kWaitMs));
    EXPECT_EQ(model->IndexOf(subGroup).parent(), model->IndexOf(group));
    EXPECT_EQ(model->IndexOf(group).parent(), model->IndexOf(cloud));

    // Opening the group loads its songs; the second one plays from the service.
    p->Wnd().SelectNode(group);
    ASSERT_TRUE(WaitUntil([&] { return Tracks(group) == 3 && p->Wnd().ListModel()->rowCount() == 3; }, kWaitMs));
    EXPECT_FALSE(p->Ctl().CloudGroups().Busy());
    const QJsonObject asked = svc().Requests(QStringLiteral("getsongofusersgroup"))[0].toObject();
    EXPECT_EQ(DocField(asked, QStringLiteral("GroupId")), QString::number(rock));
    DoubleClickRow(p->Wnd().findChild<QTableView*>(QStringLiteral("list")), 1);
    const QString second = svc().Base() + QStringLiteral("/media/") + songs[1] + QStringLiteral(".mp3");
    ASSERT_TRUE(WaitUntil([&] {
        CQvMusic* t = p->Ctl().CurrentTrack();
        return t && t->GetInfo()->NSrc == second && p->Ctl().IsStarted();
    }, kWaitMs));
    EXPECT_EQ(p->Ctl().PlayingNode(), group);
    EXPECT_EQ(p->Ctl().CurrentTrack()->GetInfo()->CmsID, songs[1]);

    // "Nimbra" itself fills with random songs of the service.
    p->Wnd().SelectNode(cloud);
    const int expected = std::min<int>(30, int(svc().Catalogue().size()));
    ASSERT_TRUE(WaitUntil([&] { return Tracks(cloud) == expected; }, kWaitMs));
    EXPECT_EQ(svc().Requests(QStringLiteral("getrandom")).size(), 1);

    // Back in the group (shown and playing), the user signs out through the user menu: the nodes
    // go, the music plays on.
    p->Wnd().SelectNode(group);
    p->Ctl().Session().OnUserArea(QPoint(0, 0));
    QMenu* userMenu = p->Ctl().Session().UserMenu();
    ASSERT_TRUE(userMenu);
    userMenu->close();
    QAction* signOut = nullptr;
    for (QAction* a : userMenu->actions())
        if (a->text() == QStringLiteral("退出登录")) signOut = a;
    ASSERT_TRUE(signOut);
    signOut->trigger();
    EXPECT_TRUE(CQvClientIdentity::Instance().Get().vuid.isEmpty());
    EXPECT_EQ(ChildCount(cloud), 0);
    EXPECT_EQ(Tracks(cloud), 0);
    EXPECT_EQ(Loaded(), 0);
    EXPECT_EQ(model->rowCount(model->IndexOf(cloud)), 0);
    EXPECT_NE(p->Ctl().DisplayedNode(), group);
    EXPECT_EQ(p->Ctl().PlayingNode(), nullptr);
    EXPECT_TRUE(p->Ctl().IsStarted());
    // Signed out, selecting "Nimbra" asks the service nothing and tells the user to sign in.
    p->Wnd().SelectNode(cloud);
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(svc().Requests(QStringLiteral("getrandom")).size(), 1);
    EXPECT_TRUE(p->Wnd().EmptyHint().contains(QStringLiteral("登录"))) << p->Wnd().EmptyHint().toStdString();
    // Signing in while "Nimbra" is shown brings its groups and its songs.
    SignIn(QStringLiteral("listener"));
    ASSERT_TRUE(WaitUntil([&] { return Tracks(cloud) == expected && ChildCount(cloud) == 2; }, kWaitMs));
    ASSERT_TRUE(WaitUntil([&] { return p->Wnd().ListModel()->rowCount() == expected; }, kWaitMs));
    EXPECT_TRUE(p->Wnd().EmptyHint().isEmpty());
}

TEST_F(Cloud, GroupsAreMadeRenamedAndDeletedOnTheServiceFromTheTreeAndADeletedPlaylistTakesItsGroup)
{
    const int road = svc().AddGroup(QStringLiteral("editor"), QStringLiteral("Road"));
    SignIn(QStringLiteral("editor"));
    ASSERT_TRUE(WaitUntil([&] { return Loaded() == 1; }, kWaitMs));
    IQvNode* cloud = CloudNode();
    auto names = [&] {
        QStringList out;
        for (const QJsonValue& g : svc().Groups(QStringLiteral("editor"))) out.append(g.toObject().value(QStringLiteral("name")).toString());
        out.sort();
        return out;
    };
    auto menuTexts = [&](IQvNode* node) {
        QMenu* menu = p->Wnd().NodeMenu();
        p->Ctl().Playlists().FillNodeMenu(menu, node);
        p->Ctl().CloudGroups().FillNodeMenu(menu, node);
        QStringList out;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) out.append(a->text());
        return out;
    };
    EXPECT_TRUE(menuTexts(cloud).contains(QStringLiteral("新建网盘列表")));

    // Made: a node with the service's id.
    int outcome = -1;
    p->Ctl().CloudGroups().CreateGroup(QStringLiteral("通勤"), [&](bool ok) { outcome = ok; });
    ASSERT_TRUE(WaitUntil([&] { return outcome != -1; }, kWaitMs));
    EXPECT_EQ(outcome, 1);
    IQvNode* made = Child(cloud, QStringLiteral("通勤"));
    ASSERT_TRUE(made);
    EXPECT_EQ(names(), (QStringList {QStringLiteral("Road"), QStringLiteral("通勤")}));
    const QStringList groupMenu = menuTexts(made);
    for (const char* entry : {"重命名", "删除", "刷新"}) EXPECT_TRUE(groupMenu.contains(QString::fromUtf8(entry))) << entry;

    // Renamed on the service and in the tree.
    outcome = -1;
    p->Ctl().CloudGroups().RenameGroup(made, QStringLiteral("Commute"), [&](bool ok) { outcome = ok; });
    ASSERT_TRUE(WaitUntil([&] { return outcome != -1; }, kWaitMs));
    EXPECT_EQ(outcome, 1);
    EXPECT_EQ(Child(cloud, QStringLiteral("Commute")), made);
    EXPECT_FALSE(Child(cloud, QStringLiteral("通勤")));
    EXPECT_EQ(names(), (QStringList {QStringLiteral("Commute"), QStringLiteral("Road")}));

    // Deleted while shown: the local music shows instead.
    p->Wnd().SelectNode(made);
    outcome = -1;
    p->Ctl().CloudGroups().DeleteGroup(made, [&](bool ok) { outcome = ok; });
    ASSERT_TRUE(WaitUntil([&] { return outcome != -1; }, kWaitMs));
    EXPECT_EQ(outcome, 1);
    EXPECT_FALSE(Child(cloud, QStringLiteral("Commute")));
    EXPECT_EQ(p->Ctl().DisplayedNode(), p->Node(Player::LocalMusic()));
    EXPECT_EQ(names(), (QStringList {QStringLiteral("Road")}));

    // A user playlist of the group's name deleted while signed in: the group goes as well.
    IQvNode* list = p->Ctl().Tree().CreateList(QStringLiteral("Road"));
    ASSERT_TRUE(list);
    ASSERT_TRUE(p->Ctl().DeleteList(list));
    ASSERT_TRUE(WaitUntil([&] { return names().isEmpty() && !Child(cloud, QStringLiteral("Road")); }, kWaitMs));
    EXPECT_EQ(svc().Requests(QStringLiteral("deleteplaygroup")).size(), 2);
    EXPECT_EQ(DocField(svc().Requests(QStringLiteral("deleteplaygroup"))[1].toObject(), QStringLiteral("GroupId")), QString::number(road));
    // Signed out, a playlist is deleted here only.
    IQvNode* other = p->Ctl().Tree().CreateList(QStringLiteral("Other"));
    ASSERT_TRUE(other);
    p->Ctl().CloudGroups().SignedOut();
    CQvClientIdentity::Instance().Clear();
    EXPECT_TRUE(p->Ctl().DeleteList(other));
    EXPECT_EQ(p->Node(QStringLiteral("Other")), nullptr);
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(svc().Requests(QStringLiteral("deleteplaygroup")).size(), 2);
}

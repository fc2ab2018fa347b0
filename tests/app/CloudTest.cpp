// The signed-in user's play groups under "Nimbra", driven through the controller, the tree pane
// and the list view against the reference service.
#include "app/CCloudGroups.h"
#include "app/CNodeTreeModel.h"
#include "app/CPlaylistActions.h"
#include "app/CPlaylistDialogs.h"
#include "app/CMessageCenter.h"
#include "app/CSyncDlg.h"
#include "base/MessageIds.h"
#include "app/CUserSession.h"
#include "net/CMessageStore.h"
#include "store/TrackBuilder.h"
#include "library/CQvNodeTree.h"
#include "library/ListInfo.h"
#include "net/CQvClientIdentity.h"
#include "net/ServiceTasks.h"
#include "tests/app/AppHarness.h"
#include "tests/net/ServiceProcess.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
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

    // A track of the service's catalogue as the pages give it (a CmsID, a network address).
    CQvMusic* CatalogueTrack(const QJsonObject& song) const
    {
        UrlTrackFields f;
        f.url = song.value(QStringLiteral("media")).toString();
        f.song = song.value(QStringLiteral("title")).toString();
        f.artist = song.value(QStringLiteral("artist")).toString();
        f.cmsId = song.value(QStringLiteral("id")).toString();
        f.fromPage = true;
        return BuildTrackFromUrl(p->Lib(), f, TrackBuildOptions {}).get();
    }
    // A local file the service does not know.
    CQvMusic* LocalTrack(const QString& title) const
    {
        const QString path = MakeMp3(home.filePath(title + QStringLiteral(".mp3")), title);
        return BuildTrackFromFile(p->Lib(), path, TrackBuildOptions {}).get();
    }
    // A right click as the user makes it, on the tree's node or on rows of the list view
    // (chosen first); the menu it opened, closed again so that its actions can be triggered.
    QMenu* NodeMenu(IQvNode* node) const
    {
        QTreeView* tree = p->Wnd().TreeView();
        const QModelIndex index = p->Wnd().TreeModel()->IndexOf(node);
        tree->scrollTo(index);
        const QPoint at = tree->visualRect(index).center();
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(tree->viewport(), &e);
        p->Wnd().NodeMenu()->close();
        return p->Wnd().NodeMenu();
    }
    void ClickNode(IQvNode* node) const
    {
        QTreeView* tree = p->Wnd().TreeView();
        const QModelIndex index = p->Wnd().TreeModel()->IndexOf(node);
        tree->scrollTo(index);
        const QPoint at = tree->visualRect(index).center();
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, at, tree->viewport()->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(tree->viewport(), &e);
        }
    }
    QMenu* RowMenu(const QList<int>& rows) const
    {
        QTableView* view = p->Wnd().ListView();
        view->clearSelection();
        for (int row : rows)
            view->selectionModel()->select(view->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QPoint at = view->visualRect(view->model()->index(rows.first(), 1)).center();
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(view->viewport(), &e);
        p->Wnd().RowMenu()->close();
        return p->Wnd().RowMenu();
    }
    template <class Dialog>
    static Dialog* Open()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<Dialog*>(w); d && d->isVisible()) return d;
        return nullptr;
    }
    static QAction* Entry(QMenu* menu, const QString& text)
    {
        for (QAction* a : menu->actions())
            if (a->text().trimmed() == text) return a;
        return nullptr;
    }
    // Whether a notice of `text` is up; it is closed.
    static bool Notice(const QString& text)
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->text() == text) {
                box->close();
                return true;
            }
        return false;
    }
    QStringList GroupSongIds(const QString& user, const QString& name) const
    {
        QStringList ids;
        for (const QJsonValue& g : svc().Groups(user))
            if (g.toObject().value(QStringLiteral("name")).toString() == name)
                for (const QJsonValue& s : g.toObject().value(QStringLiteral("songs")).toArray())
                    ids.append(s.toObject().value(QStringLiteral("id")).toString());
        return ids;
    }
    int ServiceGroupId(const QString& user, const QString& name) const
    {
        for (const QJsonValue& g : svc().Groups(user))
            if (g.toObject().value(QStringLiteral("name")).toString() == name) return g.toObject().value(QStringLiteral("id")).toInt();
        return 0;
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
    // Drawn under its parent, further in.
    EXPECT_GT(CNodeTreeDelegate::IndentOf(model->IndexOf(subGroup)), CNodeTreeDelegate::IndentOf(model->IndexOf(group)));
    EXPECT_TRUE(qobject_cast<CNodeTreeDelegate*>(p->Wnd().TreeView()->itemDelegate()));

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
    EXPECT_EQ(p->Ctl().CurrentTrack()->GetInfo()->Rare().CmsID, songs[1]);

    // "Nimbra" itself, clicked in the tree, fills with random songs of the service.
    ClickNode(cloud);
    EXPECT_EQ(p->Ctl().DisplayedNode(), cloud);
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
    // Signed out, clicking "Nimbra" asks the service nothing and tells the user to sign in.
    ClickNode(p->Node(Player::LocalMusic()));
    ClickNode(cloud);
    EXPECT_EQ(p->Ctl().DisplayedNode(), cloud);
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
    // Made from "Nimbra"'s menu: a node with the service's id.
    QAction* make = Entry(NodeMenu(cloud), QStringLiteral("新建网盘列表"));
    ASSERT_TRUE(make);
    make->trigger();
    CListNameDlg* nameDlg = Open<CListNameDlg>();
    ASSERT_TRUE(nameDlg);
    nameDlg->Edit()->setText(QStringLiteral("通勤"));
    nameDlg->OkButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return Child(cloud, QStringLiteral("通勤")) != nullptr; }, kWaitMs));
    IQvNode* made = Child(cloud, QStringLiteral("通勤"));
    EXPECT_EQ(names(), (QStringList {QStringLiteral("Road"), QStringLiteral("通勤")}));
    {
        std::lock_guard lock(p->Lib().Mutex());
        EXPECT_EQ(made->GetListInfo()->groupId, ServiceGroupId(QStringLiteral("editor"), QStringLiteral("通勤")));
    }
    const QStringList groupMenu = menuTexts(made);
    for (const char* entry : {"重命名", "删除", "刷新"}) EXPECT_TRUE(groupMenu.contains(QString::fromUtf8(entry))) << entry;

    // Renamed from its menu, on the service and in the tree.
    Entry(NodeMenu(made), QStringLiteral("重命名"))->trigger();
    nameDlg = Open<CListNameDlg>();
    ASSERT_TRUE(nameDlg);
    EXPECT_EQ(nameDlg->Edit()->text(), QStringLiteral("通勤"));
    nameDlg->Edit()->setText(QStringLiteral("Commute"));
    nameDlg->OkButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return Child(cloud, QStringLiteral("Commute")) == made; }, kWaitMs));
    EXPECT_FALSE(Child(cloud, QStringLiteral("通勤")));
    EXPECT_EQ(names(), (QStringList {QStringLiteral("Commute"), QStringLiteral("Road")}));

    // Deleted from its menu while shown, once confirmed: the local music shows instead.
    p->Wnd().SelectNode(made);
    Entry(NodeMenu(made), QStringLiteral("删除"))->trigger();
    CConfirmDlg* confirm = Open<CConfirmDlg>();
    ASSERT_TRUE(confirm);
    confirm->OkButton()->click();
    ASSERT_TRUE(WaitUntil([&] { return !Child(cloud, QStringLiteral("Commute")); }, kWaitMs));
    EXPECT_EQ(p->Ctl().DisplayedNode(), p->Node(Player::LocalMusic()));
    EXPECT_EQ(names(), (QStringList {QStringLiteral("Road")}));

    // A rename the service refuses: a notice, and the tree keeps the name.
    IQvNode* roadNode = Child(cloud, QStringLiteral("Road"));
    ASSERT_TRUE(roadNode);
    svc().Switch(QStringLiteral("updateplaygroupname"), QStringLiteral("malformed"));
    int outcome = -1;
    p->Ctl().CloudGroups().RenameGroup(roadNode, QStringLiteral("Highway"), [&](bool ok) { outcome = ok; });
    ASSERT_TRUE(WaitUntil([&] { return outcome != -1; }, kWaitMs));
    EXPECT_EQ(outcome, 0);
    EXPECT_TRUE(Notice(QStringLiteral("网盘列表操作失败，请稍后再试")));
    EXPECT_EQ(Child(cloud, QStringLiteral("Road")), roadNode);
    svc().Switch(QStringLiteral("updateplaygroupname"), QStringLiteral("normal"));

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

TEST_F(Cloud, APlaylistGoesUpAsAGroupWithTheSongsTheServiceKnowsWhileTheProgressShows)
{
    const QJsonArray catalogue = svc().Catalogue();
    ASSERT_GE(catalogue.size(), 3);
    SignIn(QStringLiteral("uploader"));
    ASSERT_TRUE(WaitUntil([&] { return Loaded() == 1; }, kWaitMs));
    IQvNode* cloud = CloudNode();

    // Five tracks: three of the service's, two local files it does not know.
    IQvNode* list = p->Ctl().Tree().CreateList(QStringLiteral("周末"));
    ASSERT_TRUE(list);
    std::vector<CQvMusic*> tracks {CatalogueTrack(catalogue[0].toObject()), LocalTrack(QStringLiteral("mine one")),
                                   CatalogueTrack(catalogue[1].toObject()), LocalTrack(QStringLiteral("mine two")),
                                   CatalogueTrack(catalogue[2].toObject())};
    for (CQvMusic* t : tracks) ASSERT_TRUE(t);
    ASSERT_EQ(p->Ctl().Playlists().AddToList(list, tracks), 5);
    p->Wnd().ReloadTree();

    // The playlist's menu offers the upload while signed in; the service is slow to answer.
    svc().Switch(QStringLiteral("synsongs2group"), QStringLiteral("slow"), 1500);
    QAction* upload = Entry(NodeMenu(list), QStringLiteral("将播放列表上传到网盘"));
    ASSERT_TRUE(upload);
    upload->trigger();
    // The group is in the tree at once, the progress window up while the request runs.
    IQvNode* group = Child(cloud, QStringLiteral("周末"));
    ASSERT_TRUE(group);
    CSyncDlg* dlg = p->Ctl().CloudGroups().SyncDialog();
    ASSERT_TRUE(dlg);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+%已经完成，请耐心等待\\.\\.\\.$")).match(dlg->Title()).hasMatch())
        << dlg->Title().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return Notice(QStringLiteral("上传列表成功")); }, kWaitMs));
    EXPECT_TRUE(WaitUntil([&] { return !p->Ctl().CloudGroups().SyncDialog(); }, kWaitMs));

    // Three songs went up under the list's name; the node has the service's id.
    const auto sent = svc().Requests(QStringLiteral("synsongs2group"));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(DocField(sent[0].toObject(), QStringLiteral("GroupId")), QStringLiteral("-1"));
    EXPECT_EQ(DocField(sent[0].toObject(), QStringLiteral("PlayListName")), QStringLiteral("周末"));
    const QStringList expected {catalogue[0].toObject().value(QStringLiteral("id")).toString(),
                                catalogue[1].toObject().value(QStringLiteral("id")).toString(),
                                catalogue[2].toObject().value(QStringLiteral("id")).toString()};
    EXPECT_EQ(GroupSongIds(QStringLiteral("uploader"), QStringLiteral("周末")), expected);
    const int id = ServiceGroupId(QStringLiteral("uploader"), QStringLiteral("周末"));
    ASSERT_GT(id, 0);
    {
        std::lock_guard lock(p->Lib().Mutex());
        EXPECT_EQ(group->GetListInfo()->groupId, id);
    }
    EXPECT_TRUE(p->Wnd().TreeModel()->IndexOf(group).isValid());
    // The messages keep a notice of it.
    bool kept = false;
    for (const structMESSAGE& m : p->Ctl().Messages()->Store().Messages())
        if (m.title == QStringLiteral("上传列表成功") && m.body.contains(QStringLiteral("周末"))) kept = true;
    EXPECT_TRUE(kept);
    // Opened, the group holds the three songs from the service.
    p->Wnd().SelectNode(group);
    ASSERT_TRUE(WaitUntil([&] { return Tracks(group) == 3 && p->Wnd().ListModel()->rowCount() == 3; }, kWaitMs));

    // A list whose upload gets no answer that can be read: "上传列表出错", and its group does not
    // stay in the tree (the next load of the groups shows what the service kept).
    svc().Switch(QStringLiteral("synsongs2group"), QStringLiteral("malformed"));
    IQvNode* other = p->Ctl().Tree().CreateList(QStringLiteral("Failed"));
    ASSERT_TRUE(other);
    ASSERT_EQ(p->Ctl().Playlists().AddToList(other, {tracks[0]}), 1);
    p->Wnd().ReloadTree();
    int outcome = -1;
    p->Ctl().CloudGroups().UploadList(other, [&](bool ok) { outcome = ok; });
    ASSERT_TRUE(WaitUntil([&] { return outcome != -1; }, kWaitMs));
    EXPECT_EQ(outcome, 0);
    EXPECT_TRUE(Notice(QStringLiteral("上传列表出错")));
    EXPECT_FALSE(Child(cloud, QStringLiteral("Failed")));

    // Signed out, the playlist's menu offers no upload.
    p->Ctl().Session().SignOut();
    EXPECT_FALSE(Entry(NodeMenu(list), QStringLiteral("将播放列表上传到网盘")));
}

TEST(CloudSync, ProgressWindowFollowsPercentAndCounts)
{
    CSyncDlg dlg;
    EXPECT_EQ(dlg.Title(), QStringLiteral("0%已经完成，请耐心等待..."));
    dlg.Target().PostMessage(WM_SYNC_PERCENT, 40);
    ASSERT_TRUE(WaitUntil([&] { return dlg.Percent() == 40; }, kWaitMs));
    EXPECT_EQ(dlg.Title(), QStringLiteral("40%已经完成，请耐心等待..."));
    dlg.Target().PostMessage(WM_SYNC_COUNTS, 2, 3);
    ASSERT_TRUE(WaitUntil([&] { return dlg.Percent() == 66; }, kWaitMs));
    dlg.Target().PostMessage(WM_SYNC_COUNTS, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return dlg.Percent() == 100; }, kWaitMs));
    EXPECT_EQ(dlg.Title(), QStringLiteral("100%已经完成，请耐心等待..."));
}

TEST_F(Cloud, SongsLeaveAGroupAndLocalSongsGoUpIntoOneThroughTheRowMenus)
{
    const QJsonArray catalogue = svc().Catalogue();
    ASSERT_GE(catalogue.size(), 5);
    QStringList ids;
    for (int i = 0; i < 3; ++i) ids.append(catalogue[i].toObject().value(QStringLiteral("id")).toString());
    const int rock = svc().AddGroup(QStringLiteral("menus"), QStringLiteral("摇滚"), 0, ids);
    svc().AddGroup(QStringLiteral("menus"), QStringLiteral("Live"), rock);
    SignIn(QStringLiteral("menus"));
    ASSERT_TRUE(WaitUntil([&] { return Loaded() == 1; }, kWaitMs));
    IQvNode* group = Child(CloudNode(), QStringLiteral("摇滚"));
    ASSERT_TRUE(group);
    ASSERT_TRUE(WaitUntil([&] { return p->Wnd().TreeModel()->IndexOf(group).isValid(); }, kWaitMs));

    // In the group, the second song's menu removes it from the group on the service and here.
    p->Wnd().SelectNode(group);
    ASSERT_TRUE(WaitUntil([&] { return p->Wnd().ListModel()->rowCount() == 3; }, kWaitMs));
    QAction* remove = Entry(RowMenu({1}), QStringLiteral("从网盘列表删除"));
    ASSERT_TRUE(remove);
    EXPECT_FALSE(Entry(p->Wnd().RowMenu(), QStringLiteral("上传到网盘列表")));
    const QString removed = p->Wnd().ListModel()->TrackAt(1)->GetInfo()->Rare().CmsID;
    remove->trigger();
    ASSERT_TRUE(WaitUntil([&] { return p->Wnd().ListModel()->rowCount() == 2; }, kWaitMs));
    EXPECT_EQ(Tracks(group), 2);
    EXPECT_EQ(GroupSongIds(QStringLiteral("menus"), QStringLiteral("摇滚")), (QStringList {ids[0], ids[2]}));
    EXPECT_EQ(removed, ids[1]);
    EXPECT_EQ(DocField(svc().Requests(QStringLiteral("deletesong"))[0].toObject(), QStringLiteral("SongId")), ids[1]);

    // A group's song put into a playlist ("添加到") is the library's from then on.
    IQvNode* keep = p->Ctl().Tree().CreateList(QStringLiteral("Keep"));
    ASSERT_TRUE(keep);
    p->Wnd().ReloadTree();
    QAction* addTo = Entry(RowMenu({0}), QStringLiteral("添加到"));
    ASSERT_TRUE(addTo && addTo->menu());
    ASSERT_TRUE(Entry(addTo->menu(), QStringLiteral("Keep")));
    Entry(addTo->menu(), QStringLiteral("Keep"))->trigger();
    EXPECT_EQ(Tracks(keep), 1);

    // In a playlist, two songs of the service and a local file go up into the sub-group.
    IQvNode* list = p->Ctl().Tree().CreateList(QStringLiteral("Mix"));
    ASSERT_TRUE(list);
    const std::vector<CQvMusic*> tracks {CatalogueTrack(catalogue[3].toObject()), LocalTrack(QStringLiteral("own")),
                                         CatalogueTrack(catalogue[4].toObject())};
    ASSERT_EQ(p->Ctl().Playlists().AddToList(list, tracks), 3);
    p->Wnd().ReloadTree();
    p->Wnd().SelectNode(list);
    ASSERT_EQ(p->Wnd().ListModel()->rowCount(), 3);
    QMenu* menu = RowMenu({0, 1, 2});
    EXPECT_FALSE(Entry(menu, QStringLiteral("从网盘列表删除")));
    QAction* up = Entry(menu, QStringLiteral("上传到网盘列表"));
    ASSERT_TRUE(up && up->menu());
    EXPECT_TRUE(up->isEnabled());
    QStringList groups;
    for (QAction* a : up->menu()->actions()) groups.append(a->text().trimmed());
    EXPECT_EQ(groups, (QStringList {QStringLiteral("摇滚"), QStringLiteral("Live")}));
    Entry(up->menu(), QStringLiteral("Live"))->trigger();
    ASSERT_TRUE(WaitUntil([&] { return Notice(QStringLiteral("上传歌曲成功")); }, kWaitMs));
    const QStringList live {catalogue[3].toObject().value(QStringLiteral("id")).toString(),
                            catalogue[4].toObject().value(QStringLiteral("id")).toString()};
    EXPECT_EQ(GroupSongIds(QStringLiteral("menus"), QStringLiteral("Live")), live);
    EXPECT_EQ(svc().Requests(QStringLiteral("addqukusong2group")).size(), 2);
    // "Nimbra"'s songs are the service's: they can go into a group as well.
    p->Wnd().SelectNode(CloudNode());
    ASSERT_TRUE(WaitUntil([&] { return Tracks(CloudNode()) > 0 && p->Wnd().ListModel()->rowCount() > 0; }, kWaitMs));
    QAction* fromCloud = Entry(RowMenu({0}), QStringLiteral("上传到网盘列表"));
    ASSERT_TRUE(fromCloud);
    EXPECT_TRUE(fromCloud->isEnabled());
    EXPECT_FALSE(Entry(p->Wnd().RowMenu(), QStringLiteral("从网盘列表删除")));
    p->Wnd().SelectNode(list);
    // Only the local file chosen: the service cannot take it, the entry is off.
    EXPECT_FALSE(Entry(RowMenu({1}), QStringLiteral("上传到网盘列表"))->isEnabled());

    // Signed out, neither entry is offered.
    p->Ctl().Session().SignOut();
    p->Wnd().SelectNode(list);
    menu = RowMenu({0});
    EXPECT_FALSE(Entry(menu, QStringLiteral("上传到网盘列表")));
    EXPECT_FALSE(Entry(menu, QStringLiteral("从网盘列表删除")));

    // After a restart the playlist still holds the group's song.
    ASSERT_TRUE(p->Exit());
    p = std::make_unique<Player>(home.path());
    ASSERT_TRUE(p->WaitLoaded());
    ASSERT_EQ(p->NodeSize(QStringLiteral("Keep")), 1);
    std::lock_guard lock(p->Lib().Mutex());
    EXPECT_EQ(p->Node(QStringLiteral("Keep"))->GetTrack(0)->GetInfo()->Rare().CmsID, ids[0]);
}

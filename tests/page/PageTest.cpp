// The service's pages inside the player, in the real page engine (offscreen) against the
// reference service: the "selfopt://" addresses, every bridge method called from a reference
// page, the refusal of other origins, the page style, the offline page, and signing in and out.
#include "app/CFirstSearchDlg.h"
#include "app/CLoginDlg.h"
#include "app/CMainDlg.h"
#include "app/CMessageCenter.h"
#include "app/CPageUploads.h"
#include "app/CNetAddMsgDlg.h"
#include "app/CQuarvelApp.h"
#include "app/CQuarvelDlg.h"
#include "app/CUserDialogs.h"
#include "app/CUserSession.h"

#include "base/MessageIds.h"
#include "base/Worker.h"
#include "library/LibraryScan.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "net/CQvClientIdentity.h"
#include "net/CQvLog.h"
#include "net/CMessageStore.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "store/TrackBuilder.h"
#include "net/ServiceTasks.h"
#include "tests/common/TestUtil.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/net/ServiceProcess.h"
#include "ui/CSkinLabel.h"
#include "ui/ControlIds.h"
#include "ui/page/CPageBridge.h"
#include "ui/page/CFixedHtmlView.h"
#include "ui/page/CPagePane.h"
#include "ui/page/IPageHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QColor>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QLineEdit>
#include <QTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QWebEnginePage>

#include <httplib.h>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <thread>

using namespace fixtures;
using testutil::WaitUntil;

namespace {

constexpr int kWaitMs = 30000;

ServiceProcess& Svc()
{
    static ServiceProcess svc;
    if (!svc.Running()) {
        QString error;
        EXPECT_TRUE(svc.Start(&error)) << error.toStdString();
    }
    return svc;
}

// A start of the player in its own home whose "server.xml" names the reference service.
class Player {
public:
    Player()
    {
        const QString home = m_home.path() + QLatin1Char('/');
        QDir().mkpath(home + QStringLiteral("data"));
        const QString hostPort = QStringLiteral("127.0.0.1:%1").arg(Svc().Port());
        testutil::WriteFile(home + QStringLiteral("data/server.xml"),
                            QStringLiteral("<?xml version=\"1.0\" encoding=\"GBK\"?>\n"
                                           "<url name=\"metadataurl\" value=\"http://%1/metadata/enter.do\"/>\n"
                                           "<url name=\"passporturl\" value=\"http://%1\"/>\n"
                                           "<url name=\"logserverurl\" value=\"http://%s/log/enter.do\"/>\n"
                                           "<defaulturl6><name value=\"%1\"/></defaulturl6>\n")
                                .arg(hostPort)
                                .toUtf8());
        testutil::WriteFile(home + QStringLiteral("Info.ini"),
                            QStringLiteral("[info]\r\nversion=1.0\r\nUdpUrl=http://%1/metadata/enter.do\r\n").arg(hostPort).toUtf8());
        CQvClientIdentity::Instance().Clear();
        AppOptions options;
        options.home = home;
        options.resourceDir = testutil::SourceDir() + QStringLiteral("/resources/");
        options.registerAssociation = false;
        options.store = &m_store;
        options.main.serviceTasks = true;
        options.main.identity = false;
        options.main.startupScan = false;
        options.main.watchChanges = false;
        m_app = std::make_unique<CQuarvelApp>(QStringList(), options);
        QObject::connect(m_app.get(), &CQuarvelApp::Finished, [this](int) { m_finished = true; });
        m_started = m_app->InitInstance() < 0;
        if (m_started && WaitUntil([this] { return Ctl().LibraryLoaded(); }, kWaitMs)) {
            // The first-run dialog of an empty library is not what these tests look at.
            if (WaitUntil([this] { return Wnd().findChild<CFirstSearchDlg*>() != nullptr; }, 3000))
                Wnd().findChild<CFirstSearchDlg*>()->reject();
            m_loaded = true;
        }
    }
    ~Player()
    {
        if (m_started && !m_finished) {
            Ctl().OnCommand(ctl::kExit);
            WaitUntil([this] { return m_finished; }, kWaitMs);
        }
        m_app.reset();
        ClearExiting();
        CQvClientIdentity::Instance().Clear();
    }

    bool Ready() const { return m_loaded; }
    CMainDlg& Ctl() const { return *m_app->Controller(); }
    CQuarvelDlg& Wnd() const { return *Ctl().MainWindow(); }
    CMediaLibrary& Lib() const { return m_app->Library(); }
    QString Home() const { return m_home.path(); }

    IQvNode* Node(const QString& name) const
    {
        std::lock_guard lock(Lib().Mutex());
        return Lib().Store().FindNode(name);
    }
    int NodeSize(const QString& name) const
    {
        std::lock_guard lock(Lib().Mutex());
        IQvNode* node = Lib().Store().FindNode(name);
        return node ? node->TrackCount() : -1;
    }
    CQvMusic* TrackByUrl(const QString& url) const
    {
        std::lock_guard lock(Lib().Mutex());
        return Lib().Store().FindTrack(MakeGid(url), 0);
    }
    bool InLibrary(CQvMusic* track) const
    {
        std::lock_guard lock(Lib().Mutex());
        const auto& all = Lib().Store().LibraryTracks();
        return std::find(all.begin(), all.end(), track) != all.end();
    }

    // Local music with these files, shown in the list view.
    void ShowLocalMusic(const QStringList& files)
    {
        Ctl().AddFiles(files);
        WaitUntil([&] { return !Ctl().IsReadingFiles(); }, kWaitMs);
        Ctl().OnTreeSelect(Node(QString::fromUtf16(kLocalMusicNode)));
    }

    // The content view on a menu entry, once the menu is there and the page has completed.
    CFixedHtmlView* OpenMenuPage(const QString& id)
    {
        if (!WaitUntil([&] { return !Ctl().MenuUrl(id).isEmpty(); }, kWaitMs)) return nullptr;
        Ctl().OpenMenuPage(id);
        CFixedHtmlView* view = Wnd().ContentPane()->View();
        const QString path = QUrl(Ctl().MenuUrl(id)).path();
        if (!WaitUntil([&] { return view->CurrentUrl().contains(path); }, kWaitMs)) return nullptr;
        return view;
    }

private:
    QTemporaryDir m_home;
    CQvMediaStore m_store;
    std::unique_ptr<CQuarvelApp> m_app;
    bool m_started = false;
    bool m_loaded = false;
    bool m_finished = false;
};

// The value of a script in the page (run to its end, bridge calls included).
QVariant Eval(CFixedHtmlView* view, const QString& script)
{
    auto result = std::make_shared<std::pair<bool, QVariant>>(false, QVariant());
    view->page()->runJavaScript(script, [result](const QVariant& v) {
        result->first = true;
        result->second = v;
    });
    EXPECT_TRUE(WaitUntil([&] { return result->first; }, kWaitMs)) << script.toStdString();
    return result->second;
}

// Waits until the page has run its scripts (the song lists of the reference pages come late).
bool WaitForScript(CFixedHtmlView* view, const QString& condition)
{
    return WaitUntil([&] { return Eval(view, condition).toBool(); }, kWaitMs);
}

QString MakeMp3(const QString& path, const QString& title)
{
    Mp3Options o;
    o.seconds = 2.0;
    o.sampleRate = 22050;
    o.channels = 1;
    o.bitrateKbps = 32;
    EXPECT_TRUE(WriteMp3(path, o, Tags::Id3v2(title, QStringLiteral("Artist"), QStringLiteral("Album"))));
    return path;
}

// The upload manager's seam: the real manager is built by the upload work; until then this
// records what the bridge hands it.
struct RecordingUploads : IPageUploads {
    QList<QPair<QString, QString>> queued; // Gid, address
    QStringList cancelled;
    int QueueUpload(const TrackRef& track, const QString& address) override
    {
        queued.append({track->GetInfo()->Gid, address});
        return 0;
    }
    int CancelUpload(const QString& gid) override
    {
        cancelled.append(gid);
        return 1;
    }
    int UploadProgress(const QString& gid) const override { return queued.isEmpty() || queued.first().first != gid ? -1 : 42; }
};

// Clicks a link to `href` added to the page, as a user's click on the page's own link would.
void ClickLink(CFixedHtmlView* view, const QString& href)
{
    Eval(view, QStringLiteral("(function () { var a = document.createElement('a'); a.href = '%1'; a.textContent = 'x';"
                              " document.body.appendChild(a); a.click(); return 1; })()").arg(href));
}

QString Media(const QString& id) { return Svc().Base() + QStringLiteral("/media/") + id + QStringLiteral(".mp3"); }

} // namespace

TEST(Page, SelfOptPlayGroupsReplaceTheQueueAndAddGroupsJoinTheLibrary)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    CFixedHtmlView* view = p.OpenMenuPage(QStringLiteral("musicrecommand"));
    ASSERT_TRUE(view);
    const QString page = view->CurrentUrl();
    // The recommendation page came in the window's style.
    EXPECT_TRUE(page.contains(QStringLiteral("cssStyle=")));
    ASSERT_TRUE(WaitForScript(view, QStringLiteral("document.querySelectorAll('.card').length > 0")));

    // Something queued before: the play groups start a new queue.
    TrackRef before = MakeTrackFromUrl(p.Lib(), {Media(QStringLiteral("1003")), QStringLiteral("Old")}, {});
    p.Ctl().QueuePageTrack(before, false);
    ASSERT_EQ(p.Ctl().PlayQueue().size(), 1u);

    const QString u1 = Media(QStringLiteral("1001")), u2 = Media(QStringLiteral("1002"));
    ClickLink(view, QStringLiteral("selfopt://{play^song|A^artist|B^url|%1}{play^song|C^url|%2}").arg(u1, u2));
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().PlayQueue().size() == 2; }, kWaitMs));
    EXPECT_EQ(p.Ctl().PlayQueue()[0]->GetInfo()->Song, QStringLiteral("A"));
    EXPECT_EQ(p.Ctl().PlayQueue()[0]->GetInfo()->Artist, QStringLiteral("B"));
    EXPECT_EQ(p.Ctl().PlayQueue()[1]->GetInfo()->Song, QStringLiteral("C"));
    EXPECT_TRUE(p.Ctl().PlayQueue()[0]->GetState() & STATE_ADDED_BY_PAGE);
    EXPECT_TRUE(p.Ctl().PlayQueue()[0]->GetState() & STATE_FROM_SERVICE);
    // The first of them plays; a played page track does not join the library.
    EXPECT_EQ(p.Ctl().CurrentTrack(), p.Ctl().PlayQueue()[0].get());
    EXPECT_FALSE(p.InLibrary(p.Ctl().PlayQueue()[0].get()));
    // The page stays where it was.
    EXPECT_EQ(view->CurrentUrl(), page);
    EXPECT_EQ(view->url().toString(), page);

    // An add group: "%20" becomes a blank, "null" leaves the field empty, the notice shows once.
    const QString u3 = Media(QStringLiteral("1004"));
    ClickLink(view, QStringLiteral("selfopt://{add^song|Hello%20World^album|null^artist|X^url|%1^id|1004}").arg(u3));
    ASSERT_TRUE(WaitUntil([&] { return p.TrackByUrl(u3) != nullptr; }, kWaitMs));
    CQvMusic* added = p.TrackByUrl(u3);
    EXPECT_EQ(added->GetInfo()->Song, QStringLiteral("Hello World"));
    EXPECT_TRUE(added->GetInfo()->Album.isEmpty());
    EXPECT_EQ(added->GetInfo()->Rare().CmsID, QStringLiteral("1004"));
    EXPECT_TRUE(p.InLibrary(added));
    {
        std::lock_guard lock(p.Lib().Mutex());
        IQvNode* urls = p.Lib().Store().FindNode(QStringLiteral("试听列表"));
        ASSERT_TRUE(urls);
        bool listed = false;
        for (int i = 0; i < urls->TrackCount(); ++i) listed = listed || urls->GetTrack(i) == added;
        EXPECT_TRUE(listed);
    }
    // The tree shows the network list with the new track.
    EXPECT_EQ(p.Ctl().DisplayedNode(), p.Node(QStringLiteral("试听列表")));
    ASSERT_TRUE(WaitUntil([&] { return p.Wnd().findChild<CNetAddMsgDlg*>() != nullptr; }, kWaitMs));
    EXPECT_EQ(p.Wnd().findChildren<CNetAddMsgDlg*>().size(), 1);
    // A second add on the same page: no second notice.
    view->Bridge()->RunSelfOpt(
        QStringLiteral("selfopt://{add^song|Z^url|%1}").arg(Media(QStringLiteral("1005"))));
    EXPECT_EQ(p.Wnd().findChildren<CNetAddMsgDlg*>().size(), 1);
    // "下次不再提示" is kept as the setting.
    p.Wnd().findChild<CNetAddMsgDlg*>()->DontShowBox()->setChecked(true);
    EXPECT_EQ(CQvConf::Instance().Settings().showaddnetmsg, 0);
}

TEST(Page, EveryBridgeMethodFromTheMyMusicPage)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    QTemporaryDir music;
    const QStringList files = {MakeMp3(music.filePath(QStringLiteral("a.mp3")), QStringLiteral("Don't Stop")),
                               MakeMp3(music.filePath(QStringLiteral("b.mp3")), QStringLiteral("Second")),
                               MakeMp3(music.filePath(QStringLiteral("c.mp3")), QStringLiteral("Third"))};
    p.ShowLocalMusic(files);
    IQvNode* local = p.Node(QString::fromUtf16(kLocalMusicNode));
    ASSERT_EQ(p.NodeSize(QString::fromUtf16(kLocalMusicNode)), 3);
    CFixedHtmlView* view = p.OpenMenuPage(QStringLiteral("mymusic"));
    ASSERT_TRUE(view);
    // The page listed the shown list through GetItemCount and GetItem.
    ASSERT_TRUE(WaitForScript(view, QStringLiteral("document.querySelectorAll('tr[data-gid]').length === 3")));

    const auto gidAt = [&](int i) {
        std::lock_guard lock(p.Lib().Mutex());
        return local->GetTrack(i)->GetInfo()->Gid;
    };
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetItemCount(0)")).toInt(), 3);
    int dont = -1;
    for (int i = 0; i < 3; ++i)
        if (Eval(view, QStringLiteral("window.external.GetItem(%1)").arg(i)).toString().contains(QStringLiteral("'name':'Dont Stop'")))
            dont = i;
    ASSERT_GE(dont, 0);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetItem(%1)").arg(dont)).toString(),
              QStringLiteral("{'name':'Dont Stop','singer':'Artist','album':'Album','GID':'%1'}").arg(gidAt(dont)));
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetItem(3)")).toString(), QString());
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetItem(-1)")).toString(), QString());

    // PlaySong and GetPlayingMusicID; an index out of range changes nothing.
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetPlayingMusicID()")).toString(), QString());
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.PlaySong(7)")).toInt(), -1);
    EXPECT_EQ(p.Ctl().CurrentTrack(), nullptr);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.PlaySong(1)")).toInt(), 1);
    ASSERT_TRUE(p.Ctl().CurrentTrack());
    EXPECT_EQ(p.Ctl().CurrentTrack()->GetInfo()->Gid, gidAt(1));
    EXPECT_EQ(p.Ctl().PlayingNode(), local);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetPlayingMusicID()")).toString(), gidAt(1));
    ASSERT_TRUE(WaitForScript(view, QStringLiteral("!!document.querySelector('tr.playing')")));

    // Signed out: IsLogin asks for the sign-in dialog after the call; no login string; no uploads.
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetLoginString(0)")).toString(), QString());
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.IsLogin()")).toInt(), -1);
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().Session().LoginDialog() != nullptr; }, kWaitMs));
    p.Ctl().Session().LoginDialog()->OnCloseButton();
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().Session().LoginDialog() == nullptr; }, kWaitMs));
    // The dialog opens only after the call has returned to the page.
    EXPECT_EQ(view->Bridge()->IsLogin(), -1);
    EXPECT_EQ(p.Ctl().Session().LoginDialog(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().Session().LoginDialog() != nullptr; }, kWaitMs));
    p.Ctl().Session().LoginDialog()->OnCloseButton();
    const QString upload = Svc().Base() + QStringLiteral("/up/upload.do");
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.UploadMusic(0, '%1')").arg(upload)).toInt(), -1);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetProgress('%1')").arg(gidAt(0))).toInt(), -1);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.CancelUpload('%1')").arg(gidAt(0))).toInt(), 0);

    // Signed in (vuid V, phone P): the login string; uploads reach the upload manager, with
    // their arguments checked first.
    CQvClientIdentity::Instance().SetVuid(QStringLiteral("V"));
    CQvClientIdentity::Instance().SetUser(QStringLiteral("1"), QStringLiteral("N"), true, QStringLiteral("P"));
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetLoginString(0)")).toString(), QStringLiteral("orgin=2&vuid=V&phone=P"));
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.IsLogin()")).toInt(), 1);
    p.Ctl().SetPageUploads(nullptr);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.UploadMusic(0, '%1')").arg(upload)).toInt(), -1); // no manager
    RecordingUploads uploads;
    p.Ctl().SetPageUploads(&uploads);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.UploadMusic(9, '%1')").arg(upload)).toInt(), -1);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.UploadMusic(0, 'file:///etc/passwd')")).toInt(), -1);
    EXPECT_TRUE(uploads.queued.isEmpty());
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.UploadMusic(0, '%1')").arg(upload)).toInt(), 0);
    ASSERT_EQ(uploads.queued.size(), 1);
    EXPECT_EQ(uploads.queued[0].first, gidAt(0));
    EXPECT_TRUE(uploads.queued[0].second.startsWith(upload + QStringLiteral("?orgin=2&song=")));
    EXPECT_TRUE(uploads.queued[0].second.contains(QStringLiteral("&uploadkey=%1&phone=P&filename=").arg(gidAt(0))));
    EXPECT_TRUE(uploads.queued[0].second.contains(QStringLiteral("&vuid=V&album=Album"))) << uploads.queued[0].second.toStdString();
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetProgress('%1')").arg(gidAt(0))).toInt(), 42);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.CancelUpload('%1')").arg(gidAt(0))).toInt(), 1);
    // The page hears the upload's progress through OnStateChange.
    view->NotifyUpload(60, 1, gidAt(0));
    EXPECT_TRUE(WaitForScript(view, QStringLiteral("!!document.querySelector('tr[data-gid=\"%1\"] .progress')").arg(gidAt(0))));
    // At the end the number is the result code: only 0 is a success.
    view->NotifyUpload(8, 0, gidAt(0));
    EXPECT_TRUE(WaitForScript(view, QStringLiteral("document.querySelector('tr[data-gid=\"%1\"] .up').textContent === '上传失败'").arg(gidAt(0))));
    view->NotifyUpload(0, 0, gidAt(0));
    EXPECT_TRUE(WaitForScript(view, QStringLiteral("document.querySelector('tr[data-gid=\"%1\"] .up').textContent === '已上传'").arg(gidAt(0))));

    // SleepExT holds the page no longer than the cap.
    const int slept = Eval(view, QStringLiteral("(function () { var t = Date.now(); window.external.SleepExT(60000); return Date.now() - t; })()")).toInt();
    EXPECT_GE(slept, CPageBridge::kSleepCapMs - 100);
    EXPECT_LT(slept, CPageBridge::kSleepCapMs + 3000);

    // The page logs reach the log server.
    Svc().Reset();
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.SearchLog('周杰\\t3')")).toInt(), 0);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.RecommendLog('card\\t1001')")).toInt(), 0);
    ASSERT_TRUE(WaitUntil([&] { return Svc().Requests(QStringLiteral("searchlog")).size() == 1
                                    && Svc().Requests(QStringLiteral("recommendlog")).size() == 1; }, kWaitMs));
    EXPECT_EQ(Svc().Requests(QStringLiteral("searchlog"))[0].toObject()[QStringLiteral("document")].toObject()
                  [QStringLiteral("form")].toObject()[QStringLiteral("r")].toString(), QStringLiteral("周杰\t3"));

    // DelMusic: the listed items leave the library (the playing one stops first), uploads cancelled.
    p.Ctl().PlayShownItem(2);
    const QString third = gidAt(2);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.DelMusic('2|0|9|')")).toInt(), 1);
    EXPECT_EQ(p.NodeSize(QString::fromUtf16(kLocalMusicNode)), 1);
    EXPECT_EQ(p.Ctl().CurrentTrack(), nullptr);
    EXPECT_TRUE(uploads.cancelled.contains(third));
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetItemCount(0)")).toInt(), 1);
    p.Ctl().SetPageUploads(nullptr);

    // AddMusic runs the window's add-music command (its file chooser, closed here).
    CQvLog::GetInstance().ClearPending();
    QTimer::singleShot(500, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.AddMusic()")).toInt(), 0);
    bool chooser = false;
    for (const QString& r : CQvLog::GetInstance().PendingRecords())
        if (r.split(QLatin1Char('\t')).value(4) == QLatin1String("922")) chooser = true;
    EXPECT_TRUE(chooser);
    // MPlay: play at once (a = b), and add (a = b shows the notice).
    const QString fields = QStringLiteral("song|Web%20Song^artist|W^url|%1^id|1006").arg(Media(QStringLiteral("1006")));
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.MPlay('play', '%1', 3, 3)").arg(fields)).toInt(), 0);
    ASSERT_TRUE(p.Ctl().CurrentTrack());
    EXPECT_EQ(p.Ctl().CurrentTrack()->GetInfo()->Song, QStringLiteral("Web Song"));
    EXPECT_EQ(p.Ctl().PlayQueue().size(), 1u);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.MPlay('play', 'x', 1, 1)")).toInt(), 0); // too short: nothing
    EXPECT_EQ(p.Ctl().PlayQueue().size(), 1u);
    const QString addFields = QStringLiteral("song|Added^url|%1").arg(Media(QStringLiteral("1007")));
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.MPlay('add', '%1', 70000, 4464)").arg(addFields)).toInt(), 0);
    ASSERT_TRUE(p.TrackByUrl(Media(QStringLiteral("1007"))));
    EXPECT_TRUE(p.InLibrary(p.TrackByUrl(Media(QStringLiteral("1007")))));
    // 70000 and 4464 are the same 16-bit number: the notice shows.
    EXPECT_TRUE(WaitUntil([&] { return p.Wnd().findChild<CNetAddMsgDlg*>() != nullptr; }, kWaitMs));
    p.Wnd().findChild<CNetAddMsgDlg*>()->close();

    // An unknown method is no method.
    EXPECT_TRUE(Eval(view, QStringLiteral("typeof window.external.Format === 'undefined'")).toBool());
}

// The "我的网盘" page uploads the shown list's songs through the bridge to the service: the
// page shows the progress and the result the player reports, the service gets the file byte
// for byte, the end is kept in the message list, a waiting upload can be cancelled, and signing
// out stops the uploads and closes the methods.
TEST(Page, TheCloudDiskPageUploadsTheShownSongsAndTellsTheResult)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    Svc().Reset();
    QTemporaryDir music;
    Mp3Options o;
    o.seconds = 20.0;
    o.bitrateKbps = 128;
    const QString big = music.filePath(QStringLiteral("upload.mp3"));
    ASSERT_TRUE(WriteMp3(big, o, Tags::Id3v2(QStringLiteral("云端之歌"), QStringLiteral("歌手"), QStringLiteral("专辑"))));
    p.ShowLocalMusic({big, MakeMp3(music.filePath(QStringLiteral("b.mp3")), QStringLiteral("Second")),
                      MakeMp3(music.filePath(QStringLiteral("c.mp3")), QStringLiteral("Third"))});
    ASSERT_EQ(p.NodeSize(QString::fromUtf16(kLocalMusicNode)), 3);
    const QString vuid = Svc().Session();
    CQvClientIdentity::Instance().SetVuid(vuid);
    CQvClientIdentity::Instance().SetUser(QStringLiteral("1"), QStringLiteral("N"), true, QStringLiteral("13800138000"));

    // The way in: "我的网盘" of the user menu, once the service's menu has the page.
    ASSERT_TRUE(WaitUntil([&] { return !p.Ctl().MenuUrl(QStringLiteral("clouddisk")).isEmpty(); }, kWaitMs));
    p.Ctl().Session().OnUserArea(QPoint(0, 0));
    ASSERT_TRUE(p.Ctl().Session().UserMenu());
    p.Ctl().Session().UserMenu()->close();
    QAction* drive = nullptr;
    for (QAction* a : p.Ctl().Session().UserMenu()->actions())
        if (a->text() == QStringLiteral("我的网盘")) drive = a;
    ASSERT_TRUE(drive);
    drive->trigger();
    CFixedHtmlView* view = p.Wnd().ContentPane()->View();
    ASSERT_TRUE(WaitUntil([&] { return view->CurrentUrl().contains(QStringLiteral("/pages/clouddisk.html")); }, kWaitMs));
    // The page keeps the window's look.
    EXPECT_TRUE(view->CurrentUrl().contains(QStringLiteral("cssStyle=")));
    ASSERT_TRUE(WaitForScript(view, QStringLiteral("document.querySelectorAll('tr[data-gid]').length === 3")));
    const auto rowOf = [&](const QString& song) {
        for (int i = 0; i < 3; ++i)
            if (Eval(view, QStringLiteral("window.external.GetItem(%1)").arg(i)).toString().contains(song)) return i;
        return -1;
    };
    const int row = rowOf(QStringLiteral("'name':'云端之歌'"));
    ASSERT_GE(row, 0);
    const QString cell = QStringLiteral("document.querySelectorAll('tr[data-gid]')[%1].querySelector('.up').textContent").arg(row);

    // The row's upload button: the page hears the progress up to 100 % and the result, each call
    // with three strings (progress, "1" or "0", Gid).
    Eval(view, QStringLiteral("window.calls = []; var shown = window.OnStateChange;"
                              "window.OnStateChange = function (p, k, g) { window.calls.push([p, k, g]); shown(p, k, g); }; 1"));
    Eval(view, QStringLiteral("document.querySelector('[data-upload=\"%1\"]').click(); 1").arg(row));
    ASSERT_TRUE(WaitForScript(view, cell + QStringLiteral(".indexOf('已上传') >= 0"))) << Eval(view, cell).toString().toStdString();
    EXPECT_TRUE(Eval(view, cell).toString().contains(QStringLiteral("100%")));
    const QString gidOfRow = Eval(view, QStringLiteral("document.querySelectorAll('tr[data-gid]')[%1].getAttribute('data-gid')").arg(row)).toString();
    const QVariantList calls = Eval(view, QStringLiteral("window.calls")).toList();
    ASSERT_GE(calls.size(), 2);
    int last = 0;
    for (int i = 0; i + 1 < calls.size(); ++i) {
        const QVariantList c = calls[i].toList();
        ASSERT_EQ(c.size(), 3);
        EXPECT_EQ(c[0].typeId(), QMetaType::QString);
        EXPECT_EQ(c[1].toString(), QStringLiteral("1"));
        EXPECT_EQ(c[2].toString(), gidOfRow);
        EXPECT_GT(c[0].toString().toInt(), last);
        last = c[0].toString().toInt();
    }
    EXPECT_EQ(last, 100);
    EXPECT_EQ(calls.last().toList(), (QVariantList {QStringLiteral("0"), QStringLiteral("0"), gidOfRow}));
    // The service has exactly the file.
    ASSERT_EQ(Svc().Requests(QStringLiteral("upload")).size(), 1);
    const QJsonObject doc = Svc().Requests(QStringLiteral("upload"))[0].toObject()[QStringLiteral("document")].toObject();
    QFile file(big);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(doc[QStringLiteral("size")].toInteger(), bytes.size());
    EXPECT_EQ(doc[QStringLiteral("md5")].toString(), QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex()));
    EXPECT_EQ(doc[QStringLiteral("file")].toObject()[QStringLiteral("song")].toString(), QStringLiteral("云端之歌"));
    EXPECT_EQ(doc[QStringLiteral("file")].toObject()[QStringLiteral("vuid")].toString(), vuid);
    // The drive's list on the page shows it, and the message list keeps the news.
    EXPECT_TRUE(WaitForScript(view, QStringLiteral("document.querySelectorAll('table.drive tr').length === 2")));
    const auto notice = [&](const QString& title) -> QString {
        for (const structMESSAGE& m : p.Ctl().Messages()->Store().Messages())
            if (m.status == structMESSAGE::Notice && m.title == title) return m.body;
        return QString();
    };
    EXPECT_EQ(notice(QStringLiteral("上传成功：云端之歌")), QStringLiteral("《云端之歌》已上传到您的网盘。"));
    EXPECT_EQ(p.Ctl().Uploads()->PendingCount(), 0);

    // A file larger than the free space ends before a byte is sent, and the user is told.
    Svc().SetUpload(QStringLiteral("1000"));
    const int second = rowOf(QStringLiteral("'name':'Second'"));
    const QString secondCell = QStringLiteral("document.querySelectorAll('tr[data-gid]')[%1].querySelector('.up').textContent").arg(second);
    Eval(view, QStringLiteral("document.querySelector('[data-upload=\"%1\"]').click(); 1").arg(second));
    ASSERT_TRUE(WaitForScript(view, secondCell + QStringLiteral(" === '网盘空间不足'"))) << Eval(view, secondCell).toString().toStdString();
    EXPECT_EQ(notice(QStringLiteral("上传失败：Second")), QStringLiteral("《Second》没有上传：文件超过了网盘的剩余空间。"));
    EXPECT_EQ(Svc().Requests(QStringLiteral("upload")).size(), 1);

    // Three at once while the service answers slowly: two run, the third waits and is cancelled
    // from the page; it never reaches the service and tells nothing.
    Svc().Reset();
    Svc().Switch(QStringLiteral("/up/upload.do"), QStringLiteral("slow"), 3000);
    const int before = int(p.Ctl().Messages()->Store().Messages().size());
    Eval(view, QStringLiteral("document.getElementById('uploadAll').click(); 1"));
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().Uploads()->PendingCount() == 3; }, kWaitMs));
    // The page asked in its rows' order: the third one waits.
    const QString waiting = Eval(view, QStringLiteral("document.querySelectorAll('tr[data-gid]')[2].getAttribute('data-gid')")).toString();
    EXPECT_EQ(p.Ctl().PageUploads()->UploadProgress(waiting), 0);
    ASSERT_TRUE(WaitForScript(view, QStringLiteral("!!document.querySelector('tr[data-gid=\"%1\"] [data-cancel]')").arg(waiting)));
    Eval(view, QStringLiteral("document.querySelector('tr[data-gid=\"%1\"] [data-cancel]').click(); 1").arg(waiting));
    EXPECT_EQ(Eval(view, QStringLiteral("document.querySelector('tr[data-gid=\"%1\"] .up').textContent").arg(waiting)).toString(),
              QStringLiteral("已取消"));
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetProgress('%1')").arg(waiting)).toInt(), -1);
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().Uploads()->PendingCount() == 0; }, kWaitMs));
    EXPECT_EQ(Svc().Requests(QStringLiteral("upload")).size(), 2);
    for (const QJsonValue& r : Svc().Requests(QStringLiteral("upload")))
        EXPECT_NE(r.toObject()[QStringLiteral("document")].toObject()[QStringLiteral("file")].toObject()[QStringLiteral("uploadkey")].toString(), waiting);
    EXPECT_EQ(int(p.Ctl().Messages()->Store().Messages().size()), before + 2);

    // Signing out while an upload waits for its answer: it ends cancelled on the page, and the
    // methods answer as for no user.
    Eval(view, QStringLiteral("document.querySelector('[data-upload=\"%1\"]').click(); 1").arg(row));
    ASSERT_TRUE(WaitUntil([&] { return Svc().Requests(QStringLiteral("upload")).size() == 3; }, kWaitMs));
    p.Ctl().Session().SignOut();
    ASSERT_TRUE(WaitForScript(view, cell + QStringLiteral(" === '已取消'"))) << Eval(view, cell).toString().toStdString();
    EXPECT_EQ(p.Ctl().Uploads()->PendingCount(), 0);
    const QString gid = Eval(view, QStringLiteral("document.querySelectorAll('tr[data-gid]')[%1].getAttribute('data-gid')").arg(row)).toString();
    const QString upload = Svc().Base() + QStringLiteral("/up/upload.do");
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.UploadMusic(%1, '%2')").arg(row).arg(upload)).toInt(), -1);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.GetProgress('%1')").arg(gid)).toInt(), -1);
    EXPECT_EQ(Eval(view, QStringLiteral("window.external.CancelUpload('%1')").arg(gid)).toInt(), 0);
    // The page follows: it offers the sign-in instead.
    EXPECT_TRUE(WaitForScript(view, QStringLiteral("document.getElementById('login').style.display === ''")));
    Svc().Reset();

    // The main menu has the same way in, beside the service's other pages.
    p.Ctl().OpenMenuPage(QStringLiteral("musicrecommand"));
    ASSERT_TRUE(WaitUntil([&] { return view->CurrentUrl().contains(QStringLiteral("/pages/recommend.html")); }, kWaitMs));
    QAction* fromMain = nullptr;
    for (QAction* a : p.Wnd().MainMenu()->actions())
        if (a->text() == QStringLiteral("我的网盘")) fromMain = a;
    ASSERT_TRUE(fromMain);
    fromMain->trigger();
    EXPECT_TRUE(WaitUntil([&] { return view->CurrentUrl().contains(QStringLiteral("/pages/clouddisk.html")); }, kWaitMs));
}

TEST(Page, APageOfAnotherOriginGetsNothingAndChangesNothing)
{
    // A page the service does not serve: same host, another port.
    httplib::Server other;
    const int port = other.bind_to_any_port("127.0.0.1");
    const std::string media = Media(QStringLiteral("1001")).toStdString();
    other.Get("/evil.html", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content("<!DOCTYPE html><html><body><script>"
                        "window.results = [typeof window.external.GetItemCount, window.external.GetItemCount(0),"
                        " window.external.GetItem(0), window.external.DelMusic('0|'), window.external.GetLoginString(0)];"
                        "</script></body></html>",
                        "text/html");
    });
    std::thread serve([&] { other.listen_after_bind(); });
    struct Stop {
        httplib::Server& s;
        std::thread& t;
        ~Stop() { s.stop(); t.join(); }
    } stop {other, serve};

    Player p;
    ASSERT_TRUE(p.Ready());
    QTemporaryDir music;
    p.ShowLocalMusic({MakeMp3(music.filePath(QStringLiteral("a.mp3")), QStringLiteral("Mine"))});
    CQvClientIdentity::Instance().SetVuid(QStringLiteral("V"));
    CQvClientIdentity::Instance().SetUser(QStringLiteral("1"), QStringLiteral("N"), true, QStringLiteral("P"));
    CFixedHtmlView* view = p.Wnd().ContentPane()->View();
    ASSERT_TRUE(view);
    const QString evil = QStringLiteral("http://127.0.0.1:%1/evil.html").arg(port);
    p.Wnd().ShowPage(evil);
    ASSERT_TRUE(WaitUntil([&] { return view->CurrentUrl().startsWith(evil); }, kWaitMs));
    ASSERT_TRUE(WaitForScript(view, QStringLiteral("!!window.results")));
    const QVariantList results = Eval(view, QStringLiteral("window.results")).toList();
    ASSERT_EQ(results.size(), 5);
    EXPECT_EQ(results[0].toString(), QStringLiteral("function"));
    for (int i = 1; i < 5; ++i) EXPECT_FALSE(results[i].isValid() && !results[i].isNull()) << i;
    EXPECT_EQ(p.NodeSize(QString::fromUtf16(kLocalMusicNode)), 1);

    // Nor may it queue or add tracks through the player's own addresses.
    ClickLink(view, QStringLiteral("selfopt://{play^song|A^url|%1}{add^song|B^url|%2}")
                        .arg(QString::fromStdString(media), Media(QStringLiteral("1002"))));
    // Nor by assigning the address: nothing happens, and the page stays.
    Eval(view, QStringLiteral("location.href = 'selfopt://{play^song|A^url|%1}'; 1").arg(QString::fromStdString(media)));
    QElapsedTimer settle;
    settle.start();
    WaitUntil([&] { return settle.elapsed() > 1500; }, 3000);
    EXPECT_TRUE(p.Ctl().PlayQueue().empty());
    EXPECT_EQ(p.TrackByUrl(Media(QStringLiteral("1002"))), nullptr);
    EXPECT_EQ(p.Ctl().CurrentTrack(), nullptr);
    EXPECT_TRUE(view->CurrentUrl().startsWith(evil));
    EXPECT_TRUE(Eval(view, QStringLiteral("location.href")).toString().startsWith(evil));
    EXPECT_EQ(Eval(view, QStringLiteral("window.results.length")).toInt(), 5);
}

TEST(Page, TheStyleFlagReloadsTheSameAddressAndFollowsTheScheme)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    ASSERT_TRUE(WaitUntil([&] { return !p.Ctl().MenuUrl(QStringLiteral("trend")).isEmpty(); }, kWaitMs));
    const QString withQuery = p.Ctl().MenuUrl(QStringLiteral("trend")); // ".../chart.html?list=trend"
    const QString plain = p.Ctl().MenuUrl(QStringLiteral("musiclikename"));
    ASSERT_TRUE(withQuery.contains(QLatin1Char('?')));

    // The content view: the style flag is set; the same address loads again.
    CFixedHtmlView* content = p.Wnd().ContentPane()->View();
    ASSERT_TRUE(content->StyleFlag());
    const int before = content->NavigationCount();
    content->Navigate(withQuery);
    ASSERT_TRUE(WaitUntil([&] { return content->CurrentUrl().startsWith(withQuery); }, kWaitMs));
    EXPECT_EQ(content->CurrentUrl(), withQuery + QStringLiteral("&cssStyle=blue"));
    content->Navigate(withQuery);
    EXPECT_EQ(content->NavigationCount(), before + 2);
    content->Navigate(plain);
    ASSERT_TRUE(WaitUntil([&] { return content->CurrentUrl().startsWith(plain); }, kWaitMs));
    EXPECT_EQ(content->CurrentUrl(), plain + QStringLiteral("?cssStyle=blue"));
    // The page took the look it was given.
    EXPECT_TRUE(WaitForScript(content, QStringLiteral("document.body.classList.contains('theme-blue')")));

    // A colour scheme change reloads the page in the new style.
    p.Ctl().OnCommand(ctl::kColor2);
    ASSERT_TRUE(WaitUntil([&] { return content->CurrentUrl().contains(QStringLiteral("cssStyle=purple")); }, kWaitMs));
    EXPECT_TRUE(WaitForScript(content, QStringLiteral("document.body.classList.contains('theme-purple')")));
    p.Ctl().OnCommand(ctl::kColor0);

    // A view without the flag does not load the same address twice, and adds no style.
    CFixedHtmlView bare(&p.Ctl());
    bare.Navigate(plain);
    bare.Navigate(plain);
    bare.Navigate(plain.toUpper().replace(QStringLiteral("HTTP://"), QStringLiteral("http://")));
    EXPECT_EQ(bare.NavigationCount(), 1);
    ASSERT_TRUE(WaitUntil([&] { return !bare.CurrentUrl().isEmpty(); }, kWaitMs));
    EXPECT_EQ(bare.CurrentUrl(), plain);
}

TEST(Page, TabsSearchSongRoomAndTheOfflinePage)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    ASSERT_TRUE(WaitUntil([&] { return !p.Ctl().MenuUrl(QStringLiteral("musicrecommand")).isEmpty(); }, kWaitMs));
    CFixedHtmlView* content = p.Wnd().ContentPane()->View();

    // The tabs open their menu entries.
    p.Ctl().OnCommand(ctl::kTabLike);
    EXPECT_TRUE(p.Wnd().PageShown());
    ASSERT_TRUE(WaitUntil([&] { return content->CurrentUrl().contains(QStringLiteral("/pages/like.html")); }, kWaitMs));

    // The search box: the text goes to the search page encoded, and the page finds it.
    auto* edit = p.Wnd().findChild<QLineEdit*>(QStringLiteral("searchEdit"));
    ASSERT_TRUE(edit);
    edit->setText(QStringLiteral("Hello 北京"));
    Svc().Reset();
    p.Ctl().OnCommand(ctl::kSearch);
    ASSERT_TRUE(WaitUntil([&] { return content->CurrentUrl().contains(QStringLiteral("m=search")); }, kWaitMs));
    EXPECT_TRUE(content->LastUrl().endsWith(QStringLiteral("m=search&value=Hello%20%B1%B1%BE%A9")));
    ASSERT_TRUE(WaitForScript(content, QStringLiteral("document.querySelectorAll('table.songs tr').length === 2")));
    EXPECT_EQ(Eval(content, QStringLiteral("document.getElementById('value').value")).toString(), QStringLiteral("Hello 北京"));
    // The search page logged the search through the bridge.
    EXPECT_TRUE(WaitUntil([&] { return Svc().Requests(QStringLiteral("searchlog")).size() == 1; }, kWaitMs));

    // The web nodes open their entries; the song room needs a signed-in user.
    p.Wnd().SelectNode(p.Node(QStringLiteral("潮流推荐")));
    ASSERT_TRUE(WaitUntil([&] { return content->CurrentUrl().contains(QStringLiteral("list=trend")); }, kWaitMs));
    const QString before = content->CurrentUrl();
    p.Ctl().OnTreeSelect(p.Node(QStringLiteral("歌曲聊吧")));
    EXPECT_EQ(content->LastUrl(), QUrl(before).adjusted(QUrl::RemoveQuery).toString() + QStringLiteral("?list=trend"));
    CQvClientIdentity::Instance().SetVuid(QStringLiteral("room1"));
    p.Ctl().OnTreeSelect(p.Node(QStringLiteral("歌曲聊吧")));
    ASSERT_TRUE(WaitUntil([&] { return content->CurrentUrl().contains(QStringLiteral("/pc/tosongsroom.do?orgin=2&vuid=room1")); }, kWaitMs));

    // An address that cannot load shows the shipped offline page, never an error page.
    p.Wnd().ShowPage(QStringLiteral("http://127.0.0.1:1/nothing.html"));
    ASSERT_TRUE(WaitUntil([&] { return content->CurrentUrl().contains(QStringLiteral("offline.html")); }, kWaitMs));
    EXPECT_TRUE(content->CurrentUrl().startsWith(QStringLiteral("file://")));
    EXPECT_TRUE(WaitForScript(content, QStringLiteral("document.querySelector('h1').textContent.indexOf('无法连接') >= 0")));
    // A node whose page the menu does not name: the offline page as well.
    p.Ctl().OpenMenuPage(QStringLiteral("nosuchpage"));
    EXPECT_TRUE(content->LastUrl().contains(QStringLiteral("offline.html")));
}

TEST(Page, SignInThroughTheDialogsPageAndSignOut)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    EXPECT_EQ(p.Wnd().UserName(), QStringLiteral("未登录"));

    // A click on "未登录" opens the sign-in dialog on the service's page.
    CSkinLabel* user = nullptr;
    for (CSkinLabel* l : p.Wnd().findChildren<CSkinLabel*>())
        if (l->Text() == QStringLiteral("未登录")) user = l;
    ASSERT_TRUE(user);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), user->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(user, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), user->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(user, &release);
    CLoginDlg* dlg = p.Ctl().Session().LoginDialog();
    ASSERT_TRUE(dlg);
    CFixedHtmlView* page = dlg->Page()->View();
    ASSERT_TRUE(WaitUntil([&] { return page->CurrentUrl().contains(QStringLiteral("/pcc/user/login.do")); }, kWaitMs));
    ASSERT_TRUE(WaitForScript(page, QStringLiteral("!!document.getElementById('user')")));

    Svc().Reset();
    CQvLog::GetInstance().ClearPending();
    Eval(page, QStringLiteral("document.getElementById('user').value = '13800138000';"
                              "document.getElementById('password').value = 'secret';"
                              "document.getElementById('signIn').click(); 1"));
    // The result page gives the session; the dialog closes; the details come; the nickname shows.
    ASSERT_TRUE(WaitUntil([&] { return p.Wnd().UserName() == QStringLiteral("演示用户"); }, kWaitMs)) << page->CurrentUrl().toStdString() << " / " << p.Wnd().UserName().toStdString() << " / " << CQvClientIdentity::Instance().Get().vuid.toStdString() << Svc().Requests().size();
    EXPECT_FALSE(p.Ctl().Session().LoginDialog() && p.Ctl().Session().LoginDialog()->isVisible());
    const CQvClientIdentity::Values who = CQvClientIdentity::Instance().Get();
    EXPECT_FALSE(who.vuid.isEmpty());
    EXPECT_TRUE(who.signedIn);
    EXPECT_EQ(who.phone, QStringLiteral("13800138000"));
    bool confirmed = false;
    for (const QString& r : CQvLog::GetInstance().PendingRecords())
        if (r.split(QLatin1Char('\t')).value(4) == QLatin1String("880")) confirmed = true;
    EXPECT_TRUE(confirmed);
    // The user's details were asked for with the session, and the groups request went out
    // with the vuid in its header block.
    ASSERT_EQ(Svc().Requests(QStringLiteral("getUserInfo")).size(), 1);
    ASSERT_TRUE(WaitUntil([&] { return !Svc().Requests(QStringLiteral("getplaygroupofuser")).isEmpty(); }, kWaitMs));
    const QJsonObject groups = Svc().Requests(QStringLiteral("getplaygroupofuser"))[0].toObject();
    EXPECT_EQ(Header(groups, QStringLiteral("vuid")), who.vuid);
    EXPECT_EQ(DocField(groups, QStringLiteral("UserId")), who.vuid);
    // Timer 104 keeps the session.
    Svc().Reset();
    p.Ctl().OnTimer(CMainDlg::kSessionTimer);
    ASSERT_TRUE(WaitUntil([&] { return Svc().Requests(QStringLiteral("session")).size() == 1; }, kWaitMs));

    // The user menu: "退出登录" clears it all; the header block sends "0" again.
    QMenu* menu = nullptr;
    p.Ctl().Session().OnUserArea(QPoint(0, 0));
    menu = p.Ctl().Session().UserMenu();
    ASSERT_TRUE(menu);
    QStringList texts;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) texts.append(a->text());
    EXPECT_EQ(texts, (QStringList {QStringLiteral("我的网盘"), QStringLiteral("个人信息"), QStringLiteral("修改密码"), QStringLiteral("找回密码"),
                                   QStringLiteral("退出登录")}));
    menu->close();
    menu->actions().last()->trigger();
    EXPECT_EQ(p.Wnd().UserName(), QStringLiteral("未登录"));
    const CQvClientIdentity::Values after = CQvClientIdentity::Instance().Get();
    EXPECT_TRUE(after.vuid.isEmpty() && after.userId.isEmpty() && after.nickname.isEmpty() && after.phone.isEmpty());
    Svc().Reset();
    StartServiceTask(15);
    ASSERT_TRUE(WaitUntil([&] { return Svc().Requests(QStringLiteral("start")).size() == 1; }, kWaitMs));
    EXPECT_EQ(Header(Svc().Requests(QStringLiteral("start"))[0].toObject(), QStringLiteral("vuid")), QStringLiteral("0"));
    // Signed out, a click on the user area opens the sign-in dialog again.
    p.Ctl().Session().OnUserArea(QPoint(0, 0));
    ASSERT_TRUE(p.Ctl().Session().LoginDialog());
    p.Ctl().Session().LoginDialog()->OnCloseButton();
}

TEST(Page, TheMainMenuOpensMyMusicAndTheOrderPage)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    QTemporaryDir music;
    p.ShowLocalMusic({MakeMp3(music.filePath(QStringLiteral("a.mp3")), QStringLiteral("First")),
                      MakeMp3(music.filePath(QStringLiteral("b.mp3")), QStringLiteral("Second"))});
    ASSERT_EQ(p.NodeSize(QString::fromUtf16(kLocalMusicNode)), 2);
    ASSERT_FALSE(p.Wnd().PageShown());
    ASSERT_TRUE(WaitUntil([&] { return !p.Ctl().MenuUrl(QStringLiteral("mymusic")).isEmpty(); }, kWaitMs));
    const auto trigger = [&](const QString& text) {
        for (QAction* a : p.Wnd().MainMenu()->actions())
            if (a->text() == text) {
                a->trigger();
                return true;
            }
        return false;
    };

    // "我的音乐": the service's page of the list the user was looking at.
    ASSERT_TRUE(trigger(QStringLiteral("我的音乐")));
    EXPECT_TRUE(p.Wnd().PageShown());
    CFixedHtmlView* view = p.Wnd().ContentPane()->View();
    ASSERT_TRUE(WaitUntil([&] { return view->CurrentUrl().contains(QStringLiteral("/pages/mymusic.html")); }, kWaitMs));
    ASSERT_TRUE(WaitForScript(view, QStringLiteral("document.querySelectorAll('tr[data-gid]').length === 2")));
    EXPECT_TRUE(Eval(view, QStringLiteral("document.body.textContent.indexOf('Second') >= 0")).toBool());
    // The second row's play button plays that track of the list.
    Eval(view, QStringLiteral("document.querySelector('[data-play=\"1\"]').click(); 1"));
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().CurrentTrack() != nullptr; }, kWaitMs));
    IQvNode* local = p.Node(QString::fromUtf16(kLocalMusicNode));
    EXPECT_EQ(p.Ctl().PlayingNode(), local);
    {
        std::lock_guard lock(p.Lib().Mutex());
        EXPECT_EQ(p.Ctl().CurrentTrack(), local->GetTrack(1));
    }

    // "在线订购": the order page, for this installation's client id, in the window's style.
    ASSERT_TRUE(trigger(QStringLiteral("在线订购")));
    const QString cid = CQvConf::Instance().Settings().clientid;
    ASSERT_FALSE(cid.isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return view->CurrentUrl().contains(QStringLiteral("/v5/action/secweborder/weborder2.do")); }, kWaitMs));
    EXPECT_TRUE(view->CurrentUrl().contains(QStringLiteral("cid=%1&pt=2&ca=&pid=&cssStyle=").arg(cid)));
    EXPECT_TRUE(WaitForScript(view, QStringLiteral("document.getElementById('client').textContent.indexOf('%1') >= 0").arg(cid)));
}

namespace {

// The operation records of one event code, as (window, value) pairs.
QList<QPair<int, int>> RecordsOf(int event)
{
    QList<QPair<int, int>> out;
    for (const QString& r : CQvLog::GetInstance().PendingRecords()) {
        const QStringList f = r.split(QLatin1Char('\t'));
        if (f.value(4).toInt() == event) out.append({f.value(3).toInt(), f.value(17).toInt()});
    }
    return out;
}

template <class Dialog>
Dialog* OpenFromUserMenu(Player& p, const QString& text)
{
    p.Ctl().Session().OnUserArea(QPoint(0, 0));
    QMenu* menu = p.Ctl().Session().UserMenu();
    if (!menu) return nullptr;
    menu->close();
    for (QAction* a : menu->actions())
        if (a->text() == text) a->trigger();
    Dialog* dlg = nullptr;
    WaitUntil([&] {
        for (Dialog* d : p.Wnd().findChildren<Dialog*>())
            if (d->isVisible()) dlg = d;
        return dlg != nullptr;
    }, kWaitMs);
    return dlg;
}

QPushButton* ButtonOf(QWidget* dlg, const QString& text)
{
    for (QPushButton* b : dlg->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

void PressKey(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QCoreApplication::sendEvent(w, &release);
}

} // namespace

TEST(Page, ThePasswordDialogsOfTheUserMenuRecordTheirCodesAndSendNothing)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    // Signed in with a session of the service: the user area opens the user menu.
    p.Ctl().Session().OnSessionId(Svc().Session());
    ASSERT_TRUE(WaitUntil([&] { return p.Wnd().UserName() != QStringLiteral("未登录"); }, kWaitMs));
    Svc().Reset();
    CQvLog::GetInstance().ClearPending();

    // "找回密码": the user name is kept, 848 (value 1) is written, a notice names the user.
    auto* find = OpenFromUserMenu<CFindPwdDlg>(p, QStringLiteral("找回密码"));
    ASSERT_TRUE(find);
    find->NameEdit()->setText(QStringLiteral("  zhang_san "));
    ButtonOf(find, QStringLiteral("确定"))->click();
    EXPECT_EQ(RecordsOf(848), (QList<QPair<int, int>> {{151, 1}}));
    EXPECT_TRUE(RecordsOf(873).isEmpty());
    EXPECT_EQ(p.Ctl().FindPasswordUser(), QStringLiteral("zhang_san"));
    QMessageBox* notice = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        for (QMessageBox* b : p.Wnd().findChildren<QMessageBox*>())
            if (b->isVisible() && b->text().contains(QStringLiteral("zhang_san"))) notice = b;
        return notice != nullptr;
    }, kWaitMs));
    notice->close();

    // Cancelled by "取消", by the close button and by Escape: 873 (value 2) each time, no 848.
    CQvLog::GetInstance().ClearPending();
    find = OpenFromUserMenu<CFindPwdDlg>(p, QStringLiteral("找回密码"));
    ASSERT_TRUE(find);
    ButtonOf(find, QStringLiteral("取消"))->click();
    find = OpenFromUserMenu<CFindPwdDlg>(p, QStringLiteral("找回密码"));
    ASSERT_TRUE(find);
    find->NameEdit()->setText(QStringLiteral("li_si"));
    PressKey(find->NameEdit(), Qt::Key_Escape);
    EXPECT_FALSE(find->isVisible());
    EXPECT_EQ(RecordsOf(873), (QList<QPair<int, int>> {{151, 2}, {151, 2}}));
    EXPECT_TRUE(RecordsOf(848).isEmpty());
    EXPECT_EQ(p.Ctl().FindPasswordUser(), QStringLiteral("zhang_san"));

    // "修改密码": three password fields; "确定" only closes, each cancel writes 873.
    CQvLog::GetInstance().ClearPending();
    auto* modify = OpenFromUserMenu<CModifyPwdDlg>(p, QStringLiteral("修改密码"));
    ASSERT_TRUE(modify);
    const QList<QLineEdit*> fields = modify->findChildren<QLineEdit*>();
    ASSERT_EQ(fields.size(), 3);
    for (QLineEdit* f : fields) {
        EXPECT_EQ(f->echoMode(), QLineEdit::Password);
        f->setText(QStringLiteral("pw-secret-1"));
    }
    ButtonOf(modify, QStringLiteral("确定"))->click();
    EXPECT_FALSE(modify->isVisible());
    EXPECT_TRUE(RecordsOf(873).isEmpty());
    modify = OpenFromUserMenu<CModifyPwdDlg>(p, QStringLiteral("修改密码"));
    ASSERT_TRUE(modify);
    modify->OnCloseButton();
    modify = OpenFromUserMenu<CModifyPwdDlg>(p, QStringLiteral("修改密码"));
    ASSERT_TRUE(modify);
    PressKey(modify->findChildren<QLineEdit*>().first(), Qt::Key_Escape);
    modify = OpenFromUserMenu<CModifyPwdDlg>(p, QStringLiteral("修改密码"));
    ASSERT_TRUE(modify);
    ButtonOf(modify, QStringLiteral("取消"))->click();
    EXPECT_EQ(RecordsOf(873), (QList<QPair<int, int>> {{152, 2}, {152, 2}, {152, 2}}));

    // Neither dialog sent the service anything it was given.
    const QByteArray sent = QJsonDocument(Svc().Requests()).toJson();
    EXPECT_FALSE(sent.contains("zhang_san"));
    EXPECT_FALSE(sent.contains("li_si"));
    EXPECT_FALSE(sent.contains("pw-secret-1"));
    // Still signed in: cancelling changed nothing of the session.
    EXPECT_TRUE(p.Ctl().Session().SignedIn());
}

namespace {

// A page of the service's origin with a text field and a paragraph, recording the keys it gets.
constexpr const char* kInputPage =
    "<!DOCTYPE html><html><body style='margin:0'>"
    "<input id='field' style='position:absolute;left:10px;top:10px;width:200px;height:30px'>"
    "<p id='text' style='position:absolute;left:10px;top:100px;font-size:30px;margin:0'>Some words to select</p>"
    "<script>window.keys = []; document.addEventListener('keydown', function (e) {"
    " window.keys.push((e.ctrlKey ? 'C-' : '') + e.key); }, true);</script>"
    "</body></html>";

// The content view shows kInputPage with the focus in its field; the widget that takes the
// page's input, or null when the page did not load.
QWidget* ShowInputPage(Player& p, CFixedHtmlView*& view)
{
    view = p.Wnd().ContentPane()->View();
    // A page of the service first, so that the test page (of the same site) stays in the same
    // page process and its input widget is not swapped while keys are sent.
    const QString like = Svc().Base() + QStringLiteral("/pages/like.html");
    p.Wnd().ShowPage(like);
    if (!WaitUntil([&] { return view->CurrentUrl().startsWith(like); }, kWaitMs)) return nullptr;
    view->setHtml(QString::fromLatin1(kInputPage), QUrl(Svc().Base() + QStringLiteral("/pages/")));
    if (!WaitForScript(view, QStringLiteral("!!document.getElementById('field') && document.readyState === 'complete'")))
        return nullptr;
    view->window()->activateWindow();
    QApplication::setActiveWindow(view->window());
    view->setFocus();
    if (!WaitForScript(view, QStringLiteral("document.getElementById('field').focus();"
                                            " document.hasFocus() && document.activeElement.id === 'field'")))
        return nullptr;
    // The engine may still be wiring the page's input: a probe key is sent until the page sees
    // one, then what it saw is forgotten (late probes are left out by the tests).
    for (int i = 0; i < 30; ++i) {
        QWidget* target = view->focusProxy();
        if (!target) return nullptr;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
        QCoreApplication::sendEvent(target, &release);
        if (WaitUntil([&] { return Eval(view, QStringLiteral("window.keys.indexOf('q') >= 0")).toBool(); }, 1000)) {
            Eval(view, QStringLiteral("window.keys = []; 1"));
            return target;
        }
    }
    return nullptr;
}

} // namespace

TEST(Page, TheViewKeepsTheBrowsersAcceleratorsFromThePage)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    CFixedHtmlView* view = nullptr;
    QWidget* target = ShowInputPage(p, view);
    ASSERT_TRUE(target);
    const int loads = view->NavigationCount();

    // Typing, the clipboard keys and undo reach the page.
    PressKey(target, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    for (int key : {Qt::Key_C, Qt::Key_X, Qt::Key_V, Qt::Key_Z, Qt::Key_Insert}) PressKey(target, key, Qt::ControlModifier);
    // Escape, the function keys and every other Ctrl key do not (no find bar, print, reload).
    PressKey(target, Qt::Key_Escape);
    PressKey(target, Qt::Key_F5);
    PressKey(target, Qt::Key_F12);
    for (int key : {Qt::Key_F, Qt::Key_P, Qt::Key_A, Qt::Key_R}) PressKey(target, key, Qt::ControlModifier);
    // Enter reaches the page and is timed.
    EXPECT_EQ(view->EnterTime(), -1);
    PressKey(target, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    EXPECT_GE(view->EnterTime(), 0);
    // The page has seen exactly the keys it may have, in order.
    ASSERT_TRUE(WaitForScript(view, QStringLiteral("window.keys.indexOf('Enter') >= 0")));
    EXPECT_EQ(Eval(view, QStringLiteral("window.keys.filter(function (k) { return k !== 'q'; }).join(' ')")).toString(),
              QStringLiteral("a C-c C-x C-v C-z C-Insert Enter"));
    EXPECT_EQ(view->NavigationCount(), loads);
}

TEST(Page, TheContextMenuFollowsItsMode)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    CFixedHtmlView* view = nullptr;
    QWidget* target = ShowInputPage(p, view);
    ASSERT_TRUE(target);

    enum Spot { kPlain, kField, kSelection };
    // Whether a right click on the spot opens a menu (the page's selection made first for
    // kSelection); a menu that is expected gets long to come, one that is not a moment.
    const auto menuAt = [&](Spot spot, bool expected) {
        for (QMenu* m : view->findChildren<QMenu*>()) m->close();
        QCoreApplication::processEvents();
        Eval(view, spot == kSelection
                       ? QStringLiteral("(function () { var r = document.createRange();"
                                        " r.selectNodeContents(document.getElementById('text'));"
                                        " var s = getSelection(); s.removeAllRanges(); s.addRange(r); return 1; })()")
                       : QStringLiteral("getSelection().removeAllRanges(); 1"));
        const QPoint at = spot == kPlain ? QPoint(400, 300) : spot == kField ? QPoint(60, 25) : QPoint(60, 115);
        QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::RightButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &release);
        // The engine asks for the menu a moment later; a refused one never shows.
        bool shown = WaitUntil([&] {
            for (QMenu* m : view->findChildren<QMenu*>())
                if (m->isVisible()) return true;
            return false;
        }, expected ? kWaitMs : 1500);
        for (QMenu* m : view->findChildren<QMenu*>()) m->close();
        return shown;
    };

    // 1 (the default): everywhere.
    ASSERT_EQ(view->ContextMenuMode(), CFixedHtmlView::kMenuDefault);
    EXPECT_TRUE(menuAt(kPlain, true));
    EXPECT_TRUE(menuAt(kField, true));
    EXPECT_TRUE(menuAt(kSelection, true));
    // 0: nowhere.
    view->SetContextMenuMode(CFixedHtmlView::kMenuNone);
    EXPECT_FALSE(menuAt(kPlain, false));
    EXPECT_FALSE(menuAt(kField, false));
    EXPECT_FALSE(menuAt(kSelection, false));
    // 2: on fields and on selected text.
    view->SetContextMenuMode(CFixedHtmlView::kMenuControlsAndText);
    EXPECT_FALSE(menuAt(kPlain, false));
    EXPECT_TRUE(menuAt(kField, true));
    EXPECT_TRUE(menuAt(kSelection, true));
    // 3: on selected text only.
    view->SetContextMenuMode(CFixedHtmlView::kMenuTextOnly);
    EXPECT_FALSE(menuAt(kPlain, false));
    EXPECT_FALSE(menuAt(kField, false));
    EXPECT_TRUE(menuAt(kSelection, true));

    // The windows' views: the banner has none, the sign-in page only on its fields and text.
    EXPECT_EQ(p.Wnd().BannerPane()->View()->ContextMenuMode(), CFixedHtmlView::kMenuNone);
    p.Ctl().Session().ShowLogin();
    ASSERT_TRUE(p.Ctl().Session().LoginDialog());
    EXPECT_EQ(p.Ctl().Session().LoginDialog()->Page()->View()->ContextMenuMode(), CFixedHtmlView::kMenuControlsAndText);
    p.Ctl().Session().LoginDialog()->OnCloseButton();
}

TEST(Page, FilesDroppedOnAPageGoToThePlayersList)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    // The recommendation page shows (a web node's page: no list of the user's is shown).
    CFixedHtmlView* view = p.OpenMenuPage(QStringLiteral("musicrecommand"));
    ASSERT_TRUE(view);
    QWidget* target = view->focusProxy();
    ASSERT_TRUE(target);
    QTemporaryDir music;
    const QString mp3 = MakeMp3(music.filePath(QStringLiteral("Dropped Song.mp3")), QStringLiteral("Dropped"));
    const QString text = music.filePath(QStringLiteral("notes.txt"));
    testutil::WriteFile(text, "not music");
    const QString defaultList = QStringLiteral("默认列表");
    ASSERT_EQ(p.NodeSize(defaultList), 0);

    const auto drop = [&](QMimeData* data) {
        const QPoint at(200, 200);
        QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
        QDropEvent dropped(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &dropped);
        return enter.isAccepted() && dropped.isAccepted();
    };

    // A text file: nothing joins a list.
    QMimeData notMusic;
    notMusic.setUrls({QUrl::fromLocalFile(text)});
    drop(&notMusic);
    EXPECT_EQ(p.NodeSize(defaultList), 0);

    // The MP3: it is taken, lands in the first playlist, which is then shown.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(mp3), QUrl::fromLocalFile(text)});
    EXPECT_TRUE(drop(&files));
    ASSERT_TRUE(WaitUntil([&] { return p.NodeSize(defaultList) == 1; }, kWaitMs));
    {
        std::lock_guard lock(p.Lib().Mutex());
        CQvMusic* track = p.Node(defaultList)->GetTrack(0);
        EXPECT_EQ(track->GetInfo()->LSrc, mp3);
        EXPECT_EQ(track->GetInfo()->Song, QStringLiteral("Dropped"));
    }
    EXPECT_EQ(p.Ctl().DisplayedNode(), p.Node(defaultList));
    EXPECT_FALSE(p.Wnd().PageShown());
    // The page itself did not navigate to the file.
    EXPECT_TRUE(view->CurrentUrl().contains(QStringLiteral("/pages/recommend.html")));
}

TEST(Page, TheRecommendationsShowCoversOfManyColours)
{
    Player p;
    ASSERT_TRUE(p.Ready());
    CFixedHtmlView* view = p.OpenMenuPage(QStringLiteral("musicrecommand"));
    ASSERT_TRUE(view);
    // Every card with a cover shows its picture, loaded and whole.
    ASSERT_TRUE(WaitForScript(view, QStringLiteral("document.querySelectorAll('.card img').length > 6 &&"
                                                   " Array.prototype.every.call(document.querySelectorAll('.card img'),"
                                                   " function (i) { return i.complete && i.naturalWidth > 0; })")));
    EXPECT_EQ(Eval(view, QStringLiteral("getComputedStyle(document.querySelector('.card img')).opacity")).toString(),
              QStringLiteral("1"));

    // The pictures themselves: each album its own, spread round the colour wheel.
    httplib::Client http("127.0.0.1", Svc().Port());
    QSet<int> hueBands;
    QSet<QByteArray> pictures;
    int covers = 0;
    for (const QJsonValue& v : Svc().Catalogue()) {
        const QJsonObject song = v.toObject();
        if (!song[QStringLiteral("hasCover")].toBool()) continue;
        const auto res = http.Get(("/cover/" + song[QStringLiteral("id")].toString().toStdString() + ".bmp").c_str());
        ASSERT_TRUE(res && res->status == 200);
        const QByteArray bytes = QByteArray::fromStdString(res->body);
        const QImage image = QImage::fromData(bytes, "BMP");
        ASSERT_FALSE(image.isNull());
        qint64 r = 0, g = 0, b = 0;
        for (int y = 0; y < image.height(); y += 4)
            for (int x = 0; x < image.width(); x += 4) {
                const QRgb c = image.pixel(x, y);
                r += qRed(c);
                g += qGreen(c);
                b += qBlue(c);
            }
        const int n = (image.height() / 4) * (image.width() / 4);
        hueBands.insert(QColor(int(r / n), int(g / n), int(b / n)).hsvHue() / 45);
        pictures.insert(bytes);
        ++covers;
    }
    ASSERT_GT(covers, 20);
    EXPECT_EQ(pictures.size(), covers);
    // Of the eight bands of 45 degrees, most are taken (the old pictures all fell into one or two).
    EXPECT_GE(hueBands.size(), 6);
}

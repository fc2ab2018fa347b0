// Identity, session, logs, covers, lyrics, update checks and the task dispatcher against the
// reference service.
#include "base/CodePage.h"
#include "base/MessageIds.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "net/CQvClientIdentity.h"
#include "net/CQvLog.h"
#include "net/Cover.h"
#include "net/LyricsFetch.h"
#include "net/ServiceAddress.h"
#include "net/ServiceRequest.h"
#include "net/ServiceTasks.h"
#include "net/Update.h"
#include "store/CMediaLibrary.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"
#include "tests/net/NetTestHome.h"
#include "tests/net/StatusRecorder.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>

#include <atomic>

#include <gtest/gtest.h>

namespace {

ServiceProcess& svc() { return ServiceProcess::Shared(); }

TrackRef MakeTrack(const QString& song, const QString& artist, const QString& path)
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Song = song;
    info->Artist = artist;
    info->Album = QStringLiteral("专辑");
    info->LSrc = path;
    info->Gid = MakeGid(path);
    info->EditRare().Sysid = QStringLiteral("sys-1");
    t->AttachInfo(info, nullptr);
    return t;
}

QStringList DecodedRecords(const QString& method)
{
    QStringList out;
    for (const QJsonValue& v : svc().Requests(method))
        out << v.toObject()[QStringLiteral("document")].toObject()[QStringLiteral("form")].toObject()[QStringLiteral("r")].toString();
    return out;
}

class Client : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(svc().Running());
        svc().Reset();
        home = std::make_unique<NetTestHome>(svc());
        SetServiceStatusWindow(window.Target());
        SetServiceControllerWindow(window.Target());
        CQvLog::GetInstance().SetTimerWindow(window.Target());
    }
    void TearDown() override
    {
        CQvLog::GetInstance().SetTimerWindow(CMsgTarget());
        home.reset();
    }
    std::unique_ptr<NetTestHome> home;
    MessageRecorder window;
};

} // namespace

TEST(Identity, MacHostIdNicknameAndLoginText)
{
    EXPECT_EQ(AccumulateMac({QByteArray::fromHex("001122334455")}), QStringLiteral("FF:10:21:32:43:54"));
    EXPECT_EQ(AccumulateMac({}), QStringLiteral("FF:FF:FF:FF:FF:FF"));
    EXPECT_EQ(AccumulateMac({QByteArray::fromHex("010101010101"), QByteArray::fromHex("020202020202"), QByteArray("ab")}),
              QStringLiteral("02:02:02:02:02:02"));
    // An unreadable disk: the MD5 of ":" and the mac, as UTF-16LE.
    EXPECT_EQ(MakeHostId(QString(), QStringLiteral("M")), GetMD5(QByteArray(":\0M\0", 4)));
    EXPECT_EQ(GetMD5(""), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));

    EXPECT_EQ(CheckNickname(QStringLiteral("  ")), 0);
    EXPECT_EQ(CheckNickname(QStringLiteral(" 小明_01 ")), 1);
    EXPECT_EQ(CheckNickname(QStringLiteral("_abc")), -2);
    EXPECT_EQ(CheckNickname(QStringLiteral("a b")), -2);
    EXPECT_EQ(CheckNickname(QString(32, QLatin1Char('a'))), 1);
    EXPECT_EQ(CheckNickname(QString(33, QLatin1Char('a'))), -1);

    EXPECT_EQ(SessionIdFromLoginResult(QStringLiteral("0$abc$d")), QStringLiteral("abc$d"));
    EXPECT_EQ(SessionIdFromLoginResult(QStringLiteral("plain")), QStringLiteral("plain"));
}

TEST_F(Client, IdentityFilesAreMadeOnceAndKept)
{
    CQvConf& conf = CQvConf::Instance();
    conf.Settings().mac = QStringLiteral("AA:BB:CC:DD:EE:FF");
    conf.Settings().tpid = QStringLiteral("tp");
    CQvClientIdentity& id = CQvClientIdentity::Instance();
    id.BuildClientIdentity();
    const CQvClientIdentity::Values first = id.Get();
    EXPECT_EQ(conf.Settings().mac, QStringLiteral("AA:BB:CC:DD:EE:FF")); // a configured mac stays
    EXPECT_TRUE(first.clientIp.isEmpty());
    EXPECT_FALSE(first.instanceId.isEmpty());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(first.hostId).hasMatch());
    EXPECT_EQ(testutil::ReadFile(conf.UserDir() + QStringLiteral("hostid.dat")), first.hostId.toLatin1());
    EXPECT_EQ(testutil::ReadFile(conf.ProgramDir() + QStringLiteral("clientid.dat")), QByteArray("cid tp AA:BB:CC:DD:EE:FF"));

    // The next start reads the file as it is, and a new run gets a new instance id.
    testutil::WriteFile(conf.UserDir() + QStringLiteral("hostid.dat"), "fedcba9876543210fedcba9876543210");
    conf.Settings().tpid = QStringLiteral("other");
    id.BuildClientIdentity();
    EXPECT_EQ(id.Get().hostId, QStringLiteral("fedcba9876543210fedcba9876543210"));
    EXPECT_NE(id.Get().instanceId, first.instanceId);
    EXPECT_EQ(testutil::ReadFile(conf.ProgramDir() + QStringLiteral("clientid.dat")), QByteArray("cid tp AA:BB:CC:DD:EE:FF"));

    // A mac of "0" is computed from the adapters when the machine has any.
    conf.Settings().mac = QStringLiteral("0");
    id.BuildClientIdentity();
    AdapterInfo adapters;
    if (ReadAdapters(adapters))
        EXPECT_EQ(conf.Settings().mac, AccumulateMac(adapters.hardware));
    else
        EXPECT_EQ(conf.Settings().mac, QStringLiteral("0"));
}

namespace {

class FakeHost : public IServiceTaskHost {
public:
    void MenuLoaded(const QList<MenuEntry>& entries) override { menu = static_cast<int>(entries.size()); }
    int RunCloudTask(int code) override
    {
        cloud.fetch_add(code);
        return 1;
    }
    std::atomic<int> menu {-1};
    std::atomic<int> cloud {0};
};

} // namespace

TEST_F(Client, SignInFetchesTheUserAndKeepsTheSession)
{
    FakeHost host;
    SetServiceTaskHost(&host);
    const QString vuid = svc().Session();
    EXPECT_EQ(RequestUserInfo(vuid), REQUEST_OK);
    const CQvClientIdentity::Values v = CQvClientIdentity::Instance().Get();
    EXPECT_TRUE(v.signedIn);
    EXPECT_EQ(v.userId, QStringLiteral("10001"));
    EXPECT_EQ(v.nickname, QStringLiteral("演示用户"));
    EXPECT_EQ(v.vuid, vuid);
    EXPECT_EQ(window.Count(WM_USER_INFO_READY), 1);
    EXPECT_TRUE(testutil::WaitUntil([&] { return host.cloud.load() == 5; }, 10000)); // task 5 ran
    QJsonObject r = svc().Requests(QStringLiteral("getUserInfo")).last().toObject();
    EXPECT_EQ(r[QStringLiteral("body")].toString(), QStringLiteral("id=") + vuid);

    EXPECT_EQ(KeepSessionAlive(), 1);
    r = svc().Requests(QStringLiteral("session")).last().toObject();
    EXPECT_EQ(r[QStringLiteral("body")].toString(), QStringLiteral("id=") + vuid);
    EXPECT_EQ(Header(r, QStringLiteral("vuid")), vuid);
    EXPECT_EQ(Header(r, QStringLiteral("appuserid")), QStringLiteral("10001"));

    // An unknown session is not signed in; an empty one is refused.
    EXPECT_EQ(RequestUserInfo(QStringLiteral("nobody")), REQUEST_OK);
    EXPECT_FALSE(CQvClientIdentity::Instance().Get().signedIn);
    EXPECT_EQ(RequestUserInfo(QString()), REQUEST_NO_ROOT);
    WaitForWorkers(10000);
    SetServiceTaskHost(nullptr);

    svc().Switch(QStringLiteral("/pcc/user/getUserInfo.do"), QStringLiteral("empty"));
    EXPECT_EQ(RequestUserInfo(vuid), REQUEST_EMPTY);
    testutil::WaitUntil([&] { return !window.Statuses().isEmpty(); });
    EXPECT_EQ(window.Statuses().last(), qMakePair(SERVICE_FAILED, SOURCE_USER_INFO));
}

TEST_F(Client, UnreachablePassportIsReported)
{
    NetTestHome away(svc(), false);
    EXPECT_EQ(RequestUserInfo(QStringLiteral("v")), REQUEST_UNREACHABLE);
    testutil::WaitUntil([&] { return !window.Statuses().isEmpty(); });
    ASSERT_FALSE(window.Statuses().isEmpty());
    EXPECT_EQ(window.Statuses().last(), qMakePair(SERVICE_UNREACHABLE, SOURCE_USER_INFO));
    EXPECT_TRUE(CQvClientIdentity::Instance().Get().vuid.isEmpty());
}

TEST_F(Client, OperationRecordsCarryEveryFieldAndReachTheServerIntact)
{
    CQvConf::Instance().Settings().tpid = QStringLiteral("tp");
    CQvConf::Instance().Settings().macuserid = QStringLiteral("mu");
    CQvClientIdentity::Instance().SetInstanceId(QStringLiteral("run"));
    CQvClientIdentity::Instance().SetHostId(QStringLiteral("host"));
    TrackRef t = MakeTrack(QStringLiteral("A&B=C 100% 歌"), QStringLiteral("歌手"), QStringLiteral("/m/dir/a.b.mp3"));
    CQvLog& log = CQvLog::GetInstance();
    log.AddRecord(102, 909, 1, t.get(), 1016);
    log.AddRecord(138, 943, 1, nullptr, 1);
    ASSERT_EQ(log.PendingCount(), 2);
    const QString rec = log.PendingRecords()[0];
    EXPECT_TRUE(rec.endsWith(QStringLiteral("\t\t\t\t\t\t\r\n")));
    const QStringList f = rec.chopped(2).split(QLatin1Char('\t'));
    ASSERT_EQ(f.size(), 27);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")).match(f[0]).hasMatch());
    const QStringList want {QStringLiteral("cid"), QString(), QStringLiteral("102"), QStringLiteral("909"),
                            QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("run"), QStringLiteral("1.0"), QString(),
                            QStringLiteral("A&B=C 100% 歌"), QStringLiteral("歌手"), QStringLiteral("专辑"), QStringLiteral("a.b"),
                            QStringLiteral("/m/dir/a.b.mp3"), QStringLiteral("sys-1"), QStringLiteral("ssPostTime"),
                            QStringLiteral("1016"), QStringLiteral("tp"), QStringLiteral("mu"), QStringLiteral("host")};
    for (int i = 0; i < want.size(); ++i) EXPECT_EQ(f[i + 1], want[i]) << i;
    EXPECT_EQ(log.PendingRecords()[1].split(QLatin1Char('\t'))[10], QString()); // no track: empty fields

    EXPECT_EQ(log.SendOperationRecords(), 0);
    EXPECT_EQ(log.PendingCount(), 0);
    const QStringList sent = DecodedRecords(QStringLiteral("optlog"));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_TRUE(sent[0].contains(QStringLiteral("\tA&B=C 100% 歌\t歌手\t")));
    EXPECT_FALSE(sent[0].contains(QStringLiteral("ssPostTime")));
    EXPECT_EQ(sent[0].count(QStringLiteral("\r\n")), 2);
    testutil::WaitUntil([] { return false; }, 50);
    EXPECT_TRUE(window.HasTimer(CQvLog::kSendTimer)); // re-armed for the next minute

    // The listening record of the same track reaches the log server intact too.
    ListeningInfo play;
    play.startTick = 1000;
    play.endTick = 4000;
    play.positionSec = 3;
    play.lengthSec = 200;
    play.artist = QStringLiteral("歌手");
    play.song = QStringLiteral("A&B=C 100% 歌");
    play.lsrc = QStringLiteral("/m/a.mp3");
    const QString listening = FormatListeningRecord(play);
    EXPECT_EQ(log.SendListening(listening), 1);
    EXPECT_EQ(DecodedRecords(QStringLiteral("bufferlog")), QStringList {listening});
    EXPECT_EQ(log.SendPageLog(QStringLiteral("searchlog"), QStringLiteral("k=v&x 搜索")), 1);
    EXPECT_EQ(DecodedRecords(QStringLiteral("searchlog")), QStringList {QStringLiteral("k=v&x 搜索")});
}

TEST_F(Client, PendingRecordsGoOutInBatchesOfAHundredAndFailedBatchesStay)
{
    CQvLog& log = CQvLog::GetInstance();
    for (int i = 0; i < 250; ++i) log.AddRecord(102, i, 1, nullptr, 1);
    svc().Switch(QStringLiteral("optlog"), QStringLiteral("404"));
    log.SendOperationRecords();
    EXPECT_EQ(log.PendingCount(), 250); // the refused batch went back to the front
    EXPECT_EQ(log.PendingRecords()[0].split(QLatin1Char('\t'))[4], QStringLiteral("0"));
    svc().Switch(QStringLiteral("optlog"), QStringLiteral("normal"));
    for (int i = 0; i < 4; ++i) log.SendOperationRecords();
    QList<int> sizes;
    for (const QString& r : DecodedRecords(QStringLiteral("optlog"))) sizes << static_cast<int>(r.count(QStringLiteral("\r\n")));
    EXPECT_EQ(sizes, (QList<int> {100, 100, 100, 50})); // the first is the refused one, kept by the service's log
    EXPECT_EQ(log.PendingCount(), 0);
    const QStringList sent = DecodedRecords(QStringLiteral("optlog"));
    EXPECT_EQ(sent[1].split(QStringLiteral("\r\n"))[0].split(QLatin1Char('\t'))[4], QStringLiteral("0"));
    EXPECT_EQ(sent[3].split(QStringLiteral("\r\n"))[49].split(QLatin1Char('\t'))[4], QStringLiteral("249"));
}

TEST_F(Client, AnEmptyAcceptedReplyDeliversTheBatchOnce)
{
    CQvLog& log = CQvLog::GetInstance();
    for (int i = 0; i < 3; ++i) log.AddRecord(102, i, 1, nullptr, 1);
    svc().Switch(QStringLiteral("optlog"), QStringLiteral("empty"));
    EXPECT_EQ(log.SendOperationRecords(), 0);
    EXPECT_EQ(log.PendingCount(), 0);
    // The next minute sends only what is new, not the same batch again.
    log.AddRecord(102, 7, 1, nullptr, 1);
    log.SendOperationRecords();
    const QStringList sent = DecodedRecords(QStringLiteral("optlog"));
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].count(QStringLiteral("\r\n")), 3);
    EXPECT_EQ(sent[1].count(QStringLiteral("\r\n")), 1);
    EXPECT_EQ(log.PendingCount(), 0);
    svc().Switch(QStringLiteral("optlog"), QStringLiteral("normal"));
}

TEST_F(Client, RecordsSavedAtExitAreSentAtTheNextStart)
{
    CQvLog& log = CQvLog::GetInstance();
    for (int i = 0; i < 3; ++i) log.AddRecord(102, 971, 1, nullptr, 1016);
    EXPECT_EQ(log.SaveToFile(), 1);
    EXPECT_EQ(log.PendingCount(), 0);
    const QString path = log.SavedFilePath();
    EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("cid_0_opt.log"));
    QByteArray saved = testutil::ReadFile(path);
    EXPECT_EQ(saved.count("\r\n"), 3);
    // A torn last line is not taken back.
    testutil::WriteFile(path, saved + "torn");
    EXPECT_EQ(RunServiceTask(8), 0);
    EXPECT_FALSE(QFile::exists(path));
    const QStringList sent = DecodedRecords(QStringLiteral("optlog"));
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].count(QStringLiteral("\r\n")), 3);
    EXPECT_FALSE(sent[0].contains(QStringLiteral("torn")));

    // Shutting down: nothing leaves.
    log.AddRecord(102, 1, 1, nullptr, 1);
    SetShuttingDown();
    log.SendOperationRecords();
    EXPECT_EQ(DecodedRecords(QStringLiteral("optlog")).size(), 1);
    ClearShuttingDown();
}

TEST(ListeningRecord, FormatAndCompletionCodes)
{
    ListeningInfo i;
    i.startTick = 10;
    i.endTick = 70;
    i.positionSec = 0;
    i.lengthSec = 185;
    i.artist = QStringLiteral("a");
    i.song = QStringLiteral("s");
    i.sysid = QStringLiteral("y");
    i.cmsid = QStringLiteral("c");
    i.nsrc = QStringLiteral("http://x");
    EXPECT_EQ(FormatListeningRecord(i),
              QStringLiteral("00\t10\t70\t00:00\t03:05\t60\t0\t11\ta\ts\ty\tc\thttp://x\t1\t22\t") + QString(12, QLatin1Char('\t')));
    i.positionSec = 184;
    EXPECT_TRUE(FormatListeningRecord(i).startsWith(QStringLiteral("00\t10\t70\t03:04\t03:05\t60\t2\t")));
    i.positionSec = 185;
    EXPECT_TRUE(FormatListeningRecord(i).contains(QStringLiteral("\t03:05\t03:05\t60\t2\t")));
    i.positionSec = 183;
    EXPECT_TRUE(FormatListeningRecord(i).contains(QStringLiteral("\t03:03\t03:05\t60\t1\t")));
    i.positionSec = 101 * 60;
    EXPECT_TRUE(FormatListeningRecord(i).contains(QStringLiteral("\t00:00\t00:00\t60\t0\t")));
    i.lsrc = QStringLiteral("/m/a.mp3");
    EXPECT_TRUE(FormatListeningRecord(i).contains(QStringLiteral("\t/m/a.mp3\t0\t22\t")));
}

TEST_F(Client, UsageEventsAreSentOldestFirstAndTheWorkerStops)
{
    CQvLog& log = CQvLog::GetInstance();
    log.QueueUsageEvent(QStringLiteral("stlb"), QStringLiteral("a b"), QStringLiteral("1"), QStringLiteral("&="),
                        QString(), QStringLiteral("中"), QStringLiteral("f"));
    log.QueueUsageEvent(QStringLiteral("zjbf"), QString(), QString(), QString(), QString(), QString(), QString());
    ASSERT_TRUE(testutil::WaitUntil([] { return svc().Requests(QStringLiteral("log")).size() == 2; }, 15000));
    const QJsonArray got = svc().Requests(QStringLiteral("log"));
    const QJsonObject q0 = got[0].toObject()[QStringLiteral("document")].toObject()[QStringLiteral("query")].toObject();
    EXPECT_EQ(q0[QStringLiteral("type")].toString(), QStringLiteral("stlb"));
    EXPECT_EQ(q0[QStringLiteral("value")].toString(),
              QStringLiteral("<|>common_type<|><|>a b<|>1<|>&=<|><|>中<|>f<|><|><|><|>"));
    EXPECT_EQ(got[0].toObject()[QStringLiteral("body")].toString(), QString());
    EXPECT_EQ(got[1].toObject()[QStringLiteral("document")].toObject()[QStringLiteral("query")].toObject()[QStringLiteral("type")].toString(),
              QStringLiteral("zjbf"));
    EXPECT_TRUE(log.StopUsageWorker(5000));
    // A new event starts a new worker.
    log.QueueUsageEvent(QStringLiteral("scj"), QString(), QString(), QString(), QString(), QString(), QString());
    EXPECT_TRUE(testutil::WaitUntil([] { return svc().Requests(QStringLiteral("log")).size() == 3; }, 15000));
    EXPECT_TRUE(log.StopUsageWorker(5000));
}

TEST_F(Client, CoversDownloadOnceAndStayInsideTheirFolder)
{
    const QJsonObject song = svc().Catalogue().at(0).toObject();
    TrackRef t = MakeTrack(song[QStringLiteral("title")].toString(), song[QStringLiteral("artist")].toString(), QStringLiteral("/m/x.mp3"));
    const QString cover = CoverFilePath(*t->GetInfo());
    EXPECT_EQ(ExistingCoverFile(*t->GetInfo()), QString());
    EXPECT_EQ(RunMediaTask(MEDIA_TASK_COVER, t.get()), 1);
    EXPECT_EQ(t->GetInfo()->Pic, 1);
    EXPECT_EQ(testutil::ReadFile(cover).left(2), QByteArray("BM"));
    EXPECT_EQ(ExistingCoverFile(*t->GetInfo()), cover);
    EXPECT_EQ(svc().Requests(QStringLiteral("getpic")).size(), 1);
    EXPECT_EQ(svc().Requests(QStringLiteral("/cover")).size(), 1);
    // The second play asks nothing.
    EXPECT_EQ(FetchCoverPicture(t.get(), 2), 1);
    EXPECT_EQ(svc().Requests(QStringLiteral("getpic")).size(), 1);
    // Unless the track asks for a fresh picture.
    t->AddState(STATE_REFETCH_COVER);
    EXPECT_EQ(FetchCoverPicture(t.get(), 2), 1);
    EXPECT_EQ(svc().Requests(QStringLiteral("getpic")).size(), 2);

    // An artist named "../x" writes inside the cover folder; the picture is found by content id.
    TrackRef hostile = MakeTrack(QStringLiteral("t/.."), QStringLiteral("../x"), QStringLiteral("/m/y.mp3"));
    hostile->GetInfo()->EditRare().CmsID = QStringLiteral("1003");
    EXPECT_EQ(SafeCoverNamePart(QStringLiteral("../x")), QStringLiteral("___x"));
    EXPECT_EQ(FetchCoverPicture(hostile.get(), 2), 1);
    const QString path = CoverFilePath(*hostile->GetInfo());
    EXPECT_EQ(QFileInfo(path).absolutePath() + QLatin1Char('/'), CQvConf::Instance().CoverDir().chopped(1) + QLatin1Char('/'));
    EXPECT_TRUE(QFileInfo(path).isFile());
    EXPECT_FALSE(QFile::exists(CQvConf::Instance().ProgramDir() + QStringLiteral("x-t_...bmp")));

    // A dropped download leaves no file and marks the track.
    svc().Switch(QStringLiteral("/cover"), QStringLiteral("drop"));
    TrackRef dropped = MakeTrack(QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("/m/z.mp3"));
    dropped->GetInfo()->EditRare().CmsID = QStringLiteral("1004");
    dropped->GetInfo()->Pic = 7;
    EXPECT_EQ(FetchCoverPicture(dropped.get(), 2), 0);
    EXPECT_EQ(dropped->GetInfo()->Pic, 0);
    EXPECT_FALSE(QFile::exists(CoverFilePath(*dropped->GetInfo())));
    EXPECT_EQ(QDir(CQvConf::Instance().CoverDir()).entryList(QDir::Files).size(), 2); // no temporary left

    // No picture at the service: Pic unchanged.
    TrackRef none = MakeTrack(QStringLiteral("no such song"), QStringLiteral("nobody"), QStringLiteral("/m/w.mp3"));
    none->GetInfo()->Pic = 7;
    EXPECT_EQ(FetchCoverPicture(none.get(), 2), 0);
    EXPECT_EQ(none->GetInfo()->Pic, 7);
    SetShuttingDown();
    EXPECT_EQ(FetchCoverPicture(none.get(), 2), 0);
    ClearShuttingDown();
}

TEST_F(Client, FetchedLyricsAreStoredAndAnnounced)
{
    CQvConf& conf = CQvConf::Instance();
    conf.OpenAllMissing();
    ASSERT_TRUE(conf.LyricsDb() && conf.LyricsDb()->IsOpen());
    CMediaLibrary library;
    SetMediaTaskLibrary(&library);
    const QJsonObject song = svc().Catalogue().at(2).toObject();
    TrackRef t = MakeTrack(song[QStringLiteral("title")].toString(), song[QStringLiteral("artist")].toString(),
                           home->home + QStringLiteral("missing.mp3"));
    ASSERT_EQ(library.AddTrack(t.get()), 1);

    ASSERT_TRUE(StartMediaTask(MEDIA_TASK_LYRICS, t));
    ASSERT_TRUE(testutil::WaitUntil([&] { return window.Count(WM_LRC_READY) == 1; }, 15000));
    const MessageRecorder::Message m = window.messages.last();
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_EQ(m.lParam, reinterpret_cast<qintptr>(t.get()));
    QString text;
    t->GetLyricsText(text);
    EXPECT_EQ(text, NormaliseServiceLyrics(song[QStringLiteral("lyrics")].toString()));
    EXPECT_EQ(t->HasLyrics(), 1);
    SqliteStatement st;
    ASSERT_EQ(conf.LyricsDb()->Prepare("SELECT Lrc FROM Lyrics WHERE Gid = ?", st), 0);
    ASSERT_EQ(Bind(st, t->GetInfo()->Gid), 0);
    ASSERT_EQ(st.Step(), kSqliteRow);
    EXPECT_EQ(FromAnsi(st.ColumnBytes(0)), text);

    // A song the service has no lyrics for.
    const QJsonObject bare = svc().Catalogue().at(1).toObject();
    TrackRef none = MakeTrack(bare[QStringLiteral("title")].toString(), bare[QStringLiteral("artist")].toString(), QStringLiteral("/m/n.mp3"));
    EXPECT_EQ(FetchLyrics(none.get(), true, &library), 0);
    EXPECT_EQ(none->HasLyrics(), 0);
    testutil::WaitUntil([&] { return window.Count(WM_LRC_NOT_FOUND) == 1; });
    EXPECT_EQ(window.Count(WM_LRC_NOT_FOUND), 1);
    EXPECT_EQ(window.Count(WM_LRC_READY), 1);

    // Forced by bit 6 while a row exists: fetched and shown, the stored row stays.
    conf.LyricsDb()->Run("UPDATE Lyrics SET Lrc = ? WHERE Gid = ?", ToAnsi(QStringLiteral("[00:01.00]old")), t->GetInfo()->Gid);
    t->SetLyricsText(QStringLiteral("[00:01.00]cached"));
    t->AddState(STATE_REFETCH_COVER);
    const int asked = static_cast<int>(svc().Requests(QStringLiteral("lrc")).size());
    EXPECT_EQ(FetchLyrics(t.get(), false, &library), 1);
    EXPECT_EQ(svc().Requests(QStringLiteral("lrc")).size(), asked + 1);
    t->GetLyricsText(text);
    EXPECT_EQ(text, NormaliseServiceLyrics(song[QStringLiteral("lyrics")].toString()));
    SqliteStatement again;
    ASSERT_EQ(conf.LyricsDb()->Prepare("SELECT Lrc FROM Lyrics WHERE Gid = ?", again), 0);
    ASSERT_EQ(Bind(again, t->GetInfo()->Gid), 0);
    ASSERT_EQ(again.Step(), kSqliteRow);
    EXPECT_EQ(FromAnsi(again.ColumnBytes(0)), QStringLiteral("[00:01.00]old"));

    // A readable lyrics file: the service is not asked.
    const QString lrcFile = home->home + QStringLiteral("song.lrc");
    testutil::WriteFile(lrcFile, ToAnsi(QStringLiteral("[00:02.00]文件")));
    TrackRef local = MakeTrack(QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("/m/local.mp3"));
    local->GetInfo()->EditRare().LrcFile = lrcFile;
    EXPECT_EQ(FetchLyrics(local.get(), true, &library), 1);
    EXPECT_EQ(svc().Requests(QStringLiteral("lrc")).size(), asked + 1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return window.Count(WM_LRC_READY) == 2; }));
    local->GetLyricsText(text);
    EXPECT_EQ(text, QStringLiteral("[00:02.00]文件"));

    // The service away: 1, nothing posted.
    {
        NetTestHome away(svc(), false);
        TrackRef off = MakeTrack(QStringLiteral("o"), QStringLiteral("p"), QStringLiteral("/m/off.mp3"));
        EXPECT_EQ(FetchLyrics(off.get(), true, nullptr), 1);
    }

    SetMediaTaskLibrary(nullptr);
    {
        std::lock_guard lock(library.Mutex());
        library.Store().Clear();
    }
}

namespace {

class FakePrompt : public IUpdatePrompt {
public:
    void Notice(const QString& text, const QString& title) override { notices << title + QLatin1Char('|') + text; }
    bool AskYesNo(const QString& text, const QString& title) override
    {
        questions << title + QLatin1Char('|') + text;
        return answer;
    }
    void EndAfterDeclinedUpdate() override { ++ended; }
    void UpdateOffered(const QString& latest) override { offered << latest; }
    QStringList offered;
    QStringList notices;
    QStringList questions;
    bool answer = false;
    int ended = 0;
};

} // namespace

TEST_F(Client, UpdateChecksAskAndLaunchTheUpdater)
{
    FakePrompt prompt;
    SetUpdatePrompt(&prompt);
    CQvConf& conf = CQvConf::Instance();

    svc().SetUpdate(QStringLiteral("1.0"), QStringLiteral("1"));
    EXPECT_EQ(RunServiceTask(11), 1);
    EXPECT_EQ(prompt.notices, QStringList {QStringLiteral("提示|您的程序目前是最新版本，无需进行升级.")});
    EXPECT_TRUE(prompt.questions.isEmpty());
    EXPECT_EQ(CheckUpdateSilently(), 1);
    EXPECT_EQ(prompt.notices.size(), 1); // silent
    EXPECT_TRUE(prompt.offered.isEmpty());

    // A mandatory update declined: the program is asked to end.
    svc().SetUpdate(QStringLiteral("2.0"), QStringLiteral("3"));
    EXPECT_EQ(RunServiceTask(19), 1);
    EXPECT_EQ(prompt.questions.last(), QStringLiteral("提示|发现新版本，程序必须升级后方可正常使用，立即进行升级吗？"));
    EXPECT_EQ(prompt.ended, 1);
    EXPECT_EQ(prompt.offered, QStringList {QStringLiteral("2.0")});

    svc().SetUpdate(QStringLiteral("2.0"), QStringLiteral("2"), QStringLiteral("0"));
    EXPECT_EQ(CheckUpdateOnDemand(), 0);
    EXPECT_EQ(prompt.notices.last(), QStringLiteral("提示|服务器升级接口失效！"));

    // Accepting: the counter at 3 only counts up; at 0 the updater runs with its parameter.
    const QString marker = home->home + QStringLiteral("updater-args");
    const QString updater = conf.ProgramDir() + QStringLiteral("update");
    testutil::WriteFile(updater, QStringLiteral("#!/bin/sh\nprintf '%s|%s' \"$1\" \"$(pwd)\" > '%1'\n").arg(marker).toUtf8());
    QFile::setPermissions(updater, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    svc().SetUpdate(QStringLiteral("2.0"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("http://pkg/o.tgz"));
    prompt.answer = true;
    conf.SaveInfoUpdateCount(3);
    EXPECT_EQ(CheckUpdateOnDemand(), 1);
    EXPECT_EQ(prompt.questions.last(), QStringLiteral("询问|您当前的版本是1.0，将为您升级到版本2.0,继续吗？"));
    EXPECT_EQ(prompt.offered.size(), 2);
    EXPECT_EQ(conf.Info().updateCount, 4);
    EXPECT_FALSE(QFile::exists(marker));
    conf.SaveInfoUpdateCount(0);
    EXPECT_EQ(CheckUpdateSilently(), 1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return QFile::exists(marker) && !testutil::ReadFile(marker).isEmpty(); }, 10000));
    EXPECT_EQ(testutil::ReadFile(marker), (QStringLiteral("parity|2.0|http://pkg/o.tgz|") + conf.ProgramDir().chopped(1)).toUtf8());

    // The first start after the update says so once.
    conf.SaveInfoUpdateCount(0);
    EXPECT_TRUE(TakeUpdateSuccess());
    EXPECT_FALSE(TakeUpdateSuccess());
    EXPECT_EQ(conf.Info().updateCount, 1);

    // No updater: nothing happens.
    QFile::remove(updater);
    EXPECT_FALSE(LaunchUpdater(QStringLiteral("2.0"), QStringLiteral("x")));

    NetTestHome away(svc(), false);
    EXPECT_EQ(CheckUpdateOnDemand(), 0);
    EXPECT_EQ(prompt.notices.last(), QStringLiteral("提示|连接升级服务器失败，如果网络连接正常，请您可以重试一次！"));
    SetUpdatePrompt(nullptr);
}

TEST_F(Client, TheDispatcherRunsTheStartUpTasks)
{
    FakeHost host;
    SetServiceTaskHost(&host);
    EXPECT_FALSE(StartServiceTask(7));
    ASSERT_TRUE(StartServiceTask(17));
    ASSERT_TRUE(StartServiceTask(15));
    ASSERT_TRUE(StartServiceTask(18));
    EXPECT_TRUE(testutil::WaitUntil([&] { return host.menu.load() >= 6 && host.cloud.load() == 18; }, 15000));
    EXPECT_TRUE(WaitForWorkers(15000));
    const QJsonArray start = svc().Requests(QStringLiteral("start"));
    ASSERT_EQ(start.size(), 1);
    EXPECT_EQ(DocField(start[0].toObject(), QStringLiteral("version")), QStringLiteral("1.0"));
    SetServiceTaskHost(nullptr);
}

// Every service method against the reference service: what arrives, what is read back, and
// how each failure is reported.
#include "net/CQvClientIdentity.h"
#include "net/ServiceMethods.h"
#include "net/ServiceRequest.h"
#include "tests/common/TestUtil.h"
#include "tests/net/ServiceProcess.h"
#include "tests/net/StatusRecorder.h"
#include "store/CQvConf.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString kHostile = QStringLiteral("a b&c=d 中");

class ServiceMethods : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(svc().Running());
        svc().Reset();
        ClearShuttingDown();
        SetServiceStatusWindow(recorder.Target());
        ConfigSettings& s = CQvConf::Instance().Settings();
        s.clientid = QStringLiteral("client-1");
        s.mac = QStringLiteral("FF:10:21:32:43:54");
        s.tpid.clear();
        CQvClientIdentity& id = CQvClientIdentity::Instance();
        id.Clear();
        id.SetInstanceId(QStringLiteral("run-1"));
        id.SetHostId(QStringLiteral("0123456789abcdef0123456789abcdef"));
    }
    void TearDown() override
    {
        SetServiceStatusWindow(CMsgTarget());
        CQvClientIdentity::Instance().Clear();
        CQvConf::Instance().Settings() = ConfigSettings();
        ClearShuttingDown();
    }
    static ServiceProcess& svc() { return ServiceProcess::Shared(); }
    QString url() const { return svc().EntryUrl(); }
    // Spins the event loop so posted notifications arrive.
    QList<QPair<int, int>> Statuses(int atLeast)
    {
        testutil::WaitUntil([&] { return recorder.Statuses().size() >= atLeast; }, 5000);
        QCoreApplication::processEvents();
        return recorder.Statuses();
    }
    QJsonObject Last(const QString& method)
    {
        const QJsonArray all = svc().Requests(method);
        return all.isEmpty() ? QJsonObject() : all.last().toObject();
    }
    MessageRecorder recorder;
};

} // namespace

TEST_F(ServiceMethods, RequestsArriveWithTheirElementsEncodingAndHeaders)
{
    EXPECT_EQ(AddMessage(url(), kHostile, QStringLiteral("正文 body")), REQUEST_OK);
    const QJsonObject r = Last(QStringLiteral("addmessage"));
    ASSERT_FALSE(r.isEmpty());
    EXPECT_EQ(r[QStringLiteral("verb")].toString(), QStringLiteral("POST"));
    const QString body = r[QStringLiteral("body")].toString();
    EXPECT_TRUE(body.startsWith(QStringLiteral("m=addmessage&value=%3C%3Fxml%20version%3D")));
    // The blank, "&", "=" and the character, percent-encoded (the "&" as the XML escape).
    EXPECT_TRUE(body.contains(QStringLiteral("a%20b%26amp%3Bc%3Dd%20%E4%B8%AD"))) << qPrintable(body);
    const QJsonObject doc = r[QStringLiteral("document")].toObject();
    EXPECT_TRUE(doc[QStringLiteral("valid")].toBool());
    EXPECT_EQ(doc[QStringLiteral("encoding")].toString(), QStringLiteral("GBK"));
    const QJsonArray fields = doc[QStringLiteral("fields")].toArray();
    ASSERT_EQ(fields.size(), 3);
    EXPECT_EQ(fields[0].toArray()[0].toString(), QStringLiteral("method"));
    EXPECT_EQ(fields[1].toArray()[0].toString(), QStringLiteral("title"));
    EXPECT_EQ(fields[1].toArray()[1].toString(), kHostile);
    EXPECT_EQ(fields[2].toArray()[1].toString(), QStringLiteral("正文 body"));

    EXPECT_EQ(Header(r, QStringLiteral("content-type")), QStringLiteral("application/x-www-form-urlencoded"));
    EXPECT_EQ(Header(r, QStringLiteral("appclientid")), QStringLiteral("client-1"));
    EXPECT_EQ(Header(r, QStringLiteral("appuid")), QStringLiteral("run-1"));
    EXPECT_EQ(Header(r, QStringLiteral("appver")), QStringLiteral("1.0"));
    EXPECT_EQ(Header(r, QStringLiteral("appmac")), QStringLiteral("FF-10-21-32-43-54"));
    EXPECT_EQ(Header(r, QStringLiteral("apphostid")), QStringLiteral("0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(Header(r, QStringLiteral("user-agent")), QStringLiteral("1.0"));
    // Signed out: "0" for every user field.
    for (const char* h : {"appuserid", "appnickname", "appregmail", "vuid", "appmail", "appclientip", "appclientgate"})
        EXPECT_EQ(Header(r, QString::fromLatin1(h)), QStringLiteral("0")) << h;
    EXPECT_TRUE(recorder.Statuses().isEmpty());
}

TEST_F(ServiceMethods, EveryMethodSendsItsDocumentAndReadsItsReply)
{
    QList<MenuEntry> menu;
    ASSERT_EQ(RequestMenu(url(), menu), REQUEST_OK);
    // The pages' entries; the one without an address is left out.
    ASSERT_GE(menu.size(), 6);
    for (const MenuEntry& e : menu) EXPECT_FALSE(e.Url.isEmpty()) << e.Id.toStdString();
    EXPECT_TRUE(std::any_of(menu.begin(), menu.end(), [](const MenuEntry& e) { return e.Id == QLatin1String("clouddisk"); }));
    EXPECT_EQ(menu[0].Id, QStringLiteral("musicrecommand"));
    EXPECT_EQ(menu[0].Name, QStringLiteral("音乐推荐"));
    EXPECT_TRUE(menu[0].Url.startsWith(svc().Base()));
    EXPECT_EQ(Last(QStringLiteral("getmenu"))[QStringLiteral("body")].toString(), QStringLiteral("m=getmenu&r=null"));

    QString version;
    ASSERT_EQ(ReportStart(url(), QStringLiteral("1.0"), -1, &version), REQUEST_OK);
    EXPECT_EQ(version, QStringLiteral("1.0"));
    QJsonObject r = Last(QStringLiteral("start"));
    EXPECT_EQ(DocField(r, QStringLiteral("version")), QStringLiteral("1.0"));
    EXPECT_EQ(DocField(r, QStringLiteral("os")), QStringLiteral("-1"));
    EXPECT_EQ(DocField(r, QStringLiteral("browser")), QStringLiteral("ie 8"));
    EXPECT_EQ(DocField(r, QStringLiteral("flash")), QString());

    svc().SetUpdate(QStringLiteral("1.2"), QString());
    UpdateReply update;
    ASSERT_EQ(RequestUpdate(url(), QStringLiteral("1.0"), update), REQUEST_OK);
    EXPECT_EQ(update.result, QStringLiteral("1"));
    EXPECT_EQ(update.LastVersion, QStringLiteral("1.2"));
    EXPECT_EQ(update.ValidType, QStringLiteral("2"));
    EXPECT_TRUE(update.Address.endsWith(QStringLiteral("ordel-1.2.tar.gz")));
    r = Last(QStringLiteral("update"));
    EXPECT_EQ(r[QStringLiteral("document")].toObject()[QStringLiteral("encoding")].toString(), QStringLiteral("UTF-8"));
    EXPECT_EQ(DocField(r, QStringLiteral("ver")), QStringLiteral("1.0"));

    // Groups of a signed-in user: create, rename, fill, read, delete.
    const QString vuid = svc().Session();
    CQvClientIdentity::Instance().SetVuid(vuid);
    ResultReply result;
    ASSERT_EQ(AddPlayGroup(url(), kHostile, result), REQUEST_OK);
    EXPECT_EQ(result.result, QStringLiteral("1"));
    const int group = result.objId.toInt();
    EXPECT_GT(group, 0);
    EXPECT_EQ(DocField(Last(QStringLiteral("addplaygroup")), QStringLiteral("GroupName")), kHostile);
    ASSERT_EQ(UpdatePlayGroupName(url(), group, QStringLiteral("新名字"), result), REQUEST_OK);
    EXPECT_EQ(result.result, QStringLiteral("1"));
    r = Last(QStringLiteral("updateplaygroupname"));
    EXPECT_EQ(DocField(r, QStringLiteral("GroupId")), QString::number(group));
    EXPECT_EQ(DocField(r, QStringLiteral("NewGroupName")), QStringLiteral("新名字"));

    CloudSongUpload song {QStringLiteral("http://x/1.mp3"), QStringLiteral("歌"), QStringLiteral("人"),
                          QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("900"), QString()};
    ASSERT_EQ(AddQukuSongToGroup(url(), group, song, result), REQUEST_OK);
    EXPECT_EQ(result.result, QStringLiteral("1"));
    r = Last(QStringLiteral("addqukusong2group"));
    const QStringList names {QStringLiteral("method"), QStringLiteral("GroupId"), QStringLiteral("SongAddress"),
                             QStringLiteral("SongName"), QStringLiteral("SingerName"), QStringLiteral("SongChannel"),
                             QStringLiteral("SongState"), QStringLiteral("SongQuKuId")};
    const QJsonArray fields = r[QStringLiteral("document")].toObject()[QStringLiteral("fields")].toArray();
    ASSERT_EQ(fields.size(), names.size());
    for (int i = 0; i < names.size(); ++i) EXPECT_EQ(fields[i].toArray()[0].toString(), names[i]);

    SongListReply songs;
    ASSERT_EQ(GetSongOfUsersGroup(url(), group, songs), REQUEST_OK);
    ASSERT_EQ(songs.songs.size(), 1);
    EXPECT_EQ(songs.songs[0].SongName, QStringLiteral("歌"));
    EXPECT_EQ(songs.songs[0].SongAdress, QStringLiteral("http://x/1.mp3"));
    r = Last(QStringLiteral("getsongofusersgroup"));
    EXPECT_EQ(DocField(r, QStringLiteral("offset")), QStringLiteral("1"));
    EXPECT_EQ(DocField(r, QStringLiteral("rows")), QStringLiteral("100"));
    EXPECT_EQ(DocField(r, QStringLiteral("SongState")), QStringLiteral("1"));

    QList<CloudSongUpload> list {song, song};
    list[1].SongId = QStringLiteral("cms-2");
    ASSERT_EQ(SyncSongsToGroup(url(), QStringLiteral("-1"), QStringLiteral("列表"), list, result), REQUEST_OK);
    const int synced = result.objId.toInt();
    EXPECT_GT(synced, group);
    r = Last(QStringLiteral("synsongs2group"));
    EXPECT_EQ(DocField(r, QStringLiteral("GroupId")), QStringLiteral("-1"));
    const QJsonArray sent = r[QStringLiteral("document")].toObject()[QStringLiteral("songs")].toArray();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].toArray().size(), 6);
    EXPECT_EQ(sent[1].toArray().size(), 7); // SongId only when the track has a content id

    GroupListReply groups;
    ASSERT_EQ(GetPlayGroupOfUser(url(), vuid, groups), REQUEST_OK);
    ASSERT_EQ(groups.groups.size(), 2);
    EXPECT_EQ(groups.groups[0].name, QStringLiteral("新名字"));
    EXPECT_EQ(groups.groups[1].name, QStringLiteral("列表"));
    EXPECT_EQ(DocField(Last(QStringLiteral("getplaygroupofuser")), QStringLiteral("UserId")), vuid);

    ASSERT_EQ(DeleteCloudSong(url(), QStringLiteral("900"), result), REQUEST_OK);
    EXPECT_EQ(result.result, QStringLiteral("1"));
    ASSERT_EQ(DeletePlayGroup(url(), synced), REQUEST_OK);
    EXPECT_EQ(svc().Groups().size(), 1);

    ASSERT_EQ(GetRandomSongs(url(), songs), REQUEST_OK);
    EXPECT_EQ(songs.songs.size(), 30);
    EXPECT_EQ(DocField(Last(QStringLiteral("getrandom")), QStringLiteral("rows")), QStringLiteral("30"));
    for (const CloudSong& s : songs.songs) EXPECT_TRUE(s.SongAdress.startsWith(svc().Base()));

    ASSERT_EQ(AddSongScore(url(), QStringLiteral("q1"), QStringLiteral("s1"), 4), REQUEST_OK);
    r = Last(QStringLiteral("addsongscore"));
    EXPECT_EQ(DocField(r, QStringLiteral("Star")), QStringLiteral("4"));
    EXPECT_EQ(Header(r, QStringLiteral("vuid")), vuid);

    // Cover and lyrics of a catalogue song, found by title and artist.
    const QJsonObject first = svc().Catalogue().at(0).toObject();
    PictureQuery pic {QString(), 2, first[QStringLiteral("artist")].toString(), first[QStringLiteral("album")].toString(),
                      first[QStringLiteral("title")].toString(), QStringLiteral("/music/a b.mp3")};
    QString picture;
    ASSERT_EQ(RequestPictureUrl(url(), pic, picture), REQUEST_OK);
    EXPECT_TRUE(picture.endsWith(QStringLiteral("/cover/1001.bmp")));
    r = Last(QStringLiteral("getpic"));
    const QJsonArray params = r[QStringLiteral("document")].toObject()[QStringLiteral("fields")].toArray();
    const QStringList picNames {QStringLiteral("typeid"), QStringLiteral("pictype"), QStringLiteral("artist"),
                                QStringLiteral("album"), QStringLiteral("songname"), QStringLiteral("filename"),
                                QStringLiteral("fullpath"), QStringLiteral("offset"), QStringLiteral("rows"),
                                QStringLiteral("width"), QStringLiteral("height")};
    ASSERT_EQ(params.size(), picNames.size());
    for (int i = 0; i < picNames.size(); ++i) EXPECT_EQ(params[i].toArray()[0].toString(), picNames[i]);
    EXPECT_EQ(DocField(r, QStringLiteral("pictype")), QStringLiteral("2"));
    EXPECT_EQ(DocField(r, QStringLiteral("fullpath")), QStringLiteral("/music/a b.mp3"));

    LyricsQuery lq {QString(), QStringLiteral("gid"), first[QStringLiteral("artist")].toString(), QString(),
                    first[QStringLiteral("title")].toString(), QStringLiteral("a b"), QStringLiteral("/music/a b.mp3")};
    QString lyrics;
    ASSERT_EQ(RequestLyrics(url(), lq, lyrics), REQUEST_OK);
    EXPECT_EQ(lyrics, first[QStringLiteral("lyrics")].toString());
    EXPECT_EQ(DocField(Last(QStringLiteral("lrc")), QStringLiteral("type")), QStringLiteral("lrc"));
    EXPECT_EQ(DocField(Last(QStringLiteral("lrc")), QStringLiteral("source")), QStringLiteral("3"));

    // The same title by another artist is another song: no lyrics, no cover.
    lq.artist = QStringLiteral("Another Artist");
    lyrics.clear();
    ASSERT_EQ(RequestLyrics(url(), lq, lyrics), REQUEST_OK);
    EXPECT_TRUE(lyrics.isEmpty());
    pic.artist = lq.artist;
    picture.clear();
    RequestPictureUrl(url(), pic, picture);
    EXPECT_TRUE(picture.isEmpty());

    EXPECT_TRUE(recorder.Statuses().isEmpty());
}

TEST_F(ServiceMethods, EachFailureGivesItsStatusAndNotification)
{
    struct Case {
        const char* mode;
        int status;
        int notification;
    };
    const Case cases[] = {
        {"404", REQUEST_EMPTY, SERVICE_FAILED},
        {"empty", REQUEST_EMPTY, SERVICE_FAILED},
        {"drop", REQUEST_EMPTY, SERVICE_FAILED},
        {"malformed", REQUEST_MALFORMED, SERVICE_MALFORMED},
    };
    int expected = 0;
    for (const Case& c : cases) {
        svc().Switch(QStringLiteral("addmessage"), QString::fromLatin1(c.mode));
        EXPECT_EQ(AddMessage(url(), QStringLiteral("t"), QStringLiteral("m")), c.status) << c.mode;
        const auto got = Statuses(++expected);
        ASSERT_EQ(got.size(), expected) << c.mode;
        EXPECT_EQ(got.last(), qMakePair(c.notification, SOURCE_SERVICE)) << c.mode;
    }
    // The song methods report as source 207.
    svc().Switch(QStringLiteral("getrandom"), QStringLiteral("malformed"));
    SongListReply songs;
    EXPECT_EQ(GetRandomSongs(url(), songs), REQUEST_MALFORMED);
    EXPECT_EQ(Statuses(++expected).last(), qMakePair(SERVICE_MALFORMED, SOURCE_SONGS));

    // A slow answer within the bound still arrives.
    svc().Switch(QStringLiteral("addmessage"), QStringLiteral("slow"), 1500);
    EXPECT_EQ(AddMessage(url(), QStringLiteral("t"), QStringLiteral("m")), REQUEST_OK);

    // Nobody listening: unreachable.
    EXPECT_EQ(AddMessage(QStringLiteral("http://127.0.0.1:1/metadata/enter.do"), QStringLiteral("t"), QStringLiteral("m")),
              REQUEST_UNREACHABLE);
    EXPECT_EQ(Statuses(++expected).last(), qMakePair(SERVICE_UNREACHABLE, SOURCE_SERVICE));

    // A well-formed reply without the element a method needs.
    svc().Switch(QStringLiteral("getrandom"), QStringLiteral("huge"), 0, 64);
    EXPECT_EQ(GetRandomSongs(url(), songs), REQUEST_NO_ROOT);
    QCoreApplication::processEvents();
    EXPECT_EQ(recorder.Statuses().size(), expected);
}

TEST_F(ServiceMethods, RepliesAreReadWholeUpToTheBoundAndRefusedBeyond)
{
    constexpr qint64 bound = 4 * 1024 * 1024;
    svc().Switch(QStringLiteral("addmessage"), QStringLiteral("huge"), 0, bound);
    EXPECT_EQ(AddMessage(url(), QStringLiteral("t"), QStringLiteral("m")), REQUEST_OK);
    svc().Switch(QStringLiteral("addmessage"), QStringLiteral("huge"), 0, bound + 1);
    EXPECT_EQ(AddMessage(url(), QStringLiteral("t"), QStringLiteral("m")), REQUEST_EMPTY);
    svc().Switch(QStringLiteral("addmessage"), QStringLiteral("huge"), 0, 10 * 1024 * 1024);
    EXPECT_EQ(AddMessage(url(), QStringLiteral("t"), QStringLiteral("m")), REQUEST_EMPTY);
    EXPECT_EQ(Statuses(2).size(), 2);
}

TEST_F(ServiceMethods, ShuttingDownSendsNothing)
{
    SetShuttingDown();
    QList<MenuEntry> menu;
    EXPECT_EQ(RequestMenu(url(), menu), 0);
    EXPECT_EQ(AddMessage(url(), QStringLiteral("t"), QStringLiteral("m")), 0);
    QByteArray reply;
    EXPECT_EQ(PostXml(url(), nullptr, "m=optlog&r=x", reply), 0);
    EXPECT_EQ(AddMessage(QStringLiteral("http://127.0.0.1:1/x"), QStringLiteral("t"), QStringLiteral("m")), 0);
    QCoreApplication::processEvents();
    EXPECT_TRUE(svc().Requests().isEmpty());
    EXPECT_TRUE(recorder.Statuses().isEmpty());
}

TEST_F(ServiceMethods, TheServiceMeasuresUploadsAndAnswersTheCapacity)
{
    httplib::Client c("127.0.0.1", svc().Port());
    auto cap = c.Post("/up/getTempCapacity.do?orgin=2&vuid=v1", "", "text/plain");
    ASSERT_TRUE(cap);
    EXPECT_EQ(cap->body, "1073741824");
    const std::string file(300 * 1024, 'q');
    auto up = c.Post("/up/upload.do?orgin=2&song=%E6%AD%8C&vuid=v1", file, "application/octet-stream");
    ASSERT_TRUE(up);
    EXPECT_EQ(up->body, "0");
    const QJsonObject doc = svc().Requests(QStringLiteral("upload")).last().toObject()[QStringLiteral("document")].toObject();
    EXPECT_EQ(doc[QStringLiteral("size")].toInteger(), 300 * 1024);
    EXPECT_EQ(doc[QStringLiteral("md5")].toString(),
              QString::fromLatin1(QCryptographicHash::hash(QByteArray::fromStdString(file), QCryptographicHash::Md5).toHex()));
    EXPECT_EQ(doc[QStringLiteral("query")].toObject()[QStringLiteral("song")].toString(), QStringLiteral("歌"));
    EXPECT_EQ(svc().Requests(QStringLiteral("getTempCapacity")).size(), 1);

    // The pages the player embeds are served as they are; they ask for their songs, the search
    // text in UTF-8 or in the code page.
    auto page = c.Get("/metadata/enter.do?m=search&value=%E6%98%9F");
    ASSERT_TRUE(page);
    EXPECT_TRUE(QString::fromStdString(page->body).contains(QStringLiteral("/pages/ordel.js")));
    for (const char* query : {"/pages/data/songs.json?list=search&value=%E6%98%9F", "/pages/data/songs.json?list=search&value=%D0%C7"}) {
        auto songs = c.Get(query);
        ASSERT_TRUE(songs);
        const QJsonObject found = QJsonDocument::fromJson(QByteArray::fromStdString(songs->body)).object();
        EXPECT_EQ(found[QStringLiteral("value")].toString(), QStringLiteral("星")) << query;
        const QJsonArray list = found[QStringLiteral("songs")].toArray();
        ASSERT_FALSE(list.isEmpty()) << query;
        for (const QJsonValue& v : list) {
            const QJsonObject o = v.toObject();
            EXPECT_TRUE((o[QStringLiteral("title")].toString() + o[QStringLiteral("artist")].toString()
                         + o[QStringLiteral("album")].toString()).contains(QStringLiteral("星")));
            EXPECT_TRUE(o[QStringLiteral("url")].toString().startsWith(svc().Base() + QStringLiteral("/media/")));
        }
    }
    auto recommend = c.Get("/pages/recommend.html");
    ASSERT_TRUE(recommend);
    EXPECT_TRUE(QString::fromStdString(recommend->body).contains(QStringLiteral("Ordel.cards")));
    EXPECT_EQ(c.Get("/pages/../CMakeLists.txt")->status, 404);
}

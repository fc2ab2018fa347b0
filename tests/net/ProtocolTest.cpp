// The protocol helpers on their own: encoding, documents, header block, prolog rule, readers.
#include "base/CodePage.h"
#include "net/CQvCINet.h"
#include "net/CQvNetClient.h"
#include "net/proto/RequestDocument.h"
#include "net/proto/ServiceReplies.h"
#include "net/proto/UrlEncode.h"

#include <gtest/gtest.h>

TEST(UrlEncode, EscapesEverythingButLettersAndDigitsAndBothVariantsAgree)
{
    const QByteArray in = QStringLiteral("aZ09 -_.~&=%+/中").toUtf8();
    const QByteArray want = "aZ09%20%2D%5F%2E%7E%26%3D%25%2B%2F%E4%B8%AD";
    EXPECT_EQ(UrlEncode(in), want);
    EXPECT_EQ(UrlEncodeCounted(in), want);
    EXPECT_EQ(UrlEncode(QByteArray()), QByteArray());
    QByteArray all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    EXPECT_EQ(UrlEncode(all), UrlEncodeCounted(all));
    EXPECT_EQ(UrlDecode(UrlEncode(all)), all);
    EXPECT_EQ(UrlDecode("a%2"), QByteArray("a%2")); // a cut escape stays as it is
    EXPECT_EQ(UrlDecode("%zz+%41"), QByteArray("%zz A"));
}

TEST(Urls, SplitsHostPortAndObject)
{
    CQvNetClient c;
    c.ParseUrl(QStringLiteral("http://example.org/metadata/enter.do"));
    EXPECT_EQ(c.m_strHost, QStringLiteral("example.org"));
    EXPECT_EQ(c.m_nPort, 80);
    EXPECT_EQ(c.m_strObject, QStringLiteral("/metadata/enter.do"));
    c.ParseUrl(QStringLiteral("http://host.example:8080/p?q=1"));
    EXPECT_EQ(c.m_strHost, QStringLiteral("host.example"));
    EXPECT_EQ(c.m_nPort, 8080);
    EXPECT_EQ(c.m_strObject, QStringLiteral("/p?q=1"));
    // A ":" in the query does not move the host.
    c.ParseUrl(QStringLiteral("http://h/p?t=12:30"));
    EXPECT_EQ(c.m_strHost, QStringLiteral("h"));
    EXPECT_EQ(c.m_nPort, 80);
    EXPECT_EQ(c.m_strObject, QStringLiteral("/p?t=12:30"));

    QString host, path;
    int port = 0;
    EXPECT_EQ(CrackUrl(QStringLiteral("http://127.0.0.1:9/cover/1.bmp?x=a:b"), host, port, path), 1);
    EXPECT_EQ(host, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(port, 9);
    EXPECT_EQ(path, QStringLiteral("/cover/1.bmp?x=a:b"));
    CrackUrl(QStringLiteral("http://h"), host, port, path);
    EXPECT_EQ(port, 80);
    EXPECT_EQ(path, QStringLiteral("/"));
}

TEST(RequestDocument, MethodDocumentRoundTripsThroughTheBody)
{
    auto doc = CRequestDocument::Method();
    doc->Add("method", QStringLiteral("addmessage"));
    doc->Add("title", QStringLiteral("a b&c=d 中"));
    doc->Add("n", 42);
    const QByteArray printed = doc->Print();
    EXPECT_TRUE(printed.startsWith("<?xml version=\"1.0\" encoding=\"GBK\"?>"));
    EXPECT_TRUE(printed.contains("<title type=\"string\">"));
    // The printed text holds code-page bytes, the body UTF-8 percent-encoded.
    EXPECT_TRUE(printed.contains(ToAnsi(QStringLiteral("中"))));
    const QByteArray body = EncodeRequestBody("m=addmessage&value=", printed);
    EXPECT_TRUE(body.startsWith("m=addmessage&value=%3C%3Fxml"));
    EXPECT_TRUE(body.contains("%20b%26amp%3Bc%3Dd%20%E4%B8%AD"));

    const FormFields form = ParseForm(body);
    RequestContent content;
    ASSERT_TRUE(DecodeRequestDocument(FormValue(form, "value"), content));
    EXPECT_EQ(content.root, QStringLiteral("o"));
    EXPECT_EQ(content.method, QStringLiteral("addmessage"));
    EXPECT_EQ(content.encoding, QStringLiteral("GBK"));
    ASSERT_EQ(content.fields.size(), 3);
    EXPECT_EQ(content.fields[1].second, QStringLiteral("a b&c=d 中"));
    EXPECT_EQ(content.fields[2].second, QStringLiteral("42"));

    auto params = CRequestDocument::Params("getpic");
    params->Add("artist", QStringLiteral("A\"<>"));
    params->Add("pictype", 2);
    ASSERT_TRUE(DecodeRequestDocument(FromAnsi(params->Print()).toUtf8(), content));
    EXPECT_EQ(content.root, QStringLiteral("request"));
    EXPECT_EQ(content.method, QStringLiteral("getpic"));
    ASSERT_EQ(content.fields.size(), 2);
    EXPECT_EQ(content.fields[0], qMakePair(QStringLiteral("artist"), QStringLiteral("A\"<>")));

    EXPECT_EQ(EncodeRequestBody("m=getmenu&r=null", QByteArray()), QByteArray("m=getmenu&r=null"));
}

TEST(RequestHeaders, SignedOutSendsZeroForUserFields)
{
    RequestIdentity id;
    id.clientId = QStringLiteral("cid");
    id.instanceId = QStringLiteral("run");
    id.mac = QStringLiteral("FF:10:21:32:43:54");
    const QString h = FormatRequestHeaders(id);
    EXPECT_EQ(h, QStringLiteral("appclientid: cid\r\nappuid: run\r\nappver: 1.0\r\nappmail: 0\r\nappclientip: 0\r\n"
                                "appclientgate: 0\r\nappmac: FF-10-21-32-43-54\r\napptpid: \r\nappuserid: 0\r\n"
                                "appnickname: 0\r\nappregmail: 0\r\nappmacuserid: 0\r\napphostid: 0\r\nvuid: 0\r\n"
                                "User-Agent: 1.0"));
    // A value that looks like a placeholder is carried as it is.
    id.nickname = QStringLiteral("%1%2");
    EXPECT_TRUE(FormatRequestHeaders(id).contains(QStringLiteral("appnickname: %1%2\r\n")));
}

TEST(ReplyProlog, BlanksOnlyUtf8Declarations)
{
    QByteArray utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\t<o/>";
    BlankUtf8Prolog(utf8);
    EXPECT_EQ(utf8, QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>   <o/>"));
    QByteArray gbk = "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<o/>";
    const QByteArray before = gbk;
    BlankUtf8Prolog(gbk);
    EXPECT_EQ(gbk, before);
    QByteArray atStart = "encoding=\"utf-8\">\n<o/>"; // found at position 0: left alone
    BlankUtf8Prolog(atStart);
    EXPECT_EQ(atStart, QByteArray("encoding=\"utf-8\">\n<o/>"));
    QByteArray open = "<?xml encoding=\"utf-8";
    BlankUtf8Prolog(open);
    EXPECT_EQ(open, QByteArray("<?xml encoding=\"utf-8"));
}

TEST(ReplyReaders, ReadTheFieldsTheMethodsUse)
{
    QList<MenuEntry> menu;
    EXPECT_EQ(ParseMenuReply("<m><menu><Id>7</Id><Name>音乐推荐</Name><Url>http://u/</Url><Type>2</Type>"
                             "<OpenType>1</OpenType></menu><menu><Id>8</Id></menu></m>",
                             menu),
              REPLY_OK);
    ASSERT_EQ(menu.size(), 1);
    EXPECT_EQ(menu[0].Id, QStringLiteral("7"));
    EXPECT_EQ(menu[0].Name, QStringLiteral("音乐推荐"));
    EXPECT_EQ(menu[0].Type, 2);
    EXPECT_EQ(menu[0].OpenType, 1);

    GroupListReply groups;
    EXPECT_EQ(ParseGroupListReply("<o><rs><result>1</result></rs><GroupList><Group><GroupName>A</GroupName>"
                                  "<GroupId>5</GroupId><GroupList><Group><GroupName>B</GroupName><GroupId>6</GroupId>"
                                  "</Group></GroupList></Group></GroupList></o>",
                                  groups),
              REPLY_OK);
    ASSERT_EQ(groups.groups.size(), 1);
    EXPECT_EQ(groups.result, QStringLiteral("1"));
    EXPECT_EQ(groups.groups[0].id, 5);
    ASSERT_EQ(groups.groups[0].children.size(), 1);
    EXPECT_EQ(groups.groups[0].children[0].name, QStringLiteral("B"));
    EXPECT_EQ(ParseGroupListReply("<o><rs><result>1</result></rs><GroupList/></o>", groups), REPLY_OK);
    EXPECT_TRUE(groups.groups.isEmpty());

    ResultReply result;
    EXPECT_EQ(ParseResultReply("<o><result>1</result><objId>77</objId></o>", result), REPLY_OK);
    EXPECT_EQ(result.objId, QStringLiteral("77"));
    EXPECT_EQ(ParseResultReply("<o><nothing/></o>", result), REPLY_NO_ROOT);

    QString text;
    EXPECT_EQ(ParseLyricsReply("<r><music><content>[00:01.00][00:05.00]la</content></music></r>", text), REPLY_OK);
    EXPECT_EQ(NormaliseServiceLyrics(text), QStringLiteral("\n[00:01.00]\n[00:05.00]la"));
    EXPECT_EQ(NormaliseServiceLyrics(QStringLiteral("[[00:01.00]x")), QStringLiteral("\n[00:01.00]x"));
    EXPECT_EQ(ParsePictureReply("<p><url value=\"http://a/b.bmp\"/></p>", text), REPLY_OK);
    EXPECT_EQ(text, QStringLiteral("http://a/b.bmp"));

    EXPECT_EQ(ParseRootReply(""), REPLY_NO_ROOT);
    EXPECT_EQ(ParseRootReply("<o>"), REPLY_MALFORMED);
    EXPECT_EQ(ParseRootReply("   "), REPLY_NO_ROOT);

    UserInfoReply user;
    ParseUserInfoReply("0$10001$m$昵称$r$0$0$0", user);
    EXPECT_TRUE(user.signedIn);
    EXPECT_EQ(user.userId, QStringLiteral("10001"));
    EXPECT_EQ(user.nickname, QStringLiteral("昵称"));
    ParseUserInfoReply("garbage", user);
    EXPECT_FALSE(user.signedIn);
    ParseUserInfoReply("1$x", user);
    EXPECT_FALSE(user.signedIn);
    EXPECT_EQ(ReadDecimal(" -12abc"), -12);
    EXPECT_EQ(ReadDecimal("99999999999"), 2147483647);
}

TEST(ReplyReaders, HostileRepliesDoNotCrash)
{
    // Deep nesting: the XML library refuses it past its depth bound.
    QByteArray deep;
    for (int i = 0; i < 5000; ++i) deep += "<GroupList><Group>";
    GroupListReply groups;
    EXPECT_EQ(ParseGroupListReply("<o>" + deep + "</o>", groups), REPLY_MALFORMED);
    QByteArray nested = "<o><GroupList>";
    for (int i = 0; i < 40; ++i) nested += "<Group><GroupId>1</GroupId><GroupList>";
    for (int i = 0; i < 40; ++i) nested += "</GroupList></Group>";
    nested += "</GroupList></o>";
    EXPECT_EQ(ParseGroupListReply(nested, groups), REPLY_OK);
    // Invalid UTF-8 becomes replacement characters, not a failure.
    SongListReply songs;
    EXPECT_EQ(ParseSongListReply("<o><SongList><Song><SongName>\xff\xfe\xc3</SongName></Song></SongList></o>", songs), REPLY_OK);
    ASSERT_EQ(songs.songs.size(), 1);
    EXPECT_FALSE(songs.songs[0].SongName.isEmpty());
    // A 10 MB body of one text node.
    QByteArray big = "<o><result>" + QByteArray(10 * 1024 * 1024, 'x') + "</result></o>";
    UpdateReply update;
    EXPECT_EQ(ParseUpdateReply(big, update), REPLY_OK);
    EXPECT_EQ(update.result.size(), 10 * 1024 * 1024);
    QByteArray zeros("<o>\0\0</o>", 9);
    EXPECT_NE(ParseRootReply(zeros), REPLY_OK);
}

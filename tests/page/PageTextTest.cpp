// The texts pages and player exchange, without a page: the style pair, the groups of a
// "selfopt://" address, DelMusic's indexes, GetItem's and GetLoginString's texts, the upload
// address.
#include "ui/page/PageText.h"

#include <gtest/gtest.h>

TEST(PageText, StylePairGoesAfterQuestionMarkOrAmpersand)
{
    EXPECT_EQ(AppendPageStyle(QStringLiteral("http://h/p.html"), 0), QStringLiteral("http://h/p.html?cssStyle=blue"));
    EXPECT_EQ(AppendPageStyle(QStringLiteral("http://h/p.do?a=1"), 1), QStringLiteral("http://h/p.do?a=1&cssStyle=gold"));
    EXPECT_EQ(AppendPageStyle(QStringLiteral("http://h/p"), 2), QStringLiteral("http://h/p?cssStyle=purple"));
    EXPECT_EQ(PageStyleParam(7), QStringLiteral("cssStyle=purple"));
    EXPECT_EQ(PageStyleParam(-1), QStringLiteral("cssStyle=purple"));
}

TEST(PageText, SelfOptGroupsAndTheirFields)
{
    const QList<PageTrackFields> groups = ParseSelfOpt(QStringLiteral(
        "{play^song|Hello%20World^artist|<b>B</b>^album|null^url|http://s/1.mp3^star|4^pageno|2^keyword|k}"
        "junk{add^song|C^url|http://s/2.mp3^id|77^unknown|x}{stop^song|D}{play^song|E"));
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].action, QStringLiteral("play"));
    EXPECT_EQ(groups[0].song, QStringLiteral("Hello World"));
    EXPECT_EQ(groups[0].artist, QStringLiteral("B"));
    EXPECT_TRUE(groups[0].album.isEmpty());
    EXPECT_EQ(groups[0].url, QStringLiteral("http://s/1.mp3"));
    EXPECT_EQ(groups[0].star, 4);
    EXPECT_EQ(groups[0].pageno, 2);
    EXPECT_EQ(groups[0].keyword, QStringLiteral("k"));
    EXPECT_EQ(groups[1].action, QStringLiteral("add"));
    EXPECT_EQ(groups[1].id, QStringLiteral("77"));
    EXPECT_TRUE(ParseSelfOpt(QString()).isEmpty());
    EXPECT_TRUE(IsSelfOptUrl(QStringLiteral("SelfOpt://{play^}")));
    EXPECT_FALSE(IsSelfOptUrl(QStringLiteral("http://selfopt://")));
}

TEST(PageText, IndexesItemsAndLoginString)
{
    EXPECT_EQ(ParseIndexList(QStringLiteral("3|7|")), (QList<int> {3, 7}));
    EXPECT_EQ(ParseIndexList(QStringLiteral("3|x|9")), (QList<int> {3, 9}));
    EXPECT_TRUE(ParseIndexList(QStringLiteral("|||")).isEmpty());
    EXPECT_EQ(FormatPageItem(QStringLiteral("Don't"), QStringLiteral("O'Brien"), QStringLiteral("A"), QStringLiteral("g")),
              QStringLiteral("{'name':'Dont','singer':'OBrien','album':'A','GID':'g'}"));
    EXPECT_EQ(FormatLoginString(QStringLiteral("V"), QStringLiteral("P")), QStringLiteral("orgin=2&vuid=V&phone=P"));
    EXPECT_TRUE(FormatLoginString(QStringLiteral("V"), QString()).isEmpty());
    EXPECT_EQ(OriginOf(QStringLiteral("http://127.0.0.1:8080/metadata/enter.do")), QStringLiteral("http://127.0.0.1:8080"));
    EXPECT_EQ(OriginOf(QStringLiteral("HTTP://Example.com/x")), QStringLiteral("http://example.com"));
    EXPECT_TRUE(OriginOf(QStringLiteral("not a url")).isEmpty());
}

TEST(PageText, UploadAddressEncodesItsTexts)
{
    const QString address = UploadAddress(QStringLiteral("http://h/up/upload.do"), QStringLiteral("A B&C"),
                                          QStringLiteral("歌手"), QStringLiteral("0123abcd"), QStringLiteral("138"),
                                          QStringLiteral("/music/x y.mp3"), QStringLiteral("V1"), QStringLiteral("专辑"));
    EXPECT_TRUE(address.startsWith(QStringLiteral("http://h/up/upload.do?orgin=2&song=A%20B%26C&singer=%")));
    EXPECT_TRUE(address.contains(QStringLiteral("&uploadkey=0123abcd&phone=138&filename=x%20y%2Emp3&vuid=V1&album=%")));
}

#include "library/AddUrlCheck.h"

#include <gtest/gtest.h>

TEST(AddUrlCheck, HttpNeedsALowerCaseMusicExtensionAndMmsTenCharacters)
{
    EXPECT_EQ(CheckAddUrl("http://host/a/song.mp3"), AddUrlCheck::Valid);
    EXPECT_EQ(CheckAddUrl("HTTP://host/song.wma"), AddUrlCheck::Valid);
    EXPECT_EQ(CheckAddUrl("http://host/song.MP3"), AddUrlCheck::Invalid);
    EXPECT_EQ(CheckAddUrl("http://host/song.mp3?x=1"), AddUrlCheck::Invalid);
    EXPECT_EQ(CheckAddUrl("http://host/songmp3"), AddUrlCheck::Invalid);
    EXPECT_EQ(CheckAddUrl("http:"), AddUrlCheck::Invalid);
    // Only what the player can open: a scheme without both slashes is no address of it.
    EXPECT_EQ(CheckAddUrl("http:/host/a.mp3"), AddUrlCheck::Invalid);
    EXPECT_EQ(CheckAddUrl("http:host/a.mp3"), AddUrlCheck::Invalid);
    EXPECT_EQ(CheckAddUrl("HTTP:\\\\host\\a.mp3"), AddUrlCheck::Invalid);
    EXPECT_EQ(CheckAddUrl("mms:/host/live"), AddUrlCheck::Invalid);

    EXPECT_EQ(CheckAddUrl("mms://a"), AddUrlCheck::Invalid); // 7 characters
    EXPECT_EQ(CheckAddUrl("mms://abc"), AddUrlCheck::Invalid); // 9
    EXPECT_EQ(CheckAddUrl("mms://abcd"), AddUrlCheck::Valid);  // 10
    EXPECT_EQ(CheckAddUrl("mms://host/live"), AddUrlCheck::Valid);

    EXPECT_EQ(CheckAddUrl("ftp://host/song.mp3"), AddUrlCheck::Ignored);
    EXPECT_EQ(CheckAddUrl("https://host/song.mp3"), AddUrlCheck::Ignored);
    EXPECT_EQ(CheckAddUrl("song.mp3"), AddUrlCheck::Ignored);
    EXPECT_EQ(CheckAddUrl(""), AddUrlCheck::Ignored);
    EXPECT_EQ(QString::fromUtf16(kInvalidUrlText), QStringLiteral("网络链接为无效地址！"));
}

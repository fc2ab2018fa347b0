#include "base/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, GbkBytesReadAsGbkAndBack)
{
    // "中文歌曲" in GBK.
    const QByteArray gbk("\xD6\xD0\xCE\xC4\xB8\xE8\xC7\xFA");
    const QString text = FromAnsi(gbk);
    EXPECT_EQ(text, QStringLiteral("中文歌曲"));
    EXPECT_EQ(ToAnsi(text), gbk);

    // Mixed with ASCII, and the euro sign that GBK places at 0x80.
    EXPECT_EQ(FromAnsi(QByteArray("a\xD6\xD0" "b")), QStringLiteral("a中b"));
    EXPECT_EQ(ToAnsi(QStringLiteral("abc")), QByteArray("abc"));
    EXPECT_TRUE(ToAnsi(QString()).isEmpty());
    EXPECT_TRUE(FromAnsi(QByteArray()).isEmpty());
}

TEST(CodePage, CharactersOutsideGbkSurviveARoundTrip)
{
    for (const QString& s : {QStringLiteral("𠀀"), QStringLiteral("😀 smile"), QStringLiteral("Café ß ñ"),
                             QStringLiteral("한국어"), QStringLiteral("日本語のテキスト")}) {
        const QByteArray bytes = ToAnsi(s);
        EXPECT_EQ(FromAnsi(bytes), s) << s.toStdString();
    }
}

TEST(CodePage, InvalidBytesBecomeReplacementAndTheRestIsKept)
{
    bool valid = true;
    // 0xFF is never a lead byte; the text after it must still be read.
    const QString text = FromAnsi(QByteArray("\xFF" "ab\xD6\xD0"), &valid);
    EXPECT_FALSE(valid);
    EXPECT_EQ(text, QStringLiteral("\uFFFDab中"));

    // A lead byte cut off at the end.
    EXPECT_EQ(FromAnsi(QByteArray("x\xD6"), &valid), QStringLiteral("x\uFFFD"));
    EXPECT_FALSE(valid);

    FromAnsi(QByteArray("\xD6\xD0"), &valid);
    EXPECT_TRUE(valid);
}

TEST(CodePage, LoneSurrogateDoesNotStopTheConversion)
{
    QString s = QStringLiteral("a");
    s.append(QChar(0xD800));
    s.append(QStringLiteral("中"));
    EXPECT_EQ(FromAnsi(ToAnsi(s)), QStringLiteral("a?中"));
}

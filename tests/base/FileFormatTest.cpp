#include "base/CodePage.h"
#include "base/IniFile.h"
#include "base/XmlFile.h"

#include "tests/common/TestUtil.h"

#include <QTemporaryDir>

#include <tinyxml2.h>

#include <climits>

#include <gtest/gtest.h>

TEST(IniFile, EachEncodingReadsAndWritesItsOwnBytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("a.ini");
    const QString title = QStringLiteral("中文");
    ASSERT_TRUE(testutil::WriteFile(path, "[S]\r\nk=" + ToAnsi(title) + "\r\n\r\n; kept\r\n[T]\r\nq = 'x y' \r\n"));

    IniFile ansi(IniFile::Encoding::CodePage, "\r\n");
    ASSERT_TRUE(ansi.Load(path));
    QString v;
    ASSERT_TRUE(ansi.Value("s", "K", v));
    EXPECT_EQ(v, title);
    ASSERT_TRUE(ansi.Value("t", "q", v));
    EXPECT_EQ(v, QStringLiteral("x y")); // trimmed, one pair of quotes dropped
    EXPECT_FALSE(ansi.Value("s", "q", v));
    ansi.SetValue("s", "new", title);
    ASSERT_TRUE(ansi.Save(path));
    // Unchanged lines stay as they were, blank ones and comments too; the key joins its section.
    EXPECT_EQ(testutil::ReadFile(path),
              "[S]\r\nk=" + ToAnsi(title) + "\r\nnew=" + ToAnsi(title) + "\r\n\r\n; kept\r\n[T]\r\nq = 'x y' \r\n");

    IniFile utf8(IniFile::Encoding::Utf8, "\n");
    EXPECT_FALSE(utf8.Load(dir.filePath("missing.ini")));
    utf8.SetValue("s", "k", title);
    ASSERT_TRUE(utf8.Save(path));
    EXPECT_EQ(testutil::ReadFile(path), "[s]\nk=" + title.toUtf8() + "\n");
}

TEST(IniFile, ProfileIntegersAreTheLeadingNumber)
{
    EXPECT_EQ(ProfileInt(QStringLiteral(" 42px"), 7), 42);
    EXPECT_EQ(ProfileInt(QStringLiteral("-3"), 7), -3);
    EXPECT_EQ(ProfileInt(QStringLiteral("+5"), 7), 5);
    EXPECT_EQ(ProfileInt(QString(), 7), 7);
    EXPECT_EQ(ProfileInt(QStringLiteral("abc"), 7), 7);
    EXPECT_EQ(ProfileInt(QStringLiteral("-"), 7), 7);
    EXPECT_EQ(ProfileInt(QStringLiteral("99999999999999999999"), 7), INT_MAX);
    EXPECT_EQ(ProfileInt(QStringLiteral("-99999999999999999999"), 7), INT_MIN);
}

TEST(XmlFile, ReadsTellMissingFromMalformedAndAttributesAreCodePageText)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    tinyxml2::XMLDocument doc;
    EXPECT_EQ(ReadXmlFile(dir.filePath("none.xml"), doc), XmlFileRead::Missing);
    const QString bad = dir.filePath("bad.xml");
    ASSERT_TRUE(testutil::WriteFile(bad, "<root><a></root>"));
    EXPECT_EQ(ReadXmlFile(bad, doc), XmlFileRead::Malformed);

    tinyxml2::XMLDocument out;
    tinyxml2::XMLElement* root = out.NewElement("root");
    out.InsertEndChild(root);
    SetXmlAttrText(root, "name", QStringLiteral("歌 & \"曲\""));
    const QByteArray printed = PrintXml(out);
    EXPECT_FALSE(printed.contains('\0'));
    const QString good = dir.filePath("good.xml");
    ASSERT_TRUE(testutil::WriteFile(good, printed));
    ASSERT_EQ(ReadXmlFile(good, doc), XmlFileRead::Parsed);
    bool present = false;
    EXPECT_EQ(XmlAttrText(doc.RootElement(), "name", &present), QStringLiteral("歌 & \"曲\""));
    EXPECT_TRUE(present);
    EXPECT_TRUE(XmlAttrText(doc.RootElement(), "other", &present).isEmpty());
    EXPECT_FALSE(present);
    EXPECT_TRUE(printed.contains(ToAnsi(QStringLiteral("歌"))));
}

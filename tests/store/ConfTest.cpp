#include "store/CQvConf.h"

#include "tests/common/TestUtil.h"
#include "tests/store/StoreTestUtil.h"

#include "base/CodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using testutil::ReadFile;
using testutil::WriteFile;

TEST(Conf, FirstStartFoldersAndDefaults)
{
    TempHome t;
    EXPECT_TRUE(QFileInfo(t.conf.DataDir()).isDir());
    EXPECT_TRUE(QFileInfo(t.conf.CoverDir()).isDir());
    EXPECT_TRUE(QFileInfo(t.conf.UserDir()).isDir());
    EXPECT_TRUE(t.conf.UserDir().startsWith(t.dir.path() + QStringLiteral("/config/")));
    EXPECT_FALSE(QFileInfo(t.conf.LyricsDir()).exists());
    EXPECT_EQ(t.conf.DataDir(), t.home + QStringLiteral("data/"));

    EXPECT_EQ(t.conf.LoadConfig(t.conf.DataDir()), -1);
    const ConfigSettings& s = t.conf.Settings();
    EXPECT_EQ(s.volume, 50);
    EXPECT_EQ(s.selectnode, QStringLiteral("本地音乐"));
    EXPECT_EQ(s.lrcleft, 0);
    EXPECT_EQ(s.lrctop, 0);
    EXPECT_EQ(s.lrcright, 100);
    EXPECT_EQ(s.lrcbottom, 300);
    EXPECT_EQ(s.FontSize, 48);
    EXPECT_EQ(s.mac, QStringLiteral("0"));
    EXPECT_EQ(t.conf.Info().version, QStringLiteral("1.0"));
    EXPECT_EQ(t.conf.Info().udpUrl, QLatin1String(kDefaultUdpUrl));
    EXPECT_EQ(t.conf.Info().updateCount, 1);
}

TEST(Conf, TheHomeAndTheUserFolderAreMadePrivate)
{
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
    // A home that exists already, open to everyone, as an older start or an unpacked copy left it.
    const QString home = dir.path() + QStringLiteral("/home");
    const QString user = dir.path() + QStringLiteral("/config/ordel");
    ASSERT_TRUE(QDir().mkpath(home));
    ASSERT_TRUE(QDir().mkpath(user));
    const auto open = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                      QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(home, open));
    ASSERT_TRUE(QFile::setPermissions(user, open));
    CQvConf conf;
    conf.SetDirectories(home);
    const auto mine = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    auto others = [](const QString& path) {
        return QFile::permissions(path) & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                            QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
    };
    EXPECT_EQ(others(home), QFileDevice::Permissions());
    EXPECT_EQ(others(conf.UserDir()), QFileDevice::Permissions());
    EXPECT_EQ(QFile::permissions(home) & mine, mine);
}

TEST(Conf, SaveWritesEveryAttributeInOrderAndReadsItBack)
{
    TempHome t;
    WriteFile(t.home + QStringLiteral("Info.ini"), "[info]\r\nversion=2.5.1\r\n");
    ConfigSettings& s = t.conf.Settings();
    s.clientid = QStringLiteral("0b1e-uuid");
    s.selectnode = QStringLiteral("我的列表 'a' & <b> \"c\"");
    s.volume = 73;
    s.FontSize = 12;
    s.eqmode = 4;
    s.email = QStringLiteral("user@example.org");
    s.fontname = QStringLiteral("微软雅黑");
    s.mainx = 11; s.mainy = 12;
    s.minix = 21; s.miniy = 22;
    s.lrcleft = 31; s.lrctop = 32; s.lrcright = 433; s.lrcbottom = 534;
    s.lrcx = 41; s.lrcy = 42;
    s.usertype = 9;
    s.macuserid.clear();
    s.macuseridFallback = QStringLiteral("second-id");
    s.picFolders = {QStringLiteral("/pics/一")};
    ASSERT_EQ(t.conf.SaveConfig(), 0);

    const QByteArray bytes = ReadFile(t.Data("Config.xml"));
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"GBK\"?>"));
    // Text goes out in the code page, not in UTF-8.
    EXPECT_TRUE(bytes.contains(ToAnsi(QStringLiteral("微软雅黑"))));
    EXPECT_FALSE(bytes.contains(QStringLiteral("微软雅黑").toUtf8()));
    EXPECT_TRUE(bytes.contains("ver=\"2.5.1\""));
    EXPECT_TRUE(bytes.contains("macuserid=\"second-id\""));
    EXPECT_FALSE(bytes.contains("usertype"));
    const char* order[] = {"ver=", "clientid=", "selectnode=", "volume=", "search=", "showsearch=",
                           "rolltype=", "AppearanceStyle=", "ColorConfig=", "FontSize=", "ColorScheme=",
                           "curmedia=", "group=", "item=", "subitem=", "nodename=", "curlist=", "email=",
                           "exittime=", "newnum=", "skin=", "dlgstate=", "acc=", "eqmode=", "mainx=",
                           "mainy=", "minix=", "miniy=", "lrcleft=", "lrctop=", "lrcright=", "lrcbottom=",
                           "fontname=", "lrcx=", "lrcy=", "lrcpath=", "autoreply=", "themeid=", "themetype=",
                           "picfolder=", "piceffect=", "stoptheme=", "picbig=", "lrcinpic=", "showaddnetmsg=",
                           "autoaddmusic=", "showexportmsg=", "showaddmusicdone=", "mac=", "tpid=",
                           "SearchPath=", "macuserid="};
    qsizetype last = -1;
    for (const char* a : order) {
        const qsizetype at = bytes.indexOf(QByteArray(" ") + a);
        EXPECT_GT(at, last) << a;
        last = at;
    }

    CQvConf again;
    again.SetDirectories(t.home);
    ASSERT_EQ(again.LoadConfig(again.DataDir()), 0);
    const ConfigSettings& r = again.Settings();
    EXPECT_EQ(r.clientid, s.clientid);
    EXPECT_EQ(r.selectnode, s.selectnode);
    EXPECT_EQ(r.volume, 73);
    EXPECT_EQ(r.FontSize, 12);
    EXPECT_EQ(r.eqmode, 4);
    EXPECT_EQ(r.email, s.email);
    EXPECT_EQ(r.fontname, s.fontname);
    EXPECT_EQ(r.macuserid, QStringLiteral("second-id"));
    EXPECT_EQ(r.usertype, 0);
    // Every window keeps its own place.
    EXPECT_EQ(std::make_pair(r.mainx, r.mainy), std::make_pair(11, 12));
    EXPECT_EQ(std::make_pair(r.minix, r.miniy), std::make_pair(21, 22));
    EXPECT_EQ(r.lrcleft, 31);
    EXPECT_EQ(r.lrctop, 32);
    EXPECT_EQ(r.lrcright, 433);
    EXPECT_EQ(r.lrcbottom, 534);
    EXPECT_EQ(std::make_pair(r.lrcx, r.lrcy), std::make_pair(41, 42));
    EXPECT_EQ(r.picFolders, QStringList {QStringLiteral("/pics/一")});
}

TEST(Conf, ReadingAnAttributeSetByHand)
{
    TempHome t;
    WriteFile(t.home + QStringLiteral("Info.ini"), "[Info]\r\nskin = 3\r\n");
    // "curlist" is read after "selectnode" and wins; "usertype" is read; bad numbers keep defaults.
    WriteFile(t.Data("Config.xml"),
              "<?xml version=\"1.0\" encoding=\"GBK\"?><root><config selectnode=\"a\" curlist=\"b\" "
              "usertype=\"2\" volume=\"loud\" FontSize=\"20\"/></root>");
    ASSERT_EQ(t.conf.LoadConfig(t.conf.DataDir()), 0);
    EXPECT_EQ(t.conf.Settings().selectnode, QStringLiteral("b"));
    EXPECT_EQ(t.conf.Settings().usertype, 2);
    EXPECT_EQ(t.conf.Settings().volume, 50);
    EXPECT_EQ(t.conf.Settings().FontSize, 20);
    // A missing "skin" takes the one of "Info.ini".
    EXPECT_EQ(t.conf.Settings().skin, 3);
}

TEST(Conf, ListsReverseOnEachSaveAndAutoScanKeepsTen)
{
    TempHome t;
    ConfigSettings& s = t.conf.Settings();
    s.picFolders = {QStringLiteral("/p/a"), QStringLiteral("/p/b"), QStringLiteral("/p/c")};
    for (int i = 0; i < 12; ++i) s.autoScanPaths.append(QStringLiteral("/music/%1").arg(i));
    ASSERT_EQ(t.conf.SaveConfig(), 0);
    EXPECT_EQ(ReadFile(t.Data("Config.xml")).count("<autoscanpath "), 10);

    CQvConf first;
    first.SetDirectories(t.home);
    ASSERT_EQ(first.LoadConfig(first.DataDir()), 0);
    EXPECT_EQ(first.Settings().picFolders,
              (QStringList {QStringLiteral("/p/c"), QStringLiteral("/p/b"), QStringLiteral("/p/a")}));
    ASSERT_EQ(first.Settings().autoScanPaths.size(), 10);
    EXPECT_EQ(first.Settings().autoScanPaths.front(), QStringLiteral("/music/9"));
    EXPECT_EQ(first.Settings().autoScanPaths.back(), QStringLiteral("/music/0"));

    ASSERT_EQ(first.SaveConfig(), 0);
    CQvConf second;
    second.SetDirectories(t.home);
    ASSERT_EQ(second.LoadConfig(second.DataDir()), 0);
    EXPECT_EQ(second.Settings().picFolders, s.picFolders);
}

TEST(Conf, DamagedConfigIsMovedAsideOnceAndStartsAfresh)
{
    TempHome t;
    t.conf.Settings().volume = 10;
    ASSERT_EQ(t.conf.SaveConfig(), 0);
    QByteArray whole = ReadFile(t.Data("Config.xml"));
    const QByteArray cut = whole.left(whole.size() / 2);
    WriteFile(t.Data("Config.xml"), cut);

    const int before = CountInLog(QStringLiteral("Config.xml"));
    CQvConf c;
    c.SetDirectories(t.home);
    EXPECT_EQ(c.LoadConfig(c.DataDir()), -1);
    EXPECT_EQ(c.Settings().volume, 50);
    EXPECT_FALSE(QFileInfo::exists(t.Data("Config.xml")));
    EXPECT_EQ(ReadFile(t.Data("Config.xml.damaged")), cut);
    EXPECT_EQ(CountInLog(QStringLiteral("Config.xml")), before + 1);
    // Loading again finds no file: nothing more is moved or logged.
    EXPECT_EQ(c.LoadConfig(c.DataDir()), -1);
    EXPECT_EQ(CountInLog(QStringLiteral("Config.xml")), before + 1);

    // A foreign document under the name is kept too, beside the first one.
    WriteFile(t.Data("Config.xml"), "<?xml version=\"1.0\"?><playlist/>");
    EXPECT_EQ(c.LoadConfig(c.DataDir()), -1);
    EXPECT_EQ(ReadFile(t.Data("Config.xml.damaged")), cut);
    EXPECT_EQ(ReadFile(t.Data("Config.xml.damaged.1")), QByteArray("<?xml version=\"1.0\"?><playlist/>"));

    ASSERT_EQ(c.SaveConfig(), 0);
    CQvConf d;
    d.SetDirectories(t.home);
    EXPECT_EQ(d.LoadConfig(d.DataDir()), 0);
    EXPECT_FALSE(QFileInfo::exists(t.Data("Config.xml.tmp")));
}

TEST(Conf, ReadOnlyDataFolderIsMadeWritable)
{
    TempHome t;
    QFile::setPermissions(t.conf.DataDir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    t.conf.LoadConfig(t.conf.DataDir());
    EXPECT_TRUE(QFile::permissions(t.conf.DataDir()) & QFileDevice::WriteOwner);
    EXPECT_EQ(t.conf.SaveConfig(), 0);
}

TEST(Conf, InfoIniValuesAndTheSkinWriter)
{
    TempHome t;
    const QString ini = t.home + QStringLiteral("Info.ini");
    const QString longUrl = QStringLiteral("http://127.0.0.1:8080/") + QString(150, QLatin1Char('x'));
    WriteFile(ini, "; shipped\r\n[other]\r\nskin=7\r\n[INFO]\r\n Skin = 2 \r\nversion=\"1.2.3.4.5.6.7.8.9.10.11\"\r\nUdpUrl=" +
                       longUrl.toLatin1() + "\r\n\r\n[last]\r\nkey=v\r\n");
    t.conf.LoadInfoIni();
    EXPECT_EQ(t.conf.Info().skin, 2);
    EXPECT_EQ(t.conf.Info().version, QStringLiteral("1.2.3.4.5.6.7.8.9.1")); // 19 characters
    EXPECT_EQ(t.conf.Info().udpUrl, longUrl);                               // no 99-character cut

    ASSERT_EQ(t.conf.SaveInfoSkin(5), 0);
    ASSERT_EQ(t.conf.SaveInfoUpdateCount(0), 0);
    CQvConf again;
    again.SetDirectories(t.home);
    again.LoadInfoIni();
    EXPECT_EQ(again.Info().skin, 5);
    EXPECT_EQ(again.Info().updateCount, 0);
    EXPECT_EQ(again.Info().udpUrl, longUrl);
    const QByteArray text = ReadFile(ini);
    EXPECT_TRUE(text.contains("[other]\r\nskin=7\r\n"));
    EXPECT_TRUE(text.contains("[last]\r\nkey=v"));
    EXPECT_TRUE(text.indexOf("updatecount=0") < text.indexOf("[last]"));
}

TEST(Conf, ServerTableFallbackListsAndFilterMap)
{
    TempHome t;
    const QByteArray xml = "<?xml version=\"1.0\" encoding=\"GBK\"?>\n"
                           "<url name=\"metadata\" value=\"http://127.0.0.1:1/a\"/>\n"
                           "<url name=\"log\" value=\"http://127.0.0.1:2/\"/>\n"
                           "<url name=\"metadata\" value=\"http://127.0.0.1:3/b\"/>\n"
                           "<url name=\"" + ToAnsi(QStringLiteral("名字")) + "\" value=\"" + ToAnsi(QStringLiteral("值")) + "\"/>\n"
                           "<defaulturl1><name value=\"http://a1/\"/><name value=\"http://a2/\"/></defaulturl1>\n"
                           "<defaulturl6><name value=\"http://f1/\"/></defaulturl6>\n";
    WriteFile(t.Data("server.xml"), xml);
    ASSERT_EQ(t.conf.LoadServerTable(t.Data("server.xml")), 0);
    EXPECT_EQ(t.conf.ServerAddress(QStringLiteral("metadata")), QStringLiteral("http://127.0.0.1:3/b"));
    EXPECT_EQ(t.conf.ServerAddress(QStringLiteral("log")), QStringLiteral("http://127.0.0.1:2/"));
    EXPECT_EQ(t.conf.ServerAddress(QStringLiteral("名字")), QStringLiteral("值"));
    EXPECT_EQ(t.conf.ServerTable().size(), 3u);
    EXPECT_EQ(t.conf.FallbackList(1), (QStringList {QStringLiteral("http://a1/"), QStringLiteral("http://a2/")}));
    EXPECT_TRUE(t.conf.FallbackList(2).isEmpty());
    EXPECT_EQ(t.conf.FallbackList(6), QStringList {QStringLiteral("http://f1/")});
    EXPECT_TRUE(t.conf.FallbackList(7).isEmpty());

    WriteFile(t.Data("server.xml"), "<url name=\"x\" value=\"y\"><unclosed>");
    EXPECT_EQ(t.conf.LoadServerTable(t.Data("server.xml")), -1);
    EXPECT_TRUE(t.conf.ServerTable().empty());
    EXPECT_TRUE(t.conf.FallbackList(1).isEmpty());
    // The damaged table is kept aside; where a table was shipped, that one is read and put in
    // its place.
    EXPECT_TRUE(QFileInfo::exists(t.Data("server.xml.damaged")));
    QTemporaryDir res;
    const QByteArray shippedTable = "<url name=\"metadata\" value=\"http://127.0.0.1:9/m\"/>";
    WriteFile(res.path() + QStringLiteral("/server.xml"), shippedTable);
    CQvConf withShipped;
    withShipped.SetDirectories(t.home, res.path());
    WriteFile(t.Data("server.xml"), "<url name=\"x\" value=\"y\"><unclosed>");
    const int before = CountInLog(QStringLiteral("server.xml"));
    EXPECT_EQ(withShipped.LoadServerTable(t.Data("server.xml")), 0);
    EXPECT_EQ(withShipped.ServerAddress(QStringLiteral("metadata")), QStringLiteral("http://127.0.0.1:9/m"));
    EXPECT_EQ(ReadFile(t.Data("server.xml")), shippedTable);
    EXPECT_TRUE(QFileInfo::exists(t.Data("server.xml.damaged.1")));
    EXPECT_EQ(CountInLog(QStringLiteral("server.xml")), before + 1);

    EXPECT_TRUE(t.conf.LoadFilterMap().isEmpty());
    WriteFile(t.Data("filtermap.xml"), "<type name=\"tmp\"/><type name=\"" + ToAnsi(QStringLiteral("缓存")) +
                                           "\"/><other name=\"no\"/><type/>");
    EXPECT_EQ(t.conf.LoadFilterMap(), (QStringList {QStringLiteral("tmp"), QStringLiteral("缓存")}));
}

TEST(Conf, DefaultFilesAreCopiedOnlyWhenMissing)
{
    TempHome t;
    QTemporaryDir res;
    WriteFile(res.path() + QStringLiteral("/server.xml"), "<url name=\"a\" value=\"b\"/>");
    WriteFile(res.path() + QStringLiteral("/Info.ini"), "[info]\r\nversion=9\r\n");
    QDir(res.path()).mkdir(QStringLiteral("skin"));
    CQvConf c;
    c.SetDirectories(t.home, res.path());
    EXPECT_EQ(c.SkinDir(), res.path() + QStringLiteral("/skin/"));
    WriteFile(c.DataDir() + QStringLiteral("server.xml"), "mine");
    EXPECT_EQ(c.InstallDefaultFiles(), 1);
    EXPECT_EQ(ReadFile(c.DataDir() + QStringLiteral("server.xml")), QByteArray("mine"));
    EXPECT_EQ(ReadFile(t.home + QStringLiteral("Info.ini")), QByteArray("[info]\r\nversion=9\r\n"));
    EXPECT_EQ(c.InstallDefaultFiles(), 0);
}

TEST(Conf, ProgramHomeFollowsTheEnvironment)
{
    QTemporaryDir d;
    qputenv("ORDEL_HOME", d.path().toUtf8());
    EXPECT_EQ(ResolveProgramHome(), d.path() + QLatin1Char('/'));
    qunsetenv("ORDEL_HOME");
    qputenv("XDG_DATA_HOME", d.path().toUtf8());
    EXPECT_EQ(ResolveProgramHome(), d.path() + QStringLiteral("/ordel/"));
    qunsetenv("XDG_DATA_HOME");
}

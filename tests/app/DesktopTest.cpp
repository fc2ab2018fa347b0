// The player on the desktop's session bus: its media controls driven by playerctl, a real MPRIS
// client, and its track notification received by a notification service of the test's own.
// The binary runs under dbus-run-session, so the bus is private to it.
#include "app/CEqualizer.h"
#include "app/CEqualizerDlg.h"
#include "app/CMainDlg.h"
#include "app/CMprisService.h"
#include "app/CQuarvelApp.h"
#include "app/CQuarvelDlg.h"
#include "app/CTrackListModel.h"
#include "app/CTrackNotifier.h"

#include "base/Worker.h"
#include "library/LibraryScan.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "net/Cover.h"
#include "net/CQvLog.h"
#include "playback/CQvPlayCore.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/IQvNode.h"
#include "tests/app/LogRecords.h"
#include "tests/common/TestUtil.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/playback/TestHttpServer.h"
#include "ui/ControlIds.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QSlider>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

using namespace fixtures;
using testutil::WaitUntil;

namespace {

constexpr int kWaitMs = 30000;

// One start of the player in its own home, as a user starts it; the service stays out of it.
class Player {
public:
    explicit Player(const QString& home)
    {
        AppOptions options;
        options.home = home;
        options.resourceDir = testutil::SourceDir() + QStringLiteral("/resources/");
        options.registerAssociation = false;
        options.store = &m_store;
        options.main.serviceTasks = false;
        options.main.identity = false;
        options.main.startupScan = false;
        options.main.watchChanges = false;
        m_app = std::make_unique<CQuarvelApp>(QStringList(), options);
        QObject::connect(m_app.get(), &CQuarvelApp::Finished, [this](int) { m_finished = true; });
        m_started = m_app->InitInstance() < 0;
    }
    ~Player()
    {
        if (m_started && !m_finished) {
            Ctl().OnCommand(ctl::kExit);
            WaitUntil([this] { return m_finished; }, kWaitMs);
        }
        m_app.reset();
        ClearExiting();
    }
    bool Started() const { return m_started; }
    bool Finished() const { return m_finished; }
    CMainDlg& Ctl() const { return *m_app->Controller(); }
    CMediaLibrary& Lib() const { return m_app->Library(); }
    bool WaitLoaded() const { return m_started && WaitUntil([this] { return Ctl().LibraryLoaded(); }, kWaitMs); }
    CQvMusic* Track(const QString& path) const
    {
        std::lock_guard lock(Lib().Mutex());
        return Lib().Store().FindTrack(MakeGid(path), 0);
    }
    bool Import(const QString& folder, int expected)
    {
        if (!Ctl().AddFolder(folder)) return false;
        return WaitUntil(
            [&] {
                std::lock_guard lock(Lib().Mutex());
                IQvNode* node = Lib().Store().FindNode(QString::fromUtf16(kLocalMusicNode));
                return !Ctl().IsScanning() && node && int(node->Tracks().size()) >= expected;
            },
            kWaitMs);
    }
    QString Playing() const
    {
        CQvMusic* t = Ctl().CurrentTrack();
        return t && Ctl().IsStarted() ? t->GetInfo()->Song : QString();
    }

private:
    CQvMediaStore m_store;
    std::unique_ptr<CQuarvelApp> m_app;
    bool m_started = false;
    bool m_finished = false;
};

QString MakeSong(const QString& dir, int i, double seconds = 4.0, int pictures = 0)
{
    Mp3Options o;
    o.seconds = seconds;
    o.sampleRate = 22050;
    o.channels = 1;
    o.bitrateKbps = 32;
    const QString path = QDir(dir).filePath(QStringLiteral("song%1.mp3").arg(i));
    Tags tags = Tags::Id3v2(QStringLiteral("Song %1").arg(i), QStringLiteral("Artist %1").arg(i),
                            QStringLiteral("Album %1").arg(i));
    tags.pictures = pictures;
    // Scans take music files from 500 KB; the rest is padding.
    EXPECT_TRUE(WriteMp3OfSize(path, std::max<qint64>(600000, MinimumMp3Size(o, tags)), o, tags));
    return path;
}

// playerctl against the player, with the event loop running meanwhile: the player answers the
// bus on this thread.
QString Playerctl(const QStringList& arguments, int* exitCode = nullptr)
{
    QProcess p;
    p.start(QStringLiteral("playerctl"), QStringList {QStringLiteral("-p"), QStringLiteral("ordel")} + arguments);
    if (!p.waitForStarted(5000)) {
        ADD_FAILURE() << "playerctl did not start";
        return {};
    }
    WaitUntil([&] { return p.state() == QProcess::NotRunning; }, kWaitMs);
    if (exitCode) *exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Listens on a connection of its own for the player's Seeked signal.
class CSeekedSpy : public QObject {
    Q_OBJECT
public:
    QList<qlonglong> positions;
public slots:
    void OnSeeked(qlonglong position) { positions.append(position); }
};

bool HasRecord(int event)
{
    return RecordedEvents().contains(event);
}

} // namespace

TEST(Mpris, PlayerctlControlsThePlayerAndReadsWhatPlays)
{
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    QTemporaryDir home, music;
    const QString first = MakeSong(music.path(), 0);
    const QString second = MakeSong(music.path(), 1);
    MakeSong(music.path(), 2);
    QTemporaryDir elsewhere;
    const QString outside = MakeSong(elsewhere.path(), 7, 4.0, 1);

    Player p(home.path());
    ASSERT_TRUE(p.Started());
    ASSERT_TRUE(p.WaitLoaded());
    ASSERT_TRUE(p.Ctl().Mpris() && p.Ctl().Mpris()->IsRegistered());
    ASSERT_TRUE(p.Import(music.path(), 3));
    p.Ctl().SetVolumePercent(50);

    // The first song's cover file and lyrics file, so the desktop can show both.
    CQvMusic* t0 = p.Track(first);
    ASSERT_NE(t0, nullptr);
    const QString cover = CoverFilePath(*t0->GetInfo());
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(cover, "PNG"));
    const QString lrc = music.filePath(QStringLiteral("song0.lrc"));
    {
        QFile f(lrc);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[00:00.50]first line of the words\n[00:01.50]second line\n");
    }
    {
        std::lock_guard lock(p.Lib().Mutex());
        t0->GetInfo()->EditRare().LrcFile = lrc;
    }

    // By title, so the list reads Song 0, 1, 2; nothing is selected, so play starts the first.
    p.Ctl().SortDisplayed(CTrackListModel::kColSong, false);
    p.Ctl().MainWindow()->SelectRow(-1);
    EXPECT_EQ(Playerctl({QStringLiteral("status")}), QStringLiteral("Stopped"));
    CQvLog::GetInstance().ClearPending();
    Playerctl({QStringLiteral("play")});
    ASSERT_TRUE(WaitUntil([&] { return p.Playing() == QStringLiteral("Song 0"); }, kWaitMs));
    EXPECT_TRUE(HasRecord(967)) << "the play command writes the play button's record";
    EXPECT_EQ(Playerctl({QStringLiteral("status")}), QStringLiteral("Playing"));
    EXPECT_EQ(Playerctl({QStringLiteral("metadata"), QStringLiteral("title")}), QStringLiteral("Song 0"));
    EXPECT_EQ(Playerctl({QStringLiteral("metadata"), QStringLiteral("artist")}), QStringLiteral("Artist 0"));
    EXPECT_EQ(Playerctl({QStringLiteral("metadata"), QStringLiteral("album")}), QStringLiteral("Album 0"));
    EXPECT_EQ(Playerctl({QStringLiteral("metadata"), QStringLiteral("mpris:artUrl")}),
              QUrl::fromLocalFile(QFileInfo(cover).absoluteFilePath()).toString());
    EXPECT_EQ(Playerctl({QStringLiteral("metadata"), QStringLiteral("mpris:length")}), QStringLiteral("4000000"));
    EXPECT_TRUE(WaitUntil(
        [&] {
            return Playerctl({QStringLiteral("metadata"), QStringLiteral("xesam:asText")}) ==
                   QStringLiteral("first line of the words\nsecond line");
        },
        kWaitMs))
        << Playerctl({QStringLiteral("metadata"), QStringLiteral("xesam:asText")}).toStdString();

    // The stars, as the desktop rates: a fraction of five.
    p.Ctl().ClickStar(4, true);
    EXPECT_EQ(Playerctl({QStringLiteral("metadata"), QStringLiteral("xesam:userRating")}).toDouble(), 0.8);

    Playerctl({QStringLiteral("pause")});
    EXPECT_EQ(p.Ctl().Engine().GetStatus(), CQvPlayCore::kPaused);
    EXPECT_EQ(Playerctl({QStringLiteral("status")}), QStringLiteral("Paused"));
    Playerctl({QStringLiteral("play")});
    EXPECT_EQ(p.Ctl().Engine().GetStatus(), CQvPlayCore::kPlaying);

    // A track change is announced: playerctl's follow mode prints each new title it is told of.
    QProcess follow;
    follow.start(QStringLiteral("playerctl"), {QStringLiteral("-p"), QStringLiteral("ordel"), QStringLiteral("metadata"),
                                               QStringLiteral("--follow"), QStringLiteral("title")});
    ASSERT_TRUE(follow.waitForStarted(5000));
    QString followed;
    ASSERT_TRUE(WaitUntil([&] { return (followed += QString::fromUtf8(follow.readAllStandardOutput())).contains(QStringLiteral("Song 0")); }, kWaitMs));
    CQvLog::GetInstance().ClearPending();
    Playerctl({QStringLiteral("next")});
    ASSERT_TRUE(WaitUntil([&] { return p.Playing() == QStringLiteral("Song 1"); }, kWaitMs));
    EXPECT_TRUE(HasRecord(965)) << "the next command writes the next button's record";
    EXPECT_TRUE(WaitUntil([&] { return (followed += QString::fromUtf8(follow.readAllStandardOutput())).contains(QStringLiteral("Song 1")); }, kWaitMs))
        << followed.toStdString();
    follow.kill();
    follow.waitForFinished(5000);
    EXPECT_EQ(Playerctl({QStringLiteral("metadata"), QStringLiteral("xesam:asText")}), QString()) << "no lyrics for song 1";
    Playerctl({QStringLiteral("previous")});
    ASSERT_TRUE(WaitUntil([&] { return p.Playing() == QStringLiteral("Song 0"); }, kWaitMs));

    // Position: set, then read back; the jump is told with Seeked, also when the window seeks.
    QDBusConnection listener = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("seeked-spy"));
    CSeekedSpy spy;
    ASSERT_TRUE(listener.connect(QStringLiteral("org.mpris.MediaPlayer2.ordel"), QStringLiteral("/org/mpris/MediaPlayer2"),
                                 QStringLiteral("org.mpris.MediaPlayer2.Player"), QStringLiteral("Seeked"), &spy,
                                 SLOT(OnSeeked(qlonglong))));
    Playerctl({QStringLiteral("position"), QStringLiteral("2")});
    const int at = p.Ctl().GetPositionMs();
    EXPECT_GE(at, 1900);
    EXPECT_LT(at, 3500);
    const double reported = Playerctl({QStringLiteral("position")}).toDouble();
    EXPECT_GE(reported, 1.9);
    EXPECT_LT(reported, 3.9);
    ASSERT_TRUE(WaitUntil([&] { return !spy.positions.isEmpty(); }, kWaitMs));
    EXPECT_EQ(spy.positions.first(), 2000000);
    p.Ctl().SeekPercent(0);
    ASSERT_TRUE(WaitUntil([&] { return spy.positions.size() >= 2; }, kWaitMs));
    EXPECT_LT(spy.positions.last(), 1000000);
    QDBusConnection::disconnectFromBus(QStringLiteral("seeked-spy"));

    // Volume both ways.
    Playerctl({QStringLiteral("volume"), QStringLiteral("0.3")});
    EXPECT_EQ(p.Ctl().Volume(), 30);
    EXPECT_EQ(CQvConf::Instance().Settings().volume, 30);
    p.Ctl().SetVolumePercent(64);
    EXPECT_EQ(Playerctl({QStringLiteral("volume")}).toDouble(), 0.64);

    // Loop and shuffle are the play modes.
    Playerctl({QStringLiteral("loop"), QStringLiteral("Track")});
    EXPECT_EQ(p.Ctl().PlayMode(), CPlayController::kModeRepeatOne);
    EXPECT_EQ(Playerctl({QStringLiteral("loop")}), QStringLiteral("Track"));
    Playerctl({QStringLiteral("loop"), QStringLiteral("Playlist")});
    EXPECT_EQ(p.Ctl().PlayMode(), CPlayController::kModeListLoop);
    Playerctl({QStringLiteral("shuffle"), QStringLiteral("On")});
    EXPECT_EQ(p.Ctl().PlayMode(), CPlayController::kModeRandom);
    EXPECT_EQ(Playerctl({QStringLiteral("shuffle")}), QStringLiteral("On"));
    Playerctl({QStringLiteral("shuffle"), QStringLiteral("Off")});
    EXPECT_EQ(p.Ctl().PlayMode(), CPlayController::kModeListLoop);
    p.Ctl().OnCommand(ctl::kModeSingle);
    EXPECT_EQ(Playerctl({QStringLiteral("loop")}), QStringLiteral("Track")) << "the window's mode is read back";
    p.Ctl().OnCommand(ctl::kModeLoop);

    // A file from elsewhere is opened and played; it joins the library as a file from the
    // command line does.
    Playerctl({QStringLiteral("open"), QUrl::fromLocalFile(outside).toString()});
    ASSERT_TRUE(WaitUntil([&] { return p.Playing() == QStringLiteral("Song 7"); }, kWaitMs));
    EXPECT_NE(p.Track(outside), nullptr);
    // It has no cover file, only a picture in its tag: once the cover task has written that
    // picture as its cover, the desktop is told.
    QUrl art;
    ASSERT_TRUE(WaitUntil(
        [&] { return (art = QUrl(Playerctl({QStringLiteral("metadata"), QStringLiteral("mpris:artUrl")}))).isLocalFile(); },
        kWaitMs));
    EXPECT_EQ(art.toLocalFile(), QFileInfo(CoverFilePath(*p.Track(outside)->GetInfo())).absoluteFilePath());
    QFile picture(art.toLocalFile());
    ASSERT_TRUE(picture.open(QIODevice::ReadOnly));
    EXPECT_TRUE(picture.readAll().startsWith("\xFF\xD8")) << "the tag's JPEG";

    Playerctl({QStringLiteral("stop")});
    EXPECT_EQ(Playerctl({QStringLiteral("status")}), QStringLiteral("Stopped"));
    EXPECT_EQ(p.Ctl().CurrentTrack(), nullptr);

    // Quit ends the player as its exit command does.
    QProcess quit;
    quit.start(QStringLiteral("dbus-send"),
               {QStringLiteral("--session"), QStringLiteral("--type=method_call"),
                QStringLiteral("--dest=org.mpris.MediaPlayer2.ordel"), QStringLiteral("/org/mpris/MediaPlayer2"),
                QStringLiteral("org.mpris.MediaPlayer2.Quit")});
    ASSERT_TRUE(quit.waitForStarted(5000));
    EXPECT_TRUE(WaitUntil([&] { return p.Finished(); }, kWaitMs));
    quit.waitForFinished(5000);
}

namespace {

// A notification server of the test's own, on a connection of its own to the private bus.
class CStubNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice {
        QString app, icon, summary, body;
        uint replaces = 0;
        QVariantMap hints;
    };
    QList<Notice> notices;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        notices.append({app, icon, summary, body, replaces, hints});
        return uint(notices.size());
    }
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
    void CloseNotification(uint) {}
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion)
    {
        vendor = QStringLiteral("test");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("stub");
    }
};

} // namespace

TEST(TrackNotification, ReachesTheNotificationServiceWhileTheWindowIsNotActive)
{
    QDBusConnection server = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("stub-notify"));
    ASSERT_TRUE(server.isConnected());
    CStubNotifications stub;
    ASSERT_TRUE(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &stub,
                                      QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(server.registerService(QStringLiteral("org.freedesktop.Notifications")));

    QTemporaryDir home, music;
    const QString first = MakeSong(music.path(), 0);
    const QString second = MakeSong(music.path(), 1);
    Player p(home.path());
    ASSERT_TRUE(p.WaitLoaded());
    ASSERT_TRUE(p.Import(music.path(), 2));
    CQvMusic* t0 = p.Track(first);
    ASSERT_NE(t0, nullptr);
    const QString cover = CoverFilePath(*t0->GetInfo());
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(cover, "PNG"));

    // While the user looks at the window, the window says it all: no notice.
    CQuarvelDlg* window = p.Ctl().MainWindow();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return window->isActiveWindow(); }, kWaitMs));
    p.Ctl().OnListDoubleClick(p.Ctl().MainWindow()->ListModel()->RowOf(p.Track(second)));
    ASSERT_TRUE(WaitUntil([&] { return p.Playing() == QStringLiteral("Song 1"); }, kWaitMs));
    WaitUntil([] { return false; }, 600);
    EXPECT_TRUE(stub.notices.isEmpty());
    p.Ctl().OnCommand(ctl::kStop);

    // The window is not the active one: a started track is announced.
    p.Ctl().MainWindow()->hide();
    CQvConf::Instance().Settings().trackntf = 1;
    p.Ctl().OnListDoubleClick(p.Ctl().MainWindow()->ListModel()->RowOf(t0));
    ASSERT_TRUE(WaitUntil([&] { return !stub.notices.isEmpty(); }, kWaitMs));
    const CStubNotifications::Notice n = stub.notices.first();
    EXPECT_EQ(n.app, QStringLiteral("Ordel"));
    EXPECT_EQ(n.summary, QStringLiteral("Song 0"));
    EXPECT_EQ(n.body, QStringLiteral("Artist 0"));
    EXPECT_EQ(n.hints.value(QStringLiteral("image-path")).toString(),
              QUrl::fromLocalFile(QFileInfo(cover).absoluteFilePath()).toString());
    EXPECT_EQ(n.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("ordel"));

    // The next one replaces it.
    p.Ctl().OnCommand(ctl::kNext);
    ASSERT_TRUE(WaitUntil([&] { return stub.notices.size() == 2; }, kWaitMs));
    ASSERT_NE(p.Ctl().CurrentTrack(), t0);
    EXPECT_EQ(stub.notices[1].summary, p.Ctl().CurrentTrack()->GetInfo()->Song);
    EXPECT_EQ(stub.notices[1].replaces, 1u);

    // Turned off from the main menu: nothing more.
    QAction* item = nullptr;
    for (QAction* a : p.Ctl().MainWindow()->MainMenu()->actions())
        if (a->text() == QStringLiteral("切歌时桌面通知")) item = a;
    ASSERT_NE(item, nullptr);
    emit p.Ctl().MainWindow()->MainMenu()->aboutToShow();
    EXPECT_TRUE(item->isChecked());
    item->trigger();
    EXPECT_EQ(CQvConf::Instance().Settings().trackntf, 0);
    emit p.Ctl().MainWindow()->MainMenu()->aboutToShow();
    EXPECT_FALSE(item->isChecked());
    p.Ctl().OnCommand(ctl::kPrev);
    ASSERT_TRUE(WaitUntil([&] { return p.Playing() == QStringLiteral("Song 0"); }, kWaitMs));
    WaitUntil([] { return false; }, 600);
    EXPECT_EQ(stub.notices.size(), 2);
    CQvConf::Instance().Settings().trackntf = 1;

    server.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("stub-notify"));
}

TEST(EqualizerWindow, FromTheMainMenuToTheEngineAndBackAfterARestart)
{
    QTemporaryDir home;
    {
        Player p(home.path());
        ASSERT_TRUE(p.WaitLoaded());
        EXPECT_TRUE(p.Ctl().Equalizer().IsFlat()) << "a first start is flat";
        QAction* item = nullptr;
        for (QAction* a : p.Ctl().MainWindow()->MainMenu()->actions())
            if (a->text() == QStringLiteral("均衡器")) item = a;
        ASSERT_NE(item, nullptr);
        item->trigger();
        CEqualizerDlg* dlg = p.Ctl().EqualizerWindow();
        ASSERT_NE(dlg, nullptr);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->Presets()->currentText(), QStringLiteral("默认"));

        // A preset moves the sliders; a slider moved by hand makes it custom.
        const int rock = CEqualizer::PresetNames().indexOf(QStringLiteral("摇滚"));
        ASSERT_GE(rock, 0);
        dlg->Presets()->setCurrentIndex(rock);
        emit dlg->Presets()->activated(rock);
        EXPECT_EQ(p.Ctl().Equalizer().GainsDb(), CEqualizer::PresetGains(rock));
        for (int i = 0; i < CEqualizer::kBands; ++i) EXPECT_EQ(dlg->Band(i)->value(), CEqualizer::PresetGains(rock)[i]);
        dlg->Band(4)->setValue(6);
        dlg->Band(9)->setValue(40); // beyond the range: the slider stops at +12
        EXPECT_EQ(p.Ctl().Equalizer().Mode(), CEqualizer::kCustom);
        EXPECT_EQ(dlg->Presets()->currentText(), QStringLiteral("自定义"));
        EXPECT_EQ(CQvConf::Instance().Settings().eqgains, QStringLiteral("5,3,-2,-4,6,3,6,7,7,12"));

        // A second click on the menu shows the same window.
        item->trigger();
        EXPECT_EQ(p.Ctl().EqualizerWindow(), dlg);
    }
    QFile config(QDir(home.path()).filePath(QStringLiteral("data/Config.xml")));
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    const QByteArray xml = config.readAll();
    EXPECT_TRUE(xml.contains("eqmode=\"7\"")) << xml.constData();
    EXPECT_TRUE(xml.contains("eqgains=\"5,3,-2,-4,6,3,6,7,7,12\""));
    EXPECT_LT(xml.indexOf("macuserid="), xml.indexOf("eqgains=")) << "after the attributes that were there before";

    Player again(home.path());
    ASSERT_TRUE(again.WaitLoaded());
    EXPECT_EQ(again.Ctl().Equalizer().Mode(), CEqualizer::kCustom);
    EXPECT_EQ(CEqualizer::GainsText(again.Ctl().Equalizer().GainsDb()), QStringLiteral("5,3,-2,-4,6,3,6,7,7,12"));
    again.Ctl().OnCommand(CMainDlg::kEqualizerCommand);
    ASSERT_NE(again.Ctl().EqualizerWindow(), nullptr);
    EXPECT_EQ(again.Ctl().EqualizerWindow()->Band(9)->value(), 12);

    // Every preset comes back from the file as it went in; damaged gains fall back to the preset.
    const QString dataDir = QDir(home.path()).filePath(QStringLiteral("data"));
    for (int i = 0; i < CEqualizer::kPresetCount; ++i) {
        again.Ctl().Equalizer().SelectPreset(i);
        ASSERT_EQ(CQvConf::Instance().SaveConfig(), 0);
        CQvConf read;
        ASSERT_EQ(read.LoadConfig(dataDir), 0);
        CEqualizer eq(again.Ctl().Engine(), read.Settings());
        eq.Load();
        EXPECT_EQ(eq.Mode(), i);
        EXPECT_EQ(eq.GainsDb(), CEqualizer::PresetGains(i)) << i;
        read.Settings().eqgains = QStringLiteral("1,2,oops");
        eq.Load();
        EXPECT_EQ(eq.GainsDb(), CEqualizer::PresetGains(i));
    }
    again.Ctl().Equalizer().SelectPreset(0);
    EXPECT_TRUE(again.Ctl().Equalizer().IsFlat()) << "the default is flat, which the engine skips";
}

TEST(Mpris, AnOpenedAddressIsAddedAndPlayedAsAStream)
{
    QTemporaryDir home, music;
    const QString song = MakeSong(music.path(), 3);
    CTestHttpServer server;
    server.Whole("/net/song3.mp3", testutil::ReadFile(song));
    const QString url = server.Url("/net/song3.mp3");

    Player p(home.path());
    ASSERT_TRUE(p.WaitLoaded());
    Playerctl({QStringLiteral("open"), url});
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().CurrentTrack() && p.Ctl().IsStarted(); }, kWaitMs));
    EXPECT_EQ(p.Ctl().CurrentTrack()->GetInfo()->NSrc, url);
    EXPECT_NE(p.Track(url), nullptr) << "kept in the library like an address added by hand";
    EXPECT_EQ(Playerctl({QStringLiteral("status")}), QStringLiteral("Playing"));
    EXPECT_EQ(Playerctl({QStringLiteral("metadata"), QStringLiteral("xesam:url")}), url);

    // What the player does not play is refused without harm.
    Playerctl({QStringLiteral("open"), QStringLiteral("ftp://127.0.0.1/x.mp3")});
    Playerctl({QStringLiteral("open"), QUrl::fromLocalFile(music.filePath(QStringLiteral("missing.mp3"))).toString()});
    EXPECT_EQ(p.Ctl().CurrentTrack()->GetInfo()->NSrc, url);
}

#include "DesktopTest.moc"

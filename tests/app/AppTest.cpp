// The player as a whole: a start in a fresh program home with its windows offscreen, the real
// library files, real MP3 files and the real audio path over the dummy SDL driver.
#include "tests/app/LogRecords.h"
#include "tests/app/AppHarness.h"

#include "app/CFirstSearchDlg.h"
#include "app/CMainDlg.h"
#include "app/CMessageCenter.h"
#include "app/CMessageDlg.h"
#include "app/CMessageListDlg.h"
#include "app/CNodeTreeModel.h"
#include "app/CQuarvelApp.h"
#include "app/CQuarvelDlg.h"
#include "app/CTrackListModel.h"
#include "app/UiTexts.h"
#include "app/CViewDlg.h"

#include "base/Worker.h"
#include "library/CQvNodeTree.h"
#include "library/LibraryScan.h"
#include "model/CQvMusic.h"
#include "net/CMessageStore.h"
#include "net/CQvLog.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "playback/CQvPlayCore.h"
#include "store/CMediaLibrary.h"
#include "store/CQvConf.h"
#include "store/CQvMediaStore.h"
#include "store/CSqliteDb.h"
#include "store/IQvNode.h"
#include "store/TrackBuilder.h"
#include "tests/common/TestUtil.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/net/ServiceProcess.h"
#include "ui/CSkin.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinPosManage.h"
#include "ui/CSkinSlider.h"
#include "ui/ControlIds.h"
#include "app/CLyricSearchDlg.h"
#include "app/CSettingDlg.h"
#include "app/CSettingLyricsDlg.h"
#include "app/CSettingUserInfoDlg.h"
#include "app/CUserSession.h"
#include "net/CQvClientIdentity.h"
#include "ui/lyrics/CFloatLrcCtrlBar.h"
#include "ui/lyrics/CLyricPreviewEdit.h"
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include "ui/lyrics/CKLrcChildDlg.h"
#include "ui/lyrics/CQvLyrics.h"
#include "base/MessageIds.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QWheelEvent>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>

#include <unistd.h>

using namespace apptest;
using namespace fixtures;
using testutil::WaitUntil;

TEST(App, FirstStartShowsTheFirstRunDialogAndCancelLeavesAutomaticAddingOff)
{
    QTemporaryDir home;
    Player p(home.path());
    ASSERT_TRUE(p.Started());
    EXPECT_TRUE(p.Wnd().isVisible());
    EXPECT_EQ(p.Wnd().minimumSize(), p.Wnd().size()); // the window opens at its design size
    ASSERT_TRUE(p.WaitLoaded());
    ASSERT_TRUE(WaitUntil([&] { return p.FirstRunDialog() != nullptr; }, kWaitMs));
    CFirstSearchDlg* dlg = p.FirstRunDialog();
    dlg->CancelButton()->click();
    EXPECT_EQ(CQvConf::Instance().Settings().showsearch, 0);
    EXPECT_EQ(CQvConf::Instance().Settings().autoaddmusic, 0);
    // The default tree came from "tree.xml", and the local music is shown.
    EXPECT_EQ(p.NodeSize(Player::LocalMusic()), 0);
    EXPECT_EQ(p.Ctl().DisplayedNode(), p.Node(Player::LocalMusic()));
    EXPECT_FALSE(CQvConf::Instance().Settings().clientid.isEmpty());

    ASSERT_TRUE(p.Exit());
    // The choice was saved with the other settings.
    const QByteArray config = testutil::ReadFile(home.filePath(QStringLiteral("data/Config.xml")));
    ASSERT_FALSE(config.isEmpty());
    Player again(home.path());
    ASSERT_TRUE(again.WaitLoaded());
    EXPECT_EQ(CQvConf::Instance().Settings().showsearch, 0);
}

TEST(App, FolderImportFillsLocalMusicWithScanTextsAndADoubleClickPlays)
{
    Library lib(3);
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());

    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 3));
    EXPECT_EQ(p.NodeSize(Player::LocalMusic()), 3);
    // The import's last text stays up for a while.
    EXPECT_EQ(p.Wnd().ScanText(), QStringLiteral("完成，共找到3首歌曲"));
    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    ASSERT_EQ(p.Wnd().ListModel()->rowCount(), 3);

    QTableView* list = p.Wnd().ListView();
    list->resize(600, 400);
    DoubleClickRow(list, 1);
    CQvMusic* row1 = p.Wnd().ListModel()->TrackAt(1);
    ASSERT_NE(row1, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, row1->GetInfo()->LSrc); }, kWaitMs));
    EXPECT_EQ(p.Ctl().CurrentIndex(), 1);
    EXPECT_EQ(p.Ctl().PlayingNode(), p.Node(Player::LocalMusic()));
    EXPECT_EQ(p.Wnd().SelectedRow(), 1);
    // The title line names the track, and the progress reaches the time texts.
    EXPECT_EQ(p.Wnd().TitleText(), QStringLiteral("%1-%2").arg(row1->GetInfo()->Song, row1->GetInfo()->Artist));
    ASSERT_TRUE(WaitUntil([&] { return p.Wnd().ElapsedText() == QStringLiteral("00:01"); }, kWaitMs));
    EXPECT_EQ(p.Wnd().RemainingText(), QStringLiteral("-00:01"));
    // The title alternates with the album every tick of timer 34.
    p.Wnd().OnTimer(CQuarvelDlg::kTitleTimer);
    EXPECT_EQ(p.Wnd().TitleText(), row1->GetInfo()->Album);
    p.Wnd().OnTimer(CQuarvelDlg::kTitleTimer);
    EXPECT_EQ(p.Wnd().TitleText(), QStringLiteral("%1-%2").arg(row1->GetInfo()->Song, row1->GetInfo()->Artist));
}

TEST(App, LyricsOfThePlayingTrackReachThePanelAndFollowThePosition)
{
    Library lib(1, 3.0);
    const QString lrc = lib.music.filePath(QStringLiteral("song0.lrc"));
    ASSERT_TRUE(WriteTextFile(lrc, QStringLiteral("[00:00.00]第一行\n[00:01.50]第二行\n[00:09.00]第三行\n")));
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 1));
    p.Track(lib.files[0])->GetInfo()->EditRare().LrcFile = lrc;

    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    p.Ctl().OnListDoubleClick(0);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[0]); }, kWaitMs));
    // Timer 38 tells the window once the lyrics are parsed; timer 2 then follows the position.
    ASSERT_TRUE(WaitUntil([&] { return p.Wnd().LyricText() == QStringLiteral("第一行"); }, kWaitMs));
    ASSERT_TRUE(WaitUntil([&] { return p.Wnd().LyricText() == QStringLiteral("第二行"); }, kWaitMs));
    EXPECT_EQ(p.Ctl().LyricsTrack(), p.Ctl().CurrentTrack());
}

TEST(App, CoverMiniWindowTrayAndColourCommands)
{
    Library lib(2);
    // The first track has a picture of its own; the second none, so the placeholders show.
    const QString picture = lib.music.filePath(QStringLiteral("cover.png"));
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(picture));
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 2));
    p.Track(lib.files[0])->GetInfo()->EditRare().PicFile = picture;
    CMainDlg& c = p.Ctl();
    CViewDlg* view = c.ViewWindow();

    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    c.OnListDoubleClick(p.Wnd().ListModel()->RowOf(p.Track(lib.files[0])));
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[0]); }, kWaitMs));
    EXPECT_TRUE(view->ShowsCover());
    EXPECT_EQ(view->Title(), QStringLiteral("Song 0 - Artist"));
    c.OnListDoubleClick(p.Wnd().ListModel()->RowOf(p.Track(lib.files[1])));
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[1]); }, kWaitMs));
    EXPECT_FALSE(view->ShowsCover());

    // The mini window stands in for the main window, and the setting remembers it.
    c.OnCommand(ctl::kMiniMode);
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(p.Wnd().isVisible());
    EXPECT_EQ(CQvConf::Instance().Settings().dlgstate, 1);
    c.OnCommand(ctl::kMiniRestore);
    EXPECT_FALSE(view->isVisible());
    EXPECT_TRUE(p.Wnd().isVisible());
    EXPECT_EQ(CQvConf::Instance().Settings().dlgstate, 0);

    // To the tray and back: the tip is the playing song.
    c.OnCommand(ctl::kToTray);
    EXPECT_FALSE(p.Wnd().isVisible());
    EXPECT_EQ(p.Wnd().Tray()->toolTip(), QStringLiteral("Song 1"));
    c.OnCommand(1551);
    EXPECT_TRUE(p.Wnd().isVisible());

    // Colour schemes: the setting follows; the same scheme again changes nothing.
    c.OnCommand(ctl::kColor0 + 1);
    EXPECT_EQ(CSkin::Instance().CurrentScheme(), 1);
    EXPECT_EQ(CQvConf::Instance().Settings().ColorConfig, 1);
    c.OnCommand(ctl::kColor0);
    EXPECT_EQ(CSkin::Instance().CurrentScheme(), 0);
    EXPECT_EQ(CQvConf::Instance().Settings().ColorConfig, 0);
}

TEST(App, CommandsWriteTheirOperationRecordsAndTheExitOneRecord)
{
    Library lib(2);
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 2));
    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    CQvLog& log = CQvLog::GetInstance();
    log.ClearPending();
    auto records = [&] {
        QList<QPair<int, int>> out; // event code, value
        for (const QString& r : log.PendingRecords())
            out.append({r.split(QLatin1Char('\t')).value(4).toInt(), r.split(QLatin1Char('\t')).value(17).toInt()});
        return out;
    };

    QTableView* list = p.Wnd().ListView();
    list->resize(600, 400);
    DoubleClickRow(list, 0);
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().IsStarted(); }, kWaitMs));
    for (int id : {ctl::kNext, ctl::kPrev, ctl::kModeRandom, ctl::kModeLoop, ctl::kLocatePlaying, ctl::kPlayPause})
        p.Wnd().Button(id)->click();
    const QList<QPair<int, int>> expected = {{909, ctl::kListView}, {965, ctl::kNext},        {966, ctl::kPrev},
                                             {984, ctl::kModeRandom}, {983, ctl::kModeLoop}, {985, ctl::kLocatePlaying},
                                             {967, ctl::kPlayPause}};
    EXPECT_EQ(records(), expected);
    EXPECT_EQ(p.Ctl().PlayMode(), 1);

    // The pending records are written to the saved-records file at the end.
    log.ClearPending();
    const QString saved = log.SavedFilePath();
    QFile::remove(saved);
    p.Ctl().OnCommand(1552); // "退出" of the tray menu
    ASSERT_TRUE(WaitUntil([&] { return p.Finished(); }, kWaitMs));
    int exits = 0;
    for (const QByteArray& line : testutil::ReadFile(saved).split('\n'))
        exits += line.split('\t').value(4) == "971";
    EXPECT_EQ(exits, 1);
}

TEST(App, VolumeButtonsStopAtTheEdgesAndMoveEngineSettingAndControlsTogether)
{
    QTemporaryDir home;
    Player p(home.path());
    ASSERT_TRUE(p.WaitLoaded());
    CMainDlg& c = p.Ctl();
    ConfigSettings& s = CQvConf::Instance().Settings();

    c.SetVolumePercent(99);
    c.OnCommand(ctl::kVolumeUp);
    EXPECT_EQ(s.volume, 99);
    c.SetVolumePercent(1);
    c.OnCommand(ctl::kVolumeDown);
    EXPECT_EQ(s.volume, 1);

    c.SetVolumePercent(50);
    p.Wnd().Button(ctl::kVolumeUp)->click();
    EXPECT_EQ(s.volume, 52);
    EXPECT_FLOAT_EQ(c.Engine().GetVolume(), 0.52f);
    EXPECT_EQ(p.Wnd().VolumeSlider()->value(), 52);
    p.Wnd().Button(ctl::kVolumeDown)->click();
    EXPECT_EQ(s.volume, 50);
    EXPECT_EQ(p.Wnd().VolumeSlider()->value(), 50);
}

TEST(App, StarsRateTheCurrentTrackAndTheTopLitStarAgainTakesOneAway)
{
    Library lib(1);
    Player p(lib.home.path(), {lib.files[0]});
    ASSERT_TRUE(p.WaitLoaded());
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[0]); }, kWaitMs));
    CQuarvelDlg& w = p.Wnd();
    CQvMusic* track = p.Ctl().CurrentTrack();

    w.StarButton(3)->click();
    EXPECT_EQ(track->GetInfo()->Default2, 3);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(w.StarButton(i)->isChecked(), i <= 3) << i;
    w.StarButton(3)->click(); // the lit third star again
    EXPECT_EQ(track->GetInfo()->Default2, 2);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(w.StarButton(i)->isChecked(), i <= 2) << i;
    w.StarButton(5)->click();
    EXPECT_EQ(track->GetInfo()->Default2, 5);
    w.StarButton(1)->click(); // a lower star sets the rating, it does not take one away
    EXPECT_EQ(track->GetInfo()->Default2, 1);

    // The favourite mark goes with the track and counts as a play.
    const int plays = track->GetInfo()->PlayCount;
    w.FavoriteButton()->click();
    EXPECT_EQ(track->GetInfo()->Default1, 1);
    EXPECT_EQ(track->GetInfo()->PlayCount, plays + 1);
    EXPECT_GE(p.NodeSize(QStringLiteral("我的收藏夹")), 1);

    // Without a current track a star is only drawn unlit.
    p.Ctl().OnCommand(ctl::kStop);
    ASSERT_EQ(p.Ctl().CurrentTrack(), nullptr);
    w.StarButton(4)->click();
    EXPECT_FALSE(w.StarButton(4)->isChecked());
}

TEST(App, TwoWheelNotchesOnA200SecondTrackAtTenSeekTo28Seconds)
{
    QTemporaryDir home;
    QTemporaryDir music;
    const QString file = MakeMp3(music.filePath(QStringLiteral("long.mp3")), QStringLiteral("Long"), 200.0);
    Player p(home.path(), {file});
    ASSERT_TRUE(p.WaitLoaded());
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, file); }, kWaitMs));
    ASSERT_EQ(p.Ctl().GetLengthSeconds(), 200);
    p.Wnd().Progress()->setValue(10);
    // Over the play bar: there the wheel seeks.
    QWidget* bar = p.Wnd().Progress();
    const QPointF at = QPointF(bar->rect().center());
    QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(bar, &wheel);
    EXPECT_EQ(p.Wnd().Progress()->value(), 14);
    EXPECT_EQ(p.Ctl().ViewWindow()->Progress()->value(), 14);
    const int ms = p.Ctl().GetPositionMs();
    EXPECT_GE(ms, 28000);
    EXPECT_LT(ms, 33000);
}

TEST(App, DropsTakeOnlyMusicAndUpperCaseOnlyOnTheList)
{
    Library lib(0);
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    const QString text = lib.music.filePath(QStringLiteral("notes.txt"));
    WriteTextFile(text, QStringLiteral("not music"));
    const QString upper = MakeMp3(lib.music.filePath(QStringLiteral("LOUD.MP3")), QStringLiteral("Loud"));
    const QString lower = MakeMp3(lib.music.filePath(QStringLiteral("quiet.mp3")), QStringLiteral("Quiet"));

    // The tree pane (the group window) takes ".mp3" and ".wma" as written only.
    DropFiles(p, p.Wnd().TreeView()->viewport(), {text, upper, lower});
    EXPECT_EQ(p.Track(text), nullptr);
    EXPECT_EQ(p.Track(upper), nullptr);
    ASSERT_NE(p.Track(lower), nullptr);
    EXPECT_NE(p.Track(lower)->GetInfo()->AddDay, 0); // a user addition

    // Plain text dragged onto the list is refused.
    QMimeData plain;
    plain.setText(upper);
    EXPECT_EQ(p.Ctl().DropOnList(&plain), -1);
    EXPECT_EQ(p.Track(upper), nullptr);

    // The list view takes the extension in any case, into the first playlist.
    DropFiles(p, p.Wnd().ListView()->viewport(), {text, upper});
    EXPECT_EQ(p.Track(text), nullptr);
    ASSERT_NE(p.Track(upper), nullptr);
    IQvNode* shown = p.Ctl().DisplayedNode();
    ASSERT_NE(shown, nullptr);
    std::lock_guard lock(p.Lib().Mutex());
    EXPECT_EQ(shown->GetType(), -1); // a user playlist
    const MemberList& members = shown->Tracks();
    EXPECT_NE(std::find(members.begin(), members.end(), p.Track(upper)), members.end());
}

TEST(App, ASecondStartHandsItsFilesOverAndTheFirstPlaysTheFirst)
{
    Library lib(2);
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    p.Wnd().hide();

    // The real program as the second start; it finds this one by the per-user name.
    QProcess second;
    second.setProgram(QStringLiteral(ORDEL_APP_BINARY));
    second.setArguments(lib.files);
    second.start();
    ASSERT_TRUE(second.waitForStarted(kWaitMs));
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[0]); }, kWaitMs));
    EXPECT_TRUE(p.Wnd().isVisible()); // 1532 showed the window again
    EXPECT_NE(p.Track(lib.files[1]), nullptr);
    EXPECT_EQ(p.Ctl().DisplayedNode(), p.Node(Player::LocalMusic()));
    // The second start ends by itself, after its wait.
    ASSERT_TRUE(WaitUntil([&] { return second.state() == QProcess::NotRunning; }, kWaitMs));
    EXPECT_EQ(second.exitCode(), 0);
}

TEST(App, FilesCreatedInAWatchedFolderJoinAndDeletingThePlayingFileStopsIt)
{
    Library lib(1);
    Player p(lib.home.path(), {}, true);
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 1));

    // Written elsewhere and moved in, as a finished download arrives.
    QTemporaryDir elsewhere;
    const QString made = MakeMp3(elsewhere.filePath(QStringLiteral("new.mp3")), QStringLiteral("New"));
    const QString arrived = lib.music.filePath(QStringLiteral("new.mp3"));
    ASSERT_TRUE(QFile::rename(made, arrived));
    ASSERT_TRUE(WaitUntil([&] { return p.Track(arrived) != nullptr; }, kWaitMs));
    EXPECT_NE(p.Track(arrived)->GetInfo()->AddDay, 0);
    EXPECT_EQ(p.NodeSize(Player::LocalMusic()), 2);

    // A text file that appears is not music.
    WriteTextFile(lib.music.filePath(QStringLiteral("readme.txt")), QStringLiteral("x"));

    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    const int row = p.Wnd().ListModel()->RowOf(p.Track(lib.files[0]));
    ASSERT_GE(row, 0);
    p.Ctl().OnListDoubleClick(row);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[0]); }, kWaitMs));
    CQvMusic* playing = p.Ctl().CurrentTrack();
    ASSERT_TRUE(QFile::remove(lib.files[0]));
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().CurrentTrack() == nullptr; }, kWaitMs));
    EXPECT_TRUE(playing->GetState() & STATE_DELETED_WITH_FILE);
    EXPECT_EQ(p.Track(QDir(lib.music.path()).filePath(QStringLiteral("readme.txt"))), nullptr);
}

TEST(App, ATrackWhoseFileWasRemovedLeavesTheShownListAfterTheStartAndItsRowGoes)
{
    Library lib(3);
    {
        Player p(lib.home.path());
        ASSERT_TRUE(p.WaitLoadedPastFirstRun());
        ASSERT_TRUE(p.ImportFolder(lib.music.path(), 3));
        ASSERT_TRUE(p.Exit());
    }
    // Its folder still holds the other two: the file was really removed.
    ASSERT_TRUE(QFile::remove(lib.files[1]));
    const QString gid = MakeGid(lib.files[1]);
    {
        Player p(lib.home.path());
        // The list is shown as soon as the library is loaded, before the files are looked for.
        int shownAtLoad = -1;
        QObject::connect(&p.Ctl(), &CMainDlg::LibraryReady, [&] {
            p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
            shownAtLoad = p.Wnd().ListModel()->rowCount();
        });
        ASSERT_TRUE(p.WaitLoaded());
        ASSERT_TRUE(WaitUntil([&] { return p.Ctl().LibraryFilesChecked(); }, kWaitMs));
        EXPECT_EQ(shownAtLoad, 3);
        EXPECT_EQ(p.Wnd().ListModel()->rowCount(), 2);
        EXPECT_EQ(p.NodeSize(Player::LocalMusic()), 2);
        EXPECT_EQ(p.Track(lib.files[1]), nullptr);
        EXPECT_GE(p.Wnd().ListModel()->RowOf(p.Track(lib.files[2])), 0);
        ASSERT_TRUE(p.Exit());
    }
    {
        sqlite3* db = nullptr;
        const QByteArray path = QFile::encodeName(lib.home.filePath(QStringLiteral("data/AllMusic2.db")));
        ASSERT_EQ(sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT count(*), sum(Gid = ?) FROM AllMusic", -1, &st, nullptr), SQLITE_OK);
        const QByteArray key = gid.toUtf8();
        sqlite3_bind_text(st, 1, key.constData(), int(key.size()), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(st, 0), 2);
        EXPECT_EQ(sqlite3_column_int(st, 1), 0);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    // The next start has no trace of it, from the first moment.
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoaded());
    EXPECT_EQ(p.NodeSize(Player::LocalMusic()), 2);
    EXPECT_EQ(p.Track(lib.files[1]), nullptr);
    EXPECT_NE(p.Track(lib.files[0]), nullptr);
}

TEST(App, ShutdownWritesTheSettingsAndLeavesEveryDatabaseClosedAndIntact)
{
    Library lib(3);
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 3));
    p.Ctl().SetVolumePercent(64);
    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    p.Ctl().OnListDoubleClick(0);
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().IsStarted(); }, kWaitMs));

    const QString config = lib.home.filePath(QStringLiteral("data/Config.xml"));
    QFile::remove(config);
    ASSERT_TRUE(p.Exit());
    EXPECT_EQ(RunningWorkerCount(), 0);
    EXPECT_FALSE(p.Wnd().isVisible());
    EXPECT_EQ(p.Ctl().CurrentTrack(), nullptr);
    ASSERT_TRUE(QFile::exists(config));
    EXPECT_TRUE(testutil::ReadFile(config).contains("64"));
    const CQvConf& conf = CQvConf::Instance();
    EXPECT_EQ(conf.LibraryDb(), nullptr);
    EXPECT_EQ(conf.TempDb(), nullptr);
    EXPECT_EQ(conf.StatisticsDb(), nullptr);
    EXPECT_EQ(conf.TreeDb(), nullptr);
    EXPECT_EQ(conf.LyricsDb(), nullptr);

    for (const char* name : {"AllMusic2.db", "TempMusic2.db", "MusicOperate2.db", "Tree2.db"}) {
        const QString path = lib.home.filePath(QStringLiteral("data/") + QLatin1String(name));
        if (!QFile::exists(path)) continue;
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "ok") << name;
        sqlite3_finalize(st);
        sqlite3_close(db);
    }
    // The next start finds the library as it was left.
    Player again(lib.home.path());
    ASSERT_TRUE(again.WaitLoaded());
    EXPECT_EQ(again.NodeSize(Player::LocalMusic()), 3);
    EXPECT_EQ(again.FirstRunDialog(), nullptr);
    EXPECT_EQ(CQvConf::Instance().Settings().volume, 64);
    ASSERT_TRUE(again.Exit());

    // Without its tree file the library still comes up, under the default tree.
    ASSERT_TRUE(QFile::remove(lib.home.filePath(QStringLiteral("data/Tree2.db"))));
    Player third(lib.home.path());
    ASSERT_TRUE(third.WaitLoaded());
    EXPECT_EQ(third.NodeSize(Player::LocalMusic()), 3);
    EXPECT_NE(third.Node(QStringLiteral("最近播放")), nullptr);
}

TEST(App, AStartThatPlaysNothingLoadsNoFfmpegAndTheFirstPlayLoadsIt)
{
    QTemporaryDir home;
    QTemporaryDir music;
    const QString file = MakeMp3(music.filePath(QStringLiteral("one.mp3")), QStringLiteral("One"));
    // The real program, settled and pictured (a start with a file plays it first); the dynamic
    // loader names each library it loads, and how, on the error output.
    const auto run = [&](const QString& png, const QStringList& files) {
        QProcess player;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
        player.setProcessEnvironment(env);
        player.setProgram(QStringLiteral(ORDEL_APP_BINARY));
        player.setArguments(QStringList {QStringLiteral("--home"), home.path(), QStringLiteral("--no-service"),
                                         QStringLiteral("--screenshot"), home.filePath(png)} + files);
        player.start();
        EXPECT_TRUE(player.waitForFinished(60000));
        EXPECT_EQ(player.exitCode(), 0);
        EXPECT_TRUE(QFile::exists(home.filePath(png)));
        return player.readAllStandardError();
    };
    const QByteArray played = run(QStringLiteral("played.png"), {file});
    EXPECT_TRUE(played.contains("file=libavcodec.so")) << "the file was played without FFmpeg?";
    // The next start shows the same library and plays nothing: none of FFmpeg's seventy libraries.
    const QByteArray idle = run(QStringLiteral("idle.png"), {});
    EXPECT_FALSE(idle.contains("libavcodec.so"));
    EXPECT_FALSE(idle.contains("librsvg"));
    EXPECT_TRUE(idle.contains("file=libQt6Widgets.so")); // the loader did report its libraries
}

TEST(App, TheProgramEndsThroughItsShutdownOnATerminationSignal)
{
    QTemporaryDir home;
    QTemporaryDir music;
    const QString file = MakeMp3(music.filePath(QStringLiteral("one.mp3")), QStringLiteral("One"));
    // A home open to the machine's other users is made private by the start.
    ASSERT_TRUE(QFile::setPermissions(home.path(), QFile::permissions(home.path()) | QFileDevice::ReadGroup |
                                                       QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther));
    QProcess player;
    player.setProgram(QStringLiteral(ORDEL_APP_BINARY));
    player.setArguments({QStringLiteral("--home"), home.path(), QStringLiteral("--no-service"), file});
    player.start();
    ASSERT_TRUE(player.waitForStarted(kWaitMs));
    // The library file is written once the command line's track is in.
    const QString library = home.filePath(QStringLiteral("data/AllMusic2.db"));
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(library); }, kWaitMs));
    player.terminate(); // SIGTERM
    ASSERT_TRUE(player.waitForFinished(kWaitMs));
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
    EXPECT_TRUE(QFile::exists(home.filePath(QStringLiteral("data/Config.xml"))));
    EXPECT_FALSE(QFile::permissions(home.path()) &
                 (QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther));
}

TEST(App, WithoutSkinAndDefaultFilesThePlayerStillStartsPlaysAndEnds)
{
    QTemporaryDir home;
    QTemporaryDir noResources;
    QTemporaryDir music;
    const QString file = MakeMp3(music.filePath(QStringLiteral("one.mp3")), QStringLiteral("One"));
    CQvMediaStore store;
    AppOptions options;
    options.home = home.path();
    options.resourceDir = noResources.path();
    options.registerAssociation = false;
    options.store = &store;
    options.main.serviceTasks = false;
    options.main.identity = false;
    options.main.startupScan = false;
    options.main.watchChanges = false;
    CQuarvelApp app({file}, options);
    bool finished = false;
    QObject::connect(&app, &CQuarvelApp::Finished, [&](int) { finished = true; });
    ASSERT_LT(app.InitInstance(), 0);
    CMainDlg& c = *app.Controller();
    ASSERT_TRUE(WaitUntil([&] { return c.LibraryLoaded(); }, kWaitMs));
    EXPECT_TRUE(c.MainWindow()->isVisible());
    // Without a tree the command line's file still plays.
    ASSERT_TRUE(WaitUntil([&] { return c.CurrentTrack() && c.IsStarted(); }, kWaitMs));
    for (int id : {ctl::kNext, ctl::kVolumeUp, ctl::kStar1 + 2, ctl::kMiniMode, ctl::kMiniRestore, ctl::kToTray, 1551})
        c.OnCommand(id);
    c.OnCommand(ctl::kExit);
    ASSERT_TRUE(WaitUntil([&] { return finished; }, kWaitMs));
}

TEST(App, TracksDroppedOnAPlaylistOrAddedByAddressAreThereAfterARestart)
{
    Library lib(0);
    const QString dropped = MakeMp3(lib.music.filePath(QStringLiteral("dropped.mp3")), QStringLiteral("Dropped"));
    const QString address = QStringLiteral("http://127.0.0.1:9/radio.mp3");
    QString listName;
    {
        Player p(lib.home.path());
        ASSERT_TRUE(p.WaitLoadedPastFirstRun());
        // A drop on the list goes to the first playlist, which is then shown.
        DropFiles(p, p.Wnd().ListView()->viewport(), {dropped});
        IQvNode* shown = p.Ctl().DisplayedNode();
        ASSERT_NE(shown, nullptr);
        {
            std::lock_guard lock(p.Lib().Mutex());
            ASSERT_EQ(shown->GetType(), -1);
            listName = shown->GetName();
        }
        // An address added while the playlist is shown joins it.
        UrlTrackFields fields;
        fields.url = address;
        fields.song = QStringLiteral("Radio");
        ASSERT_TRUE(p.Ctl().AddUrl(fields));
        EXPECT_EQ(p.NodeSize(listName), 2);
        ASSERT_TRUE(p.Exit());
    }
    Player again(lib.home.path());
    ASSERT_TRUE(again.WaitLoaded());
    std::lock_guard lock(again.Lib().Mutex());
    IQvNode* list = again.Lib().Store().FindNode(listName);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->TrackIndex().Contains(MakeGid(dropped)));
    EXPECT_TRUE(list->TrackIndex().Contains(MakeGid(address)));
    EXPECT_EQ(list->TrackCount(), 2);
}

TEST(App, FilesDroppedOrChosenAreReadOffTheWindowThreadAndLandInTheListShown)
{
    Library lib(2);
    // Eight megabytes of nothing named as music: the tag library searches all of it for audio,
    // which takes seconds.
    QTemporaryDir junk;
    const QString slow = junk.filePath(QStringLiteral("slow.mp3"));
    ASSERT_TRUE(WriteSizedFile(slow, 8 << 20));
    const QString listName = QStringLiteral("Dropped here");
    {
        Player p(lib.home.path());
        ASSERT_TRUE(p.WaitLoadedPastFirstRun());
        IQvNode* list = p.Ctl().Tree().CreateList(listName);
        ASSERT_NE(list, nullptr);
        p.Wnd().TreeModel()->Reload();
        p.Wnd().SelectNode(list);
        ASSERT_EQ(p.Ctl().DisplayedNode(), list);

        // Each drop, and the files the chooser gives, come back before their files are read:
        // the window thread never opens them, and their tracks join the list only when the
        // worker's result comes back to the window.
        EXPECT_TRUE(Drop(p.Wnd().ListView()->viewport(), {slow}));
        EXPECT_TRUE(Drop(p.Wnd().ListView()->viewport(), {lib.files[0]}));
        EXPECT_EQ(p.Ctl().AddFiles({lib.files[1]}), 1);
        EXPECT_TRUE(p.Ctl().IsReadingFiles());
        EXPECT_EQ(p.NodeSize(listName), 0);

        // Once read, every track is in the playlist it was dropped on, and in its rows.
        ASSERT_TRUE(WaitUntil([&] { return !p.Ctl().IsReadingFiles(); }, 10 * kWaitMs));
        EXPECT_EQ(p.NodeSize(listName), 3);
        for (const QString& file : {slow, lib.files[0], lib.files[1]}) {
            ASSERT_NE(p.Track(file), nullptr) << file.toStdString();
            EXPECT_GE(p.Wnd().ListModel()->RowOf(p.Track(file)), 0) << file.toStdString();
        }
        ASSERT_TRUE(p.Exit());
    }
    Player again(lib.home.path());
    ASSERT_TRUE(again.WaitLoaded());
    std::lock_guard lock(again.Lib().Mutex());
    IQvNode* list = again.Lib().Store().FindNode(listName);
    ASSERT_NE(list, nullptr);
    for (const QString& file : {slow, lib.files[0], lib.files[1]})
        EXPECT_TRUE(list->TrackIndex().Contains(MakeGid(file))) << file.toStdString();
}

TEST(App, DeletingThePlayingAndShownListLeavesNothingPointingAtIt)
{
    Library lib(2, 6.0);
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    IQvNode* list = p.Ctl().Tree().CreateList(QStringLiteral("Doomed"));
    ASSERT_NE(list, nullptr);
    p.Wnd().TreeModel()->Reload();
    p.Wnd().SelectNode(list);
    ASSERT_EQ(p.Ctl().DisplayedNode(), list);
    DropFiles(p, p.Wnd().ListView()->viewport(), lib.files);
    ASSERT_EQ(p.NodeSize(QStringLiteral("Doomed")), 2);
    p.Ctl().OnListDoubleClick(0);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[0]); }, kWaitMs));
    ASSERT_EQ(p.Ctl().PlayingNode(), list);

    ASSERT_TRUE(p.Ctl().DeleteList(list));
    EXPECT_EQ(p.Node(QStringLiteral("Doomed")), nullptr);
    EXPECT_EQ(p.Ctl().PlayingNode(), nullptr);
    EXPECT_EQ(p.Ctl().DisplayedNode(), p.Node(Player::LocalMusic()));
    EXPECT_EQ(p.Wnd().ListModel()->Node(), p.Node(Player::LocalMusic()));
    EXPECT_TRUE(IsPlaying(p, lib.files[0])); // what plays goes on
    // The commands that walk the current list find none; nothing reaches the freed node.
    p.Ctl().OnCommand(ctl::kNext);
    p.Ctl().SortDisplayed(CTrackListModel::kColSong, true);
    p.Ctl().OnListDoubleClick(0);
    EXPECT_EQ(p.Ctl().PlayingNode(), p.Node(Player::LocalMusic()));
    // Only user playlists are deleted this way.
    EXPECT_FALSE(p.Ctl().DeleteList(p.Node(Player::LocalMusic())));
    ASSERT_TRUE(p.Exit());

    Player again(lib.home.path());
    ASSERT_TRUE(again.WaitLoaded());
    EXPECT_EQ(again.Node(QStringLiteral("Doomed")), nullptr);
    EXPECT_EQ(again.NodeSize(Player::LocalMusic()), 2);
}

TEST(App, FeedbackFromTheMainMenuReachesTheServiceAndTheMessageListKeepsItAcrossARestart)
{
    ServiceProcess& svc = ServiceProcess::Shared();
    ASSERT_TRUE(svc.Running());
    svc.Reset();
    QTemporaryDir home;
    // The home's service addresses name the test's service.
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("data"))));
    testutil::WriteFile(home.filePath(QStringLiteral("data/server.xml")),
                        QStringLiteral("<?xml version=\"1.0\" encoding=\"GBK\"?>\n"
                                       "<url name=\"metadataurl\" value=\"%1\"/>\n").arg(svc.EntryUrl()).toUtf8());
    auto menuAction = [](QMenu* menu, const QString& text) -> QAction* {
        for (QAction* a : menu->actions())
            if (a->text() == text) return a;
        return nullptr;
    };
    auto closeFirstRun = [](Player& p) {
        if (WaitUntil([&] { return p.FirstRunDialog() != nullptr; }, 2000)) p.FirstRunDialog()->CancelButton()->click();
    };
    {
        Player p(home.path());
        ASSERT_TRUE(p.WaitLoaded());
        closeFirstRun(p);
        QAction* feedback = menuAction(p.Wnd().MainMenu(), QStringLiteral("意见反馈"));
        ASSERT_TRUE(feedback);
        feedback->trigger();
        auto* dlg = p.Wnd().findChild<CMessageDlg*>();
        ASSERT_TRUE(dlg && dlg->isVisible());
        dlg->SetTitle(QStringLiteral("歌词不同步"));
        dlg->SetBody(QStringLiteral("第三行早了两秒"));
        ASSERT_TRUE(dlg->Confirm());
        for (QMessageBox* box : p.Wnd().findChildren<QMessageBox*>()) box->close();
        ASSERT_TRUE(WaitUntil([&] { return svc.Requests(QStringLiteral("addmessage")).size() == 1; }, kWaitMs));
        const QJsonObject sent = svc.Requests(QStringLiteral("addmessage"))[0].toObject();
        EXPECT_EQ(DocField(sent, QStringLiteral("title")), QStringLiteral("歌词不同步"));
        EXPECT_EQ(DocField(sent, QStringLiteral("message")), QStringLiteral("第三行早了两秒"));
        CMessageStore& store = p.Ctl().Messages()->Store();
        ASSERT_TRUE(WaitUntil([&] { return store.Messages().value(0).status == structMESSAGE::Sent; }, kWaitMs));
        ASSERT_TRUE(p.Exit());
    }
    Player again(home.path());
    ASSERT_TRUE(again.WaitLoaded());
    closeFirstRun(again);
    QAction* list = menuAction(again.Wnd().MainMenu(), QStringLiteral("留言和反馈"));
    ASSERT_TRUE(list);
    list->trigger();
    CMessageListDlg* dlg = again.Ctl().Messages()->ListDialog();
    ASSERT_TRUE(dlg && dlg->isVisible());
    ASSERT_EQ(dlg->List()->topLevelItemCount(), 1);
    EXPECT_EQ(dlg->Record(0)->text(CMessageRecord::kColTitle), QStringLiteral("歌词不同步"));
    EXPECT_EQ(dlg->Record(0)->text(CMessageRecord::kColSource), QStringLiteral("已发送"));
    // An update on offer joins the list as a notice, once however often it is found.
    for (int i = 0; i < 2; ++i) again.Ctl().UpdateOffered(QStringLiteral("2.0"));
    ASSERT_TRUE(WaitUntil([&] { return dlg->List()->topLevelItemCount() == 2; }, kWaitMs));
    WaitUntil([] { return false; }, 100);
    ASSERT_EQ(dlg->List()->topLevelItemCount(), 2);
    EXPECT_EQ(dlg->Record(1)->text(CMessageRecord::kColTitle), QStringLiteral("发现新版本 2.0"));
    EXPECT_EQ(dlg->Record(1)->text(CMessageRecord::kColSource), QStringLiteral("系统通知"));
    ASSERT_TRUE(again.Exit());
}

TEST(App, RetimedLyricsAreStoredForTheTrackTheyWereLoadedForAndADragSeeks)
{
    Library lib(2, 4.0);
    const QString lrc0 = lib.music.filePath(QStringLiteral("song0.lrc"));
    const QString lrc1 = lib.music.filePath(QStringLiteral("song1.lrc"));
    const QString text0 = QStringLiteral("[00:00.00]甲一\n[00:01.00]甲二\n[00:02.50]甲三\n");
    const QString text1 = QStringLiteral("[00:00.00]乙一\n[00:01.00]乙二\n[00:02.00]乙三\n[00:03.00]乙四\n");
    ASSERT_TRUE(WriteTextFile(lrc0, text0));
    ASSERT_TRUE(WriteTextFile(lrc1, text1));
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 2));
    p.Track(lib.files[0])->GetInfo()->EditRare().LrcFile = lrc0;
    p.Track(lib.files[1])->GetInfo()->EditRare().LrcFile = lrc1;
    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    CTrackListModel* model = p.Wnd().ListModel();

    p.Ctl().OnListDoubleClick(model->RowOf(p.Track(lib.files[0])));
    ASSERT_TRUE(WaitUntil([&] { return p.Wnd().LyricText() == QStringLiteral("甲一"); }, kWaitMs));
    CQvLyrics* panel = p.Wnd().LyricPanel();
    EXPECT_TRUE(panel->Loaded());
    EXPECT_TRUE(panel->TimerRunning());
    // Two steps earlier and one later, as the menu gives them; then the next track.
    panel->ShiftLyrics(500);
    panel->ShiftLyrics(500);
    panel->ShiftLyrics(-500);
    p.Ctl().OnListDoubleClick(model->RowOf(p.Track(lib.files[1])));
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[1]); }, kWaitMs));
    // The first track's file has the adjustment and its own time tags; the second is untouched.
    const QString stored0 = QString::fromUtf8(testutil::ReadFile(lrc0));
    EXPECT_TRUE(stored0.startsWith(QStringLiteral("[DeltalTime:500]\n"))) << stored0.toStdString();
    EXPECT_TRUE(stored0.contains(QStringLiteral("[00:02.50]甲三"))) << stored0.toStdString();
    EXPECT_EQ(QString::fromUtf8(testutil::ReadFile(lrc1)), text1);

    // The second track's lyrics arrive; pausing holds the panel, resuming lets it go on.
    ASSERT_TRUE(WaitUntil([&] { return p.Wnd().LyricText().startsWith(QStringLiteral("乙")); }, kWaitMs));
    p.Ctl().OnCommand(ctl::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return panel->Paused(); }, kWaitMs));
    EXPECT_FALSE(panel->TimerRunning());
    p.Ctl().OnCommand(ctl::kPlayPause);
    ASSERT_TRUE(WaitUntil([&] { return !panel->Paused() && panel->TimerRunning(); }, kWaitMs));

    // A drag that ends on a later line seeks there, and the panel finds that line at once.
    p.Wnd().Target().PostMessage(WM_LRC_SEEK, 0, 2500);
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().GetPositionMs() >= 2400; }, kWaitMs));
    EXPECT_EQ(p.Wnd().LyricText(), QStringLiteral("乙三"));
    // Stopping unloads: the welcome text is back.
    p.Ctl().OnCommand(ctl::kStop);
    EXPECT_FALSE(panel->Loaded());
    EXPECT_EQ(p.Wnd().LyricText(), QStringLiteral("欢迎使用VelcorOrdel客户端"));
}

TEST(App, ARealTrackWithLyricsMovesThePanelAndTheDesktopLyricsLineByLine)
{
    Library lib(1, 4.0);
    const QString lrc = lib.music.filePath(QStringLiteral("song0.lrc"));
    ASSERT_TRUE(WriteTextFile(lrc, QStringLiteral("[00:00.00]第一行\n[00:01.00]第二行\n[00:02.00]第三行\n[00:03.00]第四行\n")));
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 1));
    p.Track(lib.files[0])->GetInfo()->EditRare().LrcFile = lrc;
    CKLrcChildDlg* desktop = p.Wnd().DesktopLyrics();
    // The "词" button shows the desktop lyrics.
    ASSERT_NE(p.Wnd().Button(ctl::kLyricToggle), nullptr);
    p.Wnd().Button(ctl::kLyricToggle)->click();
    EXPECT_TRUE(desktop->isVisible());
    EXPECT_TRUE(p.Wnd().Button(ctl::kLyricToggle)->isChecked());
    EXPECT_EQ(desktop->DisplayText(), QStringLiteral("欢迎使用Ordel"));

    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    p.Ctl().OnListDoubleClick(0);
    // Each line time passed shows in both views.
    for (const QString& line : {QStringLiteral("第二行"), QStringLiteral("第三行"), QStringLiteral("第四行")}) {
        ASSERT_TRUE(WaitUntil([&] { return p.Wnd().LyricText() == line && desktop->DisplayText() == line; }, kWaitMs))
            << line.toStdString() << " panel " << p.Wnd().LyricText().toStdString() << " desktop "
            << desktop->DisplayText().toStdString();
        EXPECT_TRUE(desktop->TimerRunning(CKLrcChildDlg::kSweepTimer));
        EXPECT_TRUE(p.Wnd().LyricPanel()->TimerRunning());
    }
    // The sweep moves along the line while it plays.
    ASSERT_TRUE(WaitUntil([&] { return desktop->SweepWidth() > 0; }, kWaitMs));
    // Stopped, both views go back to their welcome texts.
    p.Ctl().OnCommand(ctl::kStop);
    EXPECT_EQ(desktop->DisplayText(), QStringLiteral("欢迎使用Ordel"));
    EXPECT_FALSE(desktop->TimerRunning(CKLrcChildDlg::kSweepTimer));
}

TEST(App, TheDesktopLyricsCommandIsRememberedAcrossARestart)
{
    QTemporaryDir home;
    {
        Player p(home.path());
        ASSERT_TRUE(p.WaitLoadedPastFirstRun());
        EXPECT_FALSE(p.Wnd().DesktopLyrics()->isVisible());
        p.Ctl().OnCommand(ctl::kLyricToggle);
        EXPECT_TRUE(p.Wnd().DesktopLyrics()->isVisible());
        // Dragged somewhere else: the place is kept too.
        p.Wnd().DesktopLyrics()->move(77, 99);
        ASSERT_TRUE(p.Exit());
    }
    EXPECT_TRUE(testutil::ReadFile(home.filePath(QStringLiteral("data/Config.xml"))).contains("desklrc=\"1\""));
    {
        Player p(home.path());
        ASSERT_TRUE(p.WaitLoaded());
        CKLrcChildDlg* desktop = p.Wnd().DesktopLyrics();
        EXPECT_TRUE(desktop->isVisible());
        EXPECT_TRUE(p.Wnd().Button(ctl::kLyricToggle)->isChecked());
        EXPECT_EQ(desktop->pos(), QPoint(77, 99));
        // Closed from its own bar: the button and the setting follow.
        desktop->ControlBar()->OnCommand(1201);
        EXPECT_FALSE(desktop->isVisible());
        EXPECT_FALSE(p.Wnd().Button(ctl::kLyricToggle)->isChecked());
        ASSERT_TRUE(p.Exit());
    }
    {
        Player p(home.path());
        ASSERT_TRUE(p.WaitLoaded());
        EXPECT_FALSE(p.Wnd().DesktopLyrics()->isVisible());
        p.Ctl().OnCommand(ctl::kLyricToggle);
        EXPECT_TRUE(p.Wnd().DesktopLyrics()->isVisible());
        p.Ctl().OnCommand(ctl::kLyricToggle);
        EXPECT_FALSE(p.Wnd().DesktopLyrics()->isVisible());
    }
}

namespace {

// The main menu's "显示歌词面板" entry, as the user sees it when the menu opens.
QAction* SidePanelEntry(CQuarvelDlg& wnd)
{
    emit wnd.MainMenu()->aboutToShow();
    for (QAction* a : wnd.MainMenu()->actions())
        if (a->text() == QStringLiteral("显示歌词面板")) return a;
    return nullptr;
}

} // namespace

TEST(App, TheClosedLyricPanelComesBackFromTheMainMenuAndIsRememberedAcrossARestart)
{
    QTemporaryDir home;
    {
        Player p(home.path());
        ASSERT_TRUE(p.WaitLoadedPastFirstRun());
        EXPECT_TRUE(p.Wnd().SidePanelVisible());
        QAction* entry = SidePanelEntry(p.Wnd());
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(entry->isCheckable() && entry->isChecked());
        // The panel's close button hides it and the lyric panel with it.
        ASSERT_NE(p.Wnd().Button(ctl::kClosePanel), nullptr);
        p.Wnd().Button(ctl::kClosePanel)->click();
        EXPECT_FALSE(p.Wnd().SidePanelVisible());
        EXPECT_FALSE(p.Wnd().LyricPanel()->isVisibleTo(&p.Wnd()));
        EXPECT_FALSE(SidePanelEntry(p.Wnd())->isChecked());
        ASSERT_TRUE(p.Exit());
    }
    EXPECT_TRUE(testutil::ReadFile(home.filePath(QStringLiteral("data/Config.xml"))).contains("sidepanel=\"0\""));
    {
        // Closed stays closed at the next start; the menu brings it back in this run.
        Player p(home.path());
        ASSERT_TRUE(p.WaitLoaded());
        EXPECT_FALSE(p.Wnd().SidePanelVisible());
        QAction* entry = SidePanelEntry(p.Wnd());
        ASSERT_NE(entry, nullptr);
        EXPECT_FALSE(entry->isChecked());
        entry->trigger();
        EXPECT_TRUE(p.Wnd().SidePanelVisible());
        EXPECT_TRUE(p.Wnd().LyricPanel()->isVisibleTo(&p.Wnd()));
        EXPECT_TRUE(SidePanelEntry(p.Wnd())->isChecked());
        ASSERT_TRUE(p.Exit());
    }
    {
        Player p(home.path());
        ASSERT_TRUE(p.WaitLoaded());
        EXPECT_TRUE(p.Wnd().SidePanelVisible());
        // The entry also hides it, like the close button.
        SidePanelEntry(p.Wnd())->trigger();
        EXPECT_FALSE(p.Wnd().SidePanelVisible());
        EXPECT_EQ(CQvConf::Instance().Settings().sidepanel, 0);
    }
}

TEST(App, TheSettingsLyricsPageAndTheLyricsSearchReachTheViews)
{
    Library lib(1, 6.0);
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 1));
    ConfigSettings& s = CQvConf::Instance().Settings();
    s.FontSize = 72;   // not offered: "中"
    s.ColorScheme = 4; // out of range: the first scheme
    CQvLog& log = CQvLog::GetInstance();
    log.ClearPending();

    // "设置" in the main menu opens the dialog with its lyrics page.
    QAction* settings = nullptr;
    for (QAction* a : p.Wnd().MainMenu()->actions())
        if (a->text() == QStringLiteral("设置")) settings = a;
    ASSERT_NE(settings, nullptr);
    settings->trigger();
    auto* dlg = p.Wnd().findChild<CSettingDlg*>();
    ASSERT_TRUE(dlg && dlg->isVisible());
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("设置"));
    auto* page = qobject_cast<CSettingLyricsDlg*>(dlg->Page(0));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->SizeList()->currentText(), QStringLiteral("中"));
    EXPECT_EQ(page->SchemeList()->currentIndex(), 0);
    EXPECT_EQ(log.PendingCount(), 0); // showing records nothing
    page->SchemeList()->setCurrentIndex(2);
    page->SizeList()->setCurrentIndex(0);
    EXPECT_EQ(page->Preview()->Scheme(), 2);
    EXPECT_EQ(page->Preview()->FontSize(), 60);
    EXPECT_EQ(s.ColorScheme, 4); // only the preview changes before applying
    const QString records = log.PendingRecords().join(QLatin1Char('\n'));
    EXPECT_TRUE(records.contains(QStringLiteral("858"))) << records.toStdString();
    EXPECT_TRUE(records.contains(QStringLiteral("859"))) << records.toStdString();
    dlg->ApplyAll();
    CKLrcChildDlg* desktop = p.Wnd().DesktopLyrics();
    EXPECT_EQ(s.ColorScheme, 2);
    EXPECT_EQ(s.FontSize, 60);
    EXPECT_EQ(desktop->Scheme(), 2);
    EXPECT_EQ(desktop->FontSize(), 60);
    // The desktop lyrics' own bar shows in the page too.
    desktop->ControlBar()->OnCommand(1197 + 3);
    EXPECT_EQ(page->SchemeList()->currentIndex(), 3);
    page->RestoreDefaults();
    EXPECT_EQ(page->SizeList()->currentText(), QStringLiteral("中"));
    EXPECT_EQ(page->SchemeList()->currentIndex(), 0);
    EXPECT_TRUE(log.PendingRecords().join(QLatin1Char('\n')).contains(QStringLiteral("861")));
    dlg->reject();

    // The search finds a file of the lyrics folder by the song's title; choosing it gives the
    // playing track those lyrics at once.
    const QString found = CQvConf::Instance().LyricsDir() + QStringLiteral("Song 0 - Artist.lrc");
    ASSERT_TRUE(QDir().mkpath(CQvConf::Instance().LyricsDir()));
    ASSERT_TRUE(WriteTextFile(found, QStringLiteral("[00:00.00]找到的歌词\n[00:30.00]下一行\n")));
    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    p.Ctl().OnListDoubleClick(0);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[0]); }, kWaitMs));
    std::unique_ptr<QMenu> menu(p.Wnd().LyricPanel()->BuildMenu(nullptr));
    QAction* search = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == QStringLiteral("搜索歌词...")) search = a;
    ASSERT_NE(search, nullptr);
    search->trigger();
    auto* searchDlg = p.Wnd().findChild<CLyricSearchDlg*>();
    ASSERT_NE(searchDlg, nullptr);
    EXPECT_EQ(searchDlg->windowTitle(), QStringLiteral("搜索歌词"));
    EXPECT_EQ(searchDlg->SongEdit()->text(), QStringLiteral("Song 0"));
    ASSERT_TRUE(WaitUntil([&] { return !searchDlg->Searching(); }, kWaitMs));
    ASSERT_EQ(searchDlg->List()->topLevelItemCount(), 1);
    EXPECT_EQ(searchDlg->List()->topLevelItem(0)->text(0), QStringLiteral("Song 0 - Artist"));
    searchDlg->Confirm();
    ASSERT_TRUE(WaitUntil([&] { return p.Wnd().LyricText() == QStringLiteral("找到的歌词"); }, kWaitMs));
    EXPECT_EQ(p.Track(lib.files[0])->GetInfo()->Rare().LrcFile, found);
    EXPECT_TRUE(log.PendingRecords().join(QLatin1Char('\n')).contains(QStringLiteral("950")));
}

namespace {

// The settings dialog the user has in front of them (closed ones wait for their deletion).
CSettingDlg* OpenSettingsDialog(CQuarvelDlg& wnd)
{
    for (CSettingDlg* dlg : wnd.findChildren<CSettingDlg*>())
        if (dlg->isVisible()) return dlg;
    return nullptr;
}

// A button of the dialog's own row (a notice's "确定" is not one).
QPushButton* DialogButton(QWidget* dlg, const QString& text)
{
    auto* row = dlg->findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly);
    for (QAbstractButton* b : row ? row->buttons() : QList<QAbstractButton*>())
        if (b->text() == text) return qobject_cast<QPushButton*>(b);
    return nullptr;
}

QStringList VisibleNotices(QWidget* dlg)
{
    QStringList texts;
    for (QMessageBox* box : dlg->findChildren<QMessageBox*>())
        if (box->isVisible()) texts.append(box->text());
    return texts;
}

int NicknameChecks()
{
    return static_cast<int>(RecordedEvents().count(856));
}

} // namespace

TEST(App, PersonalInformationIsASettingsPageWithTheNicknameCheck)
{
    QTemporaryDir home;
    Player p(home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    CQvLog::GetInstance().ClearPending();

    // Signed out, the main menu's settings show the page without a nickname to edit.
    p.Ctl().OnCommand(CMainDlg::kSettingsCommand);
    CSettingDlg* dlg = OpenSettingsDialog(p.Wnd());
    ASSERT_NE(dlg, nullptr);
    auto* page = qobject_cast<CSettingUserInfoDlg*>(dlg->Page(1));
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->PageTitle(), QStringLiteral("个人信息"));
    EXPECT_FALSE(page->NicknameEdit()->isEnabled());
    EXPECT_FALSE(page->isVisible()); // the lyrics page comes first
    DialogButton(dlg, QStringLiteral("确定"))->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(NicknameChecks(), 0); // an untouched nickname is not checked

    // Signed in, the user menu's "个人信息" opens the settings on that page.
    CQvClientIdentity::Instance().SetVuid(QStringLiteral("session-1"));
    CQvClientIdentity::Instance().SetUser(QStringLiteral("10001"), QStringLiteral("小明"), true,
                                          QStringLiteral("13800138000"));
    p.Ctl().Session().OnUserArea(QPoint(0, 0));
    QMenu* menu = p.Ctl().Session().UserMenu();
    ASSERT_NE(menu, nullptr);
    menu->close();
    QAction* info = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == QStringLiteral("个人信息")) info = a;
    ASSERT_NE(info, nullptr);
    info->trigger();
    dlg = OpenSettingsDialog(p.Wnd());
    ASSERT_NE(dlg, nullptr);
    page = qobject_cast<CSettingUserInfoDlg*>(dlg->Page(1));
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->isVisible());
    EXPECT_TRUE(page->NicknameEdit()->isEnabled());
    EXPECT_EQ(page->NicknameEdit()->text(), QStringLiteral("小明"));

    // A nickname the service would refuse keeps the dialog open with a notice, on this page
    // even when the user has gone to another one; each check is recorded.
    page->NicknameEdit()->setText(QStringLiteral("_小明"));
    dlg->ShowPage(0);
    DialogButton(dlg, QStringLiteral("确定"))->click();
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_TRUE(page->isVisible());
    EXPECT_EQ(VisibleNotices(dlg), QStringList{QStringLiteral("昵称只能由汉字、字母、数字和下划线组成，且不能以下划线开头")});
    EXPECT_EQ(NicknameChecks(), 1);
    for (QMessageBox* box : dlg->findChildren<QMessageBox*>()) box->close();
    page->NicknameEdit()->setText(QString(33, QLatin1Char('a')));
    DialogButton(dlg, QStringLiteral("应用"))->click();
    EXPECT_EQ(VisibleNotices(dlg), QStringList{QStringLiteral("昵称不能超过32个字符")});
    EXPECT_EQ(NicknameChecks(), 2);
    for (QMessageBox* box : dlg->findChildren<QMessageBox*>()) box->close();
    // One that fits closes it; nothing is sent, the nickname shown stays the service's.
    page->NicknameEdit()->setText(QStringLiteral(" 小明_02 "));
    DialogButton(dlg, QStringLiteral("确定"))->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(NicknameChecks(), 3);
    const QString record = CQvLog::GetInstance().PendingRecords().last();
    EXPECT_EQ(record.split(QLatin1Char('\t')).value(4), QStringLiteral("856")) << record.toStdString();
    EXPECT_TRUE(record.contains(QStringLiteral("1094"))) << record.toStdString();
    EXPECT_EQ(CQvClientIdentity::Instance().Get().nickname, QStringLiteral("小明"));
    p.Ctl().Session().SignOut();
}

TEST(App, HandedOverFilesAreReadOffTheWindowThreadAndTheLatestHandOverPlays)
{
    Library lib(1);
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());

    // Eight megabytes of nothing named as music: the tag library searches all of it for audio,
    // which takes seconds.
    QTemporaryDir junk;
    const QString slow = junk.filePath(QStringLiteral("slow.mp3"));
    ASSERT_TRUE(WriteSizedFile(slow, 8 << 20));
    p.Ctl().PlayHandedOverFiles({slow});
    // The hand-over came back before the file was read: the window thread never opened it.
    EXPECT_EQ(p.Track(slow), nullptr);
    // A second start's file, handed over meanwhile, plays while the first is still being read.
    p.Ctl().PlayHandedOverFiles({lib.files[0]});
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, lib.files[0]); }, kWaitMs));
    // The slow file joins the library once read, but the later hand-over keeps playing.
    ASSERT_TRUE(WaitUntil([&] { return !p.Ctl().IsReadingFiles(); }, 10 * kWaitMs));
    EXPECT_NE(p.Track(slow), nullptr);
    EXPECT_TRUE(IsPlaying(p, lib.files[0]));
}

TEST(App, TheWindowAnswersATerminationSignalWhileAHugeFileOnTheCommandLineIsRead)
{
    QTemporaryDir home;
    QTemporaryDir music;
    // Reading this file's tags takes the library minutes.
    const QString huge = music.filePath(QStringLiteral(".mp3"));
    ASSERT_TRUE(WriteSizedFile(huge, qint64(2) << 30));
    QProcess player;
    player.setProgram(QStringLiteral(ORDEL_APP_BINARY));
    player.setArguments({QStringLiteral("--home"), home.path(), QStringLiteral("--no-service"), huge});
    player.start();
    ASSERT_TRUE(player.waitForStarted(kWaitMs));
    // The library files are made by the library load, before the command line's files are
    // looked at.
    const QString library = home.filePath(QStringLiteral("data/AllMusic2.db"));
    ASSERT_TRUE(WaitUntil([&] { return QFile::exists(library); }, kWaitMs));
    player.terminate(); // SIGTERM
    const bool ended = player.waitForFinished(kWaitMs);
    if (!ended) player.kill();
    ASSERT_TRUE(ended);
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
}

TEST(App, MegabyteTextsAreShownCutInTheListAlsoWhenStoredByAnEarlierStart)
{
    Library lib(1);
    const QString huge(4 << 20, QLatin1Char('S'));
    {
        Player p(lib.home.path());
        ASSERT_TRUE(p.WaitLoadedPastFirstRun());
        ASSERT_TRUE(p.ImportFolder(lib.music.path(), 1));
        ASSERT_TRUE(p.Exit());
    }
    // An earlier version stored whatever a tag or a page gave.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(lib.home.filePath(QStringLiteral("data/AllMusic2.db"))).constData(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "UPDATE AllMusic SET Song=?, Artist=? WHERE Gid=?", -1, &st, nullptr), SQLITE_OK);
    const QByteArray text = huge.toLatin1();
    const QByteArray gid = MakeGid(lib.files[0]).toLatin1();
    sqlite3_bind_text(st, 1, text.constData(), int(text.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, 2, text.constData(), int(text.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, 3, gid.constData(), int(gid.size()), SQLITE_STATIC);
    EXPECT_EQ(sqlite3_step(st), SQLITE_DONE);
    sqlite3_finalize(st);
    EXPECT_EQ(sqlite3_changes(db), 1);
    sqlite3_close(db);

    Player again(lib.home.path());
    ASSERT_TRUE(again.WaitLoaded());
    ASSERT_EQ(again.Track(lib.files[0])->GetInfo()->Song.size(), huge.size());
    again.Wnd().SelectNode(again.Node(Player::LocalMusic()));
    CTrackListModel* model = again.Wnd().ListModel();
    const int row = model->RowOf(again.Track(lib.files[0]));
    ASSERT_GE(row, 0);
    for (int column : {int(CTrackListModel::kColSong), int(CTrackListModel::kColArtist)}) {
        const QString shown = model->data(model->index(row, column), Qt::DisplayRole).toString();
        EXPECT_EQ(shown.size(), kMaxTrackText);
        EXPECT_TRUE(huge.startsWith(shown));
    }
    // Playing it shows the title cut as well.
    again.Ctl().OnListDoubleClick(row);
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(again, lib.files[0]); }, kWaitMs));
    EXPECT_LE(again.Wnd().TitleText().size(), 2 * kMaxTrackText + 1);
}

TEST(App, TracksNotStoredForAFullDiskAreToldAndADamagedLayoutGivesWayToTheShippedOne)
{
    Library lib(1);
    // Long titles: their rows need more room than the file has left.
    for (int i = 1; i < 4; ++i)
        lib.files.append(MakeMp3(lib.music.filePath(QStringLiteral("long%1.mp3").arg(i)), QString(900, QChar(0x6B4C + i))));
    // A layout file of the home's own skin that cannot be read.
    for (const char* name : {"pos.xml", "pos_small.xml", "pos_win7.xml", "pos_win7_small.xml"})
        WriteTextFile(lib.home.filePath(QStringLiteral("skin/") + QLatin1String(name)), QStringLiteral("<wnd id="));
    QTemporaryDir first;
    ASSERT_TRUE(QFile::rename(lib.files[0], first.filePath(QStringLiteral("first.mp3"))));
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    EXPECT_TRUE(CSkinPosManage::Instance().DesignSize(ctl::kMainWnd).isValid());
    ASSERT_TRUE(p.ImportFolder(first.path(), 1));

    // The disk fills up: the library file may not grow by a page more. (A real disk cannot be
    // filled here; SQLite reports the page limit exactly as it reports a full disk.)
    CSqliteDb* db = CQvConf::Instance().LibraryDb();
    ASSERT_TRUE(db && db->IsOpen());
    {
        std::lock_guard lock(p.Lib().Mutex());
        ASSERT_EQ(db->Exec("PRAGMA wal_checkpoint(TRUNCATE)"), 0);
        SqliteStatement pages;
        ASSERT_EQ(db->Prepare("PRAGMA page_count", pages), 0);
        ASSERT_EQ(pages.Step(), kSqliteRow);
        ASSERT_EQ(db->Exec(("PRAGMA max_page_count=" + QByteArray::number(pages.ColumnInt(0))).constData()), 0);
    }
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 4));
    auto notice = [&]() -> QMessageBox* {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible() && box->text() == txt::kDiskFull) return box;
        for (QMessageBox* box : p.Wnd().findChildren<QMessageBox*>())
            if (box->isVisible() && box->text() == txt::kDiskFull) return box;
        return nullptr;
    };
    ASSERT_TRUE(WaitUntil([&] { return notice() != nullptr; }, kWaitMs));
    notice()->close();
    ASSERT_TRUE(p.Exit());
}

namespace {

// A music file whose name is GBK bytes ("歌曲.mp3"), as a Windows disk or archive leaves it;
// removed again at the end (the temporary folder cannot read its name to remove it).
struct GbkNamedMp3 {
    QByteArray name;
    explicit GbkNamedMp3(const QString& folder) : name(QFile::encodeName(folder) + "/\xb8\xe8\xc7\xfa.mp3")
    {
        const QString made = MakeMp3(folder + QStringLiteral("/made.mp3"), QStringLiteral("Gbk Song"));
        EXPECT_EQ(::rename(QFile::encodeName(made).constData(), name.constData()), 0);
    }
    ~GbkNamedMp3() { ::unlink(name.constData()); }
};

} // namespace

TEST(App, FilesWithGbkNamesAreImportedByTheScanAndPlayed)
{
    Library lib(0);
    const GbkNamedMp3 file(lib.music.path());
    Player p(lib.home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(lib.music.path(), 1));
    const QString shown = lib.music.path() + QStringLiteral("/歌曲.mp3");
    CQvMusic* track = p.Track(shown);
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->GetInfo()->Song, QStringLiteral("Gbk Song")); // its tags were read
    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    p.Ctl().OnListDoubleClick(p.Wnd().ListModel()->RowOf(track));
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, shown) && p.Ctl().GetPositionMs() > 0; }, kWaitMs));
}

TEST(App, AFileWithAGbkNameOnTheCommandLineIsStored)
{
    QTemporaryDir home;
    QTemporaryDir music;
    const GbkNamedMp3 file(music.path());
    // The name goes to the program as the bytes it has on disk.
    QProcess player;
    player.setProgram(QStringLiteral("/bin/sh"));
    player.setArguments({QStringLiteral("-c"),
                         QStringLiteral("exec \"$0\" --home \"$1\" --no-service \"$2/$(printf '\\270\\350\\307\\372.mp3')\""),
                         QStringLiteral(ORDEL_APP_BINARY), home.path(), music.path()});
    player.start();
    ASSERT_TRUE(player.waitForStarted(kWaitMs));
    // The row is looked for in a copy of the file and its log: a reader's lock must not meet
    // the player's first writes, which take no busy wait.
    const QString library = home.filePath(QStringLiteral("data/AllMusic2.db"));
    auto stored = [&]() -> QByteArray {
        QTemporaryDir snapshot;
        const QString copy = snapshot.filePath(QStringLiteral("copy.db"));
        if (!QFile::copy(library, copy)) return {};
        QFile::copy(library + QStringLiteral("-wal"), copy + QStringLiteral("-wal"));
        QByteArray lsrc;
        sqlite3* db = nullptr;
        if (sqlite3_open(QFile::encodeName(copy).constData(), &db) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT LSrc FROM AllMusic", -1, &st, nullptr) == SQLITE_OK &&
                sqlite3_step(st) == SQLITE_ROW)
                lsrc = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return lsrc;
    };
    ASSERT_TRUE(WaitUntil([&] { return !stored().isEmpty(); }, kWaitMs));
    // The library holds its text in the code page: the very bytes of the name.
    EXPECT_EQ(stored(), QFile::encodeName(music.path()) + "/\xb8\xe8\xc7\xfa.mp3");
    player.terminate();
    ASSERT_TRUE(player.waitForFinished(kWaitMs));
}

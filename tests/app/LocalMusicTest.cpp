// The local half as a new user meets it: a folder of their own music imported and shown right,
// playlists filled and kept from the list view, and the small behaviours of the list.
#include "tests/app/AppHarness.h"

#include "app/CAddMusicDoneDlg.h"
#include "app/ChooserFolder.h"
#include "app/CNodeTreeModel.h"
#include "app/CPlaylistDialogs.h"
#include "app/CViewDlg.h"
#include "base/CodePage.h"
#include "playback/CQvPlayCore.h"
#include "model/AudioTag.h"
#include "ui/CSkinPicture.h"
#include "ui/CSkinSlider.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QWindow>
#include <QColor>
#include <QDir>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeView>
#include <QWheelEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>

#include <atomic>
#include <thread>

using namespace apptest;

namespace {

QString MakeTagged(const QString& path, const Tags& tags, qint64 size)
{
    Mp3Options o;
    o.seconds = 1.0;
    o.sampleRate = 22050;
    o.channels = 1;
    o.bitrateKbps = 32;
    EXPECT_TRUE(WriteMp3OfSize(path, std::max<qint64>(size, MinimumMp3Size(o, tags)), o, tags));
    return path;
}

QStringList Column(const QTableView* view, int column)
{
    QStringList out;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        out.append(view->model()->index(r, column).data().toString());
    return out;
}

} // namespace

TEST(LocalMusic, AChosenFolderGivesEveryFileWithItsNamesReadRight)
{
    QTemporaryDir home;
    QTemporaryDir music;
    // A short clip, a 12 MB live track, Western names in Latin-1 frames, Chinese in GBK, and
    // titles with apostrophes, quotes and ampersands.
    Tags bjork;
    bjork.id3v2 = TagFields {.artist = QStringLiteral("Björk"), .rawTitle = QByteArray("J\xF3ga")};
    Tags gbk;
    gbk.id3v2 = TagFields {.artist = QStringLiteral("x"), .rawTitle = ToAnsi(QStringLiteral("聽海"))};
    MakeTagged(music.filePath(QStringLiteral("clip.mp3")), bjork, 300 * 1000);
    MakeTagged(music.filePath(QStringLiteral("live.mp3")), gbk, 12 * 1000 * 1000);
    MakeTagged(music.filePath(QStringLiteral("quotes.mp3")),
               Tags::Id3v2(QStringLiteral("Don't Look Back \"Live\""), QStringLiteral("Simon & Garfunkel")), 600 * 1000);

    // An album whose file names are not in its track order.
    ASSERT_TRUE(QDir(music.path()).mkdir(QStringLiteral("album")));
    Tags second = Tags::Id3v2(QStringLiteral("Second"));
    second.id3v2->track = 2;
    Tags first = Tags::Id3v2(QStringLiteral("First"));
    first.id3v2->track = 1;
    MakeTagged(music.filePath(QStringLiteral("album/a.mp3")), second, 600 * 1000);
    MakeTagged(music.filePath(QStringLiteral("album/b.mp3")), first, 600 * 1000);

    Player p(home.path());
    ASSERT_TRUE(p.WaitLoaded());
    ASSERT_TRUE(p.ImportFolder(music.path(), 5));
    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    p.Wnd().RefreshList();
    QTableView* list = p.Wnd().ListView();
    const QStringList songs = Column(list, CTrackListModel::kColSong);
    // A fresh import lists each folder in its track order, then by file name.
    EXPECT_EQ(songs, (QStringList {QStringLiteral("Jóga"), QStringLiteral("聽海"), QStringLiteral("Don't Look Back \"Live\""),
                                   QStringLiteral("First"), QStringLiteral("Second")}));
    const QStringList artists = Column(list, CTrackListModel::kColArtist);
    EXPECT_TRUE(songs.contains(QStringLiteral("Jóga"))) << songs.join(u',').toStdString();
    EXPECT_TRUE(artists.contains(QStringLiteral("Björk")));
    EXPECT_TRUE(songs.contains(QStringLiteral("聽海")));
    EXPECT_TRUE(songs.contains(QStringLiteral("Don't Look Back \"Live\"")));
    EXPECT_TRUE(artists.contains(QStringLiteral("Simon & Garfunkel")));
    EXPECT_EQ(p.Wnd().ScanText(), QStringLiteral("完成，共找到5首歌曲"));
}

TEST(LocalMusic, LyricsBesideTheSongAndThePictureInItShow)
{
    QTemporaryDir home;
    QTemporaryDir music;
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files.append(MakeMp3(music.filePath(QStringLiteral("song%1.mp3").arg(i)), QStringLiteral("Local %1").arg(i), 3.0));
    // Lyrics beside three of the songs in the three encodings lyrics files come in.
    ASSERT_TRUE(WriteTextFile(music.filePath(QStringLiteral("song0.lrc")), QStringLiteral("[00:00.00]第一行 utf8\n"),
                              TextEncoding::Utf8));
    ASSERT_TRUE(WriteTextFile(music.filePath(QStringLiteral("song1.lrc")), QStringLiteral("[00:00.00]第一行 bom\n"),
                              TextEncoding::Utf8Bom));
    ASSERT_TRUE(WriteTextFile(music.filePath(QStringLiteral("song2.lrc")), QStringLiteral("[00:00.00]第一行 聽海\n"),
                              TextEncoding::CodePage));
    // The last carries its cover in its tags.
    const QString png = music.filePath(QStringLiteral("red.png"));
    QImage red(32, 32, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(png));
    EmbedAudioPicture(files[3], png);
    QFile::remove(png);

    Player p(home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(music.path(), 4));
    p.Wnd().SelectNode(p.Node(Player::LocalMusic()));
    const QString expected[3] = {QStringLiteral("第一行 utf8"), QStringLiteral("第一行 bom"), QStringLiteral("第一行 聽海")};
    for (int i = 0; i < 3; ++i) {
        p.Ctl().OnListDoubleClick(p.Wnd().ListModel()->RowOf(p.Track(files[i])));
        ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, files[i]); }, kWaitMs));
        EXPECT_TRUE(WaitUntil([&] { return p.Wnd().LyricText() == expected[i]; }, kWaitMs))
            << p.Wnd().LyricText().toStdString();
        // A song without a picture keeps the placeholder.
        EXPECT_TRUE(p.Wnd().CoverPicture()->Image().isNull());
    }
    p.Ctl().OnListDoubleClick(p.Wnd().ListModel()->RowOf(p.Track(files[3])));
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, files[3]); }, kWaitMs));
    ASSERT_TRUE(WaitUntil([&] { return !p.Wnd().CoverPicture()->Image().isNull(); }, kWaitMs));
    EXPECT_EQ(p.Wnd().CoverPicture()->Image().pixelColor(16, 16), QColor(Qt::red));
    EXPECT_TRUE(p.Ctl().ViewWindow()->ShowsCover());
}

namespace {

QPoint RowPoint(const QTableView* view, int row)
{
    return view->visualRect(view->model()->index(row, CTrackListModel::kColSong)).center();
}

// A right click on a row: the view's context menu request, as the mouse gives it.
void RightClickRow(QTableView* view, int row)
{
    const QPoint at = RowPoint(view, row);
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view->viewport(), &e);
}

void RightClickNode(QTreeView* tree, const QModelIndex& index)
{
    const QPoint at = tree->visualRect(index).center();
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(tree->viewport(), &e);
}

QAction* FindAction(const QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions()) {
        if (a->text() == text) return a;
        if (a->menu())
            if (QAction* inner = FindAction(a->menu(), text)) return inner;
    }
    return nullptr;
}

void SelectRows(QTableView* view, const QList<int>& rows)
{
    view->clearSelection();
    for (int r : rows)
        view->selectionModel()->select(view->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Rows of the list dragged and dropped at `at` on `target` (a viewport), as a drag does it.
bool DragRows(QTableView* view, QWidget* target, const QPoint& at)
{
    std::unique_ptr<QMimeData> data(view->model()->mimeData(view->selectionModel()->selectedIndexes()));
    if (!data) return false;
    QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    if (!move.isAccepted()) return false;
    QDropEvent drop(at, Qt::MoveAction | Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QStringList Titles(const Player& p, const QString& list)
{
    QStringList out;
    std::lock_guard lock(p.Lib().Mutex());
    if (IQvNode* node = p.Lib().Store().FindNode(list))
        for (CQvMusic* t : node->Tracks()) out.append(t->GetInfo()->Song);
    return out;
}

QString TreeText(const Player& p, const QString& list)
{
    return p.Wnd().TreeModel()->IndexOf(p.Node(list)).data().toString();
}

template <class Dialog>
Dialog* WaitDialog(const Player& p)
{
    // A dialog answered before is hidden until it is deleted: the one that counts is shown.
    Dialog* found = nullptr;
    WaitUntil(
        [&] {
            for (Dialog* d : p.Wnd().findChildren<Dialog*>())
                if (d->isVisible()) found = d;
            return found != nullptr;
        },
        kWaitMs);
    return found;
}

} // namespace

TEST(LocalMusic, PlaylistsFilledFromTheRowMenuAndByDragAreKeptInTheirOrder)
{
    Library lib(5);
    const QString defaultList = QStringLiteral("默认列表");
    QStringList kept;
    {
        Player p(lib.home.path());
        ASSERT_TRUE(p.WaitLoadedPastFirstRun());
        ASSERT_TRUE(p.ImportFolder(lib.music.path(), 5));
        CQuarvelDlg& w = p.Wnd();
        w.resize(1100, 760);
        w.SelectNode(p.Node(Player::LocalMusic()));
        QTableView* list = w.ListView();
        ASSERT_EQ(list->model()->rowCount(), 5);
        const QStringList local = Column(list, CTrackListModel::kColSong);

        // Two rows chosen, the menu of one of them: "添加到" the default list.
        SelectRows(list, {0, 2});
        RightClickRow(list, 2);
        QMenu* menu = w.RowMenu();
        for (const QString& text : {QStringLiteral("播放"), QStringLiteral("从列表中删除"), QStringLiteral("打开文件所在位置"),
                                    QStringLiteral("新建列表...")})
            EXPECT_NE(FindAction(menu, text), nullptr) << text.toStdString();
        ASSERT_NE(FindAction(menu, defaultList), nullptr);
        FindAction(menu, defaultList)->trigger();
        menu->hide();
        EXPECT_EQ(Titles(p, defaultList), (QStringList {local[0], local[2]}));
        EXPECT_EQ(TreeText(p, defaultList), defaultList + QStringLiteral("  (2)"));

        // "新建列表..." asks for the name in the skin, then holds the chosen rows.
        RightClickRow(list, 0);
        FindAction(w.RowMenu(), QStringLiteral("新建列表..."))->trigger();
        w.RowMenu()->hide();
        auto* name = WaitDialog<CListNameDlg>(p);
        ASSERT_NE(name, nullptr);
        name->Edit()->setText(QStringLiteral("跑步"));
        name->OkButton()->click();
        ASSERT_TRUE(WaitUntil([&] { return p.Node(QStringLiteral("跑步")) != nullptr; }, kWaitMs));
        EXPECT_EQ(Titles(p, QStringLiteral("跑步")), (QStringList {local[0], local[2]}));

        // Rows dragged onto the new list's node join it; one already there is not doubled.
        SelectRows(list, {1, 2, 3});
        QTreeView* tree = w.TreeView();
        const QModelIndex runNode = w.TreeModel()->IndexOf(p.Node(QStringLiteral("跑步")));
        ASSERT_TRUE(DragRows(list, tree->viewport(), tree->visualRect(runNode).center()));
        EXPECT_EQ(Titles(p, QStringLiteral("跑步")), (QStringList {local[0], local[2], local[1], local[3]}));
        EXPECT_EQ(TreeText(p, QStringLiteral("跑步")), QStringLiteral("跑步  (4)"));
        // A drag onto a list that is no playlist is refused.
        EXPECT_FALSE(DragRows(list, tree->viewport(), tree->visualRect(w.TreeModel()->IndexOf(p.Node(QStringLiteral("我的收藏夹")))).center()));

        // Inside the playlist, rows dragged up reorder it.
        w.SelectNode(p.Node(QStringLiteral("跑步")));
        ASSERT_EQ(list->model()->rowCount(), 4);
        SelectRows(list, {3});
        const QRect top = list->visualRect(list->model()->index(0, CTrackListModel::kColSong));
        ASSERT_TRUE(DragRows(list, list->viewport(), QPoint(top.center().x(), top.top() + 2)));
        EXPECT_EQ(Titles(p, QStringLiteral("跑步")), (QStringList {local[3], local[0], local[2], local[1]}));
        EXPECT_EQ(Column(list, CTrackListModel::kColSong), Titles(p, QStringLiteral("跑步")));

        // "从列表中删除" in a playlist takes the row out of that list only.
        SelectRows(list, {1});
        RightClickRow(list, 1);
        FindAction(w.RowMenu(), QStringLiteral("从列表中删除"))->trigger();
        w.RowMenu()->hide();
        EXPECT_EQ(Titles(p, QStringLiteral("跑步")), (QStringList {local[3], local[2], local[1]}));
        EXPECT_EQ(p.NodeSize(Player::LocalMusic()), 5);
        kept = Titles(p, QStringLiteral("跑步"));

        // The playlist menu: "重命名".
        RightClickNode(tree, w.TreeModel()->IndexOf(p.Node(QStringLiteral("跑步"))));
        ASSERT_NE(FindAction(w.NodeMenu(), QStringLiteral("播放全部")), nullptr);
        FindAction(w.NodeMenu(), QStringLiteral("重命名"))->trigger();
        w.NodeMenu()->hide();
        name = WaitDialog<CListNameDlg>(p);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->Edit()->text(), QStringLiteral("跑步"));
        name->Edit()->setText(QStringLiteral("晨跑"));
        name->OkButton()->click();
        ASSERT_TRUE(WaitUntil([&] { return p.Node(QStringLiteral("晨跑")) != nullptr; }, kWaitMs));
        EXPECT_EQ(p.Node(QStringLiteral("跑步")), nullptr);
        EXPECT_EQ(TreeText(p, QStringLiteral("晨跑")), QStringLiteral("晨跑  (3)"));

        // "删除" asks first; the default list goes, its tracks stay in the library.
        RightClickNode(tree, w.TreeModel()->IndexOf(p.Node(defaultList)));
        FindAction(w.NodeMenu(), QStringLiteral("删除"))->trigger();
        w.NodeMenu()->hide();
        auto* confirm = WaitDialog<CConfirmDlg>(p);
        ASSERT_NE(confirm, nullptr);
        confirm->OkButton()->click();
        ASSERT_TRUE(WaitUntil([&] { return p.Node(defaultList) == nullptr; }, kWaitMs));
        EXPECT_EQ(p.NodeSize(Player::LocalMusic()), 5);

        // "播放全部" plays the list from its first row.
        RightClickNode(tree, w.TreeModel()->IndexOf(p.Node(QStringLiteral("晨跑"))));
        FindAction(w.NodeMenu(), QStringLiteral("播放全部"))->trigger();
        w.NodeMenu()->hide();
        ASSERT_TRUE(WaitUntil([&] { return p.Ctl().CurrentTrack() && p.Ctl().IsStarted(); }, kWaitMs));
        EXPECT_EQ(p.Ctl().CurrentTrack()->GetInfo()->Song, local[3]);
        EXPECT_EQ(p.Ctl().PlayingNode(), p.Node(QStringLiteral("晨跑")));
        // A column the user widened keeps its width.
        list->setColumnWidth(CTrackListModel::kColArtist, 153);
        ASSERT_TRUE(p.Exit());
    }
    // After a restart every list is there with its rows in their order, and the tree counts them.
    Player again(lib.home.path());
    ASSERT_TRUE(again.WaitLoaded());
    EXPECT_EQ(again.Node(defaultList), nullptr);
    ASSERT_NE(again.Node(QStringLiteral("晨跑")), nullptr);
    EXPECT_EQ(Titles(again, QStringLiteral("晨跑")), kept);
    EXPECT_EQ(TreeText(again, QStringLiteral("晨跑")), QStringLiteral("晨跑  (3)"));
    // The last track played is selected again: the list that played shows with its row.
    EXPECT_EQ(again.Ctl().DisplayedNode(), again.Node(QStringLiteral("晨跑")));
    EXPECT_EQ(again.Wnd().SelectedRow(), 0);
    EXPECT_EQ(again.Wnd().ListView()->columnWidth(CTrackListModel::kColArtist), 153);
}

TEST(LocalMusic, ClicksKeysAndTheWheelActOnWhatIsUnderThemAndTheListStaysPut)
{
    QTemporaryDir home;
    QTemporaryDir music;
    QStringList files;
    for (int i = 0; i < 30; ++i)
        files.append(MakeMp3(music.filePath(QStringLiteral("t%1.mp3").arg(i, 2, 10, QLatin1Char('0'))),
                             QStringLiteral("Track %1").arg(i, 2, 10, QLatin1Char('0')), 200.0));
    Player p(home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(music.path(), 30));
    CQuarvelDlg& w = p.Wnd();
    w.SelectNode(p.Node(Player::LocalMusic()));
    QTableView* list = w.ListView();
    list->resize(600, 330);
    QScrollBar* bar = list->verticalScrollBar();
    bar->setValue(10);
    const int scrolled = bar->value();
    ASSERT_GT(scrolled, 0);

    // A double click on the lowest row in sight plays that row; the list does not move.
    const int low = list->rowAt(list->viewport()->height() - 40);
    ASSERT_GT(low, scrolled);
    CQvMusic* lowTrack = w.ListModel()->TrackAt(low);
    DoubleClickRow(list, low);
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().CurrentTrack() == lowTrack && p.Ctl().IsStarted(); }, kWaitMs));
    EXPECT_EQ(bar->value(), scrolled);
    EXPECT_EQ(w.SelectedRow(), low);

    // A right click on another row: its menu acts on that row, and still nothing moves.
    const int other = low - 2;
    CQvMusic* otherTrack = w.ListModel()->TrackAt(other);
    RightClickRow(list, other);
    EXPECT_EQ(bar->value(), scrolled);
    EXPECT_EQ(w.SelectedRows(), QList<int> {other});
    FindAction(w.RowMenu(), QStringLiteral("播放"))->trigger();
    w.RowMenu()->hide();
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().CurrentTrack() == otherTrack && p.Ctl().IsStarted(); }, kWaitMs));
    EXPECT_EQ(bar->value(), scrolled);

    // The wheel over the list scrolls it and leaves the song where it is, also at the list's end.
    auto wheel = [](QWidget* target, const QPoint& at, int delta) {
        QWheelEvent e(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &e);
    };
    wheel(list->viewport(), QPoint(50, 50), -120);
    EXPECT_GT(bar->value(), scrolled);
    bar->setValue(bar->maximum());
    wheel(list->viewport(), QPoint(50, 50), -120 * 10);
    wheel(w.TreeView()->viewport(), QPoint(20, 20), 120 * 10);
    EXPECT_LT(p.Ctl().GetPositionMs(), 10000);
    // Over the play bar it seeks.
    wheel(w.Progress(), w.Progress()->rect().center(), 120 * 10);
    EXPECT_TRUE(WaitUntil([&] { return p.Ctl().GetPositionMs() >= 30000; }, kWaitMs));

    // The keys: Space pauses and plays, Enter plays the current row, Ctrl+F goes to the search
    // box, Delete takes the chosen rows out of the library and out of the view.
    // The import-complete dialog is modal: it is answered first.
    if (auto* done = w.findChild<CAddMusicDoneDlg*>()) done->accept();
    w.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == w.windowHandle(); }, kWaitMs));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(WaitUntil([&] { return p.Ctl().Engine().GetStatus() == CQvPlayCore::kPaused; }, kWaitMs));
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(WaitUntil([&] { return p.Ctl().Engine().GetStatus() == CQvPlayCore::kPlaying; }, kWaitMs));
    list->setCurrentIndex(list->model()->index(3, CTrackListModel::kColSong));
    CQvMusic* third = w.ListModel()->TrackAt(3);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(WaitUntil([&] { return p.Ctl().CurrentTrack() == third; }, kWaitMs));
    SelectRows(list, {0, 1});
    CQvMusic* first = w.ListModel()->TrackAt(0);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(list->model()->rowCount(), 28);
    EXPECT_EQ(p.NodeSize(Player::LocalMusic()), 28);
    EXPECT_NE(w.ListModel()->TrackAt(0), first);
    EXPECT_EQ(TreeText(p, Player::LocalMusic()), Player::LocalMusic() + QStringLiteral("  (28)"));
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), w.findChild<QLineEdit*>(QStringLiteral("searchEdit")));

    // The play-mode menu marks the mode that is on; the tray has the play commands.
    p.Ctl().OnCommand(ctl::kModeRandom);
    QMenu* modes = nullptr;
    for (QAction* a : w.MainMenu()->actions())
        if (a->menu() && a->text() == QStringLiteral("播放模式")) modes = a->menu();
    ASSERT_NE(modes, nullptr);
    EXPECT_TRUE(FindAction(modes, QStringLiteral("随机播放"))->isChecked());
    EXPECT_FALSE(FindAction(modes, QStringLiteral("列表循环"))->isChecked());
    for (const QString& text : {QStringLiteral("上一首"), QStringLiteral("播放/暂停"), QStringLiteral("下一首")})
        EXPECT_NE(FindAction(w.TrayMenu(), text), nullptr) << text.toStdString();

    // A list without the service's tracks has no use for the "在线" column.
    EXPECT_TRUE(list->isColumnHidden(CTrackListModel::kColService));
    // Qt's own buttons speak the interface's language.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    // The choosers open in the music folder (or home), then where the user chose last.
    EXPECT_TRUE(QFileInfo(ChooserStartFolder()).isDir());
    RememberChooserFolder(files[0]);
    EXPECT_EQ(ChooserStartFolder(), QFileInfo(files[0]).absolutePath());

    // An empty playlist tells how to fill it.
    w.SelectNode(p.Node(QStringLiteral("默认列表")));
    EXPECT_TRUE(w.EmptyHint().contains(QStringLiteral("添加音乐")));
    w.SelectNode(p.Node(Player::LocalMusic()));
    EXPECT_TRUE(w.EmptyHint().isEmpty());
}

TEST(LocalMusic, AFileThatCannotPlaySaysSoAndTheMiniWindowShowsTheTime)
{
    QTemporaryDir home;
    QTemporaryDir music;
    const QString good = MakeMp3(music.filePath(QStringLiteral("good.mp3")), QStringLiteral("Good"), 3.0);
    const QString broken = music.filePath(QStringLiteral("broken.mp3"));
    ASSERT_TRUE(WriteSizedFile(broken, 600 * 1000));
    Player p(home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(music.path(), 2));
    CQuarvelDlg& w = p.Wnd();
    w.SelectNode(p.Node(Player::LocalMusic()));
    const int brokenRow = w.ListModel()->RowOf(p.Track(broken));
    ASSERT_GE(brokenRow, 0);

    p.Ctl().OnListDoubleClick(brokenRow);
    ASSERT_TRUE(WaitUntil([&] { return w.ListModel()->IsUnplayable(p.Track(broken)); }, kWaitMs));
    EXPECT_EQ(w.TitleText(), QStringLiteral("无法播放：broken"));
    EXPECT_EQ(w.ListModel()->index(brokenRow, CTrackListModel::kColNumber).data().toString(), QStringLiteral("✕"));
    // The list went on to the next track, and the notice still holds the line.
    ASSERT_TRUE(WaitUntil([&] { return IsPlaying(p, good); }, kWaitMs));
    EXPECT_EQ(w.TitleText(), QStringLiteral("无法播放：broken"));
    // What was never heard is not among the recently played.
    EXPECT_FALSE(Titles(p, QStringLiteral("最近播放")).contains(QStringLiteral("broken")));
    EXPECT_TRUE(Titles(p, QStringLiteral("最近播放")).contains(QStringLiteral("Good")));

    // The mini window shows the time played and the length.
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().ViewWindow()->TimeText() == QStringLiteral("00:01 / 00:03"); }, kWaitMs))
        << p.Ctl().ViewWindow()->TimeText().toStdString();
}

TEST(LocalMusic, MediaKeysDriveThePlayerAndACutTextShowsWholeInItsTip)
{
    QTemporaryDir home;
    QTemporaryDir music;
    const QString longTitle = QStringLiteral("Long ").repeated(30) + QStringLiteral("End");
    MakeMp3(music.filePath(QStringLiteral("a.mp3")), QStringLiteral("A"), 200.0);
    MakeMp3(music.filePath(QStringLiteral("b.mp3")), longTitle, 200.0);
    MakeMp3(music.filePath(QStringLiteral("c.mp3")), QStringLiteral("C"), 200.0);
    Player p(home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    ASSERT_TRUE(p.ImportFolder(music.path(), 3));
    CQuarvelDlg& w = p.Wnd();
    if (auto* done = w.findChild<CAddMusicDoneDlg*>()) done->accept();
    p.Ctl().OnCommand(ctl::kModeLoop);
    w.SelectNode(p.Node(Player::LocalMusic()));
    QTableView* list = w.ListView();
    list->resize(500, 300);
    w.activateWindow();
    ASSERT_TRUE(WaitUntil([&] { return QGuiApplication::focusWindow() == w.windowHandle(); }, kWaitMs));

    // The media keys while the window has the focus: play, pause and play again, the next and
    // the previous track, stop.
    auto status = [&] { return p.Ctl().Engine().GetStatus(); };
    // Media keys have no text (keyClick would look for one).
    auto press = [&](Qt::Key key) { QTest::sendKeyEvent(QTest::Click, &w, key, QString(), Qt::NoModifier); };
    auto currentRow = [&] { return w.ListModel()->RowOf(p.Ctl().CurrentTrack()); };
    w.SelectRow(0);
    press(Qt::Key_MediaPlay);
    ASSERT_TRUE(WaitUntil([&] { return p.Ctl().CurrentTrack() && status() == CQvPlayCore::kPlaying; }, kWaitMs));
    const int first = currentRow();
    ASSERT_EQ(first, 0);
    press(Qt::Key_MediaTogglePlayPause);
    EXPECT_TRUE(WaitUntil([&] { return status() == CQvPlayCore::kPaused; }, kWaitMs));
    press(Qt::Key_MediaTogglePlayPause);
    EXPECT_TRUE(WaitUntil([&] { return status() == CQvPlayCore::kPlaying; }, kWaitMs));
    press(Qt::Key_MediaNext);
    EXPECT_TRUE(WaitUntil([&] { return currentRow() == (first + 1) % 3 && status() == CQvPlayCore::kPlaying; }, kWaitMs))
        << currentRow();
    press(Qt::Key_MediaPrevious);
    EXPECT_TRUE(WaitUntil([&] { return currentRow() == first && status() == CQvPlayCore::kPlaying; }, kWaitMs))
        << currentRow();
    press(Qt::Key_MediaStop);
    EXPECT_TRUE(WaitUntil([&] { return !p.Ctl().IsStarted(); }, kWaitMs));
    EXPECT_NE(status(), CQvPlayCore::kPlaying);

    // A title its column cuts shows whole in the tip over its cell; a text that fits has none.
    const int longRow = w.ListModel()->RowOf(p.Track(music.filePath(QStringLiteral("b.mp3"))));
    ASSERT_GE(longRow, 0);
    auto tipOver = [&](int row, int column) {
        // A tip goes a moment after it is told to.
        QToolTip::hideText();
        EXPECT_TRUE(WaitUntil([] { return !QToolTip::isVisible(); }, kWaitMs));
        const QPoint at = list->visualRect(list->model()->index(row, column)).center();
        QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(list->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const QRect cell = list->visualRect(list->model()->index(longRow, CTrackListModel::kColSong));
    ASSERT_GT(list->fontMetrics().horizontalAdvance(longTitle), cell.width()) << "the column must cut the title";
    EXPECT_EQ(tipOver(longRow, CTrackListModel::kColSong), longTitle);
    EXPECT_EQ(tipOver(longRow, CTrackListModel::kColArtist), QString());
    QToolTip::hideText();
}

TEST(LocalMusic, TheUpdateCheckSpeaksThroughTheSkinnedDialogs)
{
    QTemporaryDir home;
    Player p(home.path());
    ASSERT_TRUE(p.WaitLoadedPastFirstRun());
    auto messageBoxShown = [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox*>(widget) && widget->isVisible()) return true;
        return false;
    };

    // What the check tells the user is a notice in the skin over the window.
    const QString latest = QStringLiteral("您的程序目前是最新版本，无需进行升级.");
    p.Ctl().Notice(latest, QStringLiteral("提示"));
    QPointer<CNoticeDlg> notice = WaitDialog<CNoticeDlg>(p);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->Text(), latest);
    EXPECT_EQ(notice->windowTitle(), QStringLiteral("提示"));
    EXPECT_EQ(notice->findChild<QLabel*>(QStringLiteral("caption"))->text(), QStringLiteral("提示"));
    EXPECT_FALSE(messageBoxShown());
    notice->OkButton()->click();
    EXPECT_TRUE(WaitUntil([&] { return !notice; }, kWaitMs));

    // Its question waits on a worker, as the check does, for the answer given in the skin.
    auto ask = [&](bool accept) {
        QString asked;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            for (CConfirmDlg* dlg : p.Wnd().findChildren<CConfirmDlg*>()) {
                if (!dlg->isVisible()) continue;
                asked = dlg->windowTitle() + QLatin1Char('|') + dlg->Text();
                EXPECT_FALSE(messageBoxShown());
                if (accept) dlg->OkButton()->click();
                else dlg->reject();
            }
        });
        answer.start(20);
        std::atomic<int> said {-1};
        std::thread check([&] { said = p.Ctl().AskYesNo(QStringLiteral("发现程序新版本，立即进行升级吗？"), QStringLiteral("提示")); });
        EXPECT_TRUE(WaitUntil([&] { return said.load() >= 0; }, kWaitMs));
        check.join();
        EXPECT_EQ(asked, QStringLiteral("提示|发现程序新版本，立即进行升级吗？"));
        return said.load() == 1;
    };
    EXPECT_TRUE(ask(true));
    EXPECT_FALSE(ask(false));
}

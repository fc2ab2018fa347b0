// The play controller over local files, through the real audio path: what plays next, what is
// counted and reported, what the listeners are told.
#include "model/TrackUtil.h"
#include "net/Cover.h"
#include "store/CSqliteDb.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/playback/PlayerTestUtil.h"

#include <gtest/gtest.h>

using namespace playertest;
using playbacktest::Kind;

namespace {

void Spin(int ms)
{
    testutil::WaitUntil([] { return false; }, ms);
}

// Numbers from a list, in turn; counts how many were taken.
struct Script {
    std::vector<unsigned> values;
    size_t taken = 0;
    CShuffleHistory::Random Source()
    {
        return [this] { return values.at(taken++ % values.size()); };
    }
};

int TempRows(const QString& gid)
{
    CSqliteDb* db = CQvConf::Instance().TempDb();
    SqliteStatement s;
    if (!db || db->Prepare("SELECT count(*) FROM TempMusic WHERE Gid=?", s) != kSqliteOk) return -1;
    Bind(s, gid);
    return s.Step() == kSqliteRow ? s.ColumnInt(0) : -1;
}

bool Holds(IQvNode* node, const TrackRef& t)
{
    const MemberList& m = node->Tracks();
    return std::find(m.begin(), m.end(), t.get()) != m.end();
}

} // namespace

TEST(ShuffleHistory, DrawsAvoidTheRecentIndicesAndStartOverOnceAllWereChosen)
{
    CShuffleHistory h;
    Script s;
    EXPECT_EQ(h.Choose(0, s.Source()), -1);
    s.values = {2};
    EXPECT_EQ(h.Choose(3, s.Source()), 2);
    EXPECT_EQ(s.taken, 1u) << "an empty history takes the first draw";
    // One index remembered: up to 5 x 1 + 1 draws look for another.
    s = Script {{2, 2, 0}};
    EXPECT_EQ(h.Choose(3, s.Source()), 0);
    EXPECT_EQ(s.taken, 3u);
    s = Script {{2, 0, 0, 2, 0, 2, 0, 2, 0, 0, 2, 1}};
    EXPECT_EQ(h.Choose(3, s.Source()), 2) << "after 5 x 2 + 1 draws the last one is taken";
    EXPECT_EQ(s.taken, 11u);
    EXPECT_EQ(h.Indices(), (std::vector<int> {2, 0, 2}));
    // Three remembered of three: forgotten before the fourth choice.
    s = Script {{0}};
    EXPECT_EQ(h.Choose(3, s.Source()), 0);
    EXPECT_EQ(s.taken, 1u);
    EXPECT_EQ(h.Indices(), (std::vector<int> {0}));

    // At most five are remembered, the oldest going first.
    CShuffleHistory big;
    for (unsigned i = 0; i < 7; ++i) {
        s = Script {{i}};
        EXPECT_EQ(big.Choose(20, s.Source()), static_cast<int>(i));
    }
    EXPECT_EQ(big.Indices(), (std::vector<int> {2, 3, 4, 5, 6}));
}

TEST_F(PlayerTest, Mp3AndWmaPlayToTheirEndAndTheListGoesRound)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeListLoop;
    const TrackRef mp3 = FileTrack(Kind::ShortMp3, QStringLiteral("a.mp3"));
    const TrackRef wma = FileTrack(Kind::ShortWma, QStringLiteral("b.wma"));
    ASSERT_TRUE(mp3 && wma);
    Show({mp3, wma});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    EXPECT_EQ(player->CurrentIndex(), 0);
    EXPECT_EQ(player->PlayingNode(), &list);
    ASSERT_TRUE(WaitPlaying(mp3));
    ASSERT_TRUE(WaitPlaying(wma, 2)) << "the next track follows the end of the first";
    EXPECT_EQ(player->CurrentIndex(), 1);
    ASSERT_TRUE(WaitPlaying(mp3, 3)) << "after the last comes the first";
    EXPECT_EQ(player->CurrentIndex(), 0);
    player->StopPlay();
    EXPECT_EQ(player->started, (std::vector<CQvMusic*> {mp3.get(), wma.get(), mp3.get()}));
    EXPECT_EQ(player->rows, (std::vector<int> {0, 1, 0})) << "the playing row is shown in the displayed list";

    // Every play is counted at its start and re-offered to the smart lists.
    EXPECT_EQ(Plays(mp3), 2);
    EXPECT_EQ(Plays(wma), 1);
    EXPECT_EQ(mp3->GetInfo()->PlayCount, 2);
    IQvNode* recent = store->FindNode(QStringLiteral("最近播放"));
    ASSERT_TRUE(recent);
    EXPECT_TRUE(Holds(recent, mp3));
    EXPECT_TRUE(Holds(recent, wma));

    // Every play is reported: the two that ended as complete, the one stopped at once as empty.
    const std::vector<PlayRecord> records = WaitRecords(3);
    ASSERT_EQ(records.size(), 3u);
    std::vector<QString> songs;
    for (const PlayRecord& r : records) songs.push_back(r.song);
    std::sort(songs.begin(), songs.end());
    EXPECT_EQ(songs, (std::vector<QString> {QStringLiteral("a.mp3"), QStringLiteral("a.mp3"), QStringLiteral("b.wma")}));
    int complete = 0;
    int empty = 0;
    for (const PlayRecord& r : records) {
        EXPECT_EQ(r.network, 0);
        EXPECT_TRUE(r.source.endsWith(r.song)) << r.source.toStdString();
        if (r.completion == 2) {
            ++complete;
            EXPECT_EQ(r.position, QStringLiteral("00:01"));
            EXPECT_GE(r.listenedMs, 1300);
        } else if (r.completion == 0) {
            ++empty;
            EXPECT_EQ(r.position, QStringLiteral("00:00"));
        }
    }
    EXPECT_EQ(complete, 2);
    EXPECT_EQ(empty, 1);

    // The listeners followed: progress each second while playing, a stop per track.
    const std::vector<Message> progress = listener.Of(WM_PLAY_PROGRESS);
    ASSERT_FALSE(progress.empty());
    for (const Message& m : progress) {
        EXPECT_GE(m.w, 1u);
        EXPECT_GE(m.l, 0);
        EXPECT_LE(m.l, 100);
    }
    EXPECT_GE(listener.Count(WM_BUFFER_PERCENT), 1);
    EXPECT_GE(listener.Count(WM_PLAY_STOPPED), 3);
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyStarted), 3) << "the engine's starts are passed on";
    EXPECT_EQ(listener.Count(WM_LRC_READY), 0) << "none of them has lyrics";
    EXPECT_FALSE(player->HasTimer(CPlayController::kProgressTimer));
}

TEST_F(PlayerTest, PlayOnThePlayingTrackPausesAndResumes)
{
    const TrackRef t = FileTrack(Kind::CbrMp3, QStringLiteral("c.mp3"));
    const TrackRef other = FileTrack(Kind::ShortWma, QStringLiteral("d.wma"));
    Show({t, other});
    ASSERT_EQ(player->PlayOrPause(0), 1) << "with nothing current the selected row plays";
    ASSERT_TRUE(WaitPlaying(t));
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetPositionMs() > 300; }, 10000));

    EXPECT_EQ(player->PlayTrack(t), 0);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPaused);
    ASSERT_TRUE(testutil::WaitUntil([&] { return listener.Count(WM_PLAY_STATE, 0) == 1; }));
    Spin(150);
    const int paused = player->GetPositionMs();
    const int progress = listener.Count(WM_PLAY_PROGRESS);
    player->Fire(CPlayController::kProgressTimer);
    Spin(400);
    EXPECT_EQ(player->GetPositionMs(), paused);
    EXPECT_EQ(listener.Count(WM_PLAY_PROGRESS), progress) << "no progress while paused";
    EXPECT_TRUE(player->HasTimer(CPlayController::kProgressTimer));

    // Play while something is loaded only toggles, whichever track it names: nothing is opened.
    EXPECT_EQ(player->PlayOrPause(1), 1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return listener.Count(WM_PLAY_STATE, 1) == 1; }));
    EXPECT_EQ(player->PlayTrack(other), 0);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPaused);
    EXPECT_EQ(player->PlayTrack(other), 0);
    EXPECT_EQ(player->CurrentTrack(), t.get());
    EXPECT_EQ(player->started.size(), 1u);
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetPositionMs() > paused + 200; }, 10000));
    EXPECT_LT(player->GetPositionMs(), paused + 1500) << "resumed where it was";
    EXPECT_EQ(Plays(t), 1) << "a pause and a resume are not plays";
}

TEST_F(PlayerTest, SeekToTheMiddleAndBackToTheStart)
{
    const TrackRef t = FileTrack(Kind::CbrMp3, QStringLiteral("s.mp3"));
    ASSERT_EQ(t->GetInfo()->TotleTime, 3);
    Show({t});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(t));
    ASSERT_TRUE(player->Seek(1500));
    EXPECT_NEAR(player->GetPositionMs(), 1500, 60);
    listener.messages.clear();
    player->Fire(CPlayController::kProgressTimer);
    Spin(50);
    std::vector<Message> p = listener.Of(WM_PLAY_PROGRESS);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].w, 3u);
    EXPECT_EQ(p[0].l, 50);
    ASSERT_TRUE(player->Seek(0));
    EXPECT_LT(player->GetPositionMs(), 60);
    listener.messages.clear();
    player->Fire(CPlayController::kProgressTimer);
    Spin(50);
    p = listener.Of(WM_PLAY_PROGRESS);
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].l, 0);
}

TEST_F(PlayerTest, ADoubleClickWhilePlayingStopsThenOpensTheNewRow)
{
    const TrackRef a = FileTrack(Kind::CbrMp3, QStringLiteral("e.mp3"));
    const TrackRef b = FileTrack(Kind::ShortWma, QStringLiteral("f.wma"));
    Show({a, b});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(a));
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->GetPositionMs() > 1100; }, 10000));
    ASSERT_EQ(player->PlayDisplayedRow(1), 1);
    EXPECT_EQ(listener.Count(WM_PLAY_STOPPED), 1) << "the stop is sent before the new track opens";
    ASSERT_TRUE(WaitPlaying(b, 2));
    EXPECT_NEAR(engine->GetLength(), 1500, 100) << "the WMA is what plays";
    const std::vector<PlayRecord> records = WaitRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].song, QStringLiteral("e.mp3"));
    EXPECT_EQ(records[0].completion, 1) << "stopped in the middle";
    EXPECT_EQ(records[0].position, QStringLiteral("00:01"));
    EXPECT_EQ(records[0].length, QStringLiteral("00:03"));
}

TEST_F(PlayerTest, TwoOpensInQuickSuccessionPlayOnlyTheSecond)
{
    // The second track is short: it must not end and hand over to the first while we look.
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeNone;
    const TrackRef a = FileTrack(Kind::CbrMp3, QStringLiteral("g.mp3"));
    const TrackRef b = FileTrack(Kind::ShortWma, QStringLiteral("h.wma"));
    Show({a, b});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_EQ(player->PlayDisplayedRow(1), 1);
    ASSERT_TRUE(WaitPlaying(b));
    Spin(500);
    // On a loaded machine the first open may finish, and its start be posted, before the second
    // is asked for; what must hold is that the second is what plays and the first was stopped.
    const int firstStarts = listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyStarted);
    EXPECT_GE(firstStarts, 1);
    EXPECT_LE(firstStarts, 2) << "a stopped open started later";
    EXPECT_EQ(player->CurrentTrack(), b.get());
    EXPECT_NEAR(engine->GetLength(), 1500, 100);
    const std::vector<PlayRecord> records = WaitRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].song, QStringLiteral("g.mp3"));
    EXPECT_EQ(records[0].completion, 0);

    // The same through the next button pressed twice.
    ASSERT_EQ(player->PlayNext(), 1);
    ASSERT_EQ(player->PlayNext(), 1);
    ASSERT_TRUE(WaitPlaying(b, firstStarts + 1));
    Spin(300);
    const int secondStarts = listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyStarted) - firstStarts;
    EXPECT_GE(secondStarts, 1);
    EXPECT_LE(secondStarts, 2) << "a stopped open started later";
    EXPECT_EQ(player->CurrentTrack(), b.get());
}

TEST_F(PlayerTest, ThePageQueuePlaysInOrderAndStopsAtItsEndWhateverTheMode)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeListLoop;
    const TrackRef a = FileTrack(Kind::ShortMp3, QStringLiteral("q1.mp3"));
    const TrackRef b = FileTrack(Kind::ShortWma, QStringLiteral("q2.wma"));
    Show({a, b});
    // A page that starts a queue: the first song with the flag, the next ones without.
    player->ClearPlayQueue();
    player->PlayNow(a, true);
    EXPECT_TRUE(player->IsQueueCurrent());
    EXPECT_EQ(player->QueueIndex(), 0);
    EXPECT_EQ(player->CurrentIndex(), -1);
    ASSERT_TRUE(WaitPlaying(a));
    player->SendMessage(WM_PLAY_NOW, reinterpret_cast<quintptr>(b.get()), 0);
    ASSERT_EQ(player->PlayQueue().size(), 2u);
    EXPECT_EQ(player->PlayQueue()[1], b);
    EXPECT_EQ(player->CurrentTrack(), a.get()) << "added without the flag, it waits its turn";
    NearEnd();
    ASSERT_TRUE(WaitPlaying(b, 2));
    EXPECT_EQ(player->QueueIndex(), 1);
    NearEnd();
    ASSERT_TRUE(WaitStopped());
    Spin(1500);
    EXPECT_EQ(player->started, (std::vector<CQvMusic*> {a.get(), b.get()})) << "the queue does not go round";
    EXPECT_EQ(player->rows, (std::vector<int> {-1, -1})) << "the queue is not the displayed list";
    EXPECT_EQ(player->PlayNext(), 0);
    // Previous from its first track goes to its last.
    player->ClearPlayQueue();
    player->PlayNow(a, true);
    player->PlayNow(b, false);
    ASSERT_EQ(player->PlayPrevious(), 1);
    EXPECT_EQ(player->QueueIndex(), 1);
    EXPECT_EQ(player->CurrentTrack(), b.get());
}

TEST_F(PlayerTest, PreviousFromTheFirstGoesToTheLast)
{
    const TrackRef a = FileTrack(Kind::ShortMp3, QStringLiteral("p1.mp3"));
    const TrackRef b = FileTrack(Kind::ShortMp3, QStringLiteral("p2.mp3"));
    const TrackRef c = FileTrack(Kind::ShortMp3, QStringLiteral("p3.mp3"));
    Show({a, b, c});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_EQ(player->PlayPreviousByMode(), 1);
    EXPECT_EQ(player->CurrentIndex(), 2);
    EXPECT_EQ(player->CurrentTrack(), c.get());
    ASSERT_EQ(player->PlayNextByMode(), 1);
    EXPECT_EQ(player->CurrentIndex(), 0) << "next from the last goes to the first";
    ASSERT_TRUE(WaitPlaying(a));
    ASSERT_TRUE(testutil::WaitUntil([&] { return logServer.Events().size() >= 2; }, 10000));
    const QStringList events = logServer.Events();
    EXPECT_TRUE(events[0].startsWith(QStringLiteral("sdqh|<|>common_type<|><|>p<|>"))) << events[0].toStdString();
    EXPECT_TRUE(events[1].startsWith(QStringLiteral("sdqh|<|>common_type<|><|>n<|>"))) << events[1].toStdString();
}

TEST_F(PlayerTest, RandomModeAvoidsTheRecentTracksAndStartsOverOnceAllPlayed)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeRandom;
    const TrackRef r1 = FileTrack(Kind::ShortMp3, QStringLiteral("r1.mp3"));
    const TrackRef r2 = FileTrack(Kind::ShortMp3, QStringLiteral("r2.mp3"));
    const TrackRef r3 = FileTrack(Kind::ShortMp3, QStringLiteral("r3.mp3"));
    Show({r1, r2, r3});
    Script s {{2, 2, 0, 0, 2, 1, 1}};
    player->SetRandomSource(s.Source());
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_EQ(player->PlayNextByMode(), 1);
    EXPECT_EQ(player->CurrentTrack(), r3.get());
    ASSERT_EQ(player->PlayPreviousByMode(), 1) << "previous is random too";
    EXPECT_EQ(player->CurrentTrack(), r1.get()) << "index 2 was just played";
    EXPECT_EQ(player->ShuffleHistory().Indices(), (std::vector<int> {2, 0}));
    // The end of a track in this mode is a random choice as well.
    ASSERT_TRUE(WaitPlaying(r1));
    NearEnd();
    ASSERT_TRUE(WaitPlaying(r2, 2));
    EXPECT_EQ(player->ShuffleHistory().Indices(), (std::vector<int> {2, 0, 1}));
    // All three were chosen: the fourth choice starts over.
    ASSERT_EQ(player->PlayNextByMode(), 1);
    EXPECT_EQ(player->ShuffleHistory().Indices(), (std::vector<int> {1}));
    EXPECT_EQ(player->CurrentTrack(), r2.get());
    EXPECT_EQ(s.taken, 7u);
    EXPECT_EQ(player->started, (std::vector<CQvMusic*> {r1.get(), r3.get(), r1.get(), r2.get(), r2.get()}));
}

TEST_F(PlayerTest, RepeatModePlaysTheSameTrackAgain)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeRepeatOne;
    const TrackRef a = FileTrack(Kind::ShortMp3, QStringLiteral("m1.mp3"));
    const TrackRef b = FileTrack(Kind::ShortWma, QStringLiteral("m2.wma"));
    Show({a, b});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(a));
    NearEnd();
    ASSERT_TRUE(WaitPlaying(a, 2));
    EXPECT_EQ(player->started, (std::vector<CQvMusic*> {a.get(), a.get()}));
    EXPECT_EQ(Plays(a), 2);
    // The buttons still go through the list in order.
    ASSERT_EQ(player->PlayNextByMode(), 1);
    EXPECT_EQ(player->CurrentTrack(), b.get());
}

TEST_F(PlayerTest, WithoutAModeNothingMorePlaysAndTheButtonsDoNothing)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeNone;
    const TrackRef a = FileTrack(Kind::ShortMp3, QStringLiteral("z1.mp3"));
    const TrackRef b = FileTrack(Kind::ShortWma, QStringLiteral("z2.wma"));
    Show({a, b});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(a));
    EXPECT_EQ(player->PlayNextByMode(), 0);
    EXPECT_EQ(player->PlayPreviousByMode(), 0);
    EXPECT_EQ(player->CurrentTrack(), a.get());
    NearEnd();
    ASSERT_TRUE(WaitStopped());
    Spin(1500);
    EXPECT_EQ(player->started.size(), 1u);
    EXPECT_EQ(listener.Count(WM_PLAY_STOPPED), 1);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
}

TEST_F(PlayerTest, AFileThatDoesNotOpenCountsAsEndedAndTheListGoesOn)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeListLoop;
    const QString path = home + QStringLiteral("music/broken.mp3");
    QDir().mkpath(home + QStringLiteral("music"));
    ASSERT_TRUE(testutil::WriteFile(path, QByteArray(4096, 'x')));
    const TrackRef broken = BuildTrackFromFile(*library, path, TrackBuildOptions {});
    ASSERT_TRUE(broken);
    ASSERT_EQ(broken->GetInfo()->TotleTime, 0) << "no length from its tags either";
    const TrackRef good = FileTrack(Kind::ShortMp3, QStringLiteral("fine.mp3"));
    Show({broken, good});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(good));
    EXPECT_EQ(player->started, (std::vector<CQvMusic*> {broken.get(), good.get()}));
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyOpenFailed), 0) << "a local file fails quietly";
}

TEST_F(PlayerTest, ChoosingAModeStoresItAndReportsIt)
{
    CQvConf& conf = CQvConf::Instance();
    conf.Settings().rolltype = CPlayController::kModeListLoop;
    player->SetPlayMode(CPlayController::kModeRandom, 1211);
    EXPECT_EQ(conf.Settings().rolltype, 2);
    player->SetPlayMode(7, 1211);
    EXPECT_EQ(conf.Settings().rolltype, 2) << "not a mode";
    const QStringList records = CQvLog::GetInstance().PendingRecords();
    ASSERT_EQ(records.size(), 1);
    const QStringList f = records[0].split(QLatin1Char('\t'));
    ASSERT_GE(f.size(), 18);
    EXPECT_EQ(f[3], QStringLiteral("1211"));
    EXPECT_EQ(f[4], QStringLiteral("984"));
    EXPECT_EQ(f[17], QStringLiteral("1026"));
    ASSERT_TRUE(testutil::WaitUntil([&] { return !logServer.Events().isEmpty(); }, 10000));
    EXPECT_TRUE(logServer.Events()[0].startsWith(QStringLiteral("bfms|<|>common_type<|><|>1<|>2<|>")))
        << logServer.Events()[0].toStdString();

    // The volume is kept as a percentage; silence leaves the stored one alone.
    player->SetVolume(0.37f);
    EXPECT_EQ(conf.Settings().volume, 37);
    player->SetVolume(0.0f);
    EXPECT_EQ(conf.Settings().volume, 37);
}

TEST_F(PlayerTest, ATrackTheStoreDoesNotKnowIsCountedFromItsFirstPlay)
{
    const QString path = home + QStringLiteral("unknown.mp3");
    ASSERT_TRUE(QFile::copy(playbacktest::Path(Kind::ShortMp3), path));
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->LSrc = path;
    info->Gid = MakeGid(path);
    info->Song = QStringLiteral("unknown");
    t->AttachInfo(info, nullptr);
    EXPECT_EQ(player->PlayTrack(TrackRef()), -1);
    TrackRef nothing = TrackRef::Adopt(CreateMedia(0));
    nothing->AttachInfo(new TrackInfo, nullptr);
    EXPECT_EQ(player->PlayTrack(nothing), -1) << "no source";
    EXPECT_FALSE(player->CurrentTrack());

    ASSERT_EQ(player->PlayTrack(t), 1);
    ASSERT_TRUE(WaitPlaying(t));
    // Counted once it is heard.
    EXPECT_EQ(store->FindStoredTemp(info->Gid), t.get());
    EXPECT_EQ(TempRows(info->Gid), 1);
    EXPECT_EQ(Plays(t), 1);
    player->StopPlay();
    ASSERT_EQ(player->PlayTrack(t), 1);
    ASSERT_TRUE(WaitPlaying(t, 2));
    EXPECT_EQ(Plays(t), 2);
    EXPECT_EQ(TempRows(info->Gid), 1) << "stored once";
}

namespace {
// The window layer's part: keeps what the engine and the controller would show the user.
class CNoticeUi : public IEngineUi {
public:
    void MessageBox(const QString& text) override { boxes << text; }
    QStringList boxes;
};
} // namespace

TEST_F(PlayerTest, WithoutASoundDeviceNothingIsCountedAndPlaybackStopsSayingSo)
{
    Close();
    // A real driver with no sound card behind it: the device does not open, as on a machine
    // without sound.
    const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
    struct Restore {
        QByteArray value;
        ~Restore() { qputenv("SDL_AUDIODRIVER", value); }
    } restore {driver};
    qputenv("SDL_AUDIODRIVER", "alsa");
    CNoticeUi ui;
    engineUi = &ui;
    expectedInit = 0;
    Open(QString());
    ASSERT_EQ(ui.boxes, QStringList {QStringLiteral("Can't initialize device")});
    listener.messages.clear();

    CQvConf::Instance().Settings().rolltype = CPlayController::kModeListLoop;
    const TrackRef a = FileTrack(Kind::ShortMp3, QStringLiteral("a.mp3"));
    const TrackRef b = FileTrack(Kind::ShortWma, QStringLiteral("b.wma"));
    Show({a, b});
    EXPECT_EQ(player->PlayDisplayedRow(0), 0);
    EXPECT_FALSE(player->CurrentTrack());
    EXPECT_EQ(ui.boxes.size(), 2) << "the play asked for is answered";
    EXPECT_EQ(ui.boxes.back(), QStringLiteral("Can't initialize device"));
    // The ticks that would find the engine stopped do not move the list on.
    for (int i = 0; i < 3; ++i) player->Fire(CPlayController::kProgressTimer);
    Spin(100);
    EXPECT_TRUE(player->started.empty()) << "no track was started";
    EXPECT_EQ(Plays(a), 0);
    EXPECT_EQ(Plays(b), 0);
    EXPECT_EQ(listener.Count(WM_PLAY_STOPPED), 0);
    ASSERT_TRUE(WaitForWorkers(20000));
    EXPECT_TRUE(logServer.Records().empty()) << "no listening record";
    EXPECT_TRUE(logServer.Posts().empty()) << "no lyrics or cover fetched for it";
    EXPECT_EQ(ui.boxes.size(), 2);

    // Once a device opens, the next play uses it.
    qputenv("SDL_AUDIODRIVER", driver.isEmpty() ? QByteArray("dummy") : driver);
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(a));
    EXPECT_EQ(Plays(a), 1);
}

TEST_F(PlayerTest, LyricsAreAnnouncedOnceLoadedAndPlaying)
{
    const QString lrc = home + QStringLiteral("l.lrc");
    ASSERT_TRUE(fixtures::WriteTextFile(lrc, QStringLiteral("[00:00.20]第一行\r\n[00:01.00]second line\r\n"),
                                        fixtures::TextEncoding::CodePage));
    const TrackRef withLyrics = FileTrack(Kind::ShortMp3, QStringLiteral("l.mp3"));
    withLyrics->GetInfo()->EditRare().LrcFile = lrc;
    const TrackRef without = FileTrack(Kind::CbrMp3, QStringLiteral("nl.mp3"));
    Show({without, withLyrics});

    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(without));
    Spin(1200);
    EXPECT_EQ(listener.Count(WM_LRC_READY), 0);
    EXPECT_TRUE(player->HasTimer(CPlayController::kLyricsTimer)) << "still waiting for lyrics";

    ASSERT_EQ(player->PlayDisplayedRow(1), 1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return listener.Count(WM_LRC_READY) == 1; }, 10000));
    EXPECT_TRUE(player->IsStarted()) << "announced only once playing";
    EXPECT_EQ(player->LyricsTrack(), withLyrics.get());
    ASSERT_GE(player->Lyrics().LineCount(), 2);
    EXPECT_EQ(player->Lyrics().TextAt(0), QStringLiteral("第一行"));
    EXPECT_EQ(player->Lyrics().TimeAt(0), 200u);
    EXPECT_FALSE(player->HasTimer(CPlayController::kLyricsTimer));
    Spin(800);
    EXPECT_EQ(listener.Count(WM_LRC_READY), 1) << "once per track";
    const std::vector<Message> ready = listener.Of(WM_LRC_READY);
    EXPECT_EQ(ready[0].w, 0u);
    EXPECT_EQ(ready[0].l, 0);

    // A late ready for a track that no longer plays changes nothing.
    player->StopPlay();
    player->Lyrics().Clear();
    player->PostMessage(WM_LRC_READY, 1, reinterpret_cast<qintptr>(withLyrics.get()));
    Spin(100);
    EXPECT_EQ(player->Lyrics().LineCount(), 0);
}

TEST_F(PlayerTest, TheCoverIsShownFromItsFileOrFetchedAndShownOnceItExists)
{
    const QString picture = home + QStringLiteral("pic.bmp");
    ASSERT_TRUE(testutil::WriteFile(picture, "BM picture"));
    const TrackRef own = FileTrack(Kind::CbrMp3, QStringLiteral("cv1.mp3"));
    own->GetInfo()->EditRare().PicFile = picture;
    own->GetInfo()->Default2 = 4;
    const TrackRef fetched = FileTrack(Kind::CbrMp3, QStringLiteral("cv2.mp3"));
    fetched->GetInfo()->Artist = QStringLiteral("歌手");
    Show({own, fetched});

    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    EXPECT_EQ(player->covers, QStringList {picture});
    EXPECT_EQ(player->ratings, std::vector<int> {4});
    EXPECT_FALSE(player->HasTimer(CPlayController::kCoverTimer));

    ASSERT_EQ(player->PlayDisplayedRow(1), 1);
    EXPECT_EQ(player->covers, (QStringList {picture, QString()})) << "the placeholders while it is fetched";
    EXPECT_TRUE(player->HasTimer(CPlayController::kCoverTimer));
    ASSERT_TRUE(testutil::WaitUntil([&] {
        const QStringList posts = logServer.Posts();
        return std::any_of(posts.begin(), posts.end(), [](const QString& p) { return p.startsWith(QStringLiteral("m=getpic")); });
    }, 10000)) << "the service was asked";
    // The service has nothing; the picture arrives some other way: it is shown at the next tick.
    const QString cover = CoverFilePath(*fetched->GetInfo());
    ASSERT_TRUE(testutil::WriteFile(cover, "BM cover"));
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->covers.size() == 3; }, 5000));
    EXPECT_EQ(player->covers.last(), cover);
    EXPECT_FALSE(player->HasTimer(CPlayController::kCoverTimer));
    // Played again, the saved file is shown at once.
    ASSERT_EQ(player->PlayDisplayedRow(1), 1);
    EXPECT_EQ(player->covers.last(), cover);
    EXPECT_FALSE(player->HasTimer(CPlayController::kCoverTimer));
}

TEST_F(PlayerTest, AtStartUpTheLibraryListIsSelectedAndItsFirstTrackPlays)
{
    EXPECT_EQ(player->SelectNodeToPlay(), 0) << "an empty library plays nothing";
    EXPECT_TRUE(player->selected.empty());
    const TrackRef a = FileTrack(Kind::ShortMp3, QStringLiteral("st.mp3"));
    ASSERT_EQ(player->SelectNodeToPlay(), 1);
    ASSERT_EQ(player->selected.size(), 1u);
    EXPECT_EQ(player->selected[0]->GetName(), QStringLiteral("本地音乐"));
    EXPECT_EQ(player->DisplayedNode(), player->selected[0]);
    EXPECT_EQ(player->PlayingNode(), player->selected[0]);
    EXPECT_EQ(player->CurrentIndex(), 0);
    EXPECT_EQ(player->rows, std::vector<int> {0});
    ASSERT_TRUE(WaitPlaying(a));

    // A list being deleted is let go of; what plays goes on.
    player->ForgetNode(player->selected[0]);
    EXPECT_EQ(player->PlayingNode(), nullptr);
    EXPECT_EQ(player->DisplayedNode(), nullptr);
    EXPECT_EQ(player->PlayNext(), 0);
    EXPECT_EQ(player->CurrentTrack(), a.get());
}

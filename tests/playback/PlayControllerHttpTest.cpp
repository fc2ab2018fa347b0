// The play controller over network streams from HTTP servers on 127.0.0.1, and over the
// reference service: what it tells the listeners while a stream connects and buffers, and what
// it plays next when a stream fails or ends.
#include "tests/net/ServiceProcess.h"
#include "tests/playback/PlayerTestUtil.h"
#include "tests/playback/RecordingOutput.h"
#include "tests/playback/TestHttpServer.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace playertest;
using playbacktest::Kind;
using namespace std::chrono_literals;

namespace {

void Spin(int ms)
{
    testutil::WaitUntil([] { return false; }, ms);
}

QByteArray Bytes(Kind kind) { return testutil::ReadFile(playbacktest::Path(kind)); }

class PlayerHttpTest : public PlayerTest {
protected:
    CTestHttpServer server;
};

// The controller over a device that records what it plays, at the real rate.
class PlayerRecordingTest : public PlayerHttpTest {
protected:
    std::unique_ptr<IAudioOutput> MakeOutput() override
    {
        return std::make_unique<CRecordingOutput>(recording, CRecordingOutput::Clock::RealTime);
    }
    bool WaitFrames(size_t frames, int ms = 20000)
    {
        return testutil::WaitUntil([&] { return recording->Frames() >= frames; }, ms);
    }
    // The largest sample of channel 0 in frames [from, to).
    float Peak(size_t from, size_t to) const
    {
        const std::vector<float> s = recording->Copy();
        float peak = 0.0f;
        for (size_t i = from; i < to && i * 2 < s.size(); ++i) peak = std::max(peak, std::abs(s[i * 2]));
        return peak;
    }
    std::shared_ptr<Recording> recording = std::make_shared<Recording>();
};

} // namespace

TEST_F(PlayerHttpTest, AnAlternativeAddressPlaysWhenTheFirstFails)
{
    server.Status("/missing.mp3", 404, "no such song");
    server.Whole("/song.mp3", Bytes(Kind::ShortMp3));
    const TrackRef t = NetTrack(server.Url("/missing.mp3"), QStringLiteral("alt"), {server.Url("/song.mp3")});
    ASSERT_TRUE(t);
    player->PlayNow(t, true);
    ASSERT_TRUE(WaitPlaying(t));
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyOpenFailed), 0);
    EXPECT_EQ(listener.Of(WM_ENGINE_NOTIFY).front().w, static_cast<quintptr>(CQvPlayCore::kNotifyConnecting));
    EXPECT_GE(listener.Count(WM_BUFFER_PERCENT), 1) << "connecting shows the download's progress";
    // It plays to its end; the queue ends with it.
    ASSERT_TRUE(WaitStopped());
    const std::vector<PlayRecord> records = WaitRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].network, 1);
    EXPECT_EQ(records[0].source, server.Url("/missing.mp3")) << "the track's own address is reported";
    EXPECT_EQ(records[0].completion, 2);
    EXPECT_EQ(t->GetInfo()->TotleTime, 1) << "the length comes from the stream and is kept";
}

TEST_F(PlayerHttpTest, ASlowServerShowsItsBufferingAndStartsPastTwoPercent)
{
    // 30 s at 128 kbit/s: 2 % is about 9.6 kB; 600 bytes every 25 ms gets there in a few tenths.
    server.Slow("/slow.mp3", Bytes(Kind::LongMp3), 6000, 600, 25ms);
    const TrackRef t = NetTrack(server.Url("/slow.mp3"), QStringLiteral("slow"));
    player->PlayNow(t, true);
    ASSERT_TRUE(WaitPlaying(t));
    std::vector<int> percents;
    for (const Message& m : listener.Of(WM_ENGINE_NOTIFY))
        if (m.w == CQvPlayCore::kNotifyBuffering) percents.push_back(static_cast<int>(m.l));
    ASSERT_GE(percents.size(), 2u) << "the engine's buffering reaches the listeners";
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_LT(percents.front(), percents.back());
    EXPECT_LE(percents.back(), 2);
    EXPECT_GE(listener.Count(WM_BUFFER_PERCENT), static_cast<int>(percents.size()));
    EXPECT_GT(engine->GetBufferPercent(), 2.0f);
    EXPECT_LT(engine->GetBufferPercent(), 50.0f);
    // While it plays, each tick tells the download's progress.
    listener.messages.clear();
    player->Fire(CPlayController::kProgressTimer);
    Spin(50);
    const std::vector<Message> buffer = listener.Of(WM_BUFFER_PERCENT);
    ASSERT_EQ(buffer.size(), 1u);
    EXPECT_GT(buffer[0].w, 2u);
    const std::vector<Message> progress = listener.Of(WM_PLAY_PROGRESS);
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_NEAR(static_cast<double>(progress[0].w), 30.0, 1.0);
}

TEST_F(PlayerHttpTest, AFinishedDownloadStartsAtOnceAndTheListGoesOn)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeListLoop;
    server.Whole("/song.mp3", Bytes(Kind::ShortMp3));
    const TrackRef net = NetTrack(server.Url("/song.mp3"), QStringLiteral("whole"));
    const TrackRef local = FileTrack(Kind::ShortWma, QStringLiteral("after.wma"));
    Show({net, local});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(net));
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyBuffering), 0);
    // A stream that ended is an end like any other.
    ASSERT_TRUE(WaitPlaying(local, 2));
    const std::vector<PlayRecord> records = WaitRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].completion, 2);
}

TEST_F(PlayerHttpTest, AStreamCutShortEndsWhereItStoppedAndTheListGoesOn)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeListLoop;
    // The server announces the whole song and hangs up half-way: what came plays, then it ends.
    const QByteArray cbr = Bytes(Kind::CbrMp3);
    server.Partial("/half.mp3", cbr, cbr.size() / 2, false);
    const TrackRef half = NetTrack(server.Url("/half.mp3"), QStringLiteral("half"));
    const TrackRef local = FileTrack(Kind::ShortWma, QStringLiteral("then.wma"));
    Show({half, local});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(half));
    ASSERT_TRUE(WaitPlaying(local, 2)) << "a stream that stopped at half its length has ended";
    const std::vector<PlayRecord> records = WaitRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].completion, 1);
    EXPECT_EQ(records[0].length, QStringLiteral("00:03"));
}

TEST_F(PlayerHttpTest, AStreamWithoutASizePlaysAsLiveAndItsEndStillMovesOn)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeListLoop;
    server.Unsized("/live.mp3", Bytes(Kind::ShortMp3));
    const TrackRef live = NetTrack(server.Url("/live.mp3"), QStringLiteral("live"));
    const TrackRef local = FileTrack(Kind::ShortWma, QStringLiteral("next.wma"));
    Show({live, local});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(live));
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifySizeUnknown), 1) << "passed on";
    // Its length is never known: progress says 0 s and 0 %.
    player->Fire(CPlayController::kProgressTimer);
    Spin(50);
    const std::vector<Message> progress = listener.Of(WM_PLAY_PROGRESS);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().w, 0u);
    EXPECT_EQ(progress.back().l, 0);
    EXPECT_EQ(live->GetInfo()->TotleTime, 0);
    ASSERT_TRUE(WaitPlaying(local, 2)) << "the end of a stream of unknown length still ends the track";
}

TEST_F(PlayerHttpTest, AnAddressThatFailsIsSkippedAndAListThatAllFailsStops)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeNone;
    server.Status("/404.mp3", 404, "<html><body>Not Found</body></html>");
    const TrackRef bad = NetTrack(server.Url("/404.mp3"), QStringLiteral("bad"));
    const TrackRef good = FileTrack(Kind::ShortMp3, QStringLiteral("good.mp3"));
    Show({bad, good});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(good)) << "skipped to the next whatever the mode";
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyOpenFailed), 1);
    EXPECT_EQ(player->started, (std::vector<CQvMusic*> {bad.get(), good.get()}));
    const std::vector<PlayRecord> records = WaitRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].song, QStringLiteral("bad"));
    EXPECT_EQ(records[0].completion, 0);
    EXPECT_EQ(records[0].network, 1);
    player->StopPlay();

    // Nothing in the list opens (no network): each is tried once, then it stops.
    server.Status("/gone.mp3", 404, "gone");
    const TrackRef gone = NetTrack(server.Url("/gone.mp3"), QStringLiteral("gone"));
    CQvCommonNode failing;
    failing.AppendTrack(bad.get());
    failing.AppendTrack(gone.get());
    player->SetDisplayedNode(&failing);
    player->started.clear();
    listener.messages.clear();
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyOpenFailed) == 2; }));
    Spin(2500);
    EXPECT_EQ(player->started, (std::vector<CQvMusic*> {bad.get(), gone.get()}));
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyOpenFailed), 2);
    EXPECT_FALSE(player->CurrentTrack());
    player->ForgetNode(&failing);
}

TEST_F(PlayerHttpTest, AStreamStillConnectingWhenAnotherTrackIsChosenNeitherPlaysNorSkips)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeListLoop;
    server.Gated("/gate.mp3", Bytes(Kind::ShortMp3));
    const TrackRef gated = NetTrack(server.Url("/gate.mp3"), QStringLiteral("gated"));
    const TrackRef local = FileTrack(Kind::CbrMp3, QStringLiteral("chosen.mp3"));
    Show({gated, local});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !server.Requests().empty(); }, 10000));
    // Timer 1 while it connects: nothing ends.
    player->Fire(CPlayController::kProgressTimer);
    EXPECT_EQ(player->CurrentTrack(), gated.get());
    ASSERT_EQ(player->PlayDisplayedRow(1), 1);
    ASSERT_TRUE(WaitPlaying(local));
    server.Release();
    Spin(1500);
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyStarted), 1) << "only the second plays";
    EXPECT_EQ(player->CurrentTrack(), local.get()) << "and is neither stopped nor skipped";
    EXPECT_EQ(player->started, (std::vector<CQvMusic*> {gated.get(), local.get()}));
}

// The reference service end to end: its stream plays, its lyrics and cover arrive, the play is
// reported.
TEST_F(PlayerHttpTest, ASongOfTheServicePlaysWithItsLyricsAndCover)
{
    ServiceProcess& svc = ServiceProcess::Shared();
    ASSERT_TRUE(svc.Running());
    Close();
    Open(QStringLiteral("127.0.0.1:%1").arg(svc.Port()));
    QJsonObject song;
    for (const QJsonValue& v : svc.Catalogue()) {
        const QJsonObject s = v.toObject();
        if (s.value(QStringLiteral("hasCover")).toBool() && !s.value(QStringLiteral("lyrics")).toString().isEmpty()) {
            song = s;
            break;
        }
    }
    ASSERT_FALSE(song.isEmpty()) << "a song with lyrics and a cover";
    const TrackRef t = NetTrack(song.value(QStringLiteral("media")).toString(), song.value(QStringLiteral("title")).toString());
    t->GetInfo()->Artist = song.value(QStringLiteral("artist")).toString();
    player->ClearPlayQueue();
    player->PlayNow(t, true);
    ASSERT_TRUE(WaitPlaying(t));
    ASSERT_TRUE(testutil::WaitUntil([&] { return listener.Count(WM_LRC_READY) == 1; }, 20000)) << "lyrics from the service";
    EXPECT_EQ(player->LyricsTrack(), t.get());
    EXPECT_GT(player->Lyrics().LineCount(), 2);
    ASSERT_TRUE(testutil::WaitUntil([&] { return player->covers.size() == 2; }, 20000)) << "the fetched cover is shown";
    EXPECT_EQ(player->covers[0], QString());
    EXPECT_TRUE(QFile::exists(player->covers[1]));
    EXPECT_EQ(t->GetInfo()->Pic, 1);
    ASSERT_TRUE(WaitStopped(20000)) << "played to its end, the end of the queue";
    const std::vector<PlayRecord> records = WaitRecords(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].completion, 2);
    EXPECT_EQ(records[0].network, 1);
    EXPECT_EQ(records[0].song, song.value(QStringLiteral("title")).toString());
}

TEST_F(PlayerHttpTest, AnAddressOfAnotherSchemeFailsAtOnceAndTheListGoesOn)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeNone;
    server.Whole("/a.mp3", Bytes(Kind::ShortMp3));
    // Neither "http://" nor "mms://": a slash short, and a scheme the player does not speak.
    const TrackRef oneSlash = NetTrack(server.Url("/a.mp3").replace(QStringLiteral("http://"), QStringLiteral("http:/")),
                                       QStringLiteral("one slash"));
    const TrackRef https = NetTrack(server.Url("/a.mp3").replace(QStringLiteral("http://"), QStringLiteral("https://")),
                                    QStringLiteral("https"));
    const TrackRef good = FileTrack(Kind::ShortMp3, QStringLiteral("good.mp3"));
    ASSERT_TRUE(oneSlash && https && good);
    Show({oneSlash, https, good});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    ASSERT_TRUE(WaitPlaying(good)) << "each is skipped whatever the mode, not waited for at 00:00";
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyOpenFailed), 2);
    EXPECT_EQ(player->started, (std::vector<CQvMusic*> {oneSlash.get(), https.get(), good.get()}));
    EXPECT_TRUE(server.Requests().empty()) << "nothing was fetched";
    EXPECT_EQ(Plays(oneSlash), 0) << "a failed open counts nothing";
    EXPECT_EQ(Plays(https), 0);
    EXPECT_EQ(Plays(good), 1);
}

TEST_F(PlayerHttpTest, AStartToldWhileTheStreamStallsOrIsPausedStillCounts)
{
    CQvConf::Instance().Settings().volume = 40;
    // The server sends a third of the song and then nothing: the stream stalls at about 1 s.
    const QByteArray cbr = Bytes(Kind::CbrMp3);
    server.Partial("/stall.mp3", cbr, cbr.size() / 3, true);
    const TrackRef stalling = NetTrack(server.Url("/stall.mp3"), QStringLiteral("stalling"));
    player->PlayNow(stalling, true);
    // The controller looks at the start notice only once the stream has stalled.
    ASSERT_TRUE(WaitWithoutEvents([&] { return engine->GetStatus() == CQvPlayCore::kStalled; }));
    engine->SetVolume(1.0f);
    ASSERT_TRUE(testutil::WaitUntil([&] { return listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyStarted) == 1; }, 20000));
    EXPECT_TRUE(player->IsStarted()) << "a stalled stream has started";
    EXPECT_EQ(Plays(stalling), 1);
    EXPECT_FLOAT_EQ(engine->GetVolume(), 0.4f) << "the stored volume applied at the start";
    // Stalled for good: the next tick shows the buffering, the track stays.
    player->Fire(CPlayController::kProgressTimer);
    EXPECT_EQ(player->CurrentTrack(), stalling.get());
    player->StopPlay();

    // Paused by the user before the controller saw the start.
    server.Whole("/song.mp3", Bytes(Kind::CbrMp3));
    const TrackRef paused = NetTrack(server.Url("/song.mp3"), QStringLiteral("paused"));
    listener.messages.clear();
    player->PlayNow(paused, true);
    ASSERT_TRUE(WaitWithoutEvents([&] { return engine->GetStatus() == CQvPlayCore::kPlaying; }));
    ASSERT_EQ(engine->PauseResume(), CQvPlayCore::kPaused);
    ASSERT_TRUE(testutil::WaitUntil([&] { return listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyStarted) == 1; }, 20000));
    EXPECT_TRUE(player->IsStarted()) << "a paused stream has started";
    EXPECT_EQ(Plays(paused), 1);
    // Resumed, it plays to its end, and the queue ends with it.
    EXPECT_EQ(player->PlayTrack(paused), 0);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
    ASSERT_TRUE(WaitStopped());
    const std::vector<PlayRecord> records = WaitRecords(2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].song, QStringLiteral("paused"));
    EXPECT_EQ(records[1].completion, 2);
}

TEST_F(PlayerRecordingTest, AStreamThatOpensButCannotStartIsAFailedOpenAndTheListGoesOn)
{
    CQvConf::Instance().Settings().rolltype = CPlayController::kModeNone;
    server.Gated("/gate.mp3", Bytes(Kind::ShortMp3));
    const TrackRef gated = NetTrack(server.Url("/gate.mp3"), QStringLiteral("gated"));
    const TrackRef local = FileTrack(Kind::ShortMp3, QStringLiteral("after.mp3"));
    Show({gated, local});
    ASSERT_EQ(player->PlayDisplayedRow(0), 1);
    // The device fails while the server has not answered yet: the stream opens, but cannot start.
    ASSERT_TRUE(WaitWithoutEvents([&] { return !server.Requests().empty(); }));
    recording->working = false;
    server.Release();
    ASSERT_TRUE(WaitPlaying(local)) << "skipped like any stream that does not open, not waited for at 00:00";
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyOpenFailed), 1);
    EXPECT_EQ(listener.Count(WM_ENGINE_NOTIFY, CQvPlayCore::kNotifyStarted), 1) << "only the second started";
    EXPECT_EQ(Plays(gated), 0);
    EXPECT_EQ(Plays(local), 1);
    EXPECT_GE(recording->opens.load(), 2) << "the device was opened again for the next track";
}

TEST_F(PlayerRecordingTest, TheFirstTrackPlaysAtTheStoredVolumeFromItsFirstSample)
{
    Close();
    beforeStart = [] { CQvConf::Instance().Settings().volume = 20; };
    Open(QString());
    const TrackRef sine = FileTrack(Kind::SineMp3, QStringLiteral("sine.mp3"));
    ASSERT_EQ(player->PlayTrack(sine), 1);
    // What is heard before the controller has handled the start notice.
    const auto soundFrames = [&] {
        const std::vector<SoundRun> runs = SplitSoundRuns(recording->Copy());
        return runs.empty() ? size_t {0} : runs.front().mono.size();
    };
    ASSERT_TRUE(WaitWithoutEvents([&] { return soundFrames() >= 4410; }));
    const std::vector<SoundRun> runs = SplitSoundRuns(recording->Copy());
    ASSERT_FALSE(runs.empty());
    float peak = 0.0f;
    for (size_t i = 0; i < 4410; ++i) peak = std::max(peak, std::abs(runs.front().mono[i]));
    // The tone's amplitude is 0.5: at 20 % about 0.1.
    EXPECT_LT(peak, 0.15f) << "the first samples are not played at full volume";
    EXPECT_GT(peak, 0.05f);
    ASSERT_TRUE(WaitPlaying(sine));
    EXPECT_FLOAT_EQ(engine->GetVolume(), 0.2f);
}

TEST_F(PlayerRecordingTest, TheEqualiserReachesAnHttpStream)
{
    // A local track first: the engine has had an equaliser on another stream before.
    const TrackRef local = FileTrack(Kind::ShortMp3, QStringLiteral("first.mp3"));
    ASSERT_EQ(player->PlayTrack(local), 1);
    ASSERT_TRUE(WaitPlaying(local));
    player->StopPlay();

    server.Whole("/sine.mp3", Bytes(Kind::SineMp3));
    const TrackRef sine = NetTrack(server.Url("/sine.mp3"), QStringLiteral("sine"));
    player->PlayNow(sine, true);
    ASSERT_TRUE(WaitPlaying(sine, 2));
    ASSERT_TRUE(WaitFrames(recording->Frames() + 8820));
    const size_t at = recording->Frames();
    const float flat = Peak(at - 4410, at);
    ASSERT_GT(flat, 0.15f) << "the tone plays (0.5 at the stored 50 %)";
    // Cut the bands around its 440 Hz, as the equaliser window does.
    ASSERT_TRUE(engine->SetEqGain(2, -12.0f));
    ASSERT_TRUE(engine->SetEqGain(3, -12.0f));
    // Half a second of audio was decoded before; a second later the change is heard.
    ASSERT_TRUE(WaitFrames(at + 44100));
    const float cut = Peak(at + 44100 - 4410, at + 44100);
    EXPECT_LT(cut, flat * 0.5f) << "the gains reached the stream that plays";
}

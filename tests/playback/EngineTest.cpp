// The engine over real files: through the real audio path (SDL's dummy driver, which plays at
// the real rate), and over the recording output where what was heard matters.
#include "playback/FfmpegBackend.h"
#include "playback/SdlAudioOutput.h"
#include "tests/playback/EngineTestUtil.h"
#include "tests/playback/PlaybackFixtures.h"
#include "tests/playback/RecordingOutput.h"
#include "tests/fixtures/Fixtures.h"

#include <QDir>

#include <gtest/gtest.h>

using playbacktest::Kind;

namespace {

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine = CQvPlayCore::Create(std::make_unique<CFfmpegBackend>(std::make_unique<CSdlAudioOutput>()));
        ASSERT_EQ(engine->Init(window.Target(), &ui), 1);
    }
    void TearDown() override { EndEngine(engine); }

    bool WaitStatus(int status, int ms = 15000)
    {
        return testutil::WaitUntil([&] { return engine->GetStatus() == status; }, ms);
    }
    bool WaitPosition(int ms, int bound = 15000)
    {
        return testutil::WaitUntil([&] { return engine->GetPosition() >= ms; }, bound);
    }

    CNotifyWindow window;
    CTestUi ui;
    std::shared_ptr<CQvPlayCore> engine;
};

} // namespace

TEST_F(EngineTest, Mp3AndWmaPlayToTheirEnd)
{
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
    EXPECT_EQ(engine->GetOpenState(), CQvPlayCore::kOpenConnecting);
    for (Kind kind : {Kind::ShortMp3, Kind::ShortWma}) {
        window.notices.clear();
        ASSERT_EQ(engine->Open(playbacktest::Path(kind), {}), 1);
        ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
        EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
        EXPECT_EQ(engine->GetOpenState(), CQvPlayCore::kOpenPlayedByWorker);
        EXPECT_NEAR(engine->GetLength(), 1500, 60);
        EXPECT_FLOAT_EQ(engine->GetBufferPercent(), 100.0f); // a local file is all there
        ASSERT_TRUE(WaitPosition(700));
        ASSERT_TRUE(WaitStatus(CQvPlayCore::kStopped));
        EXPECT_GE(engine->GetPosition(), 1350);
        // A local file is neither connecting nor buffering: the start is all there is to say.
        EXPECT_EQ(window.Kinds(), std::vector<int>({CQvPlayCore::kNotifyStarted}));
        engine->Stop();
        EXPECT_EQ(engine->GetPosition(), 0);
        EXPECT_EQ(engine->GetLength(), 0);
    }
    EXPECT_TRUE(ui.boxes.isEmpty());
}

TEST_F(EngineTest, PauseThenResume)
{
    ASSERT_EQ(engine->Open(playbacktest::Path(Kind::CbrMp3), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    ASSERT_TRUE(WaitPosition(400));
    EXPECT_EQ(engine->PauseResume(), CQvPlayCore::kPaused);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPaused);
    Spin(150); // what the device held is played out
    const int paused = engine->GetPosition();
    Spin(400);
    EXPECT_EQ(engine->GetPosition(), paused);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPaused);

    EXPECT_EQ(engine->PauseResume(), CQvPlayCore::kPlaying);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
    ASSERT_TRUE(WaitPosition(paused + 300));
    EXPECT_LT(engine->GetPosition(), paused + 1500) << "resumed where it was, not ahead";
    ASSERT_TRUE(WaitStatus(CQvPlayCore::kStopped));
    EXPECT_EQ(engine->PauseResume(), CQvPlayCore::kStopped) << "an ended stream neither pauses nor resumes";
}

TEST_F(EngineTest, SeekToTheMiddleAndBackToTheStart)
{
    ASSERT_EQ(engine->Open(playbacktest::Path(Kind::CbrMp3), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    ASSERT_TRUE(WaitPosition(200));
    ASSERT_TRUE(engine->Seek(1500));
    EXPECT_NEAR(engine->GetPosition(), 1500, 50);
    ASSERT_TRUE(WaitPosition(1700));
    ASSERT_TRUE(engine->Seek(0));
    EXPECT_LT(engine->GetPosition(), 50);
    Spin(200);
    EXPECT_LT(engine->GetPosition(), 1000);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
    EXPECT_FALSE(engine->Seek(100000));
    engine->Stop();
    EXPECT_FALSE(engine->Seek(0)) << "nothing to seek in";
}

TEST_F(EngineTest, OpeningWhilePlayingOnlyStops)
{
    ASSERT_EQ(engine->Open(playbacktest::Path(Kind::CbrMp3), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    EXPECT_EQ(engine->Open(playbacktest::Path(Kind::Wma), {}), 0);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
    EXPECT_EQ(engine->GetPosition(), 0);
    Spin(300);
    EXPECT_EQ(window.Count(CQvPlayCore::kNotifyStarted), 1) << "the new source was not opened";
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
    // The caller opens again.
    ASSERT_EQ(engine->Open(playbacktest::Path(Kind::Wma), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted, 2));
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
}

TEST_F(EngineTest, LocalFilesThatDoNotPlayLeaveTheEngineStopped)
{
    const QDir dir(playbacktest::TempDir());
    const QString text = dir.filePath(QStringLiteral("readme.mp3"));
    ASSERT_TRUE(testutil::WriteFile(text, QByteArray("plain text, not audio\n").repeated(300)));
    const QByteArray whole = testutil::ReadFile(playbacktest::Path(Kind::CbrMp3));
    const QString cut = dir.filePath(QStringLiteral("cut-engine.mp3"));
    ASSERT_TRUE(testutil::WriteFile(cut, whole.left(whole.size() / 4)));

    for (const QString& path : {text, dir.filePath(QStringLiteral("gone.mp3"))}) {
        ASSERT_EQ(engine->Open(path, {}), 1);
        ASSERT_TRUE(WaitStatus(CQvPlayCore::kStopped)) << path.toStdString();
        ASSERT_TRUE(WaitForWorkers(10000));
        EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
        EXPECT_EQ(engine->GetLength(), 0);
    }
    EXPECT_TRUE(window.notices.empty()) << "a local file that fails says nothing";

    // A cut file plays what is there, then ends.
    ASSERT_EQ(engine->Open(cut, {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    ASSERT_TRUE(WaitStatus(CQvPlayCore::kStopped));
    EXPECT_GT(engine->GetPosition(), 400);
}

TEST(EngineRecorded, TwoOpensInQuickSuccessionPlayOnlyTheSecond)
{
    auto rec = std::make_shared<Recording>();
    auto engine = CQvPlayCore::Create(std::make_unique<CFfmpegBackend>(
        std::make_unique<CRecordingOutput>(rec, CRecordingOutput::Clock::RealTime, 2.0)));
    CNotifyWindow window;
    ASSERT_EQ(engine->Init(window.Target(), nullptr), 1);
    // Made before the opens: a fixture encoded between them would let the first play.
    const QString sine = playbacktest::Path(Kind::SineMp3);
    const QString steps = playbacktest::Path(Kind::CbrMp3);
    for (int round = 0; round < 5; ++round) {
        window.notices.clear();
        const size_t mark = rec->Frames();
        ASSERT_EQ(engine->Open(sine, {}), 1);
        if (engine->Open(steps, {}) == 0) {
            // The first was already playing: this open only stopped it, and the caller opens again.
            ASSERT_EQ(engine->Open(steps, {}), 1);
        }
        ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
        ASSERT_TRUE(testutil::WaitUntil([&] { return engine->GetPosition() >= 600; }, 15000));
        ASSERT_TRUE(WaitForWorkers(10000));
        engine->Stop();
        // Everything heard after the start is the second file's step tone, from its beginning.
        std::vector<float> mono;
        for (const SoundRun& run : SplitSoundRuns(rec->Copy(), mark, 16)) {
            mono.insert(mono.end(), run.mono.begin(), run.mono.end());
        }
        ASSERT_GE(mono.size(), 8820u * 2);
        const auto bounds = fixtures::FindStepBoundaries(mono.data(), mono.size(), 44100);
        ASSERT_GE(bounds.size(), 4u);
        EXPECT_EQ(bounds.front().segment, 1);
        EXPECT_NEAR(bounds.front().frame, 4410, 300) << "no sine before the step tone";
        const auto start = playbacktest::ToneTime(mono);
        ASSERT_TRUE(start.has_value());
        EXPECT_NEAR(*start, 0.0, 0.003);
        EXPECT_LE(window.Count(CQvPlayCore::kNotifyStarted), 2);
    }
    EndEngine(engine);
}

TEST(EngineRecorded, WithoutADeviceOpensFailAtOnceAndTheNextOpenTriesAgain)
{
    auto rec = std::make_shared<Recording>();
    rec->failOpen = true;
    auto engine = CQvPlayCore::Create(std::make_unique<CFfmpegBackend>(
        std::make_unique<CRecordingOutput>(rec, CRecordingOutput::Clock::RealTime, 4.0)));
    CNotifyWindow window;
    CTestUi ui;
    EXPECT_EQ(engine->Init(window.Target(), &ui), 0);
    EXPECT_EQ(ui.boxes, QStringList {QStringLiteral("Can't initialize device")});

    const int workers = RunningWorkerCount();
    EXPECT_EQ(engine->Open(playbacktest::Path(Kind::ShortMp3), {}), 0);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
    EXPECT_EQ(RunningWorkerCount(), workers) << "nothing was started that could only fail";
    EXPECT_EQ(rec->opens.load(), 2) << "the open tried the device again";
    Spin(100);
    EXPECT_TRUE(window.notices.empty());

    // The device is back: the next open uses it, and the window given at start-up hears of it.
    rec->failOpen = false;
    ASSERT_EQ(engine->Open(playbacktest::Path(Kind::ShortMp3), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
    EXPECT_EQ(ui.boxes.size(), 1) << "the message box is for start-up only";
    EndEngine(engine);
}

TEST(EngineLength, SecondsShownForAnEngineLength)
{
    EXPECT_EQ(EngineLengthSeconds(0), 0);
    EXPECT_EQ(EngineLengthSeconds(1), 1);
    EXPECT_EQ(EngineLengthSeconds(999), 1);
    EXPECT_EQ(EngineLengthSeconds(1000), 1);
    EXPECT_EQ(EngineLengthSeconds(150000), 150);
    // Three hours and more are still milliseconds.
    EXPECT_EQ(EngineLengthSeconds(10'000'000), 10000);
    EXPECT_EQ(EngineLengthSeconds(10'800'000), 10800);
}

// The equaliser as it is heard: what the engine gives the output device, from a file and from
// an HTTP stream, with a band raised by 6 dB and without.
#include "playback/FfmpegBackend.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/playback/EngineTestUtil.h"
#include "tests/playback/PlaybackFixtures.h"
#include "tests/playback/RecordingOutput.h"
#include "tests/playback/TestHttpServer.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int kBand1k = 4;  // centred on 1000 Hz
constexpr float kVolume = 0.25f; // room for the boost without clipping

QString ToneFile(int hz)
{
    const QString path = QDir(playbacktest::TempDir()).filePath(QStringLiteral("eq-tone-%1.mp3").arg(hz));
    if (!QFileInfo::exists(path)) {
        EXPECT_TRUE(fixtures::WriteMp3(path, fixtures::Mp3Options {.seconds = 2, .tone = fixtures::Tone::Sine,
                                                                   .sineHz = double(hz)}));
    }
    return path;
}

class EqualizerHeardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine = CQvPlayCore::Create(std::make_unique<CFfmpegBackend>(
            std::make_unique<CRecordingOutput>(rec, CRecordingOutput::Clock::RealTime, 4.0)));
        ASSERT_EQ(engine->Init(window.Target(), nullptr), 1);
        engine->SetVolume(kVolume);
    }
    void TearDown() override { EndEngine(engine); }

    // The level in dB (full scale) of what was heard of `source` between 0.4 s and 0.9 s, with
    // the 1 kHz band at `gainDb`.
    double HeardLevel(const QString& source, float gainDb)
    {
        EXPECT_TRUE(engine->SetEqGain(kBand1k, gainDb));
        const size_t mark = rec->Frames();
        window.notices.clear();
        if (engine->Open(source, {}) != 1) {
            ADD_FAILURE() << "not opened";
            return 0;
        }
        if (!window.WaitFor(CQvPlayCore::kNotifyStarted) ||
            !testutil::WaitUntil([&] { return engine->GetPosition() >= 1000; }, 15000)) {
            ADD_FAILURE() << "not played";
            return 0;
        }
        engine->Stop();
        WaitForWorkers(10000);
        std::vector<float> mono;
        for (const SoundRun& run : SplitSoundRuns(rec->Copy(), mark, 16))
            mono.insert(mono.end(), run.mono.begin(), run.mono.end());
        const size_t from = 17640, to = 39690;
        if (mono.size() < to) {
            ADD_FAILURE() << "only " << mono.size() << " frames heard";
            return 0;
        }
        double sum = 0;
        for (size_t i = from; i < to; ++i) sum += double(mono[i]) * mono[i];
        return 10 * std::log10(sum / double(to - from));
    }

    std::shared_ptr<Recording> rec = std::make_shared<Recording>();
    CNotifyWindow window;
    std::shared_ptr<CQvPlayCore> engine;
};

} // namespace

TEST_F(EqualizerHeardTest, ARaisedBandIsHeardOnItsToneAndNotFarFromIt)
{
    const QString near = ToneFile(1000);
    const QString far = ToneFile(12000);
    const double nearFlat = HeardLevel(near, 0);
    const double nearRaised = HeardLevel(near, 6);
    EXPECT_NEAR(nearRaised - nearFlat, 6.0, 1.0);
    const double farFlat = HeardLevel(far, 0);
    const double farRaised = HeardLevel(far, 6);
    EXPECT_NEAR(farRaised - farFlat, 0.0, 0.6);
    // Flat again: as before.
    EXPECT_NEAR(HeardLevel(near, 0), nearFlat, 0.3);
}

TEST_F(EqualizerHeardTest, ARaisedBandIsHeardOnAnHttpStream)
{
    CTestHttpServer server;
    server.Whole("/near.mp3", testutil::ReadFile(ToneFile(1000)));
    server.Whole("/far.mp3", testutil::ReadFile(ToneFile(12000)));
    const double nearFlat = HeardLevel(server.Url("/near.mp3"), 0);
    const double nearRaised = HeardLevel(server.Url("/near.mp3"), 6);
    EXPECT_NEAR(nearRaised - nearFlat, 6.0, 1.0);
    const double farFlat = HeardLevel(server.Url("/far.mp3"), 0);
    const double farRaised = HeardLevel(server.Url("/far.mp3"), 6);
    EXPECT_NEAR(farRaised - farFlat, 0.0, 0.6);
}

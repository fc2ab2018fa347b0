// The backend over a recording output: what the engine reports as a position against what the
// "device" was really given, seeks, pause and resume, the end of a stream, volume and equaliser.
#include "playback/FfmpegBackend.h"
#include "tests/fixtures/Fixtures.h"
#include "tests/playback/PlaybackFixtures.h"
#include "tests/playback/RecordingOutput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

using playbacktest::Kind;

namespace {

constexpr int kBlock = 441; // 10 ms

struct Rig {
    std::shared_ptr<Recording> rec = std::make_shared<Recording>();
    CRecordingOutput* out = nullptr;
    std::unique_ptr<CFfmpegBackend> backend;

    explicit Rig(int held = 0)
    {
        rec->heldFrames = held;
        auto output = std::make_unique<CRecordingOutput>(rec);
        out = output.get();
        backend = std::make_unique<CFfmpegBackend>(std::move(output));
    }

    // Pulls until `frames` frames of sound have been given to the device (the decoder may lag
    // behind on a busy machine: a block it could not fill is silence, not lost audio).
    void PullSound(size_t frames)
    {
        size_t sound = 0;
        for (int guard = 0; sound < frames && guard < 100000; ++guard) {
            const size_t before = rec->Frames();
            out->Pull(kBlock);
            const std::vector<float> all = rec->Copy();
            size_t got = 0;
            for (size_t i = before; i < all.size() / 2; ++i) got += (all[i * 2] != 0.0f || all[i * 2 + 1] != 0.0f);
            sound += got;
            if (got < kBlock) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    void PullSilence(size_t frames)
    {
        for (size_t done = 0; done < frames; done += kBlock) out->Pull(kBlock);
    }
};

// All sound recorded, channel 0, without the silences between.
std::vector<float> SoundOnly(const std::vector<float>& all, size_t from = 0)
{
    std::vector<float> mono;
    for (const SoundRun& run : SplitSoundRuns(all, from, 16)) mono.insert(mono.end(), run.mono.begin(), run.mono.end());
    return mono;
}

// The tone time of the last frame the device has played (played frames - 1), from the sound
// before it.
double LastHeardToneTime(const Rig& rig)
{
    const std::vector<float> all = rig.rec->Copy();
    const size_t played = static_cast<size_t>(rig.out->PlayedFrames());
    std::vector<float> upTo(all.begin(), all.begin() + played * 2);
    const std::vector<float> mono = SoundOnly(upTo);
    EXPECT_GE(mono.size(), 8820u);
    if (mono.size() < 8820) return -1;
    const auto t = playbacktest::ToneTime(mono, mono.size() - 8820, 8820);
    EXPECT_TRUE(t.has_value());
    return t ? *t + 8819.0 / 44100.0 : -1;
}

// The segment boundaries of a stretch of sound are all one segment apart: nothing was lost or
// played twice.
void ExpectContinuous(const std::vector<float>& mono)
{
    const auto bounds = fixtures::FindStepBoundaries(mono.data(), mono.size(), 44100);
    ASSERT_GE(bounds.size(), 3u);
    for (size_t i = 1; i < bounds.size(); ++i) {
        EXPECT_EQ(bounds[i].segment, (bounds[i - 1].segment + 1) % fixtures::kStepSegmentCycle) << i;
        EXPECT_NEAR(bounds[i].frame - bounds[i - 1].frame, 4410.0, 3.0) << i;
    }
}

} // namespace

TEST(Backend, PositionIsWhatTheDeviceHasPlayed)
{
    for (int held : {0, 1500}) {
        Rig rig(held);
        ASSERT_TRUE(rig.backend->Init());
        const StreamHandle s = rig.backend->StreamCreateFile(playbacktest::Path(Kind::CbrMp3));
        ASSERT_NE(s, 0u);
        EXPECT_EQ(rig.backend->ChannelGetPosition(s), 0);
        EXPECT_NEAR(rig.backend->ChannelGetLength(s), 3000, 30);
        EXPECT_EQ(rig.backend->ChannelIsActive(s), ChannelActivity::Stopped); // made, not started
        ASSERT_TRUE(rig.backend->ChannelPlay(s, false));
        for (size_t sound : {22050u, 13230u, 30000u}) {
            rig.PullSound(sound);
            const double heard = LastHeardToneTime(rig);
            EXPECT_NEAR(rig.backend->ChannelGetPosition(s), heard * 1000, 2.0) << "held " << held;
        }
        EXPECT_EQ(rig.backend->ChannelIsActive(s), ChannelActivity::Playing);
    }
}

TEST(Backend, PauseAndResumeLoseNothingAndRepeatNothing)
{
    for (Kind kind : {Kind::CbrMp3, Kind::Wma}) {
        Rig rig(441);
        ASSERT_TRUE(rig.backend->Init());
        const StreamHandle s = rig.backend->StreamCreateFile(playbacktest::Path(kind));
        ASSERT_TRUE(rig.backend->ChannelPlay(s, false));
        rig.PullSound(26000);
        ASSERT_TRUE(rig.backend->ChannelPause(s));
        EXPECT_EQ(rig.backend->ChannelIsActive(s), ChannelActivity::Paused);
        EXPECT_FALSE(rig.backend->ChannelPause(s)) << "already paused";
        rig.PullSilence(13230);
        const std::int64_t pausedAt = rig.backend->ChannelGetPosition(s);
        EXPECT_NEAR(pausedAt, (LastHeardToneTime(rig) - playbacktest::ToneOffsetSeconds(kind)) * 1000, 2.0);
        rig.PullSilence(4410);
        EXPECT_EQ(rig.backend->ChannelGetPosition(s), pausedAt) << "a paused stream stands still";

        // Pause and resume again a few times, quickly.
        ASSERT_TRUE(rig.backend->ChannelPlay(s, false));
        rig.PullSound(30000);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(rig.backend->ChannelPause(s));
            rig.PullSilence(882);
            ASSERT_TRUE(rig.backend->ChannelPlay(s, false));
            rig.PullSound(5000);
        }
        const std::vector<float> all = rig.rec->Copy();
        const std::vector<float> sound = SoundOnly(all);
        ExpectContinuous(sound);
        const auto start = playbacktest::ToneTime(sound);
        ASSERT_TRUE(start.has_value());
        EXPECT_NEAR(*start, playbacktest::ToneOffsetSeconds(kind), 0.002);
    }
}

TEST(Backend, SeeksLandWithin50MsOnCbrVbrAndWma)
{
    for (Kind kind : {Kind::CbrMp3, Kind::VbrMp3, Kind::Wma}) {
        SCOPED_TRACE(static_cast<int>(kind));
        Rig rig(441);
        ASSERT_TRUE(rig.backend->Init());
        const StreamHandle s = rig.backend->StreamCreateFile(playbacktest::Path(kind));
        ASSERT_TRUE(rig.backend->ChannelPlay(s, false));
        rig.PullSound(8820);
        for (std::int64_t target : {1800, 500, 0, 2500, 1234}) {
            SCOPED_TRACE(target);
            ASSERT_TRUE(rig.backend->ChannelSetPosition(s, target));
            // Nothing of the new place heard yet: the position is the target.
            EXPECT_NEAR(rig.backend->ChannelGetPosition(s), target, 1);
            const size_t mark = rig.rec->Frames();
            rig.PullSound(17640);
            const std::vector<float> after = SoundOnly(rig.rec->Copy(), mark);
            const auto t = playbacktest::ToneTime(after);
            ASSERT_TRUE(t.has_value());
            EXPECT_NEAR(*t, target / 1000.0 + playbacktest::ToneOffsetSeconds(kind), 0.05);
            // Nothing of the old place was heard after the seek: the sound after it is one piece.
            ExpectContinuous(after);
            EXPECT_NEAR(rig.backend->ChannelGetPosition(s), LastHeardToneTime(rig) * 1000
                        - playbacktest::ToneOffsetSeconds(kind) * 1000, 2.0);
        }
        EXPECT_FALSE(rig.backend->ChannelSetPosition(s, 60000));
    }
}

TEST(Backend, StreamsPlayToTheirEndAndStop)
{
    for (Kind kind : {Kind::ShortMp3, Kind::ShortWma}) {
        Rig rig;
        ASSERT_TRUE(rig.backend->Init());
        const StreamHandle s = rig.backend->StreamCreateFile(playbacktest::Path(kind));
        ASSERT_TRUE(rig.backend->ChannelPlay(s, false));
        for (int guard = 0; guard < 2000 && rig.backend->ChannelIsActive(s) != ChannelActivity::Stopped; ++guard) {
            rig.out->Pull(kBlock);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(rig.backend->ChannelIsActive(s), ChannelActivity::Stopped);
        const std::vector<float> sound = SoundOnly(rig.rec->Copy());
        EXPECT_NEAR(sound.size() / 44100.0, 1.5 - playbacktest::ToneOffsetSeconds(kind), 0.05);
        EXPECT_NEAR(rig.backend->ChannelGetPosition(s), sound.size() * 1000.0 / 44100, 2.0);
        // Played out: playing again from the start works.
        ASSERT_TRUE(rig.backend->ChannelPlay(s, true));
        const size_t mark = rig.rec->Frames();
        rig.PullSound(8820);
        const auto t = playbacktest::ToneTime(SoundOnly(rig.rec->Copy(), mark));
        ASSERT_TRUE(t.has_value());
        EXPECT_NEAR(*t, playbacktest::ToneOffsetSeconds(kind), 0.01);
        EXPECT_TRUE(rig.backend->StreamFree(s));
        EXPECT_FALSE(rig.backend->StreamFree(s));
        EXPECT_EQ(rig.backend->ChannelIsActive(s), ChannelActivity::Stopped);
        EXPECT_EQ(rig.backend->ErrorGetCode(), AudioError::Handle);
    }
}

TEST(Backend, VolumeAndEqualiserShapeWhatIsHeard)
{
    const auto rms = [](const std::vector<float>& x) {
        double e = 0;
        for (float v : x) e += double(v) * v;
        return std::sqrt(e / std::max<size_t>(1, x.size()));
    };
    const auto play = [&](float volume, float gainDb) {
        Rig rig;
        EXPECT_TRUE(rig.backend->Init());
        const StreamHandle s = rig.backend->StreamCreateFile(playbacktest::Path(Kind::SineMp3));
        rig.backend->ChannelSetVolume(s, volume);
        const FxHandle fx = rig.backend->ChannelSetFX(s);
        EXPECT_NE(fx, 0u);
        EXPECT_TRUE(rig.backend->FXSetParameters(fx, PeakEqBand {.band = 2, .centerHz = 440, .gainDb = gainDb}));
        EXPECT_FALSE(rig.backend->FXSetParameters(fx, PeakEqBand {.band = 10}));
        EXPECT_TRUE(rig.backend->ChannelPlay(s, false));
        rig.PullSound(44100);
        const std::vector<float> sound = SoundOnly(rig.rec->Copy());
        // Leave out the first half: gains reach the decoder a buffer later.
        return rms(std::vector<float>(sound.begin() + sound.size() / 2, sound.end()));
    };
    const double flat = play(1.0f, 0.0f);
    EXPECT_NEAR(flat, 0.5 / std::sqrt(2.0), 0.02);
    EXPECT_NEAR(play(0.5f, 0.0f) / flat, 0.5, 0.01);
    EXPECT_NEAR(play(0.25f, 6.0f) / flat, 0.25 * std::pow(10.0, 6.0 / 20), 0.02);
}

TEST(Backend, WithoutADeviceNothingOpensUntilItComesBack)
{
    Rig rig;
    rig.rec->failOpen = true;
    EXPECT_FALSE(rig.backend->Init());
    EXPECT_EQ(rig.backend->ErrorGetCode(), AudioError::Device);
    EXPECT_FALSE(rig.backend->IsInitialized());
    EXPECT_EQ(rig.backend->StreamCreateFile(playbacktest::Path(Kind::CbrMp3)), 0u);
    EXPECT_EQ(rig.backend->ErrorGetCode(), AudioError::Init);
    rig.rec->failOpen = false;
    ASSERT_TRUE(rig.backend->Init());
    const StreamHandle s = rig.backend->StreamCreateFile(playbacktest::Path(Kind::CbrMp3));
    EXPECT_NE(s, 0u);
    // The device goes away: the backend says so, and Init opens it again.
    rig.rec->working = false;
    EXPECT_FALSE(rig.backend->IsInitialized());
    EXPECT_FALSE(rig.backend->ChannelPlay(s, false));
    EXPECT_TRUE(rig.backend->Init());
    EXPECT_TRUE(rig.backend->ChannelPlay(s, false));
    EXPECT_EQ(rig.rec->opens.load(), 3);
}

TEST(Backend, TheDeviceIsNeverLookedAtWhileItIsOpenedOrClosed)
{
    // The recording device stands in for SDL's here: it can tell when it is looked at while it
    // is being opened or closed, which with SDL's is a use of freed memory that only a sanitizer
    // build would notice.
    Rig rig;
    rig.rec->changeMicroseconds = 300;
    ASSERT_TRUE(rig.backend->Init());
    const QString path = playbacktest::Path(Kind::ShortMp3);
    std::atomic<bool> done {false};
    std::atomic<int> looks {0};
    // An open request's worker asks whether the device works, and opens and starts streams.
    std::thread worker([&] {
        while (!done.load()) {
            for (int i = 0; i < 100; ++i) {
                rig.backend->IsInitialized();
                ++looks;
            }
            if (const StreamHandle s = rig.backend->StreamCreateFile(path)) {
                rig.backend->ChannelPlay(s, false);
                rig.backend->ChannelGetPosition(s);
                rig.backend->StreamFree(s);
            }
        }
    });
    // Meanwhile the interface thread frees the device and opens it again.
    for (int i = 0; i < 60; ++i) {
        rig.backend->Free();
        ASSERT_TRUE(rig.backend->Init());
    }
    done = true;
    worker.join();
    EXPECT_GT(looks.load(), 0);
    EXPECT_EQ(rig.rec->lookedWhileChanging.load(), 0);
}

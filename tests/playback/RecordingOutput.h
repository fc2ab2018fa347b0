#pragma once
// An output device for the tests: it records every sample the engine gives it. Either the test
// pulls blocks itself (exact control of what has been "played"), or a thread pulls them at the
// device rate like a sound card, optionally faster.
#include "playback/AudioOutput.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct Recording {
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;

    mutable std::mutex mutex;
    std::vector<float> samples; // interleaved stereo, everything rendered
    int heldFrames = 0;         // how much of the last rendered audio the "device" still holds
    bool failOpen = false;      // Open fails, as with no sound card
    std::atomic<bool> working {true};
    std::atomic<int> opens {0};
    // When set, Open and Close take this long, and IsWorking counts each call that comes while
    // one of them is at work (the device's owner must never let that happen).
    std::atomic<int> changeMicroseconds {0};
    std::atomic<bool> changing {false};
    std::atomic<int> lookedWhileChanging {0};

    std::vector<float> Copy() const
    {
        std::lock_guard lock(mutex);
        return samples;
    }
    size_t Frames() const
    {
        std::lock_guard lock(mutex);
        return samples.size() / kChannels;
    }
};

class CRecordingOutput : public IAudioOutput {
public:
    enum class Clock {
        Manual,   // only Pull renders
        RealTime, // a thread renders 10 ms blocks, `speed` times faster than real time
    };

    explicit CRecordingOutput(std::shared_ptr<Recording> recording, Clock clock = Clock::Manual, double speed = 1.0);
    ~CRecordingOutput() override;

    bool Open(int rate, int channels, Render render) override;
    void Close() override;
    bool IsWorking() const override;
    std::int64_t PlayedFrames() const override;

    // Manual clock: renders `frames` frames at once.
    void Pull(int frames);

private:
    void Run();

    std::shared_ptr<Recording> m_recording;
    const Clock m_clock;
    const double m_speed;
    std::mutex m_renderMutex; // Pull, the thread and Close never overlap a render
    Render m_render;
    std::atomic<bool> m_open {false};
    std::atomic<bool> m_stop {false};
    std::thread m_thread;
};

// The recording split into its runs of sound: runs of exact zeros (nothing was playing) of at
// least `minGap` frames separate them. Each run: first frame index and the frames, channel 0.
struct SoundRun {
    size_t firstFrame = 0;
    std::vector<float> mono;
};
std::vector<SoundRun> SplitSoundRuns(const std::vector<float>& interleaved, size_t fromFrame = 0, size_t minGap = 64);

#pragma once
#include "playback/AudioBackend.h"

#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CNetSource;
class CStreamDecoder;

// One playing (or playable) stream: a decoder thread filling a short buffer of output frames, which
// the device's render pulls while the stream plays. Positions are those of the frames the device
// has really played: each pulled block remembers the device frame it went out at.
class CAudioStream {
public:
    // Half a second of decoded audio waits for the device.
    static constexpr int kBufferFrames = 22050;

    // Takes an opened decoder (and the download it reads from, for a URL stream). `fileSize` is
    // reported as the file positions of a local file.
    CAudioStream(std::unique_ptr<CStreamDecoder> decoder, std::unique_ptr<CNetSource> net, std::int64_t fileSize);
    ~CAudioStream();
    CAudioStream(const CAudioStream&) = delete;
    CAudioStream& operator=(const CAudioStream&) = delete;

    bool Play(bool restart);
    bool Pause();
    bool Stop();
    ChannelActivity Activity() const;

    // `playedFrames`: the device's count of frames played.
    std::int64_t PositionMs(std::int64_t playedFrames) const;
    bool Seek(std::int64_t ms);
    std::int64_t LengthMs() const { return m_lengthMs; }
    void SetVolume(float volume) { m_volume = volume; }
    std::int64_t FilePos(FilePosition which) const;
    bool IsNetwork() const { return m_net != nullptr; }

    void SetEqBand(const PeakEqBand& band);

    // On the device's thread: adds up to `frames` frames into `out`, which went out at device
    // frame `deviceFrame`. Returns the frames added.
    int Render(float* out, int frames, std::int64_t deviceFrame);

private:
    enum class State { Stopped, Playing, Paused };
    struct Segment {
        std::int64_t device; // device frame of the first frame
        std::int64_t stream; // stream frame of the first frame
        std::int64_t count;
    };
    void DecodeLoop();
    // Under m_mutex.
    void ClearBuffer(std::int64_t streamFrame);

    std::unique_ptr<CNetSource> m_net;
    std::unique_ptr<CStreamDecoder> m_decoder; // the decode thread's alone once it runs
    const std::int64_t m_fileSize;
    const std::int64_t m_lengthMs;
    std::atomic<float> m_volume {1.0f};

    mutable std::mutex m_mutex;
    std::condition_variable m_changed; // room in the buffer, a seek, the end
    std::condition_variable m_seekDone;
    std::vector<float> m_ring;
    std::size_t m_ringStart = 0; // in frames
    std::size_t m_ringCount = 0; // frames
    std::int64_t m_readFrame = 0; // stream frame of the first buffered frame
    bool m_decoderEnded = false;
    State m_state = State::Stopped;
    bool m_closing = false;
    // A seek asked for and not yet done; numbered so a waiting caller knows its own is done.
    bool m_seekPending = false;
    std::int64_t m_seekTarget = 0;
    std::uint64_t m_seekRequested = 0;
    std::uint64_t m_seekCompleted = 0;
    bool m_seekResult = false;
    std::atomic<bool> m_interruptReads {false};
    // Where the played frames of the last blocks went out.
    std::deque<Segment> m_segments;
    std::int64_t m_idleFrame = 0; // position while nothing of the current place has been played

    std::mutex m_eqMutex;
    std::array<PeakEqBand, 10> m_eqPending {};
    std::array<bool, 10> m_eqChanged {};
    std::atomic<bool> m_eqDirty {false};

    std::thread m_thread;
};

#pragma once
#include "playback/AudioBackend.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

class CAudioStream;
class IAudioOutput;

// The audio library over FFmpeg (demuxing, decoding, network streams) and an output device
// (SDL2, or the test's recorder): every playing stream is mixed into the device's blocks.
class CFfmpegBackend : public IAudioBackend {
public:
    static constexpr int kRate = 44100;

    explicit CFfmpegBackend(std::unique_ptr<IAudioOutput> output);
    ~CFfmpegBackend() override;
    CFfmpegBackend(const CFfmpegBackend&) = delete;
    CFfmpegBackend& operator=(const CFfmpegBackend&) = delete;

    bool Init() override;
    bool IsInitialized() const override;
    void Free() override;

    StreamHandle StreamCreateFile(const QString& path) override;
    StreamHandle StreamCreateURL(const QString& url, const CancelCheck& cancelled) override;
    bool StreamFree(StreamHandle stream) override;

    bool ChannelPlay(StreamHandle stream, bool restart) override;
    bool ChannelPause(StreamHandle stream) override;
    bool ChannelStop(StreamHandle stream) override;
    ChannelActivity ChannelIsActive(StreamHandle stream) override;

    std::int64_t ChannelGetPosition(StreamHandle stream) override;
    bool ChannelSetPosition(StreamHandle stream, std::int64_t ms) override;
    std::int64_t ChannelGetLength(StreamHandle stream) override;
    bool ChannelSetVolume(StreamHandle stream, float volume) override;
    std::int64_t StreamGetFilePosition(StreamHandle stream, FilePosition which) override;

    FxHandle ChannelSetFX(StreamHandle stream) override;
    bool FXSetParameters(FxHandle fx, const PeakEqBand& band) override;

    AudioError ErrorGetCode() const override;

private:
    void Render(float* out, int frames, std::int64_t firstFrame);
    std::int64_t PlayedFrames() const;
    std::shared_ptr<CAudioStream> Find(StreamHandle stream);
    StreamHandle Add(std::shared_ptr<CAudioStream> stream);

    std::unique_ptr<IAudioOutput> m_output;
    std::atomic<bool> m_initialized {false};
    // Held by Init and Free, and by every look at the device from other threads.
    mutable std::mutex m_initMutex;

    // Held by the device's render while it mixes, so a freed stream is never rendered after.
    std::mutex m_mutex;
    std::map<StreamHandle, std::shared_ptr<CAudioStream>> m_streams;
    std::map<FxHandle, StreamHandle> m_effects;
    StreamHandle m_nextHandle = 1;
    FxHandle m_nextFx = 1;
};

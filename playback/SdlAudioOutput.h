#pragma once
#include "playback/AudioOutput.h"

#include <chrono>
#include <memory>
#include <mutex>

// The system's sound device through SDL2's audio subsystem (PipeWire, PulseAudio, ALSA; the
// dummy driver in tests). Only the audio subsystem is used.
class CSdlAudioOutput : public IAudioOutput {
public:
    CSdlAudioOutput();
    ~CSdlAudioOutput() override;
    CSdlAudioOutput(const CSdlAudioOutput&) = delete;
    CSdlAudioOutput& operator=(const CSdlAudioOutput&) = delete;

    bool Open(int rate, int channels, Render render) override;
    void Close() override;
    bool IsWorking() const override;
    std::int64_t PlayedFrames() const override;

private:
    struct Device;
    static void Callback(void* self, unsigned char* stream, int len);

    std::unique_ptr<Device> m_device;
    Render m_render;
    int m_rate = 0;
    int m_channels = 0;

    // The clock: frames rendered, the size of the last block and when it was handed over.
    mutable std::mutex m_clockMutex;
    std::int64_t m_rendered = 0;
    std::int64_t m_lastBlock = 0;
    std::chrono::steady_clock::time_point m_lastTime;
};

#include "playback/SdlAudioOutput.h"

#include "base/DebugLog.h"
#include "playback/SdlHandles.h"

#include <algorithm>
#include <cstring>

namespace {
// 1024 frames (23 ms at 44100 Hz): short enough for a quick pause, long enough for a busy machine.
constexpr int kBlockFrames = 1024;
} // namespace

struct CSdlAudioOutput::Device {
    SdlAudioSubsystem subsystem;
    SdlAudioDevice device;
};

CSdlAudioOutput::CSdlAudioOutput() = default;

CSdlAudioOutput::~CSdlAudioOutput() { Close(); }

bool CSdlAudioOutput::Open(int rate, int channels, Render render)
{
    Close();
    auto device = std::make_unique<Device>();
    if (!device->subsystem.ok()) {
        WriteDebugLogA("playcore %s\t(code:%d)", "audio init", 0);
        WriteDebugLogW(QString::fromUtf8(SDL_GetError()));
        return false;
    }
    m_render = std::move(render);
    m_rate = rate;
    m_channels = channels;
    {
        std::lock_guard lock(m_clockMutex);
        m_rendered = 0;
        m_lastBlock = 0;
        m_lastTime = std::chrono::steady_clock::now();
    }

    SDL_AudioSpec want {};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = kBlockFrames;
    want.callback = &CSdlAudioOutput::Callback;
    want.userdata = this;
    SDL_AudioSpec have {};
    // No changes allowed: SDL converts to whatever the hardware wants, so the clock stays ours.
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        WriteDebugLogW(QStringLiteral("playcore audio device\t") + QString::fromUtf8(SDL_GetError()));
        m_render = nullptr;
        return false;
    }
    device->device = SdlAudioDevice(id);
    m_device = std::move(device);
    SDL_PauseAudioDevice(id, 0);
    return true;
}

void CSdlAudioOutput::Close()
{
    // Closing the device waits for a running callback, so the render function is free after it.
    m_device.reset();
    m_render = nullptr;
}

bool CSdlAudioOutput::IsWorking() const
{
    return m_device && m_device->device && SDL_GetAudioDeviceStatus(m_device->device.get()) == SDL_AUDIO_PLAYING;
}

std::int64_t CSdlAudioOutput::PlayedFrames() const
{
    std::lock_guard lock(m_clockMutex);
    // The last block is played out at the device's rate from the moment it was handed over.
    const auto elapsed = std::chrono::steady_clock::now() - m_lastTime;
    const std::int64_t elapsedFrames = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()
        * m_rate / 1000000;
    const std::int64_t held = std::clamp<std::int64_t>(m_lastBlock - elapsedFrames, 0, m_lastBlock);
    return m_rendered - held;
}

void CSdlAudioOutput::Callback(void* self, unsigned char* stream, int len)
{
    auto* out = static_cast<CSdlAudioOutput*>(self);
    const int frames = len / static_cast<int>(sizeof(float)) / out->m_channels;
    std::int64_t first;
    {
        std::lock_guard lock(out->m_clockMutex);
        first = out->m_rendered;
    }
    if (out->m_render) {
        out->m_render(reinterpret_cast<float*>(stream), frames, first);
    } else {
        std::memset(stream, 0, static_cast<size_t>(len));
    }
    std::lock_guard lock(out->m_clockMutex);
    out->m_rendered = first + frames;
    out->m_lastBlock = frames;
    out->m_lastTime = std::chrono::steady_clock::now();
}

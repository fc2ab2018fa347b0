#pragma once
#include <SDL2/SDL.h>

// One reference on SDL's audio subsystem.
class SdlAudioSubsystem {
public:
    SdlAudioSubsystem() : m_ok(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {}
    ~SdlAudioSubsystem() { if (m_ok) SDL_QuitSubSystem(SDL_INIT_AUDIO); }
    SdlAudioSubsystem(const SdlAudioSubsystem&) = delete;
    SdlAudioSubsystem& operator=(const SdlAudioSubsystem&) = delete;
    SdlAudioSubsystem(SdlAudioSubsystem&& o) noexcept : m_ok(o.m_ok) { o.m_ok = false; }
    SdlAudioSubsystem& operator=(SdlAudioSubsystem&&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_ok;
};

// One opened SDL audio device.
class SdlAudioDevice {
public:
    SdlAudioDevice() = default;
    explicit SdlAudioDevice(SDL_AudioDeviceID id) : m_id(id) {}
    ~SdlAudioDevice() { reset(); }
    SdlAudioDevice(const SdlAudioDevice&) = delete;
    SdlAudioDevice& operator=(const SdlAudioDevice&) = delete;
    SdlAudioDevice(SdlAudioDevice&& o) noexcept : m_id(o.m_id) { o.m_id = 0; }
    SdlAudioDevice& operator=(SdlAudioDevice&& o) noexcept
    {
        if (this != &o) {
            reset();
            m_id = o.m_id;
            o.m_id = 0;
        }
        return *this;
    }
    SDL_AudioDeviceID get() const { return m_id; }
    explicit operator bool() const { return m_id != 0; }
    // Closing waits for the device's callback to return.
    void reset()
    {
        if (m_id != 0) SDL_CloseAudioDevice(m_id);
        m_id = 0;
    }

private:
    SDL_AudioDeviceID m_id = 0;
};

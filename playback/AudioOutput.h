#pragma once
#include <cstdint>
#include <functional>

// The sound device: it pulls interleaved float frames from a render function at its own pace, on
// its own thread. The frame count is the device's clock: everything the engine reports as a
// position is measured against what the device has really played.
class IAudioOutput {
public:
    // Fills `frames` frames at `out`; `firstFrame` is the number of frames rendered before.
    using Render = std::function<void(float* out, int frames, std::int64_t firstFrame)>;

    virtual ~IAudioOutput() = default;

    // Starts pulling; false when the device cannot be opened.
    virtual bool Open(int rate, int channels, Render render) = 0;
    // Stops pulling; when it returns, `render` is not running and will not be called again.
    virtual void Close() = 0;
    // False once the device has failed (unplugged, server gone).
    virtual bool IsWorking() const = 0;
    // Frames rendered so far minus those the device still holds: what has been heard.
    virtual std::int64_t PlayedFrames() const = 0;
};

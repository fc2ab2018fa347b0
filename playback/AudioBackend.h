#pragma once
#include <QString>

#include <cstdint>
#include <functional>

// The audio library as the engine sees it: streams made from files or URLs, played on one output
// device, addressed by handle. The calls and their results follow the audio library the engine was
// designed over, so that the engine's request bookkeeping is written once, over this interface,
// and can be tested with a backend of the test's own.

using StreamHandle = std::uint32_t; // 0 = none; a handle is never reused within a process
using FxHandle = std::uint32_t;     // 0 = none

// What a channel is doing.
enum class ChannelActivity {
    Stopped, // not started, stopped, ended, or not a stream at all
    Playing,
    Stalled, // playing, but waiting for data (network streams)
    Paused,
};

// The file positions of a stream.
enum class FilePosition {
    Buffered,  // bytes downloaded so far (URL streams), else the file size
    End,       // the total size in bytes; -1 when the source does not say (live streams)
    Connected, // 1 while the download is still connected, else 0
};

// Why the last call on this thread failed.
enum class AudioError {
    Ok = 0,
    Init,       // the output device is not initialised
    Device,     // the output device cannot be opened
    Handle,     // not a valid stream handle
    FileOpen,   // the file or URL cannot be opened
    Format,     // not an audio format that can be decoded
    NotAvail,   // the value is not available for this stream (no size, no length)
    Position,   // the position cannot be reached
    Timeout,    // the network did not answer in time
    Cancelled,  // the caller gave up
    Unknown,
};

// One band of the peaking equaliser.
struct PeakEqBand {
    int band = 0;              // 0..9
    float centerHz = 1000.0f;
    float bandwidthOctaves = 2.5f;
    float gainDb = 0.0f;
};

// Told to a blocking open to give up early (a newer request, the program exiting).
using CancelCheck = std::function<bool()>;

class IAudioBackend {
public:
    virtual ~IAudioBackend() = default;

    // Opens the output device at 44100 Hz; false when it cannot be opened.
    virtual bool Init() = 0;
    // True while the device is open and working.
    virtual bool IsInitialized() const = 0;
    // Frees every stream and closes the device.
    virtual void Free() = 0;

    // A stream over a local file (path as UTF-8 on the way to the system). 0 on failure.
    virtual StreamHandle StreamCreateFile(const QString& path) = 0;
    // A stream over an http:// (progressive download) or mms:// URL. Blocks until the source is
    // connected and its format known, or it failed, or `cancelled` says so. 0 on failure.
    virtual StreamHandle StreamCreateURL(const QString& url, const CancelCheck& cancelled) = 0;
    virtual bool StreamFree(StreamHandle stream) = 0;

    virtual bool ChannelPlay(StreamHandle stream, bool restart) = 0;
    virtual bool ChannelPause(StreamHandle stream) = 0;
    virtual bool ChannelStop(StreamHandle stream) = 0;
    virtual ChannelActivity ChannelIsActive(StreamHandle stream) = 0;

    // Position of what is being heard, in ms; -1 on error.
    virtual std::int64_t ChannelGetPosition(StreamHandle stream) = 0;
    virtual bool ChannelSetPosition(StreamHandle stream, std::int64_t ms) = 0;
    // Length in ms; -1 when it is not known.
    virtual std::int64_t ChannelGetLength(StreamHandle stream) = 0;
    virtual bool ChannelSetVolume(StreamHandle stream, float volume) = 0;

    // -1 on error (or, for End, when the size is not known).
    virtual std::int64_t StreamGetFilePosition(StreamHandle stream, FilePosition which) = 0;

    // The peaking equaliser on a stream; bands start flat (0 dB), which costs nothing.
    virtual FxHandle ChannelSetFX(StreamHandle stream) = 0;
    virtual bool FXSetParameters(FxHandle fx, const PeakEqBand& band) = 0;

    // The error of the last failed call on the calling thread.
    virtual AudioError ErrorGetCode() const = 0;
};

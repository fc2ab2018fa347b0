#pragma once
#include "playback/AudioBackend.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class IByteSource;

// Demuxes and decodes one audio source into interleaved float stereo at 44100 Hz. Positions are
// counted in output frames from the start of the audio; a seek lands on the exact frame asked for
// (as far as the container's timestamps allow). Used by one thread at a time.
class CStreamDecoder {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;

    enum class Result {
        Data,        // a block was decoded
        End,         // the audio ended (or the data is broken beyond recovery)
        Interrupted, // the byte source gave up a read; the decoder can seek or be closed
    };

    CStreamDecoder();
    ~CStreamDecoder();
    CStreamDecoder(const CStreamDecoder&) = delete;
    CStreamDecoder& operator=(const CStreamDecoder&) = delete;

    // Opens a local file and decodes its first block, so that a file that is not audio fails here.
    AudioError OpenFile(const QString& path);
    // The same over a byte source that outlives the decoder. `name` hints the format (the URL).
    AudioError OpenSource(IByteSource* source, const QString& name);

    // The next block into `out` (replacing its contents), at least one frame for Data.
    Result Decode(std::vector<float>& out);
    // Output frame index of the first frame of the block the last Decode returned.
    std::int64_t BlockStart() const { return m_blockStart; }

    // The next block starts at `ms`, or as close after it as the source allows. False when the
    // position cannot be reached (beyond the end, a source that cannot seek).
    bool Seek(std::int64_t ms);

    // Length in ms, -1 when not known (live streams).
    std::int64_t LengthMs() const { return m_lengthMs; }

private:
    struct Impl;
    AudioError Open(const QString& path, IByteSource* source);
    int Convert(std::vector<float>& out);

    std::unique_ptr<Impl> m_impl;
    std::int64_t m_lengthMs = -1;
    std::int64_t m_nextFrame = 0;   // index of the frame after the last one returned
    std::int64_t m_blockStart = 0;
    std::int64_t m_skipTo = -1;     // after a seek: frames before this index are dropped
    bool m_haveFirst = false;       // the block decoded at open, not yet returned
    bool m_inputEnded = false;
    int m_badPackets = 0;
};

#include "playback/AudioStream.h"

#include "playback/NetSource.h"
#include "playback/PeakEqualizer.h"
#include "playback/StreamDecoder.h"

#include <algorithm>
#include <chrono>

namespace {
constexpr int kChannels = CStreamDecoder::kChannels;
constexpr std::int64_t kRate = CStreamDecoder::kRate;
// A seek waits this long for the decoder (a network stream may have to wait for data).
constexpr auto kSeekWait = std::chrono::seconds(3);
constexpr std::size_t kMaxSegments = 64;

std::int64_t MsToFrames(std::int64_t ms) { return ms * kRate / 1000; }
std::int64_t FramesToMs(std::int64_t frames) { return frames * 1000 / kRate; }
} // namespace

CAudioStream::CAudioStream(std::unique_ptr<CStreamDecoder> decoder, std::unique_ptr<CNetSource> net,
                           std::int64_t fileSize)
    : m_net(std::move(net))
    , m_decoder(std::move(decoder))
    , m_fileSize(fileSize)
    , m_lengthMs(m_decoder->LengthMs())
    , m_ring(static_cast<std::size_t>(kBufferFrames) * kChannels)
{
    if (m_net) m_net->SetReadInterrupt([this] { return m_interruptReads.load(); });
    m_thread = std::thread([this] { DecodeLoop(); });
}

CAudioStream::~CAudioStream()
{
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        m_state = State::Stopped;
        m_interruptReads = true;
    }
    m_changed.notify_all();
    m_seekDone.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

bool CAudioStream::Play(bool restart)
{
    if (restart && !Seek(0)) return false;
    std::lock_guard lock(m_mutex);
    if (m_closing) return false;
    m_state = State::Playing;
    return true;
}

bool CAudioStream::Pause()
{
    std::lock_guard lock(m_mutex);
    if (m_state != State::Playing) return false;
    m_state = State::Paused;
    return true;
}

bool CAudioStream::Stop()
{
    std::lock_guard lock(m_mutex);
    m_state = State::Stopped;
    return true;
}

ChannelActivity CAudioStream::Activity() const
{
    std::lock_guard lock(m_mutex);
    switch (m_state) {
    case State::Stopped: return ChannelActivity::Stopped;
    case State::Paused: return ChannelActivity::Paused;
    case State::Playing: break;
    }
    // Stalled: nothing left to play because the decoder waits for the network. A decoder that
    // is only a moment late (a local file, a busy machine) is not a stall the player should show.
    if (m_net && !m_seekPending && m_ringCount == 0 && !m_decoderEnded && m_net->ReaderWaiting()) {
        return ChannelActivity::Stalled;
    }
    return ChannelActivity::Playing;
}

std::int64_t CAudioStream::PositionMs(std::int64_t playedFrames) const
{
    std::lock_guard lock(m_mutex);
    if (m_segments.empty()) return FramesToMs(m_idleFrame);
    if (playedFrames < m_segments.front().device) return FramesToMs(m_segments.front().stream);
    // The last block that had started playing when the device got to `playedFrames`.
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), playedFrames,
                               [](std::int64_t played, const Segment& s) { return played < s.device; });
    const Segment& s = *(it - 1);
    return FramesToMs(s.stream + std::min(playedFrames - s.device, s.count));
}

bool CAudioStream::Seek(std::int64_t ms)
{
    if (ms < 0 || (m_lengthMs >= 0 && ms > m_lengthMs)) return false;
    if (m_net && !m_net->Seekable()) return false;
    std::unique_lock lock(m_mutex);
    if (m_closing) return false;
    const std::uint64_t mine = ++m_seekRequested;
    m_seekPending = true;
    m_seekTarget = ms;
    // What is buffered belongs to the old place: it must not be heard any more.
    ClearBuffer(MsToFrames(ms));
    m_decoderEnded = false;
    m_interruptReads = true;
    m_changed.notify_all();
    m_seekDone.wait_for(lock, kSeekWait, [&] { return m_seekCompleted >= mine || m_closing; });
    return m_seekCompleted >= mine && m_seekResult;
}

void CAudioStream::ClearBuffer(std::int64_t streamFrame)
{
    m_ringStart = 0;
    m_ringCount = 0;
    m_readFrame = streamFrame;
    m_idleFrame = streamFrame;
    m_segments.clear();
}

std::int64_t CAudioStream::FilePos(FilePosition which) const
{
    if (m_net) {
        switch (which) {
        case FilePosition::Buffered: return m_net->Buffered();
        case FilePosition::End: return m_net->Size();
        case FilePosition::Connected: return m_net->Connected() ? 1 : 0;
        }
        return -1;
    }
    // A local file is all there, and never connected.
    return which == FilePosition::Connected ? -1 : m_fileSize;
}

void CAudioStream::SetEqBand(const PeakEqBand& band)
{
    if (band.band < 0 || band.band >= static_cast<int>(m_eqPending.size())) return;
    std::lock_guard lock(m_eqMutex);
    m_eqPending[band.band] = band;
    m_eqChanged[band.band] = true;
    m_eqDirty = true;
}

int CAudioStream::Render(float* out, int frames, std::int64_t deviceFrame)
{
    int n = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Playing || m_seekPending) return 0;
        n = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(frames), m_ringCount));
        const float volume = m_volume.load();
        std::size_t at = m_ringStart;
        for (int i = 0; i < n; ++i) {
            const float* src = m_ring.data() + at * kChannels;
            for (int c = 0; c < kChannels; ++c) out[i * kChannels + c] += src[c] * volume;
            if (++at == static_cast<std::size_t>(kBufferFrames)) at = 0;
        }
        if (n > 0) {
            Segment* last = m_segments.empty() ? nullptr : &m_segments.back();
            if (last && last->device + last->count == deviceFrame && last->stream + last->count == m_readFrame) {
                last->count += n;
            } else {
                m_segments.push_back({deviceFrame, m_readFrame, n});
                if (m_segments.size() > kMaxSegments) m_segments.pop_front();
            }
            m_ringStart = at;
            m_ringCount -= static_cast<std::size_t>(n);
            m_readFrame += n;
        }
        if (m_ringCount == 0 && m_decoderEnded) m_state = State::Stopped; // played to its end
    }
    if (n > 0) m_changed.notify_all();
    return n;
}

void CAudioStream::DecodeLoop()
{
    CPeakEqualizer eq(CStreamDecoder::kRate, kChannels);
    std::vector<float> block;
    bool fresh = true; // the next block is the first at a new place
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_closing) return;
            if (m_seekPending) {
                const std::uint64_t mine = m_seekRequested;
                const std::int64_t target = m_seekTarget;
                m_seekPending = false;
                lock.unlock();
                const bool ok = m_decoder->Seek(target);
                eq.Reset();
                lock.lock();
                if (!m_seekPending) {
                    m_interruptReads = m_closing;
                    ClearBuffer(MsToFrames(target));
                    m_decoderEnded = false;
                }
                fresh = true;
                m_seekCompleted = mine;
                m_seekResult = ok;
                m_seekDone.notify_all();
                continue;
            }
            if (m_decoderEnded) {
                m_changed.wait(lock, [&] { return m_closing || m_seekPending; });
                continue;
            }
        }

        if (m_eqDirty.exchange(false)) {
            std::lock_guard lock(m_eqMutex);
            for (std::size_t i = 0; i < m_eqPending.size(); ++i) {
                if (m_eqChanged[i]) eq.SetBand(m_eqPending[i]);
                m_eqChanged[i] = false;
            }
        }

        const CStreamDecoder::Result r = m_decoder->Decode(block);
        if (r != CStreamDecoder::Result::Data) {
            std::lock_guard lock(m_mutex);
            // An interrupted read is a seek or the end of the stream object, seen at the top.
            if (r == CStreamDecoder::Result::End && !m_seekPending) m_decoderEnded = true;
            continue;
        }
        eq.Process(block.data(), static_cast<int>(block.size() / kChannels));

        const std::size_t frames = block.size() / kChannels;
        std::size_t done = 0;
        std::unique_lock lock(m_mutex);
        if (fresh && !m_seekPending) {
            m_readFrame = m_decoder->BlockStart();
            fresh = false;
        }
        while (done < frames) {
            m_changed.wait(lock, [&] {
                return m_closing || m_seekPending || m_ringCount < static_cast<std::size_t>(kBufferFrames);
            });
            if (m_closing || m_seekPending) break; // the rest belongs to a place we are leaving
            const std::size_t cap = kBufferFrames;
            const std::size_t at = (m_ringStart + m_ringCount) % cap;
            const std::size_t piece = std::min({frames - done, cap - m_ringCount, cap - at});
            std::copy_n(block.data() + done * kChannels, piece * kChannels, m_ring.data() + at * kChannels);
            m_ringCount += piece;
            done += piece;
        }
    }
}

#include "playback/NetSource.h"

#include "base/DebugLog.h"
#include "base/Worker.h"
#include "base/FfmpegHandles.h"

#include <algorithm>
#include <cstring>

using ffmpeg::Av;

namespace {

constexpr int kChunk = 64 * 1024;
// How often a waiting reader looks whether it should give up.
constexpr auto kReaderPoll = std::chrono::milliseconds(50);

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

struct CNetSource::Url {
    ffmpeg::UrlIo io;
};

CNetSource::CNetSource() : m_url(std::make_unique<Url>()) {}

CNetSource::~CNetSource()
{
    {
        // Set under the lock the download waits under: set between its look at the flag and its
        // wait, the wake-up would be lost and this join would never return.
        std::lock_guard lock(m_mutex);
        m_abort = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

int CNetSource::InterruptCallback(void* self) { return static_cast<CNetSource*>(self)->ShouldInterrupt() ? 1 : 0; }

bool CNetSource::ShouldInterrupt()
{
    if (m_abort.load() || IsExiting()) return true;
    const std::int64_t deadline = m_deadlineNs.load();
    if (deadline != 0 && NowNs() > deadline) return true;
    std::lock_guard lock(m_cancelMutex);
    return m_cancel && *m_cancel && (*m_cancel)();
}

void CNetSource::SetCancel(const CancelCheck* cancelled)
{
    std::lock_guard lock(m_cancelMutex);
    m_cancel = cancelled;
}

void CNetSource::SetBeforeWaitHook(std::function<void()> hook)
{
    std::lock_guard lock(m_mutex);
    m_beforeWait = std::move(hook);
}

void CNetSource::SetReadInterrupt(std::function<bool()> interrupt)
{
    std::lock_guard lock(m_mutex);
    m_readInterrupt = std::move(interrupt);
}

std::unique_ptr<CNetSource> CNetSource::Connect(const QString& url, const CancelCheck& cancelled, AudioError* error,
                                               std::chrono::milliseconds stallTimeout)
{
    if (!Av().loaded) { // no FFmpeg on this machine: its log says why
        if (error) *error = AudioError::Unknown;
        return nullptr;
    }
    std::unique_ptr<CNetSource> self(new CNetSource());
    self->m_stallTimeout = stallTimeout;
    self->SetCancel(&cancelled);
    self->m_deadlineNs = NowNs() + std::chrono::nanoseconds(kConnectTimeout).count();

    ffmpeg::Dictionary options;
    // A redirect may not lead to a local file or anything else that is not a network stream.
    options.Set("protocol_whitelist", "http,https,tcp,tls,mmsh,mmst,httpproxy");
    options.Set("reconnect", "0");
    AVIOInterruptCB interrupt {&CNetSource::InterruptCallback, self.get()};
    AVIOContext* io = nullptr;
    const QByteArray utf8 = url.toUtf8();
    const int r = Av().avio_open2(&io, utf8.constData(), AVIO_FLAG_READ, &interrupt, options.address());
    self->SetCancel(nullptr);
    self->m_deadlineNs = 0;
    if (r < 0 || !io) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        Av().av_strerror(r, text, sizeof text);
        WriteDebugLogW(QStringLiteral("playcore connect %1\t%2").arg(url, QString::fromUtf8(text)));
        if (error) {
            if (cancelled && cancelled()) *error = AudioError::Cancelled;
            else if (r == AVERROR_EXIT) *error = AudioError::Timeout;
            else *error = AudioError::FileOpen;
        }
        return nullptr;
    }
    self->m_url->io.reset(io);

    // A size of 0 says nothing about the stream that follows: it is as good as no size at all.
    const std::int64_t size = Av().avio_size(io);
    self->m_total = size > 0 ? size : -1;
    self->m_whole = self->m_total > 0 && self->m_total <= kMaxWhole;
    if (self->m_whole) {
        self->m_data.reserve(static_cast<size_t>(self->m_total));
    } else {
        self->m_data.resize(static_cast<size_t>(kLiveBuffer));
    }
    CNetSource* raw = self.get();
    self->m_thread = std::thread([raw] { raw->Download(); });
    if (error) *error = AudioError::Ok;
    return self;
}

void CNetSource::Download()
{
    std::vector<std::uint8_t> chunk(kChunk);
    AVIOContext* io = m_url->io.get();
    for (;;) {
        int room = kChunk;
        {
            std::unique_lock lock(m_mutex);
            if (!m_whole) {
                // A live stream waits for the decoder to make room; that is not a stall of the network.
                while (!m_abort.load() && m_ringCount >= m_data.size()) {
                    if (m_beforeWait) m_beforeWait();
                    m_changed.wait(lock);
                }
                room = static_cast<int>(std::min<std::size_t>(kChunk, m_data.size() - m_ringCount));
            } else if (m_downloaded >= m_total) {
                break;
            } else {
                room = static_cast<int>(std::min<std::int64_t>(kChunk, m_total - m_downloaded));
            }
        }
        if (m_abort.load()) break;
        m_deadlineNs = NowNs() + m_stallTimeout.count();
        const int n = Av().avio_read_partial(io, chunk.data(), room);
        if (n < 0) break; // end, error, stall or abort
        if (n == 0) {
            if (Av().avio_feof(io)) break;
            continue;
        }
        std::lock_guard lock(m_mutex);
        if (m_whole) {
            m_data.insert(m_data.end(), chunk.begin(), chunk.begin() + n);
        } else {
            const std::size_t cap = m_data.size();
            std::size_t at = (m_ringStart + m_ringCount) % cap;
            for (int done = 0; done < n;) {
                const std::size_t piece = std::min<std::size_t>(n - done, cap - at);
                std::memcpy(m_data.data() + at, chunk.data() + done, piece);
                done += static_cast<int>(piece);
                at = (at + piece) % cap;
            }
            m_ringCount += static_cast<std::size_t>(n);
        }
        m_downloaded += n;
        m_changed.notify_all();
    }
    m_deadlineNs = 0;
    {
        std::lock_guard lock(m_mutex);
        m_ended = true;
        // The connection goes now, not when the stream is freed.
        m_url->io.reset();
    }
    m_changed.notify_all();
}

int CNetSource::Read(std::uint8_t* buffer, int size)
{
    if (size <= 0) return 0;
    struct Done {
        std::atomic<bool>& waiting;
        ~Done() { waiting = false; }
    } done {m_readerWaiting};
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_abort.load()) return -1;
        if (m_whole) {
            const std::int64_t have = static_cast<std::int64_t>(m_data.size()) - m_readPos;
            if (have > 0) {
                const int n = static_cast<int>(std::min<std::int64_t>(size, have));
                std::memcpy(buffer, m_data.data() + m_readPos, static_cast<size_t>(n));
                m_readPos += n;
                return n;
            }
        } else if (m_ringCount > 0) {
            const std::size_t cap = m_data.size();
            const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), m_ringCount);
            const std::size_t first = std::min(n, cap - m_ringStart);
            std::memcpy(buffer, m_data.data() + m_ringStart, first);
            std::memcpy(buffer + first, m_data.data(), n - first);
            m_ringStart = (m_ringStart + n) % cap;
            m_ringCount -= n;
            m_changed.notify_all();
            return static_cast<int>(n);
        }
        if (m_ended.load()) return 0;
        if (m_readInterrupt && m_readInterrupt()) return -1;
        m_readerWaiting = true;
        m_changed.wait_for(lock, kReaderPoll);
    }
}

std::int64_t CNetSource::Seek(std::int64_t position)
{
    if (!m_whole || position < 0 || position > m_total) return -1;
    std::lock_guard lock(m_mutex);
    m_readPos = position;
    return position;
}

std::int64_t CNetSource::Buffered() const
{
    std::lock_guard lock(m_mutex);
    return m_total > 0 ? m_downloaded : static_cast<std::int64_t>(m_ringCount);
}

#pragma once
#include "playback/AudioBackend.h"
#include "playback/ByteSource.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A network source downloading on a thread of its own while the decoder reads from it. A file of
// known size is kept whole as it arrives (so the decoder can seek in what is there); a stream of
// unknown size (a live stream) goes through a bounded buffer that the decoder empties.
class CNetSource : public IByteSource {
public:
    // Nothing arriving for this long ends the download.
    static constexpr std::chrono::seconds kStallTimeout {30};
    // Connecting and receiving the reply's headers.
    static constexpr std::chrono::seconds kConnectTimeout {15};
    // Larger files are not kept whole.
    static constexpr std::int64_t kMaxWhole = 128 * 1024 * 1024;
    static constexpr std::int64_t kLiveBuffer = 1024 * 1024;

    // Connects to `url` (any protocol FFmpeg speaks among http, https, mmsh and mmst) and starts
    // the download. Null on failure, with the reason in `error`. `cancelled` is asked while this
    // call waits; it is not kept. `stallTimeout`: how long the download waits for a byte.
    static std::unique_ptr<CNetSource> Connect(const QString& url, const CancelCheck& cancelled, AudioError* error,
                                               std::chrono::milliseconds stallTimeout = kStallTimeout);

    ~CNetSource() override;

    // A reader waiting for data gives up (Read returns -1) as soon as this says so.
    void SetReadInterrupt(std::function<bool()> interrupt);
    // While a blocking call of the creator runs: give up when this says so (nullptr: no longer).
    void SetCancel(const CancelCheck* cancelled);

    int Read(std::uint8_t* buffer, int size) override;
    std::int64_t Seek(std::int64_t position) override;
    std::int64_t Size() const override { return m_total; }
    bool Seekable() const override { return m_whole; }

    std::int64_t Buffered() const;
    bool Connected() const { return !m_ended.load(); }
    // A reader is waiting for bytes that have not arrived: the stream is starved by the network.
    bool ReaderWaiting() const { return m_readerWaiting.load(); }

    // For tests: called by the download thread, holding the lock, each time it has found the live
    // buffer full and is about to wait for room. Lets a test act in the moment a wake-up sent
    // without the lock would be lost.
    void SetBeforeWaitHook(std::function<void()> hook);

private:
    struct Url;
    CNetSource();
    void Download();
    bool ShouldInterrupt();
    static int InterruptCallback(void* self);

    std::unique_ptr<Url> m_url;
    std::chrono::nanoseconds m_stallTimeout = kStallTimeout;
    std::int64_t m_total = -1;
    bool m_whole = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::uint8_t> m_data;   // whole: the file so far; live: a ring
    std::int64_t m_downloaded = 0;      // bytes received in all
    std::int64_t m_readPos = 0;         // whole: the read position
    std::size_t m_ringStart = 0;        // live: first unread byte
    std::size_t m_ringCount = 0;        // live: unread bytes
    std::function<bool()> m_readInterrupt;
    std::function<void()> m_beforeWait;

    std::mutex m_cancelMutex;
    const CancelCheck* m_cancel = nullptr;
    std::atomic<bool> m_abort {false};
    std::atomic<bool> m_ended {false};
    std::atomic<bool> m_readerWaiting {false};
    std::atomic<std::int64_t> m_deadlineNs {0}; // steady clock; 0 = none
    std::thread m_thread;
};

// Network streams from HTTP servers on 127.0.0.1, through the real audio path.
#include "playback/FfmpegBackend.h"
#include "playback/NetSource.h"
#include "playback/SdlAudioOutput.h"
#include "tests/playback/EngineTestUtil.h"
#include "tests/playback/PlaybackFixtures.h"
#include "tests/playback/TestHttpServer.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <future>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

using playbacktest::Kind;
using namespace std::chrono_literals;

namespace {

QByteArray Bytes(Kind kind) { return testutil::ReadFile(playbacktest::Path(kind)); }

class EngineHttpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine = CQvPlayCore::Create(std::make_unique<CFfmpegBackend>(std::make_unique<CSdlAudioOutput>()));
        ASSERT_EQ(engine->Init(window.Target(), nullptr), 1);
    }
    void TearDown() override { EndEngine(engine); }

    bool WaitStatus(int status, int ms = 20000)
    {
        return testutil::WaitUntil([&] { return engine->GetStatus() == status; }, ms);
    }
    // The open request's worker is done (the status says what became of it).
    bool WaitOpened() { return WaitForWorkers(20000); }

    CTestHttpServer server;
    CNotifyWindow window;
    std::shared_ptr<CQvPlayCore> engine;
};

} // namespace

TEST_F(EngineHttpTest, AnAlternativePlaysWhenTheFirstUrlFails)
{
    server.Status("/missing.mp3", 404, "no such song");
    server.Whole("/song.mp3", Bytes(Kind::ShortMp3));
    const QStringList alternatives {QStringLiteral("http://127.0.0.1:1/refused.mp3"), server.Url("/song.mp3")};
    ASSERT_EQ(engine->Open(server.Url("/missing.mp3"), alternatives), 1);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPaused) << "pending";
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    EXPECT_EQ(window.notices.front(), (Notice {CQvPlayCore::kNotifyConnecting, 0}));
    EXPECT_EQ(window.Count(CQvPlayCore::kNotifyOpenFailed), 0);
    EXPECT_EQ(server.Requests(), (std::vector<std::string> {"/missing.mp3", "/song.mp3"}));
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
    EXPECT_EQ(engine->GetOpenState(), CQvPlayCore::kOpenPlayedByWorker);
    ASSERT_TRUE(WaitStatus(CQvPlayCore::kStopped));
    EXPECT_GE(engine->GetPosition(), 1300);
}

TEST_F(EngineHttpTest, ASlowServerIsBufferedPastTwoPercent)
{
    // 30 s at 128 kbit/s: 2 % is about 9.6 kB; 600 bytes every 25 ms gets there in a few tenths.
    server.Slow("/slow.mp3", Bytes(Kind::LongMp3), 6000, 600, 25ms);
    ASSERT_EQ(engine->Open(server.Url("/slow.mp3"), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    EXPECT_GT(engine->GetBufferPercent(), 2.0f);
    EXPECT_LT(engine->GetBufferPercent(), 50.0f) << "it did not wait for the whole download";
    EXPECT_EQ(window.notices.front().w, CQvPlayCore::kNotifyConnecting);
    EXPECT_EQ(window.notices.back().w, CQvPlayCore::kNotifyStarted);
    std::vector<int> percents;
    for (const Notice& n : window.notices) {
        if (n.w == CQvPlayCore::kNotifyBuffering) percents.push_back(n.l);
    }
    ASSERT_GE(percents.size(), 2u);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_LT(percents.front(), percents.back()) << "the percentages grow";
    EXPECT_LE(percents.back(), 2) << "playback starts as soon as more than 2 % is there";
    EXPECT_EQ(window.Count(CQvPlayCore::kNotifyOpenFailed) + window.Count(CQvPlayCore::kNotifySizeUnknown), 0);
    ASSERT_TRUE(testutil::WaitUntil([&] { return engine->GetPosition() > 300; }, 20000));
    const float later = engine->GetBufferPercent();
    Spin(300);
    EXPECT_GT(engine->GetBufferPercent(), later) << "the download goes on while it plays";
    EXPECT_EQ(engine->Stop(), 1);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
}

TEST_F(EngineHttpTest, AFinishedDownloadStartsAtOnce)
{
    server.Whole("/song.mp3", Bytes(Kind::ShortMp3));
    // A server that hangs up early has finished too: what came plays, then the stream ends.
    const QByteArray cbr = Bytes(Kind::CbrMp3);
    server.Partial("/half.mp3", cbr, cbr.size() / 2, false);
    for (const char* path : {"/song.mp3", "/half.mp3"}) {
        window.notices.clear();
        ASSERT_EQ(engine->Open(server.Url(path), {}), 1);
        ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted)) << path;
        EXPECT_EQ(window.Count(CQvPlayCore::kNotifyBuffering), 0) << path;
        ASSERT_TRUE(WaitStatus(CQvPlayCore::kStopped)) << path;
        EXPECT_GT(engine->GetPosition(), 1000) << path;
        EXPECT_LT(engine->GetPosition(), std::string(path) == "/half.mp3" ? 2200 : 1600) << path;
        engine->Stop();
    }
}

TEST_F(EngineHttpTest, AStreamWithoutASizePlaysAsALiveStream)
{
    server.Unsized("/live.mp3", Bytes(Kind::ShortMp3));
    ASSERT_EQ(engine->Open(server.Url("/live.mp3"), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    EXPECT_EQ(window.Kinds(), (std::vector<int> {CQvPlayCore::kNotifyConnecting, CQvPlayCore::kNotifySizeUnknown,
                                                 CQvPlayCore::kNotifyStarted}));
    EXPECT_EQ(engine->GetBufferPercent(), 0.0f) << "no percent without a size";
    EXPECT_FALSE(engine->Seek(500)) << "a live stream cannot seek";
    ASSERT_TRUE(WaitStatus(CQvPlayCore::kStopped));
    EXPECT_GE(engine->GetPosition(), 1300);
}

TEST_F(EngineHttpTest, WhatCannotBeOpenedPostsOpenFailed)
{
    server.Status("/404.mp3", 404, "<html><body>Not Found</body></html>");
    server.Status("/page.mp3", 200, "<!DOCTYPE html><html><head><title>Song</title></head><body>"
                                    + std::string(20000, 'x') + "</body></html>");
    server.Status("/empty.mp3", 200, "", "audio/mpeg"); // Content-Length: 0
    for (const char* path : {"/404.mp3", "/page.mp3", "/empty.mp3"}) {
        window.notices.clear();
        ASSERT_EQ(engine->Open(server.Url(path), {}), 1);
        ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyOpenFailed)) << path;
        ASSERT_TRUE(WaitOpened());
        EXPECT_EQ(window.Kinds(), (std::vector<int> {CQvPlayCore::kNotifyConnecting, CQvPlayCore::kNotifyOpenFailed}))
            << path;
        EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped) << path;
        EXPECT_EQ(engine->GetLength(), 0);
    }
    // Nobody listening at all.
    window.notices.clear();
    ASSERT_EQ(engine->Open(QStringLiteral("http://127.0.0.1:1/x.mp3"), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyOpenFailed));
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
}

TEST_F(EngineHttpTest, AStalledServerStallsTheStreamAndStopEndsIt)
{
    const QByteArray cbr = Bytes(Kind::CbrMp3);
    server.Partial("/stall.mp3", cbr, cbr.size() / 3, true);
    ASSERT_EQ(engine->Open(server.Url("/stall.mp3"), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    ASSERT_TRUE(WaitStatus(CQvPlayCore::kStalled));
    EXPECT_GT(engine->GetPosition(), 700);
    EXPECT_LT(engine->GetPosition(), 1300);
    // The server still holds the connection open: the stop must not wait for it (a stop that did
    // would never return here, since the server sends nothing more).
    EXPECT_EQ(engine->Stop(), 1);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
}

TEST_F(EngineHttpTest, AnOpenOvertakenWhileConnectingNeitherPlaysNorSkips)
{
    server.Gated("/gate.mp3", Bytes(Kind::ShortMp3));
    ASSERT_EQ(engine->Open(server.Url("/gate.mp3"), {}), 1);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !server.Requests().empty(); }, 10000));
    // The user picks a local file while the server has not answered.
    ASSERT_EQ(engine->Open(playbacktest::Path(Kind::ShortMp3), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyStarted));
    server.Release();
    ASSERT_TRUE(WaitOpened());
    Spin(200);
    EXPECT_EQ(window.Kinds(), (std::vector<int> {CQvPlayCore::kNotifyConnecting, CQvPlayCore::kNotifyStarted}))
        << "the overtaken request says nothing, so the new track is not stopped or skipped";
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kPlaying);
    EXPECT_EQ(engine->GetBufferPercent(), 100.0f) << "the local file is what plays";

    // A stop while buffering: nothing starts afterwards.
    server.Slow("/slow.mp3", Bytes(Kind::LongMp3), 6000, 300, 50ms);
    engine->Stop();
    window.notices.clear();
    ASSERT_EQ(engine->Open(server.Url("/slow.mp3"), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyBuffering));
    engine->Stop();
    ASSERT_TRUE(WaitOpened());
    Spin(300);
    EXPECT_EQ(window.Count(CQvPlayCore::kNotifyStarted), 0);
    EXPECT_EQ(window.Count(CQvPlayCore::kNotifyOpenFailed), 0);
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
}

TEST_F(EngineHttpTest, MmsIsTriedOverHttpThenOverTcp)
{
    // A listener that takes each connection, keeps what the client said first, and hangs up.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    ASSERT_EQ(listen(listener, 4), 0);
    std::atomic<bool> done {false};
    std::vector<std::string> firstBytes;
    std::mutex mutex;
    std::thread acceptor([&] {
        while (!done) {
            pollfd p {listener, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            const int c = accept(listener, nullptr, nullptr);
            if (c < 0) continue;
            pollfd q {c, POLLIN, 0};
            char buffer[512] = {};
            ssize_t n = poll(&q, 1, 3000) > 0 ? read(c, buffer, sizeof buffer) : 0;
            {
                std::lock_guard lock(mutex);
                firstBytes.emplace_back(buffer, n > 0 ? static_cast<size_t>(n) : 0);
            }
            close(c);
        }
    });

    ASSERT_EQ(engine->Open(QStringLiteral("mms://127.0.0.1:%1/radio").arg(ntohs(addr.sin_port)), {}), 1);
    ASSERT_TRUE(window.WaitFor(CQvPlayCore::kNotifyOpenFailed, 1, 20000));
    ASSERT_TRUE(WaitOpened());
    done = true;
    acceptor.join();
    close(listener);
    EXPECT_EQ(window.Kinds(), (std::vector<int> {CQvPlayCore::kNotifyConnecting, CQvPlayCore::kNotifyOpenFailed}));
    EXPECT_EQ(engine->GetStatus(), CQvPlayCore::kStopped);
    std::lock_guard lock(mutex);
    ASSERT_EQ(firstBytes.size(), 2u);
    EXPECT_EQ(firstBytes[0].rfind("GET /radio", 0), 0u) << "MMS over HTTP first";
    EXPECT_NE(firstBytes[1].rfind("GET", 0), 0u) << "then MMS over TCP";
}

TEST(NetSource, ADownloadThatStopsSendingEndsAfterItsTimeout)
{
    CTestHttpServer server;
    const QByteArray cbr = testutil::ReadFile(playbacktest::Path(Kind::CbrMp3));
    server.Partial("/stall.mp3", cbr, 10000, true);
    server.Whole("/whole.mp3", cbr);
    AudioError e = AudioError::Unknown;
    const CancelCheck never;
    auto net = CNetSource::Connect(server.Url("/stall.mp3"), never, &e, 400ms);
    ASSERT_TRUE(net) << static_cast<int>(e);
    EXPECT_EQ(net->Size(), cbr.size());
    EXPECT_TRUE(net->Seekable());
    // What came can be read; then the read waits for the download, which gives up.
    std::vector<std::uint8_t> buffer(4096);
    std::int64_t got = 0;
    for (int n; (n = net->Read(buffer.data(), static_cast<int>(buffer.size()))) > 0;) got += n;
    EXPECT_EQ(got, 10000);
    EXPECT_FALSE(net->Connected());
    EXPECT_EQ(net->Buffered(), 10000);
    EXPECT_EQ(net->Read(buffer.data(), 10), 0) << "the end of the data";
    // It may still seek back into what it has.
    EXPECT_EQ(net->Seek(100), 100);
    EXPECT_EQ(net->Read(buffer.data(), 10), 10);
    EXPECT_EQ(std::memcmp(buffer.data(), cbr.constData() + 100, 10), 0);

    // A whole download ends connected = 0 with every byte.
    net = CNetSource::Connect(server.Url("/whole.mp3"), never, &e);
    ASSERT_TRUE(net);
    ASSERT_TRUE(testutil::WaitUntil([&] { return !net->Connected(); }, 10000));
    EXPECT_EQ(net->Buffered(), cbr.size());

    // A connection given up by its caller returns at once.
    server.Gated("/gate.mp3", cbr);
    std::atomic<bool> cancel {false};
    const CancelCheck cancelled = [&] { return cancel.load(); };
    std::thread later([&] {
        std::this_thread::sleep_for(200ms);
        cancel = true;
    });
    net = CNetSource::Connect(server.Url("/gate.mp3"), cancelled, &e);
    later.join();
    EXPECT_FALSE(net);
    EXPECT_EQ(e, AudioError::Cancelled);
}

TEST(NetSource, DroppingALiveDownloadNeverWaitsForever)
{
    // A live stream (no size) goes through a bounded buffer; with the buffer full the download
    // thread waits for room. The source is dropped in the one moment a wake-up can be lost:
    // after the download has seen the buffer full and before it waits. Its hook holds it there.
    CTestHttpServer server;
    server.Unsized("/live.mp3", QByteArray(8 * 1024 * 1024, 'x'), 4096);
    AudioError e = AudioError::Unknown;
    auto net = CNetSource::Connect(server.Url("/live.mp3"), CancelCheck(), &e);
    ASSERT_TRUE(net) << static_cast<int>(e);

    auto armed = std::make_shared<std::atomic<bool>>(false);
    auto inWindow = std::make_shared<std::promise<void>>();
    std::future<void> reached = inWindow->get_future();
    net->SetBeforeWaitHook([armed, inWindow] {
        if (!armed->exchange(false)) return;
        inWindow->set_value();
        // The drop comes now, while this thread has looked and not yet waited.
        std::this_thread::sleep_for(300ms);
    });
    ASSERT_TRUE(testutil::WaitUntil([&] { return net->Buffered() >= CNetSource::kLiveBuffer; }, 20000));
    *armed = true;
    // The decoder makes room: the download fills it and comes back to wait.
    std::vector<std::uint8_t> buffer(4096);
    ASSERT_GT(net->Read(buffer.data(), static_cast<int>(buffer.size())), 0);
    ASSERT_EQ(reached.wait_for(20s), std::future_status::ready) << "the download never found the buffer full again";

    auto dropped = std::make_shared<std::promise<void>>();
    std::future<void> done = dropped->get_future();
    std::thread dropper([source = std::move(net), dropped]() mutable {
        source.reset(); // returns only once the download thread has ended
        dropped->set_value();
    });
    if (done.wait_for(10s) != std::future_status::ready) {
        // Left behind for good: the download thread sleeps through the drop.
        dropper.detach();
        FAIL() << "dropping the source waits for ever on its download thread";
    }
    dropper.join();
}

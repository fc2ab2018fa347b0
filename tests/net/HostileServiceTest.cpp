// Cover pictures from a service that names hostile addresses or answers slowly on purpose: a
// metadata entry point of the test's own says where the picture is, and the picture server
// redirects elsewhere or sends a byte now and then for ever.
#include "base/Worker.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "model/TrackUtil.h"
#include "net/CQvCINet.h"
#include "net/Cover.h"
#include "net/ServiceTasks.h"
#include "tests/net/NetTestHome.h"

#include <QFile>
#include <QFileInfo>

#include <httplib.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A plain TCP port on 127.0.0.1 that notes every connection and the bytes it was sent; what a
// gopher or dict address would reach.
class RawListener {
public:
    RawListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(m_fd, 8) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~RawListener()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    int Port() const { return m_port; }
    int Connections() const { return m_connections.load(); }
    std::string Received() const
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }

private:
    void Run()
    {
        while (!m_stop) {
            pollfd p {m_fd, POLLIN, 0};
            if (::poll(&p, 1, 50) != 1) continue;
            const int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            ++m_connections;
            // Reads what the client sends, then closes, as a server that answers nothing.
            char buf[512];
            for (;;) {
                pollfd q {c, POLLIN, 0};
                if (::poll(&q, 1, 300) != 1) break;
                const ssize_t n = ::read(c, buf, sizeof buf);
                if (n <= 0) break;
                std::lock_guard lock(m_mutex);
                m_received.append(buf, static_cast<size_t>(n));
            }
            ::close(c);
        }
    }

    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_connections {0};
    mutable std::mutex m_mutex;
    std::string m_received;
    std::thread m_thread;
};

// The metadata entry point (its "getpic" answer names `PictureUrl`) and the picture paths.
class PictureService {
public:
    PictureService()
    {
        server.Post("/metadata/enter.do", [this](const httplib::Request&, httplib::Response& res) {
            std::string url;
            {
                std::lock_guard lock(mutex);
                url = pictureUrl;
            }
            res.set_content("<?xml version=\"1.0\" encoding=\"GBK\"?>\n<pic><url value=\"" + url + "\"/></pic>", "text/xml");
        });
        server.Get("/picture", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("BM" + std::string(1000, 'p'), "image/bmp");
        });
        server.Get("/to-picture", [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/picture"); });
        server.Get("/to-elsewhere", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(mutex);
            res.set_redirect(redirectTarget);
        });
        // One byte every 200 ms, for ever: fast enough for any low-speed rule.
        server.Get("/trickle", [this](const httplib::Request&, httplib::Response& res) {
            const int now = ++open;
            int seen = maxOpen.load();
            while (now > seen && !maxOpen.compare_exchange_weak(seen, now)) {}
            res.set_chunked_content_provider(
                "image/bmp",
                [this](size_t, httplib::DataSink& sink) {
                    if (stopping) return false;
                    std::this_thread::sleep_for(std::chrono::milliseconds(200));
                    return sink.write("B", 1);
                },
                [this](bool) { --open; });
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        testutil::WaitUntil([this] { return server.is_running(); }, 10000);
    }
    ~PictureService()
    {
        stopping = true;
        server.stop();
        thread.join();
    }
    void SetPictureUrl(const std::string& url)
    {
        std::lock_guard lock(mutex);
        pictureUrl = url;
    }
    void SetRedirect(const std::string& url)
    {
        std::lock_guard lock(mutex);
        redirectTarget = url;
    }
    std::string Url(const char* path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }

    httplib::Server server;
    int port = 0;
    std::thread thread;
    std::mutex mutex;
    std::string pictureUrl;
    std::string redirectTarget;
    std::atomic<bool> stopping {false};
    std::atomic<int> open {0};
    std::atomic<int> maxOpen {0};
};

TrackRef Song(const QString& song)
{
    TrackRef t = TrackRef::Adopt(CreateMedia(0));
    auto* info = new TrackInfo;
    info->Song = song;
    info->Artist = QStringLiteral("Artist");
    info->LSrc = QStringLiteral("/m/") + song + QStringLiteral(".mp3");
    info->Gid = MakeGid(info->LSrc);
    t->AttachInfo(info, nullptr);
    return t;
}

} // namespace

TEST(HostileService, CoverAddressesReachOnlyHttpAndHttpsAlsoThroughRedirects)
{
    PictureService service;
    RawListener other;
    ASSERT_GT(other.Port(), 0);
    NetTestHome home(service.port);
    const std::string otherPort = std::to_string(other.Port());

    // Named directly: the bytes after "_" would go to the other port as they stand.
    service.SetPictureUrl("gopher://127.0.0.1:" + otherPort + "/_SET%20owned%201");
    TrackRef a = Song(QStringLiteral("a"));
    EXPECT_EQ(FetchCoverPicture(a.get(), 2), 0);
    service.SetPictureUrl("dict://127.0.0.1:" + otherPort + "/d:owned");
    EXPECT_EQ(FetchCoverPicture(a.get(), 2), 0);
    EXPECT_FALSE(QFile::exists(CoverFilePath(*a->GetInfo())));

    // Through a redirect of a picture server.
    service.SetRedirect("gopher://127.0.0.1:" + otherPort + "/_SET%20owned%202");
    service.SetPictureUrl(service.Url("/to-elsewhere"));
    TrackRef b = Song(QStringLiteral("b"));
    EXPECT_EQ(FetchCoverPicture(b.get(), 2), 0);
    EXPECT_FALSE(QFile::exists(CoverFilePath(*b->GetInfo())));

    EXPECT_EQ(other.Connections(), 0);
    EXPECT_EQ(other.Received(), std::string());

    // A picture moved on the same kind of server still arrives.
    service.SetPictureUrl(service.Url("/to-picture"));
    TrackRef c = Song(QStringLiteral("c"));
    EXPECT_EQ(FetchCoverPicture(c.get(), 2), 1);
    EXPECT_EQ(testutil::ReadFile(CoverFilePath(*c->GetInfo())).left(2), QByteArray("BM"));
}

TEST(HostileService, CoverJobsAreFewAtOnceAndEachEndsAgainstATricklingServer)
{
    PictureService service;
    NetTestHome home(service.port);
    service.SetPictureUrl(service.Url("/trickle"));
    ASSERT_EQ(RunningWorkerCount(), 0);

    // Skipping through five tracks asks for five covers.
    std::vector<TrackRef> tracks;
    int started = 0;
    for (int i = 0; i < 5; ++i) {
        tracks.push_back(Song(QStringLiteral("t%1").arg(i)));
        if (StartMediaTask(MEDIA_TASK_COVER, tracks.back())) ++started;
    }
    EXPECT_EQ(started, kMaxCoverJobs);
    // Each transfer ends by its bound; the wait is only how long a failing run may take.
    EXPECT_TRUE(testutil::WaitUntil([] { return RunningWorkerCount() == 0; }, CQvCINet::kDownloadTimeoutMs + 60000));
    EXPECT_LE(service.maxOpen.load(), kMaxCoverJobs);
    // The server lets go of a connection at its next byte after the player hung up.
    EXPECT_TRUE(testutil::WaitUntil([&] { return service.open.load() == 0; }, 30000));
    for (const TrackRef& t : tracks) EXPECT_FALSE(QFile::exists(CoverFilePath(*t->GetInfo())));
    // With the slots free again the next track's cover job starts.
    service.SetPictureUrl(service.Url("/picture"));
    TrackRef next = Song(QStringLiteral("next"));
    ASSERT_TRUE(StartMediaTask(MEDIA_TASK_COVER, next));
    EXPECT_TRUE(testutil::WaitUntil([&] { return QFileInfo(CoverFilePath(*next->GetInfo())).isFile(); }, 30000));
    EXPECT_TRUE(testutil::WaitUntil([] { return RunningWorkerCount() == 0; }, 30000));
}

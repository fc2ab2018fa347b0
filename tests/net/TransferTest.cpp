// The HTTP layer against a small server of the test's own that answers in the awkward ways a
// real server may: no length, short bodies, dropped connections, odd replies.
#include "base/PrivateDir.h"
#include "base/Worker.h"
#include "net/CQvCINet.h"
#include "tests/common/TestUtil.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <httplib.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

class AwkwardServer {
public:
    AwkwardServer()
    {
        server.Get("/nolength", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream", [](size_t offset, httplib::DataSink& sink) {
                if (offset >= 3000) {
                    sink.done();
                    return true;
                }
                const std::string piece(1000, static_cast<char>('a' + offset / 1000));
                sink.write(piece.data(), piece.size());
                return true;
            });
        });
        server.Get(R"(/bytes/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "application/octet-stream");
        });
        server.Get("/short", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(5000, "application/octet-stream", [](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset == 0) sink.write(std::string(2000, 'y').data(), 2000);
                return false; // the connection drops after 2000 of 5000 bytes
            });
        });
        server.Get("/huge", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream", [](size_t offset, httplib::DataSink& sink) {
                if (offset >= 40u * 1024 * 1024) {
                    sink.done();
                    return true;
                }
                const std::string piece(1024 * 1024, 'z');
                sink.write(piece.data(), piece.size());
                return true;
            });
        });
        server.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content(std::string(100, 'n'), "text/plain");
        });
        server.Post("/feeds", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("\n\n<o/>\n", "text/xml");
        });
        server.Post("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("<o/>", "text/xml");
        });
        server.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(req.get_header_value("X-Test") + "|" + req.get_header_value("Content-Type") + "|" + req.body,
                            "text/plain");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        // stop() before the loop runs would be lost and the join would wait for ever.
        testutil::WaitUntil([this] { return server.is_running(); }, 10000);
    }
    ~AwkwardServer()
    {
        server.stop();
        thread.join();
    }
    QString Url(const char* path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(port).arg(QLatin1String(path)); }

    httplib::Server server;
    int port = 0;
    std::thread thread;
};

} // namespace

TEST(Transfer, GetToFileMendsAndRefusals)
{
    AwkwardServer srv;
    QTemporaryDir dir;
    CQvCINet net;
    qint64 got = -1;
    const QString file = dir.filePath(QStringLiteral("f.bin"));

    // No length: read to the end.
    EXPECT_EQ(net.DownLoad(srv.Url("/nolength"), file, &got), 1);
    EXPECT_EQ(got, 3000);
    EXPECT_EQ(testutil::ReadFile(file), QByteArray(1000, 'a') + QByteArray(1000, 'b') + QByteArray(1000, 'c'));

    // Under 10 bytes is a failure and writes nothing; 10 bytes are written.
    const QString small = dir.filePath(QStringLiteral("s.bin"));
    EXPECT_EQ(net.DownLoad(srv.Url("/bytes/9"), small, &got), 0);
    EXPECT_EQ(got, 9);
    EXPECT_FALSE(QFile::exists(small));
    EXPECT_EQ(net.DownLoad(srv.Url("/bytes/10"), small, &got), 1);
    EXPECT_EQ(testutil::ReadFile(small), QByteArray(10, 'x'));

    // A short body fails and keeps the file that was there.
    EXPECT_EQ(net.DownLoad(srv.Url("/short"), small, &got), 0);
    EXPECT_EQ(testutil::ReadFile(small), QByteArray(10, 'x'));
    const QString dropped = dir.filePath(QStringLiteral("d.bin"));
    EXPECT_EQ(net.DownLoad(srv.Url("/short"), dropped, &got), 0);
    EXPECT_FALSE(QFile::exists(dropped));
    // The failing step is named in the wide debug log.
    EXPECT_TRUE(testutil::ReadFile(PrivateDir() + QStringLiteral("/quarvelW.log")).contains("CQvCINet::DownLoad() InternetReadFile Error: 0x"));
    EXPECT_EQ(net.DownLoad(QStringLiteral("http://127.0.0.1:1/x"), dropped, &got), 0);
    EXPECT_TRUE(testutil::ReadFile(PrivateDir() + QStringLiteral("/quarvelW.log")).contains("CQvCINet::DownLoad() InternetConnect Error: 0x7"));

    // Over the 32 MiB bound: refused.
    EXPECT_EQ(net.DownLoad(srv.Url("/huge"), dropped, &got), 0);
    EXPECT_FALSE(QFile::exists(dropped));
    EXPECT_LE(got, CQvCINet::kDownloadBound);

    EXPECT_EQ(net.DownLoad(srv.Url("/missing"), dropped, &got), 0);
    EXPECT_FALSE(QFile::exists(dropped));
    EXPECT_EQ(net.DownLoad(QString(), dropped, &got), 0);
    EXPECT_EQ(net.DownLoad(srv.Url("/bytes/100"), QString(), &got), 0);
    // A folder that does not exist: the path cannot be created.
    EXPECT_EQ(net.DownLoad(srv.Url("/bytes/100"), dir.filePath(QStringLiteral("no/such/x.bin")), &got), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary files left

    EXPECT_EQ(WriteBytesToFile(dir.filePath(QStringLiteral("w")), "123456789", 9), 0);
    EXPECT_EQ(WriteBytesToFile(dir.filePath(QStringLiteral("w")), "1234567890", 10), 10);
}

TEST(Transfer, PostTrimsFailsOnStatusAndSendsTheHeaderBlock)
{
    AwkwardServer srv;
    CQvCINet net;
    QByteArray reply;
    int length = -1;
    EXPECT_EQ(net.PostForm(srv.Url("/feeds"), reply, &length, QStringLiteral("a=1")), 4);
    EXPECT_EQ(reply, QByteArray("<o/>"));
    EXPECT_EQ(length, 4);
    EXPECT_EQ(net.PostForm(srv.Url("/missing"), reply, &length, QStringLiteral("a=1")), 0);
    EXPECT_EQ(length, 0);
    net.SetHeaders(QStringLiteral("X-Test: one\r\nappuid: 0"));
    EXPECT_GT(net.PostForm(srv.Url("/echo"), reply, nullptr, QStringLiteral("m=x&value=%41")), 0);
    EXPECT_EQ(reply, QByteArray("one|application/x-www-form-urlencoded|m=x&value=%41"));
    EXPECT_EQ(net.PostForm(QStringLiteral("http://127.0.0.1:1/x"), reply, &length, QString()), 0);
}

TEST(Transfer, ReachabilityIsATcpConnectToTheUrlsServer)
{
    AwkwardServer srv;
    CQvCINet net;
    EXPECT_EQ(net.CheckConnection(srv.Url("/x")), 1);
    EXPECT_EQ(net.CheckConnection(QStringLiteral("http://127.0.0.1:1/x")), 0);
    EXPECT_EQ(net.CheckConnection(QString()), 0);
}

TEST(Transfer, ExitingStopsATransfer)
{
    AwkwardServer srv;
    SetExiting();
    CQvCINet net;
    QTemporaryDir dir;
    qint64 got = 0;
    EXPECT_EQ(net.DownLoad(srv.Url("/nolength"), dir.filePath(QStringLiteral("x")), &got), 0);
    ClearExiting();
}

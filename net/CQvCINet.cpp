#include "net/CQvCINet.h"

#include "base/DebugLog.h"
#include "net/CQvNetClient.h"
#include "net/CurlHandle.h"
#include "net/HttpSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

int CQvCINet::PostForm(const QString& url, QByteArray& reply, int* replyLength, const QString& body, bool* delivered)
{
    reply.clear();
    if (replyLength) *replyLength = 0;
    if (delivered) *delivered = false;
    CQvNetClient client;
    client.ParseUrl(url);
    if (!client.Connect()) return 0;
    const int length = client.Post(m_strHeaders, body, reply, delivered);
    if (replyLength) *replyLength = length;
    client.Close();
    return length;
}

int CrackUrl(const QString& url, QString& host, int& port, QString& path)
{
    const UrlParts parts = SplitUrl(url);
    host = parts.host;
    port = parts.port;
    path = parts.object;
    return 1;
}

qint64 WriteBytesToFile(const QString& path, const char* data, qint64 length)
{
    if (path.isEmpty() || !data || length < 10) return 0;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return 0;
    qint64 written = 0;
    while (written < length) {
        const qint64 n = file.write(data + written, std::min<qint64>(1024, length - written));
        if (n <= 0) {
            file.cancelWriting();
            return 0;
        }
        written += n;
    }
    return file.commit() ? written : 0;
}

namespace {

struct Download {
    QByteArray body;
    curl_off_t announced = -1;
    bool overBound = false;
};

size_t AppendBody(char* data, size_t size, size_t count, void* user)
{
    auto* d = static_cast<Download*>(user);
    const size_t n = size * count;
    if (d->body.size() + static_cast<qint64>(n) > CQvCINet::kDownloadBound) {
        d->overBound = true;
        return 0;
    }
    d->body.append(data, static_cast<qsizetype>(n));
    return n;
}

// The step of the transfer a libcurl failure belongs to, named as the debug log names it.
const char* StepOf(CURLcode rc, bool gotHeaders)
{
    switch (rc) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return "HttpOpenRequest Error";
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        return "InternetConnect Error";
    case CURLE_SEND_ERROR:
        return "HttpSendRequest Error";
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
        return "HttpQueryInfo";
    default:
        return gotHeaders ? "InternetReadFile Error" : "HttpSendRequest Error";
    }
}

} // namespace

int CQvCINet::DownLoad(const QString& url, const QString& localPath, qint64* received)
{
    if (received) *received = 0;
    if (url.isEmpty() || localPath.isEmpty()) return 0;

    QString host;
    int port = 80;
    QString path;
    CrackUrl(url, host, port, path);
    const UrlParts parts = SplitUrl(url);
    const bool v6 = host.contains(QLatin1Char(':'));
    const QByteArray target = (parts.scheme + QLatin1String("://") + (v6 ? QLatin1Char('[') + host + QLatin1Char(']') : host)
                               + QLatin1Char(':') + QString::number(port) + path).toUtf8();

    CurlEasy curl;
    if (!curl) {
        WriteDebugLogW(QStringLiteral("CQvCINet::DownLoad() InternetOpen Error: 0x0"));
        return 0;
    }
    SetCommonOptions(curl.get());
    CurlHeaders headers;
    headers.Append("Accept: */*");
    headers.Append("Cache-Control: no-cache");
    headers.Append("Pragma: no-cache");
    Download d;
    curl_easy_setopt(curl.get(), CURLOPT_URL, target.constData());
    curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, "Mozilla/4.0 (compatible; )");
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kDownloadBound));
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, 30000L);
    // A server that stops sending for 30 s ends the transfer.
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, 30L);
    // A server that keeps sending a byte now and then would hold the thread and its file for
    // ever: the whole transfer has a bound too.
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(kDownloadTimeoutMs));
    // Picture addresses are often moved to another host; the protocols stay http and https.
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &d);

    const CURLcode rc = curl_easy_perform(curl.get());
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (received) *received = d.body.size();
    if (rc != CURLE_OK) {
        if (!d.overBound && rc != CURLE_FILESIZE_EXCEEDED && rc != CURLE_ABORTED_BY_CALLBACK) {
            WriteDebugLogW(QStringLiteral("CQvCINet::DownLoad() %1: 0x%2")
                               .arg(QLatin1String(StepOf(rc, status != 0)), QString::number(rc, 16)));
        }
        return 0;
    }
    if (status < 200 || status > 299) return 0;
    curl_off_t announced = -1;
    curl_easy_getinfo(curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    if (announced >= 0 && d.body.size() < announced) {
        WriteDebugLogW(QStringLiteral("CQvCINet::DownLoad() InternetReadFile Error: 0x%1").arg(QString::number(CURLE_PARTIAL_FILE, 16)));
        return 0;
    }
    return WriteBytesToFile(localPath, d.body.constData(), d.body.size()) > 0 ? 1 : 0;
}

namespace {

// True when an interface other than loopback is up and carries an address.
bool MachineOnLine()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool online = false;
    for (ifaddrs* i = list; i && !online; i = i->ifa_next) {
        if (!i->ifa_addr || (i->ifa_flags & IFF_LOOPBACK) || !(i->ifa_flags & IFF_UP) || !(i->ifa_flags & IFF_RUNNING))
            continue;
        const int family = i->ifa_addr->sa_family;
        online = family == AF_INET || family == AF_INET6;
    }
    freeifaddrs(list);
    return online;
}

// One owned socket descriptor.
class Socket {
public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() { if (m_fd >= 0) ::close(m_fd); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// A non-blocking connect to one address, waiting at most `ms`.
bool ConnectWithin(const addrinfo* ai, int ms)
{
    Socket s(::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol));
    if (s.get() < 0) return false;
    if (::connect(s.get(), ai->ai_addr, ai->ai_addrlen) == 0) return true;
    if (errno != EINPROGRESS) return false;
    pollfd p {s.get(), POLLOUT, 0};
    if (::poll(&p, 1, ms) != 1) return false;
    int err = 0;
    socklen_t len = sizeof err;
    return ::getsockopt(s.get(), SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0;
}

} // namespace

int CQvCINet::CheckConnection(const QString& url)
{
    const UrlParts parts = SplitUrl(url);
    if (parts.host.isEmpty()) return 0;
    if (!IsLoopbackHost(parts.host) && !MachineOnLine()) return 0;

    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const QByteArray host = parts.host.toUtf8();
    const QByteArray port = QByteArray::number(parts.port);
    if (::getaddrinfo(host.constData(), port.constData(), &hints, &found) != 0) return 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    bool reached = false;
    for (const addrinfo* ai = found; ai && !reached; ai = ai->ai_next) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        reached = ConnectWithin(ai, static_cast<int>(left));
    }
    ::freeaddrinfo(found);
    return reached ? 1 : 0;
}

#include "net/HttpSupport.h"

#include "base/Worker.h"

#include <QByteArray>
#include <arpa/inet.h>
#include <netinet/in.h>

#include <mutex>

UrlParts SplitUrl(const QString& url)
{
    UrlParts parts;
    QString rest = url.trimmed();
    const qsizetype sep = rest.indexOf(QLatin1String("://"));
    if (sep >= 0) {
        parts.scheme = rest.left(sep).toLower();
        rest = rest.mid(sep + 3);
    }
    if (parts.scheme.isEmpty()) parts.scheme = QStringLiteral("http");
    qsizetype slash = rest.indexOf(QLatin1Char('/'));
    // A query or fragment may follow the authority without a path.
    for (const QChar c : {QLatin1Char('?'), QLatin1Char('#')}) {
        const qsizetype at = rest.indexOf(c);
        if (at >= 0 && (slash < 0 || at < slash)) slash = at;
    }
    const QString authority = slash < 0 ? rest : rest.left(slash);
    parts.object = slash < 0 ? QStringLiteral("/") : rest.mid(slash);
    if (!parts.object.startsWith(QLatin1Char('/'))) parts.object.prepend(QLatin1Char('/'));
    parts.port = parts.scheme == QLatin1String("https") ? 443 : 80;
    QString hostPort = authority.mid(authority.lastIndexOf(QLatin1Char('@')) + 1);
    qsizetype colon = -1;
    if (hostPort.startsWith(QLatin1Char('['))) { // [::1]:8080
        const qsizetype close = hostPort.indexOf(QLatin1Char(']'));
        colon = close < 0 ? -1 : hostPort.indexOf(QLatin1Char(':'), close);
        parts.host = close < 0 ? hostPort : hostPort.mid(1, close - 1);
    } else {
        colon = hostPort.indexOf(QLatin1Char(':'));
        parts.host = colon < 0 ? hostPort : hostPort.left(colon);
    }
    if (colon >= 0) {
        bool ok = false;
        const int port = hostPort.mid(colon + 1).toInt(&ok);
        if (ok && port > 0 && port < 65536) {
            parts.port = port;
            parts.hasPort = true;
        }
    }
    return parts;
}

bool IsLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) return true;
    const QByteArray h = host.toLatin1();
    in_addr v4 {};
    if (inet_pton(AF_INET, h.constData(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6 {};
    if (inet_pton(AF_INET6, h.constData(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

namespace {

// The environment's no-proxy list with the loopback names added, built once.
const QByteArray& NoProxyList()
{
    static const QByteArray list = [] {
        QByteArray env = qgetenv("no_proxy");
        if (env.isEmpty()) env = qgetenv("NO_PROXY");
        if (env.trimmed() == "*") return env;
        QByteArray out = "localhost,127.0.0.0/8,::1";
        if (!env.isEmpty()) out += ',' + env;
        return out;
    }();
    return list;
}

int AbortWhenExiting(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return IsExiting() ? 1 : 0;
}

} // namespace

void CurlGlobalInit()
{
    static std::once_flag global;
    std::call_once(global, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void SetCommonOptions(CURL* curl)
{
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, NoProxyList().constData());
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &AbortWhenExiting);
    // Addresses come from the service and its pages: a gopher, dict or file address would let
    // them send chosen bytes to any local port or read local files.
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
}

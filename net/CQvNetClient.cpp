#include "net/CQvNetClient.h"

#include "base/CodePage.h"
#include "base/DebugLog.h"
#include "net/CurlHandle.h"
#include "net/HttpSupport.h"

#include <QStringList>

namespace {

struct ReplySink {
    QByteArray* reply;
    bool overBound = false;
};

size_t AppendReply(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<ReplySink*>(user);
    const size_t n = size * count;
    if (sink->reply->size() + static_cast<qsizetype>(n) > CQvNetClient::kReplyBound) {
        sink->overBound = true;
        return 0; // aborts the transfer
    }
    sink->reply->append(data, static_cast<qsizetype>(n));
    return n;
}

void TrimLineFeeds(QByteArray& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && text[start] == '\n') ++start;
    while (end > start && text[end - 1] == '\n') --end;
    text = text.mid(start, end - start);
}

} // namespace

CQvNetClient::CQvNetClient() = default;
CQvNetClient::~CQvNetClient() { Close(); }

void CQvNetClient::ParseUrl(const QString& url)
{
    const UrlParts parts = SplitUrl(url);
    m_strScheme = parts.scheme;
    m_strHost = parts.host;
    m_nPort = static_cast<quint16>(parts.port);
    m_strObject = parts.object;
}

bool CQvNetClient::Connect()
{
    if (m_strHost.isEmpty()) return false;
    m_pConnection = std::make_unique<CurlEasy>();
    if (!*m_pConnection) {
        m_pConnection.reset();
        return false;
    }
    return true;
}

int CQvNetClient::Post(const QString& headers, const QString& body, QByteArray& reply, bool* delivered)
{
    reply.clear();
    if (delivered) *delivered = false;
    if (!m_pConnection) return 0;
    CURL* curl = m_pConnection->get();
    curl_easy_reset(curl);
    SetCommonOptions(curl);

    const bool v6 = m_strHost.contains(QLatin1Char(':'));
    const QByteArray url = (m_strScheme + QLatin1String("://") + (v6 ? QLatin1Char('[') + m_strHost + QLatin1Char(']') : m_strHost)
                            + QLatin1Char(':') + QString::number(m_nPort) + m_strObject).toUtf8();
    CurlHeaders list;
    list.Append("Content-Type: application/x-www-form-urlencoded");
    for (const QString& line : headers.split(QLatin1String("\r\n"), Qt::SkipEmptyParts))
        list.Append(line.toUtf8().constData());
    list.Append("Expect:"); // no 100-continue round trip
    const QByteArray bytes = ToAnsi(body);

    ReplySink sink {&reply};
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list.get());
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, bytes.constData());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(kPostTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &AppendReply);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);

    const CURLcode rc = curl_easy_perform(curl);
    if (rc == CURLE_OPERATION_TIMEDOUT) {
        WriteDebugLogW(QStringLiteral("timeout"));
        reply.clear();
        return 0;
    }
    if (rc != CURLE_OK) {
        // A reply over the bound is refused whole rather than cut.
        reply.clear();
        return 0;
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status > 399) {
        reply.clear();
        return 0;
    }
    if (delivered) *delivered = status >= 200 && status <= 299;
    TrimLineFeeds(reply);
    return static_cast<int>(reply.size());
}

void CQvNetClient::Close()
{
    m_pConnection.reset();
}

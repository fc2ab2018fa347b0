#pragma once
#include <QByteArray>
#include <QString>

#include <memory>

class CurlEasy;

// One form POST to the service: split the URL, connect, post, read the reply whole.
class CQvNetClient {
public:
    CQvNetClient();
    virtual ~CQvNetClient();
    CQvNetClient(const CQvNetClient&) = delete;
    CQvNetClient& operator=(const CQvNetClient&) = delete;

    // Splits an absolute URL into scheme, host, port (80 when none is given) and object (path
    // with query, "/" when the URL has none). Only the authority is searched for the port.
    void ParseUrl(const QString& url);
    // Prepares the connection to m_strHost:m_nPort; true when it could be made.
    bool Connect();
    // Posts `body` (sent as code-page bytes) with the form content type and the extra header
    // block; waits at most 60 s. Returns the reply length (0 for a failure or an empty
    // reply), the reply in `reply` with leading and trailing "\n" removed. A status above 399
    // fails, and so does a reply larger than the 4 MiB bound. `delivered` (when given) tells an
    // accepted post with an empty reply (true) from a failure.
    int Post(const QString& headers, const QString& body, QByteArray& reply, bool* delivered = nullptr);
    void Close();

    QString m_strScheme = QStringLiteral("http");
    QString m_strHost;
    quint16 m_nPort = 80;
    QString m_strObject;

    static constexpr qsizetype kReplyBound = 4 * 1024 * 1024;
    static constexpr int kPostTimeoutMs = 60000;

private:
    std::unique_ptr<CurlEasy> m_pConnection;
};

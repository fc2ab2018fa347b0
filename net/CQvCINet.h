#pragma once
#include <QByteArray>
#include <QString>

// The transfer object a request makes for itself: it carries the extra headers of the next
// POST and does the GET to a file and the reachability check. Synchronous; callers are worker
// threads. A transfer stops early once the process is exiting.
class CQvCINet {
public:
    CQvCINet() = default;
    virtual ~CQvCINet() = default;

    // The header block sent with the next PostForm ("name: value" lines joined by "\r\n").
    void SetHeaders(const QString& headers) { m_strHeaders = headers; }
    const QString& Headers() const { return m_strHeaders; }

    // POSTs `body` to `url`. Returns the reply length, 0 on any failure (no connection, the
    // 60 s bound, a status above 399, a reply over the 4 MiB bound) or for an empty reply.
    // `reply` receives the reply bytes, `replyLength` (when given) the length, also on failure.
    // `delivered` (when given) is true when the server accepted the post, its reply empty or not.
    int PostForm(const QString& url, QByteArray& reply, int* replyLength, const QString& body,
                 bool* delivered = nullptr);

    // GETs `url` into the file `localPath`. 1 on success, 0 on failure. The body is written
    // once and whole (a temporary file renamed into place), so a failure never leaves a file
    // or a truncated one behind. A body is read to its end when no length is given; fewer
    // bytes than announced, a status outside 200-299, a body under 10 bytes or over 32 MiB
    // are failures, and so is a transfer that takes longer than kDownloadTimeoutMs as a whole.
    // Redirects are followed (http and https only). `received` gets the body bytes read.
    int DownLoad(const QString& url, const QString& localPath, qint64* received);

    // Non-zero when the machine is on line (a non-loopback interface is up, or the URL's host
    // is a loopback address) and a TCP connection to the URL's host and port opens within 5 s.
    int CheckConnection(const QString& url);

    static constexpr qint64 kDownloadBound = 32 * 1024 * 1024;
    static constexpr int kDownloadTimeoutMs = 30000;

private:
    QString m_strHeaders;
};

// Splits a URL for the GET: host, port (the URL's, else 80; 443 for https) and the path with
// its query. Only the authority is searched for a port. Always returns 1.
int CrackUrl(const QString& url, QString& host, int& port, QString& path);

// Writes `length` bytes to `path` whole, through a temporary file renamed into place.
// Returns the bytes written; 0 (and the disk untouched) for an empty path, no data, or fewer
// than 10 bytes; 0 when the file cannot be written.
qint64 WriteBytesToFile(const QString& path, const char* data, qint64 length);

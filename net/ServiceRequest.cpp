#include "net/ServiceRequest.h"

#include "base/MessageIds.h"
#include "base/MsgWindow.h"
#include "net/CQvCINet.h"
#include "net/CQvClientIdentity.h"
#include "net/proto/RequestDocument.h"

#include <atomic>
#include <mutex>

namespace {

std::atomic<bool> g_shuttingDown {false};

struct StatusWindow {
    std::mutex mutex;
    CMsgTarget target;
    CMsgTarget controller;
};

StatusWindow& Status()
{
    static StatusWindow s;
    return s;
}

} // namespace

void SetShuttingDown() { g_shuttingDown.store(true); }
void ClearShuttingDown() { g_shuttingDown.store(false); }
bool IsShuttingDown() { return g_shuttingDown.load(); }

void SetServiceStatusWindow(const CMsgTarget& window)
{
    StatusWindow& s = Status();
    std::lock_guard lock(s.mutex);
    s.target = window;
}

void SetServiceControllerWindow(const CMsgTarget& controller)
{
    StatusWindow& s = Status();
    std::lock_guard lock(s.mutex);
    s.controller = controller;
}

CMsgTarget ServiceControllerWindow()
{
    StatusWindow& s = Status();
    std::lock_guard lock(s.mutex);
    return s.controller;
}

QString BuildRequestHeaders()
{
    return FormatRequestHeaders(CQvClientIdentity::Instance().RequestValues());
}

void NotifyServiceStatus(int status, int source)
{
    if (IsShuttingDown()) return;
    StatusWindow& s = Status();
    CMsgTarget target;
    {
        std::lock_guard lock(s.mutex);
        target = s.target;
    }
    target.PostMessage(WM_SERVICE_STATUS, static_cast<quintptr>(status), source);
}

int PostXml(const QString& url, std::unique_ptr<CRequestDocument> document, const QByteArray& prefix,
            QByteArray& reply, int* replyLength, bool* delivered)
{
    reply.clear();
    if (replyLength) *replyLength = 0;
    if (delivered) *delivered = false;
    if (IsShuttingDown()) return 0;
    QByteArray printed;
    if (document) {
        printed = document->Print();
        document.reset();
    }
    CQvCINet net;
    net.SetHeaders(BuildRequestHeaders());
    const QByteArray body = EncodeRequestBody(prefix, printed);
    const int length = net.PostForm(url, reply, replyLength, QString::fromLatin1(body), delivered);
    if (length <= 0) return 0;
    BlankUtf8Prolog(reply);
    return 1;
}

int CallServiceMethod(const QString& url, std::unique_ptr<CRequestDocument> document, const QByteArray& prefix,
                      int source, const std::function<int(const QByteArray&)>& read)
{
    if (IsShuttingDown()) return REQUEST_MALFORMED;
    CQvCINet net;
    if (!net.CheckConnection(url)) {
        NotifyServiceStatus(SERVICE_UNREACHABLE, source);
        return REQUEST_UNREACHABLE;
    }
    QByteArray reply;
    if (!PostXml(url, std::move(document), prefix, reply) || reply.isEmpty()) {
        if (IsShuttingDown()) return REQUEST_MALFORMED;
        NotifyServiceStatus(SERVICE_FAILED, source);
        return REQUEST_EMPTY;
    }
    const int status = read(reply);
    if (status == REQUEST_MALFORMED) NotifyServiceStatus(SERVICE_MALFORMED, source);
    return status;
}

#pragma once
#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class CMsgTarget;
class CRequestDocument;

// The envelope every service request shares: the shutting-down flag, the header block, the
// post of a document and the status notifications to the main window.

// Request sources of the status notification (its second parameter).
constexpr int SOURCE_SERVICE = 202;
constexpr int SOURCE_SONGS = 207;
constexpr int SOURCE_USER_INFO = 208;

// Request statuses returned by every method.
enum RequestStatus {
    REQUEST_OK = 1,
    REQUEST_NO_ROOT = -1,
    REQUEST_MALFORMED = 0, // also: shutting down
    REQUEST_UNREACHABLE = 2,
    REQUEST_EMPTY = 3,
};

// Set once when the main window closes: from then on no request leaves the machine and no
// notification is posted. Clear is for a process that starts over (tests).
void SetShuttingDown();
void ClearShuttingDown();
bool IsShuttingDown();

// The window that receives the status notifications (3024 with 3025/3026/3027 and the
// source). Set at start-up; until then notifications go nowhere.
void SetServiceStatusWindow(const CMsgTarget& window);
// Posts 3024 with `status` and `source`, unless shutting down.
void NotifyServiceStatus(int status, int source);
// The controller, which receives the results of service and media tasks (1609, lyrics ready).
void SetServiceControllerWindow(const CMsgTarget& controller);
CMsgTarget ServiceControllerWindow();

// The header block of the next request, from the identity values of this run.
QString BuildRequestHeaders();

// Posts `prefix` followed by the encoded document (when one is given; it is consumed) to
// `url` with the header block. Returns 1 when a reply was received, 0 otherwise (also when
// shutting down). `reply` gets the reply bytes, with the UTF-8 prolog blanked (see
// BlankUtf8Prolog); `replyLength`, when given, the length, also on failure; `delivered`, when
// given, whether the server accepted the post, also with an empty reply.
int PostXml(const QString& url, std::unique_ptr<CRequestDocument> document, const QByteArray& prefix,
            QByteArray& reply, int* replyLength = nullptr, bool* delivered = nullptr);

// The sequence of every XML method: reachability of `url` (2 and 3025 when unreachable),
// the post (3 and 3026 for no reply or an empty one), then `read` on the reply, whose 0 posts
// 3027. Returns the request status; 0 at once when shutting down.
int CallServiceMethod(const QString& url, std::unique_ptr<CRequestDocument> document, const QByteArray& prefix,
                      int source, const std::function<int(const QByteArray&)>& read);

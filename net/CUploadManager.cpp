#include "net/CUploadManager.h"

#include "base/DebugLog.h"
#include "base/MessageIds.h"
#include "base/Worker.h"
#include "net/CurlHandle.h"
#include "net/HttpSupport.h"

#include <QFile>
#include <QUrl>

#include <climits>
#include <map>
#include <mutex>

struct CUploadManager::State {
    mutable std::mutex mutex;
    std::map<QString, std::shared_ptr<UploadJob>> active;
    std::map<QString, std::shared_ptr<UploadJob>> waiting; // started in this (Gid) order
    int activeCount = 0;
    CMsgTarget notify;
    QString vuid;
    bool closed = false; // the manager is gone: nothing more starts or is told
};

namespace {

using State = CUploadManager::State;

constexpr int kUploadTask = 1124;
constexpr long kConnectTimeoutS = 10;
constexpr long kCapacityTimeoutS = 30;
// A transfer that moves less than a byte a second for this long has stalled.
constexpr long kStallSeconds = 60;
constexpr qint64 kPieceBytes = 64 * 1024;
constexpr qsizetype kAnswerBytes = 255;

// Collects at most kAnswerBytes of an answer; a longer one stops the transfer.
size_t CollectAnswer(char* data, size_t size, size_t count, void* user)
{
    auto* answer = static_cast<QByteArray*>(user);
    const size_t n = size * count;
    if (answer->size() + qsizetype(n) > kAnswerBytes) return 0;
    answer->append(data, qsizetype(n));
    return n;
}

// A decimal number, possibly signed, with nothing else but blanks around it.
bool ReadDecimal(const QByteArray& text, qint64* value)
{
    const QByteArray t = text.trimmed();
    if (t.isEmpty()) return false;
    bool ok = false;
    *value = t.toLongLong(&ok, 10);
    return ok;
}

void RestrictToHttp(CURL* curl)
{
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
}

int AbortOnCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<UploadJob*>(user)->cancel.load() || IsExiting() ? 1 : 0;
}

// The user's free space on the drive, as the service on `base` tells it; the default when it
// does not answer with a number.
qint64 RequestCapacity(const QString& base, const QString& vuid, UploadJob& job)
{
    CurlEasy curl;
    if (!curl) return CUploadManager::kDefaultCapacity;
    const QByteArray url =
        (base + QStringLiteral("/up/getTempCapacity.do?orgin=2&vuid=")).toUtf8() + QUrl::toPercentEncoding(vuid);
    QByteArray answer;
    SetCommonOptions(curl.get());
    RestrictToHttp(curl.get());
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, &AbortOnCancel);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, &job);
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(curl.get(), CURLOPT_POST, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, "");
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, 0L);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, kCapacityTimeoutS);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &CollectAnswer);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &answer);
    long status = 0;
    qint64 capacity = 0;
    if (curl_easy_perform(curl.get()) != CURLE_OK) return CUploadManager::kDefaultCapacity;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299 || answer.size() >= 16 || !ReadDecimal(answer, &capacity))
        return CUploadManager::kDefaultCapacity;
    return capacity;
}

// The body's source and the job's progress while curl sends it.
struct BodySource {
    QFile* file;
    qint64 length;
    qint64 handed = 0;
    bool readFailed = false;
    UploadJob* job;
    const CMsgTarget* notify;
};

size_t ReadPiece(char* buffer, size_t size, size_t count, void* user)
{
    auto* body = static_cast<BodySource*>(user);
    if (body->job->cancel.load() || IsExiting()) return CURL_READFUNC_ABORT;
    const qint64 want = std::min<qint64>({qint64(size * count), kPieceBytes, body->length - body->handed});
    if (want <= 0) return 0;
    const qint64 got = body->file->read(buffer, want);
    // The file shrank or cannot be read: the announced length can no longer be kept.
    if (got <= 0) {
        body->readFailed = true;
        return CURL_READFUNC_ABORT;
    }
    body->handed += got;
    return size_t(got);
}

int SendProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t sent)
{
    auto* body = static_cast<BodySource*>(user);
    UploadJob* job = body->job;
    if (job->cancel.load() || IsExiting()) return 1;
    const int percent = body->length > 0 ? int(qint64(sent) * 100 / body->length) : 0;
    if (percent > job->progress.load()) {
        job->progress = percent;
        body->notify->SendMessage(WM_UPLOAD_NOTIFY, reinterpret_cast<quintptr>(job), 1);
    }
    return 0;
}

// One job from the capacity request to the service's answer; returns its result code.
int RunUpload(UploadJob& job, const QString& vuid, const CMsgTarget& notify)
{
    const UrlParts parts = SplitUrl(job.url);
    if (parts.host.isEmpty() || (parts.scheme != QLatin1String("http") && parts.scheme != QLatin1String("https")))
        return UPLOAD_NOT_OPENED;
    const QString base = QStringLiteral("%1://%2:%3").arg(parts.scheme, parts.host.contains(u':') ? u'[' + parts.host + u']' : parts.host).arg(parts.port);

    const qint64 capacity = RequestCapacity(base, vuid, job);
    if (job.cancel) return UPLOAD_CANCELLED;

    QFile file(job.path);
    if (!file.open(QIODevice::ReadOnly)) return UPLOAD_NO_FILE;
    const qint64 length = file.size();
    if (length <= 0) return UPLOAD_NO_FILE;
    if (length > capacity) return UPLOAD_TOO_LARGE;
    if (job.cancel) return UPLOAD_CANCELLED;

    CurlEasy curl;
    if (!curl) return UPLOAD_NOT_OPENED;
    const QByteArray url = base.toUtf8() + QUrl(parts.object, QUrl::TolerantMode).toEncoded();
    BodySource body {&file, length, 0, false, &job, &notify};
    QByteArray answer;
    CurlHeaders headers;
    headers.Append("Expect:");        // the body follows at once
    headers.Append("Content-Type:");  // nothing but the announced length
    SetCommonOptions(curl.get());
    RestrictToHttp(curl.get());
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_POST, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(length));
    curl_easy_setopt(curl.get(), CURLOPT_READFUNCTION, &ReadPiece);
    curl_easy_setopt(curl.get(), CURLOPT_READDATA, &body);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFOFUNCTION, &SendProgress);
    curl_easy_setopt(curl.get(), CURLOPT_XFERINFODATA, &body);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, &CollectAnswer);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &answer);
    curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    const CURLcode rc = curl_easy_perform(curl.get());
    if (job.cancel || (rc == CURLE_ABORTED_BY_CALLBACK && !body.readFailed)) return UPLOAD_CANCELLED;
    if (rc != CURLE_OK) {
        curl_off_t sent = 0;
        curl_easy_getinfo(curl.get(), CURLINFO_SIZE_UPLOAD_T, &sent);
        WriteDebugLogA("upload: %s after %lld of %lld bytes", curl_easy_strerror(rc), static_cast<long long>(sent),
                       static_cast<long long>(length));
        // Everything went out: only the answer is missing.
        return !body.readFailed && sent >= length ? UPLOAD_NO_ANSWER : UPLOAD_NOT_SENT;
    }
    long status = 0;
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
    qint64 code = 0;
    // An error page or a text that is no number says nothing about the upload.
    if (status < 200 || status > 299 || !ReadDecimal(answer, &code) || code < INT_MIN || code > INT_MAX)
        return UPLOAD_NO_ANSWER;
    return int(code);
}

void StartJob(const std::shared_ptr<State>& state, const std::shared_ptr<UploadJob>& job);

// The end of a job: the window is told, its place is freed and the next waiting job starts.
void FinishUpload(const std::shared_ptr<State>& state, const std::shared_ptr<UploadJob>& job, int code)
{
    job->progress = code;
    CMsgTarget notify;
    {
        std::lock_guard lock(state->mutex);
        if (!state->closed) notify = state->notify;
    }
    notify.SendMessage(WM_UPLOAD_NOTIFY, reinterpret_cast<quintptr>(job.get()), 0);
    std::lock_guard lock(state->mutex);
    if (auto it = state->active.find(job->Gid); it != state->active.end() && it->second == job) state->active.erase(it);
    --state->activeCount;
    if (state->closed || state->waiting.empty()) return;
    std::shared_ptr<UploadJob> next = state->waiting.begin()->second;
    state->waiting.erase(state->waiting.begin());
    state->active[next->Gid] = next;
    ++state->activeCount;
    StartJob(state, next);
}

// Called with the lock held: the worker takes its own references.
void StartJob(const std::shared_ptr<State>& state, const std::shared_ptr<UploadJob>& job)
{
    const QString vuid = state->vuid;
    const CMsgTarget notify = state->notify;
    const bool started = StartWorker([state, job, vuid, notify] {
        int code = UPLOAD_EXCEPTION;
        try {
            code = RunUpload(*job, vuid, notify);
        } catch (...) {
            WriteDebugLogA("upload: exception");
        }
        FinishUpload(state, job, code);
    }, kUploadTask);
    if (started) return;
    // The process is ending: the job goes without a word.
    state->active.erase(job->Gid);
    --state->activeCount;
}

} // namespace

CUploadManager::CUploadManager(CMsgTarget notify, QString vuid) : m_state(std::make_shared<State>())
{
    m_state->notify = std::move(notify);
    m_state->vuid = std::move(vuid);
}

CUploadManager::~CUploadManager()
{
    std::lock_guard lock(m_state->mutex);
    m_state->closed = true;
    m_state->waiting.clear();
    for (auto& [gid, job] : m_state->active) job->cancel = true;
}

void CUploadManager::SetVuid(const QString& vuid)
{
    std::lock_guard lock(m_state->mutex);
    m_state->vuid = vuid;
}

void CUploadManager::StartUpload(const QString& gid, const QString& path, const QString& url, const QString& album)
{
    std::lock_guard lock(m_state->mutex);
    if (auto it = m_state->active.find(gid); it != m_state->active.end()) {
        it->second->cancel = false;
        return;
    }
    auto job = std::make_shared<UploadJob>();
    job->Gid = gid;
    job->path = path;
    job->url = url;
    job->album = album;
    if (m_state->activeCount >= kMaxActive) {
        m_state->waiting[gid] = job;
        return;
    }
    m_state->active[gid] = job;
    ++m_state->activeCount;
    StartJob(m_state, job);
}

CUploadManager::CancelResult CUploadManager::CancelUpload(const QString& gid)
{
    std::lock_guard lock(m_state->mutex);
    if (m_state->waiting.erase(gid) > 0) return kCancelWaiting;
    if (auto it = m_state->active.find(gid); it != m_state->active.end()) {
        it->second->cancel = true;
        return kCancelRunning;
    }
    return kCancelNone;
}

int CUploadManager::GetProgress(const QString& gid) const
{
    std::lock_guard lock(m_state->mutex);
    if (auto it = m_state->active.find(gid); it != m_state->active.end())
        return it->second->cancel ? -1 : it->second->progress.load();
    return m_state->waiting.count(gid) ? 0 : -1;
}

int CUploadManager::ActiveCount() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->activeCount;
}

int CUploadManager::WaitingCount() const
{
    std::lock_guard lock(m_state->mutex);
    return int(m_state->waiting.size());
}

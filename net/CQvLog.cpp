#include "net/CQvLog.h"

#include "base/CodePage.h"
#include "base/Worker.h"
#include "model/CQvMusic.h"
#include "model/TrackInfo.h"
#include "net/CQvCINet.h"
#include "net/CQvClientIdentity.h"
#include "net/ServiceAddress.h"
#include "net/ServiceRequest.h"
#include "net/proto/UrlEncode.h"
#include "store/CQvConf.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <ctime>

namespace {

QString LocalTimeText()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    return QString::asprintf("%u-%02u-%02u %02u:%02u:%02u", d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

QString MinutesSeconds(int seconds)
{
    return QString::asprintf("%02d:%02d", seconds / 60, seconds % 60);
}

} // namespace

struct CQvLog::UsageQueue {
    std::mutex mutex;
    std::condition_variable ended;
    std::deque<QString> entries;
    bool running = false;
    bool started = false;
};

CQvLog& CQvLog::GetInstance()
{
    static CQvLog log;
    return log;
}

CQvLog::CQvLog() : m_usage(std::make_shared<UsageQueue>()) {}

CQvLog::~CQvLog()
{
    StopUsageWorker(1000);
}

void CQvLog::SetTimerWindow(const CMsgTarget& controller)
{
    std::lock_guard lock(m_mutex);
    m_timerWindow = controller;
}

QString FileTitle(const QString& path)
{
    return QFileInfo(path).completeBaseName();
}

void CQvLog::AddRecord(int window, int event, int count, const CQvMusic* track, int value)
{
    const ConfigSettings& s = CQvConf::Instance().Settings();
    const CQvClientIdentity::Values id = CQvClientIdentity::Instance().Get();
    QStringList f;
    f << LocalTimeText() << s.clientid << id.userId << QString::number(window) << QString::number(event)
      << QString::number(count) << QStringLiteral("0") << id.instanceId << QStringLiteral("1.0") << QString();
    const TrackInfo* info = track ? track->GetInfo() : nullptr;
    if (info)
        f << info->Song << info->Artist << info->Album << FileTitle(info->LSrc) << info->LSrc << info->Rare().Sysid;
    else
        f << QString() << QString() << QString() << QString() << QString() << QString();
    f << QStringLiteral("ssPostTime") << QString::number(value) << s.tpid
      << (s.macuserid.isEmpty() ? s.macuseridFallback : s.macuserid) << id.hostId;
    const QString record = f.join(QLatin1Char('\t')) + QStringLiteral("\t\t\t\t\t\t\r\n");
    std::lock_guard lock(m_mutex);
    m_pending.push_back(record);
}

int CQvLog::PendingCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_pending.size());
}

QStringList CQvLog::PendingRecords() const
{
    std::lock_guard lock(m_mutex);
    return QStringList(m_pending.begin(), m_pending.end());
}

void CQvLog::ClearPending()
{
    std::lock_guard lock(m_mutex);
    m_pending.clear();
}

QString CQvLog::SavedFilePath() const
{
    const CQvConf& conf = CQvConf::Instance();
    return conf.DataDir() + QStringLiteral("%1_%2_opt.log").arg(conf.Settings().clientid, QStringLiteral("0"));
}

int CQvLog::SaveToFile()
{
    std::lock_guard lock(m_mutex);
    if (m_pending.empty()) return 1;
    QFile file(SavedFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return 0;
    while (!m_pending.empty()) {
        if (file.write(ToAnsi(m_pending.front())) < 0) break; // a full disk keeps the rest pending
        m_pending.pop_front();
    }
    file.close();
    return 1;
}

int CQvLog::LoadSavedRecords()
{
    const QString path = SavedFilePath();
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray all;
        while (!file.atEnd()) {
            const QByteArray piece = file.read(65535);
            if (piece.isEmpty()) break;
            all += piece;
        }
        file.close();
        std::deque<QString> lines;
        qsizetype start = 0;
        for (qsizetype at = all.indexOf("\r\n"); at >= 0; at = all.indexOf("\r\n", start)) {
            lines.push_back(FromAnsi(all.mid(start, at + 2 - start)));
            start = at + 2;
        }
        {
            std::lock_guard lock(m_mutex);
            m_pending.insert(m_pending.end(), lines.begin(), lines.end());
        }
        QFile::remove(path);
    }
    return SendOperationRecords();
}

int CQvLog::SendOperationRecords()
{
    CMsgTarget timer;
    {
        std::lock_guard lock(m_mutex);
        timer = m_timerWindow;
    }
    timer.KillTimer(kSendTimer);
    const auto rearm = [&] { timer.SetTimer(kSendTimer, kSendPeriodMs); };

    const QString url = LogServerUrl();
    CQvCINet net;
    if (PendingCount() == 0 || url.isEmpty() || !net.CheckConnection(url)) {
        rearm();
        return 0;
    }
    std::deque<QString> taken;
    {
        std::lock_guard lock(m_mutex);
        while (!m_pending.empty() && taken.size() < static_cast<size_t>(kBatch)) {
            taken.push_back(m_pending.front());
            m_pending.pop_front();
        }
    }
    QString joined;
    for (const QString& r : taken) joined += r;
    if (joined.isEmpty()) {
        rearm();
        return -1;
    }
    joined.replace(QLatin1String("ssPostTime"), LocalTimeText());
    QByteArray reply;
    bool delivered = false;
    // Posted to the address just checked; a batch that does not go out is kept for the next. The
    // log server owes no reply text: an accepted post with an empty reply is delivered.
    PostXml(url, nullptr, "m=optlog&r=" + UrlEncodeCounted(ToAnsi(joined)), reply, nullptr, &delivered);
    if (!delivered) {
        std::lock_guard lock(m_mutex);
        m_pending.insert(m_pending.begin(), taken.begin(), taken.end());
    }
    rearm();
    return 0;
}

QString CQvLog::LogServerUrl()
{
    const CQvConf& conf = CQvConf::Instance();
    const QString format = conf.ServerAddress(QStringLiteral("logserverurl"));
    const QStringList list = conf.FallbackList(6);
    unsigned counter;
    {
        std::lock_guard lock(m_counterMutex);
        counter = m_nLookups++;
    }
    if (format.isEmpty() || list.isEmpty()) return QString();
    const qsizetype n = list.size();
    const QString entry = list[n > 1 ? static_cast<qsizetype>(counter % static_cast<unsigned>(n - 1)) : 0];
    QString url = format;
    const qsizetype at = url.indexOf(QLatin1String("%s"));
    if (at >= 0) url.replace(at, 2, entry);
    return url;
}

int CQvLog::SendListening(const QString& record)
{
    const QString url = LogServerUrl();
    CQvCINet net;
    if (url.isEmpty() || !net.CheckConnection(url)) return 0;
    QByteArray reply;
    // Encoded like the operation records: a title with "&" or "=" must not break the form.
    return PostXml(url, nullptr, "m=bufferlog&r=" + UrlEncodeCounted(ToAnsi(record)), reply);
}

bool StartSendListening(const QString& record)
{
    return StartWorker([record] { CQvLog::GetInstance().SendListening(record); });
}

int CQvLog::SendPageLog(const QString& kind, const QString& text)
{
    const QString url = LogServerUrl();
    CQvCINet net;
    if (url.isEmpty() || !net.CheckConnection(url)) return -2;
    QByteArray reply;
    return PostXml(url, nullptr, "m=" + UrlEncodeCounted(kind.toLatin1()) + "&r=" + UrlEncodeCounted(ToAnsi(text)), reply);
}

QString CQvLog::UsageEventUrl(const QString& entryUrl, const QString& type, const QStringList& values)
{
    // The separators go percent-encoded too; a server reads the same text either way.
    const QString sep = QStringLiteral("%3C%7C%3E");
    const auto enc = [](const QString& v) { return QString::fromLatin1(UrlEncodeCounted(v.toUtf8())); };
    QString url = entryUrl + QStringLiteral("?m=log&type=") + enc(type) + QStringLiteral("&value=") + sep
        + QStringLiteral("common_type") + sep;
    for (int i = 0; i + 1 < values.size(); i += 2) url += sep + enc(values[i]) + sep + enc(values[i + 1]);
    return url + sep + sep + sep + sep;
}

void CQvLog::QueueUsageEvent(const QString& type, const QString& a, const QString& b, const QString& c,
                             const QString& d, const QString& e, const QString& f)
{
    const QString url = UsageEventUrl(MetadataEntryUrl(), type, {a, b, c, d, e, f});
    const std::shared_ptr<UsageQueue> q = m_usage;
    bool start = false;
    {
        std::lock_guard lock(q->mutex);
        if (static_cast<int>(q->entries.size()) >= kUsageSlots) return;
        q->entries.push_back(url);
        if (!q->started) {
            q->started = true;
            q->running = true;
            start = true;
        }
    }
    if (!start) return;
    const bool ok = StartWorker([q] {
        for (;;) {
            QString url;
            {
                std::lock_guard lock(q->mutex);
                if (!q->running || IsExiting()) break;
                if (!q->entries.empty()) url = q->entries.front();
            }
            if (url.isEmpty()) {
                WaitForStop(20);
                continue;
            }
            CQvCINet net;
            if (net.CheckConnection(url)) {
                QByteArray reply;
                PostXml(url, nullptr, QByteArray(), reply);
            }
            std::lock_guard lock(q->mutex);
            if (!q->entries.empty()) q->entries.pop_front();
        }
        std::lock_guard lock(q->mutex);
        q->running = false;
        q->started = false;
        q->ended.notify_all();
    });
    if (!ok) {
        std::lock_guard lock(q->mutex);
        q->running = false;
        q->started = false;
    }
}

bool CQvLog::StopUsageWorker(int boundMs)
{
    const std::shared_ptr<UsageQueue> q = m_usage;
    std::unique_lock lock(q->mutex);
    q->running = false;
    return q->ended.wait_for(lock, std::chrono::milliseconds(boundMs), [&] { return !q->started; });
}

int CQvLog::QueuedUsageEvents() const
{
    std::lock_guard lock(m_usage->mutex);
    return static_cast<int>(m_usage->entries.size());
}

QString FormatListeningRecord(const ListeningInfo& info)
{
    int position = info.positionSec;
    int length = info.lengthSec;
    if (position > 100 * 60) {
        position = 0;
        length = 0;
    }
    int completion = 1;
    if (position == 0)
        completion = 0;
    else if (position / 60 == length / 60 && position <= length && length - position <= 1)
        completion = 2;
    const QString source = info.lsrc.isEmpty() ? info.nsrc : info.lsrc;
    QString r = QStringLiteral("00\t%1\t%2\t%3\t%4\t%5\t%6\t11\t")
                    .arg(info.startTick)
                    .arg(info.endTick)
                    .arg(MinutesSeconds(position), MinutesSeconds(length))
                    .arg(info.endTick - info.startTick)
                    .arg(completion);
    r += QStringList {info.artist, info.song, info.sysid, info.cmsid, source}.join(QLatin1Char('\t'));
    r += QStringLiteral("\t%1\t22\t").arg(info.lsrc.isEmpty() ? 1 : 0);
    r += QString(10, QLatin1Char('\t')) + QStringLiteral("\t\t");
    return r;
}

qint64 TickCount()
{
    timespec ts {};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<qint64>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

#include "model/TrackUtil.h"

#include <QCryptographicHash>

#include <chrono>

QString MakeGid(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size() * 2);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        bytes.append(static_cast<char>(u & 0xFF));
        bytes.append(static_cast<char>(u >> 8));
    }
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

int DayNumber(int year, int month, int day)
{
    return static_cast<int>((year - 2006) * 365.0 + month * 30.5 + day);
}

int DayNumber(const QDate& date) { return DayNumber(date.year(), date.month(), date.day()); }

int TodayDayNumber() { return DayNumber(QDate::currentDate()); }

QDate CToday::Get()
{
    using namespace std::chrono;
    const qint64 now = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    if (!m_date.isValid() || now - m_readAtMs >= 1000) {
        m_date = QDate::currentDate();
        m_readAtMs = now;
    }
    return m_date;
}

QString CutTrackText(const QString& text)
{
    if (text.size() <= kMaxTrackText) return text;
    qsizetype n = kMaxTrackText;
    if (text.at(n - 1).isHighSurrogate()) --n;
    return text.left(n);
}

#include "model/TrackUtil.h"

#include <QCryptographicHash>
#include <QSysInfo>

#include <chrono>

QString MakeGid(const QString& text)
{
    // QString holds UTF-16 in the machine's order: on a little-endian machine its bytes are the
    // hashed ones as they stand, and an import hashes every path it meets.
    QByteArray swapped;
    QByteArrayView bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    if constexpr (QSysInfo::ByteOrder != QSysInfo::LittleEndian) {
        swapped.reserve(text.size() * 2);
        for (const QChar c : text) {
            swapped.append(static_cast<char>(c.unicode() & 0xFF));
            swapped.append(static_cast<char>(c.unicode() >> 8));
        }
        bytes = swapped;
    }
    QCryptographicHash md5(QCryptographicHash::Md5);
    md5.addData(bytes);
    static constexpr char kHex[] = "0123456789abcdef";
    const QByteArrayView digest = md5.resultView();
    QString out(digest.size() * 2, Qt::Uninitialized);
    char16_t* o = reinterpret_cast<char16_t*>(out.data());
    for (const char b : digest) {
        *o++ = char16_t(kHex[(static_cast<unsigned char>(b) >> 4) & 0xF]);
        *o++ = char16_t(kHex[static_cast<unsigned char>(b) & 0xF]);
    }
    return out;
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

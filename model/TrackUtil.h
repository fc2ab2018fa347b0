#pragma once
#include <QDate>
#include <QString>

// A track's key: MD5 of the text's UTF-16LE code units, as 32 lowercase hex digits.
// Paths are hashed as given, so two spellings of one file are two tracks.
QString MakeGid(const QString& text);

// The approximate day count of the recent lists: (year - 2006) * 365 + month * 30.5 + day,
// in floating point, truncated.
int DayNumber(int year, int month, int day);
int DayNumber(const QDate& date);
int TodayDayNumber();

// Today's date, read from the system clock at most once a second: each reading looks up the time
// zone, which costs more than judging a track against a list's rule.
class CToday {
public:
    QDate Get();

private:
    QDate m_date;
    qint64 m_readAtMs = 0; // on the monotonic clock
};

// Titles, artists and albums longer than this are not names: a hostile tag or page can carry
// megabytes that would cost the window seconds to draw. Texts read or shown are cut to it.
constexpr qsizetype kMaxTrackText = 1024;
// `text` cut to kMaxTrackText characters (a surrogate pair is not split).
QString CutTrackText(const QString& text);

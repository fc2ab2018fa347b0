#include "lyrics/CLyrics.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr QStringView kOffsetTag = u"DeltalTime:";
constexpr QStringView kDotsText = u".  .  .  .  .  .";

int ClampToInt(qint64 v)
{
    return int(std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

quint32 ClampToTime(qint64 v)
{
    return quint32(std::clamp<qint64>(v, 0, std::numeric_limits<quint32>::max()));
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The leading decimal digits of up to `count` characters from `pos`; a non-digit or the end of
// the line stops the conversion.
int DigitsAt(QStringView line, qsizetype pos, int count)
{
    const char16_t* const s = line.utf16();
    const qsizetype end = std::min(pos + count, line.size());
    int value = 0;
    for (qsizetype i = pos; i < end && IsDigit(s[i]); ++i) value = value * 10 + (s[i] - u'0');
    return value;
}

// Like the C library's integer conversion: leading blanks, an optional sign, then digits; a
// value beyond the int range saturates instead of being undefined.
int ToInt(QStringView text)
{
    const char16_t* const s = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && (s[i] == u' ' || (s[i] >= u'\t' && s[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
    qint64 value = 0;
    for (; i < n && IsDigit(s[i]); ++i) {
        value = value * 10 + (s[i] - u'0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1) break;
    }
    return ClampToInt(negative ? -value : value);
}

void AppendTwoDigits(QString& out, quint32 v)
{
    if (v >= 100) {
        out += QString::number(v);
        return;
    }
    out += QChar(u'0' + v / 10);
    out += QChar(u'0' + v % 10);
}

} // namespace

QString CLyrics::NoLyricsText() { return QStringLiteral("没有相应的歌词"); }
QString CLyrics::TrailerText() { return QStringLiteral("本歌词来源于互联网"); }

CLyrics::CLyrics() = default;
CLyrics::~CLyrics() = default;

void CLyrics::Clear()
{
    m_lines.clear();
    m_idTags.clear();
    m_nReady = 0;
    m_nLastIndex = 0;
    m_nCurrent = 0;
    m_nOffsetApplied = 0;
    m_nTotalShift = 0;
}

void CLyrics::Parse(QStringView text)
{
    if (text.isEmpty()) return;
    Clear();
    // A text without an offset tag has none: the previous track's must not carry over.
    m_nOffset = 0;
    m_strTitle.clear();
    qsizetype pos = 0;
    while (pos < text.size()) {
        m_strScratchText.clear();
        QStringView line;
        pos += ReadLine(text, pos, line);
        ParseLine(line);
    }
    Finish();
    m_nReady = 1;
}

qsizetype CLyrics::ReadLine(QStringView text, qsizetype start, QStringView& line)
{
    const char16_t* const begin = text.utf16() + start;
    const char16_t* const stop = text.utf16() + text.size();
    const char16_t* end = begin;
    while (end < stop && *end != u'\r' && *end != u'\n' && *end != u'\0') ++end;
    line = QStringView(begin, end);
    qsizetype advance = end - begin;
    if (end < stop) {
        // CR LF is one stop; a lone CR or NUL is a stop of its own and takes nothing after it.
        if (*end == u'\r' && end + 1 < stop && end[1] == u'\n') advance += 2;
        else advance += 1;
    }
    return advance;
}

void CLyrics::ParseLine(QStringView line)
{
    const qsizetype n = line.size();
    if (n < 6) return;
    const char16_t* const s = line.utf16();

    if (line.sliced(1).startsWith(kOffsetTag)) {
        const qsizetype colon = line.lastIndexOf(u':');
        qsizetype end = line.lastIndexOf(u']');
        if (end < 0) end = n;
        const qsizetype from = colon + 1;
        m_nOffset = end > from ? ToInt(line.sliced(from, end - from)) : 0;
        return;
    }

    if (s[3] != u':' || !IsDigit(s[2])) {
        // An ID tag: not used, but kept for the stored text.
        if (s[0] == u'[' && line.contains(u']')) m_idTags.append(line.toString());
        return;
    }

    const qsizetype firstClose = line.indexOf(u']');
    if (firstClose < 0) return;
    const qsizetype width = firstClose + 1;

    // All tags of a line share the text after its last tag.
    const QString text = line.sliced(line.lastIndexOf(u']') + 1).toString();
    for (qsizetype p = 0; p + 6 < n; p += width) {
        if (s[p] != u'[' || s[p + 3] != u':') break;
        quint32 time = quint32(DigitsAt(line, p + 4, 2)) * 1000 + quint32(DigitsAt(line, p + 1, 2)) * 60000;
        if (width == 10 && s[p + 6] == u'.') time += quint32(DigitsAt(line, p + 7, 2)) * 10;
        m_lines.append(CLyrics_Struct {time, text});
        ++m_nLastIndex;
        if (text.size() > m_strScratchText.size()) m_strScratchText = text;
    }
}

void CLyrics::Finish()
{
    if (m_nLastIndex == 0) {
        m_lines.append(CLyrics_Struct {kNoLyricsTime, NoLyricsText()});
        m_strTitle = NoLyricsText();
        return;
    }
    // Stable: lines with equal times keep the order of the text. Most texts come sorted; the
    // others are sorted as (time, position) keys, which moves no text until the end.
    const auto byTime = [](const CLyrics_Struct& a, const CLyrics_Struct& b) { return a.time < b.time; };
    if (!std::is_sorted(m_lines.cbegin(), m_lines.cend(), byTime)) {
        std::vector<quint64> keys;
        keys.reserve(size_t(m_lines.size()));
        for (qsizetype i = 0; i < m_lines.size(); ++i) keys.push_back(quint64(m_lines.at(i).time) << 32 | quint64(i));
        std::sort(keys.begin(), keys.end());
        QList<CLyrics_Struct> sorted;
        sorted.reserve(m_lines.size() + 3);
        for (const quint64 key : keys) sorted.append(std::move(m_lines[qsizetype(key & 0xFFFFFFFFu)]));
        m_lines = std::move(sorted);
    }
    if (m_lines.first().time > 2000) m_lines.prepend(CLyrics_Struct {0, QString()});
    m_lines.append(CLyrics_Struct {kEndLineTime, QString()});
    m_lines.append(CLyrics_Struct {kTrailerTime, TrailerText()});
    m_nLastIndex = int(m_lines.size()) - 1;
}

int CLyrics::Locate(qint64 position)
{
    if (m_lines.isEmpty()) return -1;
    const CLyrics_Struct* const lines = m_lines.constData();
    if (position <= qint64(lines[0].time)) {
        m_nCurrent = 0;
        return 0;
    }
    if (position > qint64(lines[m_nLastIndex].time)) {
        m_nCurrent = m_nLastIndex;
        return 0;
    }
    for (int i = 0; i < m_nLastIndex; ++i) {
        if (qint64(lines[i].time) < position && position <= qint64(lines[i + 1].time)) {
            m_nCurrent = i;
            return 1;
        }
    }
    return -1;
}

void CLyrics::MoveLines(qint64 delta)
{
    // The trailer stays where it is; the leading blank stays at 0.
    CLyrics_Struct* const lines = m_lines.data();
    for (int i = 0; i < m_nLastIndex; ++i) {
        CLyrics_Struct& line = lines[i];
        if (line.time == 0 && line.text.isEmpty()) continue;
        line.time = ClampToTime(qint64(line.time) - delta);
    }
}

bool CLyrics::ApplyStoredOffset()
{
    if (m_nOffsetApplied) return false;
    m_nOffsetApplied = 1;
    if (m_nOffset != 0) MoveLines(m_nOffset);
    return true;
}

void CLyrics::Shift(int delta, qint64 position)
{
    if (!HasTimedLines()) return;
    ApplyStoredOffset();
    m_nTotalShift = ClampToInt(qint64(m_nTotalShift) + delta);
    MoveLines(delta);
    Locate(position);
}

QString CLyrics::Serialise()
{
    if (!HasTimedLines()) return QString();
    // Several tags of a line share its text in memory but each writes it out: a hostile text can
    // ask for far more than any lyrics text. Such a text is not stored (the old one stays).
    qint64 size = 32;
    for (const QString& tag : std::as_const(m_idTags)) size += tag.size() + 1;
    for (int i = 0; i + 1 < m_nLastIndex; ++i) size += m_lines.at(i).text.size() + 14;
    if (size > kMaxTextChars) return QString();

    ApplyStoredOffset();
    const qint64 total = ClampToInt(qint64(m_nTotalShift) + m_nOffset);

    QString out;
    out.reserve(size);
    out += u'[';
    out += kOffsetTag;
    out += QString::number(total);
    out += u"]\n";
    for (const QString& tag : std::as_const(m_idTags)) {
        out += tag;
        out += u'\n';
    }
    // Every line but the trailer gets its stored time; the blank end line is not written, since
    // the next parse frames the text again (written, it would come back as one more line).
    for (int i = 0; i < m_nLastIndex; ++i) {
        CLyrics_Struct& line = m_lines[i];
        quint32 t;
        if (line.time == 0 && line.text.isEmpty()) t = 0;
        else if (total < 0 && qint64(line.time) < -total) t = 0;
        else t = ClampToTime(line.time + total);
        line.time = t;
        if (i == m_nLastIndex - 1) break;
        out += u'[';
        AppendTwoDigits(out, t / 60000);
        out += u':';
        AppendTwoDigits(out, (t % 60000) / 1000);
        out += u'.';
        AppendTwoDigits(out, (t % 1000) / 10);
        out += u']';
        out += line.text;
        out += u'\n';
    }
    m_nTotalShift = 0;
    m_nOffset = 0;
    return out;
}

QString CLyrics::CopyText() const
{
    QString out;
    for (int i = 0; i <= m_nLastIndex && i < m_lines.size(); ++i) {
        const QString& text = m_lines.at(i).text;
        if (text == kDotsText) continue;
        if (out.size() + text.size() + 2 > kMaxTextChars) break;
        out += text;
        out += u"\r\n";
    }
    return out;
}

bool AdvanceCurrentLine(CLyrics& lyrics, qint64 position)
{
    const int current = lyrics.Current();
    if (current < 0 || current >= lyrics.LastIndex() || current + 1 >= lyrics.LineCount()) return false;
    if (position <= qint64(lyrics.TimeAt(current + 1))) return false;
    lyrics.SetCurrent(current + 1);
    return true;
}

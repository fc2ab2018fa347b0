#include "lyrics/CLyrics.h"

#include <algorithm>
#include <limits>

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

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The leading decimal digits of up to `count` characters from `pos`; a non-digit or the end of
// the line stops the conversion.
int DigitsAt(QStringView line, qsizetype pos, int count)
{
    int value = 0;
    for (qsizetype i = pos; i < pos + count && i < line.size() && IsDigit(line[i]); ++i)
        value = value * 10 + (line[i].unicode() - u'0');
    return value;
}

// Like the C library's integer conversion: leading blanks, an optional sign, then digits; a
// value beyond the int range saturates instead of being undefined.
int ToInt(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    qint64 value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
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
    qsizetype end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n' && text[end] != u'\0') ++end;
    line = text.sliced(start, end - start);
    qsizetype advance = end - start;
    if (end < text.size()) {
        // CR LF is one stop; a lone CR or NUL is a stop of its own and takes nothing after it.
        if (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') advance += 2;
        else advance += 1;
    }
    return advance;
}

void CLyrics::ParseLine(QStringView line)
{
    if (line.size() < 6) return;

    if (line.sliced(1).startsWith(kOffsetTag)) {
        const qsizetype colon = line.lastIndexOf(u':');
        qsizetype end = line.lastIndexOf(u']');
        if (end < 0) end = line.size();
        const qsizetype from = colon + 1;
        m_nOffset = end > from ? ToInt(line.sliced(from, end - from)) : 0;
        return;
    }

    if (line[3] != u':' || !IsDigit(line[2])) {
        // An ID tag: not used, but kept for the stored text.
        if (line[0] == u'[' && line.contains(u']')) m_idTags.append(line.toString());
        return;
    }

    const qsizetype firstClose = line.indexOf(u']');
    if (firstClose < 0) return;
    const qsizetype width = firstClose + 1;

    // All tags of a line share the text after its last tag.
    const QString text = line.sliced(line.lastIndexOf(u']') + 1).toString();
    for (qsizetype p = 0; p + 6 < line.size(); p += width) {
        if (line[p] != u'[' || line[p + 3] != u':') break;
        quint32 time = quint32(DigitsAt(line, p + 4, 2)) * 1000 + quint32(DigitsAt(line, p + 1, 2)) * 60000;
        if (width == 10 && line[p + 6] == u'.') time += quint32(DigitsAt(line, p + 7, 2)) * 10;
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
    // Stable: lines with equal times keep the order of the text.
    std::stable_sort(m_lines.begin(), m_lines.end(),
                     [](const CLyrics_Struct& a, const CLyrics_Struct& b) { return a.time < b.time; });
    if (m_lines.first().time > 2000) m_lines.prepend(CLyrics_Struct {0, QString()});
    m_lines.append(CLyrics_Struct {kEndLineTime, QString()});
    m_lines.append(CLyrics_Struct {kTrailerTime, TrailerText()});
    m_nLastIndex = int(m_lines.size()) - 1;
}

int CLyrics::Locate(qint64 position)
{
    if (m_lines.isEmpty()) return -1;
    if (position <= qint64(m_lines.first().time)) {
        m_nCurrent = 0;
        return 0;
    }
    if (position > qint64(m_lines.at(m_nLastIndex).time)) {
        m_nCurrent = m_nLastIndex;
        return 0;
    }
    for (int i = 0; i < m_nLastIndex; ++i) {
        if (qint64(m_lines.at(i).time) < position && position <= qint64(m_lines.at(i + 1).time)) {
            m_nCurrent = i;
            return 1;
        }
    }
    return -1;
}

void CLyrics::MoveLines(qint64 delta)
{
    // The trailer stays where it is; the leading blank stays at 0.
    for (int i = 0; i < m_nLastIndex; ++i) {
        CLyrics_Struct& line = m_lines[i];
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
    if (!HasTimedLines()) {
        m_nTotalShift = 0;
        m_nOffset = 0;
        return QString();
    }
    ApplyStoredOffset();
    const qint64 total = ClampToInt(qint64(m_nTotalShift) + m_nOffset);

    QString out;
    out.reserve(m_lines.size() * 24);
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

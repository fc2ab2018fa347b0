#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// One timed lyric line.
struct CLyrics_Struct {
    quint32 time = 0;   // ms from the start of the track; compared unsigned
    QString text;       // may be empty
};
Q_DECLARE_TYPEINFO(CLyrics_Struct, Q_RELOCATABLE_TYPE);

// The lyrics of the playing track as timed lines, parsed from LRC text. The program keeps one
// of these for its whole life; the lyric views hold plain pointers to it.
//
// Life of a parse: Parse marks the model ready. The first ApplyStoredOffset after it (the lyric
// panel's load message) moves the lines by the text's own "DeltalTime" offset; every later call
// (the same message is sent again when playing resumes after a pause) does nothing, so the lines
// are moved exactly once per parse. Shift and Serialise apply a pending offset first, so the
// stored text is right even if the panel never got its load message. Clear or the next Parse
// start over.
class CLyrics {
public:
    // Time and text of the single line a text without any timed line gives.
    static constexpr quint32 kNoLyricsTime = 99999;
    // The blank end line and the trailer that frame every parsed text.
    static constexpr quint32 kEndLineTime = 5990000;
    static constexpr quint32 kTrailerTime = 5999999;
    // The most characters Serialise and CopyText produce, as large as the largest reply.
    static constexpr qsizetype kMaxTextChars = 4 * 1024 * 1024;
    static QString NoLyricsText();
    static QString TrailerText();

    CLyrics();
    virtual ~CLyrics();

    // Removes all lines; not ready, current 0, nothing shifted. The offset stays.
    void Clear();
    // Replaces the content with the lines of `text`; an empty text leaves everything as it was.
    void Parse(QStringView text);

    // Sets the current line for a play position: 0 when it lies before the first or after the
    // last line, 1 when a pair of lines encloses it, -1 without lines or pair.
    int Locate(qint64 position);
    // Moves every line but the trailer `delta` ms earlier (later for a negative delta), adds it
    // to the running total and finds the current line again for `position`. Does nothing when
    // the text held no timed line.
    void Shift(int delta, qint64 position);
    // Moves the lines by the stored offset once per parse; true when this call applied it.
    bool ApplyStoredOffset();
    // The LRC text to store for the shifted lines: the original time tags with the running total
    // and the stored offset carried in the first line, "[DeltalTime:n]". Resets both to 0. Empty,
    // with nothing changed, when the text held no timed line (there is nothing to store then) or
    // when the result would exceed kMaxTextChars.
    QString Serialise();
    // The texts of all lines for the clipboard, each followed by CR LF (at most kMaxTextChars).
    QString CopyText() const;

    int Offset() const { return m_nOffset; }
    const QList<CLyrics_Struct>& Lines() const { return m_lines; }
    int LineCount() const { return int(m_lines.size()); }
    quint32 TimeAt(int i) const { return m_lines.at(i).time; }
    const QString& TextAt(int i) const { return m_lines.at(i).text; }
    // Index of the last line (the trailer once parsed); 0 when empty.
    int LastIndex() const { return m_nLastIndex; }
    int Current() const { return m_nCurrent; }
    void SetCurrent(int index) { m_nCurrent = index; }
    bool IsReady() const { return m_nReady != 0; }
    // The no-lyrics text when the last parsed text held no timed line, else empty.
    const QString& Title() const { return m_strTitle; }
    // Sum of all shifts since the lyrics were parsed; the lyrics need storing when it is not 0.
    int TotalShift() const { return m_nTotalShift; }
    // True when the parsed text held at least one timed line.
    bool HasTimedLines() const { return m_nLastIndex > 0; }

private:
    static qsizetype ReadLine(QStringView text, qsizetype start, QStringView& line);
    void ParseLine(QStringView line);
    void Finish();
    void MoveLines(qint64 delta);

    int m_nOffset = 0;
    QList<CLyrics_Struct> m_lines;
    int m_nLastIndex = 0;
    int m_nCurrent = 0;
    QString m_strScratchText;
    int m_nOffsetApplied = 0;
    int m_nReady = 0;
    QString m_strTitle;
    int m_nTotalShift = 0;
    // Bracketed lines that carry no time ([ti:], [ar:], [offset:] ...), kept for the stored text
    // so a rewritten lyrics file keeps them.
    QStringList m_idTags;
};

// The main window's lyrics tick: while lines remain, a position past the start of the next line
// makes that line current, one line per tick. True when `current` moved.
bool AdvanceCurrentLine(CLyrics& lyrics, qint64 position);

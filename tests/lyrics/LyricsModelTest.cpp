#include "lyrics/CLyrics.h"
#include "net/proto/ServiceReplies.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Line {
    quint32 time;
    QString text;
    bool operator==(const Line&) const = default;
};

void PrintTo(const Line& l, std::ostream* os) { *os << "{" << l.time << ", \"" << l.text.toStdString() << "\"}"; }

std::vector<Line> LinesOf(const CLyrics& lyrics)
{
    std::vector<Line> out;
    for (const CLyrics_Struct& l : lyrics.Lines()) out.push_back({l.time, l.text});
    return out;
}

// The timed lines inside the framing: without a leading blank, the end line and the trailer.
std::vector<Line> Body(const CLyrics& lyrics)
{
    std::vector<Line> all = LinesOf(lyrics);
    EXPECT_GE(all.size(), 3u);
    if (all.size() < 3) return {};
    const bool blank = all.front() == Line {0, QString()};
    return {all.begin() + (blank ? 1 : 0), all.end() - 2};
}

CLyrics Parsed(const QString& text)
{
    CLyrics lyrics;
    lyrics.Parse(text);
    return lyrics;
}

const QString kTrailer = QStringLiteral("本歌词来源于互联网");
const QString kNoLyrics = QStringLiteral("没有相应的歌词");

} // namespace

TEST(LyricsParse, TagWidthsSeveralTagsAndSharedText)
{
    EXPECT_EQ(Body(Parsed("[00:12.34]abc")), (std::vector<Line> {{12340, "abc"}}));
    EXPECT_EQ(Body(Parsed("[00:12]abc")), (std::vector<Line> {{12000, "abc"}}));
    // Two tags of one line share the text and come apart by the sort.
    EXPECT_EQ(Body(Parsed("[01:02.03][00:10.50]xyz")), (std::vector<Line> {{10500, "xyz"}, {62030, "xyz"}}));
    // A second tag of another width is still read at the first tag's width; its fraction test fails.
    EXPECT_EQ(Body(Parsed("[00:01.00][00:02]b")), (std::vector<Line> {{1000, "b"}, {2000, "b"}}));
    // A tag with three fractional digits is eleven wide: no fraction is read. The text is
    // everything after the last "]".
    EXPECT_EQ(Body(Parsed("[00:01.239]x[y]z")), (std::vector<Line> {{1000, "z"}}));
    EXPECT_EQ(Body(Parsed("[98:59.99]end")), (std::vector<Line> {{98 * 60000 + 59990, "end"}}));
    // Non-digits end a number's conversion rather than making it negative or huge.
    EXPECT_EQ(Body(Parsed("[-1:0x.5a]a")), (std::vector<Line> {{50, "a"}}));
    // Chinese text and an empty text.
    EXPECT_EQ(Body(Parsed("[00:01.00]你好\n[00:01.50]")), (std::vector<Line> {{1000, "你好"}, {1500, ""}}));
}

TEST(LyricsParse, TagsLinesAndEndsThatGiveNoLine)
{
    CLyrics lyrics = Parsed("[ti:Song]\n[ar:Someone]\n[offset:500]\n[0:1]\n[00:01.00]a\nplain text\n"
                            "[00:02.00 without close\n[00:0\n");
    // The ID tags, a short line, a line without "]" (which must not hang the parser) and plain
    // text give nothing; the standard offset tag has no effect.
    EXPECT_EQ(Body(lyrics), (std::vector<Line> {{1000, "a"}}));
    EXPECT_EQ(lyrics.Offset(), 0);

    // The program's own offset tag: the last one read counts, with sign.
    EXPECT_EQ(Parsed("[DeltalTime:300]\n[00:01.00]a\n[DeltalTime:-1500]").Offset(), -1500);
    // Without "]" it reads to the end of the line; out-of-range values saturate.
    EXPECT_EQ(Parsed("[DeltalTime:  +250\n[00:01.00]a").Offset(), 250);
    EXPECT_EQ(Parsed("[DeltalTime:99999999999]\n[00:01.00]a").Offset(), 2147483647);
    EXPECT_EQ(Parsed("[DeltalTime:x]\n[00:01.00]a").Offset(), 0);

    // Every line ending: LF, CR LF, a lone CR and an embedded NUL end a line without taking the
    // next line's first character.
    QString text = QStringLiteral("[00:01.00]a\n[00:02.00]b\r\n[00:03.00]c\r[00:04.00]d");
    text += QChar(0);
    text += QStringLiteral("[00:05.00]e\r\n\r\n\n[00:06.00]f");
    EXPECT_EQ(Body(Parsed(text)),
              (std::vector<Line> {{1000, "a"}, {2000, "b"}, {3000, "c"}, {4000, "d"}, {5000, "e"}, {6000, "f"}}));
}

TEST(LyricsParse, EmptyTextKeepsContentAndANewParseStartsOver)
{
    CLyrics lyrics;
    lyrics.Parse(QStringLiteral("[DeltalTime:700]\n[00:05.00]a"));
    ASSERT_TRUE(lyrics.IsReady());
    lyrics.SetCurrent(2);
    lyrics.Parse(QString());
    lyrics.Parse(QStringView());
    EXPECT_EQ(lyrics.LineCount(), 4);
    EXPECT_EQ(lyrics.Current(), 2);
    EXPECT_EQ(lyrics.Offset(), 700);

    // The next track's text has no offset tag: the earlier track's offset must not move it.
    lyrics.Parse(QStringLiteral("[00:05.00]b"));
    EXPECT_EQ(lyrics.Offset(), 0);
    EXPECT_EQ(lyrics.Current(), 0);
    lyrics.ApplyStoredOffset();
    EXPECT_EQ(lyrics.TimeAt(1), 5000u);

    lyrics.Clear();
    EXPECT_FALSE(lyrics.IsReady());
    EXPECT_EQ(lyrics.LineCount(), 0);
    EXPECT_EQ(lyrics.LastIndex(), 0);
}

TEST(LyricsFrame, LeadingBlankEndLineTrailerAndNoLyrics)
{
    CLyrics early = Parsed("[00:01.50]a");
    EXPECT_EQ(LinesOf(early), (std::vector<Line> {{1500, "a"}, {5990000, ""}, {5999999, kTrailer}}));
    EXPECT_EQ(early.LastIndex(), 2);
    EXPECT_TRUE(early.Title().isEmpty());

    CLyrics late = Parsed("[00:02.01]a");
    EXPECT_EQ(LinesOf(late), (std::vector<Line> {{0, ""}, {2010, "a"}, {5990000, ""}, {5999999, kTrailer}}));
    EXPECT_EQ(late.LastIndex(), 3);
    EXPECT_EQ(Parsed("[00:02.00]a").LineCount(), 3);   // 2000 ms exactly: no blank

    CLyrics none = Parsed("[ti:only tags]\nand words");
    EXPECT_EQ(LinesOf(none), (std::vector<Line> {{99999, kNoLyrics}}));
    EXPECT_EQ(none.LastIndex(), 0);
    EXPECT_EQ(none.Title(), kNoLyrics);
    EXPECT_TRUE(none.IsReady());
    EXPECT_FALSE(none.HasTimedLines());
    // A text with lines after one without clears the no-lyrics title.
    none.Parse(QStringLiteral("[00:01.00]a"));
    EXPECT_TRUE(none.Title().isEmpty());
}

TEST(LyricsFrame, SortIsStableForEqualTimes)
{
    // Equal times keep the order of the text, also when they come from several tags of a line.
    CLyrics lyrics = Parsed("[00:03.00]c\n[00:01.00]first\n[00:01.00]second\n[00:02.00][00:01.00]third\n"
                            "[00:01.00]fourth");
    EXPECT_EQ(Body(lyrics), (std::vector<Line> {{1000, "first"},
                                                {1000, "second"},
                                                {1000, "third"},
                                                {1000, "fourth"},
                                                {2000, "third"},
                                                {3000, "c"}}));
}

TEST(LyricsLocate, PositionsAndTheTick)
{
    // Lines: 0 {0,""} 1 {3000} 2 {5000} 3 {8000} 4 {8000} 5 {5990000} 6 trailer.
    CLyrics lyrics = Parsed("[00:03.00]a\n[00:05.00]b\n[00:08.00]c\n[00:08.00]d");
    ASSERT_EQ(lyrics.LastIndex(), 6);

    EXPECT_EQ(lyrics.Locate(-5), 0);
    EXPECT_EQ(lyrics.Current(), 0);
    EXPECT_EQ(lyrics.Locate(0), 0);
    EXPECT_EQ(lyrics.Locate(1), 1);
    EXPECT_EQ(lyrics.Current(), 0);
    // A position equal to a line's time still selects the line before it.
    EXPECT_EQ(lyrics.Locate(5000), 1);
    EXPECT_EQ(lyrics.Current(), 1);
    EXPECT_EQ(lyrics.Locate(5001), 1);
    EXPECT_EQ(lyrics.Current(), 2);
    EXPECT_EQ(lyrics.Locate(8001), 1);
    EXPECT_EQ(lyrics.Current(), 4);
    EXPECT_EQ(lyrics.Locate(6000000), 0);
    EXPECT_EQ(lyrics.Current(), 6);
    CLyrics empty;
    EXPECT_EQ(empty.Locate(1000), -1);

    // The tick: the time of line 3 keeps line 2 current, one ms later line 3 is current, and a
    // jump far ahead still moves one line per tick.
    lyrics.SetCurrent(2);
    EXPECT_FALSE(AdvanceCurrentLine(lyrics, 8000));
    EXPECT_EQ(lyrics.Current(), 2);
    EXPECT_TRUE(AdvanceCurrentLine(lyrics, 8001));
    EXPECT_EQ(lyrics.Current(), 3);
    EXPECT_TRUE(AdvanceCurrentLine(lyrics, 9000000));
    EXPECT_EQ(lyrics.Current(), 4);
    int ticks = 0;
    while (AdvanceCurrentLine(lyrics, 9000000)) ++ticks;
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(lyrics.Current(), lyrics.LastIndex());
    EXPECT_FALSE(AdvanceCurrentLine(empty, 9000000));
}

TEST(LyricsShift, ClampsKeepsBlankAndTrailerAndRelocates)
{
    CLyrics lyrics = Parsed("[00:00.30]a\n[00:10.00]b");
    lyrics.ApplyStoredOffset();
    lyrics.Shift(500, 10000);   // lines come 0.5 s earlier
    EXPECT_EQ(LinesOf(lyrics), (std::vector<Line> {{0, "a"}, {9500, "b"}, {5989500, ""}, {5999999, kTrailer}}));
    EXPECT_EQ(lyrics.Current(), 1);   // 10000 lies past line 1
    EXPECT_EQ(lyrics.TotalShift(), 500);

    CLyrics later = Parsed("[00:00.30]a\n[00:10.00]b");
    later.Shift(-500, 10000);   // lines come 0.5 s later
    EXPECT_EQ(LinesOf(later), (std::vector<Line> {{800, "a"}, {10500, "b"}, {5990500, ""}, {5999999, kTrailer}}));
    EXPECT_EQ(later.Current(), 0);

    // The leading blank stays at 0 whichever way the lines move.
    CLyrics blank = Parsed("[00:05.00]a");
    blank.Shift(-2000, 0);
    blank.Shift(1000, 0);
    EXPECT_EQ(blank.TimeAt(0), 0u);
    EXPECT_EQ(blank.TimeAt(1), 6000u);
    EXPECT_EQ(blank.TotalShift(), -1000);

    // Without timed lines there is nothing to shift and nothing to store.
    CLyrics none = Parsed("no tags");
    none.Shift(500, 0);
    EXPECT_EQ(none.TotalShift(), 0);
    EXPECT_EQ(none.TimeAt(0), 99999u);
    EXPECT_TRUE(none.Serialise().isEmpty());
}

TEST(LyricsShift, StoredOffsetIsAppliedOncePerParse)
{
    CLyrics lyrics = Parsed("[DeltalTime:1500]\n[00:01.00]a\n[00:05.00]b");
    EXPECT_TRUE(lyrics.ApplyStoredOffset());
    EXPECT_EQ(LinesOf(lyrics), (std::vector<Line> {{0, "a"}, {3500, "b"}, {5988500, ""}, {5999999, kTrailer}}));
    // The load message again, as when playing resumes after a pause: nothing moves.
    EXPECT_FALSE(lyrics.ApplyStoredOffset());
    EXPECT_FALSE(lyrics.ApplyStoredOffset());
    EXPECT_EQ(lyrics.TimeAt(1), 3500u);
    EXPECT_EQ(lyrics.TotalShift(), 0);

    // A new parse applies its offset again, once.
    lyrics.Parse(QStringLiteral("[DeltalTime:-1000]\n[00:05.00]b"));
    EXPECT_TRUE(lyrics.ApplyStoredOffset());
    EXPECT_EQ(lyrics.TimeAt(1), 6000u);

    // A shift before the load message applies the pending offset first.
    CLyrics early = Parsed("[DeltalTime:1000]\n[00:05.00]b");
    early.Shift(500, 0);
    EXPECT_EQ(early.TimeAt(1), 3500u);
    EXPECT_FALSE(early.ApplyStoredOffset());
}

TEST(LyricsSerialise, AdjustmentsRoundTripThroughTheStoredText)
{
    const QString loaded = QStringLiteral("[ti:歌名]\n[ar:歌手]\n[00:00.20]one\n[00:03.50]two\n[01:02.03][00:10.50]双\n");
    CLyrics lyrics = Parsed(loaded);
    lyrics.ApplyStoredOffset();
    const std::vector<Line> asLoaded = LinesOf(lyrics);

    lyrics.Shift(500, 0);    // "歌词前进0.5秒" twice, "歌词后退0.5秒" once
    lyrics.Shift(500, 0);
    lyrics.Shift(-500, 0);
    const std::vector<Line> asLeft = LinesOf(lyrics);
    const QString stored = lyrics.Serialise();

    // The first line carries the adjustment; the time tags are those of the text as loaded,
    // but for the line at 200 ms that the first shift clamped to 0; the ID tags are kept.
    EXPECT_EQ(stored, QStringLiteral("[DeltalTime:500]\n[ti:歌名]\n[ar:歌手]\n[00:01.00]one\n[00:03.50]two\n"
                                     "[00:10.50]双\n[01:02.03]双\n"));
    EXPECT_EQ(lyrics.TotalShift(), 0);
    EXPECT_EQ(lyrics.Offset(), 0);

    // Loading the stored text puts every line where the user left it.
    CLyrics again = Parsed(stored);
    EXPECT_EQ(again.Offset(), 500);
    again.ApplyStoredOffset();
    EXPECT_EQ(LinesOf(again), asLeft);

    // More cycles on top: the text neither grows nor drifts.
    again.Shift(-500, 0);
    const QString stored2 = again.Serialise();
    EXPECT_EQ(stored2, QStringLiteral("[DeltalTime:0]\n[ti:歌名]\n[ar:歌手]\n[00:01.00]one\n[00:03.50]two\n"
                                      "[00:10.50]双\n[01:02.03]双\n"));
    CLyrics third = Parsed(stored2);
    third.ApplyStoredOffset();
    std::vector<Line> back = asLoaded;
    back[0].time = 1000;   // the clamped line stays where the first store put it
    EXPECT_EQ(LinesOf(third), back);
}

TEST(LyricsSerialise, LeadingBlankLateLinesAndNegativeTotals)
{
    // A line at the end line's time is written as [99:50.00]; the leading blank is written as
    // [00:00.00] and comes back as the same blank.
    CLyrics lyrics = Parsed("[00:04.00]a\n[99:50.00]late");
    lyrics.Shift(-500, 0);
    lyrics.Shift(500, 0);
    lyrics.Shift(-1000, 0);
    const QString stored = lyrics.Serialise();
    EXPECT_EQ(stored, QStringLiteral("[DeltalTime:-1000]\n[00:00.00]\n[00:04.00]a\n[99:50.00]late\n"));
    CLyrics again = Parsed(stored);
    again.ApplyStoredOffset();
    EXPECT_EQ(LinesOf(again),
              (std::vector<Line> {{0, ""}, {5000, "a"}, {5991000, "late"}, {5991000, ""}, {5999999, kTrailer}}));

    // A line that the stored offset clamped to 0 is stored so that it comes back where the user
    // left it.
    CLyrics clamped = Parsed("[DeltalTime:3000]\n[00:01.00]a\n[00:09.00]b");
    clamped.ApplyStoredOffset();
    clamped.Shift(-500, 0);
    const QString text = clamped.Serialise();
    EXPECT_EQ(text, QStringLiteral("[DeltalTime:2500]\n[00:03.00]a\n[00:09.00]b\n"));
    CLyrics reloaded = Parsed(text);
    reloaded.ApplyStoredOffset();
    EXPECT_EQ(Body(reloaded), (std::vector<Line> {{500, "a"}, {6500, "b"}}));
}

TEST(LyricsText, ServiceFormAndCopyText)
{
    CLyrics lyrics;
    lyrics.Parse(NormaliseServiceLyrics(QStringLiteral("[00:01.00][00:05.00]la")));
    EXPECT_EQ(Body(lyrics), (std::vector<Line> {{1000, ""}, {5000, "la"}}));
    lyrics.Parse(NormaliseServiceLyrics(QStringLiteral("[[00:01.00]x")));
    EXPECT_EQ(Body(lyrics), (std::vector<Line> {{1000, "x"}}));

    lyrics.Parse(QStringLiteral("[00:03.00]a\n[00:04.00].  .  .  .  .  .\n[00:05.00]\n[00:06.00]b"));
    EXPECT_EQ(lyrics.CopyText(), QStringLiteral("\r\na\r\n\r\nb\r\n\r\n本歌词来源于互联网\r\n"));
}

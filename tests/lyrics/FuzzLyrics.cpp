// Any text, as LRC or as a service reply's lyric content, parses without a crash or a hang, and
// the model it gives keeps its shape through locating, shifting and storing.
#include "lyrics/CLyrics.h"
#include "net/proto/ServiceReplies.h"

#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kReparseLimit = 256 * 1024;

void Require(bool ok)
{
    if (!ok) std::abort();
}

void CheckShape(const CLyrics& lyrics)
{
    Require(lyrics.LineCount() > 0);
    Require(lyrics.LastIndex() == lyrics.LineCount() - 1);
    Require(lyrics.Current() >= 0 && lyrics.Current() <= lyrics.LastIndex());
    if (!lyrics.HasTimedLines()) {
        Require(lyrics.LineCount() == 1 && lyrics.TimeAt(0) == CLyrics::kNoLyricsTime);
        return;
    }
    const int last = lyrics.LastIndex();
    Require(lyrics.TimeAt(last) == CLyrics::kTrailerTime && lyrics.TextAt(last) == CLyrics::TrailerText());
    Require(lyrics.TextAt(last - 1).isEmpty());
}

void CheckSorted(const CLyrics& lyrics)
{
    for (int i = 1; i + 1 < lyrics.LastIndex(); ++i) Require(lyrics.TimeAt(i - 1) <= lyrics.TimeAt(i));
}

void Exercise(CLyrics& lyrics)
{
    CheckShape(lyrics);
    CheckSorted(lyrics);
    lyrics.ApplyStoredOffset();
    for (qint64 pos : {qint64(-1), qint64(61234), qint64(1) << 40}) {
        lyrics.Locate(pos);
        for (int i = 0; i < 4; ++i) AdvanceCurrentLine(lyrics, pos);
        CheckShape(lyrics);
    }
    lyrics.Shift(500, 3000);
    lyrics.Shift(-1500, 70000);
    CheckShape(lyrics);
    (void)lyrics.CopyText();
}

} // namespace

// The first byte chooses the form of the rest: bit 0 set, a service reply's lyric content
// (UTF-8); else bit 1 set, an LRC text in UTF-8; else an LRC text in UTF-16.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    const QByteArrayView bytes(data + 1, qsizetype(size - 1));

    QString text;
    if (mode & 1) {
        text = NormaliseServiceLyrics(QString::fromUtf8(bytes));
    } else if (mode & 2) {
        text = QString::fromUtf8(bytes);
    } else {
        text.resize(bytes.size() / 2);
        std::memcpy(text.data(), bytes.data(), size_t(text.size()) * 2);
    }

    CLyrics lyrics;
    lyrics.Parse(text);
    if (text.isEmpty()) {
        Require(lyrics.LineCount() == 0 && !lyrics.IsReady());
        return 0;
    }
    Require(lyrics.IsReady());
    Exercise(lyrics);

    const QString stored = lyrics.Serialise();
    // Empty without timed lines, and for the rare text whose stored form would be too large.
    if (!lyrics.HasTimedLines()) Require(stored.isEmpty());
    // The stored form of a big text is a big text again; parsing it once more would only double
    // the cost that the limit per input measures.
    if (!stored.isEmpty() && size <= kReparseLimit) {
        CLyrics reloaded;
        reloaded.Parse(stored);
        Require(reloaded.HasTimedLines());
        CheckShape(reloaded);
        CheckSorted(reloaded);
    }
    return 0;
}

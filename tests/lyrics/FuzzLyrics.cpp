// Any text, as LRC or as a service reply's lyric content, parses without a crash or a hang, and
// the model it gives keeps its shape through locating, shifting and storing.
#include "lyrics/CLyrics.h"
#include "lyrics/ServiceLyrics.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr qsizetype kMaxInput = 4 * 1024 * 1024;

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
    for (qint64 pos : {qint64(-1), qint64(0), qint64(2000), qint64(61234), qint64(5990000), qint64(1) << 40}) {
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const uint8_t mode = data[0];
    QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    // Now and then, the input repeated up to the largest reply, for the cost of big texts.
    if ((mode & 0xF0) == 0xF0 && !bytes.isEmpty()) {
        const QByteArray unit = bytes;
        while (bytes.size() + unit.size() <= kMaxInput) bytes += unit;
    }

    QString text;
    if (mode & 1) {
        text = ServiceLyricsToLrc(bytes);
    } else {
        text.resize(bytes.size() / 2);
        std::memcpy(text.data(), bytes.constData(), size_t(text.size()) * 2);
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
    Require(stored.isEmpty() == !lyrics.HasTimedLines());
    if (!stored.isEmpty()) {
        CLyrics reloaded;
        reloaded.Parse(stored);
        Require(reloaded.HasTimedLines());
        Exercise(reloaded);
    }
    return 0;
}

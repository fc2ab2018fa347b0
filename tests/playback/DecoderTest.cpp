// The decoder alone: what it decodes, where its seeks land, and what it does with files that are
// not (or no longer) audio.
#include "playback/StreamDecoder.h"
#include "tests/common/TestUtil.h"
#include "tests/playback/PlaybackFixtures.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using playbacktest::Kind;

namespace {

// Decodes everything from the decoder's current place, channel 0 only.
std::vector<float> DecodeRest(CStreamDecoder& d, std::int64_t* firstBlockStart = nullptr)
{
    std::vector<float> mono;
    std::vector<float> block;
    bool first = true;
    while (d.Decode(block) == CStreamDecoder::Result::Data) {
        if (first && firstBlockStart) *firstBlockStart = d.BlockStart();
        first = false;
        for (size_t i = 0; i < block.size(); i += 2) mono.push_back(block[i]);
    }
    return mono;
}

std::vector<float> DecodeFor(CStreamDecoder& d, size_t frames, std::int64_t* firstBlockStart)
{
    std::vector<float> mono;
    std::vector<float> block;
    bool first = true;
    while (mono.size() < frames && d.Decode(block) == CStreamDecoder::Result::Data) {
        if (first) *firstBlockStart = d.BlockStart();
        first = false;
        for (size_t i = 0; i < block.size(); i += 2) mono.push_back(block[i]);
    }
    return mono;
}

} // namespace

TEST(StreamDecoder, DecodesWholeFilesInTheirToneTime)
{
    for (Kind kind : {Kind::CbrMp3, Kind::VbrMp3, Kind::Wma}) {
        SCOPED_TRACE(static_cast<int>(kind));
        CStreamDecoder d;
        ASSERT_EQ(d.OpenFile(playbacktest::Path(kind)), AudioError::Ok);
        EXPECT_NEAR(d.LengthMs(), 3000, 60);
        std::int64_t start = -1;
        const std::vector<float> mono = DecodeRest(d, &start);
        EXPECT_EQ(start, 0);
        // Nothing lost, nothing doubled: the whole tone, at most one codec block short.
        EXPECT_NEAR(static_cast<double>(mono.size()), 3.0 * 44100 - playbacktest::ToneOffsetSeconds(kind) * 44100,
                    2100.0);
        // Frame n is the tone at n / rate, at the start and well inside.
        for (size_t at : {size_t(0), size_t(44100), size_t(88200)}) {
            const auto t = playbacktest::ToneTime(mono, at);
            ASSERT_TRUE(t.has_value()) << at;
            EXPECT_NEAR(*t, at / 44100.0 + playbacktest::ToneOffsetSeconds(kind), 0.003) << at;
        }
        // And it ends for good.
        std::vector<float> block;
        EXPECT_EQ(d.Decode(block), CStreamDecoder::Result::End);
    }
}

TEST(StreamDecoder, SeeksLandOnTheFrameAskedFor)
{
    for (Kind kind : {Kind::CbrMp3, Kind::VbrMp3, Kind::Wma}) {
        CStreamDecoder d;
        ASSERT_EQ(d.OpenFile(playbacktest::Path(kind)), AudioError::Ok);
        std::vector<float> block;
        ASSERT_EQ(d.Decode(block), CStreamDecoder::Result::Data);
        // Forwards, backwards, back to the very start, onto a segment boundary.
        for (std::int64_t ms : {1500, 700, 2345, 0, 1200, 2600}) {
            SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " at " << ms);
            ASSERT_TRUE(d.Seek(ms));
            std::int64_t start = -1;
            const std::vector<float> mono = DecodeFor(d, 8820, &start);
            EXPECT_NEAR(start, ms * 44100 / 1000, 2);
            const auto t = playbacktest::ToneTime(mono);
            ASSERT_TRUE(t.has_value());
            EXPECT_NEAR(*t, ms / 1000.0 + playbacktest::ToneOffsetSeconds(kind), 0.05);
            // Seeks are exact here, far inside the limit.
            EXPECT_NEAR(*t, ms / 1000.0 + playbacktest::ToneOffsetSeconds(kind), 0.005);
        }
        EXPECT_FALSE(d.Seek(10000)) << "beyond the end";
        EXPECT_FALSE(d.Seek(-1));
    }
}

TEST(StreamDecoder, RefusesWhatIsNotAudioAndEndsBrokenFilesCleanly)
{
    const QDir dir(playbacktest::TempDir());
    const QString text = dir.filePath(QStringLiteral("notes.mp3"));
    ASSERT_TRUE(testutil::WriteFile(text, QByteArray("These are not the frames you are looking for.\n").repeated(200)));
    const QString empty = dir.filePath(QStringLiteral("empty.mp3"));
    ASSERT_TRUE(testutil::WriteFile(empty, QByteArray()));
    const QString html = dir.filePath(QStringLiteral("page.wma"));
    ASSERT_TRUE(testutil::WriteFile(html, "<!DOCTYPE html><html><body>" + QByteArray("<p>x</p>").repeated(500) + "</body></html>"));
    for (const QString& path : {text, empty, html, dir.filePath(QStringLiteral("missing.mp3"))}) {
        CStreamDecoder d;
        EXPECT_NE(d.OpenFile(path), AudioError::Ok) << path.toStdString();
        std::vector<float> block;
        EXPECT_EQ(d.Decode(block), CStreamDecoder::Result::End);
        EXPECT_FALSE(d.Seek(0));
    }

    // A file cut off in the middle plays up to the cut and ends.
    for (Kind kind : {Kind::CbrMp3, Kind::Wma}) {
        const QByteArray whole = testutil::ReadFile(playbacktest::Path(kind));
        const QString cut = dir.filePath(kind == Kind::Wma ? QStringLiteral("cut.wma") : QStringLiteral("cut.mp3"));
        ASSERT_TRUE(testutil::WriteFile(cut, whole.left(whole.size() * 4 / 10)));
        CStreamDecoder d;
        ASSERT_EQ(d.OpenFile(cut), AudioError::Ok);
        const std::vector<float> mono = DecodeRest(d);
        EXPECT_GT(mono.size(), 44100u * 8 / 10);
        EXPECT_LT(mono.size(), 44100u * 16 / 10);
        std::vector<float> block;
        EXPECT_EQ(d.Decode(block), CStreamDecoder::Result::End);
    }
}

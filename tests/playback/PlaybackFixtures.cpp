#include "tests/playback/PlaybackFixtures.h"

#include "tests/fixtures/Fixtures.h"

#include <QDir>
#include <QTemporaryDir>

#include <map>
#include <memory>
#include <mutex>

namespace playbacktest {

namespace {
std::mutex g_mutex;

QTemporaryDir& Dir()
{
    static QTemporaryDir dir;
    return dir;
}
} // namespace

QString TempDir() { return Dir().path(); }

QString Path(Kind kind)
{
    using namespace fixtures;
    std::lock_guard lock(g_mutex);
    static std::map<Kind, QString> made;
    if (const auto it = made.find(kind); it != made.end()) return it->second;
    const QDir dir(Dir().path());
    QString path;
    bool ok = false;
    switch (kind) {
    case Kind::CbrMp3:
        path = dir.filePath(QStringLiteral("cbr.mp3"));
        ok = WriteMp3(path, Mp3Options {.seconds = 3, .tone = Tone::Step}, Tags::Id3v2(QStringLiteral("cbr")));
        break;
    case Kind::VbrMp3:
        path = dir.filePath(QStringLiteral("vbr.mp3"));
        ok = WriteMp3(path, Mp3Options {.seconds = 3, .vbr = true, .tone = Tone::Step});
        break;
    case Kind::Wma:
        path = dir.filePath(QStringLiteral("step.wma"));
        ok = WriteWma(path, WmaOptions {.seconds = 3, .tone = Tone::Step});
        break;
    case Kind::ShortMp3:
        path = dir.filePath(QStringLiteral("short.mp3"));
        ok = WriteMp3(path, Mp3Options {.seconds = 1.5, .tone = Tone::Step});
        break;
    case Kind::ShortWma:
        path = dir.filePath(QStringLiteral("short.wma"));
        ok = WriteWma(path, WmaOptions {.seconds = 1.5, .tone = Tone::Step});
        break;
    case Kind::SineMp3:
        path = dir.filePath(QStringLiteral("sine.mp3"));
        ok = WriteMp3(path, Mp3Options {.seconds = 3, .tone = Tone::Sine, .sineHz = 440});
        break;
    case Kind::LongMp3:
        path = dir.filePath(QStringLiteral("long.mp3"));
        ok = WriteMp3(path, Mp3Options {.seconds = 30, .tone = Tone::Step});
        break;
    }
    if (!ok) return QString();
    made[kind] = path;
    return path;
}

double ToneOffsetSeconds(Kind kind)
{
    return kind == Kind::Wma || kind == Kind::ShortWma ? 2048.0 / 44100.0 : 0.0;
}

std::optional<double> ToneTime(const std::vector<float>& mono, size_t from, size_t frames)
{
    if (from >= mono.size()) return std::nullopt;
    frames = std::min(frames, mono.size() - from);
    const auto p = fixtures::LocateStepTone(mono.data() + from, frames, 1, 44100);
    if (!p) return std::nullopt;
    return p->seconds;
}

} // namespace playbacktest

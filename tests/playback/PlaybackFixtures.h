#pragma once
// Audio files shared by the playback tests, made once per test run in a temporary folder.
#include <QString>

#include <optional>
#include <vector>

namespace playbacktest {

enum class Kind {
    CbrMp3,   // 3 s step tone, 128 kbit/s
    VbrMp3,   // 3 s step tone, VBR with a Xing header
    Wma,      // 3 s step tone, WMA 2
    ShortMp3, // 1.5 s step tone
    ShortWma, // 1.5 s step tone
    SineMp3,  // 3 s of 440 Hz, told apart from the step tone by its sound
    LongMp3,  // 30 s step tone, 128 kbit/s (large enough for slow downloads)
};

QString Path(Kind kind);
QString TempDir();

// Where decoded (or played) audio of a fixture comes from in the tone's time: the step tone's
// time of frame 0. The WMA decoder leaves out the codec's first block.
double ToneOffsetSeconds(Kind kind);

// The tone time of the first sample of a mono run; nothing when it is not a usable step-tone run.
std::optional<double> ToneTime(const std::vector<float>& mono, size_t from = 0, size_t frames = 8820);

} // namespace playbacktest

#pragma once
#include <QColor>

#include <algorithm>

// The look of the default skin in one place: sizes shared by the layout and the bitmaps, and
// the colours, all in the blue scheme (the base the program tints from).
namespace skingen {

constexpr int kHeaderHeight = 60;
constexpr int kBarHeight = 76;
constexpr int kTabWidth = 80;
constexpr int kCoverSize = 200;
constexpr int kMiniHeaderHeight = 40;
constexpr int kMiniPictureSize = 248;

namespace tone {
inline const QColor kAccent{51, 151, 190};
inline const QColor kAccentDark{40, 128, 164};
inline const QColor kAccentDeep{31, 108, 140};
inline const QColor kAccentLight{214, 235, 244};
inline const QColor kAccentPale{234, 245, 250};
inline const QColor kBuffer{196, 222, 233};
inline const QColor kHeaderTop{63, 163, 201};
inline const QColor kHeaderBottom{48, 145, 184};
inline const QColor kText{43, 47, 51};
inline const QColor kTextSoft{110, 118, 126};
inline const QColor kIcon{92, 100, 108};
inline const QColor kMuted{170, 177, 184};
inline const QColor kLine{225, 229, 233};
inline const QColor kTrack{222, 227, 231};
inline const QColor kBorder{196, 205, 213};
inline const QColor kBody{243, 245, 247};
inline const QColor kPanel{240, 243, 246};
inline const QColor kSide{247, 249, 250};
inline const QColor kHover{236, 240, 243};
inline const QColor kWhite{255, 255, 255};
inline const QColor kHeart{232, 72, 92};
inline const QColor kBarDark{38, 42, 48};
inline const QColor kBarDarkLine{72, 78, 86};
} // namespace tone

// The header's vertical gradient at row y of a header `height` tall.
inline QColor HeaderColor(int y, int height)
{
    const double t = height > 1 ? std::clamp(double(y) / (height - 1), 0.0, 1.0) : 0.0;
    auto mix = [t](int a, int b) { return int(a + (b - a) * t + 0.5); };
    return QColor(mix(tone::kHeaderTop.red(), tone::kHeaderBottom.red()),
                  mix(tone::kHeaderTop.green(), tone::kHeaderBottom.green()),
                  mix(tone::kHeaderTop.blue(), tone::kHeaderBottom.blue()));
}

} // namespace skingen

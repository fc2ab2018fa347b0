#pragma once
#include <QRgb>

#include <cstdint>

// A colour in the filter's packed HSV form: value in bits 16-23, saturation in bits 8-15 and hue
// in bits 0-7, each 0-255 (the hue scaled from 0-360 degrees).
using PackedHsv = std::uint32_t;

constexpr int HsvHue(PackedHsv hsv) { return int(hsv & 0xFF); }
constexpr int HsvSat(PackedHsv hsv) { return int((hsv >> 8) & 0xFF); }
constexpr int HsvVal(PackedHsv hsv) { return int((hsv >> 16) & 0xFF); }
constexpr PackedHsv MakeHsv(int h, int s, int v)
{
    return PackedHsv((v & 0xFF) << 16 | (s & 0xFF) << 8 | (h & 0xFF));
}

// Hexcone conversions between RGB (alpha ignored) and the packed form.
PackedHsv RgbToHsv(QRgb rgb);
QRgb HsvToRgb(PackedHsv hsv); // opaque

// Tints colours by moving their hue and value by the distance from `base` to `target`, keeping
// their saturation. Black and white never change, so text and highlights keep their contrast.
// When the target is the base itself the filter leaves every colour exactly as it is: the skin
// is drawn in the base colour, and a round trip through 8-bit HSV would otherwise shift it.
class CQPGColorFilterShiftRGB {
public:
    CQPGColorFilterShiftRGB(QRgb base, PackedHsv target);

    // Tints `color` in place; its alpha is kept.
    void ApplyColor(QRgb& color) const;
    bool IsIdentity() const { return m_identity; }

private:
    PackedHsv m_base;
    PackedHsv m_target;
    bool m_identity;
};

#include "ui/CQPGColorFilterShiftRGB.h"

#include <algorithm>
#include <cmath>

namespace {

int ToByte(double unit) { return std::clamp(int(std::lround(unit * 255.0)), 0, 255); }

} // namespace

PackedHsv RgbToHsv(QRgb rgb)
{
    const double r = qRed(rgb) / 255.0, g = qGreen(rgb) / 255.0, b = qBlue(rgb) / 255.0;
    const double max = std::max({r, g, b}), min = std::min({r, g, b});
    const double delta = max - min;
    const double s = (max == 0.0 || delta == 0.0) ? 0.0 : delta / max;
    double h = 0.0;
    if (delta != 0.0) {
        if (max == r) h = 60.0 * (g - b) / delta;
        else if (max == g) h = 60.0 * (b - r) / delta + 120.0;
        else h = 60.0 * (r - g) / delta + 240.0;
        if (h < 0.0) h += 360.0;
    }
    return MakeHsv(std::clamp(int(std::lround(h * 255.0 / 360.0)), 0, 255), ToByte(s), ToByte(max));
}

QRgb HsvToRgb(PackedHsv hsv)
{
    const double v = HsvVal(hsv) / 255.0, s = HsvSat(hsv) / 255.0;
    if (HsvSat(hsv) == 0) return qRgb(ToByte(v), ToByte(v), ToByte(v));
    const double degrees = HsvHue(hsv) * 360.0 / 255.0;
    // A packed hue of 255 is 360 degrees, the same colour as 0.
    const int sector = int(std::floor(degrees / 60.0)) % 6;
    const double f = degrees / 60.0 - std::floor(degrees / 60.0);
    const double p = v * (1.0 - s), q = v * (1.0 - s * f), t = v * (1.0 - s * (1.0 - f));
    double r = v, g = t, b = p;
    switch (sector) {
    case 0: r = v; g = t; b = p; break;
    case 1: r = q; g = v; b = p; break;
    case 2: r = p; g = v; b = t; break;
    case 3: r = p; g = q; b = v; break;
    case 4: r = t; g = p; b = v; break;
    default: r = v; g = p; b = q; break;
    }
    return qRgb(ToByte(r), ToByte(g), ToByte(b));
}

CQPGColorFilterShiftRGB::CQPGColorFilterShiftRGB(QRgb base, PackedHsv target)
    : m_base(RgbToHsv(base)), m_target(target), m_identity(m_base == target)
{
}

void CQPGColorFilterShiftRGB::ApplyColor(QRgb& color) const
{
    if (m_identity) return;
    const QRgb rgb = color & 0xFFFFFF;
    if (rgb == 0 || rgb == 0xFFFFFF) return;
    const PackedHsv c = RgbToHsv(color);
    // The hue goes round the circle. The value saturates instead of wrapping: wrapped, a
    // near-black shifted down by a few steps would come out near-white.
    const int hue = std::min(((HsvHue(m_target) + HsvHue(c) - HsvHue(m_base)) % 256 + 256) % 256, 254);
    const int val = std::clamp(HsvVal(m_target) + HsvVal(c) - HsvVal(m_base), 0, 254);
    color = (HsvToRgb(MakeHsv(hue, HsvSat(c), val)) & 0xFFFFFF) | (color & 0xFF000000);
}

#include "playback/PeakEqualizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// Gains closer to 0 dB than this are inaudible and treated as flat.
constexpr float kFlatDb = 0.01f;
// Filter history below this is noise; flushing it keeps denormals out of silent passages.
constexpr double kTiny = 1e-25;
} // namespace

CPeakEqualizer::CPeakEqualizer(int rate, int channels)
    : m_rate(rate), m_channels(std::clamp(channels, 1, kMaxChannels))
{
    for (int i = 0; i < kBands; ++i) {
        m_filters[i].params.band = i;
        m_filters[i].params.centerHz = kCenters[i];
        m_filters[i].params.bandwidthOctaves = 2.5f;
        m_filters[i].params.gainDb = 0.0f;
    }
}

bool CPeakEqualizer::SetBand(const PeakEqBand& band)
{
    if (band.band < 0 || band.band >= kBands) return false;
    if (!(band.centerHz > 0) || !(band.bandwidthOctaves > 0) || !std::isfinite(band.gainDb)) return false;
    Filter& f = m_filters[band.band];
    const bool wasActive = f.active;
    f.params = band;
    Design(f);
    if (!wasActive) f.z = {};
    return true;
}

PeakEqBand CPeakEqualizer::Band(int band) const
{
    return band >= 0 && band < kBands ? m_filters[band].params : PeakEqBand {};
}

bool CPeakEqualizer::IsFlat() const
{
    return std::none_of(m_filters.begin(), m_filters.end(), [](const Filter& f) { return f.active; });
}

void CPeakEqualizer::Design(Filter& f) const
{
    const double nyquist = m_rate / 2.0;
    f.active = std::fabs(f.params.gainDb) >= kFlatDb && f.params.centerHz < nyquist;
    if (!f.active) return;
    // The peaking filter of the audio-EQ cookbook, bandwidth in octaves.
    const double a = std::pow(10.0, f.params.gainDb / 40.0);
    const double w0 = 2.0 * std::numbers::pi * f.params.centerHz / m_rate;
    const double sw = std::sin(w0);
    const double cw = std::cos(w0);
    const double alpha = sw * std::sinh(std::numbers::ln2 / 2.0 * f.params.bandwidthOctaves * w0 / sw);
    const double a0 = 1.0 + alpha / a;
    f.b0 = (1.0 + alpha * a) / a0;
    f.b1 = -2.0 * cw / a0;
    f.b2 = (1.0 - alpha * a) / a0;
    f.a1 = -2.0 * cw / a0;
    f.a2 = (1.0 - alpha / a) / a0;
}

void CPeakEqualizer::Process(float* frames, int count)
{
    if (count <= 0) return;
    for (Filter& f : m_filters) {
        if (!f.active) continue;
        for (int c = 0; c < m_channels; ++c) {
            double z1 = f.z[c][0];
            double z2 = f.z[c][1];
            float* p = frames + c;
            for (int i = 0; i < count; ++i, p += m_channels) {
                const double x = *p;
                const double y = f.b0 * x + z1;
                z1 = f.b1 * x - f.a1 * y + z2;
                z2 = f.b2 * x - f.a2 * y;
                *p = static_cast<float>(y);
            }
            f.z[c][0] = std::fabs(z1) < kTiny ? 0.0 : z1;
            f.z[c][1] = std::fabs(z2) < kTiny ? 0.0 : z2;
        }
    }
}

void CPeakEqualizer::Reset()
{
    for (Filter& f : m_filters) f.z = {};
}

#include "playback/PeakEqualizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

std::vector<float> Sine(double hz, int frames, double amplitude = 0.5)
{
    std::vector<float> x(static_cast<size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const float v = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * i / 44100.0));
        x[i * 2] = v;
        x[i * 2 + 1] = -v;
    }
    return x;
}

// Gain in dB of the second half (steady state) against the input's amplitude, both channels.
double GainDb(CPeakEqualizer& eq, double hz)
{
    std::vector<float> x = Sine(hz, 44100);
    eq.Reset();
    eq.Process(x.data(), 44100);
    double left = 0, right = 0;
    for (int i = 22050; i < 44100; ++i) {
        left += double(x[i * 2]) * x[i * 2];
        right += double(x[i * 2 + 1]) * x[i * 2 + 1];
    }
    const double ref = 0.25 / 2 * 22050;
    EXPECT_NEAR(left, right, left * 1e-3) << "channels filtered alike";
    return 10 * std::log10(left / ref);
}

} // namespace

TEST(PeakEqualizer, FlatIsUntouchedAndBandsPeakAtTheirCentres)
{
    CPeakEqualizer eq(44100, 2);
    EXPECT_TRUE(eq.IsFlat());
    std::vector<float> x = Sine(1000, 4410);
    const std::vector<float> before = x;
    for (int i = 0; i < CPeakEqualizer::kBands; ++i) {
        EXPECT_TRUE(eq.SetBand({.band = i, .centerHz = CPeakEqualizer::kCenters[i], .bandwidthOctaves = 2.5f, .gainDb = 0}));
    }
    eq.Process(x.data(), 4410);
    EXPECT_EQ(x, before) << "a flat equaliser is not computed at all";

    ASSERT_TRUE(eq.SetBand({.band = 4, .centerHz = 1000, .bandwidthOctaves = 2.5f, .gainDb = 6}));
    ASSERT_TRUE(eq.SetBand({.band = 0, .centerHz = 80, .bandwidthOctaves = 2.5f, .gainDb = -4}));
    EXPECT_FALSE(eq.IsFlat());
    EXPECT_NEAR(GainDb(eq, 1000), 6.0, 0.3);
    EXPECT_NEAR(GainDb(eq, 80), -4.0, 0.3);
    EXPECT_NEAR(GainDb(eq, 12000), 0.0, 0.5); // far from both bands
    EXPECT_EQ(eq.Band(4).gainDb, 6.0f);

    // Back to 0 dB: flat again, and free.
    ASSERT_TRUE(eq.SetBand({.band = 4, .centerHz = 1000, .bandwidthOctaves = 2.5f, .gainDb = 0}));
    ASSERT_TRUE(eq.SetBand({.band = 0, .centerHz = 80, .bandwidthOctaves = 2.5f, .gainDb = 0}));
    EXPECT_TRUE(eq.IsFlat());

    EXPECT_FALSE(eq.SetBand({.band = 10}));
    EXPECT_FALSE(eq.SetBand({.band = -1}));
    EXPECT_FALSE(eq.SetBand({.band = 3, .centerHz = 600, .gainDb = std::nanf("")}));
}

TEST(PeakEqualizer, HighBandsStayStableOnNoise)
{
    CPeakEqualizer eq(44100, 2);
    for (int i = 0; i < CPeakEqualizer::kBands; ++i) {
        ASSERT_TRUE(eq.SetBand({.band = i, .centerHz = CPeakEqualizer::kCenters[i], .bandwidthOctaves = 2.5f,
                                .gainDb = (i % 2) ? 12.0f : -12.0f}));
    }
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    std::vector<float> x(44100 * 2 * 5);
    for (float& v : x) v = noise(rng);
    eq.Process(x.data(), 44100 * 5);
    for (float v : x) ASSERT_TRUE(std::isfinite(v) && std::fabs(v) < 50.0f);
    // Then silence decays to silence (no ringing on, no denormal crawl).
    std::vector<float> quiet(44100 * 2, 0.0f);
    eq.Process(quiet.data(), 44100);
    EXPECT_LT(std::fabs(quiet.back()), 1e-6f);
}

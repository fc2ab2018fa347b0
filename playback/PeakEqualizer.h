#pragma once
#include "playback/AudioBackend.h"

#include <array>

// Ten peaking bands over interleaved float frames (one filter per band and channel). A band at
// 0 dB is skipped, so a flat equaliser costs nothing; a changed gain takes effect from the next
// block on. Not thread-safe: one thread sets and processes.
class CPeakEqualizer {
public:
    static constexpr int kBands = 10;
    static constexpr int kMaxChannels = 2;
    // The centre frequencies of bands 0 to 9, 2.5 octaves wide each.
    static constexpr std::array<float, kBands> kCenters {80, 170, 320, 600, 1000, 3000, 6000, 12000, 14000, 16000};

    CPeakEqualizer(int rate, int channels);

    // False for a band number out of range.
    bool SetBand(const PeakEqBand& band);
    PeakEqBand Band(int band) const;
    bool IsFlat() const;

    void Process(float* frames, int count);
    // Forgets the filters' history (after a seek, so nothing of the old place rings on).
    void Reset();

private:
    struct Filter {
        PeakEqBand params;
        bool active = false;
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        std::array<std::array<double, 2>, kMaxChannels> z {};
    };
    void Design(Filter& f) const;

    int m_rate;
    int m_channels;
    std::array<Filter, kBands> m_filters;
};

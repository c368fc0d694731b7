// Pulse heights of a radioactive source as a board's channels see it: a
// photopeak, its Compton continuum and a falling background, smeared by the
// detector's resolution, a share of pulses far over range, a pedestal noise
// for channels that saw no pulse, and a fixed gain spread between channels.
//
// The shape is worked out once into a table of quantiles of the amplitude
// distribution, so that a draw is one random number and two table reads: the
// emulator must produce data faster than any link can carry it. Heights stay
// real numbers until the board has applied every gain and offset, so that
// spectra show no comb from rounding twice.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "DrelmEmulator.h"

namespace drelm::emu {

class SpectrumSource {
public:
    static constexpr uint32_t kMaxChannels = 64;
    // Amplitudes above this (14-bit full scale) saturate.
    static constexpr uint32_t kFullScale = 0x3FFF;
    // Table value of a pulse far over range, whatever the gain.
    static constexpr float kOverRange = 65536.0f;

    SpectrumSource(const BoardConfig& config, uint64_t seed);

    struct Sample {
        bool hit;       // the channel saw a pulse
        double height;  // its height with the channel's gain, 0 without a pulse
        uint32_t noise; // pedestal noise, 0 to 3
    };

    // One sample from 32 random bits: the low 16 bits pick a place in the
    // table (its first pedestalCut_ places stand for no pulse), the high 16
    // bits interpolate to the next place.
    Sample Draw(uint32_t channel, uint32_t random) const {
        const uint32_t index = random & 0xFFFF;
        const uint32_t frac = random >> 16;
        if (index < pedestalCut_) return {false, 0.0, frac & 3};
        const float low = quantiles_[index];
        const float high = quantiles_[index + 1];
        // The last place below the over-range ones must not spread its
        // draws across the whole range on the way up.
        if (high >= kOverRange) return {true, double{kOverRange}, frac & 3};
        const double height = low + (double{high} - low) * frac * 0x1.0p-16;
        return {true, height * gain_[channel & (kMaxChannels - 1)], frac & 3};
    }

private:
    // Quantiles of the hits over table places [pedestalCut_, 65536].
    void BuildQuantiles(const BoardConfig& config);

    std::vector<float> quantiles_;               // 65537 entries, non-decreasing
    std::array<double, kMaxChannels> gain_{};    // 1.0 nominal
    uint32_t pedestalCut_ = 0;                   // of 65536: draws without a pulse
};

}  // namespace drelm::emu

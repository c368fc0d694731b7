// Pulse heights of a radioactive source as a board's channels see it: a
// photopeak, its Compton continuum and a falling background, smeared by the
// detector's resolution, with a pedestal for channels that saw no pulse and
// a fixed gain spread between channels.
//
// The shape is worked out once into a table of quantiles of the amplitude
// distribution, so that a draw is one random number and two table reads: the
// emulator must produce data faster than any link can carry it.
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

    SpectrumSource(const BoardConfig& config, uint64_t seed);

    // One amplitude on the 14-bit scale from 32 random bits; above
    // kFullScale means saturated. The low 16 bits pick a place in the
    // table (its first pedestalCut_ places stand for the pedestal), the high
    // 16 bits interpolate to the next place.
    uint32_t Draw(uint32_t channel, uint32_t random) const {
        const uint32_t index = random & 0xFFFF;
        const uint32_t frac = random >> 16;
        if (index < pedestalCut_) return pedestal_ + (frac & 3);
        const uint32_t low = quantiles_[index];
        const uint32_t high = quantiles_[index + 1];
        const uint32_t height = low + (((high - low) * frac) >> 16);
        return static_cast<uint32_t>((uint64_t{height} * gain_[channel & (kMaxChannels - 1)]) >> 16);
    }

private:
    // Quantiles of the hits over table places [pedestalCut_, 65536].
    void BuildQuantiles(const BoardConfig& config);

    std::vector<uint16_t> quantiles_;               // 65537 entries, non-decreasing
    std::array<uint32_t, kMaxChannels> gain_{};     // 65536 = 1.0
    uint32_t pedestalCut_ = 0;                      // of 65536: draws that read the pedestal
    uint32_t pedestal_ = 0;
};

}  // namespace drelm::emu

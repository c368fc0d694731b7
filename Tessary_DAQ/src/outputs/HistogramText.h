// Lines of a histogram file: the bin number right-aligned in 7 characters,
// a tab, the bin's count right-aligned in 12 characters.
#pragma once

#include <cstddef>
#include <cstdint>

#include "TextColumns.h"

namespace tessary {

inline constexpr std::size_t kHistogramBinWidth = 7;
inline constexpr std::size_t kHistogramCountWidth = 12;
inline constexpr std::size_t kHistogramLineMax = kHistogramBinWidth + 1 + kMaxDecimalDigits + 1;

// Bins written for a board: 2^(14 - spectrumShift), 16384 down to 1024; a
// shift outside 0 to 4 is taken as the nearest of them.
inline int SpectrumBins(int spectrumShift) {
    const int shift = spectrumShift < 0 ? 0 : spectrumShift > 4 ? 4 : spectrumShift;
    return 1 << (14 - shift);
}

// A bin's count as a whole number, truncated. Counts are never negative; a
// negative or undefined one is written as 0 and one beyond 64 bits as the
// largest, rather than converting out of range.
inline uint64_t WholeCount(double count) {
    if (!(count >= 0.0)) return 0;
    if (count >= 18446744073709551616.0) return UINT64_MAX;
    return static_cast<uint64_t>(count);
}

// Writes one line (room for kHistogramLineMax) and returns its length.
inline std::size_t HistogramLine(char* out, int bin, double count) {
    std::size_t n = PutRightAligned(out, kHistogramBinWidth, static_cast<uint64_t>(bin < 0 ? 0 : bin));
    out[n++] = '\t';
    n += PutRightAligned(out + n, kHistogramCountWidth, WholeCount(count));
    out[n++] = '\n';
    return n;
}

}  // namespace tessary

// What a run acquired from one board, for its summary and the records
// that the output files keep of it.
#pragma once

#include <cstdint>

namespace tessary {

// What a run acquired from one board over all its periods of acquisition.
struct BoardTotals {
    uint64_t events = 0;
    uint64_t bytes = 0;
    uint64_t triggers = 0;      // events and the triggers lost between them
    uint64_t triggersLost = 0;  // from gaps in the 24-bit trigger index, wraps counted
    uint64_t pileUp = 0;
    uint64_t saturated = 0;     // saturated amplitude words
    // The board's time counters, in their units of 65536 x 8 ns, summed over
    // the periods of acquisition that ended.
    uint64_t totalUnits = 0;
    uint64_t deadUnits = 0;
};

// A board's time over the run's periods of acquisition.
struct BoardTimes {
    double realS = 0;
    double deadS = 0;
    double LiveS() const { return realS - deadS; }
};

}  // namespace tessary

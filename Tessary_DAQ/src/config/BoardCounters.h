// Per-board counters and amplitude spectra. Each board has two records: the
// current one, updated after every batch of events, and the previous one, a
// snapshot taken at each statistics print; rates are their differences.
#pragma once

#include <cstdint>
#include <memory>

#include "DaqConfig.h"

namespace tessary {

inline constexpr int kSpectrumBins = 16384;

struct BoardCounters {
    uint32_t eventsProcessed = 0;
    uint32_t eventsWithoutPileUp = 0;
    uint32_t pileUpEvents = 0;
    uint32_t readoutBytes = 0;      // wraps at 2^32; never cleared by ResetCounters
    uint64_t triggerCount = 0;      // wraps x 2^24 + trigger index of the last event
    uint64_t lastTimestamp = 0;     // 8 ns ticks
    uint32_t channelHits[kMaxChannels] = {};
    uint32_t channelSaturated[kMaxChannels] = {};
    // kSpectrumBins counts per channel, in one block owned by the record;
    // null until AllocCounterSpectra.
    double* spectrum[kMaxChannels] = {};
    std::unique_ptr<double[]> spectra;
};

// Allocates the 64 spectra of a record. 0, or 1 when the memory is not there.
int AllocCounterSpectra(BoardCounters& counters);

// Clears every counter and spectrum bin except readoutBytes. Returns 0.
int ResetCounters(BoardCounters& counters);

// The previous record takes every counter of the current one. Its spectra
// are never read, so the snapshot copies no bins.
void TakeSnapshot(const BoardCounters& current, BoardCounters& previous);

}  // namespace tessary

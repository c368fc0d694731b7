// What every batch of decoded events adds to a board's counters: the bytes
// read, the extended trigger count, the last time stamp, and per event the
// hits, saturations, pile-up and spectrum entries. This runs on every
// transfer: no allocation, no copy.
#pragma once

#include <cstdint>

#include "BoardCounters.h"
#include "DrelmTessaryLib.h"

namespace tessary {

// Per-event accounting of one batch into `counters`. An event counts up to
// its first block with the pile-up flag: the blocks before it count, that
// block and the following ones do not. Blocks up to channelCount / 16 are
// examined; a block the event does not carry has an empty channel mask (the
// decoder clears it), so nothing stale is counted. Returns 0.
int AccumulateEvents(const EventRecord* events, uint32_t count, BoardCounters& counters, int channelCount);

// A board's 24-bit trigger index extended over its wraps. The boards start
// the index again from 0 at every start of the acquisition, so this starts
// again with it (Restart), but not at a counter reset, which leaves the
// boards' index running. A wrap is seen in the batch it happens in, as the
// index of the batch's last event falling below the one before it, so a
// snapshot taken in that batch already holds the full count.
struct TriggerExtension {
    uint32_t wraps = 0;
    uint32_t lastIndex = 0;

    uint64_t Extend(uint32_t index);
    void Restart() { *this = TriggerExtension{}; }
};

// The per-batch step: bytes first, then the extended trigger count and the
// time stamp of the batch's last event, and the events. A batch that
// decoded to no events adds its bytes only: it has no last event to take
// the index and time stamp from.
void UpdateBatchCounters(uint32_t bytes, const EventRecord* events, uint32_t count, BoardCounters& current,
                         TriggerExtension& trigger, int channelCount);

}  // namespace tessary

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

// The per-batch step: bytes first, then the trigger-wrap check against the
// snapshot, the trigger count and time stamp of the batch's last event, and
// the events. A batch that decoded to no events adds its bytes only: it has
// no last event to take the index and time stamp from.
void UpdateBatchCounters(uint32_t bytes, const EventRecord* events, uint32_t count, BoardCounters& current,
                         const BoardCounters& previous, uint32_t& triggerWraps, int channelCount);

}  // namespace tessary

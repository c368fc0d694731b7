// Decoding of the board's data stream into event records. Works only on the
// caller's memory: no board, no lock, no allocation, no amplitude copied.
#pragma once

#include <cstdint>

#include "DrelmTessaryLib.h"

namespace drelm::tsy {

// Words of the event header, and of a full 16-channel block.
inline constexpr uint32_t kEventHeaderWords = 4;
inline constexpr uint32_t kBlocksPerEvent = 4;

struct DecodeResult {
    int32_t status = DRELM_TSY_Success;  // 0 or DecodeError
    uint32_t eventCount = 0;             // records written, the bad one included
};

// Decodes `words` words of `buffer` into at most `capacity` records. Never
// reads outside buffer[0, words) nor writes outside events[0, capacity).
// Fails with DecodeError (printing nothing) when an event is shorter than
// its header, when its header, a block or its size runs past `words`, or
// when the buffer holds more than `capacity` events.
DecodeResult DecodeEvents(const uint32_t* buffer, uint32_t words, EventRecord* events, uint32_t capacity);

// The diagnostics of a malformed buffer, on standard output: the last
// record's size, the buffer size, the event count and every buffer word.
void PrintDecodeDiagnostics(const uint32_t* buffer, uint32_t words, const EventRecord* events,
                            uint32_t eventCount);

}  // namespace drelm::tsy

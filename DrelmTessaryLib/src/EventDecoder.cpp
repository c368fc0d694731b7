#include "EventDecoder.h"

#include <bit>
#include <cinttypes>
#include <cstdio>

#include "ApiGuard.h"

namespace drelm::tsy {
namespace {

constexpr uint32_t kSizeMask = 0x0FFFFFFFu;
constexpr uint32_t kTriggerIndexMask = 0x00FFFFFFu;
constexpr uint32_t kTimestampHighMask = 0x00FFFF00u;

// Clears the entries from block `first` on, so that a reader that looks at
// every block sees no amplitude where this event has none.
inline void ClearBlocks(EventRecord& record, uint32_t first) {
    for (uint32_t p = first; p < kBlocksPerEvent; ++p) record.blocks[p] = EventBlock{};
}

}  // namespace

DecodeResult DecodeEvents(const uint32_t* buffer, uint32_t words, EventRecord* events, uint32_t capacity) {
    DecodeResult result;
    uint32_t position = 0;
    while (position < words) {
        if (result.eventCount == capacity) {
            result.status = DRELM_TSY_DecodeError;
            return result;
        }
        const uint32_t* event = buffer + position;
        const uint32_t left = words - position;
        EventRecord& record = events[result.eventCount++];
        record.eventSize = event[0] & kSizeMask;
        if (left < kEventHeaderWords) {
            // Only the size word lies inside the buffer.
            record.triggerIndex = 0;
            record.timestamp = 0;
            ClearBlocks(record, 0);
            result.status = DRELM_TSY_DecodeError;
            return result;
        }
        const uint32_t word1 = event[1];
        record.triggerIndex = event[2] & kTriggerIndexMask;
        record.timestamp = (uint64_t{word1 & kTimestampHighMask} << 24) | event[3];

        // Present bit of block p is bit 2p of word 1.
        uint32_t cursor = position + kEventHeaderWords;
        for (uint32_t p = 0; p < kBlocksPerEvent; ++p) {
            if (((word1 >> (2 * p)) & 1u) == 0) {
                record.blocks[p] = EventBlock{};
                continue;
            }
            if (cursor >= words) {
                ClearBlocks(record, p);
                result.status = DRELM_TSY_DecodeError;
                return result;
            }
            const uint32_t header = buffer[cursor];
            const uint32_t amplitudes = static_cast<uint32_t>(std::popcount(header & 0xFFFFu));
            const uint32_t blockWords = 1 + (amplitudes + 1) / 2;
            if (blockWords > words - cursor) {
                ClearBlocks(record, p);
                result.status = DRELM_TSY_DecodeError;
                return result;
            }
            EventBlock& block = record.blocks[p];
            block.channelMask = static_cast<uint16_t>(header);
            block.headerField = static_cast<uint16_t>((header >> 16) & 0x0FFFu);
            block.headerFlag = static_cast<uint16_t>((header >> 28) & 1u);
            block.pileUp = static_cast<uint16_t>(header >> 31);
            // The buffer holds little-endian words: the first amplitude of a
            // word is its low half, which lies first in memory.
            block.amplitudes = reinterpret_cast<const uint16_t*>(buffer + cursor + 1);
            cursor += blockWords;
        }

        // A size below the header's own would make the next event start
        // inside this one (or, at 0, never move on).
        if (record.eventSize < kEventHeaderWords || record.eventSize > left) {
            result.status = DRELM_TSY_DecodeError;
            return result;
        }
        position += record.eventSize;
        // One trailing word after the last event is ignored.
        if (position == words - 1) position = words;
    }
    return result;
}

void PrintDecodeDiagnostics(const uint32_t* buffer, uint32_t words, const EventRecord* events,
                            uint32_t eventCount) {
    const uint32_t lastSize = eventCount > 0 ? events[eventCount - 1].eventSize : 0;
    std::printf("size written in last event: %" PRIu32 "\n", lastSize);
    std::printf("buffer size: %" PRIu32 "\n", words);
    std::printf("Number of decoded events in the buffer: %" PRIu32 "\n", eventCount);
    for (uint32_t i = 0; i < words; ++i) std::printf("buffer word %" PRIu32 ": %" PRIx32 "\n", i, buffer[i]);
    std::fflush(stdout);
}

}  // namespace drelm::tsy

using namespace drelm::tsy;

extern "C" int32_t DRELM_TSY_GetEvents(int32_t /*handle*/, const uint32_t* buffer, uint32_t words,
                                       EventRecord* events, uint32_t* eventCount) {
    return Guarded([&] {
        if (buffer == nullptr || events == nullptr || eventCount == nullptr) return int32_t{DRELM_TSY_InvalidParam};
        const DecodeResult result = DecodeEvents(buffer, words, events, DRELM_TSY_MAX_EVENTS_PER_TRANSFER);
        *eventCount = result.eventCount;
        if (result.status != DRELM_TSY_Success)
            PrintDecodeDiagnostics(buffer, words, events, result.eventCount);
        return result.status;
    });
}

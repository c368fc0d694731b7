#include "Accounting.h"

#include <bit>

namespace tessary {
namespace {

constexpr int kChannelsPerBlock = 16;
constexpr uint64_t kTriggerIndexRange = uint64_t{1} << 24;
constexpr uint16_t kAmplitudeBits = 0x3FFF;

// What a word adds to its spectrum bin: 1, or 0 when saturated, so that
// the loop needs no branch.
constexpr double kEntry[2] = {1.0, 0.0};

inline void AccumulateWord(uint16_t word, int ch, BoardCounters& c) {
    const uint32_t saturated = word >> 15;
    ++c.channelHits[ch];
    c.channelSaturated[ch] += saturated;
    c.spectrum[ch][word & kAmplitudeBits] += kEntry[saturated];
}

// The amplitudes of one block into the channels' counters and spectra.
inline void AccumulateBlock(const EventBlock& block, int firstChannel, BoardCounters& c) {
    const uint16_t* amplitude = block.amplitudes;
    if (amplitude == nullptr) return;
    if (block.channelMask == 0xFFFF) {
        // Every channel present, the common case: no bit search, and the
        // counters in loops of their own that the compiler vectorises.
        uint32_t* hits = c.channelHits + firstChannel;
        uint32_t* saturated = c.channelSaturated + firstChannel;
        for (int k = 0; k < kChannelsPerBlock; ++k) ++hits[k];
        for (int k = 0; k < kChannelsPerBlock; ++k) saturated[k] += amplitude[k] >> 15;
        for (int k = 0; k < kChannelsPerBlock; ++k)
            c.spectrum[firstChannel + k][amplitude[k] & kAmplitudeBits] += kEntry[amplitude[k] >> 15];
        return;
    }
    for (uint32_t mask = block.channelMask; mask != 0; mask &= mask - 1)
        AccumulateWord(*amplitude++, firstChannel + std::countr_zero(mask), c);
}

}  // namespace

int AccumulateEvents(const EventRecord* events, uint32_t count, BoardCounters& c, int channelCount) {
    const int blocks = channelCount / kChannelsPerBlock;
    for (const EventRecord* e = events; e != events + count; ++e) {
        ++c.eventsProcessed;
        for (int j = 0; j < blocks && j < 4; ++j) {
            const EventBlock& block = e->blocks[j];
            if (block.pileUp) {
                ++c.pileUpEvents;
                break;
            }
            if (j == 0) ++c.eventsWithoutPileUp;
            AccumulateBlock(block, kChannelsPerBlock * j, c);
        }
    }
    return 0;
}

uint64_t TriggerExtension::Extend(uint32_t index) {
    index &= kTriggerIndexRange - 1;
    if (index < lastIndex) ++wraps;
    lastIndex = index;
    return uint64_t{wraps} * kTriggerIndexRange + index;
}

void UpdateBatchCounters(uint32_t bytes, const EventRecord* events, uint32_t count, BoardCounters& current,
                         TriggerExtension& trigger, int channelCount) {
    current.readoutBytes += bytes;
    if (count == 0) return;
    const EventRecord& last = events[count - 1];
    current.triggerCount = trigger.Extend(last.triggerIndex);
    current.lastTimestamp = last.timestamp;
    AccumulateEvents(events, count, current, channelCount);
}

}  // namespace tessary

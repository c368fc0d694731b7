// Test support: builds events in the board's wire format, word by word, and
// holds them in buffers of exactly their size so that a sanitizer catches
// any read past the end.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "DrelmTessaryLib.h"

namespace tessary_test {

constexpr uint32_t kRecords = DRELM_TSY_MAX_EVENTS_PER_TRANSFER;

// A full record array, filled with a pattern no decoder writes by chance.
inline std::vector<EventRecord> PatternedRecords() {
    std::vector<EventRecord> records(kRecords);
    std::memset(records.data(), 0xA5, records.size() * sizeof(EventRecord));
    return records;
}

struct BlockShape {
    uint16_t channelMask = 0;
    uint16_t headerField = 0;  // 12 bits
    bool headerFlag = false;
    bool pileUp = false;
    // One per set bit of the mask, ascending channel order; when empty, the
    // amplitude of channel c is AmplitudeOf(c).
    std::vector<uint16_t> amplitudes;
};

struct EventShape {
    uint32_t triggerIndex = 0;  // 24 bits
    uint64_t timestamp = 0;     // 48 bits
    std::array<std::optional<BlockShape>, 4> blocks;
    // Word 0 bits 0-27; the real size when not given.
    std::optional<uint32_t> sizeField;
};

inline BlockShape Block(uint16_t channelMask, uint16_t headerField = 0) {
    BlockShape block;
    block.channelMask = channelMask;
    block.headerField = headerField;
    return block;
}

inline uint16_t AmplitudeOf(uint32_t channel) { return static_cast<uint16_t>(100 + 37 * channel); }

inline uint32_t BlockHeaderWord(const BlockShape& b) {
    return b.channelMask | (uint32_t{b.headerField} & 0xFFFu) << 16 | uint32_t{b.headerFlag} << 28 |
           uint32_t{b.pileUp} << 31;
}

// Appends one event to `out` and returns its size in words.
inline uint32_t AppendEvent(std::vector<uint32_t>& out, const EventShape& e) {
    const size_t start = out.size();
    uint32_t present = 0;
    for (uint32_t p = 0; p < 4; ++p)
        if (e.blocks[p]) present |= 1u << (2 * p);
    out.push_back(0);
    out.push_back(present | static_cast<uint32_t>((e.timestamp >> 32) & 0xFFFF) << 8);
    out.push_back(e.triggerIndex & 0xFFFFFF);
    out.push_back(static_cast<uint32_t>(e.timestamp));
    for (uint32_t p = 0; p < 4; ++p) {
        if (!e.blocks[p]) continue;
        const BlockShape& b = *e.blocks[p];
        out.push_back(BlockHeaderWord(b));
        std::vector<uint16_t> amps = b.amplitudes;
        if (amps.empty())
            for (uint32_t k = 0; k < 16; ++k)
                if (b.channelMask >> k & 1) amps.push_back(AmplitudeOf(16 * p + k));
        for (size_t i = 0; i < amps.size(); i += 2)
            out.push_back(amps[i] | (i + 1 < amps.size() ? uint32_t{amps[i + 1]} << 16 : 0));
    }
    const auto size = static_cast<uint32_t>(out.size() - start);
    out[start] = e.sizeField.value_or(size);
    return size;
}

// An event with every channel of `blocks` blocks present (the largest event).
inline EventShape FullEvent(uint32_t blocks, uint32_t triggerIndex) {
    EventShape e;
    e.triggerIndex = triggerIndex;
    e.timestamp = 1000ull * triggerIndex;
    for (uint32_t p = 0; p < blocks; ++p) e.blocks[p] = Block(0xFFFF);
    return e;
}

// A word buffer allocated at exactly its size.
class ExactWords {
public:
    explicit ExactWords(const std::vector<uint32_t>& words)
        : size_(static_cast<uint32_t>(words.size())), words_(new uint32_t[words.size()]) {
        if (!words.empty()) std::memcpy(words_.get(), words.data(), words.size() * sizeof(uint32_t));
    }
    const uint32_t* data() const { return words_.get(); }
    uint32_t size() const { return size_; }
    const uint16_t* HalfAt(uint32_t word) const { return reinterpret_cast<const uint16_t*>(words_.get() + word); }

private:
    uint32_t size_;
    std::unique_ptr<uint32_t[]> words_;
};

}  // namespace tessary_test

// Rows of the HDF5 event file: one per event, packed little-endian, so that
// the file's compound type is also the memory type and a chunk of rows goes
// to the library without conversion. A row carries what the event's list
// line shows, decoded: the channels printed as numbers in the list are the
// present ones here, with the same amplitude word split into its value and
// flags; " ZS" and "N/A" columns are amplitude 0 without the present flag.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DaqConfig.h"
#include "DrelmTessaryLib.h"

namespace tessary {

// Flags of a channel in a row.
inline constexpr uint8_t kRowPresent = 1;
inline constexpr uint8_t kRowSaturated = 2;  // bit 15 of the word
inline constexpr uint8_t kRowBit14 = 4;      // bit 14 of the word, as the board sent it

// Byte offsets of the row's fields.
struct RowLayout {
    static constexpr std::size_t kTriggerIndex = 0;  // uint32
    static constexpr std::size_t kTriggerCount = 4;  // uint64
    static constexpr std::size_t kTimestampNs = 12;  // uint64
    static constexpr std::size_t kPileUp = 20;       // uint8, bit p: block p had the pile-up flag
    static constexpr std::size_t kAmplitude = 21;    // uint16 per channel

    int channels = 0;
    std::size_t Flags() const { return kAmplitude + 2 * static_cast<std::size_t>(channels); }
    std::size_t Bytes() const { return Flags() + static_cast<std::size_t>(channels); }
};

class RowBuilder {
public:
    // The board's channel count (clamped to 0 to 64) and enabled channels.
    void Configure(const BoardSettings& board);
    const RowLayout& Layout() const { return layout_; }

    // Writes the event's row to `row` (Layout().Bytes()). The trigger count
    // extends the 24-bit index over its wraps as the events come; a new
    // start of the acquisition (the index and the time stamp both falling:
    // the boards count both from 0 again) begins it anew, as the run's own
    // trigger count does.
    void Build(const EventRecord& event, unsigned char* row);

private:
    RowLayout layout_;
    uint16_t printable_[4] = {};  // per block of 16: enabled channels of the board
    uint64_t wraps_ = 0;
    uint32_t lastIndex_ = 0;
    uint64_t lastTimestamp_ = 0;
};

}  // namespace tessary

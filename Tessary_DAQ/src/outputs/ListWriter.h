// Lines of the list file: a header naming every channel column, then one
// line per event with its trigger index, its time stamp and each channel's
// amplitude word, " ZS" for an enabled channel the event does not carry and
// "N/A" for a disabled one. Every column has a fixed width, so all event
// lines of a board have the same length and line up with the header.
//
// This runs for every event the boards deliver, so a line is built from a
// template made once per board: the blank, " ZS" and "N/A" columns are
// copied in one piece and each present amplitude's text is taken from a
// table of all 65536 words.
#pragma once

#include <cstddef>
#include <cstdint>

#include "DaqConfig.h"
#include "DrelmTessaryLib.h"

namespace tessary {

inline constexpr std::size_t kListIndexWidth = 14;      // trigger index, then a blank
inline constexpr std::size_t kListTimestampWidth = 20;  // time stamp, then a blank
inline constexpr std::size_t kListColumnWidth = 10;     // each channel
inline constexpr std::size_t kListLeadWidth = kListIndexWidth + 1 + kListTimestampWidth + 1;
// Longest event line (64 channels, line feed included) and header (with the
// empty line after it).
inline constexpr std::size_t kListLineMax = kListLeadWidth + kListColumnWidth * kMaxChannels + 1;
inline constexpr std::size_t kListHeaderMax = kListLineMax + 1;

struct AmplitudeColumns;

class ListWriter {
public:
    // Takes the board's channel count (outside 0 to 64 is clamped) and its
    // enabled channels.
    void Configure(const BoardSettings& board);

    int Channels() const { return channels_; }
    std::size_t LineLength() const { return lineLength_; }
    std::size_t HeaderLength() const { return headerLength_; }
    const char* Header() const { return header_; }

    // Writes the line of one event, line feed included, to `out` (room for
    // LineLength() characters) and returns its length. A block whose
    // amplitudes are missing counts as not carried by the event.
    std::size_t Line(const EventRecord& event, char* out) const;

private:
    const AmplitudeColumns* amplitudes_ = nullptr;  // shared by all boards
    int channels_ = 0;
    std::size_t lineLength_ = kListLeadWidth + 1;
    std::size_t headerLength_ = kListLeadWidth + 2;
    // Per block of 16 channels: the enabled channels that exist on the board.
    uint16_t printable_[4] = {};
    char template_[kListLineMax] = {};
    char header_[kListHeaderMax] = {};
};

}  // namespace tessary

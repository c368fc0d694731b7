// Events in the board's wire format, built from its settings.
//
//   word 0: bits 0-27 size in words (header included), bits 28-31 0xA
//   word 1: bits 0, 2, 4, 6 block p present; bits 8-23 time stamp bits 32-47;
//           status: bit 1 software trigger, bit 3 external trigger, bit 5
//           pile-up, bit 7 event memory at least half full; bits 24-31 the
//           board id (serial number's low byte)
//   word 2: bits 0-23 trigger index; bits 24-31 accepted-event counter
//   word 3: time stamp bits 0-31 (8 ns ticks since the start)
// then per present block p (channels 16p to 16p+15), in ascending p: a
// header word (bits 0-15 channel mask, 16-27 sliding-scale step, 28 its
// sweep, 29-30 p, 31 pile-up) and the amplitudes of the masked channels,
// 16 bits each, two to a word, the first in bits 0-15; an odd count leaves
// the last upper half zero. An amplitude is bits 0-13, bit 14 "peak seen"
// (the channel's pulse, not its pedestal) and bit 15 saturated. With the
// status bits off (statusBits 0), every status field and bit 14 read 0.
//
// Block p is present when bit 2p of the group enable mask (0x8120) is set
// and the board has groups 2p and 2p+1; the odd bits select nothing. Its
// channels are group 2p's enable mask (0x10A8 of the group) in mask bits
// 0-7 and group 2p+1's in bits 8-15.
//
// What a channel reads: its group's baseline (the pedestal moved by the DC
// offset of the board's polarity), pedestal noise, and when the pulse has
// the polarity the board is set to, the pulse height with the channel's
// gain (doubled in the 4 V input range), plus a piled-up second pulse; with
// the sliding scale on, the board adds its DAC step and subtracts the
// loaded calibration table's value for it, so wrong or missing tables show.
// Rounded once, at the end. Zero suppression (0x80E0 bit 17) drops a channel
// below its group's threshold (group 0x24) but never a saturated one; the
// resolution code (0x80E0 bits 0-2, 0 to 4; 5-7 act as 4) shifts the 14-bit
// amplitude right; a saturated channel reads bit 15 over the shifted full
// scale.
#pragma once

#include <array>
#include <cstdint>

#include "RandomStream.h"
#include "RegisterFile.h"
#include "SpectrumSource.h"

namespace drelm::emu {

class CalibrationTables;

// What the registers say about the events to build, read once per catch-up.
struct EventSettings {
    uint32_t presentBits = 0;                 // word 1 bits 0, 2, 4, 6
    std::array<uint16_t, 4> channelMask{};    // enabled channels of each block
    std::array<uint16_t, reg::kMaxGroups> threshold{};
    std::array<uint32_t, reg::kMaxGroups> dcOffset{};  // NEG half 0-15, POS half 16-31
    bool zeroSuppression = false;
    bool slidingScale = false;                // 0x80E0 bit 16
    bool positive = false;                    // 0x80E0 bit 18
    bool smallRange = false;                  // 0x80E0 bit 19: 4 V, twice the gain
    uint32_t shift = 0;                       // resolution code
    uint64_t gateNs = 0;                      // record length, 16 ns units
    bool softwareRouted = false;              // 0x810C bit 31
    bool externalRouted = false;              // 0x810C bit 30
    const CalibrationTables* calibration = nullptr;  // loaded tables, if any

    static EventSettings From(const RegisterFile& registers);
};

// The board's own constants that shape its events.
struct BoardTraits {
    uint32_t pedestal = 40;
    bool positivePulses = true;
    bool statusBits = true;
    uint32_t boardId = 0;

    static BoardTraits From(const BoardConfig& config);
};

// One accepted trigger.
struct TriggerInfo {
    uint32_t triggerIndex = 0;
    uint64_t timestampTicks = 0;
    uint32_t eventNumber = 0;   // accepted events since the board's reset
    bool software = false;
    bool pileUp = false;        // a second pulse came within the gate
    bool memoryHalfFull = false;
};

class EventBuilder {
public:
    static constexpr uint32_t kHeaderWords = 4;
    static constexpr uint32_t kMaxEventWords = kHeaderWords + 4 * 9;
    static constexpr uint32_t kHeaderMark = 0xAu << 28;
    static constexpr uint32_t kSlidingSteps = 4096;

    // Writes one event into `out` (room for kMaxEventWords); returns its size
    // and, when asked, whether a block of it piled up.
    static uint32_t Build(const EventSettings& settings, const BoardTraits& board, const SpectrumSource& source,
                          RandomStream& random, const TriggerInfo& trigger, uint32_t* out,
                          bool* pileUp = nullptr);

    // The four header words of an event of `size` words whose blocks are
    // already in place; `pileUp`: a block of it is flagged.
    static void WriteHeader(const EventSettings& settings, const BoardTraits& board, const TriggerInfo& trigger,
                            bool pileUp, uint32_t size, uint32_t* out);
};

}  // namespace drelm::emu

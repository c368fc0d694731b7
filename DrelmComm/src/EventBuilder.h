// Events in the board's wire format, built from its settings.
//
//   word 0: bits 0-27 size in words (header included), bits 28-31 0xA
//   word 1: bits 0, 2, 4, 6 block p present; bits 8-23 time stamp bits 32-47
//   word 2: bits 0-23 trigger index
//   word 3: time stamp bits 0-31 (8 ns ticks since the start)
// then per present block p (channels 16p to 16p+15), in ascending p: a
// header word (bits 0-15 channel mask, bit 31 pile-up; bits 16-30 zero)
// and the amplitudes of the masked channels, 16 bits each, two to a word,
// the first in bits 0-15; an odd count leaves the last upper half zero.
//
// Block p is present when bit 2p of the group enable mask (0x8120) is set
// and the board has groups 2p and 2p+1; the odd bits select nothing. Its
// channels are group 2p's enable mask (0x10A8 of the group) in mask bits
// 0-7 and group 2p+1's in bits 8-15. With zero suppression on (0x80E0 bit
// 17) a channel whose 14-bit amplitude is below its group's threshold
// (group 0x24) is dropped; a saturated one never is. The resolution code
// (0x80E0 bits 0-2, 0 to 4; 5-7 act as 4) shifts the 14-bit amplitude right
// by that many bits. A saturated channel reads bit 15 set over the shifted
// full scale.
#pragma once

#include <array>
#include <cstdint>

#include "RandomStream.h"
#include "RegisterFile.h"
#include "SpectrumSource.h"

namespace drelm::emu {

// What the registers say about the events to build, read once per catch-up.
struct EventSettings {
    uint32_t presentBits = 0;                 // word 1 bits 0, 2, 4, 6
    std::array<uint16_t, 4> channelMask{};    // enabled channels of each block
    std::array<uint16_t, reg::kMaxGroups> threshold{};
    bool zeroSuppression = false;
    uint32_t shift = 0;                       // resolution code
    uint64_t gateNs = 0;                      // record length, 16 ns units
    bool softwareRouted = false;              // 0x810C bit 31
    bool externalRouted = false;              // 0x810C bit 30

    static EventSettings From(const RegisterFile& registers);
};

class EventBuilder {
public:
    static constexpr uint32_t kHeaderWords = 4;
    static constexpr uint32_t kMaxEventWords = kHeaderWords + 4 * 9;
    static constexpr uint32_t kHeaderMark = 0xAu << 28;

    // Writes one event into `out` (room for kMaxEventWords); returns its size.
    static uint32_t Build(const EventSettings& settings, const SpectrumSource& source, RandomStream& random,
                          uint32_t triggerIndex, uint64_t timestampTicks, bool pileUp, uint32_t* out);
};

}  // namespace drelm::emu

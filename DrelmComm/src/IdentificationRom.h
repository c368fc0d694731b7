// The board's identification ROM (0xF000-0xF3FF, one byte per register),
// and the rule that keeps a BoardConfig's model code, form code and channel
// count coherent.
//
// ROM 0xF034 is both the form code and the low byte of the model code, so
// the two cannot differ on a real board. The rule:
//   - channels other than 32 are taken as 64;
//   - formCode, when given, is what 0xF034 holds;
//   - otherwise 0xF034 holds the model code's low byte when that names a form
//     of this channel count (0, 1 for 64 channels; 2, 3 for 32) or no known
//     form at all (above 3: a board the library does not know);
//   - otherwise 0 for 64 channels, 2 for 32;
//   - 0xF030 holds the model code's bits 8-15.
// So the default 64-channel board reads model 0x5500 ("M310"), form 0, and a
// board configured with only channels = 32 reads model 0x5502, form 2.
#pragma once

#include <array>
#include <cstdint>

#include "DrelmEmulator.h"
#include "RegisterMap.h"

namespace drelm::emu {

// The config with every open point settled (channels 64 or 32, formCode set,
// an event memory of 1 to 65536 events).
BoardConfig ResolvedConfig(const BoardConfig& config);

class IdentificationRom {
public:
    explicit IdentificationRom(const BoardConfig& resolved);

    static bool Contains(uint32_t address) { return address >= reg::kRomBase && address < reg::kRomEnd; }
    uint32_t Read(uint32_t address) const { return bytes_[Index(address)]; }
    // Behind the link's back only: the link cannot write the ROM. One byte
    // per register, as the ROM holds.
    void Poke(uint32_t address, uint32_t value) { bytes_[Index(address)] = value & 0xFF; }

private:
    static std::size_t Index(uint32_t address) { return (address - reg::kRomBase) / 4; }
    std::array<uint32_t, (reg::kRomEnd - reg::kRomBase) / 4> bytes_{};
};

}  // namespace drelm::emu

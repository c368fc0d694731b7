#include "IdentificationRom.h"

#include <algorithm>

namespace drelm::emu {

BoardConfig ResolvedConfig(const BoardConfig& config) {
    BoardConfig out = config;
    if (out.channels != 32) out.channels = 64;
    out.eventMemoryEvents = std::clamp<uint32_t>(out.eventMemoryEvents, 1, 65536);
    if (!out.formCode) {
        const uint32_t low = out.modelCode & 0xFF;
        const bool fitsChannels = out.channels == 64 ? low <= 1 : (low == 2 || low == 3);
        out.formCode = (fitsChannels || low > 3) ? low : (out.channels == 64 ? 0u : 2u);
    }
    return out;
}

IdentificationRom::IdentificationRom(const BoardConfig& resolved) {
    auto set = [this](uint32_t address, uint32_t byte) { bytes_[Index(address)] = byte & 0xFF; };
    set(reg::kRomModelHigh, resolved.modelCode >> 8);
    set(reg::kRomFormCode, resolved.formCode.value_or(0));
    for (uint32_t i = 0; i < 4; ++i) set(reg::kRomCode32 + 4 * i, resolved.romCode32 >> (24 - 8 * i));
    set(reg::kRomSerialHigh, resolved.serialNumber >> 8);
    set(reg::kRomSerialLow, resolved.serialNumber);
}

}  // namespace drelm::emu

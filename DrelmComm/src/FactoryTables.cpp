#include "FactoryTables.h"

#include <array>

#include "DataFlash.h"

namespace drelm::emu {
namespace {

constexpr uint32_t kLayoutPageSize = 528;
constexpr uint32_t kOffsetPage = 7935;
constexpr uint32_t kFirstCalibrationPage = 7936;
constexpr int kChannels = 64;
constexpr int kEntries = 4096;

// One table in the staircase coding: a start value and one step bit per
// entry, each step one count up (POS) or down (NEG).
std::array<uint8_t, kLayoutPageSize> StaircasePage(int sign, int kind, int channel) {
    std::array<uint8_t, kLayoutPageSize> page{};
    int running = FactoryCalibration(sign, kind, channel, 0);
    page[0] = static_cast<uint8_t>(running & 0xFF);
    page[1] = static_cast<uint8_t>((running >> 8) & 0x3F);
    for (int i = 0; i < kEntries; ++i) {
        const int value = FactoryCalibration(sign, kind, channel, i);
        if (value != running) {
            page[3 + i / 8] = static_cast<uint8_t>(page[3 + i / 8] | (1u << (i % 8)));
            running = value;
        }
    }
    return page;
}

}  // namespace

uint16_t FactoryOffset(int group, int sign) {
    // Mid-scale DACs, trimmed a little per group as a board's own would be.
    return static_cast<uint16_t>(sign == 0 ? 0x7E40 + 0x11 * group : 0x81C0 - 0x0D * group);
}

uint16_t FactoryCalibration(int sign, int kind, int channel, int entry) {
    // Smooth DAC curves: rising tables (POS) climb three counts every four
    // entries, falling ones (NEG) drop as fast; kinds and channels differ a
    // little in their start.
    const int start = sign == 1 ? 900 + 7 * channel + 40 * kind : 15200 - 7 * channel - 40 * kind;
    const int steps = (entry * 3) / 4;
    return static_cast<uint16_t>(sign == 1 ? start + steps : start - steps);
}

void WriteFactoryTables(DataFlash& flash) {
    std::array<uint8_t, kLayoutPageSize> offsets;
    offsets.fill(0xFF);
    for (int g = 0; g < 8; ++g) {
        const uint16_t neg = FactoryOffset(g, 0);
        const uint16_t pos = FactoryOffset(g, 1);
        offsets[4 * g] = static_cast<uint8_t>(neg & 0xFF);
        offsets[4 * g + 1] = static_cast<uint8_t>(neg >> 8);
        offsets[4 * g + 2] = static_cast<uint8_t>(pos & 0xFF);
        offsets[4 * g + 3] = static_cast<uint8_t>(pos >> 8);
    }
    flash.WriteArray(kOffsetPage * kLayoutPageSize, offsets.data(), offsets.size());
    for (int sign = 0; sign < 2; ++sign)
        for (int kind = 0; kind < 2; ++kind)
            for (int ch = 0; ch < kChannels; ++ch) {
                const uint32_t page = kFirstCalibrationPage + 128u * sign + 64u * kind + ch;
                const auto image = StaircasePage(sign, kind, ch);
                flash.WriteArray(page * kLayoutPageSize, image.data(), image.size());
            }
}

}  // namespace drelm::emu

#include "CalibrationTables.h"

#include <algorithm>

namespace drelm::emu {

CalibrationTables::CalibrationTables(int channels)
    : channels_(channels), values_(std::size_t{4} * static_cast<std::size_t>(channels > 0 ? channels : 0) * kEntries, 0) {}

std::size_t CalibrationTables::Index(int sign, int kind, int channel) const {
    return ((static_cast<std::size_t>(sign) * 2 + static_cast<std::size_t>(kind)) * static_cast<std::size_t>(channels_) +
            static_cast<std::size_t>(channel)) *
           kEntries;
}

void CalibrationTables::Load(uint32_t group, uint32_t word) {
    const uint32_t entry = word & 0xFFF;
    const int kind = static_cast<int>((word >> 12) & 1);
    const int sign = static_cast<int>((word >> 13) & 1);
    const uint32_t channelMod16 = (word >> 14) & 0xF;
    const auto value = static_cast<uint16_t>(word >> 18);
    // Two groups share one block of 16 channel numbers; each takes its half.
    if ((channelMod16 >> 3) != (group & 1)) return;
    const uint32_t channel = (group >> 1) * 16 + channelMod16;
    if (channel >= static_cast<uint32_t>(channels_)) return;
    values_[Index(sign, kind, static_cast<int>(channel)) + entry] = value;
    ++wordsLoaded_;
}

bool CalibrationTables::Table(int sign, int kind, int channel, std::vector<uint16_t>* entries) const {
    if (entries == nullptr || sign < 0 || sign > 1 || kind < 0 || kind > 1 || channel < 0 || channel >= channels_)
        return false;
    const auto first = values_.begin() + static_cast<std::ptrdiff_t>(Index(sign, kind, channel));
    entries->assign(first, first + kEntries);
    return true;
}

void CalibrationTables::Clear() { std::fill(values_.begin(), values_.end(), uint16_t{0}); }

}  // namespace drelm::emu

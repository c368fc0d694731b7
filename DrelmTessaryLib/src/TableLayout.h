// Where the offset and calibration tables live in the flash, what their
// text files are called, and how a table entry travels to the board.
#pragma once

#include <cstdint>
#include <string>

namespace drelm::tsy {

inline constexpr int kTableEntries = 4096;
inline constexpr int kGroupsInOffsetTable = 8;
inline constexpr uint32_t kTablePageSize = 528;  // the layout's page, whatever the chip's
inline constexpr uint32_t kOffsetTablePage = 0x1EFF;
inline constexpr uint32_t kOffsetTableAddress = kOffsetTablePage * kTablePageSize;  // 0x3FEDF0
inline constexpr uint32_t kOffsetTableBytes = 32;
inline constexpr uint32_t kFirstCalibrationPage = 7936;

inline constexpr uint32_t kCalibrationLoaded = 0x80E4;  // bit 0: a flash load was made
inline constexpr uint32_t kLoadBatch = 32;

inline constexpr int kSignNeg = 0;
inline constexpr int kSignPos = 1;
inline constexpr int kKindDacDU = 0;
inline constexpr int kKindDacUD = 1;

inline const char* SignText(int sign) { return sign == kSignPos ? "POS" : "NEG"; }
inline const char* KindText(int kind) { return kind == kKindDacUD ? "DACUD" : "DACDU"; }

constexpr uint32_t CalibrationPage(int sign, int kind, int channel) {
    return kFirstCalibrationPage + 128u * static_cast<uint32_t>(sign) + 64u * static_cast<uint32_t>(kind) +
           static_cast<uint32_t>(channel);
}
constexpr uint32_t CalibrationAddress(int sign, int kind, int channel) {
    return CalibrationPage(sign, kind, channel) * kTablePageSize;
}

// The group's calibration load register: each write delivers one entry.
constexpr uint32_t CalibrationLoadRegister(int channel) { return 0x1080u | (static_cast<uint32_t>(channel / 8) << 8); }

// The group's DC-offset register: NEG in bits 0-15, POS in bits 16-31.
constexpr uint32_t DcOffsetRegister(int group) { return 0x1098u | (static_cast<uint32_t>(group) << 8); }
constexpr uint32_t GroupStatusRegister(int group) { return 0x1088u | (static_cast<uint32_t>(group) << 8); }

// Bits 0-11 entry, 12 kind, 13 sign, 14-17 channel mod 16, 18-31 value.
constexpr uint32_t LoadWord(uint32_t entry, int kind, int sign, int channel, uint32_t value) {
    return (entry & 0xFFFu) | (static_cast<uint32_t>(kind & 1) << 12) | (static_cast<uint32_t>(sign & 1) << 13) |
           ((static_cast<uint32_t>(channel) & 0xFu) << 14) | ((value & 0x3FFFu) << 18);
}

inline std::string OffsetFilePath(const char* directory, int sign) {
    return std::string(directory) + "/DAC_Offset_" + SignText(sign) + ".txt";
}
inline std::string CalibrationFilePath(const char* directory, int kind, int channel, int sign) {
    return std::string(directory) + "/" + KindText(kind) + "_" + std::to_string(channel) + "_" + SignText(sign) +
           ".txt";
}

}  // namespace drelm::tsy

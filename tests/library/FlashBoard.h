// A board whose flash chip the test chooses, with helpers to look at the
// chip behind the link's back.
#pragma once

#include <cstdint>
#include <vector>

#include "DrelmEmulator.h"
#include "EmulatedBoards.h"

namespace tessary_test {

struct ChipCase {
    uint8_t deviceId;
    uint32_t pageSize;
    uint32_t pageShift;
};

inline constexpr ChipCase kChips[] = {{0x25, 264, 9}, {0x27, 528, 10}, {0x28, 1056, 11}};

inline void PrintTo(const ChipCase& chip, std::ostream* out) { *out << "chip 0x" << std::hex << int{chip.deviceId}; }

class FlashBoardTest : public EmulatedBoardTest {
protected:
    // Opens a board at USB link `link` whose chip answers `deviceId`.
    int32_t OpenWithChip(uint8_t deviceId, int32_t channels = 64, int32_t link = 0) {
        drelm::emu::FlashConfig flash;
        flash.deviceId = deviceId;
        drelm::emu::ConfigureFlash(drelm::emu::BoardAddress{0, link, "", 0, 0}, flash);
        drelm::emu::BoardConfig config;
        config.channels = channels;
        return OpenBoard(link, &config);
    }

    static std::vector<uint8_t> FlashBytes(int32_t handle, uint32_t address, uint32_t count) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(drelm::emu::ReadFlash(LinkOf(handle), address, count, &bytes));
        return bytes;
    }
    static void SetFlashBytes(int32_t handle, uint32_t address, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(drelm::emu::WriteFlash(LinkOf(handle), address, bytes));
    }

    // Distinct bytes, so that a misplaced one shows.
    static std::vector<uint8_t> Pattern(size_t count, uint8_t seed) {
        std::vector<uint8_t> bytes(count);
        for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
        return bytes;
    }
};

}  // namespace tessary_test

// The control interface under wild arguments, the clock at its end, and what
// a software reset takes from a board.
#include <cstdlib>
#include <vector>

#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

TEST_F(EmulatorTest, ReadFlashReadsAtMostTheChip) {
    const int32_t h = OpenUsb(0);
    uint32_t pageSize = 0;
    ASSERT_TRUE(drelm::emu::FlashPageSize(h, &pageSize));
    const uint32_t chip = pageSize * 8192;  // the default chip
    for (uint32_t count : {chip + 1, 0x80000000u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(drelm::emu::ReadFlash(h, 5, count, &bytes)) << count;
        EXPECT_EQ(bytes.size(), chip) << count;
    }
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(drelm::emu::ReadFlash(h, 5, 3, &bytes));
    EXPECT_EQ(bytes.size(), 3u);
}

TEST_F(EmulatorTest, RomPokeKeepsOneByte) {
    const int32_t h = OpenUsb(0);
    ASSERT_TRUE(drelm::emu::PokeRegister(h, 0xF084, 0x12345678));
    EXPECT_EQ(Read(h, 0xF084), 0x78u);
    uint32_t value = 0;
    ASSERT_TRUE(drelm::emu::PeekRegister(h, 0xF084, &value));
    EXPECT_EQ(value, 0x78u);
}

TEST_F(EmulatorTest, SoftwareResetLosesTheLoadedCalibration) {
    const int32_t h = OpenUsb(0);
    // Entry 5, kind 0, sign 1, channel 2 of group 0, value 0x123.
    const uint32_t word = 5 | 0u << 12 | 1u << 13 | 2u << 14 | 0x123u << 18;
    Write(h, 0x1080, word);
    Write(h, 0x80E4, 1);
    std::vector<uint16_t> entries;
    ASSERT_TRUE(drelm::emu::ReadCalibrationTable(h, 1, 0, 2, &entries));
    ASSERT_EQ(entries.at(5), 0x123u);
    Write(h, 0xEF24, 1);
    AdvanceUs(1'000'000);
    EXPECT_EQ(Read(h, 0x80E4) & 1u, 0u);
    ASSERT_TRUE(drelm::emu::ReadCalibrationTable(h, 1, 0, 2, &entries));
    EXPECT_EQ(entries, std::vector<uint16_t>(4096, 0)) << "a reset board has lost its loaded tables";
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(h), 1u) << "words taken since the board was made";
}

// The clock is process-wide and never goes back, so the end of time is
// reached in a child process only.
TEST(EmulatorClockTest, AdvanceStopsAtTheEndInsteadOfWrapping) {
    EXPECT_EXIT(
        {
            drelm::emu::UseVirtualClock(true);
            drelm::emu::AdvanceClock(UINT64_MAX - 10);
            drelm::emu::AdvanceClock(100);
            const bool virtualAtEnd = drelm::emu::EmulatedTimeNs() == UINT64_MAX;
            drelm::emu::UseVirtualClock(false);
            drelm::emu::AdvanceClock(UINT64_MAX);
            const bool hostAtEnd = drelm::emu::EmulatedTimeNs() == UINT64_MAX;
            std::_Exit(virtualAtEnd && hostAtEnd ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace emulator_test

// Table loads on two boards from two threads at once: the flash state is
// shared by the process, so the loads take turns on the flash, and each
// board still gets its own tables.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "DrelmEmulator.h"
#include "EmulatedBoards.h"

using namespace tessary_test;

namespace {

using FlashThreadsTest = EmulatedBoardTest;

TEST_F(FlashThreadsTest, ConcurrentLoadsOnTwoBoardsEachLoadTheirOwnTables) {
    // Two chips of different page sizes, so that a load that read its flash
    // with the other board's geometry would show.
    drelm::emu::FlashConfig small;
    small.deviceId = 0x25;
    drelm::emu::ConfigureFlash(drelm::emu::BoardAddress{0, 1, "", 0, 0}, small);
    const int32_t a = OpenBoard(0);
    const int32_t b = Open32(1);
    std::vector<uint8_t> marker(528, 0);
    marker[0] = 0x34;
    marker[1] = 0x12;  // start value 0x1234, no steps
    ASSERT_TRUE(drelm::emu::WriteFlash(LinkOf(b), 8064 * 528, marker));  // POS DACDU channel 0 of board b

    int32_t statusA = -100;
    int32_t statusB = -100;
    std::thread first([&] { statusA = DRELM_TSY_LoadCalibration(a); });
    std::thread second([&] { statusB = DRELM_TSY_LoadCalibration(b); });
    first.join();
    second.join();
    EXPECT_EQ(statusA, 0);
    EXPECT_EQ(statusB, 0);
    std::vector<uint16_t> tableA;
    std::vector<uint16_t> tableB;
    ASSERT_TRUE(drelm::emu::ReadCalibrationTable(LinkOf(a), 1, 0, 0, &tableA));
    ASSERT_TRUE(drelm::emu::ReadCalibrationTable(LinkOf(b), 1, 0, 0, &tableB));
    EXPECT_EQ(tableB, std::vector<uint16_t>(4096, 0x1234));
    EXPECT_NE(tableA, tableB);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(LinkOf(a)), 4u * 64 * 4096);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(LinkOf(b)), 4u * 32 * 4096);
}

}  // namespace

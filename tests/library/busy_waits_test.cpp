// The library's waits against a board with realistic busy times: each one
// now pauses before the board is ready.
#include <gtest/gtest.h>

#include <vector>

#include "DrelmTessaryLib.h"
#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

using BusyWaitTest = EmulatedBoardTest;

// Offsets written back to back: each write waits for the group, so none is
// lost to the busy board.
TEST_F(BusyWaitTest, DcOffsetWritesWaitOutTheGroupsBusyTime) {
    const int32_t h = OpenBoard();
    ASSERT_EQ(DRELM_TSY_DACOffsetWrite(h, 0, 0, 0x1111), 0);
    Record();
    ASSERT_EQ(DRELM_TSY_DACOffsetWrite(h, 0, 1, 0x2222), 0);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(0x1088, 4u), Read(0x1088, 0u), Read(0x1098), Write(0x1098, 0x22221111u)}));
    ASSERT_EQ(DRELM_TSY_SetGroupDCOffset(h, 0, 0x200), 0);
    EXPECT_EQ(Peek(h, 0x1098), 0x200u);
    ASSERT_EQ(DRELM_TSY_LoadOffset(h), 0);
    EXPECT_EQ(Peek(h, 0x1098), 0x81C07E40u) << "the flash's table, not lost to the busy group";
    std::vector<uint32_t> sleeps{10, 100, 10, 100, 100};
    sleeps.resize(13, 10);
    EXPECT_EQ(SleepLog(), sleeps);
}

TEST_F(BusyWaitTest, ResetPollsUntilTheBoardIsReady) {
    const int32_t h = OpenBoard();
    Record();
    EXPECT_EQ(DRELM_TSY_Reset(h), 0);
    const auto regs = RegisterAccesses(Traffic());
    ASSERT_GE(regs.size(), 4u);
    EXPECT_TRUE(TrafficIs({regs.begin(), regs.begin() + 4}, {Read(0x8104), Write(0xEF24, 0), Read(0x8104), Read(0x8104)}));
    EXPECT_EQ(regs[2].value & 0x100, 0u) << "still recovering 10 ms after the reset";
    EXPECT_NE(regs[3].value & 0x100, 0u);
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{10, 100}));
}

}  // namespace
}  // namespace tessary_test

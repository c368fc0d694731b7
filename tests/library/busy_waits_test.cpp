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
    ASSERT_EQ(DRELM_TSY_DACOffsetWrite(h, 4, 0, 0x7E40), 0);
    Record();
    ASSERT_EQ(DRELM_TSY_DACOffsetWrite(h, 4, 1, 0x81C0), 0);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(0x1488, 4u), Read(0x1488, 0u), Read(0x1498), Write(0x1498, 0x81C07E40u)}));
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 4, 0x200), 0);
    EXPECT_EQ(Peek(h, 0x1498), 0x200u);
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{10, 100, 10, 100}));
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

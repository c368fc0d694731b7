// The library's waits against a board with realistic busy times: each one
// now pauses before the board is ready.
#include <gtest/gtest.h>

#include <vector>

#include "DrelmTessaryLib.h"
#include "FlashBoard.h"
#include "TableFiles.h"

namespace tessary_test {
namespace {

using BusyWaitTest = FlashBoardTest;

TEST_F(BusyWaitTest, SecondDcOffsetWaitsOutTheGroupsBusyTime) {
    const int32_t h = OpenBoard();
    ASSERT_EQ(DRELM_TSY_SetGroupDCOffset(h, 4, 0x100), 0);
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 4, 0x200), 0);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(0x1488, 4u), Read(0x1488, 0u), Write(0x1498, 0x200u)}));
    EXPECT_EQ(SleepLog(), std::vector<uint32_t>{100});
    EXPECT_EQ(Peek(h, 0x1498), 0x200u);
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

// The offset upload erases its page, then merges its bytes: page to buffer,
// buffer to page. The chip's ready poll pauses 1 ms at a time meanwhile.
TEST_F(BusyWaitTest, FlashWritesPollTheChipForItsPageTimes) {
    struct Case {
        uint32_t eraseUs, transferUs, programUs;
        size_t pauses;
    };
    for (const Case c : {Case{15'000, 200, 25'000, 15 + 1 + 25}, Case{0, 0, 0, 0}, Case{2'500, 0, 1'000, 3 + 1}}) {
        SCOPED_TRACE(testing::Message() << c.eraseUs << " / " << c.transferUs << " / " << c.programUs << " us");
        drelm::emu::FlashConfig flash;
        flash.eraseUs = c.eraseUs;
        flash.transferUs = c.transferUs;
        flash.programUs = c.programUs;
        drelm::emu::ConfigureFlash(drelm::emu::BoardAddress{0, 0, "", 0, 0}, flash);
        const int32_t h = OpenBoard();
        const size_t before = SleepLog().size();
        TableDirectory dir;
        testing::internal::CaptureStdout();  // warnings of the missing files
        EXPECT_EQ(DRELM_TSY_UploadOffsetToFlash(h, dir.Path().c_str()), 0);
        testing::internal::GetCapturedStdout();
        const auto sleeps = SleepLog();
        EXPECT_EQ(std::vector<uint32_t>(sleeps.begin() + static_cast<std::ptrdiff_t>(before), sleeps.end()),
                  std::vector<uint32_t>(c.pauses, 1));
        ASSERT_EQ(DRELM_TSY_CloseTessary(h), 0);
    }
}

}  // namespace
}  // namespace tessary_test

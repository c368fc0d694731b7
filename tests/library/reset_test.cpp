// Software reset: the wait for the board, the start-up settings written
// again, and every way it can fail.
#include <cstring>
#include <vector>

#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

using drelm::emu::AddFault;
using drelm::emu::BoardConfig;
using drelm::emu::Fault;

Fault Faulty(Op op, uint32_t address, uint32_t firstCall = 1, uint32_t count = 0) {
    Fault f;
    f.op = op;
    f.status = -2;
    f.address = address;
    f.firstCall = firstCall;
    f.count = count;
    return f;
}

class ResetTest : public EmulatedBoardTest {
protected:
    void SetUp() override {
        EmulatedBoardTest::SetUp();
        handle_ = OpenBoard();
    }
    // The sleeps since the board was opened.
    std::vector<uint32_t> Sleeps() const { return SleepLog(); }
    int32_t handle_ = -1;
};

TEST_F(ResetTest, AcknowledgedResetWaitsTenMillisecondsThenForReady) {
    // A board that is ready again by the first status read.
    ASSERT_EQ(DRELM_TSY_CloseTessary(handle_), 0);
    BoardConfig quick;
    quick.resetTimeUs = 2000;
    handle_ = OpenBoard(0, &quick);
    // Settings made after the open are lost by the reset, the start-up ones
    // are written again.
    Poke(handle_, 0xEF1C, 7);
    Record();
    EXPECT_EQ(DRELM_TSY_Reset(handle_), 0);
    const auto regs = RegisterAccesses(Traffic());
    ASSERT_GE(regs.size(), 3u);
    EXPECT_TRUE(TrafficIs({regs.begin(), regs.begin() + 3}, {Read(0x8104), Write(0xEF24, 0), Read(0x8104)}));
    EXPECT_NE(regs[2].value & 0x100, 0u) << "ready";
    EXPECT_EQ(regs.size(), 3u + 13u) << "start-up settings follow";
    EXPECT_EQ(Peek(handle_, 0xEF1C), 1023u);
    EXPECT_EQ(Peek(handle_, 0x8120), 0x55u);
    EXPECT_EQ(Sleeps(), std::vector<uint32_t>{10});
}

TEST_F(ResetTest, KeepsTheBoardInformation) {
    BoardInfo before{};
    BoardInfo after{};
    ASSERT_EQ(DRELM_TSY_GetInfo(handle_, &before), 0);
    ASSERT_EQ(DRELM_TSY_Reset(handle_), 0);
    ASSERT_EQ(DRELM_TSY_GetInfo(handle_, &after), 0);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
}

TEST_F(ResetTest, UnacknowledgedResetPollsUntilTheBoardAnswers) {
    AddFault(Faulty(Op::WriteRegister, 0xEF24));
    // The status read before the reset succeeds; the next five fail.
    AddFault(Faulty(Op::ReadRegister, 0x8104, 2, 5));
    EXPECT_EQ(DRELM_TSY_Reset(handle_), 0);
    EXPECT_EQ(Sleeps(), (std::vector<uint32_t>{10, 10, 10, 10, 10, 10}));
}

TEST_F(ResetTest, BoardThatNeverAnswersAgainIsNotResponding) {
    AddFault(Faulty(Op::WriteRegister, 0xEF24));
    AddFault(Faulty(Op::ReadRegister, 0x8104, 2));
    Record();
    EXPECT_EQ(DRELM_TSY_Reset(handle_), DRELM_TSY_NotResponding);
    EXPECT_EQ(RegisterAccesses(Traffic()).size(), 1u + 1u + 50u);
    EXPECT_EQ(Sleeps().size(), 1u + 50u);
    BoardInfo info{};
    EXPECT_EQ(DRELM_TSY_GetInfo(handle_, &info), 0) << "the board stays open";
}

TEST_F(ResetTest, BoardNeverReadyTimesOutAfterSixteenPolls) {
    // The ready bit stays clear: the board takes far longer than the wait.
    drelm::emu::ClearFaults();
    ASSERT_EQ(DRELM_TSY_CloseTessary(handle_), 0);
    BoardConfig slow;
    slow.resetTimeUs = 60'000'000;
    handle_ = OpenBoard(0, &slow);
    Record();
    EXPECT_EQ(DRELM_TSY_Reset(handle_), DRELM_TSY_Timeout);
    EXPECT_EQ(RegisterAccesses(Traffic()).size(), 2u + 16u);
    std::vector<uint32_t> expected{10};
    expected.insert(expected.end(), 16, 100);
    EXPECT_EQ(Sleeps(), expected);
}

// The link of the board whose status bits 6-7 the next sleep clears.
int32_t g_clearBitsLink = -1;

void SleepClearingBits6And7(uint32_t milliseconds) {
    uint32_t status = 0;
    if (drelm::emu::PeekRegister(g_clearBitsLink, 0x8104, &status))
        drelm::emu::PokeRegister(g_clearBitsLink, 0x8104, status & ~0xC0u);
    drelm::emu::AdvanceClock(uint64_t{milliseconds} * 1'000'000u);
}

TEST_F(ResetTest, StatusBitsSixAndSevenMustComeBackToo) {
    // Bits 6-7 as they were before the reset are part of "ready".
    Poke(handle_, 0x8104, Peek(handle_, 0x8104) | 0xC0);
    EXPECT_EQ(DRELM_TSY_Reset(handle_), 0);
    EXPECT_EQ(Peek(handle_, 0x8104) & 0x1C0, 0x1C0u);

    // A board that comes back without them is never ready.
    g_clearBitsLink = LinkOf(handle_);
    const auto previous = drelm::tsy::SetSleepFunction(&SleepClearingBits6And7);
    const int32_t status = DRELM_TSY_Reset(handle_);
    drelm::tsy::SetSleepFunction(previous);
    EXPECT_EQ(status, DRELM_TSY_Timeout);
}

TEST_F(ResetTest, FailureCodes) {
    struct Case { Fault fault; int32_t status; };
    const Case cases[] = {
        {Faulty(Op::ReadRegister, 0x8104, 1, 1), DRELM_TSY_CommReadError},
        {Faulty(Op::ReadRegister, 0x8104, 2, 1), DRELM_TSY_ReadFailed},
        {Faulty(Op::ReadRegister, 0xEF00), DRELM_TSY_ReadFailed},
        {Faulty(Op::WriteRegister, 0xEF00), DRELM_TSY_WriteFailed},
        {Faulty(Op::WriteRegister, 0x8100), DRELM_TSY_WriteFailed},
        {Faulty(Op::ReadRegister, 0x8000), DRELM_TSY_ReadFailed},
        {Faulty(Op::WriteRegister, 0xEF1C), DRELM_TSY_WriteFailed},
        {Faulty(Op::WriteRegister, 0x800C), DRELM_TSY_WriteFailed},
        {Faulty(Op::WriteRegister, 0x8120), DRELM_TSY_Success},  // ignored by a reset
    };
    for (const Case& c : cases) {
        drelm::emu::ClearFaults();
        AddFault(c.fault);
        EXPECT_EQ(DRELM_TSY_Reset(handle_), c.status) << std::hex << *c.fault.address;
        BoardInfo info{};
        EXPECT_EQ(DRELM_TSY_GetInfo(handle_, &info), 0) << "a failed reset leaves the board open";
    }
}

TEST_F(ResetTest, ClosedOrUnknownHandle) {
    EXPECT_EQ(DRELM_TSY_Reset(-1), DRELM_TSY_InvalidHandle);
    EXPECT_EQ(DRELM_TSY_Reset(100), DRELM_TSY_InvalidHandle);
    EXPECT_EQ(DRELM_TSY_Reset(1), DRELM_TSY_InvalidHandle);
}

}  // namespace
}  // namespace tessary_test

// Start, stop and start mode in the acquisition control register 0x8100,
// and the running-status wait of a start.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "BoardLockProbe.h"
#include "EmulatedBoards.h"
#include "LinkFaultHelpers.h"

namespace tessary_test {
namespace {

constexpr uint32_t kControl = 0x8100;
constexpr uint32_t kStatus = 0x8104;
constexpr uint32_t kRunBit = 1u << 2;
constexpr uint32_t kRunningBit = 1u << 2;
// Bits the open sets (0x2008) beside the start mode: they must survive.
constexpr uint32_t kControlBackground = 0x2008;

drelm::emu::BoardConfig WithRunLatency(uint32_t microseconds) {
    drelm::emu::BoardConfig config;
    config.runLatencyUs = microseconds;
    return config;
}

using StartTest = EmulatedBoardTest;

TEST_F(StartTest, SetsTheRunBitAndWaitsForTheRunningStatus) {
    const drelm::emu::BoardConfig config = WithRunLatency(25'000);  // running after the third pause
    const int32_t h = OpenBoard(0, &config);
    Poke(h, kControl, kControlBackground);
    Record();
    EXPECT_EQ(DRELM_TSY_SWStartAcquisition(h), DRELM_TSY_Success);
    const auto traffic = Traffic();
    EXPECT_TRUE(TrafficIs(traffic, {Read(kControl, kControlBackground), Write(kControl, kControlBackground | kRunBit),
                                    Read(kStatus), Read(kStatus), Read(kStatus), Read(kStatus)}));
    ASSERT_EQ(traffic.size(), 6u);
    for (size_t i = 2; i < 5; ++i) EXPECT_EQ(traffic[i].value & kRunningBit, 0u) << "poll " << i - 2;
    EXPECT_NE(traffic[5].value & kRunningBit, 0u);
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{10, 10, 10}));
    EXPECT_EQ(Peek(h, kControl), kControlBackground | kRunBit);
}

TEST_F(StartTest, OtherStartModesDoNotWait) {
    const int32_t h = OpenBoard();
    for (const uint32_t mode : {1u, 2u, 3u}) {
        SCOPED_TRACE(testing::Message() << "start mode " << mode);
        Poke(h, kControl, kControlBackground | mode);
        Record();
        EXPECT_EQ(DRELM_TSY_SWStartAcquisition(h), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, kControlBackground | mode),
                                          Write(kControl, kControlBackground | mode | kRunBit)}));
    }
    EXPECT_TRUE(SleepLog().empty());
}

TEST_F(StartTest, StartingARunningBoardWritesTheSameValueAndPollsAgain) {
    const int32_t h = OpenBoard();
    ASSERT_EQ(DRELM_TSY_SWStartAcquisition(h), DRELM_TSY_Success);
    const uint32_t running = Peek(h, kControl);
    ASSERT_NE(running & kRunBit, 0u);
    const size_t sleepsBefore = SleepLog().size();
    Record();
    EXPECT_EQ(DRELM_TSY_SWStartAcquisition(h), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, running), Write(kControl, running), Read(kStatus)}));
    EXPECT_EQ(SleepLog().size(), sleepsBefore);
}

TEST_F(StartTest, RunningStatusThatNeverAppearsGivesGenericErrorAfter50Polls) {
    const drelm::emu::BoardConfig config = WithRunLatency(0xFFFFFFFFu);
    const int32_t h = OpenBoard(0, &config);
    Poke(h, kControl, kControlBackground);
    Record();
    EXPECT_EQ(DRELM_TSY_SWStartAcquisition(h), DRELM_TSY_GenericError);
    std::vector<Expect> expected{Read(kControl, kControlBackground), Write(kControl, kControlBackground | kRunBit)};
    expected.insert(expected.end(), 50, Read(kStatus));
    EXPECT_TRUE(TrafficIs(Traffic(), expected));
    EXPECT_EQ(SleepLog(), std::vector<uint32_t>(50, 10));
    EXPECT_NE(Peek(h, kControl) & kRunBit, 0u) << "the run bit stays set";
}

TEST_F(StartTest, LockIsFreeDuringEveryPause) {
    const drelm::emu::BoardConfig config = WithRunLatency(0xFFFFFFFFu);
    const int32_t h = OpenBoard(0, &config);
    BoardLockProbe probe(h);
    EXPECT_EQ(DRELM_TSY_SWStartAcquisition(h), DRELM_TSY_GenericError);
    EXPECT_EQ(probe.SleepsWithLockFree(), 50);
    EXPECT_EQ(probe.SleepsWithLockHeld(), 0);
}

TEST_F(StartTest, FailedControlReadIsReadFailedWithoutWrite) {
    const int32_t h = OpenBoard();
    Poke(h, kControl, kControlBackground);
    FailReads(kControl);
    Record();
    EXPECT_EQ(DRELM_TSY_SWStartAcquisition(h), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, std::nullopt, kFaultStatus)}));
    EXPECT_EQ(Peek(h, kControl), kControlBackground);
}

TEST_F(StartTest, FailedControlWriteIsTranslatedToUnsupportedBoard) {
    const int32_t h = OpenBoard();
    Poke(h, kControl, kControlBackground);
    FailWrites(kControl);
    Record();
    EXPECT_EQ(DRELM_TSY_SWStartAcquisition(h), DRELM_TSY_UnsupportedBoard);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, kControlBackground),
                                      Write(kControl, kControlBackground | kRunBit, kFaultStatus)}));
    EXPECT_TRUE(SleepLog().empty());
}

TEST_F(StartTest, FailedStatusReadIsTranslatedToCommReadError) {
    const drelm::emu::BoardConfig config = WithRunLatency(0xFFFFFFFFu);
    for (const uint32_t failingPoll : {1u, 3u}) {
        SCOPED_TRACE(testing::Message() << "poll " << failingPoll << " fails");
        const int32_t h = OpenBoard(0, &config);
        Poke(h, kControl, kControlBackground);
        const int fault = FailReads(kStatus, failingPoll, 1);
        const size_t sleepsBefore = SleepLog().size();
        Record();
        EXPECT_EQ(DRELM_TSY_SWStartAcquisition(h), DRELM_TSY_CommReadError);
        std::vector<Expect> expected{Read(kControl, kControlBackground), Write(kControl, kControlBackground | kRunBit)};
        expected.insert(expected.end(), failingPoll - 1, Read(kStatus));
        expected.push_back(Read(kStatus, std::nullopt, kFaultStatus));
        EXPECT_TRUE(TrafficIs(Traffic(), expected));
        EXPECT_EQ(SleepLog().size() - sleepsBefore, failingPoll - 1);
        drelm::emu::RemoveFault(fault);
        ASSERT_EQ(DRELM_TSY_CloseTessary(h), DRELM_TSY_Success);
    }
}

using StopTest = EmulatedBoardTest;

TEST_F(StopTest, ClearsOnlyTheRunBitAndDoesNotWait) {
    const int32_t h = OpenBoard();
    for (const uint32_t before : {kControlBackground | kRunBit | 1u, kControlBackground | 3u, kControlBackground}) {
        Poke(h, kControl, before);
        Record();
        EXPECT_EQ(DRELM_TSY_SWStopAcquisition(h), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, before), Write(kControl, before & ~kRunBit)}));
        EXPECT_EQ(Peek(h, kControl), before & ~kRunBit);
    }
    EXPECT_TRUE(SleepLog().empty());
}

TEST_F(StopTest, FailedReadIsReadFailedWithoutWrite) {
    const int32_t h = OpenBoard();
    FailReads(kControl);
    Record();
    EXPECT_EQ(DRELM_TSY_SWStopAcquisition(h), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, std::nullopt, kFaultStatus)}));
}

TEST_F(StopTest, FailedWriteIsTranslatedToUnsupportedBoard) {
    const int32_t h = OpenBoard();
    Poke(h, kControl, kControlBackground | kRunBit);
    FailWrites(kControl);
    Record();
    EXPECT_EQ(DRELM_TSY_SWStopAcquisition(h), DRELM_TSY_UnsupportedBoard);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, kControlBackground | kRunBit),
                                      Write(kControl, kControlBackground, kFaultStatus)}));
}

using StartModeTest = EmulatedBoardTest;

TEST_F(StartModeTest, OnlyTheTwoLowBitsOfTheModeAreWritten) {
    struct Case {
        uint32_t mode, before, after;
    };
    const int32_t h = OpenBoard();
    for (const Case c : {Case{5, kControlBackground | 2u, kControlBackground | 1u},
                         Case{0, kControlBackground | kRunBit | 3u, kControlBackground | kRunBit},
                         Case{3, kControlBackground, kControlBackground | 3u},
                         Case{0xFFFFFFFE, kControlBackground | kRunBit | 1u, kControlBackground | kRunBit | 2u}}) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode);
        Poke(h, kControl, c.before);
        Record();
        EXPECT_EQ(DRELM_TSY_SetAcquisitionMode(h, c.mode), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, c.before), Write(kControl, c.after)}));
        EXPECT_EQ(Peek(h, kControl), c.after);
    }
}

TEST_F(StartModeTest, FailedReadIsReadFailedWithoutWrite) {
    const int32_t h = OpenBoard();
    FailReads(kControl);
    Record();
    EXPECT_EQ(DRELM_TSY_SetAcquisitionMode(h, 1), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, std::nullopt, kFaultStatus)}));
}

// Unlike start and stop, the failed write is passed through untranslated.
TEST_F(StartModeTest, FailedWriteIsWriteFailed) {
    const int32_t h = OpenBoard();
    Poke(h, kControl, kControlBackground);
    FailWrites(kControl);
    Record();
    EXPECT_EQ(DRELM_TSY_SetAcquisitionMode(h, 1), DRELM_TSY_WriteFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kControl, kControlBackground),
                                      Write(kControl, kControlBackground | 1u, kFaultStatus)}));
    EXPECT_EQ(Peek(h, kControl), kControlBackground);
}

}  // namespace
}  // namespace tessary_test

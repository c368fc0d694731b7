// DC offsets: the whole-register write with its busy wait, and the
// half-register write and read.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "BoardLockProbe.h"
#include "BoardTable.h"
#include "EmulatedBoards.h"
#include "LinkFaultHelpers.h"

namespace tessary_test {
namespace {

constexpr uint32_t StatusRegister(uint32_t group) { return 0x1088u | (group << 8); }
constexpr uint32_t OffsetRegister(uint32_t group) { return 0x1098u | (group << 8); }
constexpr uint32_t kBusyBit = 1u << 2;
// What the emulated board answers for a read of a register it does not have.
constexpr int32_t kMissingReadStatus = -10;

// A group that stays busy for the whole test once an offset was written.
drelm::emu::BoardConfig EverBusy() {
    drelm::emu::BoardConfig config;
    config.dcOffsetBusyUs = 0xFFFFFFFFu;
    return config;
}

using GroupDcOffsetTest = EmulatedBoardTest;

TEST_F(GroupDcOffsetTest, IdleGroupIsWrittenAtOnce) {
    const int32_t h = OpenBoard();
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 2, 0x1234), DRELM_TSY_Success);
    const auto traffic = Traffic();
    EXPECT_TRUE(TrafficIs(traffic, {Read(StatusRegister(2)), Write(OffsetRegister(2), 0x1234u)}));
    EXPECT_EQ(traffic.at(0).value & kBusyBit, 0u);
    EXPECT_EQ(Peek(h, OffsetRegister(2)), 0x1234u);
    EXPECT_TRUE(SleepLog().empty());
}

TEST_F(GroupDcOffsetTest, WholeRegisterIsWrittenWithUpperHalfZero) {
    const int32_t h = OpenBoard();
    Poke(h, OffsetRegister(7), 0xAAAA5555);
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 7, 0xFFFF), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(StatusRegister(7)), Write(OffsetRegister(7), 0xFFFFu)}));
}

TEST_F(GroupDcOffsetTest, BusyGroupIsPolledEvery100msUntilIdle) {
    drelm::emu::BoardConfig config;
    config.dcOffsetBusyUs = 250'000;  // idle again after the third pause
    const int32_t h = OpenBoard(0, &config);
    ASSERT_EQ(DRELM_TSY_SetGroupDCOffset(h, 1, 0x100), DRELM_TSY_Success);
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 1, 0x200), DRELM_TSY_Success);
    const auto traffic = Traffic();
    EXPECT_TRUE(TrafficIs(traffic, {Read(StatusRegister(1)), Read(StatusRegister(1)), Read(StatusRegister(1)),
                                    Read(StatusRegister(1)), Write(OffsetRegister(1), 0x200u)}));
    for (size_t i = 0; i < 3 && i < traffic.size(); ++i) EXPECT_NE(traffic[i].value & kBusyBit, 0u) << "poll " << i;
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{100, 100, 100}));
}

TEST_F(GroupDcOffsetTest, GroupThatStaysBusyTimesOutAfter16Polls) {
    const drelm::emu::BoardConfig config = EverBusy();
    const int32_t h = OpenBoard(0, &config);
    ASSERT_EQ(DRELM_TSY_SetGroupDCOffset(h, 3, 0x100), DRELM_TSY_Success);
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 3, 0x200), DRELM_TSY_Timeout);
    EXPECT_TRUE(TrafficIs(Traffic(), std::vector<Expect>(16, Read(StatusRegister(3)))));
    EXPECT_EQ(SleepLog(), std::vector<uint32_t>(16, 100));
    EXPECT_EQ(Peek(h, OffsetRegister(3)), 0x100u);
}

TEST_F(GroupDcOffsetTest, LockIsFreeDuringEveryPause) {
    const drelm::emu::BoardConfig config = EverBusy();
    const int32_t h = OpenBoard(0, &config);
    ASSERT_EQ(DRELM_TSY_SetGroupDCOffset(h, 0, 0x100), DRELM_TSY_Success);
    BoardLockProbe probe(h);
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 0, 0x200), DRELM_TSY_Timeout);
    EXPECT_EQ(probe.SleepsWithLockFree(), 16);
    EXPECT_EQ(probe.SleepsWithLockHeld(), 0);
}

TEST_F(GroupDcOffsetTest, ArgumentsAreCheckedBeforeAnyAccess) {
    struct Case {
        bool small;
        uint32_t group;
        uint32_t offset;
        int32_t status;
    };
    for (const Case c : {Case{false, 0, 0x10000, DRELM_TSY_InvalidParam}, Case{false, 0, 0xFFFFFFFF, DRELM_TSY_InvalidParam},
                         Case{false, 8, 0x100, DRELM_TSY_InvalidGroup}, Case{false, 0xFFFFFFFF, 0x100, DRELM_TSY_InvalidGroup},
                         Case{false, 0x100, 0x100, DRELM_TSY_InvalidGroup}, Case{true, 4, 0x100, DRELM_TSY_InvalidGroup},
                         // The group is checked before the offset.
                         Case{true, 4, 0x10000, DRELM_TSY_InvalidGroup}}) {
        SCOPED_TRACE(testing::Message() << (c.small ? "32" : "64") << " channels, group " << c.group << ", offset "
                                        << c.offset);
        const int32_t h = c.small ? Open32() : OpenBoard();
        Record();
        EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, c.group, c.offset), c.status);
        EXPECT_TRUE(TrafficIs(Traffic(), {}));
        ASSERT_EQ(DRELM_TSY_CloseTessary(h), DRELM_TSY_Success);
    }
}

TEST_F(GroupDcOffsetTest, LastGroupOfA32ChannelBoardIsAccepted) {
    const int32_t h = Open32();
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 3, 0x4321), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(StatusRegister(3)), Write(OffsetRegister(3), 0x4321u)}));
}

// The open refuses boards of other families, so the entry is altered
// directly to reach the check.
TEST_F(GroupDcOffsetTest, BoardOfAnotherFamilyIsUnsupported) {
    const int32_t h = OpenBoard();
    drelm::tsy::Board(h).familyCode = 8;
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 0, 0x100), DRELM_TSY_UnsupportedBoard);
    // The family is checked before the group and the offset.
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 8, 0x10000), DRELM_TSY_UnsupportedBoard);
    EXPECT_TRUE(TrafficIs(Traffic(), {}));
}

TEST_F(GroupDcOffsetTest, FailedStatusReadIsReadFailedWithoutWrite) {
    const int32_t h = OpenBoard();
    FailReads(StatusRegister(5));
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 5, 0x100), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(StatusRegister(5), std::nullopt, kFaultStatus)}));
    EXPECT_TRUE(SleepLog().empty());
}

TEST_F(GroupDcOffsetTest, StatusReadFailingWhileBusyStopsTheWait) {
    const drelm::emu::BoardConfig config = EverBusy();
    const int32_t h = OpenBoard(0, &config);
    ASSERT_EQ(DRELM_TSY_SetGroupDCOffset(h, 5, 0x100), DRELM_TSY_Success);
    FailReads(StatusRegister(5), 3, 1);
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 5, 0x200), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(StatusRegister(5)), Read(StatusRegister(5)),
                                      Read(StatusRegister(5), std::nullopt, kFaultStatus)}));
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{100, 100}));
}

TEST_F(GroupDcOffsetTest, FailedWriteIsTranslatedToUnsupportedBoard) {
    const int32_t h = OpenBoard();
    FailWrites(OffsetRegister(4));
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupDCOffset(h, 4, 0x100), DRELM_TSY_UnsupportedBoard);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(StatusRegister(4)), Write(OffsetRegister(4), 0x100u, kFaultStatus)}));
}

using HalfOffsetWriteTest = EmulatedBoardTest;

TEST_F(HalfOffsetWriteTest, EachHalfKeepsTheOther) {
    struct Case {
        int32_t half;
        uint16_t offset;
        uint32_t written;
    };
    // Idle again before the next write, 10 ms later.
    drelm::emu::BoardConfig config;
    config.dcOffsetBusyUs = 1000;
    const int32_t h = OpenBoard(0, &config);
    for (const Case c : {Case{1, 0x1234, 0x12345555}, Case{0, 0x1234, 0xAAAA1234}, Case{0, 0, 0xAAAA0000},
                         Case{1, 0xFFFF, 0xFFFF5555}}) {
        SCOPED_TRACE(testing::Message() << "half " << c.half << ", offset " << c.offset);
        Poke(h, OffsetRegister(3), 0xAAAA5555);
        const size_t sleepsBefore = SleepLog().size();
        Record();
        EXPECT_EQ(DRELM_TSY_DACOffsetWrite(h, 3, c.half, c.offset), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {Read(StatusRegister(3), 0u), Read(OffsetRegister(3), 0xAAAA5555u),
                                          Write(OffsetRegister(3), c.written)}));
        EXPECT_EQ(Peek(h, OffsetRegister(3)), c.written);
        EXPECT_EQ(SleepLog().size(), sleepsBefore + 1);
        EXPECT_EQ(SleepLog().back(), 10u);
    }
}

TEST_F(HalfOffsetWriteTest, OtherHalvesWriteNothingButStillPause) {
    const int32_t h = OpenBoard();
    Poke(h, OffsetRegister(0), 0xAAAA5555);
    for (const int32_t half : {2, -1, INT32_MAX}) {
        Record();
        EXPECT_EQ(DRELM_TSY_DACOffsetWrite(h, 0, half, 0x1234), DRELM_TSY_Success) << "half " << half;
        EXPECT_TRUE(TrafficIs(Traffic(), {Read(OffsetRegister(0), 0xAAAA5555u)})) << "half " << half;
    }
    EXPECT_EQ(Peek(h, OffsetRegister(0)), 0xAAAA5555u);
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{10, 10, 10}));
}

TEST_F(HalfOffsetWriteTest, FailedReadSkipsTheWriteAndIsReported) {
    const int32_t h = OpenBoard();
    Poke(h, OffsetRegister(2), 0xAAAA5555);
    FailReads(OffsetRegister(2));
    Record();
    EXPECT_EQ(DRELM_TSY_DACOffsetWrite(h, 2, 1, 0x1234), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(StatusRegister(2), 0u), Read(OffsetRegister(2), std::nullopt, kFaultStatus)}));
    EXPECT_EQ(Peek(h, OffsetRegister(2)), 0xAAAA5555u);
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{10}));
}

TEST_F(HalfOffsetWriteTest, FailedWriteIsReported) {
    const int32_t h = OpenBoard();
    Poke(h, OffsetRegister(2), 0xAAAA5555);
    FailWrites(OffsetRegister(2));
    Record();
    EXPECT_EQ(DRELM_TSY_DACOffsetWrite(h, 2, 0, 0x1234), DRELM_TSY_WriteFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(StatusRegister(2), 0u), Read(OffsetRegister(2), 0xAAAA5555u),
                                      Write(OffsetRegister(2), 0xAAAA1234u, kFaultStatus)}));
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{10}));
}

TEST_F(HalfOffsetWriteTest, PauseIsTakenWithTheLockFree) {
    const int32_t h = OpenBoard();
    BoardLockProbe probe(h);
    EXPECT_EQ(DRELM_TSY_DACOffsetWrite(h, 1, 0, 0x10), DRELM_TSY_Success);
    EXPECT_EQ(probe.SleepsWithLockFree(), 1);
    EXPECT_EQ(probe.SleepsWithLockHeld(), 0);
}

// Group 0x0103 addresses 0x11388 and 0x11398, registers the board lacks:
// the failed status read is reported, and nothing is written.
TEST_F(HalfOffsetWriteTest, WholeSixteenBitGroupMakesTheAddress) {
    const int32_t h = OpenBoard();
    Record();
    EXPECT_EQ(DRELM_TSY_DACOffsetWrite(h, 0x0103, 0, 0x1234), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(0x11388, std::nullopt, kMissingReadStatus)}));
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{10}));
}

using HalfOffsetReadTest = EmulatedBoardTest;

TEST_F(HalfOffsetReadTest, StoresTheChosenHalf) {
    const int32_t h = OpenBoard();
    Poke(h, OffsetRegister(6), 0x12345555);
    for (const int32_t half : {0, 1}) {
        uint16_t offset = 0;
        Record();
        EXPECT_EQ(DRELM_TSY_DACOffsetRead(h, 6, half, &offset), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {Read(OffsetRegister(6), 0x12345555u)}));
        EXPECT_EQ(offset, half == 0 ? 0x5555 : 0x1234) << "half " << half;
    }
    EXPECT_TRUE(SleepLog().empty());
}

TEST_F(HalfOffsetReadTest, OtherHalvesStoreNothing) {
    const int32_t h = OpenBoard();
    Poke(h, OffsetRegister(6), 0x12345555);
    uint16_t offset = 0xBEEF;
    Record();
    EXPECT_EQ(DRELM_TSY_DACOffsetRead(h, 6, 2, &offset), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(OffsetRegister(6), 0x12345555u)}));
    EXPECT_EQ(offset, 0xBEEF);
}

TEST_F(HalfOffsetReadTest, FailedReadStoresNothingAndIsReported) {
    const int32_t h = OpenBoard();
    FailReads(OffsetRegister(1));
    uint16_t offset = 0xBEEF;
    Record();
    EXPECT_EQ(DRELM_TSY_DACOffsetRead(h, 1, 0, &offset), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(OffsetRegister(1), std::nullopt, kFaultStatus)}));
    EXPECT_EQ(offset, 0xBEEF);
}

TEST_F(HalfOffsetReadTest, WholeSixteenBitGroupMakesTheAddress) {
    const int32_t h = OpenBoard();
    uint16_t offset = 0xBEEF;
    Record();
    EXPECT_EQ(DRELM_TSY_DACOffsetRead(h, 0x0103, 1, &offset), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(0x11398, std::nullopt, kMissingReadStatus)}));
    EXPECT_EQ(offset, 0xBEEF);
}

TEST_F(HalfOffsetReadTest, NullDestinationIsInvalidParamWithoutAccess) {
    const int32_t h = OpenBoard();
    Record();
    for (const int32_t half : {0, 1, 2}) EXPECT_EQ(DRELM_TSY_DACOffsetRead(h, 0, half, nullptr), DRELM_TSY_InvalidParam);
    EXPECT_TRUE(TrafficIs(Traffic(), {}));
}

}  // namespace
}  // namespace tessary_test

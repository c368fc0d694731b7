// The flash operations' command traffic, checked against the emulated chip
// for each page size.
#include <gtest/gtest.h>

#include "FlashBoard.h"
#include "FlashTraffic.h"

using namespace drelm::tsy;
using namespace tessary_test;

namespace {

class FlashCommandTest : public FlashBoardTest, public ::testing::WithParamInterface<ChipCase> {
protected:
    void SetUp() override {
        FlashBoardTest::SetUp();
        handle_ = OpenWithChip(GetParam().deviceId);
        ASSERT_EQ(FlashIdentify(handle_), 0);
    }
    uint32_t PageSize() const { return GetParam().pageSize; }
    uint32_t Shift() const { return GetParam().pageShift; }

    int32_t handle_ = -1;
};

TEST_P(FlashCommandTest, IdentifyReadsTheSecondByteAsDeviceId) {
    Record();
    EXPECT_EQ(FlashIdentify(handle_), 0);
    EXPECT_TRUE(TrafficIs(Traffic(), Cat({Opcode(0x9F), {Read(kFlashData, 0x1F), Read(kFlashData, GetParam().deviceId)},
                                          Release()})));
    EXPECT_EQ(CurrentFlashState().flashIdentified, 1);
    EXPECT_EQ(CurrentFlashState().flashDeviceId, GetParam().deviceId);
    EXPECT_EQ(CurrentFlashState().flashPageSize, PageSize());
}

TEST_P(FlashCommandTest, WholeAlignedPageGoesStraightThroughTheBuffer) {
    const auto data = Pattern(PageSize(), 3);
    Record();
    EXPECT_EQ(FlashWrite(handle_, 7 * PageSize(), data.data(), static_cast<uint16_t>(data.size())), 0);
    EXPECT_TRUE(TrafficIs(OneStatusReadPerWait(Traffic()),
                          Cat({Opcode(0x82, Field(7, 0, Shift())), ListWrites(data.data(), data.size()), Release(),
                               Wait()})));
    EXPECT_EQ(FlashBytes(handle_, 7 * PageSize(), PageSize()), data);
}

TEST_P(FlashCommandTest, PartOfAPageIsMergedIntoItsContents) {
    const auto before = Pattern(PageSize(), 90);
    SetFlashBytes(handle_, 9 * PageSize(), before);
    const auto data = Pattern(32, 200);
    Record();
    EXPECT_EQ(FlashWrite(handle_, 9 * PageSize() + 5, data.data(), 32), 0);
    EXPECT_TRUE(TrafficIs(OneStatusReadPerWait(Traffic()), MergeChunk(9, 5, data.data(), 32, Shift())));
    auto expected = before;
    std::copy(data.begin(), data.end(), expected.begin() + 5);
    EXPECT_EQ(FlashBytes(handle_, 9 * PageSize(), PageSize()), expected);
}

TEST_P(FlashCommandTest, AWriteAcrossAPageEndIsSplitThere) {
    const auto before = Pattern(2 * PageSize(), 11);
    SetFlashBytes(handle_, 3 * PageSize(), before);
    const auto data = Pattern(PageSize(), 150);
    const uint32_t first = 10;
    Record();
    EXPECT_EQ(FlashWrite(handle_, 4 * PageSize() - first, data.data(), static_cast<uint16_t>(data.size())), 0);
    EXPECT_TRUE(TrafficIs(OneStatusReadPerWait(Traffic()),
                          Cat({MergeChunk(3, PageSize() - first, data.data(), first, Shift()),
                               MergeChunk(4, 0, data.data() + first, PageSize() - first, Shift())})));
    auto expected = before;
    std::copy(data.begin(), data.end(), expected.begin() + PageSize() - first);
    EXPECT_EQ(FlashBytes(handle_, 3 * PageSize(), 2 * PageSize()), expected);
}

TEST_P(FlashCommandTest, AZeroByteWriteReprogramsThePageWithItsOwnContents) {
    const auto before = Pattern(PageSize(), 77);
    SetFlashBytes(handle_, 5 * PageSize(), before);
    Record();
    EXPECT_EQ(FlashWrite(handle_, 5 * PageSize() + 17, before.data(), 0), 0);
    EXPECT_TRUE(TrafficIs(OneStatusReadPerWait(Traffic()), MergeChunk(5, 17, nullptr, 0, Shift())));
    EXPECT_EQ(FlashBytes(handle_, 5 * PageSize(), PageSize()), before);
}

TEST_P(FlashCommandTest, PageReadRunsOnAcrossPageEnds) {
    const uint32_t address = 5 * PageSize() + PageSize() - 4;
    SetFlashBytes(handle_, 5 * PageSize(), Pattern(4 * PageSize(), 42));
    uint8_t page[kFlashReadLength];
    Record();
    EXPECT_EQ(FlashReadPage(handle_, address, page), 0);
    EXPECT_TRUE(TrafficIs(Traffic(), Cat({Opcode(0x03, Field(5, PageSize() - 4, Shift())), ListReads(528), Release()})));
    EXPECT_EQ(std::vector<uint8_t>(page, page + 528), FlashBytes(handle_, address, 528));
}

TEST_P(FlashCommandTest, PageEraseLeavesTheBytesErased) {
    SetFlashBytes(handle_, 12 * PageSize(), Pattern(PageSize(), 1));
    Record();
    EXPECT_EQ(FlashErasePage(handle_, 12), 0);
    EXPECT_TRUE(TrafficIs(OneStatusReadPerWait(Traffic()), PageCommand(0x81, 12, Shift())));
    EXPECT_EQ(FlashBytes(handle_, 12 * PageSize(), PageSize()), std::vector<uint8_t>(PageSize(), 0xFF));
}

INSTANTIATE_TEST_SUITE_P(EachPageSize, FlashCommandTest, ::testing::ValuesIn(kChips));

using FlashEdgeTest = FlashBoardTest;

TEST_F(FlashEdgeTest, FullPageAtPageSevenIsOneProgramCommand) {
    const int32_t h = OpenWithChip(0x27);
    ASSERT_EQ(FlashIdentify(h), 0);
    const auto data = Pattern(528, 9);
    Record();
    EXPECT_EQ(FlashWrite(h, 528 * 7, data.data(), 528), 0);
    const auto traffic = RegisterAccesses(Traffic());
    ASSERT_GE(traffic.size(), 5u);
    EXPECT_EQ(traffic[1].value, 0x82u);
    EXPECT_EQ(traffic[2].value, 0x00u);
    EXPECT_EQ(traffic[3].value, 0x1Cu);
    EXPECT_EQ(traffic[4].value, 0x00u);
}

TEST_F(FlashEdgeTest, ThirtyTwoBytesAtTheOffsetPageTakeTheMergePath) {
    const int32_t h = OpenWithChip(0x27);
    ASSERT_EQ(FlashIdentify(h), 0);
    const auto data = Pattern(32, 5);
    Record();
    EXPECT_EQ(FlashWrite(h, 4189680, data.data(), 32), 0);
    EXPECT_TRUE(TrafficIs(OneStatusReadPerWait(Traffic()), MergeChunk(7935, 0, data.data(), 32, 10)));
    EXPECT_EQ(Field(7935, 0, 10), 0x7BFC00u);
}

TEST_F(FlashEdgeTest, UnknownDeviceIdMakesEveryLaterOperationInvalid) {
    const int32_t h = OpenWithChip(0x26);
    Record();
    EXPECT_EQ(FlashIdentify(h), kFlashUnknownDevice);
    EXPECT_EQ(CurrentFlashState().flashIdentified, 0);
    EXPECT_EQ(CurrentFlashState().flashDeviceId, 0x26);
    Record();
    uint8_t bytes[kFlashMaxPage] = {};
    EXPECT_EQ(FlashWaitReady(h), -5);
    EXPECT_EQ(FlashErasePage(h, 1), -5);
    EXPECT_EQ(FlashReadPage(h, 0, bytes), -5);
    EXPECT_EQ(FlashWrite(h, 0, bytes, 16), -5);
    EXPECT_EQ(FlashWrite(h, 0, bytes, 0), -5);
    EXPECT_EQ(FlashPageToBuffer(h, 1), -5);
    EXPECT_EQ(FlashBufferWrite(h, 0, bytes, 16), -5);
    EXPECT_EQ(FlashBufferToPage(h, 1), -5);
    EXPECT_TRUE(Traffic().empty());
}

TEST_F(FlashEdgeTest, IdentifyingAKnownChipAgainRestoresTheOperations) {
    const int32_t unknown = OpenWithChip(0x26, 64, 0);
    const int32_t known = OpenWithChip(0x28, 64, 1);
    EXPECT_EQ(FlashIdentify(unknown), kFlashUnknownDevice);
    EXPECT_EQ(FlashErasePage(known, 3), -5);
    EXPECT_EQ(FlashIdentify(known), 0);
    EXPECT_EQ(CurrentFlashState().flashPageSize, 1056);
    EXPECT_EQ(FlashErasePage(known, 3), 0);
    EXPECT_EQ(FlashIdentify(unknown), kFlashUnknownDevice);
    EXPECT_EQ(CurrentFlashState().flashPageSize, 1056) << "a failed identification keeps the page size";
}

TEST_F(FlashEdgeTest, AChipThatNeverGetsReadyIsATimeoutAfterBoundedPolls) {
    const int32_t h = OpenWithChip(0x27);
    ASSERT_EQ(FlashIdentify(h), 0);
    const size_t sleepsBefore = SleepLog().size();
    drelm::emu::Fault fault;
    fault.op = Op::ReadRegister;
    fault.address = kFlashData;
    drelm::emu::AddFault(fault);
    Record();
    EXPECT_EQ(FlashWaitReady(h), DRELM_TSY_Timeout);
    const auto sleeps = SleepLog();
    EXPECT_EQ(sleeps.size() - sleepsBefore, kFlashReadyPauses);
    for (size_t i = sleepsBefore; i < sleeps.size(); ++i) EXPECT_EQ(sleeps[i], kFlashReadyPauseMs);
    const auto traffic = RegisterAccesses(Traffic());
    ASSERT_FALSE(traffic.empty());
    EXPECT_EQ(traffic.size(), 2 + (kFlashReadyPauses + 1) + 1);
    EXPECT_EQ(traffic.back().address, kFlashControl);
    EXPECT_EQ(traffic.back().value, 3u) << "the chip is released after the last poll";
    // A write waits in the same way and reports it.
    const auto data = Pattern(16, 1);
    EXPECT_EQ(FlashWrite(h, 0, data.data(), 16), DRELM_TSY_Timeout);
}

TEST_F(FlashEdgeTest, SendBytesRefusesMoreThanAPageAndSendsNothing) {
    const int32_t h = OpenWithChip(0x27);
    std::vector<uint8_t> bytes(kFlashMaxPage + 1, 0);
    Record();
    EXPECT_EQ(FlashSendBytes(h, bytes.data(), kFlashMaxPage + 1), DRELM_TSY_InvalidParam);
    EXPECT_TRUE(Traffic().empty());
}

TEST_F(FlashEdgeTest, BufferWriteReportsAFailedFinalControlWrite) {
    const int32_t h = OpenWithChip(0x27);
    ASSERT_EQ(FlashIdentify(h), 0);
    drelm::emu::Fault fault;
    fault.op = Op::WriteRegister;
    fault.address = kFlashControl;
    fault.firstCall = 2;
    fault.count = 1;
    drelm::emu::AddFault(fault);
    const auto data = Pattern(8, 1);
    EXPECT_EQ(FlashBufferWrite(h, 0, data.data(), 8), DRELM_TSY_GenericError);
}

TEST_F(FlashEdgeTest, AFailedListReadIsReportedByThePageRead) {
    const int32_t h = OpenWithChip(0x27);
    ASSERT_EQ(FlashIdentify(h), 0);
    drelm::emu::Fault fault;
    fault.op = Op::ReadRegisters;
    drelm::emu::AddFault(fault);
    uint8_t page[kFlashReadLength];
    EXPECT_EQ(FlashReadPage(h, 0, page), DRELM_TSY_ReadFailed);
}

}  // namespace

// Traffic recording: what each call leaves in the record, lists item by item.
#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

void ExpectAccess(const Access& a, Op op, int32_t link, uint32_t address, uint32_t value, int32_t status) {
    EXPECT_EQ(a.op, op);
    EXPECT_EQ(a.linkHandle, link);
    EXPECT_EQ(a.address, address);
    EXPECT_EQ(a.value, value);
    EXPECT_EQ(a.status, status);
}

TEST_F(EmulatorTest, RecordingIsOffUntilStarted) {
    const int32_t h = OpenUsb(0);
    Write(h, 0x8020, 1);
    EXPECT_TRUE(drelm::emu::RecordedTraffic().empty());
    drelm::emu::StartRecording();
    Write(h, 0x8020, 2);
    drelm::emu::StopRecording();
    Write(h, 0x8020, 3);
    ASSERT_EQ(drelm::emu::RecordedTraffic().size(), 1u);
    drelm::emu::StartRecording();
    EXPECT_TRUE(drelm::emu::RecordedTraffic().empty()) << "a start clears the record";
}

TEST_F(EmulatorTest, ListsAreRecordedItemByItemInOrder) {
    const int32_t h = OpenUsb(0);
    drelm::emu::StartRecording();
    const uint32_t addresses[4] = {0xEF30, 0xEF30, 0x1800, 0xEF30};
    const uint32_t values[4] = {0x0B, 0x01, 0x02, 0x03};
    int32_t statuses[4] = {};
    EXPECT_EQ(LinkWriteRegisters(h, addresses, 4, values, statuses), -11) << "the first failing item's status";
    EXPECT_EQ(statuses[2], -11);
    EXPECT_EQ(statuses[3], 0) << "items after a failure are still made";
    uint32_t read[2] = {};
    const uint32_t readAddresses[2] = {0xF030, 0x1900};
    EXPECT_EQ(LinkReadRegisters(h, readAddresses, 2, read, nullptr), -10);
    const std::vector<Access> t = drelm::emu::RecordedTraffic();
    ASSERT_EQ(t.size(), 6u);
    ExpectAccess(t[0], Op::WriteRegisters, h, 0xEF30, 0x0B, 0);
    ExpectAccess(t[1], Op::WriteRegisters, h, 0xEF30, 0x01, 0);
    ExpectAccess(t[2], Op::WriteRegisters, h, 0x1800, 0x02, -11);
    ExpectAccess(t[3], Op::WriteRegisters, h, 0xEF30, 0x03, 0);
    ExpectAccess(t[4], Op::ReadRegisters, h, 0xF030, 0x55, 0);
    ExpectAccess(t[5], Op::ReadRegisters, h, 0x1900, 0, -10);
}

TEST_F(EmulatorTest, EveryOperationLeavesOneRecord) {
    drelm::emu::StartRecording();
    int32_t link = 3;
    int32_t h = -1;
    ASSERT_EQ(LinkOpen(DRELM_LINK_USB_VME, &link, 0, 0x32100000, &h), 0);
    EXPECT_EQ(LinkOpen(DRELM_LINK_USB_VME, &link, 0, 0x32100000, &h), -6);
    uint8_t info[4];
    EXPECT_EQ(LinkQueryInfo(h, 5, info), 0);
    ASSERT_TRUE(drelm::emu::InjectEvents(h, {5, 0, 0, 0, 0}));
    uint32_t words[5];
    int32_t moved = 0;
    EXPECT_EQ(LinkBlockRead(h, 0, words, 5, &moved), 0);
    uint32_t value = 0;
    EXPECT_EQ(LinkReadRegister(h, 0x8104, &value), 0);
    EXPECT_EQ(LinkClose(h), 0);
    const std::vector<Access> t = drelm::emu::RecordedTraffic();
    ASSERT_EQ(t.size(), 6u);
    ExpectAccess(t[0], Op::Open, h, 0x32100000, static_cast<uint32_t>(h), 0);
    ExpectAccess(t[1], Op::Open, -1, 0x32100000, 0xFFFFFFFF, -6);
    ExpectAccess(t[2], Op::QueryInfo, h, 5, 1, 0);
    ExpectAccess(t[3], Op::BlockRead, h, 0, 5, 0);
    ExpectAccess(t[4], Op::ReadRegister, h, 0x8104, value, 0);
    ExpectAccess(t[5], Op::Close, h, 0, 0, 0);
}

}  // namespace
}  // namespace emulator_test

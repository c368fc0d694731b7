// Injected faults: which calls they hit and what a faulted call leaves.
#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

struct WindowCase {
    const char* name;
    uint32_t firstCall;
    uint32_t count;
    std::vector<bool> fails;  // calls 1, 2, ...
};

class FaultWindow : public EmulatorTest, public ::testing::WithParamInterface<WindowCase> {};

TEST_P(FaultWindow, FailsTheCallsOfItsWindow) {
    const WindowCase& c = GetParam();
    const int32_t h = OpenUsb(0);
    Fault fault;
    fault.op = Op::ReadRegister;
    fault.status = -7;
    fault.firstCall = c.firstCall;
    fault.count = c.count;
    drelm::emu::AddFault(fault);
    for (std::size_t i = 0; i < c.fails.size(); ++i) {
        uint32_t value = 0xABCD;
        const int32_t status = LinkReadRegister(h, 0x8020, &value);
        EXPECT_EQ(status, c.fails[i] ? -7 : 0) << "call " << i + 1;
        EXPECT_EQ(value, c.fails[i] ? 0xABCDu : 0u) << "a faulted read leaves the value alone";
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, FaultWindow,
                         ::testing::Values(WindowCase{"Always", 1, 0, {true, true, true, true}},
                                           WindowCase{"FromThird", 3, 0, {false, false, true, true, true}},
                                           WindowCase{"TwoCalls", 1, 2, {true, true, false, false}},
                                           WindowCase{"SecondOnly", 2, 1, {false, true, false, false}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EmulatorTest, AFaultCanTargetOneAddressOrOneLink) {
    const int32_t a = OpenUsb(0);
    const int32_t b = OpenUsb(1);
    Fault onAddress;
    onAddress.op = Op::WriteRegister;
    onAddress.address = 0x8020;
    const int byAddress = drelm::emu::AddFault(onAddress);
    EXPECT_EQ(LinkWriteRegister(a, 0x8020, 9), -2);
    EXPECT_EQ(LinkWriteRegister(b, 0x8020, 9), -2);
    EXPECT_EQ(LinkWriteRegister(a, 0x8000, 9), 0);
    EXPECT_EQ(Read(a, 0x8020), 0u) << "a faulted write changes nothing";
    drelm::emu::RemoveFault(byAddress);
    EXPECT_EQ(LinkWriteRegister(a, 0x8020, 9), 0);

    Fault onLink;
    onLink.op = Op::ReadRegister;
    onLink.status = -10;
    onLink.linkHandle = b;
    drelm::emu::AddFault(onLink);
    EXPECT_EQ(ReadStatus(a, 0x8020), 0);
    EXPECT_EQ(ReadStatus(b, 0x8020), -10);
    drelm::emu::ClearFaults();
    EXPECT_EQ(ReadStatus(b, 0x8020), 0);
}

TEST_F(EmulatorTest, FaultsCountOnlyTheirOwnOperation) {
    const int32_t h = OpenUsb(0);
    Fault fault;
    fault.op = Op::ReadRegisters;
    fault.firstCall = 2;
    fault.count = 1;
    drelm::emu::AddFault(fault);
    EXPECT_EQ(ReadStatus(h, 0x8020), 0) << "single reads are not list items";
    const uint32_t addresses[3] = {0x8020, 0x8020, 0x8020};
    uint32_t values[3] = {7, 7, 7};
    int32_t statuses[3] = {1, 1, 1};
    EXPECT_EQ(LinkReadRegisters(h, addresses, 3, values, statuses), -2);
    EXPECT_EQ(statuses[0], 0);
    EXPECT_EQ(statuses[1], -2);
    EXPECT_EQ(statuses[2], 0);
    EXPECT_EQ(values[1], 7u);
}

TEST_F(EmulatorTest, FaultedOpenCloseAndBlockRead) {
    BoardConfig config;
    config.spareWordPercent = 0;  // the read moves exactly the injected event
    drelm::emu::ConfigureBoard(Usb(0), config);
    Fault open;
    open.op = Op::Open;
    open.status = -7;
    open.count = 1;
    drelm::emu::AddFault(open);
    int32_t link = 0;
    int32_t h = -1;
    EXPECT_EQ(LinkOpen(DRELM_LINK_USB, &link, 0, 0, &h), -7);
    EXPECT_EQ(drelm::emu::LinkHandleOf(Usb(0)), -1) << "no link was made";
    ASSERT_EQ(LinkOpen(DRELM_LINK_USB, &link, 0, 0, &h), 0);

    ASSERT_TRUE(drelm::emu::InjectEvents(h, {4, 0, 0, 0}));
    Fault block;
    block.op = Op::BlockRead;
    block.count = 1;
    drelm::emu::AddFault(block);
    uint32_t words[8] = {};
    int32_t moved = 99;
    EXPECT_EQ(LinkBlockRead(h, 0, words, 8, &moved), -2);
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(LinkBlockRead(h, 0, words, 8, &moved), kEndOfTransfer);
    EXPECT_EQ(moved, 4) << "the faulted read moved nothing";

    Fault close;
    close.op = Op::Close;
    close.status = -1;
    close.count = 1;
    drelm::emu::AddFault(close);
    EXPECT_EQ(LinkClose(h), -1);
    EXPECT_EQ(drelm::emu::LinkHandleOf(Usb(0)), h) << "a faulted close leaves the link open";
    EXPECT_EQ(LinkClose(h), 0);
}

}  // namespace
}  // namespace emulator_test

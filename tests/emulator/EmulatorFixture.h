// A fresh emulator on a virtual clock for each test, and small helpers over
// the link operations.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "DrelmComm.h"
#include "DrelmEmulator.h"

namespace emulator_test {

using drelm::emu::Access;
using drelm::emu::BoardAddress;
using drelm::emu::BoardConfig;
using drelm::emu::Fault;
using drelm::emu::Op;

constexpr int32_t kEndOfTransfer = DRELM_COMM_END_OF_TRANSFER;

inline BoardAddress Usb(int32_t link) { return BoardAddress{DRELM_LINK_USB, link, "", 0, 0}; }

class EmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        drelm::emu::ResetEmulator();
        drelm::emu::UseVirtualClock(true);
    }
    void TearDown() override {
        drelm::emu::UseVirtualClock(false);
        drelm::emu::ResetEmulator();
    }

    static void AdvanceUs(uint64_t us) { drelm::emu::AdvanceClock(us * 1000); }

    // Opens USB link `link` (described first when a config is given).
    static int32_t OpenUsb(int32_t link = 0, const BoardConfig* config = nullptr) {
        if (config) drelm::emu::ConfigureBoard(Usb(link), *config);
        int32_t handle = -1;
        EXPECT_EQ(LinkOpen(DRELM_LINK_USB, &link, 0, 0, &handle), 0) << "open USB link " << link;
        return handle;
    }

    static uint32_t Read(int32_t handle, uint32_t address) {
        uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(LinkReadRegister(handle, address, &value), 0) << std::hex << "read 0x" << address;
        return value;
    }
    static void Write(int32_t handle, uint32_t address, uint32_t value) {
        EXPECT_EQ(LinkWriteRegister(handle, address, value), 0) << std::hex << "write 0x" << address;
    }
    static int32_t ReadStatus(int32_t handle, uint32_t address) {
        uint32_t value = 0;
        return LinkReadRegister(handle, address, &value);
    }
};

}  // namespace emulator_test

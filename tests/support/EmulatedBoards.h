// Test support: a fixture that gives each test a fresh emulator on a virtual
// clock, makes the library's fixed waits free (each one advances the
// emulated clock instead and is logged), and closes whatever the test left
// open. Plus helpers to compare recorded link traffic with expectations.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "DrelmEmulator.h"
#include "DrelmTessaryLib.h"
#include "Sleep.h"

namespace tessary_test {

using drelm::emu::Access;
using drelm::emu::Op;

const char* OpName(Op op);
std::string Describe(const Access& access);

// An expected access: op and address always; value and status when given.
struct Expect {
    Op op;
    uint32_t address;
    std::optional<uint32_t> value = std::nullopt;
    int32_t status = 0;
};

inline Expect Read(uint32_t address, std::optional<uint32_t> value = std::nullopt, int32_t status = 0) {
    return {Op::ReadRegister, address, value, status};
}
inline Expect Write(uint32_t address, std::optional<uint32_t> value = std::nullopt, int32_t status = 0) {
    return {Op::WriteRegister, address, value, status};
}

// Passes when the accesses match the expectations one to one, in order.
::testing::AssertionResult TrafficIs(const std::vector<Access>& actual, const std::vector<Expect>& expected);

// Only the single-register reads and writes, in order.
std::vector<Access> RegisterAccesses(const std::vector<Access>& traffic);

// Every sleep the library asked for since the fixture's SetUp, in ms.
std::vector<uint32_t> SleepLog();

class EmulatedBoardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the board at USB link `link` (configured first when a config is
    // given) and asserts success.
    int32_t OpenBoard(int32_t link = 0, const drelm::emu::BoardConfig* config = nullptr);
    int32_t Open32(int32_t link = 0);

    // The link handle the emulator gave the board behind a library handle.
    static int32_t LinkOf(int32_t handle);
    // Register value behind the link's back.
    static uint32_t Peek(int32_t handle, uint32_t address);
    static void Poke(int32_t handle, uint32_t address, uint32_t value);

    // Starts recording afresh; Traffic() returns what was recorded since.
    static void Record() { drelm::emu::StartRecording(); }
    static std::vector<Access> Traffic() { return drelm::emu::RecordedTraffic(); }

private:
    drelm::tsy::SleepFunction previousSleep_ = nullptr;
};

}  // namespace tessary_test

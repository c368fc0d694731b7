// Link and control calls on a handle while another thread closes it,
// describes the board anew and resets the emulator. Every call must end with
// a clear status and touch no board that has gone (run it under the tsan
// preset as well: a board freed while its mutex is held shows there).
#include <atomic>
#include <thread>
#include <vector>

#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

constexpr int kCycles = 150;
constexpr int kCallers = 2;

// -1: the link is not open (any more).
bool IsOkOrClosed(int32_t status) { return status == 0 || status == -1; }

// One round of every kind of call on `handle`; counts statuses that are
// neither success (or the end of a transfer) nor "link not open".
int CallEverything(int32_t handle) {
    int unexpected = 0;
    uint32_t value = 0;
    if (!IsOkOrClosed(LinkReadRegister(handle, 0x8020, &value))) ++unexpected;
    if (!IsOkOrClosed(LinkWriteRegister(handle, 0x8020, 7))) ++unexpected;
    const uint32_t addresses[2] = {0x8020, 0x8104};
    uint32_t values[2] = {};
    if (!IsOkOrClosed(LinkReadRegisters(handle, addresses, 2, values, nullptr))) ++unexpected;
    const uint32_t written[2] = {1, 2};
    const uint32_t writable[2] = {0x8020, 0x810C};
    if (!IsOkOrClosed(LinkWriteRegisters(handle, writable, 2, written, nullptr))) ++unexpected;
    uint32_t words[8] = {};
    int32_t moved = 0;
    const int32_t read = LinkBlockRead(handle, 0, words, 8, &moved);
    if (!IsOkOrClosed(read) && read != kEndOfTransfer) ++unexpected;
    uint8_t info[4] = {};
    if (!IsOkOrClosed(LinkQueryInfo(handle, DRELM_QUERY_LINK_INFO, info))) ++unexpected;
    // The control calls answer false for a closed link; either answer is fine.
    drelm::emu::PeekRegister(handle, 0x8020, &value);
    drelm::emu::PokeRegister(handle, 0x8020, 3);
    drelm::emu::InjectEvents(handle, {4, 1, 2, 3});
    std::vector<uint8_t> bytes;
    drelm::emu::ReadFlash(handle, 0, 16, &bytes);
    uint32_t pageSize = 0;
    drelm::emu::FlashPageSize(handle, &pageSize);
    drelm::emu::CalibrationWordsLoaded(handle);
    return unexpected;
}

TEST_F(EmulatorTest, CallsRacingCloseReconfigureAndResetEndCleanly) {
    std::atomic<int32_t> current{OpenUsb(0)};
    std::atomic<bool> done{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> callers;
    for (int c = 0; c < kCallers; ++c)
        callers.emplace_back([&] {
            while (!done.load()) unexpected += CallEverything(current.load());
        });

    int reopenFailures = 0;
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        const int32_t handle = current.load();
        EXPECT_EQ(LinkClose(handle), 0);
        BoardConfig config;
        config.serialNumber = static_cast<uint32_t>(cycle);
        config.triggerRateHz = 0;
        drelm::emu::ConfigureBoard(Usb(0), config);
        drelm::emu::ConfigureFlash(Usb(0), drelm::emu::FlashConfig{});
        if (cycle % 3 == 0) drelm::emu::ResetEmulator();
        int32_t link = 0;
        int32_t next = -1;
        if (LinkOpen(DRELM_LINK_USB, &link, 0, 0, &next) != 0) {
            ++reopenFailures;
            break;
        }
        current.store(next);
    }
    done.store(true);
    for (std::thread& caller : callers) caller.join();

    EXPECT_EQ(reopenFailures, 0);
    EXPECT_EQ(unexpected.load(), 0);
    // The last link still works after the storm.
    EXPECT_EQ(Read(current.load(), 0xF084), (kCycles - 1) & 0xFF);
}

}  // namespace
}  // namespace emulator_test

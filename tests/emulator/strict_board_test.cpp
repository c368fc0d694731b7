// What a host must put up with, as on a board: the flash chip's page times,
// commands framed only by release and select, a busy group's lost DC offset.
#include <utility>
#include <vector>

#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

constexpr int kSelect = -2;
constexpr int kRelease = -3;

// Bus steps: kSelect, kRelease, or a byte for the data register.
void Bus(int32_t h, const std::vector<int>& steps) {
    for (int s : steps) EXPECT_EQ(LinkWriteRegister(h, s < 0 ? 0xEF2C : 0xEF30, static_cast<uint32_t>(s < 0 ? -s : s)), 0);
}
bool Ready(int32_t h) {
    Bus(h, {kSelect, 0xD7});
    uint32_t status = 0;
    EXPECT_EQ(LinkReadRegister(h, 0xEF30, &status), 0);
    Bus(h, {kRelease});
    return (status & 0x80) != 0;
}
// A command on page 5 of the default 528-byte chip.
std::vector<int> OnPage5(int opcode) { return {kSelect, opcode, 0x00, 0x14, 0x00}; }

TEST_F(EmulatorTest, FlashArrayOperationsKeepTheChipBusyForTheirPageTime) {
    const int32_t h = OpenUsb(0);
    for (const auto& [opcode, busyUs] : {std::pair{0x81, 15'000u}, {0x83, 25'000u}, {0x82, 25'000u}, {0x53, 200u}}) {
        SCOPED_TRACE(opcode);
        Bus(h, OnPage5(opcode));
        Bus(h, {kRelease});
        drelm::emu::AdvanceClock(uint64_t{busyUs} * 1000 - 1);
        EXPECT_FALSE(Ready(h));
        drelm::emu::AdvanceClock(1);
        EXPECT_TRUE(Ready(h));
    }
}

TEST_F(EmulatorTest, OnlyAReleaseEndsAFlashCommand) {
    struct Case {
        const char* what;
        std::vector<int> before;  // sent before the erase of page 5
        std::vector<int> after;   // sent after its address
        bool erased;
    };
    const Case cases[] = {
        {"erase", {}, {kRelease}, true},
        {"a second select goes unnoticed", {}, {kSelect, kRelease}, true},
        {"one byte too many drops the erase", {}, {0x00, kRelease}, false},
        {"an open buffer write takes the erase as data", {kSelect, 0x84, 0, 0, 0, 0xAB}, {kRelease}, false},
        {"an open status read ignores it", {kSelect, 0xD7}, {kRelease}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        drelm::emu::ResetEmulator();
        const int32_t h = OpenUsb(0);
        ASSERT_TRUE(drelm::emu::WriteFlash(h, 5 * 528, std::vector<uint8_t>(528, 0x5A)));
        Bus(h, c.before);
        Bus(h, OnPage5(0x81));
        Bus(h, c.after);
        EXPECT_EQ(Ready(h), !c.erased) << "busy only when erasing";
        drelm::emu::AdvanceClock(1'000'000'000);
        std::vector<uint8_t> page;
        ASSERT_TRUE(drelm::emu::ReadFlash(h, 5 * 528, 528, &page));
        EXPECT_EQ(page, std::vector<uint8_t>(528, c.erased ? 0xFF : 0x5A));
    }
}

TEST_F(EmulatorTest, ADcOffsetWriteToABusyGroupIsLost) {
    const int32_t h = OpenUsb(0);
    Write(h, 0x1298, 0x100);
    AdvanceUs(19'999);
    Write(h, 0x1298, 0x200);  // acknowledged, yet lost
    Write(h, 0x1398, 0x300);  // another group is not busy
    EXPECT_EQ(Read(h, 0x1298), 0x100u);
    EXPECT_EQ(Read(h, 0x1398), 0x300u);
    AdvanceUs(1);
    EXPECT_EQ(Read(h, 0x1288) & 4, 0u) << "the lost write did not extend the busy time";
    Write(h, 0x1298, 0x400);
    EXPECT_EQ(Read(h, 0x1298), 0x400u);
    AdvanceUs(20'000);
    ASSERT_TRUE(drelm::emu::PokeRegister(h, 0x1288, 4));
    Write(h, 0x1298, 0x500);
    EXPECT_EQ(Read(h, 0x1298), 0x400u) << "a poked busy bit counts too";
}

}  // namespace
}  // namespace emulator_test

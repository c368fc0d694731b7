// Behaviour that follows emulated time: reset recovery, the group busy bit
// after a DC-offset write, and the running status after the run bit.
#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

TEST_F(EmulatorTest, SoftwareResetRestoresPowerOnValuesAndRecovers) {
    BoardConfig config;
    config.resetTimeUs = 500;
    const int32_t h = OpenUsb(0, &config);
    ASSERT_TRUE(drelm::emu::PokeRegister(h, 0x8104, 0x40));  // bit 6 set, bit 7 clear
    Write(h, 0x8020, 100);
    Write(h, 0x1324, 0x123);
    Write(h, 0xEF1C, 1023);
    Write(h, 0x8100, 0x2008);
    ASSERT_TRUE(drelm::emu::InjectEvents(h, {4, 0, 0, 0}));
    EXPECT_EQ(Read(h, 0x8104) & 0x1C0, 0x140u);

    Write(h, 0xEF24, 0);
    EXPECT_EQ(Read(h, 0x8104) & 0x1C0, 0x040u) << "not ready; bits 6-7 as before the reset";
    EXPECT_EQ(LinkWriteRegister(h, 0x8020, 5), -7) << "a recovering board takes no write";
    EXPECT_EQ(Read(h, 0x8020), 0u);
    EXPECT_EQ(Read(h, 0x1324), 0u);
    EXPECT_EQ(Read(h, 0xEF1C), 0u);
    EXPECT_EQ(Read(h, 0x8100), 0u);
    EXPECT_EQ(Read(h, 0x814C), 0u) << "the event memory is emptied";
    EXPECT_EQ(Read(h, 0x8124), 0x20240104u) << "identity survives";
    EXPECT_EQ(Read(h, 0xF030), 0x55u);

    AdvanceUs(499);
    EXPECT_EQ(Read(h, 0x8104) & 0x100, 0u);
    AdvanceUs(1);
    EXPECT_EQ(Read(h, 0x8104) & 0x1C0, 0x140u);
    Write(h, 0x8020, 5);
    EXPECT_EQ(Read(h, 0x8020), 5u);
}

TEST_F(EmulatorTest, DcOffsetWriteMakesTheGroupBusyForAWhile) {
    BoardConfig config;
    config.dcOffsetBusyUs = 300;
    const int32_t h = OpenUsb(0, &config);
    EXPECT_EQ(Read(h, 0x1288) & 4, 0u);
    Write(h, 0x1298, 0x8000);
    EXPECT_EQ(Read(h, 0x1288) & 4, 4u);
    EXPECT_EQ(Read(h, 0x1388) & 4, 0u) << "only the written group is busy";
    AdvanceUs(299);
    EXPECT_EQ(Read(h, 0x1288) & 4, 4u);
    AdvanceUs(1);
    EXPECT_EQ(Read(h, 0x1288) & 4, 0u);
    EXPECT_EQ(Read(h, 0x1298), 0x8000u);
    ASSERT_TRUE(drelm::emu::PokeRegister(h, 0x1288, 4));
    AdvanceUs(10'000);
    EXPECT_EQ(Read(h, 0x1288) & 4, 4u) << "a poked busy bit stays";
}

TEST_F(EmulatorTest, RunningStatusFollowsTheRunBitAfterTheLatency) {
    BoardConfig config;
    config.runLatencyUs = 200;
    const int32_t h = OpenUsb(0, &config);
    Write(h, 0x8100, 0x2008 | 4);
    EXPECT_EQ(Read(h, 0x8104) & 4, 0u);
    AdvanceUs(199);
    EXPECT_EQ(Read(h, 0x8104) & 4, 0u);
    AdvanceUs(1);
    EXPECT_EQ(Read(h, 0x8104) & 4, 4u);
    Write(h, 0x8100, 0x2008);
    EXPECT_EQ(Read(h, 0x8100), 0x2008u);
    AdvanceUs(199);
    EXPECT_EQ(Read(h, 0x8104) & 4, 4u) << "still running until the latency has passed";
    AdvanceUs(1);
    EXPECT_EQ(Read(h, 0x8104) & 4, 0u);
}

TEST_F(EmulatorTest, ShortRunPulsesReachTheStatusDelayed) {
    BoardConfig config;
    config.runLatencyUs = 100;
    const int32_t h = OpenUsb(0, &config);
    Write(h, 0x8100, 4);
    AdvanceUs(50);
    Write(h, 0x8100, 0);  // stopped before the start showed
    AdvanceUs(49);
    EXPECT_EQ(Read(h, 0x8104) & 4, 0u);
    AdvanceUs(1);
    EXPECT_EQ(Read(h, 0x8104) & 4, 4u) << "the start shows after the latency";
    AdvanceUs(49);
    EXPECT_EQ(Read(h, 0x8104) & 4, 4u);
    AdvanceUs(1);
    EXPECT_EQ(Read(h, 0x8104) & 4, 0u) << "and the stop 50 us later";
}

// The counter runs from the board's reset, not from each start: a host
// measures a run from what it read at the start.
TEST_F(EmulatorTest, TotalTimeRunsFromTheResetAcrossStopsAndStarts) {
    BoardConfig config;
    config.runLatencyUs = 0;
    config.resetTimeUs = 0;
    const int32_t h = OpenUsb(0, &config);
    constexpr uint64_t kUnitNs = 65536ull * 8;
    EXPECT_EQ(Read(h, 0x81C8), 0u);
    drelm::emu::AdvanceClock(2 * kUnitNs);
    EXPECT_EQ(Read(h, 0x81C8), 2u) << "counts before the first start";
    Write(h, 0x8100, 4);
    drelm::emu::AdvanceClock(3 * kUnitNs + 1);
    EXPECT_EQ(Read(h, 0x81C8), 5u);
    Write(h, 0x8100, 0);
    drelm::emu::AdvanceClock(10 * kUnitNs);
    EXPECT_EQ(Read(h, 0x81C8), 15u) << "goes on while stopped";
    Write(h, 0x8100, 4);
    drelm::emu::AdvanceClock(kUnitNs);
    EXPECT_EQ(Read(h, 0x81C8), 16u) << "a start does not clear it";
    Write(h, 0xEF24, 0);
    EXPECT_EQ(Read(h, 0x81C8), 0u) << "a reset does";
}

TEST_F(EmulatorTest, HostClockMovesAndVirtualClockStandsStill) {
    const uint64_t still = drelm::emu::EmulatedTimeNs();
    EXPECT_EQ(drelm::emu::EmulatedTimeNs(), still);
    drelm::emu::AdvanceClock(5);
    EXPECT_EQ(drelm::emu::EmulatedTimeNs(), still + 5);
    drelm::emu::UseVirtualClock(false);
    EXPECT_GE(drelm::emu::EmulatedTimeNs(), still + 5) << "switching back never goes backwards";
}

}  // namespace
}  // namespace emulator_test

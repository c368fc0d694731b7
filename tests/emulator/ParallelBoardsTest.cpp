// Two boards driven from two threads at once, each with its own traffic.
#include <thread>

#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

TEST_F(EmulatorTest, TwoBoardsRunInParallel) {
    BoardConfig config;
    config.spareWordPercent = 0;  // each read moves exactly the injected event
    const int32_t handles[2] = {OpenUsb(0, &config), OpenUsb(1, &config)};
    drelm::emu::StartRecording();
    constexpr uint32_t kRounds = 2000;
    auto drive = [](int32_t h, uint32_t seed, int32_t* failures) {
        for (uint32_t i = 0; i < kRounds; ++i) {
            const uint32_t value = seed + i;
            uint32_t back = 0;
            if (LinkWriteRegister(h, 0x8020, value) != 0 || LinkReadRegister(h, 0x8020, &back) != 0 || back != value)
                ++*failures;
            if (!drelm::emu::InjectEvents(h, {2, value})) ++*failures;
            uint32_t words[3] = {};
            int32_t moved = 0;
            if (LinkBlockRead(h, 0, words, 3, &moved) != DRELM_COMM_END_OF_TRANSFER || moved != 2 || words[1] != value)
                ++*failures;
        }
    };
    int32_t failures[2] = {0, 0};
    std::thread first(drive, handles[0], 0x10000000u, &failures[0]);
    std::thread second(drive, handles[1], 0x20000000u, &failures[1]);
    first.join();
    second.join();
    EXPECT_EQ(failures[0], 0);
    EXPECT_EQ(failures[1], 0);
    // Each board's accesses are in its own order, whatever the interleaving.
    uint32_t next[2] = {0, 0};
    std::size_t count[2] = {0, 0};
    for (const Access& a : drelm::emu::RecordedTraffic()) {
        const int board = a.linkHandle == handles[0] ? 0 : 1;
        ++count[board];
        if (a.op == Op::WriteRegister) {
            EXPECT_EQ(a.value, (board == 0 ? 0x10000000u : 0x20000000u) + next[board]);
            ++next[board];
        }
    }
    EXPECT_EQ(count[0], 3 * kRounds);
    EXPECT_EQ(count[1], 3 * kRounds);
}

}  // namespace
}  // namespace emulator_test

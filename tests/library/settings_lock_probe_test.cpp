// The lock probe used by the wait tests must see a held lock, or its
// "lock free" findings would prove nothing.
#include <gtest/gtest.h>

#include <mutex>

#include "BoardLockProbe.h"
#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

using LockProbeTest = EmulatedBoardTest;

TEST_F(LockProbeTest, SeesTheBoardLockHeldAndFree) {
    const int32_t h = OpenBoard();
    BoardLockProbe probe(h);
    {
        std::lock_guard<std::recursive_mutex> hold(drelm::tsy::Board(h).lock);
        drelm::tsy::SleepMs(1);
    }
    drelm::tsy::SleepMs(1);
    EXPECT_EQ(probe.SleepsWithLockHeld(), 1);
    EXPECT_EQ(probe.SleepsWithLockFree(), 1);
    EXPECT_EQ(SleepLog(), (std::vector<uint32_t>{1, 1})) << "the probe passes each sleep on";
}

}  // namespace
}  // namespace tessary_test

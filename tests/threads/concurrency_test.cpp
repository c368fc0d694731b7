// Several threads drive boards at once: each board has its own lock, and two
// threads on one board see every access whole.
#include <atomic>
#include <thread>
#include <vector>

#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

class ConcurrencyTest : public EmulatedBoardTest {};

constexpr int kIterations = 2000;

TEST_F(ConcurrencyTest, DifferentBoardsInParallel) {
    std::vector<int32_t> handles;
    for (int32_t link = 0; link < 4; ++link) handles.push_back(OpenBoard(link));

    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int32_t handle : handles) {
        threads.emplace_back([handle, &failures] {
            for (int i = 0; i < kIterations; ++i) {
                const uint32_t value = static_cast<uint32_t>(handle * 100000 + i);
                uint32_t back = 0;
                if (DRELM_TSY_WriteRegister(handle, 0x8020, value) != 0) ++failures;
                if (DRELM_TSY_ReadRegister(handle, 0x8020, &back) != 0 || back != value) ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    for (int32_t handle : handles)
        EXPECT_EQ(Peek(handle, 0x8020), static_cast<uint32_t>(handle * 100000 + kIterations - 1));
}

TEST_F(ConcurrencyTest, TwoThreadsOnOneBoard) {
    const int32_t handle = OpenBoard();
    std::atomic<int> failures{0};
    // Each thread owns one register; the accesses interleave on the link.
    auto worker = [&](uint32_t address) {
        for (int i = 0; i < kIterations; ++i) {
            uint32_t back = 0;
            if (DRELM_TSY_WriteRegister(handle, address, static_cast<uint32_t>(i)) != 0) ++failures;
            if (DRELM_TSY_ReadRegister(handle, address, &back) != 0 || back != static_cast<uint32_t>(i)) ++failures;
            if (DRELM_TSY_SetRegisterBitMask(handle, address, 0x10000) != 0) ++failures;
        }
    };
    std::thread a(worker, 0x8020u);
    std::thread b(worker, 0x800Cu);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(Peek(handle, 0x8020), static_cast<uint32_t>(kIterations - 1) | 0x10000u);
}

TEST_F(ConcurrencyTest, ResetOfOneBoardWhileAnotherIsBusy) {
    const int32_t quiet = OpenBoard(0);
    const int32_t busy = OpenBoard(1);
    std::atomic<bool> stop{false};
    std::atomic<int> failures{0};
    std::thread reader([&] {
        while (!stop.load()) {
            uint32_t value = 0;
            if (DRELM_TSY_ReadRegister(busy, 0xEF1C, &value) != 0 || value != 1023) ++failures;
        }
    });
    for (int i = 0; i < 20; ++i) EXPECT_EQ(DRELM_TSY_Reset(quiet), 0);
    stop = true;
    reader.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace tessary_test

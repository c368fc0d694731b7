// A transfer holds the board's lock from its first block read to its last:
// register accesses from another thread fall between transfers, never
// inside one.
#include <atomic>
#include <thread>
#include <vector>

#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

class ReadoutLockTest : public EmulatedBoardTest {};

TEST_F(ReadoutLockTest, RegisterAccessesNeverSplitATransfer) {
    const int32_t handle = OpenBoard();
    // Every block read answers "more may follow" without data, so each
    // transfer is exactly the bounded run of empty reads.
    drelm::emu::Fault stuck;
    stuck.op = Op::BlockRead;
    stuck.status = 0;
    drelm::emu::AddFault(stuck);
    constexpr int kTransfers = 1000;
    constexpr size_t kReadsPerTransfer = 100;
    std::vector<uint32_t> buffer(0x200000 / 4);

    Record();
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::atomic<int> started{0};
    std::thread registers([&] {
        while (!done.load()) {
            uint32_t value = 0;
            if (DRELM_TSY_ReadRegister(handle, 0x8020, &value) != 0) ++failures;
            if (started.exchange(1) == 0) started.notify_all();
        }
    });
    started.wait(0);  // the transfers start while register reads are under way
    for (int i = 0; i < kTransfers; ++i) {
        uint32_t bytes = 0;
        EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, buffer.data(), &bytes), DRELM_TSY_GenericError);
    }
    done = true;
    registers.join();
    EXPECT_EQ(failures.load(), 0);

    size_t blockReads = 0;
    size_t run = 0;
    size_t splits = 0;
    for (const Access& a : Traffic()) {
        if (a.op == Op::BlockRead) {
            ++run;
            ++blockReads;
            continue;
        }
        if (run % kReadsPerTransfer != 0) ++splits;
        run = 0;
    }
    if (run % kReadsPerTransfer != 0) ++splits;
    EXPECT_EQ(splits, 0u) << "register accesses inside a transfer";
    EXPECT_EQ(blockReads, kTransfers * kReadsPerTransfer);
}

}  // namespace
}  // namespace tessary_test

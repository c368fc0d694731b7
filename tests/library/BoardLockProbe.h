// Checks, at every fixed wait of the library, whether another thread could
// take the board's lock: waits must not block the board for other threads.
// Chains to the sleep that was installed before (the fixture's free one).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "BoardTable.h"
#include "Sleep.h"

namespace tessary_test {

class BoardLockProbe {
public:
    explicit BoardLockProbe(int32_t handle) {
        board_ = handle;
        held_ = 0;
        free_ = 0;
        previous_ = drelm::tsy::SetSleepFunction(&Probe);
    }
    ~BoardLockProbe() { drelm::tsy::SetSleepFunction(previous_); }
    BoardLockProbe(const BoardLockProbe&) = delete;
    BoardLockProbe& operator=(const BoardLockProbe&) = delete;

    int SleepsWithLockHeld() const { return held_; }
    int SleepsWithLockFree() const { return free_; }

private:
    static void Probe(uint32_t milliseconds) {
        bool lockFree = false;
        std::thread other([&lockFree] {
            std::recursive_mutex& lock = drelm::tsy::Board(board_).lock;
            if (lock.try_lock()) {
                lockFree = true;
                lock.unlock();
            }
        });
        other.join();
        ++(lockFree ? free_ : held_);
        previous_(milliseconds);
    }

    static inline int32_t board_ = 0;
    static inline std::atomic<int> held_{0};
    static inline std::atomic<int> free_{0};
    static inline drelm::tsy::SleepFunction previous_ = nullptr;
};

}  // namespace tessary_test

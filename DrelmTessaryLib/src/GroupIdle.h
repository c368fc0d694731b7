// DC-offset writes wait for the group to be idle: a group whose DAC is still
// settling ignores a new offset, so a write made regardless would be lost
// while the call reported success.
#pragma once

#include <cstdint>
#include <mutex>

#include "BoardTable.h"
#include "RegisterAccess.h"
#include "Sleep.h"
#include "Status.h"

namespace drelm::tsy {

inline constexpr uint32_t kGroupBusyBit = 1u << 2;
inline constexpr int kGroupBusyPolls = 16;
inline constexpr uint32_t kGroupBusyPauseMs = 100;

// Runs `write` under the board lock once the group status register at
// `statusAddress` shows the group idle, holding the lock from the status
// read to the write so that no other thread's offset write makes the group
// busy in between. -10 when the status read fails, -18 when the group stays
// busy through every poll (100 ms apart, the lock released while waiting).
template <typename Write>
int32_t WhenGroupIdle(int32_t handle, uint32_t statusAddress, Write write) {
    BoardEntry& entry = Board(handle);
    for (int poll = 0; poll < kGroupBusyPolls; ++poll) {
        {
            std::lock_guard<std::recursive_mutex> hold(entry.lock);
            uint32_t status = 0;
            if (BoardReadRegister(handle, statusAddress, &status) != 0) return int32_t{DRELM_TSY_ReadFailed};
            if ((status & kGroupBusyBit) == 0) return write();
        }
        SleepMs(kGroupBusyPauseMs);
    }
    return int32_t{DRELM_TSY_Timeout};
}

}  // namespace drelm::tsy

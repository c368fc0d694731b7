// The process-wide table of open boards. A board handle is an index into it.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "DrelmTessaryLib.h"

namespace drelm::tsy {

inline constexpr int kMaxBoards = DRELM_TSY_MAX_BOARDS;
inline constexpr uint32_t kDefaultReadoutBufferSize = 0x200000;
inline constexpr int32_t kFamilyCode = 16;

struct BoardEntry {
    // Atomic so that a close racing a call from another thread is a defined
    // (if unlucky) event rather than undefined behaviour.
    std::atomic<int32_t> inUse{0};
    std::atomic<int32_t> linkHandle{-1};
    int32_t familyCode = 0;
    int32_t formIndex = 0;
    int32_t formCode = 0;
    int32_t channelCount = 0;
    int32_t groupCount = 0;
    BoardInfo info{};
    uint32_t readoutBufferSize = 0;
    // Held around each register access and for a whole block transfer; the
    // readout takes it again for its size read, hence re-entrant.
    std::recursive_mutex lock;
};

// The table is built on the first call, whenever that comes (a static
// initialiser included), and is never torn down, so that a late call from
// another thread during exit never meets a destroyed mutex.
BoardEntry& Board(int32_t index);

// True when the handle lies in 0..99 and names an open board.
bool IsOpen(int32_t handle);

}  // namespace drelm::tsy

// Starting and stopping acquisition, and the start mode, all in the
// acquisition control register 0x8100 (bits 0-1 start mode, bit 2 run).
#include <mutex>

#include "ApiGuard.h"
#include "BoardTable.h"
#include "RegisterAccess.h"
#include "Sleep.h"
#include "Status.h"

using namespace drelm::tsy;

namespace {

constexpr uint32_t kAcquisitionControl = 0x8100;
constexpr uint32_t kAcquisitionStatus = 0x8104;
constexpr uint32_t kStartModeBits = 0x3;
constexpr uint32_t kRunBit = 1u << 2;
constexpr uint32_t kRunningBit = 1u << 2;
constexpr int kRunningPolls = 50;
constexpr uint32_t kRunningPauseMs = 10;

struct ControlUpdate {
    int32_t status;   // ReadFailed, or the write's 0 / WriteFailed
    uint32_t written; // the value written, when the read succeeded
};

// 0x8100 := (old & ~clear) | set, read and write under one hold of the
// board lock so that concurrent start, stop and mode changes keep each
// other's bits.
ControlUpdate UpdateControl(int32_t board, uint32_t clear, uint32_t set) {
    std::lock_guard<std::recursive_mutex> hold(Board(board).lock);
    uint32_t old = 0;
    if (BoardReadRegister(board, kAcquisitionControl, &old) != 0) return {DRELM_TSY_ReadFailed, 0};
    const uint32_t value = (old & ~clear) | set;
    return {BoardWriteRegister(board, kAcquisitionControl, value), value};
}

// Polls the running status with the lock released between polls: 0 once
// running, -26 on a failed read, -1 when it never shows.
int32_t WaitRunning(int32_t board) {
    for (int poll = 0; poll < kRunningPolls; ++poll) {
        uint32_t status = 0;
        if (BoardReadRegister(board, kAcquisitionStatus, &status) != 0) return MapLinkStatus(DRELM_TSY_ReadFailed);
        if ((status & kRunningBit) != 0) return int32_t{DRELM_TSY_Success};
        SleepMs(kRunningPauseMs);
    }
    return int32_t{DRELM_TSY_GenericError};
}

}  // namespace

extern "C" {

int32_t DRELM_TSY_SWStartAcquisition(int32_t handle) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        const ControlUpdate update = UpdateControl(handle, 0, kRunBit);
        if (update.status == DRELM_TSY_ReadFailed) return update.status;
        if (update.status != 0) return MapLinkStatus(update.status);
        // Only start mode 0 waits for the running status.
        if ((update.written & kStartModeBits) != 0) return int32_t{DRELM_TSY_Success};
        return WaitRunning(handle);
    });
}

int32_t DRELM_TSY_SWStopAcquisition(int32_t handle) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        const ControlUpdate update = UpdateControl(handle, kRunBit, 0);
        if (update.status == DRELM_TSY_ReadFailed) return update.status;
        return MapLinkStatus(update.status);
    });
}

// A failed write gives WriteFailed here, where start and stop translate it.
int32_t DRELM_TSY_SetAcquisitionMode(int32_t handle, uint32_t startMode) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        return UpdateControl(handle, kStartModeBits, startMode & kStartModeBits).status;
    });
}

}  // extern "C"

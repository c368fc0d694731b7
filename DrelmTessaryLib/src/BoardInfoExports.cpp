// Closing a board and the questions about an open board.
#include <cstring>

#include "ApiGuard.h"
#include "BoardTable.h"
#include "DrelmComm.h"
#include "Status.h"

using namespace drelm::tsy;

namespace {

bool InTable(int32_t handle) { return static_cast<uint32_t>(handle) < static_cast<uint32_t>(kMaxBoards); }

}  // namespace

extern "C" {

int32_t DRELM_TSY_CloseTessary(int32_t handle) {
    return Guarded([&]() -> int32_t {
        if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
        BoardEntry& entry = Board(handle);
        const int32_t status = LinkClose(entry.linkHandle);
        entry.linkHandle = -1;
        entry.inUse = 0;
        return MapLinkStatus(status);
    });
}

int32_t DRELM_TSY_GetInfo(int32_t handle, BoardInfo* info) {
    return Guarded([&]() -> int32_t {
        if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
        if (info == nullptr) return DRELM_TSY_InvalidParam;
        std::memcpy(info, &Board(handle).info, sizeof(BoardInfo));
        return DRELM_TSY_Success;
    });
}

// These two answer from the entry even after a close (the values of the
// board last opened there), but never for a handle outside the table.
int32_t DRELM_TSY_GetMaxChannels(int32_t handle, int32_t* channels) {
    return Guarded([&]() -> int32_t {
        if (!InTable(handle)) return DRELM_TSY_InvalidHandle;
        if (channels == nullptr) return DRELM_TSY_InvalidParam;
        const BoardEntry& entry = Board(handle);
        if (entry.familyCode != kFamilyCode) return DRELM_TSY_NotAvailable;
        *channels = entry.channelCount;
        return DRELM_TSY_Success;
    });
}

int32_t DRELM_TSY_GetMaxGroups(int32_t handle, int32_t* groups) {
    return Guarded([&]() -> int32_t {
        if (!InTable(handle)) return DRELM_TSY_InvalidHandle;
        if (groups == nullptr) return DRELM_TSY_InvalidParam;
        const BoardEntry& entry = Board(handle);
        if (entry.familyCode != kFamilyCode) return DRELM_TSY_NotAvailable;
        *groups = entry.groupCount;
        return DRELM_TSY_Success;
    });
}

}  // extern "C"

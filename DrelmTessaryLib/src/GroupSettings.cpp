// Per-group settings: zero-suppression threshold and channel enable mask.
#include "ApiGuard.h"
#include "BoardTable.h"
#include "RegisterAccess.h"

using namespace drelm::tsy;

namespace {

constexpr uint32_t kZsThresholdOffset = 0x24;
constexpr uint32_t kEnableMaskOffset = 0xA8;
constexpr uint32_t kThresholdBits = 0x3FFF;

}  // namespace

extern "C" {

// The group is taken as its low 8 bits and not checked against the board.
int32_t DRELM_TSY_SetGroupZSThreshold(int32_t handle, uint32_t group, uint32_t threshold) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        return BoardWriteRegister(handle, GroupRegister(group, kZsThresholdOffset), threshold & kThresholdBits);
    });
}

// Stores the whole register, unmasked.
int32_t DRELM_TSY_GetGroupZSThreshold(int32_t handle, uint32_t group, uint32_t* threshold) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        if (threshold == nullptr) return int32_t{DRELM_TSY_InvalidParam};
        return BoardReadRegister(handle, GroupRegister(group, kZsThresholdOffset), threshold);
    });
}

int32_t DRELM_TSY_SetChannelEnableMask(int32_t handle, int32_t group, uint32_t mask) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        if (group < 0 || group >= Board(handle).groupCount) return int32_t{DRELM_TSY_InvalidGroup};
        return BoardWriteRegister(handle, GroupRegister(static_cast<uint32_t>(group), kEnableMaskOffset), mask);
    });
}

}  // extern "C"

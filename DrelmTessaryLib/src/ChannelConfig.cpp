// Board-wide settings: the record length and the bits of the channel
// configuration register 0x80E0. Each export is one register operation on a
// freshly read register; nothing is cached.
#include "ApiGuard.h"
#include "BoardTable.h"
#include "RegisterAccess.h"

using namespace drelm::tsy;

namespace {

constexpr uint32_t kRecordLength = 0x8020;
constexpr uint32_t kChannelConfig = 0x80E0;

constexpr uint32_t kResolutionMask = 0x7;
constexpr uint32_t kTriggerModeBit = 1u << 4;
constexpr uint32_t kSlidingScaleBit = 1u << 16;
constexpr uint32_t kZeroSuppressionBit = 1u << 17;
constexpr uint32_t kPolarityShift = 18;
constexpr uint32_t kInputRangeShift = 19;
constexpr uint32_t kOffsetModeBit = 1u << 30;
constexpr uint32_t kCalibModeBit = 1u << 31;

// Sets or clears bits of 0x80E0 on an open board: 0, -5, -10, -11.
int32_t ChangeConfigBits(int32_t handle, uint32_t bits, bool set) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        return set ? BoardSetBits(handle, kChannelConfig, bits) : BoardClearBits(handle, kChannelConfig, bits);
    });
}

// Masked update of 0x80E0 on an open board: 0, -5, -10.
int32_t UpdateConfig(int32_t handle, uint32_t value, uint32_t mask) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        return BoardUpdateChannelConfig(handle, value, mask);
    });
}

}  // namespace

extern "C" {

int32_t DRELM_TSY_SetRecordLength(int32_t handle, uint32_t length) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        return BoardWriteRegister(handle, kRecordLength, length);
    });
}

int32_t DRELM_TSY_SetChMode(int32_t handle, uint32_t code) {
    return UpdateConfig(handle, code, kResolutionMask);
}

int32_t DRELM_TSY_SetTriggerMode(int32_t handle, int32_t mode) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        if (mode == 1) return BoardSetBits(handle, kChannelConfig, kTriggerModeBit);
        if (mode == 0) return BoardClearBits(handle, kChannelConfig, kTriggerModeBit);
        return int32_t{DRELM_TSY_InvalidParam};
    });
}

int32_t DRELM_TSY_SlScaleEnable(int32_t handle) { return ChangeConfigBits(handle, kSlidingScaleBit, true); }
int32_t DRELM_TSY_SlScaleDisable(int32_t handle) { return ChangeConfigBits(handle, kSlidingScaleBit, false); }
int32_t DRELM_TSY_ZSEnable(int32_t handle) { return ChangeConfigBits(handle, kZeroSuppressionBit, true); }
int32_t DRELM_TSY_ZSDisable(int32_t handle) { return ChangeConfigBits(handle, kZeroSuppressionBit, false); }

int32_t DRELM_TSY_SetPolarity(int32_t handle, uint32_t polarity) {
    return UpdateConfig(handle, polarity << kPolarityShift, 1u << kPolarityShift);
}

int32_t DRELM_TSY_SetInputRange(int32_t handle, uint32_t range) {
    return UpdateConfig(handle, range << kInputRangeShift, 1u << kInputRangeShift);
}

int32_t DRELM_TSY_SetOffsetMode(int32_t handle) { return ChangeConfigBits(handle, kOffsetModeBit, true); }
int32_t DRELM_TSY_ResetOffsetMode(int32_t handle) { return ChangeConfigBits(handle, kOffsetModeBit, false); }
int32_t DRELM_TSY_SetCalibMode(int32_t handle) { return ChangeConfigBits(handle, kCalibModeBit, true); }
int32_t DRELM_TSY_ResetCalibMode(int32_t handle) { return ChangeConfigBits(handle, kCalibModeBit, false); }

}  // extern "C"

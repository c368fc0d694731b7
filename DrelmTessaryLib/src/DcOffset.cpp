// Per-group DC offsets: the whole-register write and the half-register write,
// both made once the group is idle (a busy group ignores DC-offset writes,
// so writing regardless would lose the offset and still report success),
// and the half-register read. Half 0 is bits 0-15, half 1 bits 16-31.
#include <mutex>

#include "ApiGuard.h"
#include "BoardTable.h"
#include "GroupIdle.h"
#include "RegisterAccess.h"
#include "Sleep.h"
#include "Status.h"

using namespace drelm::tsy;

namespace {

constexpr uint32_t kGroupStatusOffset = 0x88;
constexpr uint32_t kDcOffsetOffset = 0x98;
constexpr uint32_t kMaxOffset = 0xFFFF;
// Gives the DAC time to settle after a half-register write.
constexpr uint32_t kHalfWritePauseMs = 10;

// The half-register exports take the whole 16-bit group, unmasked.
constexpr uint32_t HalfRegisterAddress(uint16_t group) { return 0x1098u | (uint32_t{group} << 8); }
constexpr uint32_t HalfStatusAddress(uint16_t group) { return 0x1088u | (uint32_t{group} << 8); }

}  // namespace

extern "C" {

int32_t DRELM_TSY_SetGroupDCOffset(int32_t handle, uint32_t group, uint32_t offset) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        BoardEntry& entry = Board(handle);
        if (entry.familyCode != kFamilyCode) return int32_t{DRELM_TSY_UnsupportedBoard};
        if (entry.groupCount <= 0 || group >= static_cast<uint32_t>(entry.groupCount))
            return int32_t{DRELM_TSY_InvalidGroup};
        if (offset > kMaxOffset) return int32_t{DRELM_TSY_InvalidParam};
        return WhenGroupIdle(handle, GroupRegister(group, kGroupStatusOffset), [&] {
            return MapLinkStatus(BoardWriteRegister(handle, GroupRegister(group, kDcOffsetOffset), offset));
        });
    });
}

int32_t DRELM_TSY_DACOffsetWrite(int32_t handle, uint16_t group, int32_t half, uint16_t offset) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        const uint32_t address = HalfRegisterAddress(group);
        // Under the lock from the status read to the write, so the other half
        // is carried back as it was, not as another thread left it.
        const auto readModifyWrite = [&]() -> int32_t {
            uint32_t old = 0;
            // The other half is unknown: writing it back would corrupt it.
            if (BoardReadRegister(handle, address, &old) != 0) return DRELM_TSY_ReadFailed;
            if (half == 0) return BoardWriteRegister(handle, address, (old & 0xFFFF0000u) | offset);
            if (half == 1) return BoardWriteRegister(handle, address, (uint32_t{offset} << 16) | (old & 0xFFFFu));
            return DRELM_TSY_Success;
        };
        // Another half writes nothing: no need to wait for the group.
        const int32_t status = half == 0 || half == 1 ? WhenGroupIdle(handle, HalfStatusAddress(group), readModifyWrite)
                                                      : readModifyWrite();
        SleepMs(kHalfWritePauseMs);
        return status;
    });
}

int32_t DRELM_TSY_DACOffsetRead(int32_t handle, uint16_t group, int32_t half, uint16_t* offset) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        if (offset == nullptr) return int32_t{DRELM_TSY_InvalidParam};
        uint32_t value = 0;
        if (BoardReadRegister(handle, HalfRegisterAddress(group), &value) != 0) return int32_t{DRELM_TSY_ReadFailed};
        if (half == 0) *offset = static_cast<uint16_t>(value & 0xFFFFu);
        else if (half == 1) *offset = static_cast<uint16_t>(value >> 16);
        return int32_t{DRELM_TSY_Success};
    });
}

}  // extern "C"

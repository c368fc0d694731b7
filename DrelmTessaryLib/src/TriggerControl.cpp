// Software triggers, where the software and external triggers take effect,
// the front-panel level, the events-per-transfer bound and the group enable
// mask.
#include "ApiGuard.h"
#include "BoardTable.h"
#include "RegisterAccess.h"
#include "Status.h"

using namespace drelm::tsy;

namespace {

constexpr uint32_t kSoftwareTrigger = 0x8108;
constexpr uint32_t kFirstTriggerMask = 0x810C;
constexpr uint32_t kSecondTriggerMask = 0x8110;
constexpr uint32_t kFrontPanelIo = 0x811C;
constexpr uint32_t kGroupEnableMask = 0x8120;
constexpr uint32_t kMaxEventsPerTransfer = 0xEF1C;

constexpr uint32_t kSoftwareTriggerBit = 1u << 31;
constexpr uint32_t kExternalTriggerBit = 1u << 30;
constexpr uint32_t kIoLevelBit = 1u << 0;
constexpr uint32_t kMaxEventsLimit = 1024;
constexpr uint32_t kMaxEventsField = 0xFFF;
constexpr uint32_t kGroupsOf64ChannelBoard = 0x55;
constexpr uint32_t kGroupsOf32ChannelBoard = 0x05;

int32_t ChangeBits(int32_t board, uint32_t address, uint32_t bits, bool set) {
    return set ? BoardSetBits(board, address, bits) : BoardClearBits(board, address, bits);
}

// Mode 1 routes to the first mask, 2 to the second, 3 to both, anything
// else to neither. A failed second change keeps the first one: -1 either way.
int32_t RouteTrigger(int32_t handle, uint32_t bit, int32_t mode) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        const bool first = mode == 1 || mode == 3;
        const bool second = mode == 2 || mode == 3;
        if (ChangeBits(handle, kFirstTriggerMask, bit, first) != 0) return int32_t{DRELM_TSY_GenericError};
        if (ChangeBits(handle, kSecondTriggerMask, bit, second) != 0) return int32_t{DRELM_TSY_GenericError};
        return int32_t{DRELM_TSY_Success};
    });
}

}  // namespace

extern "C" {

// Answers GenericError, not InvalidHandle, for a handle that is not open.
int32_t DRELM_TSY_SendSWtrigger(int32_t handle) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_GenericError};
        if (BoardWriteRegister(handle, kSoftwareTrigger, 0) != 0) return int32_t{DRELM_TSY_GenericError};
        return int32_t{DRELM_TSY_Success};
    });
}

int32_t DRELM_TSY_SetSWTriggerMode(int32_t handle, int32_t mode) {
    return RouteTrigger(handle, kSoftwareTriggerBit, mode);
}

int32_t DRELM_TSY_SetExtTriggerInputMode(int32_t handle, int32_t mode) {
    return RouteTrigger(handle, kExternalTriggerBit, mode);
}

int32_t DRELM_TSY_SetIOLevel(int32_t handle, int32_t level) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        if (ChangeBits(handle, kFrontPanelIo, kIoLevelBit, level != 0) != 0) return int32_t{DRELM_TSY_GenericError};
        return int32_t{DRELM_TSY_Success};
    });
}

// 1024 is accepted although the readout is sized for 1023 events.
int32_t DRELM_TSY_SetMaxNumEventsBLT(int32_t handle, uint32_t maxEvents) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        if (maxEvents > kMaxEventsLimit) return int32_t{DRELM_TSY_InvalidParam};
        return MapLinkStatus(BoardWriteRegister(handle, kMaxEventsPerTransfer, maxEvents & kMaxEventsField));
    });
}

// One enable bit for each block of 16 channels: the even group positions.
int32_t DRELM_TSY_SetGroupEnableMask(int32_t handle) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        uint32_t mask = 0;
        switch (Board(handle).formIndex) {
            case 0: mask = kGroupsOf64ChannelBoard; break;
            case 2:
            case 3: mask = kGroupsOf32ChannelBoard; break;
            default: return int32_t{DRELM_TSY_UnsupportedBoard};
        }
        return BoardWriteRegister(handle, kGroupEnableMask, mask);
    });
}

}  // extern "C"

// The four exported register functions: handle check, one primitive, and
// any failure of it reported as GenericError.
#include "ApiGuard.h"
#include "BoardTable.h"
#include "RegisterAccess.h"

using namespace drelm::tsy;

namespace {

int32_t Collapse(int32_t status) { return status == 0 ? DRELM_TSY_Success : DRELM_TSY_GenericError; }

}  // namespace

extern "C" {

int32_t DRELM_TSY_WriteRegister(int32_t handle, uint32_t address, uint32_t value) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        return Collapse(BoardWriteRegister(handle, address, value));
    });
}

int32_t DRELM_TSY_ReadRegister(int32_t handle, uint32_t address, uint32_t* value) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        if (value == nullptr) return int32_t{DRELM_TSY_InvalidParam};
        return Collapse(BoardReadRegister(handle, address, value));
    });
}

int32_t DRELM_TSY_SetRegisterBitMask(int32_t handle, uint32_t address, uint32_t mask) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        return Collapse(BoardSetBits(handle, address, mask));
    });
}

int32_t DRELM_TSY_ClearRegisterBitMask(int32_t handle, uint32_t address, uint32_t mask) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        return Collapse(BoardClearBits(handle, address, mask));
    });
}

}  // extern "C"

// The board's total-time and dead-time counters, in units of 65536 x 8 ns.
#include "ApiGuard.h"
#include "BoardTable.h"
#include "RegisterAccess.h"

using namespace drelm::tsy;

namespace {

constexpr uint32_t kTotalTime = 0x81C8;
constexpr uint32_t kDeadTime = 0x81CC;

int32_t ReadCounter(int32_t handle, uint32_t address, uint32_t* value) {
    if (!IsOpen(handle)) return DRELM_TSY_InvalidHandle;
    if (value == nullptr) return DRELM_TSY_InvalidParam;
    return BoardReadRegister(handle, address, value);
}

}  // namespace

extern "C" {

int32_t DRELM_TSY_GetTotalTime(int32_t handle, uint32_t* value) {
    return Guarded([&] { return ReadCounter(handle, kTotalTime, value); });
}

int32_t DRELM_TSY_GetDeadTime(int32_t handle, uint32_t* value) {
    return Guarded([&] { return ReadCounter(handle, kDeadTime, value); });
}

}  // extern "C"

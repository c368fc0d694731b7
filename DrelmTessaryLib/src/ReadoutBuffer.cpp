// The readout buffer: allocated for a board's largest transfer, then owned
// by the caller until it hands it back.
#include <cstdlib>

#include "ApiGuard.h"
#include "BoardTable.h"

using namespace drelm::tsy;

namespace {

// 1023 events of the largest size plus 16 spare bytes. The largest event is
// a 4-word header plus, per block of 16 channels, one header word and 8
// amplitude words.
constexpr uint32_t kEventsPerTransfer = DRELM_TSY_MAX_EVENTS_PER_TRANSFER;
constexpr uint32_t kSpareBytes = 16;
constexpr uint32_t BufferBytes(uint32_t blocks) { return kEventsPerTransfer * 4 * (4 + 9 * blocks) + kSpareBytes; }
static_assert(BufferBytes(4) == 163696);
static_assert(BufferBytes(2) == 90040);

// 0 for a form this library does not know.
uint32_t BufferBytesOfForm(int32_t formIndex) {
    switch (formIndex) {
        case 0:
        case 1: return BufferBytes(4);
        case 2:
        case 3: return BufferBytes(2);
        default: return 0;
    }
}

}  // namespace

extern "C" {

int32_t DRELM_TSY_MallocReadoutBuffer(int32_t handle, void** buffer, uint32_t* size) {
    return Guarded([&] {
        if (!IsOpen(handle)) return int32_t{DRELM_TSY_InvalidHandle};
        if (buffer == nullptr || size == nullptr) return int32_t{DRELM_TSY_InvalidParam};
        BoardEntry& entry = Board(handle);
        const uint32_t bytes = BufferBytesOfForm(entry.formIndex);
        if (entry.familyCode != kFamilyCode || bytes == 0) return int32_t{DRELM_TSY_UnsupportedBoard};
        void* allocated = std::malloc(bytes);
        *buffer = allocated;
        if (allocated == nullptr) return int32_t{DRELM_TSY_OutOfMemory};
        *size = bytes;
        // Taken under the lock so that a transfer running on another thread
        // sees either the old bound or the new one, never a torn value.
        std::lock_guard<std::recursive_mutex> hold(entry.lock);
        entry.readoutBufferSize = bytes;
        return int32_t{DRELM_TSY_Success};
    });
}

int32_t DRELM_TSY_FreeReadoutBuffer(void** buffer) {
    return Guarded([&] {
        if (buffer == nullptr) return int32_t{DRELM_TSY_InvalidParam};
        std::free(*buffer);
        return int32_t{DRELM_TSY_Success};
    });
}

}  // extern "C"

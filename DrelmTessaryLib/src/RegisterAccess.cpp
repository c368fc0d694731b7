#include "RegisterAccess.h"

#include <mutex>

#include "BoardTable.h"
#include "DrelmComm.h"

namespace drelm::tsy {
namespace {

constexpr uint32_t kChannelConfig = 0x80E0;

}  // namespace

int32_t BoardReadRegister(int32_t board, uint32_t address, uint32_t* value) {
    BoardEntry& entry = Board(board);
    std::lock_guard<std::recursive_mutex> hold(entry.lock);
    uint32_t read = 0;
    if (LinkReadRegister(entry.linkHandle, address, &read) != 0) return DRELM_TSY_ReadFailed;
    *value = read;
    return DRELM_TSY_Success;
}

int32_t BoardWriteRegister(int32_t board, uint32_t address, uint32_t value) {
    BoardEntry& entry = Board(board);
    std::lock_guard<std::recursive_mutex> hold(entry.lock);
    return LinkWriteRegister(entry.linkHandle, address, value) == 0 ? DRELM_TSY_Success : DRELM_TSY_WriteFailed;
}

int32_t BoardSetBits(int32_t board, uint32_t address, uint32_t mask) {
    uint32_t old = 0;
    if (BoardReadRegister(board, address, &old) != 0) return DRELM_TSY_ReadFailed;
    return BoardWriteRegister(board, address, old | mask);
}

int32_t BoardClearBits(int32_t board, uint32_t address, uint32_t mask) {
    uint32_t old = 0;
    if (BoardReadRegister(board, address, &old) != 0) return DRELM_TSY_ReadFailed;
    return BoardWriteRegister(board, address, old & ~mask);
}

int32_t BoardUpdateChannelConfig(int32_t board, uint32_t value, uint32_t mask) {
    uint32_t old = 0;
    if (BoardReadRegister(board, kChannelConfig, &old) != 0) return DRELM_TSY_ReadFailed;
    if (BoardWriteRegister(board, kChannelConfig, (old & ~mask) | (value & mask)) != 0) return DRELM_TSY_ReadFailed;
    return DRELM_TSY_Success;
}

}  // namespace drelm::tsy

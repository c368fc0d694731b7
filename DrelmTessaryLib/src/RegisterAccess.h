// Register primitives. They take a board index that the caller has already
// checked, and use that board's own lock and link handle.
#pragma once

#include <cstdint>

namespace drelm::tsy {

// 0, or ReadFailed (-10) when the link reports any failure.
int32_t BoardReadRegister(int32_t board, uint32_t address, uint32_t* value);
// 0, or WriteFailed (-11).
int32_t BoardWriteRegister(int32_t board, uint32_t address, uint32_t value);
// Read-modify-writes as two separately locked accesses: -10 if the read
// failed (nothing written), -11 if the write failed.
int32_t BoardSetBits(int32_t board, uint32_t address, uint32_t mask);
int32_t BoardClearBits(int32_t board, uint32_t address, uint32_t mask);
// 0x80E0 := (old & ~mask) | (value & mask); -10 if the read or the write failed.
int32_t BoardUpdateChannelConfig(int32_t board, uint32_t value, uint32_t mask);

// Address of a per-group register: (group << 8) | (0x1000 + offset), the
// group taken as its low 8 bits.
constexpr uint32_t GroupRegister(uint32_t group, uint32_t offset) {
    return ((group & 0xFFu) << 8) | (0x1000u + offset);
}

}  // namespace drelm::tsy

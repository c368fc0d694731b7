// CRC-32C (Castagnoli) of the output files, computed while they are written
// so that a run's summary can name each file's checksum without reading the
// file again, and a later check can tell a copied or archived file intact.
// The standard parameters (reflected, initial value and final XOR all ones):
// the check value of "123456789" is 0xE3069283, as common tools give it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessary {

class Crc32c {
public:
    void Add(const void* data, std::size_t bytes);
    uint32_t Value() const { return ~state_; }
    void Clear() { state_ = ~uint32_t{0}; }

private:
    uint32_t state_ = ~uint32_t{0};
};

// The table-driven form that serves where the processor has no CRC-32C
// instruction; `crc` is the running state (all ones to begin).
uint32_t Crc32cPortable(uint32_t crc, const unsigned char* data, std::size_t bytes);

// Eight lower-case hexadecimal digits and a NUL.
void FormatCrc32c(uint32_t value, char (&text)[9]);

}  // namespace tessary

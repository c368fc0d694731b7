// The staircase coding of a calibration table in one 528-byte page: the
// start value in bytes 0-1 (14 bits), then one step bit per entry from byte
// 3 on; each set bit moves the value one count up (POS) or down (NEG).
#pragma once

#include <array>
#include <cstdint>

namespace drelm::tsy {

inline constexpr uint32_t kStaircasePageBytes = 528;
using StaircasePage = std::array<uint8_t, kStaircasePageBytes>;

// Builds a page from the table's values, one line at a time.
class StaircaseEncoder {
public:
    explicit StaircaseEncoder(int sign) : sign_(sign) {}

    // The 14-bit value of the next line. Lines after the 4096th are ignored.
    void Add(uint16_t value);
    const StaircasePage& Page() const { return page_; }

private:
    int sign_;
    StaircasePage page_{};
    uint32_t lines_ = 0;
    int32_t running_ = 0;
    uint8_t steps_ = 0;
};

// Walks a page's entries: visit(entry, running value) for entries 0 to 4095.
template <typename Visit>
void DecodeStaircase(const uint8_t* page, int sign, Visit&& visit) {
    uint32_t running = uint32_t{page[0]} | (uint32_t{page[1]} << 8);
    const uint32_t step = sign == 1 ? 1u : 0xFFFFFFFFu;
    for (uint32_t byte = 0; byte < 512; ++byte) {
        const uint32_t bits = page[3 + byte];
        for (uint32_t bit = 0; bit < 8; ++bit) {
            if ((bits >> bit) & 1u) running += step;
            visit(byte * 8 + bit, running);
        }
    }
}

}  // namespace drelm::tsy

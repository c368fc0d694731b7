#include "Staircase.h"

namespace drelm::tsy {

void StaircaseEncoder::Add(uint16_t value) {
    if (lines_ >= 4096) return;
    const uint32_t line = lines_++;
    const int32_t v = value & 0x3FFF;
    if (line == 0) {
        page_[0] = static_cast<uint8_t>(v & 0xFF);
        page_[1] = static_cast<uint8_t>((v >> 8) & 0x3F);
        running_ = v;
    }
    // The coding follows the table by at most one count per entry, in its
    // own direction only.
    if (sign_ == 1 && v > running_) {
        steps_ = static_cast<uint8_t>(steps_ | (1u << (line % 8)));
        ++running_;
    } else if (sign_ == 0 && v < running_) {
        steps_ = static_cast<uint8_t>(steps_ | (1u << (line % 8)));
        --running_;
    }
    if (line % 8 == 7) {
        page_[3 + line / 8] = steps_;
        steps_ = 0;
    }
}

}  // namespace drelm::tsy

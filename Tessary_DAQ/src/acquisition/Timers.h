// The run loop's timers: a stamp that fires once more than a period has
// passed since it last fired.
#pragma once

#include <cstdint>

namespace tessary {

// Compares now - stamp with the period as unsigned 64-bit numbers (the
// period widened with its sign): a clock set backwards fires at once and a
// negative period never fires. When it fires, the stamp takes `nowMs`.
inline bool PeriodElapsedAt(int64_t nowMs, int32_t periodMs, int64_t& stamp) {
    if (static_cast<uint64_t>(nowMs - stamp) > static_cast<uint64_t>(static_cast<int64_t>(periodMs))) {
        stamp = nowMs;
        return true;
    }
    return false;
}

}  // namespace tessary

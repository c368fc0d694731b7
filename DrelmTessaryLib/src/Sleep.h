// The library's fixed waits. The shipped library sleeps for real; tests
// replace the sleep so that waits cost nothing (or advance an emulated clock).
#pragma once

#include <cstdint>

namespace drelm::tsy {

using SleepFunction = void (*)(uint32_t milliseconds);

void SleepMs(uint32_t milliseconds);

// Replaces the sleep; nullptr restores the real one. Returns the previous.
SleepFunction SetSleepFunction(SleepFunction function);

}  // namespace drelm::tsy

// The fixed settings that open and reset write to a board.
#pragma once

#include <cstdint>

namespace drelm::tsy {

enum class StartupCaller { Open, Reset };

// Writes the start-up settings in order and stops at the first failure,
// returning the code that the caller reports for that step.
int32_t WriteStartupSettings(int32_t board, StartupCaller caller);

}  // namespace drelm::tsy

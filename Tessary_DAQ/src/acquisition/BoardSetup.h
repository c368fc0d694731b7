// Connecting the program to its boards and programming each one from its
// settings, through the device library.
#pragma once

#include <cstdint>
#include <cstdio>

#include "DaqConfig.h"

namespace tessary {

// Opens every configured board in order, printing one line per board, and
// stores the handles. 0, or 1 at the first board that cannot be opened
// (later boards are not tried; earlier ones stay open).
int OpenBoards(std::FILE* out, int32_t* handles, const DaqConfig& config);

// Programs one opened board from its settings: every step is made even
// after one fails, the results are ORed, and one error line is printed when
// any failed. Writes the board's channel count into the settings.
int32_t ProgramBoard(std::FILE* out, int32_t handle, BoardSettings& settings);

}  // namespace tessary

// Loading every board's offset and calibration tables from its flash at
// start-up. A 64-channel board takes seconds (a million load words), so the
// boards load side by side, one thread each: each has its own link and lock.
#pragma once

#include <cstdint>
#include <functional>

#include "ProgramError.h"

namespace tessary {

// What a board's load is doing, for a progress display: "offsets",
// "calibration", "done" or "failed".
using LoadProgress = std::function<void(int board, const char* phase)>;

// Offsets, then calibration, for every board; all loads run to their end.
// CalibrationUpload when any board's load failed, else None.
ProgramError LoadBoardTables(const int32_t* handles, int boards, const LoadProgress& progress = nullptr);

}  // namespace tessary

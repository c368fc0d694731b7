// State of one configuration parse, shared by the line handlers.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

#include "DaqConfig.h"

namespace tessary {

// Board or group selection that takes every board or every group.
inline constexpr int32_t kSelectAll = -1;

struct ParseState {
    DaqConfig& config;
    std::ostream& messages;
    std::string_view userFolder;
    int lineNumber = 0;
    int32_t boardSelection = kSelectAll;
    int32_t groupSelection = kSelectAll;
    // The per-user folder left no room for the default output or plotter
    // path; the file must then give the path itself.
    bool outfilePathMissing = false;
    bool gnuplotPathMissing = false;

    bool IsBoardSelected(int32_t board) const {
        return boardSelection == kSelectAll || boardSelection == board;
    }
    bool AnyBoardSelected() const {
        if (boardSelection == kSelectAll) return config.boardCount > 0;
        return boardSelection >= 0 && boardSelection < config.boardCount;
    }
};

// What became of one line.
enum class LineOutcome {
    Applied,  // the line took effect (possibly on no board)
    Ignored,  // a value was missing; reported, parsing goes on
    Failed,   // the file is unusable; reported, parsing ends
};

// A handled key line and how many of its tokens (key included) it used.
struct KeyResult {
    LineOutcome outcome = LineOutcome::Applied;
    int tokensUsed = 0;
};

}  // namespace tessary

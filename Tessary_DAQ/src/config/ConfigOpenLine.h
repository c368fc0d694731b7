// The OPEN line: one board and how to reach it.
#pragma once

#include <string_view>

#include "ConfigLines.h"
#include "ConfigParseState.h"

namespace tessary {

inline constexpr std::string_view kOpenKey = "OPEN";

// Appends the board that an OPEN line describes to the record.
KeyResult ApplyOpenLine(ParseState& state, const LineTokens& tokens);

}  // namespace tessary

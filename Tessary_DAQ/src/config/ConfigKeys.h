// The settings keys of the configuration file (every key but OPEN).
#pragma once

#include <string_view>

#include "ConfigLines.h"
#include "ConfigParseState.h"

namespace tessary {

// True when the token names a settings key (exact, case-sensitive).
bool IsSettingsKey(std::string_view key);

// Applies a line whose first token is a settings key to the record, within
// the current board and group selection.
KeyResult ApplySettingsKey(ParseState& state, const LineTokens& tokens);

}  // namespace tessary

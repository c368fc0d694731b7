// The program's command line: `Tessary_DAQ [options] [config]`.
#pragma once

#include <string>

#include "Program.h"

namespace tessary {

enum class CommandLineAction { Run, Help, Version, Refused };

// The exit status for a refused command line: EX_USAGE of <sysexits.h>,
// apart from the program's error codes (1 to 17).
inline constexpr int kExitUsage = 64;

// Fills `options`; on Refused, `message` says why (one line, no new
// line): an unknown option, a preset without a valid value, or a preset
// given twice. Options come before the configuration path; `--` ends them.
// Arguments after the path are ignored, as they always were; `message` then
// holds a warning naming them and the action is Run.
CommandLineAction ParseCommandLine(int argc, const char* const* argv, ProgramOptions& options,
                                   std::string& message);

// The text of --help.
const char* UsageText();

}  // namespace tessary

// The program's command line: `Tessary_DAQ [options] [config]`.
#pragma once

#include <string>

#include "Program.h"

namespace tessary {

enum class CommandLineAction { Run, Help, Version, Refused };

// Fills `options`; on Refused, `message` says why (one line, no new
// line). Options come before the configuration path; `--` ends them.
// Arguments after the path are ignored, as they always were; `message` then
// holds a warning naming them and the action is Run.
CommandLineAction ParseCommandLine(int argc, const char* const* argv, ProgramOptions& options,
                                   std::string& message);

// The text of --help.
const char* UsageText();

}  // namespace tessary

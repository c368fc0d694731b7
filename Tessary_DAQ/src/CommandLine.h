// The program's command line: `Tessary_DAQ [options] [config]`.
#pragma once

#include <string>

#include "Program.h"

namespace tessary {

enum class CommandLineAction { Run, Help, Version, Refused };

// Fills `options`; on Refused, `message` says why (one line, no new line).
// Options come before the configuration path; `--` ends them.
CommandLineAction ParseCommandLine(int argc, const char* const* argv, ProgramOptions& options,
                                   std::string& message);

// The text of --help.
const char* UsageText();

}  // namespace tessary

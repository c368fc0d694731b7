// The configuration file parser: text in, the filled record, a result and
// the messages out. The messages go to the sink the caller gives (the
// program passes standard output).
#pragma once

#include <fstream>
#include <istream>
#include <ostream>
#include <string_view>

#include "DaqConfig.h"

namespace tessary {

// Results; they equal the program error codes of the same meaning.
inline constexpr int kConfigOk = 0;
inline constexpr int kConfigFileNotFound = 1;
inline constexpr int kConfigParsingError = 2;

// Longest configuration file path, in characters.
inline constexpr std::size_t kMaxConfigPathLength = 255;

// Prints "Open configuration file PATH" and opens the file for reading.
// kConfigOk with the open stream, or kConfigFileNotFound when the path is
// too long or names a directory (each with a line that says so), or cannot
// be opened.
int OpenConfigFile(std::string_view path, std::ifstream& file, std::ostream& messages);

// Clears the record, writes the default paths under userFolder (which ends
// with a path separator) and reads the configuration line by line into it.
// A UTF-8 byte-order mark at the start of the text is skipped. kConfigOk
// when the whole text was read without error; kConfigParsingError at the
// first error, with the message naming it, and also for a text larger than
// kMaxConfigBytes (16 MiB) and when a stop signal (platform/Signals.h)
// arrives while the text is read. Messages show the file's text through
// Printable. Warnings and lines
// ignored for a missing value do not change the result. Fields set by lines
// before an error stay set. A text without any accepted OPEN line is no
// error: it leaves boardCount 0, and running without a board is for the
// caller to refuse.
int ParseConfig(std::istream& input, std::string_view userFolder, DaqConfig& config, std::ostream& messages);

}  // namespace tessary

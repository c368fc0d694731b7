// The messages of the configuration parser, word for word.
#pragma once

#include <ostream>
#include <string_view>

#include "ConfigParseState.h"

namespace tessary {

// "No argument for KEY. The command will be ignored"; ordinal is "", "1st",
// "2nd" or "3rd" for the OPEN line's arguments.
void ReportNoArgument(ParseState& state, std::string_view ordinal, std::string_view key);

// Value not among the allowed words.
void ReportInvalidOption(ParseState& state, std::string_view key, std::string_view value);

// Value without any digit where a number is expected.
void ReportInvalidNumber(ParseState& state, std::string_view key, std::string_view value);

// Number outside the range the setting can take.
void ReportOutOfRange(ParseState& state, std::string_view key, std::string_view value);

// Text value that does not fit its field.
void ReportTextTooLong(ParseState& state, std::string_view key, int maxLength);

// Starts a warning about a value that is taken in an adjusted form:
// "Warning: KEY VALUE at line N "; the caller says what is kept and ends
// the line.
std::ostream& WarnAboutValue(ParseState& state, std::string_view key, std::string_view value);

}  // namespace tessary

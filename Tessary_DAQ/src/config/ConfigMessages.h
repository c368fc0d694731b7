// The messages of the configuration parser, word for word. Values from the
// file are shown with their unprintable characters escaped (Printable).
#pragma once

#include <ostream>
#include <string_view>

#include "ConfigParseState.h"
#include "ConfigValues.h"

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

// A decimal beyond the 32-bit range is read as the nearest limit, as stored
// files rely on; "Warning: KEY VALUE at line N is beyond the 32-bit range;
// it is read as LIMIT" says so. Nothing when the number fits.
void WarnIfClamped(ParseState& state, std::string_view key, std::string_view value, const DecimalValue& number);

}  // namespace tessary

// The messages of the configuration parser. Text from the file is shown
// through Printable, so that no control byte reaches the terminal raw.
#include "ConfigMessages.h"

#include <ostream>

#include "PrintableText.h"

namespace tessary {

void ReportNoArgument(ParseState& state, std::string_view ordinal, std::string_view key) {
    state.messages << "No ";
    if (!ordinal.empty()) state.messages << ordinal << ' ';
    state.messages << "argument for " << key << ". The command will be ignored\n";
}

void ReportInvalidOption(ParseState& state, std::string_view key, std::string_view value) {
    state.messages << key << " = " << Printable(value) << ": invalid option\n";
}

void ReportInvalidNumber(ParseState& state, std::string_view key, std::string_view value) {
    state.messages << key << " = " << Printable(value) << ": invalid number at line " << state.lineNumber << '\n';
}

void ReportOutOfRange(ParseState& state, std::string_view key, std::string_view value) {
    state.messages << key << " = " << Printable(value) << ": value out of range at line " << state.lineNumber
                   << '\n';
}

void ReportTextTooLong(ParseState& state, std::string_view key, int maxLength) {
    state.messages << key << ": text longer than " << maxLength << " characters at line " << state.lineNumber
                   << '\n';
}

std::ostream& WarnAboutValue(ParseState& state, std::string_view key, std::string_view value) {
    return state.messages << "Warning: " << key << ' ' << Printable(value) << " at line " << state.lineNumber
                          << ' ';
}

void WarnIfClamped(ParseState& state, std::string_view key, std::string_view value, const DecimalValue& number) {
    if (number.overflow) {
        WarnAboutValue(state, key, value) << "is beyond the 32-bit range; it is read as " << number.value << '\n';
    }
}

}  // namespace tessary

// The messages of the configuration parser.
#include "ConfigMessages.h"

#include <ostream>

namespace tessary {

void ReportNoArgument(ParseState& state, std::string_view ordinal, std::string_view key) {
    state.messages << "No ";
    if (!ordinal.empty()) state.messages << ordinal << ' ';
    state.messages << "argument for " << key << ". The command will be ignored\n";
}

void ReportInvalidOption(ParseState& state, std::string_view key, std::string_view value) {
    state.messages << key << " = " << value << ": invalid option\n";
}

void ReportInvalidNumber(ParseState& state, std::string_view key, std::string_view value) {
    state.messages << key << " = " << value << ": invalid number at line " << state.lineNumber << '\n';
}

void ReportOutOfRange(ParseState& state, std::string_view key, std::string_view value) {
    state.messages << key << " = " << value << ": value out of range at line " << state.lineNumber << '\n';
}

void ReportTextTooLong(ParseState& state, std::string_view key, int maxLength) {
    state.messages << key << ": text longer than " << maxLength << " characters at line " << state.lineNumber
                   << '\n';
}

std::ostream& WarnAboutValue(ParseState& state, std::string_view key, std::string_view value) {
    return state.messages << "Warning: " << key << ' ' << value << " at line " << state.lineNumber << ' ';
}

}  // namespace tessary

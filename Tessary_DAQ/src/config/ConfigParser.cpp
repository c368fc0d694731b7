// The configuration parser: lines, sections, keys, and the checks at the
// end of the file.
#include "ConfigParser.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "ConfigKeys.h"
#include "ConfigLines.h"
#include "ConfigOpenLine.h"
#include "ConfigParseState.h"
#include "ConfigValues.h"
#include "Paths.h"

namespace tessary {

namespace {

constexpr std::string_view kDefaultOutputFolder = "Tessary_output";
constexpr std::string_view kDefaultOutfileName = "run0";

// A default path that does not fit its field is left empty; the file must
// then set it, which the end-of-file check enforces. The gnuplot default is
// the shorter one: when it does not fit, no OUTFILE_PATH value fits either,
// so the output path check refuses such a folder in any case.
void SetDefaults(ParseState& state) {
    const std::string separator(1, platform::PathSeparator());
    const std::string outfilePath = std::string(state.userFolder) + std::string(kDefaultOutputFolder) + separator;
    const std::string gnuplotPath = std::string(state.userFolder) + separator;
    DaqConfig& config = state.config;
    state.outfilePathMissing = !CopyText(config.outfilePath, sizeof config.outfilePath, outfilePath);
    CopyText(config.gnuplotPath, sizeof config.gnuplotPath, gnuplotPath);
    CopyText(config.outfileName, sizeof config.outfileName, kDefaultOutfileName);
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The number of a BOARD or GROUP section: present, with digits, not negative.
bool ReadSectionNumber(ParseState& state, const LineTokens& tokens, int32_t& out) {
    DecimalValue number = ParseDecimal(tokens[1]);
    if (!tokens.Has(1) || !number.hasDigits || number.value < 0) {
        state.messages << tokens[0] << ": missing or invalid section number at line " << state.lineNumber << '\n';
        return false;
    }
    out = number.value;
    return true;
}

bool ApplySectionLine(ParseState& state, const LineTokens& tokens) {
    const std::string_view name = tokens[0];
    if (Contains(name, "COMMON")) {
        state.boardSelection = kSelectAll;
        state.groupSelection = kSelectAll;
    } else if (Contains(name, "BOARD")) {
        int32_t board = 0;
        if (!ReadSectionNumber(state, tokens, board)) return false;
        state.boardSelection = board;
        state.groupSelection = kSelectAll;
    } else if (Contains(name, "GROUP")) {
        int32_t group = 0;
        if (!ReadSectionNumber(state, tokens, group)) return false;
        state.groupSelection = group;
    }
    return true;
}

KeyResult ApplyKeyLine(ParseState& state, const LineTokens& tokens) {
    if (tokens[0] == kOpenKey) return ApplyOpenLine(state, tokens);
    if (IsSettingsKey(tokens[0])) return ApplySettingsKey(state, tokens);
    state.messages << tokens[0] << ": invalid setting at line " << state.lineNumber << '\n';
    return KeyResult{LineOutcome::Failed, 1};
}

int CheckComplete(ParseState& state) {
    if (state.outfilePathMissing) {
        state.messages << "The default output path " << state.userFolder << kDefaultOutputFolder
                       << platform::PathSeparator() << " is longer than " << kPathFieldSize - 1
                       << " characters: set OUTFILE_PATH\n";
        return kConfigParsingError;
    }
    // A file without boards is still a readable file: boardCount 0 tells
    // the caller, which refuses it before touching anything.
    return kConfigOk;
}

}  // namespace

int OpenConfigFile(std::string_view path, std::ifstream& file, std::ostream& messages) {
    messages << "Open configuration file " << path << '\n';
    if (path.size() > kMaxConfigPathLength) {
        messages << "The configuration file path is longer than " << kMaxConfigPathLength << " characters\n";
        return kConfigFileNotFound;
    }
    const std::string name(path);
    std::error_code error;
    if (name.empty() || std::filesystem::is_directory(name, error)) return kConfigFileNotFound;
    file.open(name);
    return file.is_open() ? kConfigOk : kConfigFileNotFound;
}

int ParseConfig(std::istream& input, std::string_view userFolder, DaqConfig& config, std::ostream& messages) {
    config = DaqConfig{};
    ParseState state{config, messages, userFolder};
    SetDefaults(state);

    std::string line;
    while (ReadLinePiece(input, line)) {
        ++state.lineNumber;
        if (IsCommentLine(line)) continue;
        const LineTokens tokens = SplitTokens(line);
        if (tokens.count == 0) continue;
        if (tokens[0].front() == '[') {
            if (!ApplySectionLine(state, tokens)) return kConfigParsingError;
            continue;
        }
        const KeyResult result = ApplyKeyLine(state, tokens);
        if (result.outcome == LineOutcome::Failed) return kConfigParsingError;
        if (result.outcome == LineOutcome::Applied && tokens.Has(result.tokensUsed)) {
            messages << "WARNING: too many arguments in " << tokens[0] << ". the first exceeding argument is "
                     << tokens[result.tokensUsed] << '\n';
        }
    }
    // A read that failed part way would otherwise pass for the end of the file.
    if (input.bad()) {
        messages << "The configuration file could not be read after line " << state.lineNumber << '\n';
        return kConfigParsingError;
    }
    return CheckComplete(state);
}

}  // namespace tessary

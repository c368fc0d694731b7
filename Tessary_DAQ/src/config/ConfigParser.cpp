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
#include "PrintableText.h"
#include "Signals.h"

namespace tessary {

namespace {

constexpr std::string_view kDefaultOutputFolder = "Tessary_output";
constexpr std::string_view kDefaultOutfileName = "run0";

// The path fields take the defaults under any per-user folder the
// platform gives.
static_assert(platform::kMaxUserFolderLength + kDefaultOutputFolder.size() + 1 < std::size_t{kPathFieldSize});

// A default path that does not fit its field (only under a folder longer
// than any the platform gives) is left empty; the file must then set it,
// which the end-of-file check enforces.
void SetDefaults(ParseState& state) {
    const std::string separator(1, platform::PathSeparator());
    const std::string outfilePath = std::string(state.userFolder) + std::string(kDefaultOutputFolder) + separator;
    const std::string gnuplotPath = std::string(state.userFolder) + separator;
    DaqConfig& config = state.config;
    state.outfilePathMissing = !CopyText(config.outfilePath, sizeof config.outfilePath, outfilePath);
    state.gnuplotPathMissing = !CopyText(config.gnuplotPath, sizeof config.gnuplotPath, gnuplotPath);
    CopyText(config.outfileName, sizeof config.outfileName, kDefaultOutfileName);
}

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

// The number of a BOARD or GROUP section: present, with digits, not negative.
bool ReadSectionNumber(ParseState& state, const LineTokens& tokens, int32_t& out) {
    DecimalValue number = ParseDecimal(tokens[1]);
    if (!tokens.Has(1) || !number.hasDigits || number.value < 0) {
        state.messages << Printable(tokens[0]) << ": missing or invalid section number at line " << state.lineNumber
                       << '\n';
        return false;
    }
    out = number.value;
    return true;
}

// Starts a warning about a section line: "Warning: [BOARD 5] at line N ".
std::ostream& WarnAboutSection(ParseState& state, const LineTokens& tokens) {
    return state.messages << "Warning: " << Printable(tokens[0]) << ' ' << Printable(tokens[1]) << " at line "
                          << state.lineNumber << ' ';
}

// A section beyond the boards opened so far or beyond a board's groups is
// taken, as stored files rely on, but its board keys change nothing: each
// such section line is warned about.
bool ApplySectionLine(ParseState& state, const LineTokens& tokens) {
    const std::string_view name = tokens[0];
    if (Contains(name, "COMMON")) {
        state.boardSelection = kSelectAll;
        state.groupSelection = kSelectAll;
    } else if (Contains(name, "BOARD")) {
        int32_t board = 0;
        if (!ReadSectionNumber(state, tokens, board)) return false;
        const int32_t opened = state.config.boardCount;
        if (board >= opened) {
            std::ostream& warning = WarnAboutSection(state, tokens) << "selects no board: ";
            if (opened == 0) warning << "no board is opened before it\n";
            else
                warning << opened << (opened == 1 ? " board is" : " boards are")
                        << " opened before it, numbered from 0\n";
        }
        state.boardSelection = board;
        state.groupSelection = kSelectAll;
    } else if (Contains(name, "GROUP")) {
        int32_t group = 0;
        if (!ReadSectionNumber(state, tokens, group)) return false;
        if (group >= kGroupsPerBoard) {
            WarnAboutSection(state, tokens) << "selects no group: a board has groups 0 to " << kGroupsPerBoard - 1
                                            << '\n';
        }
        state.groupSelection = group;
    }
    return true;
}

KeyResult ApplyKeyLine(ParseState& state, const LineTokens& tokens) {
    if (tokens[0] == kOpenKey) return ApplyOpenLine(state, tokens);
    if (IsSettingsKey(tokens[0])) return ApplySettingsKey(state, tokens);
    state.messages << Printable(tokens[0]) << ": invalid setting at line " << state.lineNumber << '\n';
    return KeyResult{LineOutcome::Failed, 1};
}

int CheckComplete(ParseState& state) {
    if (state.outfilePathMissing) {
        state.messages << "The default output path " << Printable(state.userFolder) << kDefaultOutputFolder
                       << platform::PathSeparator() << " is longer than " << kPathFieldSize - 1
                       << " characters: set OUTFILE_PATH\n";
        return kConfigParsingError;
    }
    if (state.gnuplotPathMissing) {
        state.messages << "The default plotter path " << Printable(state.userFolder) << platform::PathSeparator()
                       << " is longer than " << kPathFieldSize - 1 << " characters: set GNUPLOT_PATH\n";
        return kConfigParsingError;
    }
    // A file without boards is still a readable file: boardCount 0 tells
    // the caller, which refuses it before touching anything.
    return kConfigOk;
}

}  // namespace

int OpenConfigFile(std::string_view path, std::ifstream& file, std::ostream& messages) {
    messages << "Open configuration file " << Printable(path) << '\n';
    if (path.size() > kMaxConfigPathLength) {
        messages << "The configuration file path is longer than " << kMaxConfigPathLength << " characters\n";
        return kConfigFileNotFound;
    }
    const std::string name(path);
    if (name.empty()) return kConfigFileNotFound;
    std::error_code error;
    if (std::filesystem::is_directory(name, error)) {
        messages << Printable(path) << " is a directory, not a configuration file\n";
        return kConfigFileNotFound;
    }
    file.open(name);
    return file.is_open() ? kConfigOk : kConfigFileNotFound;
}

int ParseConfig(std::istream& input, std::string_view userFolder, DaqConfig& config, std::ostream& messages) {
    config = DaqConfig{};
    ParseState state{config, messages, userFolder};
    SetDefaults(state);

    ConfigText text(input);
    std::string line;
    while (text.ReadPiece(line)) {
        // A stop signal ends a text that keeps coming (a slow pipe), which
        // the size bound alone would let run on for hours.
        if (platform::StopRequested()) {
            messages << "Reading the configuration file was stopped by a signal after line " << state.lineNumber
                     << '\n';
            return kConfigParsingError;
        }
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
                     << Printable(tokens[result.tokensUsed]) << '\n';
        }
    }
    if (text.TooLarge()) {
        messages << "The configuration file is larger than " << (kMaxConfigBytes >> 20)
                 << " MiB, far more than a configuration holds: it is not read past line " << state.lineNumber
                 << '\n';
        return kConfigParsingError;
    }
    // A read that failed part way would otherwise pass for the end of the file.
    if (input.bad()) {
        messages << "The configuration file could not be read after line " << state.lineNumber << '\n';
        return kConfigParsingError;
    }
    return CheckComplete(state);
}

}  // namespace tessary

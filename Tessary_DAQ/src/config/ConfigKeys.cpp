// The settings keys: one handler per key, found through one table.
#include "ConfigKeys.h"

#include <cstdint>
#include <ostream>
#include <string>

#include "ConfigMessages.h"
#include "ConfigValues.h"
#include "Paths.h"
#include "PrintableText.h"

namespace tessary {

namespace {

struct Word {
    std::string_view text;
    int32_t code;
};

constexpr Word kYesNo[] = {{"YES", 1}, {"NO", 0}};
constexpr Word kPolarity[] = {{"POSITIVE", 1}, {"NEGATIVE", 0}};
constexpr Word kInputRange[] = {{"4V", 1}, {"8V", 0}};
constexpr Word kSpectrum[] = {{"1k", 4}, {"2k", 3}, {"4k", 2}, {"8k", 1}, {"16k", 0}};
constexpr Word kIoLevel[] = {{"TTL", 1}, {"NIM", 0}};

template <std::size_t N>
const Word* FindWord(const Word (&words)[N], std::string_view text) {
    for (const Word& word : words) {
        if (word.text == text) return &word;
    }
    return nullptr;
}

template <typename Apply>
void ForEachSelectedBoard(ParseState& state, Apply apply) {
    for (int32_t j = 0; j < state.config.boardCount; ++j) {
        if (state.IsBoardSelected(j)) apply(state.config.boards[j]);
    }
}

// A word-valued field of the record: checked always.
template <std::size_t N>
LineOutcome SetGlobalWord(ParseState& state, std::string_view key, std::string_view value,
                          const Word (&words)[N], int32_t DaqConfig::*field) {
    const Word* word = FindWord(words, value);
    if (word == nullptr) {
        ReportInvalidOption(state, key, value);
        return LineOutcome::Failed;
    }
    state.config.*field = word->code;
    return LineOutcome::Applied;
}

// A word-valued field of every selected board: checked only when a board
// is selected, since a line that selects no board has no effect at all.
template <std::size_t N>
LineOutcome SetBoardWord(ParseState& state, std::string_view key, std::string_view value,
                         const Word (&words)[N], int32_t BoardSettings::*field) {
    if (!state.AnyBoardSelected()) return LineOutcome::Applied;
    const Word* word = FindWord(words, value);
    if (word == nullptr) {
        ReportInvalidOption(state, key, value);
        return LineOutcome::Failed;
    }
    ForEachSelectedBoard(state, [&](BoardSettings& board) { board.*field = word->code; });
    return LineOutcome::Applied;
}

// A decimal that must lie in [low, high]; reports and fails otherwise. One
// beyond the 32-bit range is taken as its limit, with a warning.
bool ReadDecimalIn(ParseState& state, std::string_view key, std::string_view value, int32_t low, int32_t high,
                   int32_t& out) {
    DecimalValue number = ParseDecimal(value);
    if (!number.hasDigits) {
        ReportInvalidNumber(state, key, value);
        return false;
    }
    if (number.value < low || number.value > high) {
        ReportOutOfRange(state, key, value);
        return false;
    }
    WarnIfClamped(state, key, value, number);
    out = number.value;
    return true;
}

constexpr int32_t kInt32Min = INT32_MIN;
constexpr int32_t kInt32Max = INT32_MAX;

// Output file names are appended to the directory texts directly.
void WarnWithoutSeparator(ParseState& state, std::string_view key, std::string_view path) {
    const char separator = platform::PathSeparator();
    if (!path.empty() && std::string_view(platform::PathSeparators()).find(path.back()) != std::string_view::npos)
        return;
    state.messages << "Warning: " << key << " " << Printable(path) << " at line " << state.lineNumber
                   << " does not end with '" << separator << "'; names are appended to it directly\n";
}

// Text values as written hold at most this many characters.
constexpr int kMaxTextLength = kTextFieldSize - 1;

bool TooLong(std::string_view value) { return value.size() > static_cast<std::size_t>(kMaxTextLength); }

// Taken as written, from the working directory when relative.
LineOutcome GnuplotPath(ParseState& state, std::string_view key, std::string_view value) {
    if (TooLong(value)) {
        ReportTextTooLong(state, key, kMaxTextLength);
        return LineOutcome::Failed;
    }
    CopyText(state.config.gnuplotPath, sizeof state.config.gnuplotPath, value);
    state.gnuplotPathMissing = false;
    WarnWithoutSeparator(state, key, value);
    return LineOutcome::Applied;
}

// A relative value is taken in the per-user folder, an absolute one as it
// stands. The limit is the value's, as written; the whole path may be as
// long as the field, which takes any per-user folder with such a value.
LineOutcome OutfilePath(ParseState& state, std::string_view key, std::string_view value) {
    if (TooLong(value)) {
        ReportTextTooLong(state, key, kMaxTextLength);
        return LineOutcome::Failed;
    }
    std::string path = platform::IsAbsolutePath(value) ? std::string() : std::string(state.userFolder);
    path += value;
    if (!CopyText(state.config.outfilePath, sizeof state.config.outfilePath, path)) {
        state.messages << key << ": the output path " << Printable(path) << " is longer than " << kPathFieldSize - 1
                       << " characters at line " << state.lineNumber << '\n';
        return LineOutcome::Failed;
    }
    state.outfilePathMissing = false;
    WarnWithoutSeparator(state, key, value);
    return LineOutcome::Applied;
}

LineOutcome OutfileName(ParseState& state, std::string_view key, std::string_view value) {
    if (!CopyText(state.config.outfileName, sizeof state.config.outfileName, value)) {
        ReportTextTooLong(state, key, kMaxTextLength);
        return LineOutcome::Failed;
    }
    return LineOutcome::Applied;
}

LineOutcome PeriodicPlot(ParseState& s, std::string_view k, std::string_view v) {
    return SetGlobalWord(s, k, v, kYesNo, &DaqConfig::periodicPlot);
}
LineOutcome OutfileRaw(ParseState& s, std::string_view k, std::string_view v) {
    return SetGlobalWord(s, k, v, kYesNo, &DaqConfig::outfileRaw);
}
LineOutcome OutfileList(ParseState& s, std::string_view k, std::string_view v) {
    return SetGlobalWord(s, k, v, kYesNo, &DaqConfig::outfileList);
}
LineOutcome OutfileHisto(ParseState& s, std::string_view k, std::string_view v) {
    return SetGlobalWord(s, k, v, kYesNo, &DaqConfig::outfileHisto);
}
LineOutcome OutfileHdf5(ParseState& s, std::string_view k, std::string_view v) {
    return SetGlobalWord(s, k, v, kYesNo, &DaqConfig::outfileHdf5);
}

// A negative period is kept as given: the statistics timer compares it as
// a huge unsigned number and never fires, which does no harm.
LineOutcome StatRefresh(ParseState& state, std::string_view key, std::string_view value) {
    if (!ReadDecimalIn(state, key, value, kInt32Min, kInt32Max, state.config.statRefresh)) return LineOutcome::Failed;
    if (state.config.statRefresh < 0) {
        WarnAboutValue(state, key, value) << "is negative; the statistics period never elapses\n";
    }
    return LineOutcome::Applied;
}

LineOutcome Hdf5Compression(ParseState& state, std::string_view key, std::string_view value) {
    return ReadDecimalIn(state, key, value, 0, 9, state.config.hdf5Compression) ? LineOutcome::Applied
                                                                                : LineOutcome::Failed;
}

// A negative limit would start a new segment on every pass.
LineOutcome OutfileMaxSize(ParseState& state, std::string_view key, std::string_view value) {
    return ReadDecimalIn(state, key, value, 0, kInt32Max, state.config.outfileMaxSize) ? LineOutcome::Applied
                                                                                          : LineOutcome::Failed;
}

LineOutcome SlScaleEnable(ParseState& s, std::string_view k, std::string_view v) {
    return SetBoardWord(s, k, v, kYesNo, &BoardSettings::slidingScale);
}
LineOutcome ZsEnable(ParseState& s, std::string_view k, std::string_view v) {
    return SetBoardWord(s, k, v, kYesNo, &BoardSettings::zsEnable);
}
LineOutcome Polarity(ParseState& s, std::string_view k, std::string_view v) {
    return SetBoardWord(s, k, v, kPolarity, &BoardSettings::polarity);
}
LineOutcome InputRange(ParseState& s, std::string_view k, std::string_view v) {
    return SetBoardWord(s, k, v, kInputRange, &BoardSettings::inputRange);
}
LineOutcome SpectrumChannel(ParseState& s, std::string_view k, std::string_view v) {
    return SetBoardWord(s, k, v, kSpectrum, &BoardSettings::spectrumShift);
}
LineOutcome GateParalyzable(ParseState& s, std::string_view k, std::string_view v) {
    return SetBoardWord(s, k, v, kYesNo, &BoardSettings::gateParalyzable);
}
LineOutcome FpioLevel(ParseState& s, std::string_view k, std::string_view v) {
    return SetBoardWord(s, k, v, kIoLevel, &BoardSettings::ioLevel);
}

// Nothing acts on the gate value, so no value of it is worth refusing a
// file for: it is kept as the conversion gives it.
LineOutcome GateValue(ParseState& state, std::string_view key, std::string_view value) {
    if (!state.AnyBoardSelected()) return LineOutcome::Applied;
    const RealValue real = ParseReal(value);
    if (!real.hasDigits) {
        WarnAboutValue(state, key, value) << "is not a number; 0 is stored\n";
    } else if (real.overflow || real.underflow) {
        WarnAboutValue(state, key, value) << "is outside the single-precision range; " << real.value
                                          << " is stored\n";
    }
    ForEachSelectedBoard(state, [&](BoardSettings& board) { board.gateValue = real.value; });
    return LineOutcome::Applied;
}

LineOutcome GateWidth(ParseState& state, std::string_view key, std::string_view value) {
    if (!state.AnyBoardSelected()) return LineOutcome::Applied;
    RealValue real = ParseReal(value);
    if (!real.hasDigits) {
        ReportInvalidNumber(state, key, value);
        return LineOutcome::Failed;
    }
    if (real.overflow || real.underflow) {
        ReportOutOfRange(state, key, value);
        return LineOutcome::Failed;
    }
    const float micros = real.value;
    if (micros < 0.0f) {
        ForEachSelectedBoard(state, [&](BoardSettings&) {
            state.messages << "Warning: gate width cannot be negative\n";
        });
        return LineOutcome::Applied;
    }
    if (micros == 0.0f) {
        ForEachSelectedBoard(state, [](BoardSettings& board) { board.triggerMode = 1; });
        return LineOutcome::Applied;
    }
    // Units of 16 ns, in single precision and in this order: 4.096 us is 256.
    float ticks = micros * 1000.0f;
    ticks = ticks * 0.0625f;
    // A gate shorter than one unit would be empty; one past 32 bits cannot
    // be written to the board.
    if (!(ticks >= 1.0f) || !(ticks < 4294967296.0f)) {
        ReportOutOfRange(state, key, value);
        return LineOutcome::Failed;
    }
    const uint32_t width = static_cast<uint32_t>(ticks);
    ForEachSelectedBoard(state, [&](BoardSettings& board) {
        board.triggerMode = 0;
        board.gateWidth = width;
    });
    return LineOutcome::Applied;
}

LineOutcome EnableInput(ParseState& state, std::string_view key, std::string_view value) {
    if (!state.AnyBoardSelected()) return LineOutcome::Applied;
    HexValue mask = ParseHexadecimal(value);
    if (!mask.hasDigits) {
        ReportInvalidNumber(state, key, value);
        return LineOutcome::Failed;
    }
    if (mask.overflow) {
        ReportOutOfRange(state, key, value);
        return LineOutcome::Failed;
    }
    ForEachSelectedBoard(state, [&](BoardSettings& board) {
        for (int g = 0; g < kGroupsPerBoard; ++g) {
            board.groupEnableMask[g] = static_cast<uint8_t>(mask.value >> (8 * g));
        }
    });
    return LineOutcome::Applied;
}

// The plot shows one group of 8 channels. Bits above the low 8 name no
// channel of it; stored files carry such masks, so they are dropped, not
// refused.
LineOutcome EnableGraph(ParseState& state, std::string_view key, std::string_view value) {
    HexValue mask = ParseHexadecimal(value);
    if (!mask.hasDigits) {
        ReportInvalidNumber(state, key, value);
        return LineOutcome::Failed;
    }
    if (mask.overflow) {
        ReportOutOfRange(state, key, value);
        return LineOutcome::Failed;
    }
    if (mask.value > 0xFF) WarnAboutValue(state, key, value) << "is wider than 8 bits; only the low 8 bits are kept\n";
    state.config.plotChannelMask = static_cast<uint8_t>(mask.value);
    return LineOutcome::Applied;
}

LineOutcome GroupGraph(ParseState& state, std::string_view key, std::string_view value) {
    if (!state.AnyBoardSelected()) return LineOutcome::Applied;
    int32_t group = 0;
    if (!ReadDecimalIn(state, key, value, 0, kGroupsPerBoard - 1, group)) return LineOutcome::Failed;
    state.config.plotGroup = static_cast<uint16_t>(group);
    return LineOutcome::Applied;
}

// The board compares 14-bit amplitudes with the threshold. Stored files
// write 65535 and the like for "the highest", so a larger value becomes
// the highest threshold the board has.
LineOutcome ZsThreshold(ParseState& state, std::string_view key, std::string_view value) {
    if (!state.AnyBoardSelected()) return LineOutcome::Applied;
    int32_t threshold = 0;
    if (!ReadDecimalIn(state, key, value, 0, kInt32Max, threshold)) return LineOutcome::Failed;
    if (threshold > kMaxZsThreshold) {
        WarnAboutValue(state, key, value) << "is above " << kMaxZsThreshold << "; " << kMaxZsThreshold
                                          << " is used\n";
        threshold = kMaxZsThreshold;
    }
    ForEachSelectedBoard(state, [&](BoardSettings& board) {
        for (int32_t g = 0; g < kGroupsPerBoard; ++g) {
            if (state.groupSelection == kSelectAll || state.groupSelection == g) {
                board.zsThreshold[g] = static_cast<uint16_t>(threshold);
            }
        }
    });
    return LineOutcome::Applied;
}

using KeyHandler = LineOutcome (*)(ParseState&, std::string_view key, std::string_view value);

struct KeyEntry {
    std::string_view key;
    KeyHandler handler;
};

constexpr KeyEntry kKeys[] = {
    {"GNUPLOT_PATH", GnuplotPath},
    {"PERIODIC_PLOT", PeriodicPlot},
    {"STAT_REFRESH", StatRefresh},
    {"OUTFILE_RAW", OutfileRaw},
    {"OUTFILE_LIST", OutfileList},
    {"OUTFILE_HISTO", OutfileHisto},
    {"OUTFILE_HDF5", OutfileHdf5},
    {"HDF5_COMPRESSION", Hdf5Compression},
    {"OUTFILE_PATH", OutfilePath},
    {"OUTFILE_NAME", OutfileName},
    {"OUTFILE_MAXSIZE", OutfileMaxSize},
    {"SLSCALE_ENABLE", SlScaleEnable},
    {"ZS_ENABLE", ZsEnable},
    {"POLARITY", Polarity},
    {"INPUT_RANGE", InputRange},
    {"SPECTRUM_CHANNEL", SpectrumChannel},
    {"GATE_PARALIZABLE", GateParalyzable},
    {"GATE_VALUE", GateValue},
    {"FPIO_LEVEL", FpioLevel},
    {"GATE_WIDTH", GateWidth},
    {"ENABLE_INPUT", EnableInput},
    {"ENABLE_GRAPH", EnableGraph},
    {"GROUP_GRAPH", GroupGraph},
    {"ZS_THRESHOLD", ZsThreshold},
};

const KeyEntry* FindKey(std::string_view key) {
    for (const KeyEntry& entry : kKeys) {
        if (entry.key == key) return &entry;
    }
    return nullptr;
}

}  // namespace

bool IsSettingsKey(std::string_view key) { return FindKey(key) != nullptr; }

KeyResult ApplySettingsKey(ParseState& state, const LineTokens& tokens) {
    const KeyEntry* entry = FindKey(tokens[0]);
    if (entry == nullptr) return KeyResult{LineOutcome::Failed, 1};
    if (!tokens.Has(1)) {
        ReportNoArgument(state, "", entry->key);
        return KeyResult{LineOutcome::Ignored, 1};
    }
    return KeyResult{entry->handler(state, entry->key, tokens[1]), 2};
}

}  // namespace tessary

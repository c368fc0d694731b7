// What the parser refuses or fills in where the file format leaves the
// choice open: files without boards, section numbers, long texts, numbers
// that are not numbers or lie outside what the boards and the program
// accept, and the values of settings the file leaves out.
#include <cmath>
#include <string>

#include "ConfigCases.h"

namespace tessary::test {
namespace {

class LeftOpenDecisions : public testing::TestWithParam<ConfigCase> {};

TEST_P(LeftOpenDecisions, ParsesAsExpected) { RunCase(GetParam()); }

const std::string k99(99, 'n');
const std::string k100(100, 'n');
const std::string k400Zeros(400, '0');

const ConfigCase kCases[] = {
    // No board is no parse error: boardCount 0 tells the caller.
    {"NoOpenLineLeavesNoBoard", "# nothing but comments\n\nSTAT_REFRESH 1000\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boardCount, 0);
         EXPECT_EQ(c.statRefresh, 1000);
     }},
    {"EmptyTextLeavesNoBoard", "", 0, "", [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 0); }},
    {"OpenLinesAllIgnoredLeaveNoBoard", "OPEN USB\n", 0, "No 2nd argument for OPEN. The command will be ignored\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 0); }},

    {"BoardSectionWithoutNumber", kOneBoard + "[BOARD]\n", 2,
     "[BOARD]: missing or invalid section number at line 2\n", nullptr},
    {"BoardSectionNegative", kOneBoard + "[BOARD -1]\n", 2, "[BOARD: missing or invalid section number at line 2\n",
     nullptr},
    {"GroupSectionNotANumber", kOneBoard + "[GROUP x]\n", 2, "[GROUP: missing or invalid section number at line 2\n",
     nullptr},
    {"SectionNumberWithBracketIsFine", kOneBoard + "[BOARD 0]\n[GROUP 1]\nZS_THRESHOLD 3\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].zsThreshold[1], 3); }},

    {"NameOf99CharactersFits", kOneBoard + "OUTFILE_NAME " + k99 + "\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(std::string(c.outfileName), k99); }},
    {"NameOf100CharactersRefused", kOneBoard + "OUTFILE_NAME " + k100 + "\n", 2,
     "OUTFILE_NAME: text longer than 99 characters at line 2\n",
     [](const DaqConfig& c) { EXPECT_STREQ(c.outfileName, "run0"); }},
    {"GnuplotPathOf100CharactersRefused", kOneBoard + "GNUPLOT_PATH " + k100 + "\n", 2,
     "GNUPLOT_PATH: text longer than 99 characters at line 2\n", nullptr},
    // The limit is the value's as written, not the path's with the per-user folder.
    {"OutputPathOf99CharactersFits", kOneBoard + "OUTFILE_PATH " + std::string(98, 'p') + "/\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(std::string(c.outfilePath), kUserFolder + std::string(98, 'p') + "/"); }},
    {"OutputPathOf100CharactersRefused", kOneBoard + "OUTFILE_PATH /" + std::string(98, 'p') + "/\n", 2,
     "OUTFILE_PATH: text longer than 99 characters at line 2\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.outfilePath, kDefaultOutput); }},

    // A byte-order mark is skipped at the start only. Messages show control
    // characters, invisible format characters and bytes that are not UTF-8
    // as \xNN escapes; other languages' letters are kept.
    {"ByteOrderMarkAtTheStartIsSkipped", "\xEF\xBB\xBFOPEN USB 0\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boardCount, 1); }},
    {"ByteOrderMarkLaterIsShownEscaped", kOneBoard + "\xEF\xBB\xBFSTAT_REFRESH 5\n", 2,
     "\\xef\\xbb\\xbfSTAT_REFRESH: invalid setting at line 2\n", nullptr},
    {"UnprintableBytesAreShownEscaped", kOneBoard + "POLARITY \x01\x1b[2J\x7f\n", 2,
     "POLARITY = \\x01\\x1b[2J\\x7f: invalid option\n", nullptr},
    {"UnprintableInAWarningShownEscapedLettersKept", kOneBoard + "OUTFILE_PATH donn\xC3\xA9" "es\xE6\x97\xA5"
     "\xF0\x9F\x93\x81\xC2\x9B\xE2\x80\xAE\xE0\x82\xA0\xED\xA0\x80\xE6\x97\xFF\xE6\x97\n", 0,
     NoSeparatorWarning("OUTFILE_PATH",
                        "donn\xC3\xA9" "es\xE6\x97\xA5\xF0\x9F\x93\x81\\xc2\\x9b\\xe2\\x80\\xae\\xe0\\x82\\xa0"
                        "\\xed\\xa0\\x80\\xe6\\x97\\xff\\xe6\\x97", 2),
     nullptr},

    {"DecimalWithoutDigitsRefused", kOneBoard + "STAT_REFRESH fast\n", 2,
     "STAT_REFRESH = fast: invalid number at line 2\n", nullptr},
    {"SignAloneRefused", kOneBoard + "OUTFILE_MAXSIZE -\n", 2, "OUTFILE_MAXSIZE = -: invalid number at line 2\n",
     nullptr},
    {"NegativeStatRefreshKept", kOneBoard + "STAT_REFRESH -1\n", 0,
     "Warning: STAT_REFRESH -1 at line 2 is negative; the statistics period never elapses\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.statRefresh, -1); }},
    {"NegativeMaxSizeRefused", kOneBoard + "OUTFILE_MAXSIZE -5\n", 2,
     "OUTFILE_MAXSIZE = -5: value out of range at line 2\n", nullptr},
    {"ZsThresholdAbove14BitsClamped", kOneBoard + "ZS_THRESHOLD 16384\n[GROUP 1]\nZS_THRESHOLD 65535\n", 0,
     "Warning: ZS_THRESHOLD 16384 at line 2 is above 16383; 16383 is used\n"
     "Warning: ZS_THRESHOLD 65535 at line 4 is above 16383; 16383 is used\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].zsThreshold[7], 16383); }},
    {"NegativeZsThresholdRefused", kOneBoard + "ZS_THRESHOLD -1\n", 2,
     "ZS_THRESHOLD = -1: value out of range at line 2\n", nullptr},
    {"ZsThresholdWithoutDigitsRefused", kOneBoard + "ZS_THRESHOLD high\n", 2,
     "ZS_THRESHOLD = high: invalid number at line 2\n", nullptr},
    {"GroupGraphBeyondGroupsRefused", kOneBoard + "GROUP_GRAPH 8\n", 2,
     "GROUP_GRAPH = 8: value out of range at line 2\n", nullptr},
    {"NegativeGroupGraphRefused", kOneBoard + "GROUP_GRAPH -1\n", 2,
     "GROUP_GRAPH = -1: value out of range at line 2\n", nullptr},
    {"EnableGraphBeyond64BitsRefused", kOneBoard + "ENABLE_GRAPH 1FFFFFFFFFFFFFFFF\n", 2,
     "ENABLE_GRAPH = 1FFFFFFFFFFFFFFFF: value out of range at line 2\n", nullptr},
    {"EnableGraphWithoutDigitsRefused", kOneBoard + "ENABLE_GRAPH none\n", 2,
     "ENABLE_GRAPH = none: invalid number at line 2\n", nullptr},
    {"EnableInputBeyond64BitsRefused", kOneBoard + "ENABLE_INPUT 1FFFFFFFFFFFFFFFF\n", 2,
     "ENABLE_INPUT = 1FFFFFFFFFFFFFFFF: value out of range at line 2\n", nullptr},
    {"EnableInputWithoutDigitsRefused", kOneBoard + "ENABLE_INPUT none\n", 2,
     "ENABLE_INPUT = none: invalid number at line 2\n", nullptr},
    {"GateWidthWithoutDigitsRefused", kOneBoard + "GATE_WIDTH inf\n", 2, "GATE_WIDTH = inf: invalid number at line 2\n",
     nullptr},
    {"GateWidthShorterThanOneUnitRefused", kOneBoard + "GATE_WIDTH 0.01\n", 2,
     "GATE_WIDTH = 0.01: value out of range at line 2\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateWidth, 256u); }},
    {"GateWidthBeyond32BitsRefused", kOneBoard + "GATE_WIDTH 1e9\n", 2,
     "GATE_WIDTH = 1e9: value out of range at line 2\n", nullptr},
    {"GateWidthBeyondSinglePrecisionRefused", kOneBoard + "GATE_WIDTH 1e39\n", 2,
     "GATE_WIDTH = 1e39: value out of range at line 2\n", nullptr},
    {"GateValueBeyondSinglePrecisionIsInfinite", kOneBoard + "GATE_VALUE -1e400\n", 0,
     "Warning: GATE_VALUE -1e400 at line 2 is outside the single-precision range; -inf is stored\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateValue, -HUGE_VALF); }},
    // Huge and tiny are told apart by the magnitude of the number, however
    // it is written; a gate width that is not zero but would be stored as 0
    // is refused like a huge one.
    {"GateValueHugeWithNegativeExponent", kOneBoard + "GATE_VALUE 1" + k400Zeros + "e-10\n", 0,
     "Warning: GATE_VALUE 1" + k400Zeros + "e-10 at line 2 is outside the single-precision range; inf is stored\n",
     nullptr},
    {"GateWidthHugeWithNegativeExponentRefusedKeepsTheBoard",
     kOneBoard + "GATE_WIDTH 1\nGATE_WIDTH 1" + k400Zeros + "e-10\n", 2,
     "GATE_WIDTH = 1" + k400Zeros + "e-10: value out of range at line 3\n",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].triggerMode, 0);
         EXPECT_EQ(c.boards[0].gateWidth, 62u);
     }},
    {"GateValueTinyWithExponent", kOneBoard + "GATE_VALUE 1e-400\n", 0,
     "Warning: GATE_VALUE 1e-400 at line 2 is outside the single-precision range; 0 is stored\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateValue, 0.0f); }},
    {"GateValueTinyWithManyZeros", kOneBoard + "GATE_VALUE 0." + k400Zeros + "1\n", 0,
     "Warning: GATE_VALUE 0." + k400Zeros + "1 at line 2 is outside the single-precision range; 0 is stored\n",
     nullptr},
    {"GateValueBelowSinglePrecision", kOneBoard + "GATE_VALUE -1e-50\n", 0,
     "Warning: GATE_VALUE -1e-50 at line 2 is outside the single-precision range; -0 is stored\n", nullptr},
    {"GateWidthTinyRefusedKeepsTriggerMode", kOneBoard + "GATE_WIDTH 2\nGATE_WIDTH 0." + k400Zeros + "1\n", 2,
     "GATE_WIDTH = 0." + k400Zeros + "1: value out of range at line 3\n",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].triggerMode, 0);
         EXPECT_EQ(c.boards[0].gateWidth, 125u);
     }},
    {"ExponentOfManyDigitsIsTiny", kOneBoard + "GATE_VALUE 1e-99999999999999999999\n", 0,
     "Warning: GATE_VALUE 1e-99999999999999999999 at line 2 is outside the single-precision range; "
     "0 is stored\n",
     nullptr},
    {"LongFormsOfOrdinaryValuesAreRead",
     kTwoBoards + "GATE_VALUE 1" + k400Zeros + "e-399\n[BOARD 1]\nGATE_VALUE 0." + k400Zeros + "25e402\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].gateValue, 10.0f);
         EXPECT_EQ(c.boards[1].gateValue, 25.0f);
     }},
    {"ZeroWithAnyExponentIsZero", kOneBoard + "GATE_VALUE 5\nGATE_VALUE 0.000e99999999999\nGATE_WIDTH -0.0e-500\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].gateValue, 0.0f);
         EXPECT_EQ(c.boards[0].triggerMode, 1);
     }},
    {"GateValueWithoutDigitsIsZero", kOneBoard + "GATE_VALUE 5\nGATE_VALUE nan\n", 0,
     "Warning: GATE_VALUE nan at line 3 is not a number; 0 is stored\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateValue, 0.0f); }},

    {"SettingsLeftOutHaveDefinedValues", "OPEN ETH_R330 host 0x10\n", 0, "",
     [](const DaqConfig& c) {
         const BoardSettings& b = c.boards[0];
         EXPECT_EQ(b.linkNumber, 0);
         EXPECT_EQ(b.slidingScale, 0);
         EXPECT_EQ(b.zsEnable, 0);
         EXPECT_EQ(b.polarity, 1);
         EXPECT_EQ(b.inputRange, 0);
         EXPECT_EQ(b.triggerMode, 0);
         EXPECT_EQ(b.gateValue, 0.0f);
         EXPECT_EQ(b.gateParalyzable, 0);
         EXPECT_EQ(b.spectrumShift, 0);
         EXPECT_EQ(b.channelCount, 0);
         for (int g = 0; g < 8; ++g) EXPECT_EQ(b.zsThreshold[g], 0);
         EXPECT_EQ(c.acquisitionRunning, 0);
         EXPECT_EQ(c.quitRequested, 0);
         EXPECT_EQ(c.plotRequested, 0);
         EXPECT_EQ(c.resetTimeMs, 0);
     }},
};

INSTANTIATE_TEST_SUITE_P(Config, LeftOpenDecisions, testing::ValuesIn(kCases), CaseName);

TEST(ConfigRecord, ParsingClearsWhatAnEarlierParseLeft) {
    Parsed parsed = ParseText("OPEN USB 0\nOPEN USB 1\nSTAT_REFRESH 7\n");
    std::istringstream second("OPEN USB 4\n");
    std::ostringstream messages;
    DaqConfig& config = *parsed.config;
    config.quitRequested = 1;
    EXPECT_EQ(ParseConfig(second, kUserFolder, config, messages), 0);
    EXPECT_EQ(config.boardCount, 1);
    EXPECT_EQ(config.statRefresh, 0);
    EXPECT_EQ(config.quitRequested, 0);
    EXPECT_EQ(config.boards[1].linkNumber, 0);
}

TEST(ConfigUserFolder, LongestFolderTakesTheDefaultOrAShortOutputPath) {
    const std::string folder = "/" + std::string(125, 'u') + "/";  // the longest the platform gives
    for (const std::string& value : {std::string(), std::string("out/")}) {
        Parsed parsed = ParseText(kOneBoard + (value.empty() ? "" : "OUTFILE_PATH " + value + "\n"), folder);
        EXPECT_EQ(parsed.result, 0);
        EXPECT_EQ(parsed.messages, "");
        EXPECT_EQ(std::string(parsed.config->outfilePath), folder + (value.empty() ? "Tessary_output" + kSep : value));
    }
}

TEST(ConfigUserFolder, FolderWithoutRoomForTheDefaultPathsIsRefused) {
    const std::string folder = "/" + std::string(4093, 'u') + "/";
    Parsed refused = ParseText(kOneBoard + "OUTFILE_PATH \nGNUPLOT_PATH /usr/bin/\n", folder);
    EXPECT_EQ(refused.result, 2);
    EXPECT_EQ(refused.messages,
              "No argument for OUTFILE_PATH. The command will be ignored\n"
              "The default output path " + folder + "Tessary_output" + kSep +
                  " is longer than 4095 characters: set OUTFILE_PATH\n");
    EXPECT_STREQ(refused.config->gnuplotPath, "/usr/bin/");
    EXPECT_EQ(ParseText(kOneBoard + "OUTFILE_PATH out/\n", folder).messages,
              "OUTFILE_PATH: the output path " + folder + "out/ is longer than 4095 characters at line 2\n");
    EXPECT_EQ(ParseText(kOneBoard + "OUTFILE_PATH /data/\nGNUPLOT_PATH /usr/bin/\n", folder).result, 0);
}

}  // namespace
}  // namespace tessary::test

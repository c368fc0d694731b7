// Each value form: words, decimal with clamping, hexadecimal, real, text;
// missing values and surplus tokens.
#include "ConfigCases.h"

namespace tessary::test {
namespace {

class ValueForms : public testing::TestWithParam<ConfigCase> {};

TEST_P(ValueForms, ParsesAsExpected) { RunCase(GetParam()); }

const ConfigCase kCases[] = {
    // Words.
    {"YesNoGlobals", kOneBoard + "PERIODIC_PLOT YES\nOUTFILE_RAW YES\nOUTFILE_LIST NO\nOUTFILE_HISTO YES\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.periodicPlot, 1);
         EXPECT_EQ(c.outfileRaw, 1);
         EXPECT_EQ(c.outfileList, 0);
         EXPECT_EQ(c.outfileHisto, 1);
     }},
    {"YesInLowerCaseIsInvalid", kOneBoard + "PERIODIC_PLOT yes\nOUTFILE_RAW YES\n", 2,
     "PERIODIC_PLOT = yes: invalid option\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.outfileRaw, 0); }},
    {"BoardWords",
     kOneBoard +
         "SLSCALE_ENABLE YES\nZS_ENABLE YES\nPOLARITY NEGATIVE\nINPUT_RANGE 4V\nGATE_PARALIZABLE YES\nFPIO_LEVEL NIM\n",
     0, "",
     [](const DaqConfig& c) {
         const BoardSettings& b = c.boards[0];
         EXPECT_EQ(b.slidingScale, 1);
         EXPECT_EQ(b.zsEnable, 1);
         EXPECT_EQ(b.polarity, 0);
         EXPECT_EQ(b.inputRange, 1);
         EXPECT_EQ(b.gateParalyzable, 1);
         EXPECT_EQ(b.ioLevel, 0);
     }},
    {"BoardWordsOtherWay", kOneBoard + "SLSCALE_ENABLE NO\nPOLARITY POSITIVE\nINPUT_RANGE 8V\nFPIO_LEVEL TTL\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].slidingScale, 0);
         EXPECT_EQ(c.boards[0].polarity, 1);
         EXPECT_EQ(c.boards[0].inputRange, 0);
         EXPECT_EQ(c.boards[0].ioLevel, 1);
     }},
    {"FpioLevelInvalid", kOneBoard + "FPIO_LEVEL ECL\n", 2, "FPIO_LEVEL = ECL: invalid option\n", nullptr},
    {"SpectrumChannel16k", kOneBoard + "SPECTRUM_CHANNEL 2k\nSPECTRUM_CHANNEL 16k\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].spectrumShift, 0); }},
    {"SpectrumChannelCodes", kTwoBoards + "SPECTRUM_CHANNEL 1k\n[BOARD 1]\nSPECTRUM_CHANNEL 4k\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].spectrumShift, 4);
         EXPECT_EQ(c.boards[1].spectrumShift, 2);
     }},
    {"SpectrumChannel8kAnd2k", kTwoBoards + "SPECTRUM_CHANNEL 8k\n[BOARD 1]\nSPECTRUM_CHANNEL 2k\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].spectrumShift, 1);
         EXPECT_EQ(c.boards[1].spectrumShift, 3);
     }},
    {"SpectrumChannel32kInvalidOnceSelected", kOneBoard + "SPECTRUM_CHANNEL 32k\n", 2,
     "SPECTRUM_CHANNEL = 32k: invalid option\n", nullptr},
    {"SpectrumChannel16KUpperCaseInvalid", kOneBoard + "SPECTRUM_CHANNEL 16K\n", 2,
     "SPECTRUM_CHANNEL = 16K: invalid option\n", nullptr},

    // Decimal.
    {"DecimalStopsAtFirstNonDigit", kOneBoard + "STAT_REFRESH 1000ms\nOUTFILE_MAXSIZE +12.5\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.statRefresh, 1000);
         EXPECT_EQ(c.outfileMaxSize, 12);
     }},
    {"DecimalClampsToInt32Max", kOneBoard + "STAT_REFRESH 99999999999999999999\nOUTFILE_MAXSIZE 2147483648\n", 0,
     "Warning: STAT_REFRESH 99999999999999999999 at line 2 is beyond the 32-bit range; it is read as 2147483647\n"
     "Warning: OUTFILE_MAXSIZE 2147483648 at line 3 is beyond the 32-bit range; it is read as 2147483647\n",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.statRefresh, INT32_MAX);
         EXPECT_EQ(c.outfileMaxSize, INT32_MAX);
     }},
    {"DecimalExactLimit", kOneBoard + "STAT_REFRESH 2147483647\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.statRefresh, INT32_MAX); }},
    {"DecimalClampsToInt32Min", kOneBoard + "STAT_REFRESH -99999999999\n", 0,
     "Warning: STAT_REFRESH -99999999999 at line 2 is beyond the 32-bit range; it is read as -2147483648\n"
     "Warning: STAT_REFRESH -99999999999 at line 2 is negative; the statistics period never elapses\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.statRefresh, INT32_MIN); }},
    {"ZsThresholdDecimal", kOneBoard + "ZS_THRESHOLD 0016383\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].zsThreshold[7], 16383); }},

    // Hexadecimal.
    {"EnableInputFFEnablesChannels0To7", kOneBoard + "ENABLE_INPUT FF\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].groupEnableMask[0], 0xFF);
         for (int g = 1; g < 8; ++g) EXPECT_EQ(c.boards[0].groupEnableMask[g], 0) << g;
     }},
    {"EnableInputSixteenFsEnablesAll64", kOneBoard + "ENABLE_INPUT FFFFFFFFFFFFFFFF\n", 0, "",
     [](const DaqConfig& c) {
         for (int g = 0; g < 8; ++g) EXPECT_EQ(c.boards[0].groupEnableMask[g], 0xFF) << g;
     }},
    {"EnableInputBytesInGroupOrder", kOneBoard + "ENABLE_INPUT 0x8000000000000301\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].groupEnableMask[0], 0x01);
         EXPECT_EQ(c.boards[0].groupEnableMask[1], 0x03);
         EXPECT_EQ(c.boards[0].groupEnableMask[7], 0x80);
     }},
    {"EnableInputStopsAtNonHex", kOneBoard + "ENABLE_INPUT 0XfFg12\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].groupEnableMask[0], 0xFF); }},
    {"EnableGraphLow8Bits", kOneBoard + "ENABLE_GRAPH 0x81\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.plotChannelMask, 0x81); }},
    {"EnableGraphWiderKeepsLow8Bits", kOneBoard + "ENABLE_GRAPH 0x1F0\n", 0,
     "Warning: ENABLE_GRAPH 0x1F0 at line 2 is wider than 8 bits; only the low 8 bits are kept\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.plotChannelMask, 0xF0); }},

    // Real.
    {"GateValueReal", kOneBoard + "GATE_VALUE -1.5e2us\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateValue, -150.0f); }},
    {"GateValueExponentWithoutDigitsStops", kOneBoard + "GATE_VALUE 2.5e+\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateValue, 2.5f); }},
    {"GateValueLeadingPoint", kOneBoard + "GATE_VALUE .25\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateValue, 0.25f); }},

    // GATE_WIDTH arithmetic.
    {"GateWidthZeroSetsTriggerModeKeepsWidth", kOneBoard + "GATE_WIDTH 0\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].triggerMode, 1);
         EXPECT_EQ(c.boards[0].gateWidth, 256u);
     }},
    {"GateWidthOneMicrosecondIs62", kOneBoard + "GATE_WIDTH 0\nGATE_WIDTH 1\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].triggerMode, 0);
         EXPECT_EQ(c.boards[0].gateWidth, 62u);
     }},
    {"GateWidth4096Is256", kOneBoard + "GATE_WIDTH 4.096\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateWidth, 256u); }},
    // The product is formed in single precision: computed in double, 4.016
    // would give 251 and 0.08 (as a float times 1000 times 1/16) 4.
    {"GateWidthSinglePrecisionNotDouble", kOneBoard + "GATE_WIDTH 4.016\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateWidth, 250u); }},
    {"GateWidthSinglePrecisionProduct", kOneBoard + "GATE_WIDTH 0.08\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateWidth, 5u); }},
    {"GateWidthTruncatesTowardZero", kOneBoard + "GATE_WIDTH 2.05\n", 0, "",
     [](const DaqConfig& c) { EXPECT_EQ(c.boards[0].gateWidth, 128u); }},
    {"GateWidthNegativeWarnsPerSelectedBoard", kTwoBoards + "GATE_WIDTH 2\nGATE_WIDTH -1\n", 0,
     "Warning: gate width cannot be negative\nWarning: gate width cannot be negative\n",
     [](const DaqConfig& c) {
         EXPECT_EQ(c.boards[0].gateWidth, 125u);
         EXPECT_EQ(c.boards[1].gateWidth, 125u);
     }},

    // Text.
    {"OutfilePathAppendedToUserFolderAsWritten", kOneBoard + "OUTFILE_PATH data/\n", 0, "",
     [](const DaqConfig& c) { EXPECT_STREQ(c.outfilePath, "/home/ann/Tessary_DAQ/data/"); }},
    {"AbsoluteOutfilePathTakenAsGiven", kOneBoard + "OUTFILE_PATH /data/run7/\n", 0, "",
     [](const DaqConfig& c) { EXPECT_STREQ(c.outfilePath, "/data/run7/"); }},
    {"OutfileNameAndGnuplotPath", kOneBoard + "OUTFILE_NAME calib_7\nGNUPLOT_PATH /usr/bin/\n", 0, "",
     [](const DaqConfig& c) {
         EXPECT_STREQ(c.outfileName, "calib_7");
         EXPECT_STREQ(c.gnuplotPath, "/usr/bin/");
     }},
    {"PathWithoutSeparatorWarns", kOneBoard + "OUTFILE_PATH data\nGNUPLOT_PATH /usr/bin\n", 0,
     NoSeparatorWarning("OUTFILE_PATH", "data", 2) + NoSeparatorWarning("GNUPLOT_PATH", "/usr/bin", 3),
     [](const DaqConfig& c) { EXPECT_STREQ(c.outfilePath, "/home/ann/Tessary_DAQ/data"); }},

    // Missing values and surplus tokens.
    {"KeyWithoutValueIsIgnored", kOneBoard + "STAT_REFRESH 5\nSTAT_REFRESH\nPOLARITY \t\r\n", 0,
     "No argument for STAT_REFRESH. The command will be ignored\n"
     "No argument for POLARITY. The command will be ignored\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.statRefresh, 5); }},
    {"TooManyArgumentsAppliesFirst", kOneBoard + "STAT_REFRESH 1000 2000\n", 0,
     "WARNING: too many arguments in STAT_REFRESH. the first exceeding argument is 2000\n",
     [](const DaqConfig& c) { EXPECT_EQ(c.statRefresh, 1000); }},
    {"TooManyArgumentsOnBoardKeyWithoutBoard", "POLARITY NEGATIVE extra\n" + kOneBoard, 0,
     "WARNING: too many arguments in POLARITY. the first exceeding argument is extra\n", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Config, ValueForms, testing::ValuesIn(kCases), CaseName);

}  // namespace
}  // namespace tessary::test

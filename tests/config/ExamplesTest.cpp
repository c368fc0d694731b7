// The shipped configurations parse without errors or warnings and say what
// their comments promise.
#include <fstream>
#include <string>

#include "ConfigCases.h"

namespace tessary::test {
namespace {

Parsed ParseExample(const std::string& name) {
    const std::string path = std::string(TESSARY_SOURCE_DIR) + "/examples/" + name;
    std::ifstream file;
    std::ostringstream opening;
    Parsed parsed;
    EXPECT_EQ(OpenConfigFile(path, file, opening), kConfigOk) << path;
    std::ostringstream messages;
    parsed.result = ParseConfig(file, kUserFolder, *parsed.config, messages);
    parsed.messages = messages.str();
    return parsed;
}

TEST(Examples, DemoConfigurationHasTwoBoardsOutputsAndPlotting) {
    Parsed demo = ParseExample("Tessary_Config.txt");
    ASSERT_EQ(demo.result, 0);
    EXPECT_EQ(demo.messages, "");
    const DaqConfig& c = *demo.config;
    ASSERT_EQ(c.boardCount, 2);
    for (int b = 0; b < 2; ++b) {
        EXPECT_EQ(c.boards[b].connectionType, kConnectionUsb);
        EXPECT_EQ(c.boards[b].linkNumber, b);
        EXPECT_EQ(c.boards[b].gateWidth, 256u);
        EXPECT_EQ(c.boards[b].triggerMode, 0);
    }
    EXPECT_EQ(c.outfileRaw, 1);
    EXPECT_EQ(c.outfileList, 1);
    EXPECT_EQ(c.outfileHisto, 1);
    EXPECT_EQ(c.periodicPlot, 1);
    EXPECT_EQ(c.statRefresh, 1000);
    EXPECT_STREQ(c.outfilePath, "/home/ann/Tessary_DAQ/demo_output/");
    for (int g = 0; g < 8; ++g) {
        EXPECT_EQ(c.boards[0].groupEnableMask[g], 0xFF) << g;
        EXPECT_EQ(c.boards[1].groupEnableMask[g], g < 4 ? 0xFF : 0) << g;
    }
    EXPECT_EQ(c.plotChannelMask, 0xFF);
}

TEST(Examples, ReferenceConfigurationShowsEveryKey) {
    Parsed reference = ParseExample("Reference_Config.txt");
    ASSERT_EQ(reference.result, 0);
    EXPECT_EQ(reference.messages, "");
    const DaqConfig& c = *reference.config;
    ASSERT_EQ(c.boardCount, 2);
    EXPECT_EQ(c.boards[1].baseAddress, 0x32100000u);
    EXPECT_EQ(c.boards[0].polarity, 1);
    EXPECT_EQ(c.boards[1].polarity, 0);
    EXPECT_EQ(c.boards[1].zsThreshold[3], 120);
    EXPECT_EQ(c.boards[1].zsThreshold[2], 0);
    EXPECT_EQ(c.boards[0].zsThreshold[3], 0);

    // Every key of the file format appears as a setting line.
    const std::string path = std::string(TESSARY_SOURCE_DIR) + "/examples/Reference_Config.txt";
    std::ifstream file(path);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const char* key : {"OPEN", "GNUPLOT_PATH", "PERIODIC_PLOT", "STAT_REFRESH", "OUTFILE_RAW", "OUTFILE_LIST",
                            "OUTFILE_HISTO", "OUTFILE_PATH", "OUTFILE_NAME", "OUTFILE_MAXSIZE", "SLSCALE_ENABLE",
                            "ZS_ENABLE", "POLARITY", "INPUT_RANGE", "SPECTRUM_CHANNEL", "GATE_PARALIZABLE",
                            "GATE_VALUE", "FPIO_LEVEL", "GATE_WIDTH", "ENABLE_INPUT", "ENABLE_GRAPH", "GROUP_GRAPH",
                            "ZS_THRESHOLD"}) {
        EXPECT_NE(text.find(std::string("\n") + key + " "), std::string::npos) << key;
    }
    for (const char* keyword : {"USB", "PCI", "USB_R210", "ETH_R330", "USB_R330"}) {
        EXPECT_NE(text.find(std::string("OPEN ") + keyword + " "), std::string::npos) << keyword;
    }
}

}  // namespace
}  // namespace tessary::test

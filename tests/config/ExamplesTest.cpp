// The shipped configurations parse without errors or warnings and say what
// their comments promise.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>
#include <vector>

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
}

// The example OPEN lines of the reference file, commented out or not, and
// what each must give when it is the only line of a file.
struct OpenExample {
    const char* line;
    int32_t type;
    int32_t link;
    int32_t node;
    uint32_t base;
    const char* host;
};

const OpenExample kOpenExamples[] = {
    {"OPEN USB 0", kConnectionUsb, 0, 0, 0, ""},
    {"OPEN USB 1 0x32100000", kConnectionUsb, 1, 0, 0x32100000u, ""},
    {"OPEN PCI 0 1", kConnectionPci, 0, 1, 0, ""},
    {"OPEN USB_R210 0 2 0x32100000", kConnectionUsbR210, 0, 2, 0x32100000u, ""},
    {"OPEN ETH_R330 192.168.0.50 0x32100000", kConnectionEthR330, 0, 0, 0x32100000u, "192.168.0.50"},
    {"OPEN USB_R330 0 0x32100000", kConnectionUsbR330, 0, 0, 0x32100000u, ""},
};

std::ostream& operator<<(std::ostream& out, const OpenExample& example) { return out << example.line; }

// Lines of the reference file that are OPEN lines once a leading '#' is
// taken away.
std::vector<std::string> ExampleOpenLines() {
    std::ifstream file(std::string(TESSARY_SOURCE_DIR) + "/examples/Reference_Config.txt");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '#') line.erase(0, 1);
        if (line.rfind("OPEN ", 0) == 0) lines.push_back(line);
    }
    return lines;
}

TEST(Examples, EveryConnectionKeywordHasAnExampleOpenLine) {
    const std::vector<std::string> lines = ExampleOpenLines();
    std::vector<std::string> listed;
    for (const OpenExample& example : kOpenExamples) listed.emplace_back(example.line);
    EXPECT_EQ(lines, listed);
    for (const char* keyword : {"USB", "PCI", "USB_R210", "ETH_R330", "USB_R330"}) {
        const std::string start = std::string("OPEN ") + keyword + " ";
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; }))
            << keyword;
    }
}

class ExampleOpenLine : public testing::TestWithParam<OpenExample> {};

TEST_P(ExampleOpenLine, ParsesAloneIntoItsFields) {
    const OpenExample& example = GetParam();
    Parsed parsed = ParseText(std::string(example.line) + "\n");
    ASSERT_EQ(parsed.result, 0) << example.line;
    EXPECT_EQ(parsed.messages, "");
    ASSERT_EQ(parsed.config->boardCount, 1);
    const BoardSettings& b = parsed.config->boards[0];
    EXPECT_EQ(b.connectionType, example.type);
    EXPECT_EQ(b.linkNumber, example.link);
    EXPECT_EQ(b.nodeNumber, example.node);
    EXPECT_EQ(b.baseAddress, example.base);
    EXPECT_STREQ(b.hostName, example.host);
}

std::string ExampleName(const testing::TestParamInfo<OpenExample>& info) {
    std::string name;
    for (const char* c = info.param.line + 5; *c != '\0'; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(Reference, ExampleOpenLine, testing::ValuesIn(kOpenExamples), ExampleName);

}  // namespace
}  // namespace tessary::test

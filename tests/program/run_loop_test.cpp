// Whole runs of the loop against emulated boards: which board's statistics
// block comes when (silent boards, plot requests), the boards' own time
// counters and enable masks in their blocks across stops, starts and
// resets, and where the summary goes when its folder cannot take it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../emulator/TempFolder.h"
#include "CapturedOutput.h"
#include "DrelmEmulator.h"
#include "Paths.h"
#include "Program.h"
#include "StandInPlotter.h"
#include "TimedKeys.h"

namespace tessary {
namespace {

std::string Slurp(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

struct RunLoopTest : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(test_support::InstallStandInPlotter(folder.path()));
        setenv("HOME", folder.path().c_str(), 1);
        unsetenv("USERPROFILE");
    }
    void TearDown() override {
        drelm::emu::ResetEmulator();
        unsetenv("DRELM_EMULATOR_SETTINGS");
    }
    // Boards on USB links 0, 1, ... with these trigger rates (32 channels where negative).
    void Boards(const std::vector<int>& rates) {
        std::ostringstream boards;
        for (std::size_t b = 0; b < rates.size(); ++b)
            boards << "[usb " << b << "]\ntrigger_rate_hz = " << std::abs(rates[b]) << "\nchannels = "
                   << (rates[b] < 0 ? 32 : 64) << "\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n";
        std::ofstream(folder.File("boards.txt")) << boards.str();
        setenv("DRELM_EMULATOR_SETTINGS", folder.File("boards.txt").c_str(), 1);
        drelm::emu::ResetEmulator();
        config.clear();
        for (std::size_t b = 0; b < rates.size(); ++b) config += "OPEN USB " + std::to_string(b) + "\n";
        config += "[COMMON]\nPOLARITY NEGATIVE\nGATE_WIDTH 1\nENABLE_INPUT FFFFFFFFFFFFFFFF\nGNUPLOT_PATH " +
                  folder.path().string() + "/\n";
    }
    ProgramError Run(std::vector<std::pair<int64_t, int>> keys) {
        std::ofstream(folder.File("config.txt")) << config;
        TimedKeys input(std::move(keys));
        test_support::CapturedOutput printed;
        ProgramOptions options;
        options.configPath = folder.File("config.txt");
        const ProgramError error = RunProgram(options, input, printed.Stream());
        out = printed.Text();
        return error;
    }
    // The boards whose blocks were printed, in order.
    std::string BlockOrder() const {
        std::string order;
        static const std::regex heading("\nBoard ([0-9])(\\(plotted\\))?\n");
        for (auto it = std::sregex_iterator(out.begin(), out.end(), heading); it != std::sregex_iterator(); ++it)
            order += (*it)[1].str();
        return order;
    }

    emulator_test::TempFolder folder;
    std::string config, out;
};

// A silent board neither holds the statistics turn nor hides behind a live
// one; a plot request for a silent board does not make the others print more.
// Counted against the no-data messages, which come once per period, so the
// checks hold however fast the machine runs.
TEST_F(RunLoopTest, StatisticsTurnsGoToTheBoardsWithData) {
    struct Case {
        const char* what;
        std::vector<int> rates;
        std::vector<std::pair<int64_t, int>> keys;
        const char* silent;  // the board whose no-data messages pace the check
        std::string liveBoards;
        bool plotted = false;  // the silent board's spectra plotted as they are
    };
    const Case cases[] = {
        {"one live board, two silent", {8000, 0, 0}, {{0, 's'}, {2500, 'q'}}, "1", "0"},
        {"silent board between live ones", {8000, 0, 8000}, {{0, 's'}, {2500, 'q'}}, "1", "02"},
        {"plot requested for the silent board", {8000, 0, 8000}, {{0, '+'}, {0, 's'}, {300, 'p'}, {2500, 'q'}}, "1",
         "02", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Boards(c.rates);
        config += "STAT_REFRESH 200\nENABLE_GRAPH FF\n";
        std::filesystem::remove(folder.File("Tessary_DAQ/PlotData.txt"));
        ASSERT_EQ(Run(c.keys), ProgramError::None) << out;
        EXPECT_EQ(std::filesystem::exists(folder.File("Tessary_DAQ/PlotData.txt")), c.plotted);
        const std::size_t periods = Count(out, std::string("No readout data in board ") + c.silent + "\n");
        EXPECT_GE(periods, 4u) << "a dead board beside live ones is told, once a period\n" << out;
        const std::string order = BlockOrder();
        ASSERT_GE(order.size(), c.liveBoards.size()) << out;
        for (std::size_t i = 0; i < order.size(); ++i)
            EXPECT_EQ(order[i], c.liveBoards[i % c.liveBoards.size()]) << order;
        // About one block a period: the turn is never lost to a silent board,
        // and never taken more often.
        EXPECT_GE(order.size() + 2, periods) << order;
        EXPECT_LE(order.size(), periods + 3) << order;
    }
}

// The demo's stop, start and reset: each board's live and dead time come
// from its own counters, each board's table from its own enable mask; the
// summary lists both periods of acquisition; p while stopped plots at once.
TEST_F(RunLoopTest, StopStartAndResetKeepEachBoardsTimesAndMask) {
    Boards({20000, -5000});
    config += "STAT_REFRESH 250\nOUTFILE_NAME loop\nENABLE_GRAPH FF\n[BOARD 1]\nENABLE_INPUT FFFFFFFE\n";
    ASSERT_EQ(Run({{0, 's'}, {700, 'r'}, {1400, 's'}, {1700, 'p'}, {1900, 's'}, {3400, 'q'}}), ProgramError::None)
        << out;

    static const std::regex block(
        "Board ([01])(?:\\(plotted\\))?\nReal time +: +([0-9.]+) s\nLive Time +: +([-0-9.]+) s\n"
        "Dead Time +: +([-0-9.a-z]+) %\n(?:.*\n){5}Saturated\\(SAT\\) +: +(\\S+)");
    int blocks[2] = {};
    for (auto it = std::sregex_iterator(out.begin(), out.end(), block); it != std::sregex_iterator(); ++it) {
        const int board = std::stoi((*it)[1].str());
        const double real = std::stod((*it)[2].str()), live = std::stod((*it)[3].str());
        const double dead = std::stod((*it)[4].str());
        SCOPED_TRACE(it->str());
        ++blocks[board];
        EXPECT_GE(live, 0.0);
        EXPECT_LE(live, real + 0.3) << "live time since the board's own start or reset";
        EXPECT_GE(dead, 0.0);
        EXPECT_LE(dead, 100.0);
        EXPECT_EQ((*it)[5].str() == "N/A", board == 1) << "channel 0 is disabled on board 1 only";
    }
    EXPECT_GE(blocks[0], 2) << out;
    EXPECT_GE(blocks[1], 2) << out;
    const std::string user = folder.File("Tessary_DAQ/");
    EXPECT_EQ(nlohmann::json::parse(Slurp(user + "loop_summary.json"))["acquisition"].size(), 2u);
    // Periodic plots are off: only the p while stopped wrote the plot data.
    std::istringstream data(Slurp(user + "PlotData.txt"));
    uint64_t bin = 0, count = 0, total = 0;
    for (std::string line; std::getline(data, line);) {
        std::replace(line.begin(), line.end(), ',', ' ');  // "bin,\tcount,\t..."
        std::istringstream words(line);
        for (words >> bin; words >> count;) total += count;
    }
    EXPECT_GT(total, 0u) << "the plot data hold the spectra";
    EXPECT_EQ(out.find("Last plotted event"), std::string::npos) << "served while stopped, not at the next data";
}

// The summary goes beside the files, also in an absolute output folder;
// where it cannot, to the per-user folder; where that fails too, whole to
// the console; its path is named only once it is written.
TEST_F(RunLoopTest, TheSummaryIsNeverLost) {
    struct Case {
        const char* what;
        std::string path;                  // OUTFILE_PATH
        std::vector<std::string> blocked;  // folders made where the summary's part file would go
        std::string written;               // where it lands, or empty: printed
    };
    // Folders as this system writes them.
    const std::string separator(1, platform::PathSeparator());
    const std::string user = folder.File("Tessary_DAQ") + separator;
    const std::string absolute = folder.File("elsewhere") + separator + "run7" + separator;
    const std::string relative = "out" + separator;
    const Case cases[] = {
        {"output folder", relative, {}, user + relative + "lost_summary.json"},
        {"absolute output folder, as given", absolute, {}, absolute + "lost_summary.json"},
        {"per-user folder instead", relative, {user + relative + "lost_summary.json.part"}, user + "lost_summary.json"},
        {"printed", relative, {user + relative + "lost_summary.json.part", user + "lost_summary.json.part"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(user);
        for (const std::string& blocked : c.blocked) std::filesystem::create_directories(blocked);
        Boards({1000});
        std::filesystem::create_directories(folder.File("elsewhere"));
        config += "STAT_REFRESH 1000\nOUTFILE_PATH " + c.path + "\nOUTFILE_NAME lost\nOUTFILE_RAW YES\n";
        ASSERT_EQ(Run({{0, 's'}, {300, 'q'}}), ProgramError::None) << out;
        const std::size_t named = out.find("Run summary file: ");
        if (c.written.empty()) {
            EXPECT_EQ(named, std::string::npos) << out;
            const std::size_t printed = out.find("Run summary, written nowhere:\n{");
            ASSERT_NE(printed, std::string::npos) << out;
            EXPECT_NE(out.find("\"ended_by\": \"key\"", printed), std::string::npos) << out;
        } else {
            EXPECT_NE(named, std::string::npos) << out;
            EXPECT_EQ(out.compare(named + 18, c.written.size(), c.written), 0) << out;
            const nlohmann::json summary = nlohmann::json::parse(Slurp(c.written));
            EXPECT_EQ(summary["ended_by"], "key");
            // The raw file lies beside it, named relative to it.
            ASSERT_EQ(summary["boards"][0]["files"].size(), 1u);
            const std::string raw = summary["boards"][0]["files"][0]["name"];
            EXPECT_EQ(raw, (c.written == user + "lost_summary.json" ? relative : "") + "lost_raw_b0_seg0.bin");
        }
    }
}

}  // namespace
}  // namespace tessary

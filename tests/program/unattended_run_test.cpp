// Unattended runs: the command line refuses bad presets before any board is
// touched, and each kind of preset ends a run started by --start as the
// quit key does, with a summary whose totals agree with the emulator's
// delivery log and whose files agree with the disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../emulator/TempFolder.h"
#include "Checksum.h"
#include "Clock.h"
#include "CommandLine.h"
#include "DrelmEmulator.h"
#include "Paths.h"
#include "Program.h"
#include "RunProgram.h"
#include "StandInPlotter.h"

namespace tessary {
namespace {

std::string Slurp(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

struct CommandLineCase {
    const char* arguments;
    const char* message;
};

// The words of a command line given as one text, split at its blanks.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

TEST(UnattendedRunTest, BadCommandLinesAreRefusedBeforeAnyBoardIsTouched) {
    const std::string program = test_support::Executable(std::string(TESSARY_BINARY_DIR) + "/bin/Tessary_DAQ");
    const CommandLineCase cases[] = {
        {"--preset-real 0 c.txt", "--preset-real: \"0\" is not a number of seconds above 0"},
        {"--preset-live -3 c.txt", "--preset-live: \"-3\" is not a number of seconds"},
        {"--preset-live nan c.txt", "--preset-live: \"nan\" is not a number of seconds"},
        {"--preset-real 1e9 c.txt", "--preset-real: \"1e9\" is not a number of seconds above 0 and at most 31622400"},
        {"--preset-live 31622400.5 c.txt", "--preset-live: \"31622400.5\" is not a number of seconds above 0 and at most"},
        {"--preset-counts 12x c.txt", "--preset-counts: \"12x\" is not a whole number of events"},
        {"--preset-counts 99999999999999999999 c.txt", "--preset-counts: \"99999999999999999999\" is not a whole"},
        {"--preset-counts", "--preset-counts needs a value"},
        {"--stop c.txt", "unknown option --stop"},
        {"--preset-real 1 --start --preset-real 2 c.txt", "--preset-real is given twice: each preset is given once"},
    };
    emulator_test::TempFolder folder;
    test_support::RunOptions options;
    options.environment = test_support::ProfileVariables(folder.path());
    options.errorsToOutput = true;
    for (const CommandLineCase& c : cases) {
        SCOPED_TRACE(c.arguments);
        std::vector<std::string> command = Words(c.arguments);
        command.insert(command.begin(), program);
        const test_support::RunResult run = test_support::Run(command, options);
        EXPECT_EQ(run.status, 64) << run.errors;
        EXPECT_EQ(run.output.find(std::string("Tessary_DAQ: ") + c.message), 0u) << run.output;
        EXPECT_FALSE(std::filesystem::exists(folder.File("Tessary_DAQ"))) << "nothing done before the refusal";
    }
    // What follows the configuration file is ignored, as it always was, with a warning.
    const test_support::RunResult run = test_support::Run({program, "c.txt", "d.txt", "--start"}, options);
    EXPECT_EQ(run.status, 1) << "c.txt is not there";
    EXPECT_EQ(run.output.find("Tessary_DAQ: ignoring what follows the configuration file (options come before it): "
                              "d.txt --start\n"),
              0u)
        << run.output;
}

// Each preset option sets its own preset, up to a year of seconds.
TEST(UnattendedRunTest, EachPresetOptionSetsItsOwnPreset) {
    const char* argv[] = {"Tessary_DAQ", "--preset-counts", "7", "--preset-real", "31622400", "--preset-live", "0.25",
                          "c.txt"};
    ProgramOptions options;
    std::string message;
    ASSERT_EQ(ParseCommandLine(8, argv, options, message), CommandLineAction::Run) << message;
    EXPECT_EQ(options.presetRealS, 31622400.0);
    EXPECT_EQ(options.presetLiveS, 0.25);
    EXPECT_EQ(options.presetCounts, 7u);
    EXPECT_EQ(options.configPath, "c.txt");
}

// No keys at all, the run left to --start and the preset; or one s after
// `startMs`, so that the boards' time counters have run long before it.
class StartKey : public platform::KeyInput {
public:
    explicit StartKey(int64_t startMs) : startMs_(startMs) {}
    bool KeyWaiting() override {
        if (since_ == 0) since_ = platform::MonotonicMs();
        return startMs_ > 0 && platform::MonotonicMs() - since_ >= startMs_;
    }
    int ReadKey() override {
        if (!KeyWaiting()) return platform::kNoMoreKeys;
        startMs_ = 0;
        return 's';
    }

private:
    int64_t startMs_;
    int64_t since_ = 0;
};

struct PresetCase {
    const char* name;
    ProgramOptions options;
    const char* endedBy;
    bool timeReadsFail = false;  // the boards' first time-counter reads of the run fail
};

std::vector<PresetCase> Presets() {
    std::vector<PresetCase> cases(4);
    cases[0] = {"Real", {}, "preset real time of 0.8 s"};
    cases[0].options.presetRealS = 0.8;
    cases[1] = {"Live", {}, "preset live time of 0.8 s (board "};
    cases[1].options.presetLiveS = 0.8;
    cases[2] = {"Counts", {}, "preset counts of 6000 events (board "};
    cases[2].options.presetCounts = 6000;
    cases[3] = {"LiveWithFailedTimeReads", {}, "preset live time of 0.8 s (board ", true};
    cases[3].options.presetLiveS = 0.8;
    return cases;
}

class PresetRun : public ::testing::TestWithParam<PresetCase> {};

TEST_P(PresetRun, EndsAsQuitDoesWithASummaryThatAgreesWithTheBoardsAndTheFiles) {
    emulator_test::TempFolder folder;
    // Board 0 is faster and has less dead time than board 1 with its long
    // conversions, but a slow build may keep its event memory full: either may reach a preset first.
    std::ofstream(folder.File("boards.txt"))
        << "[usb 0]\ntrigger_rate_hz = 10000\nconversion_time_ns = 200\nlink_latency_us = 0\n"
        << "link_bandwidth_kb_s = unlimited\ntruth_file = " << folder.File("truth0.txt") << "\n"
        << "[usb 1]\nchannels = 32\ntrigger_rate_hz = 3000\nconversion_time_ns = 60000\nlink_latency_us = 0\n"
        << "link_bandwidth_kb_s = unlimited\ntruth_file = " << folder.File("truth1.txt") << "\n";
    ASSERT_TRUE(test_support::InstallStandInPlotter(folder.path()));
    std::ofstream(folder.File("config.txt"))
        << "OPEN USB 0\nOPEN USB 1\n[COMMON]\nSTAT_REFRESH 300\nPOLARITY NEGATIVE\nGATE_WIDTH 1\n"
        << "ENABLE_INPUT FFFFFFFFFFFFFFFF\nOUTFILE_PATH out/\nOUTFILE_NAME night\nOUTFILE_RAW YES\n"
        << "OUTFILE_LIST YES\nOUTFILE_HISTO YES\nOUTFILE_MAXSIZE 0\nGNUPLOT_PATH " << folder.path().string() << "/\n";
    // What it prints, through a file as when its output is redirected.
    std::FILE* stream = std::fopen(folder.File("out.txt").c_str(), "wb");
    ASSERT_NE(stream, nullptr);
    setenv("DRELM_EMULATOR_SETTINGS", folder.File("boards.txt").c_str(), 1);
    setenv("HOME", folder.path().c_str(), 1);
#ifdef _WIN32
    setenv("USERPROFILE", folder.path().c_str(), 1);  // where the program looks there first
#else
    unsetenv("USERPROFILE");
#endif
    drelm::emu::ResetEmulator();
    if (GetParam().timeReadsFail) {
        drelm::emu::Fault fault;  // the reads at the start: the live time must not be made up
        fault.address = 0x81C8;
        fault.count = 4;
        drelm::emu::AddFault(fault);
    }

    ProgramOptions options = GetParam().options;
    options.configPath = folder.File("config.txt");
    // With the start reads failing, a start long after the boards' reset
    // would end a run at once that took the counters from the reset.
    options.startAtOnce = !GetParam().timeReadsFail;
    StartKey keys(GetParam().timeReadsFail ? 2000 : 0);
    const ProgramError error = RunProgram(options, keys, stream);
    std::fclose(stream);
    const std::string out = Slurp(folder.File("out.txt"));
    drelm::emu::ClearFaults();
    drelm::emu::ResetEmulator();
    unsetenv("DRELM_EMULATOR_SETTINGS");
    ASSERT_EQ(error, ProgramError::None) << out;

    const std::string separator(1, platform::PathSeparator());
    const std::string dir = folder.path().string() + separator + "Tessary_DAQ" + separator + "out/";  // as configured
    const nlohmann::json summary = nlohmann::json::parse(Slurp(dir + "night_summary.json"));
    EXPECT_NE(out.find("Run summary file: " + dir + "night_summary.json\n"), std::string::npos) << out;
    const std::string endedBy = summary["ended_by"];
    EXPECT_EQ(endedBy.rfind(GetParam().endedBy, 0), 0u) << endedBy;
    EXPECT_NE(out.find("Preset reached: " + endedBy + "\n"), std::string::npos) << out;
    EXPECT_EQ(summary["config"], options.configPath);
    ASSERT_EQ(summary["boards"].size(), 2u);
    const int presetBoard = summary.value("preset_board", 0);
    if (!options.presetRealS) {
        EXPECT_EQ(endedBy, GetParam().endedBy + std::to_string(presetBoard) + ")");
    }
    const nlohmann::json& first = summary["boards"][presetBoard];
    if (options.presetCounts) {
        EXPECT_GE(first["events"].get<uint64_t>(), 6000u);
    } else {
        // The board's counter counts in steps of 0.524288 ms, the real-time preset host milliseconds.
        const double atLeast = options.presetRealS ? 0.8 - 0.000524288 - 0.001 : 0.8;
        EXPECT_GE(first[options.presetRealS ? "real_time_s" : "live_time_s"].get<double>(), atLeast);
    }
    for (int b = 0; b < 2; ++b) {
        SCOPED_TRACE(b);
        const nlohmann::json& board = summary["boards"][b];
        std::map<std::string, uint64_t> log;
        uint64_t saturated = 0;
        std::istringstream truth(Slurp(folder.File("truth" + std::to_string(b) + ".txt")));
        for (std::string line; std::getline(truth, line);) {
            std::istringstream words(line);
            std::string key, channel, amplitudes, label;
            uint64_t value = 0, count = 0, sat = 0;
            if (line.rfind("channel ", 0) == 0 && words >> key >> channel >> amplitudes >> count >> label >> sat)
                saturated += sat;
            else if (words >> key >> value)
                log[key] = value;
        }
        EXPECT_EQ(board["events"], log["events"]);
        EXPECT_EQ(board["bytes"], log["bytes"]);
        EXPECT_EQ(board["saturated"], saturated);
        // Lost triggers are the gaps in the trigger index of the raw data (one
        // start, so the index runs from 0); the board also knows of those
        // after the last event read.
        std::string raw;
        for (int seg = 0;
             std::filesystem::exists(dir + "night_raw_b" + std::to_string(b) + "_seg" + std::to_string(seg) + ".bin");
             ++seg)
            raw += Slurp(dir + "night_raw_b" + std::to_string(b) + "_seg" + std::to_string(seg) + ".bin");
        std::vector<uint32_t> words(raw.size() / 4);
        std::memcpy(words.data(), raw.data(), words.size() * 4);
        uint64_t gaps = 0, rawEvents = 0;
        for (std::size_t at = 0, next = 0; at + 3 < words.size(); ++rawEvents) {
            if (words[at] == 0xFFFFFFFFu) {  // a transfer's filler word
                ++at, --rawEvents;
                continue;
            }
            gaps += (words[at + 2] - next) & 0xFFFFFF;
            next = (words[at + 2] + 1) & 0xFFFFFF;
            at += words[at] & 0x0FFFFFFF;
        }
        EXPECT_EQ(board["events"], rawEvents);
        EXPECT_EQ(board["triggers_lost"], gaps);
        EXPECT_EQ(board["triggers"], rawEvents + gaps);
        EXPECT_GT(gaps, 0u) << "conversions lose triggers";
        EXPECT_LE(gaps, log["triggers_lost"]);
        EXPECT_NEAR(board["live_time_s"].get<double>() + board["dead_time_s"].get<double>(),
                    board["real_time_s"].get<double>(), 1e-9);
        // The times are those the events took: a board takes its rate's events while live.
        const double rate = b == 0 ? 10000 : 3000, events = board["events"].get<double>();
        EXPECT_GT(events, 0.5 * rate * board["live_time_s"].get<double>());
        EXPECT_LT(events, 1.5 * rate * board["real_time_s"].get<double>());
        EXPECT_EQ(board["model"], b == 0 ? "M310" : "MB310");
        EXPECT_EQ(board["connection"], "USB link " + std::to_string(b));
        // Every file on disk is named once, with its size and checksum.
        std::size_t onDisk = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            onDisk += entry.path().filename().string().find("_b" + std::to_string(b) + "_") != std::string::npos;
        EXPECT_EQ(board["files"].size(), onDisk);
        for (const nlohmann::json& file : board["files"]) {
            const std::string data = Slurp(dir + file["name"].get<std::string>());
            Crc32c crc;
            crc.Add(data.data(), data.size());
            char hex[9];
            FormatCrc32c(crc.Value(), hex);
            EXPECT_EQ(file["size"], data.size()) << file["name"];
            EXPECT_EQ(file["crc32c"], hex) << file["name"];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PresetRun, ::testing::ValuesIn(Presets()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessary

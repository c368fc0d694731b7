// Whole runs of the program against emulated boards, in this process so the
// emulator's faults reach it: an acquisition whose statistics show the
// boards' trigger rate, the error exits with their text and what they leave
// of the boards, and a sweep that fails every link operation of the
// start-up in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "../emulator/TempFolder.h"
#include "CapturedOutput.h"
#include "Clock.h"
#include "DrelmEmulator.h"
#include "DrelmTessaryLib.h"
#include "FileSizeLimit.h"
#include "Program.h"
#include "StandInPlotter.h"
#include "TimedKeys.h"

namespace tessary {
namespace {

using drelm::emu::Access;
using drelm::emu::Fault;
using drelm::emu::Op;

const char kConfig[] =
    "OPEN USB 0\n"
    "OPEN USB 1\n"
    "[COMMON]\n"
    "STAT_REFRESH 300\n"
    "POLARITY NEGATIVE\n"
    "GATE_WIDTH 1\n"
    "ENABLE_INPUT FFFFFFFFFFFFFFFF\n";

struct ProgramRunTest : ::testing::Test {
    void SetUp() override {
        // Links without transfer time: the boards' tables load in a fraction of a second.
        std::ofstream(folder.File("boards.txt"))
            << "[usb 0]\ntrigger_rate_hz = 10000\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n"
               "[usb 1]\nchannels = 32\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n";
        setenv("DRELM_EMULATOR_SETTINGS", folder.File("boards.txt").c_str(), 1);
        setenv("HOME", folder.path().c_str(), 1);
        // A plotter that takes the commands and draws nothing.
        ASSERT_TRUE(test_support::InstallStandInPlotter(folder.path()));
        unsetenv("USERPROFILE");
        drelm::emu::ResetEmulator();
        WriteConfig(kConfig);
    }
    void TearDown() override {
        drelm::emu::ClearFaults();
        for (int32_t h = 0; h < 100; ++h) DRELM_TSY_CloseTessary(h);  // what an early exit leaves open
        drelm::emu::ResetEmulator();
        unsetenv("DRELM_EMULATOR_SETTINGS");
    }
    void WriteConfig(const std::string& text) {
        std::ofstream(folder.File("config.txt")) << text << "[COMMON]\nGNUPLOT_PATH " << folder.path().string() << "/\n";
    }

    // Runs the program on config.txt with `keys`; its messages land in `out`.
    ProgramError Run(std::vector<std::pair<int64_t, int>> keys, std::string path = "") {
        TimedKeys input(std::move(keys));
        return RunWith(input, path);
    }
    ProgramError RunWith(platform::KeyInput& input, std::string path = "") {
        test_support::CapturedOutput printed;
        ProgramOptions options;
        options.configPath = path.empty() ? folder.File("config.txt") : path;
        const ProgramError error = RunProgram(options, input, printed.Stream());
        out = printed.Text();
        return error;
    }
    static bool Open(int32_t link) { return drelm::emu::LinkHandleOf(drelm::emu::BoardAddress{0, link, "", 0, 0}) >= 0; }

    emulator_test::TempFolder folder;
    std::string out;
};

TEST_F(ProgramRunTest, AcquisitionPrintsTheBoardsRatesAndEndsWithEveryBoardClosed) {
    ASSERT_EQ(Run({{0, 's'}, {1500, 'q'}}), ProgramError::None) << out;
    EXPECT_NE(out.find("Board 0: link ID: 0; Node ID: 0; Base Address: 0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Connected to Drelm Peak-Sensing Model MB310\n"), std::string::npos) << "the 32-channel board";
    EXPECT_NE(out.find("[s] start/stop the acquisition, [q] quit, [space key] help\nAcquisition started\n"),
              std::string::npos);
    // Every rate of board 0 after its first print: 10 kHz of triggers.
    int prints = 0;
    for (std::size_t at = out.find("Board 0(plotted)\n"); at != std::string::npos;
         at = out.find("Board 0(plotted)\n", at + 1)) {
        const std::size_t rate = out.find("Detected trigger rate  : ", at);
        ASSERT_NE(rate, std::string::npos) << out;
        if (prints++ > 0) {
            EXPECT_NEAR(std::stod(out.substr(rate + 25, 8)), 10.0, 1.5) << out.substr(at, 600);
        }
    }
    EXPECT_GE(prints, 2) << out;
    // One block per period, the boards in turn, whichever board's output work the timer expires in.
    std::string order;
    for (std::size_t at = out.find("\nBoard "); at != std::string::npos; at = out.find("\nBoard ", at + 1))
        if (out.compare(at + 7, 2, "0(") == 0 || out.compare(at + 7, 2, "1\n") == 0) order += out[at + 7];
    EXPECT_GE(order.size(), 4u) << out;
    for (std::size_t i = 0; i < order.size(); ++i) EXPECT_EQ(order[i], "01"[i % 2]) << order;
    EXPECT_EQ(out.find('\a'), std::string::npos) << "no error";
    EXPECT_FALSE(Open(0));
    EXPECT_FALSE(Open(1));
}

// Each error exit prints its message after a bell and waits for a key; the
// boards are stopped and closed from code 4 on, left alone before it.
TEST_F(ProgramRunTest, ErrorExitsTellWhatFailedAndLeaveTheBoardsAsTheyShould) {
    struct Case {
        const char* what;
        Op op;
        uint32_t firstCall;
        ProgramError error;
        bool firstBoardOpenAfter;
    };
    const Case cases[] = {
        {"second board cannot be opened", Op::Open, 2, ProgramError::OpenBoard, true},
        {"readout fails in the loop", Op::BlockRead, 3, ProgramError::Readout, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        Fault fault;
        fault.op = c.op;
        fault.firstCall = c.firstCall;
        fault.count = 1;
        drelm::emu::AddFault(fault);
        EXPECT_EQ(Run({{0, 's'}, {3000, 'q'}}), c.error);
        const std::string tail = std::string("\a") + ErrorMessage(c.error) + "\nPress a key to quit\n";
        ASSERT_GE(out.size(), tail.size());
        EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
        EXPECT_EQ(Open(0), c.firstBoardOpenAfter);
        TearDown();
    }

    WriteConfig("[COMMON]\nSTAT_REFRESH 100\n");
    EXPECT_EQ(Run({}), ProgramError::Parsing);
    EXPECT_NE(out.find("opens no board: it needs at least one OPEN line\n\aParsing Error\n"), std::string::npos) << out;

    EXPECT_EQ(Run({}, folder.File("missing.txt")), ProgramError::ConfigNotFound);
    EXPECT_EQ(out.substr(out.find("Open configuration file")),
              "Open configuration file " + folder.File("missing.txt") +
                  "\n\aConfiguration File not found\nPress a key to quit\n");
}

// Keys for a run that must have written some files: s at once, then q once
// the run has lasted `ms` and every file of `awaited` exists. A loaded
// machine takes longer to read as much from the boards; after a minute q
// comes all the same, and the checks tell what is missing.
class QuitOnceWritten : public platform::KeyInput {
public:
    QuitOnceWritten(int64_t ms, std::vector<std::string> awaited) : ms_(ms), awaited_(std::move(awaited)) {}
    bool KeyWaiting() override {
        if (start_ == 0) start_ = platform::MonotonicMs();
        if (sent_ != 1) return sent_ == 0;
        const int64_t lasted = platform::MonotonicMs() - start_;
        if (lasted > 60000) return true;
        return lasted >= ms_ && std::all_of(awaited_.begin(), awaited_.end(),
                                            [](const std::string& file) { return std::filesystem::exists(file); });
    }
    int ReadKey() override {
        if (sent_ > 1) return platform::kNoMoreKeys;
        while (!KeyWaiting()) platform::SleepMs(5);
        return sent_++ == 0 ? 's' : 'q';
    }

private:
    int64_t ms_;
    std::vector<std::string> awaited_;
    int64_t start_ = 0;
    int sent_ = 0;
};

// The whole chain against the emulator: the raw segments, joined, are the
// bytes the boards delivered (size and checksum of the emulator's delivery
// log), and the list segments hold one line per delivered event.
TEST_F(ProgramRunTest, OutputFilesHoldExactlyWhatTheBoardsDelivered) {
    std::ofstream(folder.File("boards.txt"))
        << "[usb 0]\ntrigger_rate_hz = 20000\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\ntruth_file = "
        << folder.File("truth0.txt") << "\n[usb 1]\nchannels = 32\ntrigger_rate_hz = 20000\nlink_latency_us = 0\n"
        << "link_bandwidth_kb_s = unlimited\ntruth_file = " << folder.File("truth1.txt") << "\n";
    drelm::emu::ResetEmulator();
    WriteConfig(std::string(kConfig) + "OUTFILE_PATH out/\nOUTFILE_NAME run\nOUTFILE_RAW YES\nOUTFILE_LIST YES\n"
                "OUTFILE_HISTO YES\nOUTFILE_MAXSIZE 0\n");
    const std::string dir = folder.File("Tessary_DAQ/out/");
    QuitOnceWritten keys(4000, {dir + "run_raw_b0_seg2.bin", dir + "run_raw_b1_seg2.bin"});
    ASSERT_EQ(RunWith(keys), ProgramError::None) << out;
    for (int board = 0; board < 2; ++board) {
        SCOPED_TRACE(board);
        std::map<std::string, std::string> log;
        std::ifstream truth(folder.File("truth" + std::to_string(board) + ".txt"));
        for (std::string line; std::getline(truth, line);) {
            std::istringstream words(line);
            std::string key, value;
            if (words >> key >> value) log.emplace(key, value);
        }
        uint64_t bytes = 0, checksum = 14695981039346656037ull, lines = 0;
        int segments = 0;
        for (;; ++segments) {
            const std::string name = "run_raw_b" + std::to_string(board) + "_seg" + std::to_string(segments);
            std::ifstream raw(dir + name + ".bin", std::ios::binary);
            if (!raw) break;
            for (char c; raw.get(c); ++bytes) checksum = (checksum ^ static_cast<uint8_t>(c)) * 1099511628211ull;
        }
        for (int seg = 0;; ++seg) {
            std::ifstream list(dir + "run_list_b" + std::to_string(board) + "_seg" + std::to_string(seg) + ".txt");
            if (!list) break;
            // Each segment begins with its header line and a blank line.
            for (std::string line; std::getline(list, line);) lines += !line.empty() && line.rfind(" Trigger index", 0) != 0;
        }
        EXPECT_GT(segments, 2) << "segments of 1 MiB";
        EXPECT_EQ(std::to_string(bytes), log["bytes"]);
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%016llx", static_cast<unsigned long long>(checksum));
        EXPECT_EQ(hex, log["checksum"]);
        EXPECT_EQ(std::to_string(lines), log["events"]);
        // The run's summary agrees with the log and names every file of the board.
        std::ifstream summaryFile(dir + "run_summary.json");
        const nlohmann::json summary = nlohmann::json::parse(summaryFile)["boards"][board];
        EXPECT_EQ(std::to_string(summary["events"].get<uint64_t>()), log["events"]);
        EXPECT_EQ(std::to_string(summary["bytes"].get<uint64_t>()), log["bytes"]);
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            files += entry.path().filename().string().find("_b" + std::to_string(board) + "_") != std::string::npos;
        EXPECT_EQ(summary["files"].size(), files);
    }
}

// The histogram files hold the spectra of the listed events. Software
// triggers only, so that no event piles up: after a stop and a start, at
// the end of the run each board's files hold its spectra of every event
// since the start (saturated amplitudes left out), as its list file shows
// them (the trigger index starts again from 0 at a start).
TEST_F(ProgramRunTest, HistogramFilesHoldTheSpectraOfTheListedEvents) {
    std::ofstream(folder.File("boards.txt"))
        << "[usb 0]\ntrigger_rate_hz = 0\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n"
           "[usb 1]\nchannels = 32\ntrigger_rate_hz = 0\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n";
    drelm::emu::ResetEmulator();
    WriteConfig("OPEN USB 0\nOPEN USB 1\n[COMMON]\nSTAT_REFRESH 100\nPOLARITY NEGATIVE\nGATE_WIDTH 1\n"
                "ENABLE_INPUT 000000008000C001\nOUTFILE_PATH out/\nOUTFILE_NAME h\nOUTFILE_LIST YES\n"
                "OUTFILE_HISTO YES\nOUTFILE_MAXSIZE 0\n");
    ASSERT_EQ(Run({{0, 's'}, {0, 'T'}, {700, 's'}, {900, 's'}, {1600, 'q'}}), ProgramError::None) << out;
    const std::string dir = folder.File("Tessary_DAQ/out/");
    for (int board = 0; board < 2; ++board) {
        SCOPED_TRACE(board);
        const std::string b = std::to_string(board);
        std::map<int, std::map<uint32_t, uint64_t>> listed;  // channel, bin: unsaturated amplitudes
        unsigned long previous = 0;
        for (int seg = 0;; ++seg) {
            std::ifstream list(dir + "h_list_b" + b + "_seg" + std::to_string(seg) + ".txt");
            if (!list) break;
            for (std::string line; std::getline(list, line);) {
                if (line.empty() || line.find("Trigger index") != std::string::npos) continue;
                const unsigned long index = std::stoul(line.substr(0, 14));
                if (index < previous) listed.clear();
                previous = index;
                for (std::size_t ch = 0, at = 36; at + 10 <= line.size(); ++ch, at += 10) {
                    const std::string column = line.substr(at, 10);
                    if (column.back() < '0' || column.back() > '9') continue;  // ZS or N/A
                    const unsigned long word = std::stoul(column);
                    if (word < 0x8000) ++listed[static_cast<int>(ch)][word & 0x3FFF];
                }
            }
        }
        int files = 0;
        for (int ch = 0; ch < 64; ++ch) {
            std::ifstream histogram(dir + "h_histo_b" + b + "_ch" + std::to_string(ch) + ".txt");
            if (!histogram) continue;
            ++files;
            uint64_t total = 0, differing = 0;
            uint32_t bin = 0;
            for (uint64_t count = 0; histogram >> bin >> count;) {
                total += count;
                if (count != listed[ch][bin]) ++differing;
            }
            EXPECT_GT(total, 0u) << "channel " << ch;
            EXPECT_EQ(differing, 0u) << "channel " << ch;
        }
        EXPECT_EQ(files, 4);
    }
}

// Keys for a run whose last write fails: software triggers, one per key
// poll, until their lines are on disk; then a file-size limit at what the
// list file holds, and one trigger more, whose line only the close can
// write. Its preset ends the run at the end of the pass that reads it, a
// second before the next flush is due.
class LimitAfterFlush : public platform::KeyInput {
public:
    LimitAfterFlush(std::string list, int triggers, FileSizeLimit& limit)
        : list_(std::move(list)), triggers_(triggers), limit_(limit) {}
    bool KeyWaiting() override {
        if (deadline_ == 0) deadline_ = platform::MonotonicMs() + 20000;
        if (sent_ < triggers_ || platform::MonotonicMs() > deadline_) return true;
        if (sent_ > triggers_) return false;
        std::ifstream in(list_, std::ios::binary);
        const std::string onDisk{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (std::count(onDisk.begin(), onDisk.end(), '\n') != 2 + triggers_) return false;  // header, blank line
        limit_.Set(onDisk.size());
        return true;
    }
    int ReadKey() override {
        if (sent_ > triggers_ && platform::MonotonicMs() <= deadline_) return platform::kNoMoreKeys;
        if (platform::MonotonicMs() > deadline_) return 'q';  // stuck: the test fails, but ends
        ++sent_;
        return 't';
    }

private:
    std::string list_;
    int triggers_, sent_ = 0;
    int64_t deadline_ = 0;
    FileSizeLimit& limit_;
};

// A last write that fails at shutdown ends the run with its code, in the
// exit status and the summary alike: the data it held are lost.
TEST_F(ProgramRunTest, ALastFlushThatFailsAtShutdownEndsTheRunWithItsCode) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    std::ofstream(folder.File("boards.txt"))
        << "[usb 0]\ntrigger_rate_hz = 0\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n";
    drelm::emu::ResetEmulator();
    WriteConfig("OPEN USB 0\n[COMMON]\nPOLARITY NEGATIVE\nGATE_WIDTH 1\nENABLE_INPUT FFFFFFFFFFFFFFFF\n"
                "OUTFILE_PATH out/\nOUTFILE_NAME last\nOUTFILE_LIST YES\nOUTFILE_MAXSIZE 100\n");
    const std::string dir = folder.File("Tessary_DAQ/out/");
    constexpr int kTriggers = 8;  // lines enough that the summary fits under the limit
    ProgramOptions options;
    options.configPath = folder.File("config.txt");
    options.startAtOnce = true;
    options.presetCounts = kTriggers + 1;
    ProgramError error;
    {
        FileSizeLimit limit;
        LimitAfterFlush keys(dir + "last_list_b0_seg0.txt", kTriggers, limit);
        test_support::CapturedOutput printed;
        error = RunProgram(options, keys, printed.Stream());
        out = printed.Text();
    }

    // The loop ended on the preset: the failure came at the close.
    EXPECT_NE(out.find("Preset reached: preset counts of 9 events (board 0)\n"), std::string::npos) << out;
    EXPECT_EQ(error, ProgramError::OutputFileWrite) << out;
    EXPECT_NE(out.find("Output file " + dir + "last_list_b0_seg0.txt could not be written: File too large\n"),
              std::string::npos)
        << out;
    std::ifstream summaryFile(dir + "last_summary.json");
    ASSERT_TRUE(summaryFile) << out;
    const nlohmann::json summary = nlohmann::json::parse(summaryFile);
    EXPECT_EQ(summary["ended_by"], std::string("error 16: ") + ErrorMessage(ProgramError::OutputFileWrite));
    EXPECT_EQ(summary["boards"][0]["events"], kTriggers + 1);
}

// Every kind of link operation of the start-up (each operation on each
// register, the first time it comes) fails in turn: each run ends with an
// error code and its message, or runs on where a failure is ignored; none
// crashes or hangs, and no board stays open but for an open failure.
TEST_F(ProgramRunTest, AFailureOfAnyStartUpOperationEndsCleanly) {
    WriteConfig("OPEN USB 1\n");
    drelm::emu::StartRecording();
    ASSERT_EQ(Run({{0, 'q'}}), ProgramError::None);
    std::vector<Access> firsts;
    std::map<std::pair<Op, uint32_t>, bool> seen;
    for (const Access& a : drelm::emu::RecordedTraffic()) {
        if (a.op == Op::BlockRead) break;
        if (!seen[{a.op, a.address}]) firsts.push_back(a);
        seen[{a.op, a.address}] = true;
    }
    drelm::emu::StopRecording();
    ASSERT_GT(firsts.size(), 30u);
    std::map<ProgramError, int> outcomes;
    for (const Access& a : firsts) {
        const bool registerOp = a.op != Op::Open && a.op != Op::Close && a.op != Op::QueryInfo;
        TearDown();
        SetUp();
        WriteConfig("OPEN USB 1\n");
        Fault fault;
        fault.op = a.op;
        fault.status = a.op == Op::Open ? -3 : -2;
        fault.count = 1;
        if (registerOp) fault.address = a.address;
        drelm::emu::AddFault(fault);
        const ProgramError error = Run({{0, 'q'}});
        ++outcomes[error];
        SCOPED_TRACE(testing::Message() << "op " << static_cast<int>(a.op) << " address 0x" << std::hex << a.address);
        if (error != ProgramError::None) {
            EXPECT_NE(out.find(std::string("\a") + ErrorMessage(error) + "\n"), std::string::npos);
        }
        if (error != ProgramError::OpenBoard) {
            EXPECT_FALSE(Open(1)) << out;
        }
    }
    EXPECT_GT(outcomes[ProgramError::OpenBoard], 0);
    EXPECT_GT(outcomes[ProgramError::ProgramBoard], 0);
    EXPECT_GT(outcomes[ProgramError::CalibrationUpload], 0);
}

}  // namespace
}  // namespace tessary

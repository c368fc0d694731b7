// The program and its output folder: an earlier run's files moved aside
// whole (or replaced with --overwrite), a second program on the same output
// refused before it touches anything, and a run ended by a file size limit.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "Clock.h"
#include "Paths.h"
#include "ReplayTool.h"
#include "RunProgram.h"
#include "StandInPlotter.h"
#ifndef _WIN32
#include "FileSizeLimit.h"
#endif

namespace tessary {
namespace {

namespace fs = std::filesystem;
namespace chrono = std::chrono;
using replay_tool::Contents, replay_tool::kProgram, replay_tool::Write;

// Every file and folder under `root` with its bytes and modification time.
using Files = std::map<std::string, std::pair<std::string, fs::file_time_type>>;
Files Tree(const fs::path& root) {
    Files tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        tree[entry.path().string()] = {entry.is_directory() ? std::string() : Contents(entry.path()),
                                       entry.last_write_time()};
    return tree;
}

struct OutputFolderTest : replay_tool::ReplayTest {
    void SetUp() override {
        const std::string board = "trigger_rate_hz = 20000\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n";
        Write(folder.File("boards.txt"), "[usb 0]\n" + board + "[usb 1]\nchannels = 32\n" + board);
        setenv("DRELM_EMULATOR_SETTINGS", folder.File("boards.txt").c_str(), 1);
        setenv("HOME", folder.path().c_str(), 1);
#ifdef _WIN32
        setenv("USERPROFILE", folder.path().c_str(), 1);  // where the program looks there first
#else
        unsetenv("USERPROFILE");
#endif
        ASSERT_TRUE(test_support::InstallStandInPlotter(folder.path()));
    }
    void TearDown() override { unsetenv("DRELM_EMULATOR_SETTINGS"); }
    void WriteConfig(const std::string& text) {
        Write(config, "[COMMON]\nSTAT_REFRESH 300\nPOLARITY NEGATIVE\nOUTFILE_NAME run\n" + text + "GNUPLOT_PATH " +
                          folder.path().string() + "/\n");
    }
    // The program on config.txt, started at once and given no keys.
    int Program(std::vector<std::string> options) {
        options.insert(options.begin(), {kProgram, "--start"});
        options.push_back(config);
        return Run(options);
    }
    fs::path UserFolder() const { return folder.path() / "Tessary_DAQ"; }
    // A folder as the program shows it: the per-user folder, then the
    // folder of the configuration as written there.
    std::string Shown(const std::string& configured) const {
        return UserFolder().string() + platform::PathSeparator() + configured;
    }

    const std::string config = folder.File("config.txt");
};

const char kOutputs[] = "OPEN USB 0\nENABLE_INPUT 3\nOUTFILE_PATH out/\nOUTFILE_RAW YES\nOUTFILE_LIST YES\n"
                        "OUTFILE_HISTO YES\nOUTFILE_MAXSIZE 0\n";

// An earlier run's files, more segments than the new run makes, its summary
// or not, are moved byte for byte into a new folder named after its start
// before the new run writes; folders, other names and the lock files stay.
// With --overwrite they are replaced in place.
TEST_F(OutputFolderTest, AnEarlierRunIsMovedAsideWholeBeforeTheNewRunWrites) {
    // outputs: else the summary alone, in the per-user folder; taken: a folder
    // of that name is there already; aside: where the earlier run goes (none: nothing moved).
    struct Case { const char* what; bool outputs, summary, overwrite; const char *taken, *aside; };
    for (const Case& c : {Case{"named after the summary's start", true, true, false, nullptr, "run_20210304-050607"},
                          Case{"after the oldest file, its name taken", true, false, false, "run_20200102-030405",
                               "run_20200102-030405-2"},
                          Case{"--overwrite: replaced in place", true, true, true, nullptr, nullptr},
                          Case{"no output file: the summary", false, true, false, nullptr, "run_20210304-050607"}}) {
        SCOPED_TRACE(c.what);
        fs::remove_all(UserFolder());
        const fs::path dir = c.outputs ? UserFolder() / "out" : UserFolder();
        WriteConfig(c.outputs ? kOutputs : "OPEN USB 0\n");
        std::map<std::string, std::string> earlier, others{{"run.lock", ""}, {"run_keep/inside.txt", "a folder"}};
        if (c.summary) earlier["run_summary.json"] = R"({"started": "2021-03-04T05:06:07Z", "boards": []})";
        for (int s = 0; c.outputs && s < 5; ++s) {
            earlier["run_raw_b0_seg" + std::to_string(s) + ".bin"] = std::string(3000 + s, static_cast<char>(s));
            earlier["run_list_b0_seg" + std::to_string(s) + ".txt"] = "earlier lines " + std::to_string(s) + "\n";
        }
        (c.outputs ? earlier : others)["run_notes.txt"] = "the user's notes";
        if (c.outputs) earlier["run_histo_b0_ch5.txt"] = "a channel the new run does not write\n";
        if (c.outputs) others.insert({{"other_raw.bin", "x"}, {"run_b.lock", ""}, {"run_b_raw_b0_seg0.bin", "b"}});
        if (c.taken) others[std::string(c.taken) + "/inside.txt"] = "an earlier folder";
        for (const auto& [name, bytes] : others)
            fs::create_directories((dir / name).parent_path()), Write(dir / name, bytes);
        for (const auto& [name, bytes] : earlier) {
            Write(dir / name, bytes);  // 2020-01-02 03:04:05 UTC for one file, an hour later for the rest
            const chrono::sys_seconds when(chrono::seconds(1577934245 + (name == "run_list_b0_seg3.txt" ? 0 : 3600)));
            fs::last_write_time(dir / name, chrono::file_clock::from_sys(when));
        }
        ASSERT_EQ(c.overwrite ? Program({"--preset-real", "0.4", "--overwrite"}) : Program({"--preset-real", "0.4"}), 0)
            << out;

        for (const auto& [name, bytes] : others) EXPECT_EQ(Contents(dir / name), bytes) << name << " is not left alone";
        if (c.aside) {
            const std::string line = "Earlier run run: " + std::to_string(earlier.size()) + " file" +
                                     (earlier.size() == 1 ? "" : "s") + " moved to " + Shown(c.outputs ? "out/" : "") +
                                     c.aside + platform::PathSeparator() + "\n";
            EXPECT_NE(out.find(line), std::string::npos) << out;
            EXPECT_LT(out.find(line), out.find("Open peak-sensing devices")) << "before any board is opened";
            std::map<std::string, std::string> moved;
            for (const auto& entry : fs::directory_iterator(dir / c.aside))
                moved[entry.path().filename().string()] = Contents(entry.path());
            EXPECT_TRUE(moved == earlier);
            for (const auto& [name, bytes] : earlier)  // the new run's files alone under the name
                EXPECT_FALSE(fs::exists(dir / name) && Contents(dir / name) == bytes) << name << " is still there";
        } else {  // the former behaviour: the new run's files in place of the old, the others left
            EXPECT_EQ(out.find("Earlier run"), std::string::npos) << out;
            EXPECT_EQ(Contents(dir / "run_raw_b0_seg4.bin"), earlier["run_raw_b0_seg4.bin"]);
            EXPECT_NE(Contents(dir / "run_list_b0_seg0.txt"), earlier["run_list_b0_seg0.txt"]);
        }
    }
}

// A program started on the folder and name of one that runs is refused with
// code 15 before it touches a file or a board, naming the running one's
// process id and the folder; once that one has ended, the next run goes ahead.
TEST_F(OutputFolderTest, ASecondProgramOnTheSameOutputIsRefusedBeforeTouchingAnything) {
    WriteConfig(kOutputs);
    const std::string firstOut = folder.File("first.txt");
    test_support::RunOptions keys;
    keys.in = test_support::RunOptions::Input::Pipe;
    keys.output = firstOut;
    keys.errorsToOutput = true;
    int status = -1;
    {
        struct Quit {  // the first program quits whatever happens here
            test_support::Process program;
            int& status;
            ~Quit() { program.Write("q"), status = program.Wait(); }
        } quit{test_support::Process({kProgram, config}, keys), status};
        for (int i = 0; i < 300 && Contents(firstOut).find("start/stop") == std::string::npos; ++i)
            platform::SleepMs(100);
        ASSERT_NE(Contents(firstOut).find("start/stop"), std::string::npos) << Contents(firstOut);
        // Its files settle once its first periodic flush has written their headers.
        Files before, now = Tree(UserFolder());
        for (int i = 0; i < 10 && now != before; ++i) before = now, platform::SleepMs(1200), now = Tree(UserFolder());
        for (const bool overwrite : {false, true}) {
            SCOPED_TRACE(overwrite ? "--overwrite" : "");
            EXPECT_EQ(overwrite ? Program({"--preset-real", "0.2", "--overwrite"}) : Program({"--preset-real", "0.2"}),
                      15);
            EXPECT_NE(out.find("Output folder " + Shown("out/") + " is in use for the run run by another " +
                               "Tessary_DAQ, process id " + std::to_string(quit.program.Id()) + " "),
                      std::string::npos) << out;
            EXPECT_EQ(out.find("Open peak-sensing devices"), std::string::npos) << out;
            EXPECT_TRUE(Tree(UserFolder()) == before) << "a file was touched";
        }
    }
    EXPECT_EQ(status, 0) << Contents(firstOut);
    EXPECT_EQ(Program({"--preset-real", "0.1"}), 0) << out;
    EXPECT_NE(out.find("Earlier run run: "), std::string::npos) << out;
}

// A file size limit reached while two boards deliver ends the run with code
// 16, its raw files of whole events (the replay reads them) and its summary
// describing the files as they are. (List files cut back: OutputFilesTest.)
TEST_F(OutputFolderTest, AFileSizeLimitLeavesWholeEventsAsTheSummaryDescribes) {
#ifdef _WIN32
    GTEST_SKIP() << "limits the program's file sizes with setrlimit(RLIMIT_FSIZE), which Windows lacks";
#else
    WriteConfig("OPEN USB 0\nOPEN USB 1\nENABLE_INPUT FFFFFFFFFFFFFFFF\nOUTFILE_PATH out/\nOUTFILE_RAW YES\n"
                "OUTFILE_HISTO YES\nOUTFILE_MAXSIZE 100\n");
    {
        const FileSizeLimit limit((3u << 20) + 1234);
        ASSERT_EQ(Program({"--preset-real", "20"}), 16) << out;  // 20 s: should the limit never be reached
    }
    EXPECT_NE(out.find("could not be written: File too large\n"), std::string::npos) << out;
    const fs::path dir = UserFolder() / "out";
    for (const std::string board : {"0", "1"}) {
        const std::string raw = (dir / ("run_raw_b" + board + "_seg0.bin")).string();
        EXPECT_EQ(RunReplay({config, board, folder.File("replay" + board), raw}), 0) << out << err;
    }
    EXPECT_EQ(RunReplay({"--verify", (dir / "run_summary.json").string()}), 1) << out << err;
    for (const char* wrong : {"MISMATCH", "MISSING", "UNREADABLE"})
        EXPECT_EQ(out.find(wrong), std::string::npos) << out;
    EXPECT_NE(out.find("OK       run_histo_b0_ch0.txt\n"), std::string::npos) << out;
    EXPECT_NE(out.find("INCOMPLETE"), std::string::npos) << out;
    for (std::size_t at = out.find("INCOMPLETE"); at != std::string::npos; at = out.find("INCOMPLETE", at + 1))
        EXPECT_NE(out.substr(at, out.find('\n', at) - at).find("bytes it kept match"), std::string::npos) << out;
#endif
}

}  // namespace
}  // namespace tessary

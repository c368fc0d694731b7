// Whole runs and their output folder: the files of an earlier run with the
// same name moved aside whole before the new run writes (or replaced with
// --overwrite), a second program on the same folder and name refused
// before it touches a file or a board, and a run ended by a file size
// limit whose files hold whole events and whole lines, as its summary
// says.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "../emulator/TempFolder.h"
#include "Clock.h"
#include "DrelmEmulator.h"
#include "DrelmTessaryLib.h"
#include "Program.h"
#include "TimedKeys.h"

extern char** environ;

namespace tessary {
namespace {

namespace fs = std::filesystem;

const std::string kProgram = std::string(TESSARY_BINARY_DIR) + "/bin/Tessary_DAQ";
const std::string kReplay = REPLAY_TOOL;

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& file, const std::string& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

// Every file under `root` with its bytes and modification time.
std::map<std::string, std::pair<std::string, fs::file_time_type>> Tree(const fs::path& root) {
    std::map<std::string, std::pair<std::string, fs::file_time_type>> tree;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        tree[entry.path().lexically_relative(root).string()] = {
            entry.is_directory() ? std::string("<folder>") : Contents(entry.path()), entry.last_write_time()};
    return tree;
}

// A file size limit for this process while it lives.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) : previous(std::signal(SIGXFSZ, SIG_IGN)) {
        EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        limited.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    rlimit saved{};
    void (*previous)(int);
};

struct OutputFolderTest : ::testing::Test {
    void SetUp() override {
        ASSERT_FALSE(folder.path().empty());
        Write(folder.path() / "boards.txt",
              "[usb 0]\ntrigger_rate_hz = 20000\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n"
              "[usb 1]\nchannels = 32\ntrigger_rate_hz = 20000\nlink_latency_us = 0\n"
              "link_bandwidth_kb_s = unlimited\n");
        setenv("DRELM_EMULATOR_SETTINGS", (folder.path() / "boards.txt").c_str(), 1);
        setenv("HOME", folder.path().c_str(), 1);
        unsetenv("USERPROFILE");
        Write(folder.path() / "pgnuplot", "#!/bin/sh\ncat > /dev/null\n");
        fs::permissions(folder.path() / "pgnuplot", fs::perms::owner_all);
        drelm::emu::ResetEmulator();
    }
    void TearDown() override {
        for (int32_t h = 0; h < 100; ++h) DRELM_TSY_CloseTessary(h);
        drelm::emu::ResetEmulator();
        unsetenv("DRELM_EMULATOR_SETTINGS");
    }
    void WriteConfig(const std::string& text) {
        Write(folder.path() / "config.txt", "[COMMON]\nSTAT_REFRESH 300\nPOLARITY NEGATIVE\nOUTFILE_NAME run\n" + text +
                                                "GNUPLOT_PATH " + folder.path().string() + "/\n");
    }
    // The program on config.txt in this process; its messages land in `out`.
    ProgramError Run(std::vector<std::pair<int64_t, int>> keys, ProgramOptions options = {}) {
        TimedKeys input(std::move(keys));
        char* text = nullptr;
        std::size_t size = 0;
        std::FILE* stream = open_memstream(&text, &size);
        options.configPath = (folder.path() / "config.txt").string();
        const ProgramError error = RunProgram(options, input, stream);
        std::fclose(stream);
        out.assign(text, size);
        std::free(text);
        return error;
    }
    // A command line's exit status, its output in `out`.
    int Shell(const std::string& command) {
        const std::string file = (folder.path() / "shell.txt").string();
        const int status = std::system((command + " > " + file + " 2>&1").c_str());
        out = Contents(file);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    fs::path UserFolder() const { return folder.path() / "Tessary_DAQ"; }

    emulator_test::TempFolder folder;
    std::string out;
};

const char kOutputs[] = "OPEN USB 0\nENABLE_INPUT 3\nOUTFILE_PATH out/\nOUTFILE_RAW YES\nOUTFILE_LIST YES\n"
                        "OUTFILE_HISTO YES\nOUTFILE_MAXSIZE 0\n";
const char kEarlierSummary[] = R"({"version": "Tessary_DAQ 1.1.0", "started": "2021-03-04T05:06:07Z", "boards": []})";

// An earlier run's files, more segments than the new run makes, its
// summary or not, are moved into a new folder named after its start,
// byte for byte, before the new run writes; the new run's files are then
// alone under the name; folders, other names and the lock file stay.
TEST_F(OutputFolderTest, AnEarlierRunIsMovedAsideWholeBeforeTheNewRunWrites) {
    struct Case {
        const char* what;
        bool outputs;        // else the summary alone, in the per-user folder
        bool summary;        // the earlier run left its summary
        bool overwrite;
        const char* taken;   // a folder of that name is there already
        const char* aside;   // the folder the earlier run goes to; none: nothing moved
    };
    const Case cases[] = {
        {"named after the earlier summary's start", true, true, false, nullptr, "run_20210304-050607"},
        {"named after the oldest file, its name taken", true, false, false, "run_20200102-030405",
         "run_20200102-030405-2"},
        {"--overwrite: replaced in place, nothing moved", true, true, true, nullptr, nullptr},
        {"no output file: the summary in the per-user folder", false, true, false, nullptr, "run_20210304-050607"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(UserFolder());
        const fs::path dir = c.outputs ? UserFolder() / "out" : UserFolder();
        WriteConfig(c.outputs ? kOutputs : "OPEN USB 0\n");
        std::map<std::string, std::string> earlier, others;
        if (c.summary) earlier["run_summary.json"] = kEarlierSummary;
        if (c.outputs) {
            for (int s = 0; s < 5; ++s) {
                earlier["run_raw_b0_seg" + std::to_string(s) + ".bin"] = std::string(3000 + s, static_cast<char>(s));
                earlier["run_list_b0_seg" + std::to_string(s) + ".txt"] = "earlier lines " + std::to_string(s) + "\n";
            }
            earlier["run_histo_b0_ch0.txt"] = "earlier histogram 0\n";
            earlier["run_histo_b0_ch5.txt"] = "a channel the new run does not write\n";
            earlier["run_notes.txt"] = "the user's notes on the earlier run\n";
            others["other_raw_b0_seg0.bin"] = "another name";
            others["run_b.lock"] = "";
            others["run_b_raw_b0_seg0.bin"] = "a longer name with its own lock";
        } else {
            others["run_notes.txt"] = "beside the summary, not the summary";
        }
        others["run.lock"] = "";
        others["run_keep/inside.txt"] = "a folder with the prefix";
        if (c.taken) others[std::string(c.taken) + "/inside.txt"] = "an earlier folder";
        for (const auto& [name, bytes] : earlier) Write(dir / name, bytes);
        for (const auto& [name, bytes] : others) Write(dir / name, bytes);
        // 2020-01-02 03:04:05 UTC for one file, an hour later for the rest.
        for (const auto& [name, bytes] : earlier) {
            const time_t when = 1577934245 + (name == "run_list_b0_seg3.txt" ? 0 : 3600);
            const timespec times[2] = {{when, 0}, {when, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, (dir / name).c_str(), times, 0), 0);
        }
        ProgramOptions options;
        options.overwrite = c.overwrite;
        ASSERT_EQ(Run({{0, 's'}, {400, 'q'}}, options), ProgramError::None) << out;

        const nlohmann::json summary = nlohmann::json::parse(Contents(dir / "run_summary.json"));
        std::set<std::string> named{"run_summary.json"};
        for (const auto& file : summary["boards"][0]["files"]) named.insert(file["name"].get<std::string>());
        for (const auto& [name, bytes] : others) EXPECT_EQ(Contents(dir / name), bytes) << name << " is not left alone";
        if (c.aside) {
            const std::string line = "Earlier run run: " + std::to_string(earlier.size()) + " file" +
                                     (earlier.size() == 1 ? "" : "s") + " moved to " + (dir / c.aside).string() + "/\n";
            EXPECT_NE(out.find(line), std::string::npos) << out;
            EXPECT_LT(out.find(line), out.find("Open peak-sensing devices")) << "before any board is opened";
            std::size_t aside = 0;
            for (const auto& entry : fs::directory_iterator(dir / c.aside)) {
                ++aside;
                const std::string name = entry.path().filename().string();
                EXPECT_TRUE(earlier.count(name) && Contents(entry.path()) == earlier[name]) << name;
            }
            EXPECT_EQ(aside, earlier.size());
            // The new run's files alone under the name.
            for (const auto& entry : fs::directory_iterator(dir)) {
                const std::string name = entry.path().filename().string();
                if (entry.is_directory() || name.rfind("run_", 0) != 0 || others.count(name)) continue;
                EXPECT_TRUE(named.count(name)) << name << " is not the new run's";
            }
            EXPECT_TRUE(summary["started"] != "2021-03-04T05:06:07Z");
        } else {
            EXPECT_EQ(out.find("Earlier run"), std::string::npos) << out;
            for (const auto& entry : fs::directory_iterator(dir))
                EXPECT_NE(entry.path().filename().string().rfind("run_20", 0), 0u) << entry.path();
            // The former behaviour: the new run's files in place of the old, the others left.
            EXPECT_EQ(Contents(dir / "run_raw_b0_seg4.bin"), earlier["run_raw_b0_seg4.bin"]);
            EXPECT_EQ(Contents(dir / "run_notes.txt"), earlier["run_notes.txt"]);
            EXPECT_NE(Contents(dir / "run_list_b0_seg0.txt"), earlier["run_list_b0_seg0.txt"]);
            EXPECT_NE(Contents(dir / "run_summary.json"), kEarlierSummary);
        }
        EXPECT_EQ(Contents(dir / "run.lock"), "") << "the lock is let go of at the end";
        TearDown();
        SetUp();
    }
}

// A program started on the folder and name of one that runs is refused
// before it touches a file or a board, naming the running one's process id
// and the folder; once that one has ended, the next run goes ahead.
TEST_F(OutputFolderTest, ASecondProgramOnTheSameOutputIsRefusedBeforeTouchingAnything) {
    WriteConfig(kOutputs);
    int keys[2];
    ASSERT_EQ(pipe2(keys, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, keys[0], STDIN_FILENO);
    const std::string firstOut = (folder.path() / "first.txt").string();
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, firstOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const std::string config = (folder.path() / "config.txt").string();
    char* argv[] = {const_cast<char*>(kProgram.c_str()), const_cast<char*>(config.c_str()), nullptr};
    pid_t first = -1;
    ASSERT_EQ(posix_spawn(&first, kProgram.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(keys[0]);
    struct Quit {  // the first program ends whatever happens here
        int fd;
        pid_t pid;
        int status = -1;
        void Now() {
            if (fd < 0) return;
            if (write(fd, "q", 1) != 1) kill(pid, SIGTERM);
            close(fd);
            fd = -1;
            waitpid(pid, &status, 0);
        }
        ~Quit() { Now(); }
    } quit{keys[1], first};
    for (int i = 0; i < 300 && Contents(firstOut).find("start/stop") == std::string::npos; ++i) platform::SleepMs(100);
    ASSERT_NE(Contents(firstOut).find("start/stop"), std::string::npos) << Contents(firstOut);

    const fs::path dir = UserFolder() / "out";
    // The first program's files settle once its first periodic flush has
    // written their headers.
    auto before = Tree(UserFolder());
    for (int i = 0; i < 10; ++i) {
        platform::SleepMs(1200);
        const auto now = Tree(UserFolder());
        if (now == before) break;
        before = now;
    }
    ASSERT_TRUE(before.count("out/run.lock"));
    struct Case {
        const char* what;
        bool inProcess;
    };
    for (const Case& c : {Case{"in this process", true}, Case{"as a program, with --overwrite", false}}) {
        SCOPED_TRACE(c.what);
        if (c.inProcess) {
            EXPECT_EQ(Run({{0, 's'}, {100, 'q'}}), ProgramError::OutputFileOpen);
        } else {
            EXPECT_EQ(Shell(kProgram + " --overwrite " + config + " < /dev/null"), 15);
        }
        EXPECT_NE(out.find("Output folder " + dir.string() + "/ is in use for the run run by another Tessary_DAQ, "
                           "process id " + std::to_string(first) + " "),
                  std::string::npos)
            << out;
        EXPECT_EQ(out.find("Open peak-sensing devices"), std::string::npos) << out;
        EXPECT_TRUE(Tree(UserFolder()) == before) << "a file was touched";
    }
    quit.Now();
    ASSERT_TRUE(WIFEXITED(quit.status));
    EXPECT_EQ(WEXITSTATUS(quit.status), 0) << Contents(firstOut);
    EXPECT_EQ(Run({{0, 'q'}}), ProgramError::None) << out;
    EXPECT_NE(out.find("Earlier run run: "), std::string::npos) << out;
}

// A file size limit that the files reach while the boards deliver ends the
// run with code 16; every raw file holds whole events (the replay reads
// them without error), every list file whole lines, and the summary's
// sizes and checksums are those of the files on disk, histograms included.
TEST_F(OutputFolderTest, AFileSizeLimitLeavesWholeEventsAndLinesAsTheSummaryDescribes) {
    struct Case {
        const char* what;
        const char* outputs;
    };
    const Case cases[] = {
        {"raw files", "OUTFILE_RAW YES\nOUTFILE_HISTO YES\nOUTFILE_MAXSIZE 100\n"},
        {"list files, segments changing", "OUTFILE_RAW YES\nOUTFILE_LIST YES\nOUTFILE_HISTO YES\nOUTFILE_MAXSIZE 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(UserFolder());
        WriteConfig(std::string("OPEN USB 0\nOPEN USB 1\nENABLE_INPUT FFFFFFFFFFFFFFFF\nOUTFILE_PATH out/\n") +
                    c.outputs);
        ProgramOptions options;
        options.startAtOnce = true;
        options.presetRealS = 20;  // should the limit never be reached
        ProgramError error = ProgramError::None;
        {
            const FileSizeLimit limit((3u << 20) + 1234);
            error = Run({}, options);
        }
        ASSERT_EQ(error, ProgramError::OutputFileWrite) << out;
        EXPECT_NE(out.find("could not be written: File too large\n"), std::string::npos) << out;

        const fs::path dir = UserFolder() / "out";
        for (int board = 0; board < 2; ++board) {
            SCOPED_TRACE(board);
            const std::string stem = "run_raw_b" + std::to_string(board) + "_seg";
            std::string raws;
            for (int s = 0; fs::exists(dir / (stem + std::to_string(s) + ".bin")); ++s)
                raws += " " + (dir / (stem + std::to_string(s) + ".bin")).string();
            ASSERT_FALSE(raws.empty());
            const fs::path replay = folder.path() / ("replay" + std::to_string(board));
            fs::remove_all(replay);
            EXPECT_EQ(Shell(kReplay + " " + (folder.path() / "config.txt").string() + " " + std::to_string(board) +
                            " " + replay.string() + raws),
                          0)
                << out;
            const std::size_t channels = board == 0 ? 64 : 32;
            const std::size_t header = 38 + 10 * channels, line = 37 + 10 * channels;
            for (int s = 0;; ++s) {
                const fs::path list =
                    dir / ("run_list_b" + std::to_string(board) + "_seg" + std::to_string(s) + ".txt");
                if (!fs::exists(list)) break;
                const std::size_t size = fs::file_size(list);
                EXPECT_TRUE(size >= header && (size - header) % line == 0) << list << ": " << size << " bytes";
            }
        }
        EXPECT_EQ(Shell(kReplay + " --verify " + (dir / "run_summary.json").string()), 1) << out;
        EXPECT_EQ(out.find("MISMATCH"), std::string::npos) << out;
        EXPECT_EQ(out.find("MISSING"), std::string::npos) << out;
        EXPECT_EQ(out.find("UNREADABLE"), std::string::npos) << out;
        EXPECT_NE(out.find("INCOMPLETE"), std::string::npos) << out;
        EXPECT_NE(out.find("OK       run_histo_b0_ch0.txt\n"), std::string::npos) << out;
        for (std::size_t at = out.find("INCOMPLETE"); at != std::string::npos; at = out.find("INCOMPLETE", at + 1))
            EXPECT_NE(out.substr(at, out.find('\n', at) - at).find("bytes it kept match"), std::string::npos) << out;
        TearDown();
        SetUp();
    }
}

}  // namespace
}  // namespace tessary

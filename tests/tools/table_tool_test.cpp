// The table tool as a lab engineer runs it: files in, flash, files out.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RunProgram.h"

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string output;
};

// Runs the tool with the arguments, stdout and stderr together.
ToolRun Tool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), TABLE_TOOL);
    test_support::RunOptions options;
    options.errorsToOutput = true;
    const test_support::RunResult run = test_support::Run(arguments, options);
    return {run.status, run.output + run.errors};
}

#ifndef _WIN32
// Runs the tool on a terminal of its own, as a user at a console does.
ToolRun ToolOnTerminal(const std::vector<std::string>& arguments) {
    std::vector<std::string> command = arguments;
    command.insert(command.begin(), TABLE_TOOL);
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0) return {-1, ""};
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    std::string output;
    char chunk[4096];
    for (ssize_t n; (n = read(terminal, chunk, sizeof chunk)) > 0;) output.append(chunk, static_cast<size_t>(n));
    close(terminal);
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}
#endif

std::string Text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TableToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        out_ = fs::temp_directory_path() / (std::string("tessary_table_tool_") + info->name());
        fs::remove_all(out_);
        // The tool's board is the emulator's default board, whatever the
        // caller set, on a link with no transfer time and a flash chip that
        // is never busy: the tool runs against the host clock, and a USB
        // link's latency or a chip's page times would only slow the tests.
        settings_ = fs::temp_directory_path() / (std::string("tessary_table_tool_") + info->name() + ".settings");
        // Its flash is kept in a file, so that a test can see what a run
        // left in it.
        flash_ = fs::temp_directory_path() / (std::string("tessary_table_tool_") + info->name() + ".flash");
        std::ofstream(settings_) << "[usb 0]\nlink_latency_us = unlimited\nlink_bandwidth_kb_s = unlimited\n"
                                    "flash_erase_us = 0\nflash_program_us = 0\nflash_transfer_us = 0\n"
                                    "flash_file = "
                                 << flash_.string() << "\n";
        setenv("DRELM_EMULATOR_SETTINGS", settings_.c_str(), 1);
    }
    void TearDown() override {
        fs::remove_all(out_);
        fs::remove(settings_);
        fs::remove(flash_);
        unsetenv("DRELM_EMULATOR_SETTINGS");
    }

    const fs::path examples_ = fs::path(TESSARY_SOURCE_DIR) / "examples" / "tables" / "demo";
    fs::path out_;
    fs::path settings_;
    fs::path flash_;
};

TEST_F(TableToolTest, HelpExplainsTheCommands) {
    const ToolRun run = Tool({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"--open", "upload", "load", "load-files", "dump", "USB <link>"})
        EXPECT_NE(run.output.find(word), std::string::npos) << word;
}

TEST_F(TableToolTest, BadUsageIsRefusedWithStatus2) {
    EXPECT_EQ(Tool({}).status, 2);
    EXPECT_EQ(Tool({"--open", "USB", "load"}).status, 2);
    EXPECT_EQ(Tool({"--open", "SERIAL 0", "load"}).status, 2);
    EXPECT_EQ(Tool({"--open", "USB_R330 0", "load"}).status, 2);
    EXPECT_EQ(Tool({"--open", "USB 0", "frobnicate"}).status, 2);
    EXPECT_EQ(Tool({"--open", "USB 0", "dump"}).status, 2);
}

TEST_F(TableToolTest, UploadThenDumpGivesTheSameFiles) {
    const ToolRun run = Tool({"--open", "USB 0", "upload", examples_.string(), "load", "dump", out_.string()});
    ASSERT_EQ(run.status, 0) << run.output;
    for (const auto& entry : fs::directory_iterator(examples_)) {
        const fs::path dumped = out_ / entry.path().filename();
        ASSERT_TRUE(fs::exists(dumped)) << dumped;
        EXPECT_EQ(Text(dumped), Text(entry.path())) << entry.path().filename();
    }
    // Channels without files were stored as tables of zeros, with a warning each.
    EXPECT_EQ(Text(out_ / "DACUD_40_POS.txt"), [] {
        std::string zeros;
        for (int i = 0; i < 4096; ++i) zeros += "0\n";
        return zeros;
    }());
    EXPECT_NE(run.output.find("Warning: board 0: no DACUD_<channel>_POS.txt for channels 2-63 in " +
                              examples_.string() + "; stored as zeros"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("board 0: uploaded 10 of 258 tables from " + examples_.string() +
                              "; 248 missing, stored as zeros"),
              std::string::npos);
}

TEST_F(TableToolTest, DumpOfANewBoardWritesTheFactoryTablesForEveryChannel) {
    const ToolRun run = Tool({"--open", "USB 1", "dump", out_.string()});
    ASSERT_EQ(run.status, 0) << run.output;
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out_)) ++files;
    EXPECT_EQ(files, 2u + 4u * 64u);
}

TEST_F(TableToolTest, SeveralBoardsDumpIntoAFolderEach) {
    const ToolRun run = Tool({"--open", "USB 0", "--open", "PCI 0 1 0x10000", "dump", out_.string()});
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(fs::exists(out_ / "board0" / "DAC_Offset_NEG.txt"));
    EXPECT_TRUE(fs::exists(out_ / "board1" / "DACUD_63_POS.txt"));
}

TEST_F(TableToolTest, AFolderWithoutTablesIsRefusedBeforeAnythingIsWritten) {
    ASSERT_EQ(Tool({"--open", "USB 0", "load"}).status, 0);  // makes the flash file
    const std::string flash = Text(flash_);
    fs::create_directories(out_ / "empty");
    std::ofstream(out_ / "plain.txt") << "0\n";
    const std::string missing = "refused, cannot read the folder (No such file or directory); nothing was ";
    struct Case {
        std::string command, folder, says;
    } const cases[] = {
        {"upload", (out_ / "board0").string(), missing + "written"},
        {"upload", (out_ / "plain.txt").string(), "refused, not a folder; nothing was written"},
        {"upload", (out_ / "empty").string(), "refused, the folder holds none of the table files"},
        {"load-files", (out_ / "board0").string(), missing + "loaded"},
        {"load-files", (out_ / "plain.txt").string(), "refused, not a folder; nothing was loaded"},
        {"load-files", (out_ / "empty").string(), "refused, the folder holds none of the calibration table files"},
    };
    for (const Case& c : cases) {
        // A good command before it does not run either.
        const ToolRun run = Tool({"--open", "USB 0", "upload", examples_.string(), c.command, c.folder});
        EXPECT_EQ(run.status, 1) << c.command << " " << c.folder;
        EXPECT_EQ(run.output.rfind(c.command + " " + c.folder + ": " + c.says, 0), 0u) << run.output;
        EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\n'), 1) << run.output;
        EXPECT_EQ(Text(flash_), flash) << c.command << " " << c.folder;
    }
}

TEST_F(TableToolTest, SomeFilesGiveAWarningPerKindAndOneSummaryLine) {
    fs::create_directories(out_);
    for (const char* name : {"DAC_Offset_POS.txt", "DACDU_0_NEG.txt", "DACUD_1_POS.txt"})
        fs::copy_file(examples_ / name, out_ / name);
    struct Case {
        std::string command;
        std::vector<std::string> says;
    } const cases[] = {
        {"upload",
         {"Warning: board 0: no DAC_Offset_NEG.txt in " + out_.string() + "; stored as zeros",
          "no DACUD_<channel>_POS.txt for channels 0, 2-63 in ",
          "board 0: uploaded 3 of 258 tables from " + out_.string() + "; 255 missing, stored as zeros\n"}},
        {"load-files",
         {"Warning: board 0: no DACDU_<channel>_NEG.txt for channels 1-63 in " + out_.string() + "; not loaded",
          "board 0: loaded 2 of 256 tables from " + out_.string() + "; 254 missing, not loaded"}},
    };
    for (const Case& c : cases) {
        const ToolRun run = Tool({"--open", "USB 0", c.command, out_.string()});
        EXPECT_EQ(run.status, 0) << run.output;
        for (const std::string& text : c.says) EXPECT_NE(run.output.find(text), std::string::npos) << run.output;
        EXPECT_EQ(run.output.find("does not exist"), std::string::npos) << run.output;
        EXPECT_LT(std::count(run.output.begin(), run.output.end(), '\n'), 7) << run.output;
    }
}

TEST_F(TableToolTest, FailuresSayWhyInWords) {
    const ToolRun twice = Tool({"--open", "USB 0", "--open", "USB 0", "load"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.output.find("board 1 (--open \"USB 0\"): cannot open: status -5 (InvalidHandle: "),
              std::string::npos)
        << twice.output;
    std::ofstream(out_.string() + ".file") << "0\n";
    const ToolRun dump = Tool({"--open", "USB 0", "dump", out_.string() + ".file/tables"});
    fs::remove(out_.string() + ".file");
    EXPECT_EQ(dump.status, 1);
    EXPECT_NE(dump.output.find("Not a directory"), std::string::npos) << dump.output;
}

TEST_F(TableToolTest, ProgressShowsOnATerminalOnly) {
    const std::vector<std::string> commands{"--open", "USB 0", "upload", examples_.string(),
                                            "load", "dump", out_.string()};
    const ToolRun piped = Tool(commands);
    ASSERT_EQ(piped.status, 0) << piped.output;
    EXPECT_EQ(piped.output.find_first_of("\r\033"), std::string::npos);
    EXPECT_EQ(piped.output.find("Board 0:"), std::string::npos);
#ifdef _WIN32
    GTEST_SKIP() << "the progress on a terminal needs a pseudo-terminal (forkpty) to read it from";
#else
    const ToolRun terminal = ToolOnTerminal(commands);
    ASSERT_EQ(terminal.status, 0) << terminal.output;
    EXPECT_NE(terminal.output.find("\r\033[JBoard 0: dumping tables  100%"), std::string::npos) << terminal.output;
    EXPECT_TRUE(terminal.output.ends_with("\r\033[J"));  // cleared when done
#endif
}

}  // namespace

// The table tool as a lab engineer runs it: files in, flash, files out.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status;
    std::string output;
};

// Runs the tool with the arguments, stdout and stderr together.
ToolRun Tool(const std::string& arguments) {
    const std::string command = std::string(TABLE_TOOL) + " " + arguments + " 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {-1, ""};
    std::string output;
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

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
        std::ofstream(settings_) << "[usb 0]\nlink_latency_us = unlimited\nlink_bandwidth_kb_s = unlimited\n"
                                    "flash_erase_us = 0\nflash_program_us = 0\nflash_transfer_us = 0\n";
        setenv("DRELM_EMULATOR_SETTINGS", settings_.c_str(), 1);
    }
    void TearDown() override {
        fs::remove_all(out_);
        fs::remove(settings_);
        unsetenv("DRELM_EMULATOR_SETTINGS");
    }

    const fs::path examples_ = fs::path(TESSARY_SOURCE_DIR) / "examples" / "tables" / "demo";
    fs::path out_;
    fs::path settings_;
};

TEST_F(TableToolTest, HelpExplainsTheCommands) {
    const ToolRun run = Tool("--help");
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"--open", "upload", "load", "load-files", "dump", "USB <link>"})
        EXPECT_NE(run.output.find(word), std::string::npos) << word;
}

TEST_F(TableToolTest, BadUsageIsRefusedWithStatus2) {
    EXPECT_EQ(Tool("").status, 2);
    EXPECT_EQ(Tool("--open \"USB\" load").status, 2);
    EXPECT_EQ(Tool("--open \"SERIAL 0\" load").status, 2);
    EXPECT_EQ(Tool("--open \"USB_R330 0\" load").status, 2);
    EXPECT_EQ(Tool("--open \"USB 0\" frobnicate").status, 2);
    EXPECT_EQ(Tool("--open \"USB 0\" dump").status, 2);
}

TEST_F(TableToolTest, UploadThenDumpGivesTheSameFiles) {
    const ToolRun run = Tool("--open \"USB 0\" upload " + examples_.string() + " load dump " + out_.string());
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
    EXPECT_NE(run.output.find("DACUD_40_POS.txt calib file for channel 40 does not exist"), std::string::npos);
}

TEST_F(TableToolTest, DumpOfANewBoardWritesTheFactoryTablesForEveryChannel) {
    const ToolRun run = Tool("--open \"USB 1\" dump " + out_.string());
    ASSERT_EQ(run.status, 0) << run.output;
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(out_)) ++files;
    EXPECT_EQ(files, 2u + 4u * 64u);
}

TEST_F(TableToolTest, SeveralBoardsDumpIntoAFolderEach) {
    const ToolRun run = Tool("--open \"USB 0\" --open \"PCI 0 1 0x10000\" dump " + out_.string());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(fs::exists(out_ / "board0" / "DAC_Offset_NEG.txt"));
    EXPECT_TRUE(fs::exists(out_ / "board1" / "DACUD_63_POS.txt"));
}

}  // namespace

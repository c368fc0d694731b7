// Reading the text: long lines read in pieces, zero bytes, read errors,
// the size bound, a stop signal, and opening the file.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <string>

#include "ConfigCases.h"
#include "ConfigLines.h"
#include "Signals.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tessary::test {
namespace {

TEST(ConfigReading, LineOf999CharactersThenItsLineFeedCountsAsTwoLines) {
    // The piece of 999 characters is a comment; its line feed is read as a
    // line of its own, so the unknown key below is reported on line 4.
    const std::string text = kOneBoard + "#" + std::string(998, 'c') + "\nBAD_KEY 1\n";
    Parsed parsed = ParseText(text);
    EXPECT_EQ(parsed.result, 2);
    EXPECT_EQ(parsed.messages, "BAD_KEY: invalid setting at line 4\n");
}

TEST(ConfigReading, LongerLineIsReadInPiecesEachHandledAsALine) {
    // 999 characters of comment, then the rest of the same line is a piece
    // that begins with a key.
    const std::string text = kOneBoard + "#" + std::string(998, 'c') + "STAT_REFRESH 42\n";
    Parsed parsed = ParseText(text);
    EXPECT_EQ(parsed.result, 0);
    EXPECT_EQ(parsed.messages, "");
    EXPECT_EQ(parsed.config->statRefresh, 42);
}

TEST(ConfigReading, ValueIsCutAtThe999thCharacterAndTheRestIsTheNextLine) {
    // One line of 1015 characters: the name token is 99 'a' followed at once
    // by "OUTFILE_PATH data" (111 characters as one token, too long for the
    // name). Cut after 999 characters, the name is exactly the 99 'a' and
    // the rest is a line of its own, line 3, whose warning names that line.
    // A cut one character earlier or later would refuse the name or the key.
    const std::string name(99, 'a');
    std::string first = "OUTFILE_NAME ";
    first += std::string(999 - first.size() - name.size(), ' ') + name;
    ASSERT_EQ(first.size(), 999u);
    const std::string text = kOneBoard + first + "OUTFILE_PATH data\n";
    Parsed parsed = ParseText(text);
    EXPECT_EQ(parsed.result, 0);
    EXPECT_EQ(parsed.messages, NoSeparatorWarning("OUTFILE_PATH", "data", 3));
    EXPECT_EQ(std::string(parsed.config->outfileName), name);
    EXPECT_STREQ(parsed.config->outfilePath, "/home/ann/Tessary_DAQ/data");
}

TEST(ConfigReading, ZeroByteEndsTheLine) {
    const std::string text = kOneBoard + std::string("STAT_REFRESH 12\0 34 and more\n", 30) +
                             std::string("\0POLARITY NEGATIVE\n", 19);
    Parsed parsed = ParseText(text);
    EXPECT_EQ(parsed.result, 0);
    EXPECT_EQ(parsed.messages, "");
    EXPECT_EQ(parsed.config->statRefresh, 12);
    EXPECT_EQ(parsed.config->boards[0].polarity, 1);
}

TEST(ConfigReading, LastLineWithoutLineFeedIsRead) {
    Parsed parsed = ParseText("OPEN USB 0\nSTAT_REFRESH 77");
    EXPECT_EQ(parsed.result, 0);
    EXPECT_EQ(parsed.config->statRefresh, 77);
}

// Delivers its text, then fails as a disk read would.
class FailingBuffer : public std::streambuf {
public:
    explicit FailingBuffer(std::string text) : text_(std::move(text)) {
        setg(text_.data(), text_.data(), text_.data() + text_.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("read error"); }

private:
    std::string text_;
};

TEST(ConfigReading, ReadErrorIsNotTakenForTheEndOfTheFile) {
    FailingBuffer buffer("OPEN USB 0\nSTAT_REFRESH 5\n");
    std::istream input(&buffer);
    std::ostringstream messages;
    DaqConfig config;
    EXPECT_EQ(ParseConfig(input, kUserFolder, config, messages), 2);
    EXPECT_EQ(messages.str(), "The configuration file could not be read after line 2\n");
}

// The stop a user gives: a SIGTERM; on Windows a Ctrl-C at a console of
// the test's own (a child of the tests may have none, or share one with
// others), whose handler runs on a thread of the system's, so it is awaited.
void RaiseStopSignal() {
#ifdef _WIN32
    FreeConsole();
    AllocConsole();
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    for (int waited = 0; waited < 5000 && !platform::StopRequested(); waited += 10) Sleep(10);
#else
    std::raise(SIGTERM);
#endif
}

// A stop signal ends the reading of a text that keeps coming; the flag never clears, so in a child.
TEST(ConfigReadingDeathTest, StopSignalEndsTheReadingAsAParseError) {
    EXPECT_EXIT(
        {
            platform::InstallStopSignals();
            RaiseStopSignal();
            std::istringstream input("OPEN USB 0\n");
            DaqConfig config;
            std::exit(ParseConfig(input, kUserFolder, config, std::cerr));
        },
        testing::ExitedWithCode(2), "Reading the configuration file was stopped by a signal after line 0");
}

class ConfigFileOpening : public testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::path(TESSARY_BINARY_DIR) / "config_open_test";
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path folder_;
};

TEST_F(ConfigFileOpening, ExistingFileOpensAndParses) {
    const std::string path = (folder_ / "Tessary_Config.txt").string();
    std::ofstream(path) << "OPEN USB 3\n";
    std::ifstream file;
    std::ostringstream messages;
    ASSERT_EQ(OpenConfigFile(path, file, messages), kConfigOk);
    EXPECT_EQ(messages.str(), "Open configuration file " + path + "\n");
    DaqConfig config;
    EXPECT_EQ(ParseConfig(file, kUserFolder, config, messages), kConfigOk);
    EXPECT_EQ(config.boards[0].linkNumber, 3);
}

TEST_F(ConfigFileOpening, MissingFileGivesResultOneAfterTheOpenMessageOnly) {
    const std::string path = (folder_ / "absent.txt").string();
    std::ifstream file;
    std::ostringstream messages;
    EXPECT_EQ(OpenConfigFile(path, file, messages), kConfigFileNotFound);
    EXPECT_EQ(messages.str(), "Open configuration file " + path + "\n");
}

TEST_F(ConfigFileOpening, DirectoryIsNotAConfigurationFile) {
    std::ifstream file;
    std::ostringstream messages;
    EXPECT_EQ(OpenConfigFile(folder_.string(), file, messages), kConfigFileNotFound);
    EXPECT_EQ(messages.str(), "Open configuration file " + folder_.string() + "\n" + folder_.string() +
                                  " is a directory, not a configuration file\n");
}

// Exactly 16 MiB is read whole; one byte more, or a device without end, is refused.
TEST_F(ConfigFileOpening, TextBeyond16MiBIsRefused) {
    const std::string large = (folder_ / "large.txt").string();
    const struct { std::string path; uint64_t bytes; int result; } cases[] = {
        {large, kMaxConfigBytes, kConfigOk},
        {large, kMaxConfigBytes + 1, kConfigParsingError},
        {"/dev/zero", 0, kConfigParsingError},
    };
    for (const auto& c : cases) {
        if (c.bytes > 0)
            std::ofstream(c.path, std::ios::binary) << kOneBoard << std::string(c.bytes - kOneBoard.size(), ' ');
        std::ifstream file;
        std::ostringstream messages;
        ASSERT_EQ(OpenConfigFile(c.path, file, messages), kConfigOk);
        messages.str("");
        DaqConfig config;
        EXPECT_EQ(ParseConfig(file, kUserFolder, config, messages), c.result) << c.path;
        EXPECT_EQ(messages.str().substr(0, 44), c.result ? "The configuration file is larger than 16 MiB" : "");
    }
}

TEST_F(ConfigFileOpening, PathLongerThan255CharactersIsRefused) {
    const std::string path = "/" + std::string(255, 'p');
    std::ifstream file;
    std::ostringstream messages;
    EXPECT_EQ(OpenConfigFile(path, file, messages), kConfigFileNotFound);
    EXPECT_EQ(messages.str(), "Open configuration file " + path +
                                  "\nThe configuration file path is longer than 255 characters\n");
}

}  // namespace
}  // namespace tessary::test

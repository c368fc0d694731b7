// Loading calibration tables straight from the text files, and the reading
// of the files themselves: lines, numbers, rounding, odd content.
#include <gtest/gtest.h>

#include "DrelmTessaryLib.h"
#include "FlashBoard.h"
#include "TableFile.h"
#include "TableFiles.h"

using namespace drelm::tsy;
using namespace tessary_test;

namespace {

std::vector<uint16_t> Captured(int32_t link, int sign, int kind, int channel) {
    std::vector<uint16_t> entries;
    EXPECT_TRUE(drelm::emu::ReadCalibrationTable(link, sign, kind, channel, &entries));
    return entries;
}

std::string NumberedLines(int count, int first) {
    std::string text;
    for (int i = 0; i < count; ++i) text += std::to_string(first + i) + "\n";
    return text;
}

class FromFilesTest : public FlashBoardTest {
protected:
    // Loads from dir on a 32-channel board, the stdout of the load in *output.
    int32_t Load(const TableDirectory& dir, std::string* output) {
        h_ = OpenWithChip(0x27, 32);
        ::testing::internal::CaptureStdout();
        const int32_t status = DRELM_TSY_LoadCalibrationFromFiles(h_, dir.Path().c_str());
        *output = ::testing::internal::GetCapturedStdout();
        return status;
    }
    int32_t h_ = -1;
};

TEST_F(FromFilesTest, A4100LineFileSends4096WordsAndSaysSoOnce) {
    TableDirectory dir;
    dir.Write(CalibrationName(1, 0, 5), NumberedLines(4100, 0));
    std::string output;
    ASSERT_EQ(Load(dir, &output), 0);
    EXPECT_EQ(Count(output, "more than 4096 lines in a DAC config file\n"), 1u);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(LinkOf(h_)), 4096u);
    const auto table = Captured(LinkOf(h_), 1, 0, 5);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[4095], 4095);
}

TEST_F(FromFilesTest, A4096LineFileSendsEveryWordWithoutAMessage) {
    TableDirectory dir;
    dir.Write(CalibrationName(0, 1, 9), NumberedLines(4096, 7));
    std::string output;
    ASSERT_EQ(Load(dir, &output), 0);
    EXPECT_EQ(Count(output, "more than 4096"), 0u);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(LinkOf(h_)), 4096u);
    EXPECT_EQ(Captured(LinkOf(h_), 0, 1, 9)[4095], 4096 + 6);
}

TEST_F(FromFilesTest, A100LineFileSends96Words) {
    TableDirectory dir;
    dir.Write(CalibrationName(0, 0, 30), NumberedLines(100, 1));
    std::string output;
    ASSERT_EQ(Load(dir, &output), 0);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(LinkOf(h_)), 96u);
    const auto table = Captured(LinkOf(h_), 0, 0, 30);
    EXPECT_EQ(table[95], 96);
    EXPECT_EQ(table[96], 0) << "the last, short batch is not sent";
}

TEST_F(FromFilesTest, MissingFilesWarnAndLeaveTheBoardsTableAlone) {
    TableDirectory dir;
    WriteAllTables(dir, 32);
    std::filesystem::remove(dir.File(CalibrationName(0, 1, 12)));
    std::string output;
    ASSERT_EQ(Load(dir, &output), 0);
    EXPECT_EQ(output, "Warning: " + dir.Path() + "/DACUD_12_NEG.txt calib file for channel 12 does not exist\n");
    EXPECT_EQ(Captured(LinkOf(h_), 0, 1, 12), std::vector<uint16_t>(4096, 0));
    EXPECT_EQ(Captured(LinkOf(h_), 1, 1, 12).size(), 4096u);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(LinkOf(h_)), (4u * 32 - 1) * 4096);
    EXPECT_EQ(Peek(h_, 0x80E4) & 1u, 0u) << "loading from files leaves the loaded bit alone";
}

TEST_F(FromFilesTest, ValuesAreRoundedAndCutTo14Bits) {
    TableDirectory dir;
    std::string text = "2.5\n-2.5\n16384.4\n1e300\nnan\n  17.49 \nabc\n-0.5\n";
    for (int i = 8; i < 32; ++i) text += "1\n";
    dir.Write(CalibrationName(1, 1, 0), text);
    std::string output;
    ASSERT_EQ(Load(dir, &output), 0);
    const auto table = Captured(LinkOf(h_), 1, 1, 0);
    const std::vector<uint16_t> expected = {3, 0x3FFD, 0, 0, 0, 17, 17, 0x3FFF};
    EXPECT_EQ(std::vector<uint16_t>(table.begin(), table.begin() + 8), expected);
}

TEST_F(FromFilesTest, ALineLongerThan19CharactersCountsAsSeveral) {
    TableDirectory dir;
    std::string text = "0000000000000000001234\n";  // 22 characters: "0000000000000000001" then "234\n"
    for (int i = 2; i < 32; ++i) text += "9\n";
    dir.Write(CalibrationName(0, 0, 1), text);
    std::string output;
    ASSERT_EQ(Load(dir, &output), 0);
    const auto table = Captured(LinkOf(h_), 0, 0, 1);
    EXPECT_EQ(table[0], 1);
    EXPECT_EQ(table[1], 234);
    EXPECT_EQ(table[2], 9);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(LinkOf(h_)), 32u);
}

// The reader alone, on a stream.
std::vector<std::string> Lines(const std::string& content) {
    std::FILE* stream = std::tmpfile();
    EXPECT_NE(stream, nullptr);
    std::fwrite(content.data(), 1, content.size(), stream);
    std::rewind(stream);
    TableFile file;
    file.Attach(stream);
    std::vector<std::string> lines;
    while (file.NextLine()) lines.emplace_back(file.Text());
    std::fclose(stream);
    return lines;
}

TEST(TableFileReader, SplitsLinesAt19CharactersAndKeepsALastLineWithoutEnd) {
    EXPECT_EQ(Lines("1\n2\n3"), (std::vector<std::string>{"1\n", "2\n", "3"}));
    EXPECT_EQ(Lines(std::string(19, 'a') + "\n"), (std::vector<std::string>{std::string(19, 'a'), "\n"}));
    EXPECT_EQ(Lines(std::string(40, '7')),
              (std::vector<std::string>{std::string(19, '7'), std::string(19, '7'), "77"}));
    EXPECT_EQ(Lines(""), std::vector<std::string>{});
    EXPECT_EQ(Lines(std::string("12\0" "34\n5\n", 8)), (std::vector<std::string>{"12", "5\n"}));
}

TEST(TableFileReader, AFileThatCannotBeOpenedIsReported) {
    TableFile file;
    EXPECT_FALSE(file.Open("/nonexistent/tessary/DAC_Offset_NEG.txt"));
    EXPECT_FALSE(file.NextLine());
}

TEST(TableFileReader, OffsetValuesAreHexadecimalModulo65536) {
    struct Case {
        const char* text;
        std::optional<uint16_t> value;
    };
    const Case cases[] = {
        {"1234\n", 0x1234}, {"0x1234", 0x1234}, {"  ffff", 0xFFFF}, {"ABCDEF", 0xCDEF}, {"-1", 0xFFFF},
        {"+10", 0x10},      {"0x", 0},          {"", std::nullopt}, {"xyz", std::nullopt}, {"\n", std::nullopt},
        {"12 34", 0x12},    {"0xg", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseOffsetValue(c.text), c.value) << '"' << c.text << '"';
}

TEST(TableFileReader, CalibrationValuesAreRoundedHalfAwayFromZero) {
    struct Case {
        const char* text;
        std::optional<uint16_t> value;
    };
    const Case cases[] = {
        {"0.5", 1},          {"-0.5", 0x3FFF},         {"1.4999", 1},   {"16383", 16383},     {"16384", 0},
        {"2147483647", 0x3FFF}, {"2147483648", std::nullopt}, {"-2147483648", 0}, {"inf", std::nullopt},
        {"", std::nullopt},  {"  \n", std::nullopt},   {"12abc", 12},   {"1e3", 1000},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseCalibrationValue(c.text), c.value) << '"' << c.text << '"';
}

}  // namespace

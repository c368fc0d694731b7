// The emulated DataFlash chip alone, driven through the link's register
// operations as a board's flash registers present it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "DrelmComm.h"
#include "DrelmEmulator.h"
#include "TempFolder.h"

namespace {

using drelm::emu::BoardAddress;

constexpr uint32_t kControl = 0xEF2C;
constexpr uint32_t kData = 0xEF30;

struct Chip {
    uint8_t id;
    uint32_t pageSize;
    uint32_t shift;
    uint32_t pages;
};
constexpr Chip kChips[] = {{0x25, 264, 9, 4096}, {0x27, 528, 10, 8192}, {0x28, 1056, 11, 8192}};

void PrintTo(const Chip& chip, std::ostream* out) { *out << "chip 0x" << std::hex << int{chip.id}; }

class ChipTest : public ::testing::Test {
protected:
    void SetUp() override {
        drelm::emu::ResetEmulator();
        drelm::emu::UseVirtualClock(true);
    }
    void TearDown() override {
        if (link_ >= 0) LinkClose(link_);
        drelm::emu::UseVirtualClock(false);
        drelm::emu::ResetEmulator();
    }

    void Open(uint8_t id, const std::string& file = "", int32_t channels = 64) {
        drelm::emu::FlashConfig flash;
        flash.deviceId = id;
        flash.file = file;
        drelm::emu::ConfigureFlash(BoardAddress{0, 0, "", 0, 0}, flash);
        drelm::emu::BoardConfig config;
        config.channels = channels;
        drelm::emu::ConfigureBoard(BoardAddress{0, 0, "", 0, 0}, config);
        const int32_t number = 0;
        ASSERT_EQ(LinkOpen(0, &number, 0, 0, &link_), 0);
    }

    void Select() { ASSERT_EQ(LinkWriteRegister(link_, kControl, 2), 0); }
    void Deselect() { ASSERT_EQ(LinkWriteRegister(link_, kControl, 3), 0); }
    void Send(std::initializer_list<uint32_t> bytes) {
        for (uint32_t b : bytes) ASSERT_EQ(LinkWriteRegister(link_, kData, b), 0);
    }
    void SendAddress(uint32_t field) { Send({(field >> 16) & 0xFF, (field >> 8) & 0xFF, field & 0xFF}); }
    uint8_t Receive() {
        uint32_t value = 0x55555555;
        EXPECT_EQ(LinkReadRegister(link_, kData, &value), 0);
        EXPECT_EQ(value & ~0xFFu, 0u) << "one byte in bits 0-7";
        return static_cast<uint8_t>(value);
    }
    void Command(uint8_t opcode, uint32_t field) {
        Select();
        Send({opcode});
        SendAddress(field);
        Deselect();
    }
    uint8_t Status() {
        Select();
        Send({0xD7});
        const uint8_t status = Receive();
        Deselect();
        return status;
    }
    std::vector<uint8_t> Array(uint32_t address, uint32_t count) {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(drelm::emu::ReadFlash(link_, address, count, &bytes));
        return bytes;
    }
    std::vector<uint8_t> ContinuousRead(uint32_t field, uint32_t count) {
        Select();
        Send({0x03});
        SendAddress(field);
        std::vector<uint8_t> bytes;
        for (uint32_t i = 0; i < count; ++i) bytes.push_back(Receive());
        Deselect();
        return bytes;
    }
    static std::vector<uint8_t> Pattern(size_t count, uint8_t seed) {
        std::vector<uint8_t> bytes(count);
        for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + 3 * i + i / 256);
        return bytes;
    }

    int32_t link_ = -1;
    emulator_test::TempFolder folder_;
};

class EachChip : public ChipTest, public ::testing::WithParamInterface<Chip> {};

TEST_P(EachChip, IdentifiesItselfAndReportsItsPageSize) {
    Open(GetParam().id);
    Select();
    Send({0x9F});
    EXPECT_EQ(Receive(), 0x1F);
    EXPECT_EQ(Receive(), GetParam().id);
    Deselect();
    uint32_t pageSize = 0;
    EXPECT_TRUE(drelm::emu::FlashPageSize(link_, &pageSize));
    EXPECT_EQ(pageSize, GetParam().pageSize);
    EXPECT_EQ(Status() & 0x80, 0x80) << "ready when idle";
}

TEST_P(EachChip, EraseMakesThePageReadFFAndKeepsTheChipBusyForAWhile) {
    Open(GetParam().id);
    const uint32_t ps = GetParam().pageSize;
    ASSERT_TRUE(drelm::emu::WriteFlash(link_, 3 * ps, Pattern(3 * ps, 1)));
    Command(0x81, 4u << GetParam().shift);
    EXPECT_EQ(Status() & 0x80, 0) << "busy right after the erase";
    drelm::emu::AdvanceClock(50'000'000);
    EXPECT_EQ(Status() & 0x80, 0x80);
    const auto pattern = Pattern(3 * ps, 1);
    EXPECT_EQ(Array(3 * ps, ps), std::vector<uint8_t>(pattern.begin(), pattern.begin() + ps));
    EXPECT_EQ(Array(4 * ps, ps), std::vector<uint8_t>(ps, 0xFF));
    EXPECT_EQ(Array(5 * ps, ps), std::vector<uint8_t>(pattern.begin() + 2 * ps, pattern.end()));
}

TEST_P(EachChip, BufferWriteThenBufferToPageMergesIntoThePage) {
    Open(GetParam().id);
    const uint32_t ps = GetParam().pageSize;
    const auto before = Pattern(ps, 40);
    ASSERT_TRUE(drelm::emu::WriteFlash(link_, 6 * ps, before));
    Command(0x53, 6u << GetParam().shift);
    drelm::emu::AdvanceClock(50'000'000);
    Select();
    Send({0x84});
    SendAddress(ps - 2);
    Send({0xA1, 0xA2, 0xA3});  // the buffer wraps at its end
    Deselect();
    Command(0x83, 6u << GetParam().shift);
    EXPECT_EQ(Status() & 0x80, 0);
    drelm::emu::AdvanceClock(50'000'000);
    auto expected = before;
    expected[ps - 2] = 0xA1;
    expected[ps - 1] = 0xA2;
    expected[0] = 0xA3;
    EXPECT_EQ(Array(6 * ps, ps), expected);
}

TEST_P(EachChip, ProgramThroughBufferReplacesThePage) {
    Open(GetParam().id);
    const uint32_t ps = GetParam().pageSize;
    const auto data = Pattern(ps, 9);
    Select();
    Send({0x82});
    SendAddress(11u << GetParam().shift);
    for (uint8_t b : data) Send({b});
    Deselect();
    EXPECT_EQ(Status() & 0x80, 0);
    drelm::emu::AdvanceClock(50'000'000);
    EXPECT_EQ(Array(11 * ps, ps), data);
}

TEST_P(EachChip, ContinuousReadRunsAcrossPageEndsAndWrapsAtTheChipsEnd) {
    Open(GetParam().id);
    const uint32_t ps = GetParam().pageSize;
    const uint32_t last = GetParam().pages - 1;
    ASSERT_TRUE(drelm::emu::WriteFlash(link_, 2 * ps, Pattern(2 * ps, 5)));
    const auto across = ContinuousRead((2u << GetParam().shift) | (ps - 3), 10);
    EXPECT_EQ(across, Array(2 * ps + ps - 3, 10));
    ASSERT_TRUE(drelm::emu::WriteFlash(link_, last * ps + ps - 2, {0x11, 0x22, 0x33}));
    EXPECT_EQ(ContinuousRead((last << GetParam().shift) | (ps - 2), 3), (std::vector<uint8_t>{0x11, 0x22, 0x33}));
    EXPECT_EQ(Array(0, 1), std::vector<uint8_t>{0x33}) << "the chip's end wraps to its start";
}

INSTANTIATE_TEST_SUITE_P(PageSizes, EachChip, ::testing::ValuesIn(kChips));

TEST_F(ChipTest, PageNumbersWrapAtThePageCount) {
    // Only the smaller chips leave room in the 24-bit field for a page number
    // beyond their count.
    for (const Chip& chip : {kChips[0], kChips[1]}) {
        drelm::emu::ResetEmulator();
        Open(chip.id);
        ASSERT_TRUE(drelm::emu::WriteFlash(link_, 7 * chip.pageSize, Pattern(chip.pageSize, 3)));
        EXPECT_EQ(ContinuousRead((chip.pages + 7) << chip.shift, 8), Array(7 * chip.pageSize, 8));
        LinkClose(link_);
        link_ = -1;
    }
}

TEST_F(ChipTest, ABusyChipIgnoresArrayCommandsButAnswersStatus) {
    Open(0x27);
    ASSERT_TRUE(drelm::emu::WriteFlash(link_, 9 * 528, Pattern(528, 2)));
    Command(0x81, 8u << 10);
    Command(0x81, 9u << 10);  // ignored: the chip is still erasing page 8
    drelm::emu::AdvanceClock(50'000'000);
    EXPECT_EQ(Array(9 * 528, 528), Pattern(528, 2));
}

TEST_F(ChipTest, DataWithoutTheChipSelectedIsIgnored) {
    Open(0x27);
    ASSERT_TRUE(drelm::emu::WriteFlash(link_, 0, Pattern(528, 8)));
    Send({0x81, 0x00, 0x00, 0x00});
    uint32_t value = 0;
    ASSERT_EQ(LinkReadRegister(link_, kData, &value), 0);
    EXPECT_EQ(value, 0xFFu);
    Select();
    Deselect();
    drelm::emu::AdvanceClock(50'000'000);
    EXPECT_EQ(Array(0, 528), Pattern(528, 8));
}

TEST_F(ChipTest, ANewBoardCarriesFactoryTables) {
    Open(0x27);
    const auto offsets = Array(7935 * 528, 32);
    EXPECT_NE(offsets, std::vector<uint8_t>(32, 0xFF));
    const auto table = Array(8064 * 528, 528);  // POS DACDU channel 0
    const uint32_t start = table[0] | (table[1] & 0x3F) << 8;
    EXPECT_GT(start, 0u);
    EXPECT_EQ(table[1] & 0xC0, 0);
    EXPECT_EQ(table[2], 0);
    EXPECT_EQ(std::vector<uint8_t>(table.begin() + 515, table.end()), std::vector<uint8_t>(13, 0));
}

TEST_F(ChipTest, ContentsPersistInTheBoardsFile) {
    ASSERT_FALSE(folder_.path().empty());
    const std::string file = folder_.File("persist.bin");
    Open(0x25, file);
    EXPECT_EQ(std::filesystem::file_size(file), 264u * 4096u);
    const auto factory = Array(0, 264 * 4096);
    Select();
    Send({0x82});
    SendAddress(100u << 9);
    for (uint8_t b : Pattern(264, 77)) Send({b});
    Deselect();
    drelm::emu::AdvanceClock(50'000'000);
    LinkClose(link_);
    link_ = -1;

    drelm::emu::ResetEmulator();
    Open(0x25, file);
    EXPECT_EQ(Array(100 * 264, 264), Pattern(264, 77));
    EXPECT_EQ(Array(0, 264), std::vector<uint8_t>(factory.begin(), factory.begin() + 264));
}

std::string Contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A file of another size may be another chip's image or tables uploaded for
// another board: the board reports it, runs from memory and never writes it.
TEST_F(ChipTest, AFileOfAnotherSizeIsLeftUntouched) {
    ASSERT_FALSE(folder_.path().empty());
    const std::string file = folder_.File("wrong_size.bin");
    const std::string kept = "not a flash image";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << kept;
    testing::internal::CaptureStderr();
    Open(0x27, file);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find(file), std::string::npos) << message;
    EXPECT_NE(message.find(std::to_string(kept.size())), std::string::npos) << message;
    EXPECT_NE(message.find(std::to_string(528u * 8192u)), std::string::npos) << message;
    EXPECT_NE(Array(7935 * 528, 32), std::vector<uint8_t>(32, 0xFF)) << "factory tables in memory";
    ASSERT_TRUE(drelm::emu::WriteFlash(link_, 0, Pattern(528, 9)));
    Command(0x81, 1u << 10);  // page erase through the link
    drelm::emu::AdvanceClock(1'000'000);
    EXPECT_EQ(Array(0, 528), Pattern(528, 9)) << "the chip works from memory";
    EXPECT_EQ(Contents(file), kept);
}

TEST_F(ChipTest, AnEmptyFileGetsTheFactoryImage) {
    ASSERT_FALSE(folder_.path().empty());
    const std::string file = folder_.File("empty.bin");
    std::ofstream(file, std::ios::binary | std::ios::trunc).flush();
    Open(0x25, file);
    EXPECT_EQ(std::filesystem::file_size(file), 264u * 4096u);
    const std::string image = Contents(file);
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.end()), Array(0, 264 * 4096));
}

// The calibration load registers and the loaded bit.

std::vector<uint16_t> Table(int32_t link, int sign, int kind, int channel) {
    std::vector<uint16_t> entries;
    EXPECT_TRUE(drelm::emu::ReadCalibrationTable(link, sign, kind, channel, &entries));
    return entries;
}

TEST_F(ChipTest, LoadWordsFillTheChannelsTables) {
    Open(0x27);
    struct Word {
        uint32_t group;
        uint32_t entry, kind, sign, channelMod16, value;
        int channel;
    };
    const Word words[] = {
        {0, 0, 0, 0, 0, 1234, 0},     {0, 4095, 1, 1, 7, 0x3FFF, 7},  {1, 17, 0, 1, 8, 99, 8},
        {7, 2, 1, 0, 15, 5000, 63},   {6, 3, 0, 0, 0, 42, 48},
    };
    for (const Word& w : words) {
        const uint32_t word = w.entry | w.kind << 12 | w.sign << 13 | w.channelMod16 << 14 | w.value << 18;
        ASSERT_EQ(LinkWriteRegister(link_, 0x1080 | w.group << 8, word), 0);
    }
    for (const Word& w : words)
        EXPECT_EQ(Table(link_, static_cast<int>(w.sign), static_cast<int>(w.kind), w.channel)[w.entry], w.value)
            << "channel " << w.channel;
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(link_), 5u);
    std::vector<uint16_t> entries;
    EXPECT_FALSE(drelm::emu::ReadCalibrationTable(link_, 0, 0, 64, &entries));
    EXPECT_FALSE(drelm::emu::ReadCalibrationTable(link_, 2, 0, 0, &entries));
}

TEST_F(ChipTest, AWordForAChannelOutsideTheGroupIsDropped) {
    Open(0x27, "", 32);
    // Group 0 holds channels 0-7; channel bits 9 belong to group 1.
    ASSERT_EQ(LinkWriteRegister(link_, 0x1080, 5u | 9u << 14 | 100u << 18), 0);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(link_), 0u);
    EXPECT_EQ(Table(link_, 0, 0, 9)[5], 0);
    EXPECT_EQ(Table(link_, 0, 0, 1)[5], 0);
}

TEST_F(ChipTest, TheLoadedBitReadsBackAndStartsClear) {
    Open(0x27);
    uint32_t value = 0xFFFFFFFF;
    ASSERT_EQ(LinkReadRegister(link_, 0x80E4, &value), 0);
    EXPECT_EQ(value & 1u, 0u);
    ASSERT_EQ(LinkWriteRegister(link_, 0x80E4, 1), 0);
    ASSERT_EQ(LinkReadRegister(link_, 0x80E4, &value), 0);
    EXPECT_EQ(value & 1u, 1u);
}

}  // namespace

// The offset table: upload from its two files, load into the DC-offset
// registers.
#include <gtest/gtest.h>

#include "DrelmTessaryLib.h"
#include "FlashBoard.h"
#include "FlashTraffic.h"
#include "TableFiles.h"

using namespace drelm::tsy;
using namespace tessary_test;

namespace {

constexpr uint32_t kOffsetAddress = 0x3FEDF0;
const std::vector<std::string> kNeg = {"7F10", "0x7f20", "7F30", "7F40", "7F50", "7F60", "7F70", "7F80"};
const std::vector<std::string> kPos = {"8110", "8120", "8130", "8140", "8150", "8160", "8170", "8180"};

uint32_t DcOffset(int g) { return 0x1098u | (static_cast<uint32_t>(g) << 8); }

class OffsetTableTest : public FlashBoardTest, public ::testing::WithParamInterface<ChipCase> {};

TEST_P(OffsetTableTest, UploadStoresLittleEndianPairsAndLoadWritesThemPerGroup) {
    const int32_t h = OpenWithChip(GetParam().deviceId);
    TableDirectory dir;
    dir.WriteLines("DAC_Offset_NEG.txt", kNeg);
    dir.WriteLines("DAC_Offset_POS.txt", kPos);
    ASSERT_EQ(DRELM_TSY_UploadOffsetToFlash(h, dir.Path().c_str()), 0);
    const auto stored = FlashBytes(h, kOffsetAddress, 528);
    for (int g = 0; g < 8; ++g) {
        EXPECT_EQ(stored[4 * g], 0x10 * (g + 1)) << g;
        EXPECT_EQ(stored[4 * g + 1], 0x7F) << g;
        EXPECT_EQ(stored[4 * g + 2], 0x10 * (g + 1)) << g;
        EXPECT_EQ(stored[4 * g + 3], 0x81) << g;
    }
    EXPECT_EQ(std::vector<uint8_t>(stored.begin() + 32, stored.end()), std::vector<uint8_t>(496, 0xFF))
        << "the rest of the offset page reads as erased";

    const size_t sleepsBefore = SleepLog().size();
    ASSERT_EQ(DRELM_TSY_LoadOffset(h), 0);
    for (int g = 0; g < 8; ++g)
        EXPECT_EQ(Peek(h, DcOffset(g)), (0x8100u + 0x10u * (g + 1)) << 16 | (0x7F00u + 0x10u * (g + 1))) << g;
    const auto sleeps = SleepLog();
    EXPECT_EQ(std::vector<uint32_t>(sleeps.begin() + static_cast<std::ptrdiff_t>(sleepsBefore), sleeps.end()),
              std::vector<uint32_t>(8, 10));
}

TEST_P(OffsetTableTest, UploadLeavesTheNeighbouringCalibrationTablesAlone) {
    const int32_t h = OpenWithChip(GetParam().deviceId);
    const auto before = FlashBytes(h, 7934 * 528, 528);
    const auto after = FlashBytes(h, 7936 * 528, 528 * 256);
    TableDirectory dir;
    dir.WriteLines("DAC_Offset_NEG.txt", kNeg);
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(DRELM_TSY_UploadOffsetToFlash(h, dir.Path().c_str()), 0);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("DAC_Offset_POS.txt offset file does not exist"),
              std::string::npos);
    EXPECT_EQ(FlashBytes(h, 7934 * 528, 528), before);
    EXPECT_EQ(FlashBytes(h, 7936 * 528, 528 * 256), after);
}

INSTANTIATE_TEST_SUITE_P(EachPageSize, OffsetTableTest, ::testing::ValuesIn(kChips));

using OffsetEdgeTest = FlashBoardTest;

TEST_F(OffsetEdgeTest, UploadOnA528ByteChipErasesTheOffsetPageThenMergesThirtyTwoBytes) {
    const int32_t h = OpenWithChip(0x27);
    TableDirectory dir;
    dir.WriteLines("DAC_Offset_NEG.txt", kNeg);
    dir.WriteLines("DAC_Offset_POS.txt", kPos);
    Record();
    ASSERT_EQ(DRELM_TSY_UploadOffsetToFlash(h, dir.Path().c_str()), 0);
    std::vector<uint8_t> image(32);
    for (int g = 0; g < 8; ++g) {
        image[4 * g] = static_cast<uint8_t>(0x10 * (g + 1));
        image[4 * g + 1] = 0x7F;
        image[4 * g + 2] = static_cast<uint8_t>(0x10 * (g + 1));
        image[4 * g + 3] = 0x81;
    }
    EXPECT_TRUE(TrafficIs(OneStatusReadPerWait(Traffic()),
                          Cat({Opcode(0x9F), {Read(kFlashData), Read(kFlashData, 0x27)}, Release(),
                               PageCommand(0x81, 0x1EFF, 10), MergeChunk(0x1EFF, 0, image.data(), 32, 10)})));
}

TEST_F(OffsetEdgeTest, AMissingNegFileWarnsAndLeavesTheNegHalvesZero) {
    const int32_t h = OpenWithChip(0x27);
    TableDirectory dir;
    dir.WriteLines("DAC_Offset_POS.txt", kPos);
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(DRELM_TSY_UploadOffsetToFlash(h, dir.Path().c_str()), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Warning: " + dir.Path() +
                  "/DAC_Offset_NEG.txt offset file does not exist, related offsets will be set to 0\n");
    ASSERT_EQ(DRELM_TSY_LoadOffset(h), 0);
    for (int g = 0; g < 8; ++g) EXPECT_EQ(Peek(h, DcOffset(g)), (0x8100u + 0x10u * (g + 1)) << 16) << g;
}

TEST_F(OffsetEdgeTest, ShortFilesLeaveZerosAndLinesWithoutANumberRepeatTheOneBefore) {
    const int32_t h = OpenWithChip(0x27);
    TableDirectory dir;
    dir.WriteLines("DAC_Offset_NEG.txt", {"junk", "12", "", "-1", "0x123456"});
    dir.WriteLines("DAC_Offset_POS.txt", {"ABCD", "EF", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
    ASSERT_EQ(DRELM_TSY_UploadOffsetToFlash(h, dir.Path().c_str()), 0);
    ASSERT_EQ(DRELM_TSY_LoadOffset(h), 0);
    const uint16_t neg[8] = {0, 0x12, 0x12, 0xFFFF, 0x3456, 0, 0, 0};
    const uint16_t pos[8] = {0xABCD, 0xEF, 1, 2, 3, 4, 5, 6};
    for (int g = 0; g < 8; ++g) EXPECT_EQ(Peek(h, DcOffset(g)), uint32_t{pos[g]} << 16 | neg[g]) << g;
}

TEST_F(OffsetEdgeTest, A32ChannelBoardLoadsFourGroups) {
    const int32_t h = OpenWithChip(0x27, 32);
    Record();
    ASSERT_EQ(DRELM_TSY_LoadOffset(h), 0);
    std::vector<uint32_t> written;
    for (const Access& a : RegisterAccesses(Traffic()))
        if (a.op == Op::WriteRegister && a.address != kFlashControl && a.address != kFlashData)
            written.push_back(a.address);
    EXPECT_EQ(written, (std::vector<uint32_t>{0x1098, 0x1198, 0x1298, 0x1398}));
}

TEST_F(OffsetEdgeTest, AFailedRegisterWriteStopsTheLoad) {
    const int32_t h = OpenWithChip(0x27);
    Poke(h, DcOffset(3), 0x11112222);
    drelm::emu::Fault fault;
    fault.op = Op::WriteRegister;
    fault.address = DcOffset(2);
    drelm::emu::AddFault(fault);
    EXPECT_EQ(DRELM_TSY_LoadOffset(h), DRELM_TSY_GenericError);
    EXPECT_EQ(Peek(h, DcOffset(3)), 0x11112222u) << "later groups keep their offsets";
}

TEST_F(OffsetEdgeTest, AnUnknownChipIsAnErrorAndNothingIsWritten) {
    const int32_t h = OpenWithChip(0x26);
    TableDirectory dir;
    dir.WriteLines("DAC_Offset_NEG.txt", kNeg);
    Poke(h, DcOffset(0), 0x12345678);
    Record();
    EXPECT_EQ(DRELM_TSY_UploadOffsetToFlash(h, dir.Path().c_str()), DRELM_TSY_GenericError);
    EXPECT_EQ(DRELM_TSY_LoadOffset(h), DRELM_TSY_GenericError);
    for (const Access& a : RegisterAccesses(Traffic())) {
        if (a.op == Op::WriteRegister) {
            EXPECT_TRUE(a.address == kFlashControl || (a.address == kFlashData && a.value == 0x9F)) << Describe(a);
        }
    }
    EXPECT_EQ(Peek(h, DcOffset(0)), 0x12345678u);
}

TEST_F(OffsetEdgeTest, AnUnreadableFlashIsAnErrorAndNoOffsetIsWritten) {
    const int32_t h = OpenWithChip(0x27);
    Poke(h, DcOffset(0), 0x12345678);
    drelm::emu::Fault fault;
    fault.op = Op::ReadRegisters;
    drelm::emu::AddFault(fault);
    EXPECT_EQ(DRELM_TSY_LoadOffset(h), DRELM_TSY_GenericError);
    EXPECT_EQ(Peek(h, DcOffset(0)), 0x12345678u);
}

TEST_F(OffsetEdgeTest, BadHandlesAndAMissingDirectory) {
    const int32_t h = OpenWithChip(0x27);
    for (int32_t bad : {-1, 100, 1000}) {
        EXPECT_EQ(DRELM_TSY_UploadOffsetToFlash(bad, "."), -5);
        EXPECT_EQ(DRELM_TSY_LoadOffset(bad), -5);
    }
    EXPECT_EQ(DRELM_TSY_UploadOffsetToFlash(h, nullptr), DRELM_TSY_InvalidParam);
    ASSERT_EQ(DRELM_TSY_CloseTessary(h), 0);
    EXPECT_EQ(DRELM_TSY_LoadOffset(h), -5);
}

TEST_F(OffsetEdgeTest, ANewBoardLoadsItsFactoryOffsets) {
    const int32_t h = OpenWithChip(0x27);
    ASSERT_EQ(DRELM_TSY_LoadOffset(h), 0);
    const auto stored = FlashBytes(h, kOffsetAddress, 32);
    for (int g = 0; g < 8; ++g) {
        const uint32_t word = stored[4 * g] | stored[4 * g + 1] << 8 | stored[4 * g + 2] << 16 |
                              static_cast<uint32_t>(stored[4 * g + 3]) << 24;
        EXPECT_EQ(Peek(h, DcOffset(g)), word);
        EXPECT_NE(word, 0xFFFFFFFFu) << "factory offsets, not an erased page";
        EXPECT_NE(word, 0u);
    }
}

}  // namespace

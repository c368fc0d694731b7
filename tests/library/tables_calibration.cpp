// The calibration tables: upload from the text files into the flash, load
// from the flash into the board, compared with what the board captured.
#include <gtest/gtest.h>

#include "DrelmTessaryLib.h"
#include "FlashBoard.h"
#include "FlashTraffic.h"
#include "TableFiles.h"

using namespace drelm::tsy;
using namespace tessary_test;

namespace {

constexpr uint32_t kLoaded = 0x80E4;

std::vector<uint16_t> Captured(int32_t link, int sign, int kind, int channel) {
    std::vector<uint16_t> entries;
    EXPECT_TRUE(drelm::emu::ReadCalibrationTable(link, sign, kind, channel, &entries));
    return entries;
}

std::vector<uint16_t> AsEntries(const std::vector<int>& values) {
    std::vector<uint16_t> out;
    for (int v : values) out.push_back(static_cast<uint16_t>(v & 0x3FFF));
    return out;
}

// A table padded to 4096 entries with its last value.
std::vector<int> Padded(std::vector<int> values) {
    const int last = values.back();
    values.resize(4096, last);
    return values;
}

uint32_t CalibrationAddress(int sign, int kind, int channel) {
    return (7936u + 128u * sign + 64u * kind + channel) * 528u;
}

struct RoundTrip {
    ChipCase chip;
    int32_t channels;
};

void PrintTo(const RoundTrip& c, std::ostream* out) {
    *out << "chip 0x" << std::hex << int{c.chip.deviceId} << std::dec << ", " << c.channels << " channels";
}

class CalibrationRoundTripTest : public FlashBoardTest, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(CalibrationRoundTripTest, UploadThenLoadGivesTheFilesTables) {
    const int32_t channels = GetParam().channels;
    const int32_t h = OpenWithChip(GetParam().chip.deviceId, channels);
    TableDirectory dir;
    WriteAllTables(dir, channels);
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(DRELM_TSY_UploadCalibToFlash(h, dir.Path().c_str()), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(DRELM_TSY_LoadCalibration(h), 0);
    const int32_t link = LinkOf(h);
    for (int sign = 0; sign < 2; ++sign)
        for (int kind = 0; kind < 2; ++kind)
            for (int ch = 0; ch < channels; ++ch)
                ASSERT_EQ(Captured(link, sign, kind, ch), AsEntries(StaircaseTable(sign, kind, ch)))
                    << "sign " << sign << " kind " << kind << " channel " << ch;
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(link), 4u * channels * 4096u);
    EXPECT_EQ(Peek(h, kLoaded) & 1u, 1u);
}

INSTANTIATE_TEST_SUITE_P(EachChipAndForm, CalibrationRoundTripTest,
                         ::testing::Values(RoundTrip{kChips[0], 64}, RoundTrip{kChips[1], 64},
                                           RoundTrip{kChips[2], 64}, RoundTrip{kChips[1], 32}));

using CalibrationTest = FlashBoardTest;

TEST_F(CalibrationTest, ARisingPosTableFollowsByOneCountPerEntry) {
    const int32_t h = OpenWithChip(0x27, 32);
    TableDirectory dir;
    dir.WriteTable(CalibrationName(1, 0, 3), Padded({100, 100, 101, 103}));
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(DRELM_TSY_UploadCalibToFlash(h, dir.Path().c_str()), 0);
    ::testing::internal::GetCapturedStdout();
    const auto page = FlashBytes(h, CalibrationAddress(1, 0, 3), 528);
    EXPECT_EQ(page[0], 100);
    EXPECT_EQ(page[1], 0);
    EXPECT_EQ(page[2], 0);
    EXPECT_EQ(page[3] & 0x0F, 0b1100) << "step bits 0, 0, 1, 1";
    ASSERT_EQ(DRELM_TSY_LoadCalibration(h), 0);
    const auto loaded = Captured(LinkOf(h), 1, 0, 3);
    EXPECT_EQ(std::vector<uint16_t>(loaded.begin(), loaded.begin() + 6),
              (std::vector<uint16_t>{100, 100, 101, 102, 103, 103}));
    EXPECT_EQ(loaded[4095], 103);
}

TEST_F(CalibrationTest, ARisingNegTableStaysAtItsFirstValue) {
    const int32_t h = OpenWithChip(0x27, 32);
    TableDirectory dir;
    std::vector<int> rising(4096);
    for (int i = 0; i < 4096; ++i) rising[i] = 2000 + i;
    dir.WriteTable(CalibrationName(0, 1, 31), rising);
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(DRELM_TSY_UploadCalibToFlash(h, dir.Path().c_str()), 0);
    ::testing::internal::GetCapturedStdout();
    const auto page = FlashBytes(h, CalibrationAddress(0, 1, 31), 528);
    EXPECT_EQ(std::vector<uint8_t>(page.begin() + 3, page.end()), std::vector<uint8_t>(525, 0));
    ASSERT_EQ(DRELM_TSY_LoadCalibration(h), 0);
    EXPECT_EQ(Captured(LinkOf(h), 0, 1, 31), std::vector<uint16_t>(4096, 2000));
}

TEST_F(CalibrationTest, AFallingTableFasterThanOneCountLagsBehind) {
    const int32_t h = OpenWithChip(0x28, 32);
    TableDirectory dir;
    dir.WriteTable(CalibrationName(0, 0, 0), Padded({5000, 4990, 4989, 4989, 5100}));
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(DRELM_TSY_UploadCalibToFlash(h, dir.Path().c_str()), 0);
    ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(DRELM_TSY_LoadCalibration(h), 0);
    const auto loaded = Captured(LinkOf(h), 0, 0, 0);
    EXPECT_EQ(std::vector<uint16_t>(loaded.begin(), loaded.begin() + 6),
              (std::vector<uint16_t>{5000, 4999, 4998, 4997, 4997, 4997}));
}

TEST_F(CalibrationTest, MissingFilesWarnAndStoreTablesOfZeros) {
    const int32_t h = OpenWithChip(0x27, 32);
    TableDirectory dir;
    WriteAllTables(dir, 32);
    std::filesystem::remove(dir.File(CalibrationName(1, 1, 7)));
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(DRELM_TSY_UploadCalibToFlash(h, dir.Path().c_str()), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Warning: " + dir.Path() +
                  "/DACUD_7_POS.txt calib file for channel 7 does not exist, related calibrations will be set to 0\n");
    EXPECT_EQ(FlashBytes(h, CalibrationAddress(1, 1, 7), 528), std::vector<uint8_t>(528, 0));
    ASSERT_EQ(DRELM_TSY_LoadCalibration(h), 0);
    EXPECT_EQ(Captured(LinkOf(h), 1, 1, 7), std::vector<uint16_t>(4096, 0));
    EXPECT_EQ(Captured(LinkOf(h), 1, 1, 6), AsEntries(StaircaseTable(1, 1, 6)));
}

TEST_F(CalibrationTest, LoadSendsBatchesOf32ToTheGroupsLoadRegister) {
    const int32_t h = OpenWithChip(0x27, 32);
    Record();
    ASSERT_EQ(DRELM_TSY_LoadCalibration(h), 0);
    std::vector<Access> lists;
    for (const Access& a : Traffic())
        if (a.op == Op::WriteRegisters) lists.push_back(a);
    ASSERT_EQ(lists.size(), 4u * 32 * 4096);
    // Table order: NEG DACDU, NEG DACUD, POS DACDU, POS DACUD; channels in order.
    for (size_t t = 0; t < 4 * 32; ++t) {
        const int sign = static_cast<int>(t / 64);
        const int kind = static_cast<int>((t / 32) % 2);
        const int ch = static_cast<int>(t % 32);
        for (uint32_t i : {0u, 31u, 32u, 4095u}) {
            const Access& a = lists[t * 4096 + i];
            EXPECT_EQ(a.address, 0x1080u | (static_cast<uint32_t>(ch / 8) << 8));
            EXPECT_EQ(a.value & 0x3FFFFu, i | kind << 12 | sign << 13 | (ch % 16) << 14) << t << " " << i;
        }
    }
    // Every list write carries exactly 32 entries.
    size_t badBatches = 0;
    for (size_t k = 0; k < lists.size(); ++k)
        if (lists[k].listCount != 32 || lists[k].listIndex != k % 32) ++badBatches;
    EXPECT_EQ(badBatches, 0u);
    const auto traffic = RegisterAccesses(Traffic());
    EXPECT_EQ(traffic.front().address, kLoaded);
    EXPECT_EQ(traffic.back().address, kLoaded);
    EXPECT_EQ(traffic.back().value & 1u, 1u);
}

TEST_F(CalibrationTest, ABoardThatHasItsCalibrationLoadsNothing) {
    const int32_t h = OpenWithChip(0x27);
    Poke(h, kLoaded, 1);
    Record();
    ASSERT_EQ(DRELM_TSY_LoadCalibration(h), 0);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kLoaded, 1)}));
}

TEST_F(CalibrationTest, ANewBoardLoadsPlausibleFactoryTables) {
    const int32_t h = OpenWithChip(0x27);
    ASSERT_EQ(DRELM_TSY_LoadCalibration(h), 0);
    for (int sign = 0; sign < 2; ++sign)
        for (int kind = 0; kind < 2; ++kind)
            for (int ch : {0, 17, 63}) {
                const auto t = Captured(LinkOf(h), sign, kind, ch);
                EXPECT_NE(t.front(), t.back()) << "a calibration curve, not a constant";
                for (int i = 1; i < 4096; ++i) {
                    const int step = sign ? t[i] - t[i - 1] : t[i - 1] - t[i];
                    ASSERT_TRUE(step == 0 || step == 1) << sign << kind << ch << " entry " << i;
                }
            }
}

TEST_F(CalibrationTest, AnUnknownChipIsAnErrorAndNothingIsLoaded) {
    const int32_t h = OpenWithChip(0x26);
    TableDirectory dir;
    WriteAllTables(dir, 1);
    EXPECT_EQ(DRELM_TSY_UploadCalibToFlash(h, dir.Path().c_str()), DRELM_TSY_GenericError);
    Record();
    EXPECT_EQ(DRELM_TSY_LoadCalibration(h), DRELM_TSY_GenericError);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(LinkOf(h)), 0u);
    EXPECT_EQ(Peek(h, kLoaded) & 1u, 0u);
    for (const Access& a : Traffic()) EXPECT_NE(a.op, Op::WriteRegisters) << Describe(a);
}

TEST_F(CalibrationTest, AnUnreadableFlashIsAnErrorAndTheBitStaysClear) {
    const int32_t h = OpenWithChip(0x27);
    drelm::emu::Fault fault;
    fault.op = Op::ReadRegisters;
    drelm::emu::AddFault(fault);
    EXPECT_EQ(DRELM_TSY_LoadCalibration(h), DRELM_TSY_GenericError);
    EXPECT_EQ(drelm::emu::CalibrationWordsLoaded(LinkOf(h)), 0u);
    EXPECT_EQ(Peek(h, kLoaded) & 1u, 0u);
}

TEST_F(CalibrationTest, AFailedLoadWriteIsReportedAndTheBitStaysClear) {
    const int32_t h = OpenWithChip(0x27);
    drelm::emu::Fault fault;
    fault.op = Op::WriteRegisters;
    fault.address = 0x1380;
    drelm::emu::AddFault(fault);
    EXPECT_EQ(DRELM_TSY_LoadCalibration(h), DRELM_TSY_WriteFailed);
    EXPECT_EQ(Peek(h, kLoaded) & 1u, 0u);
}

TEST_F(CalibrationTest, TheLoadedBitCannotBeReadOrSet) {
    const int32_t h = OpenWithChip(0x27, 32);
    drelm::emu::Fault fault;
    fault.op = Op::ReadRegister;
    fault.address = kLoaded;
    fault.count = 1;
    const int id = drelm::emu::AddFault(fault);
    Record();
    EXPECT_EQ(DRELM_TSY_LoadCalibration(h), DRELM_TSY_ReadFailed);
    EXPECT_EQ(Traffic().size(), 1u);
    drelm::emu::RemoveFault(id);
    fault.op = Op::WriteRegister;
    drelm::emu::AddFault(fault);
    EXPECT_EQ(DRELM_TSY_LoadCalibration(h), DRELM_TSY_WriteFailed);
}

TEST_F(CalibrationTest, AChipThatNeverGetsReadyFailsTheUpload) {
    const int32_t h = OpenWithChip(0x27, 32);
    drelm::emu::Fault fault;
    fault.op = Op::ReadRegister;
    fault.address = kFlashData;
    fault.firstCall = 3;  // the identification reads pass
    drelm::emu::AddFault(fault);
    TableDirectory dir;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(DRELM_TSY_UploadCalibToFlash(h, dir.Path().c_str()), DRELM_TSY_Timeout);
    ::testing::internal::GetCapturedStdout();
}

TEST_F(CalibrationTest, BadHandlesAndAMissingDirectory) {
    const int32_t h = OpenWithChip(0x27);
    for (int32_t bad : {-1, 100, 1000}) {
        EXPECT_EQ(DRELM_TSY_UploadCalibToFlash(bad, "."), -5);
        EXPECT_EQ(DRELM_TSY_LoadCalibration(bad), -5);
        EXPECT_EQ(DRELM_TSY_LoadCalibrationFromFiles(bad, "."), -5);
    }
    EXPECT_EQ(DRELM_TSY_UploadCalibToFlash(h, nullptr), DRELM_TSY_InvalidParam);
    EXPECT_EQ(DRELM_TSY_LoadCalibrationFromFiles(h, nullptr), DRELM_TSY_InvalidParam);
    ASSERT_EQ(DRELM_TSY_CloseTessary(h), 0);
    EXPECT_EQ(DRELM_TSY_LoadCalibration(h), -5);
}

}  // namespace

// Record length and the bits of the channel configuration register 0x80E0.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "EmulatedBoards.h"
#include "LinkFaultHelpers.h"

namespace tessary_test {
namespace {

constexpr uint32_t kRecordLength = 0x8020;
constexpr uint32_t kConfig = 0x80E0;
// Bits set all over 0x80E0, named and unnamed, so that every bit an export
// must keep shows in the value it writes back.
constexpr uint32_t kConfigBackground = 0x6AF5A5D3;

using ConfigSetter = int32_t (*)(int32_t);

struct BitCase {
    const char* name;
    ConfigSetter setter;
    uint32_t bit;
    bool sets;
};

const BitCase kBitCases[] = {
    {"SlScaleEnable", DRELM_TSY_SlScaleEnable, 1u << 16, true},
    {"SlScaleDisable", DRELM_TSY_SlScaleDisable, 1u << 16, false},
    {"ZSEnable", DRELM_TSY_ZSEnable, 1u << 17, true},
    {"ZSDisable", DRELM_TSY_ZSDisable, 1u << 17, false},
    {"SetOffsetMode", DRELM_TSY_SetOffsetMode, 1u << 30, true},
    {"ResetOffsetMode", DRELM_TSY_ResetOffsetMode, 1u << 30, false},
    {"SetCalibMode", DRELM_TSY_SetCalibMode, 1u << 31, true},
    {"ResetCalibMode", DRELM_TSY_ResetCalibMode, 1u << 31, false},
    {"TriggerMode1", [](int32_t h) { return DRELM_TSY_SetTriggerMode(h, 1); }, 1u << 4, true},
    {"TriggerMode0", [](int32_t h) { return DRELM_TSY_SetTriggerMode(h, 0); }, 1u << 4, false},
};

class ConfigBitTest : public EmulatedBoardTest, public ::testing::WithParamInterface<BitCase> {
protected:
    // Register value before the change: the bit in the state the call must
    // change, the other bits as background.
    static uint32_t Before(const BitCase& c) { return c.sets ? (kConfigBackground & ~c.bit) : (kConfigBackground | c.bit); }
    static uint32_t After(const BitCase& c) { return c.sets ? (Before(c) | c.bit) : (Before(c) & ~c.bit); }
};

TEST_P(ConfigBitTest, ChangesOnlyItsBitByReadModifyWrite) {
    const BitCase& c = GetParam();
    const int32_t h = OpenBoard();
    Poke(h, kConfig, Before(c));
    Record();
    EXPECT_EQ(c.setter(h), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kConfig, Before(c)), Write(kConfig, After(c))}));
    EXPECT_EQ(Peek(h, kConfig), After(c));
}

TEST_P(ConfigBitTest, FailedReadWritesNothing) {
    const BitCase& c = GetParam();
    const int32_t h = OpenBoard();
    Poke(h, kConfig, Before(c));
    FailReads(kConfig);
    Record();
    EXPECT_EQ(c.setter(h), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kConfig, std::nullopt, kFaultStatus)}));
    EXPECT_EQ(Peek(h, kConfig), Before(c));
}

TEST_P(ConfigBitTest, FailedWriteIsWriteFailed) {
    const BitCase& c = GetParam();
    const int32_t h = OpenBoard();
    Poke(h, kConfig, Before(c));
    FailWrites(kConfig);
    Record();
    EXPECT_EQ(c.setter(h), DRELM_TSY_WriteFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kConfig, Before(c)), Write(kConfig, After(c), kFaultStatus)}));
    EXPECT_EQ(Peek(h, kConfig), Before(c));
}

INSTANTIATE_TEST_SUITE_P(Exports, ConfigBitTest, ::testing::ValuesIn(kBitCases),
                         [](const ::testing::TestParamInfo<BitCase>& info) { return std::string(info.param.name); });

// Masked updates: (old & ~mask) | (value & mask).
struct MaskedCase {
    const char* name;
    int32_t (*setter)(int32_t, uint32_t);
    uint32_t argument;
    uint32_t before;
    uint32_t after;
};

const MaskedCase kMaskedCases[] = {
    // Code 9 keeps its low three bits only: 1.
    {"ChMode9", DRELM_TSY_SetChMode, 9, 0x400A0016, 0x400A0011},
    {"ChMode4", DRELM_TSY_SetChMode, 4, 0xC00F0013, 0xC00F0014},
    {"ChMode0", DRELM_TSY_SetChMode, 0, 0x400A0017, 0x400A0010},
    {"Polarity1", DRELM_TSY_SetPolarity, 1, 0x400A0013, 0x400E0013},
    {"Polarity3", DRELM_TSY_SetPolarity, 3, 0x400A0013, 0x400E0013},
    {"Polarity2", DRELM_TSY_SetPolarity, 2, 0x400E0013, 0x400A0013},
    {"Polarity0", DRELM_TSY_SetPolarity, 0, 0x400E0013, 0x400A0013},
    {"InputRange1", DRELM_TSY_SetInputRange, 1, 0x40020013, 0x400A0013},
    {"InputRange0", DRELM_TSY_SetInputRange, 0, 0x400A0013, 0x40020013},
    {"InputRange2", DRELM_TSY_SetInputRange, 2, 0x400A0013, 0x40020013},
};

class MaskedConfigTest : public EmulatedBoardTest, public ::testing::WithParamInterface<MaskedCase> {};

TEST_P(MaskedConfigTest, WritesOnlyTheMaskedBits) {
    const MaskedCase& c = GetParam();
    const int32_t h = OpenBoard();
    Poke(h, kConfig, c.before);
    Record();
    EXPECT_EQ(c.setter(h, c.argument), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kConfig, c.before), Write(kConfig, c.after)}));
    EXPECT_EQ(Peek(h, kConfig), c.after);
}

TEST_P(MaskedConfigTest, FailedReadIsReadFailedAndWritesNothing) {
    const MaskedCase& c = GetParam();
    const int32_t h = OpenBoard();
    Poke(h, kConfig, c.before);
    FailReads(kConfig);
    Record();
    EXPECT_EQ(c.setter(h, c.argument), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kConfig, std::nullopt, kFaultStatus)}));
    EXPECT_EQ(Peek(h, kConfig), c.before);
}

// The masked update reports a failed write as a failed read.
TEST_P(MaskedConfigTest, FailedWriteIsAlsoReadFailed) {
    const MaskedCase& c = GetParam();
    const int32_t h = OpenBoard();
    Poke(h, kConfig, c.before);
    FailWrites(kConfig);
    Record();
    EXPECT_EQ(c.setter(h, c.argument), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kConfig, c.before), Write(kConfig, c.after, kFaultStatus)}));
}

INSTANTIATE_TEST_SUITE_P(Exports, MaskedConfigTest, ::testing::ValuesIn(kMaskedCases),
                         [](const ::testing::TestParamInfo<MaskedCase>& info) { return std::string(info.param.name); });

using TriggerModeTest = EmulatedBoardTest;

TEST_F(TriggerModeTest, ModesOtherThanZeroAndOneAreRefusedWithoutAccess) {
    const int32_t h = OpenBoard();
    Poke(h, kConfig, kConfigBackground);
    for (const int32_t mode : {2, 3, -1, INT32_MIN, INT32_MAX}) {
        Record();
        EXPECT_EQ(DRELM_TSY_SetTriggerMode(h, mode), DRELM_TSY_InvalidParam) << "mode " << mode;
        EXPECT_TRUE(TrafficIs(Traffic(), {})) << "mode " << mode;
    }
    EXPECT_EQ(Peek(h, kConfig), kConfigBackground);
}

using RecordLengthTest = EmulatedBoardTest;

TEST_F(RecordLengthTest, PlainWriteOfTheLengthAsGiven) {
    const int32_t h = OpenBoard();
    for (const uint32_t length : {0u, 1u, 0x1234u, 0xFFFFFFFFu}) {
        Record();
        EXPECT_EQ(DRELM_TSY_SetRecordLength(h, length), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {Write(kRecordLength, length)})) << "length " << length;
    }
    ASSERT_EQ(DRELM_TSY_SetRecordLength(h, 0x1234), DRELM_TSY_Success);
    EXPECT_EQ(Peek(h, kRecordLength), 0x1234u);
}

TEST_F(RecordLengthTest, FailedWriteIsWriteFailed) {
    const int32_t h = OpenBoard();
    Poke(h, kRecordLength, 16);
    FailWrites(kRecordLength);
    Record();
    EXPECT_EQ(DRELM_TSY_SetRecordLength(h, 40), DRELM_TSY_WriteFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(kRecordLength, 40u, kFaultStatus)}));
    EXPECT_EQ(Peek(h, kRecordLength), 16u);
}

}  // namespace
}  // namespace tessary_test

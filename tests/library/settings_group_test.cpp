// Per-group zero-suppression thresholds and channel enable masks.
#include <gtest/gtest.h>

#include <cstdint>

#include "EmulatedBoards.h"
#include "LinkFaultHelpers.h"

namespace tessary_test {
namespace {

constexpr uint32_t ThresholdRegister(uint32_t group) { return 0x1024u | ((group & 0xFFu) << 8); }
// What the emulated board answers for a register it does not have.
constexpr int32_t kMissingRegisterStatus = -11;
constexpr uint32_t EnableMaskRegister(uint32_t group) { return 0x10A8u | ((group & 0xFFu) << 8); }

using ZsThresholdTest = EmulatedBoardTest;

TEST_F(ZsThresholdTest, WritesTheLowFourteenBits) {
    const int32_t h = OpenBoard();
    struct Case {
        uint32_t group, threshold, written;
    };
    for (const Case c : {Case{0, 0x0123, 0x0123}, Case{3, 0xFFFF, 0x3FFF}, Case{7, 0x3FFF, 0x3FFF},
                         Case{5, 0xFFFFC000, 0}}) {
        Record();
        EXPECT_EQ(DRELM_TSY_SetGroupZSThreshold(h, c.group, c.threshold), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {Write(ThresholdRegister(c.group), c.written)})) << "group " << c.group;
        EXPECT_EQ(Peek(h, ThresholdRegister(c.group)), c.written);
    }
}

TEST_F(ZsThresholdTest, GroupIsNotRangeCheckedOnlyCutToEightBits) {
    const int32_t h = Open32();
    // Group 4 is beyond a 32-channel board: the write still goes out, and
    // the board's refusal of the missing register comes back as WriteFailed.
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupZSThreshold(h, 4, 0x10), DRELM_TSY_WriteFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(0x1424, 0x10u, kMissingRegisterStatus)}));
    // 0x102 is group 2 in its low byte.
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupZSThreshold(h, 0x102, 0x20), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(0x1224, 0x20u)}));
}

TEST_F(ZsThresholdTest, FailedWriteIsWriteFailed) {
    const int32_t h = OpenBoard();
    Poke(h, ThresholdRegister(1), 0x55);
    FailWrites(ThresholdRegister(1));
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupZSThreshold(h, 1, 0x1FFFF), DRELM_TSY_WriteFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(ThresholdRegister(1), 0x3FFFu, kFaultStatus)}));
    EXPECT_EQ(Peek(h, ThresholdRegister(1)), 0x55u);
}

TEST_F(ZsThresholdTest, ReadTakesTheGroupsLowByteAndStoresTheValue) {
    const int32_t h = OpenBoard();
    Poke(h, ThresholdRegister(6), 0x2ABC);
    uint32_t threshold = 0;
    Record();
    EXPECT_EQ(DRELM_TSY_GetGroupZSThreshold(h, 0x306, &threshold), DRELM_TSY_Success);
    const auto traffic = Traffic();
    EXPECT_TRUE(TrafficIs(traffic, {Read(ThresholdRegister(6), 0x2ABCu)}));
    EXPECT_EQ(threshold, 0x2ABCu);
}

TEST_F(ZsThresholdTest, FailedReadStoresNothing) {
    const int32_t h = OpenBoard();
    FailReads(ThresholdRegister(2));
    uint32_t threshold = 0xDEADBEEF;
    Record();
    EXPECT_EQ(DRELM_TSY_GetGroupZSThreshold(h, 2, &threshold), DRELM_TSY_ReadFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(ThresholdRegister(2), std::nullopt, kFaultStatus)}));
    EXPECT_EQ(threshold, 0xDEADBEEFu);
}

TEST_F(ZsThresholdTest, NullDestinationIsInvalidParamWithoutAccess) {
    const int32_t h = OpenBoard();
    Record();
    EXPECT_EQ(DRELM_TSY_GetGroupZSThreshold(h, 0, nullptr), DRELM_TSY_InvalidParam);
    EXPECT_TRUE(TrafficIs(Traffic(), {}));
}

using ChannelEnableMaskTest = EmulatedBoardTest;

TEST_F(ChannelEnableMaskTest, GroupsOutsideTheBoardAreInvalidGroupWithoutAccess) {
    struct Case {
        bool small;
        int32_t group;
    };
    for (const Case c : {Case{false, -1}, Case{false, 8}, Case{false, 256}, Case{false, INT32_MIN}, Case{true, -1},
                         Case{true, 4}, Case{true, 7}}) {
        SCOPED_TRACE(testing::Message() << (c.small ? "32" : "64") << " channels, group " << c.group);
        const int32_t h = c.small ? Open32() : OpenBoard();
        Record();
        EXPECT_EQ(DRELM_TSY_SetChannelEnableMask(h, c.group, 0xFF), DRELM_TSY_InvalidGroup);
        EXPECT_TRUE(TrafficIs(Traffic(), {}));
        ASSERT_EQ(DRELM_TSY_CloseTessary(h), DRELM_TSY_Success);
    }
}

TEST_F(ChannelEnableMaskTest, PlainWriteOfTheMaskForEveryGroupOfTheBoard) {
    for (const bool small : {false, true}) {
        const int32_t h = small ? Open32() : OpenBoard();
        const int32_t groups = small ? 4 : 8;
        for (int32_t g = 0; g < groups; ++g) {
            const uint32_t mask = 0xA5u ^ static_cast<uint32_t>(g);
            Record();
            EXPECT_EQ(DRELM_TSY_SetChannelEnableMask(h, g, mask), DRELM_TSY_Success) << "group " << g;
            EXPECT_TRUE(TrafficIs(Traffic(), {Write(EnableMaskRegister(static_cast<uint32_t>(g)), mask)}));
            EXPECT_EQ(Peek(h, EnableMaskRegister(static_cast<uint32_t>(g))), mask);
        }
        ASSERT_EQ(DRELM_TSY_CloseTessary(h), DRELM_TSY_Success);
    }
}

TEST_F(ChannelEnableMaskTest, TheWholeMaskGoesToTheBoard) {
    // The board keeps 8 bits; the library passes the caller's word unchanged.
    const int32_t h = OpenBoard();
    Record();
    EXPECT_EQ(DRELM_TSY_SetChannelEnableMask(h, 2, 0xABCD01A5u), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(EnableMaskRegister(2), 0xABCD01A5u)}));
}

TEST_F(ChannelEnableMaskTest, FailedWriteIsWriteFailed) {
    const int32_t h = OpenBoard();
    FailWrites(EnableMaskRegister(3));
    Record();
    EXPECT_EQ(DRELM_TSY_SetChannelEnableMask(h, 3, 0x0F), DRELM_TSY_WriteFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(EnableMaskRegister(3), 0x0Fu, kFaultStatus)}));
}

}  // namespace
}  // namespace tessary_test

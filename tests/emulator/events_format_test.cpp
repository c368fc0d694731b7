// Software-triggered events decoded by hand: header fields, blocks, channel
// masks, zero suppression, resolution, saturation and pile-up.
#include "EventsFixture.h"

namespace emulator_test {
namespace {

TEST_F(EventsTest, HeaderCarriesSizeBlocksIndexAndTimeStamp) {
    const int32_t h = Prepare(Quiet());
    Start(h);
    AdvanceUs(1000);  // 125000 ticks of 8 ns
    Trigger(h);
    drelm::emu::AdvanceClock((uint64_t{1} << 32) * 8 + 80);  // past 32 bits of ticks
    Trigger(h);
    const std::vector<uint32_t> words = ReadAll(h);
    ASSERT_EQ(words.size(), 80u) << "two events of 4 header words and 4 full blocks";
    EXPECT_EQ(words[0], 40u | 0xA0000000u) << "size 40, bits 28-31 0xA";
    EXPECT_EQ(words[1], 0x55u) << "blocks 0-3 present, time stamp bits 32-47 zero";
    EXPECT_EQ(words[2], 0u) << "first trigger of the run";
    EXPECT_EQ(words[3], 125000u);
    EXPECT_EQ(words[40], 40u | 0xA0000000u);
    EXPECT_EQ(words[41], 0x155u) << "time stamp bit 32 in bit 8";
    EXPECT_EQ(words[42], 1u);
    EXPECT_EQ(words[43], 125010u);
    const std::vector<DecodedEvent> events = Decode(words);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].timestamp, (uint64_t{1} << 32) + 125010);
    for (const DecodedEvent& e : events) {
        ASSERT_EQ(e.blocks.size(), 4u);
        for (const auto& [p, block] : e.blocks) {
            EXPECT_EQ(block.header, 0xFFFFu) << "all 16 channels, no pile-up, field and flag 0";
            for (uint16_t a : block.amplitudes) EXPECT_EQ(a & 0x4000, 0) << "bit 14 unused";
        }
    }
}

struct BlockCase {
    const char* name;
    int32_t channels;
    uint32_t groupEnable;
    uint32_t presentBits;
    uint32_t size;
};

class BlockPresence : public EventsTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(BlockPresence, EvenGroupPositionsGiveBlocks) {
    BoardConfig config = Quiet();
    config.channels = GetParam().channels;
    const int32_t h = Prepare(config, GetParam().groupEnable);
    Start(h);
    Trigger(h);
    const std::vector<uint32_t> words = ReadAll(h);
    ASSERT_EQ(words.size(), GetParam().size);
    EXPECT_EQ(words[1] & 0xFF, GetParam().presentBits);
    const std::vector<DecodedEvent> events = Decode(words);
    ASSERT_EQ(events.size(), 1u);
    for (const auto& [p, block] : events[0].blocks) EXPECT_EQ(block.channelMask, 0xFFFF) << "block " << p;
}

INSTANTIATE_TEST_SUITE_P(
    Boards, BlockPresence,
    ::testing::Values(BlockCase{"Ch64Mask55", 64, 0x55, 0x55, 40}, BlockCase{"Ch64Mask05", 64, 0x05, 0x05, 22},
                      BlockCase{"Ch32Mask05", 32, 0x05, 0x05, 22}, BlockCase{"Ch32Mask55", 32, 0x55, 0x05, 22},
                      BlockCase{"Ch64OddBitsIgnored", 64, 0xAA, 0x00, 4},
                      BlockCase{"Ch64MaskFF", 64, 0xFF, 0x55, 40}, BlockCase{"Ch64Block2Only", 64, 0x10, 0x10, 13}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EventsTest, GroupEnableMasksGiveTheChannelsOfEachBlock) {
    const int32_t h = Prepare(Quiet(), 0x55, 0);
    Write(h, 0x10A8, 0x07);         // group 0: channels 0-2
    Write(h, 0x12A8, 0x80);         // group 2: channel 23
    Write(h, 0x13A8, 0x01);         // group 3: channel 24
    Write(h, 0x17A8, 0xFF);         // group 7: channels 56-63
    Start(h);
    Trigger(h);
    const std::vector<uint32_t> words = ReadAll(h);
    // 4 + block 0 (1 + 2) + block 1 (1 + 1) + block 2 (1) + block 3 (1 + 4)
    ASSERT_EQ(words.size(), 15u);
    EXPECT_EQ(words[0] & 0x0FFFFFFF, 15u);
    const std::vector<DecodedEvent> events = Decode(words);
    ASSERT_EQ(events.size(), 1u);
    const auto& blocks = events[0].blocks;
    ASSERT_EQ(blocks.size(), 4u);
    EXPECT_EQ(blocks.at(0).channelMask, 0x0007);
    EXPECT_EQ(blocks.at(0).amplitudes.size(), 3u);
    EXPECT_EQ(blocks.at(0).lastUpperHalf, 0) << "odd count: the last upper half is empty";
    EXPECT_EQ(blocks.at(1).channelMask, 0x0180) << "group 2p in bits 0-7, group 2p+1 in bits 8-15";
    EXPECT_EQ(blocks.at(1).amplitudes.size(), 2u);
    EXPECT_EQ(blocks.at(2).header, 0u) << "an enabled block without channels is its header alone";
    EXPECT_EQ(blocks.at(3).channelMask, 0xFF00);
}

TEST_F(EventsTest, ZeroSuppressionDropsChannelsBelowTheirGroupThreshold) {
    BoardConfig config = Quiet();
    config.hitPercent = 0;  // every channel reads its pedestal, 40 to 43
    config.pedestal = 40;
    const int32_t h = Prepare(config);
    Write(h, 0x1024, 0);    // group 0 keeps everything
    Write(h, 0x1124, 44);   // group 1 drops every pedestal
    Write(h, 0x1224, 40);   // group 2 keeps every pedestal
    Start(h);
    Trigger(h);  // zero suppression off: thresholds do not matter
    Write(h, 0x80E0, 1u << 17);
    Trigger(h);
    const std::vector<DecodedEvent> events = Decode(ReadAll(h));
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].size, 40u);
    for (const auto& [p, block] : events[0].blocks) {
        ASSERT_EQ(block.amplitudes.size(), 16u);
        for (uint16_t a : block.amplitudes) {
            EXPECT_GE(a, 40);
            EXPECT_LE(a, 43);
        }
    }
    const auto& suppressed = events[1].blocks;
    EXPECT_EQ(suppressed.at(0).channelMask, 0x00FF) << "group 0 kept, group 1 dropped";
    EXPECT_EQ(suppressed.at(1).channelMask & 0x00FF, 0x00FF) << "group 2 kept";
    EXPECT_EQ(suppressed.at(1).channelMask & 0xFF00, 0xFF00) << "group 3 threshold 0";
    EXPECT_EQ(events[1].size, 4u + 5 + 9 + 9 + 9);
}

TEST_F(EventsTest, ZeroSuppressionKeepsOnlyChannelsAtOrAboveTheThreshold) {
    BoardConfig config = Quiet();
    const int32_t h = Prepare(config);
    Write(h, 0x80E0, 1u << 17);
    for (uint32_t g = 0; g < 8; ++g) Write(h, 0x1024 | g << 8, 3000);
    Start(h);
    for (int i = 0; i < 50; ++i) Trigger(h);
    const std::vector<DecodedEvent> events = Decode(ReadAll(h));
    ASSERT_EQ(events.size(), 50u);
    std::size_t kept = 0;
    for (const DecodedEvent& e : events)
        for (const auto& [p, block] : e.blocks)
            for (uint16_t a : block.amplitudes) {
                ++kept;
                EXPECT_TRUE(a >= 3000 || (a & 0x8000)) << a;
            }
    EXPECT_GT(kept, 0u) << "the source has pulses above the threshold";
    EXPECT_LT(kept, 50u * 64) << "and below it";
}

struct ResolutionCase {
    uint32_t code;
    uint16_t pedestalLow;   // 1000 to 1003 shifted
    uint16_t pedestalHigh;
    uint16_t saturated;     // bit 15 over the shifted full scale
};

class Resolution : public EventsTest, public ::testing::WithParamInterface<ResolutionCase> {};

TEST_P(Resolution, CodeShiftsTheAmplitudeAndTheSaturatedValue) {
    BoardConfig pedestals = Quiet();
    pedestals.hitPercent = 0;
    pedestals.pedestal = 1000;
    BoardConfig saturating = Quiet();
    saturating.gainPerMeV = 1000000;  // the photopeak lies far above full scale
    saturating.photopeakPercent = 100;
    saturating.backgroundPercent = 0;
    for (const BoardConfig& config : {pedestals, saturating}) {
        const bool saturates = config.hitPercent != 0;
        const int32_t h = Prepare(config, 0x01);
        // Other bits set; zero suppression on with the highest thresholds for the saturating source.
        Write(h, 0x80E0, 0xF8 | GetParam().code | (saturates ? 1u << 17 : 0));
        for (uint32_t g = 0; g < 8; ++g) Write(h, 0x1024 | g << 8, 0x3FFF);
        Start(h);
        Trigger(h);
        const std::vector<DecodedEvent> events = Decode(ReadAll(h));
        ASSERT_EQ(events.size(), 1u);
        const DecodedBlock& block = events[0].blocks.at(0);
        ASSERT_EQ(block.amplitudes.size(), 16u) << "saturated channels pass any threshold";
        for (uint16_t a : block.amplitudes) {
            if (saturates) {
                EXPECT_EQ(a, GetParam().saturated);
            } else {
                EXPECT_GE(a, GetParam().pedestalLow);
                EXPECT_LE(a, GetParam().pedestalHigh);
            }
        }
        ASSERT_EQ(LinkClose(h), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, Resolution,
                         ::testing::Values(ResolutionCase{0, 1000, 1003, 0xBFFF}, ResolutionCase{1, 500, 501, 0x9FFF},
                                           ResolutionCase{2, 250, 250, 0x8FFF}, ResolutionCase{4, 62, 62, 0x83FF},
                                           ResolutionCase{7, 62, 62, 0x83FF}),
                         [](const auto& info) { return "Code" + std::to_string(info.param.code); });

TEST_F(EventsTest, AmplitudesStayWithinTheRangeOfTheResolutionCode) {
    const int32_t h = Prepare(Quiet());
    Write(h, 0x80E0, 3);  // 2048 bins
    Start(h);
    for (int i = 0; i < 20; ++i) Trigger(h);
    std::size_t count = 0;
    uint16_t highest = 0;
    for (const DecodedEvent& e : Decode(ReadAll(h)))
        for (const auto& [p, block] : e.blocks)
            for (uint16_t a : block.amplitudes) {
                ++count;
                if (!(a & 0x8000)) highest = std::max(highest, a);
            }
    EXPECT_EQ(count, 20u * 64);
    EXPECT_LT(highest, 2048);
    EXPECT_GT(highest, 512) << "the photopeak (662 keV at 10 units per keV) lands near 827";
}

// An accepted trigger keeps the board dead for its gate and its conversion.
TEST_F(EventsTest, TriggersWithinTheGateAndConversionAreLost) {
    BoardConfig config = Quiet();
    config.conversionTimeNs = 40;
    const int32_t h = Prepare(config, 0x05);
    Write(h, 0x8020, 10);  // gate 160 ns: dead for 200 ns
    Start(h);
    Trigger(h);  // index 0 accepted
    drelm::emu::AdvanceClock(100);
    Trigger(h);  // inside the gate: lost
    drelm::emu::AdvanceClock(100);
    Trigger(h);  // the dead time just over: accepted
    drelm::emu::AdvanceClock(199);
    Trigger(h);  // inside the conversion: lost
    drelm::emu::AdvanceClock(1);
    Trigger(h);
    EXPECT_EQ(Decode(ReadAll(h)).size(), 3u);
    EXPECT_EQ(Counts(h), (std::pair<uint64_t, uint64_t>{5, 2}));
}

}  // namespace
}  // namespace emulator_test

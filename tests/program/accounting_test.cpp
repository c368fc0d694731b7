// Per-batch accounting at the program's interface: which events and blocks
// count, saturation, spectrum bins, 32-channel boards, trigger wraps.
#include <gtest/gtest.h>

#include <vector>

#include "Accounting.h"

namespace tessary {
namespace {

struct Board {
    BoardCounters current, previous;
    uint32_t wraps = 0;
    Board() {
        EXPECT_EQ(AllocCounterSpectra(current), 0);
        ResetCounters(current);
    }
};

// An event whose blocks all carry `mask` with `words`, flagged from `pileUpFrom` on.
EventRecord Event(uint32_t index, uint16_t mask, const std::vector<uint16_t>& words, int pileUpFrom = 4) {
    EventRecord e{};
    e.triggerIndex = index;
    e.timestamp = 1000 + index;
    for (int p = 0; p < 4; ++p) {
        e.blocks[p].channelMask = mask;
        e.blocks[p].pileUp = p >= pileUpFrom;
        e.blocks[p].amplitudes = words.data();
    }
    return e;
}

TEST(AccountingTest, EventsCountUpToTheirFirstPileUpBlock) {
    const std::vector<uint16_t> words = {100, 200};
    struct Case {
        const char* what;
        int pileUpFrom;
        int channels;
        uint32_t withoutPileUp, pileUp, hitsOfChannel2, hitsOfChannel34;
    };
    for (const Case c : {Case{"no pile-up", 4, 64, 1, 0, 1, 1}, Case{"block 0 flagged", 0, 64, 0, 1, 0, 0},
                         Case{"block 2 flagged", 2, 64, 1, 1, 1, 0}, Case{"32 channels", 4, 32, 1, 0, 1, 0}}) {
        SCOPED_TRACE(c.what);
        Board b;
        const EventRecord e = Event(7, 0x0005, words, c.pileUpFrom);
        UpdateBatchCounters(64, &e, 1, b.current, b.previous, b.wraps, c.channels);
        EXPECT_EQ(b.current.eventsProcessed, 1u);
        EXPECT_EQ(b.current.eventsWithoutPileUp, c.withoutPileUp);
        EXPECT_EQ(b.current.pileUpEvents, c.pileUp);
        EXPECT_EQ(b.current.channelHits[2], c.hitsOfChannel2);
        EXPECT_EQ(b.current.channelHits[34], c.hitsOfChannel34);
        EXPECT_EQ(b.current.spectrum[2][200], static_cast<double>(c.hitsOfChannel2)) << "mask 0x0005: second word";
        EXPECT_EQ(b.current.spectrum[0][100], static_cast<double>(c.hitsOfChannel2));
        EXPECT_EQ(b.current.readoutBytes, 64u);
    }
}

TEST(AccountingTest, AmplitudeWordsCountHitsSaturationsAndBins) {
    Board b;
    const std::vector<uint16_t> words = {0x8005, 0x4005, 0x3FFF};
    const EventRecord e = Event(1, 0x0007, words);
    AccumulateEvents(&e, 1, b.current, 16);
    EXPECT_EQ(b.current.channelHits[0], 1u);
    EXPECT_EQ(b.current.channelSaturated[0], 1u);
    EXPECT_EQ(b.current.spectrum[0][5], 0.0) << "a saturated word adds no spectrum entry";
    EXPECT_EQ(b.current.spectrum[1][5], 1.0) << "bit 14 is not part of the amplitude";
    EXPECT_EQ(b.current.spectrum[2][16383], 1.0);
    EXPECT_EQ(b.current.channelSaturated[1] + b.current.channelSaturated[2], 0u);
}

// A wrap shows one batch late: the batch in which it happens leaves a lower
// count, and the next batch raises the wrap count against the snapshot.
TEST(AccountingTest, TriggerWrapsAreCountedAgainstTheSnapshot) {
    Board b;
    b.current.triggerCount = b.previous.triggerCount = 16000000;
    uint64_t counts[3];
    const uint32_t indices[3] = {16777000, 200, 900};
    for (int i = 0; i < 3; ++i) {
        const EventRecord e = Event(indices[i], 0, {});
        UpdateBatchCounters(16, &e, 1, b.current, b.previous, b.wraps, 64);
        counts[i] = b.current.triggerCount;
    }
    EXPECT_EQ(counts[0], 16777000u);
    EXPECT_EQ(counts[1], 200u);
    EXPECT_EQ(counts[2], 16778116u);
    EXPECT_EQ(b.current.lastTimestamp, 1900u);

    // A batch that decodes to no event adds its bytes and nothing else.
    UpdateBatchCounters(4, nullptr, 0, b.current, b.previous, b.wraps, 64);
    EXPECT_EQ(b.current.triggerCount, 16778116u);
    EXPECT_EQ(b.current.readoutBytes, 52u);
    EXPECT_EQ(b.wraps, 1u);
}

}  // namespace
}  // namespace tessary

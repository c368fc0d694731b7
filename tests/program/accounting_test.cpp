// Per-batch accounting at the program's interface: which events and blocks
// count, saturation, spectrum bins, 32-channel boards, trigger wraps.
#include <gtest/gtest.h>

#include <vector>

#include "Accounting.h"

namespace tessary {
namespace {

struct Board {
    BoardCounters current;
    TriggerExtension trigger;
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
        UpdateBatchCounters(64, &e, 1, b.current, b.trigger, c.channels);
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

// The 24-bit index extended over its wraps in the batch where each wrap
// happens, so that a statistics print in that batch shows the full count; a
// start begins again from 0, a counter reset does not.
TEST(AccountingTest, TriggerWrapsAreCountedInTheirOwnBatch) {
    struct Step {
        const char* what;
        uint32_t index;   // of the batch's last event; kStart: the acquisition starts again
        uint64_t count;   // the extended count after it
    };
    constexpr uint32_t kStart = ~0u;
    const Step steps[] = {
        {"first batch", 16000000, 16000000},
        {"close to the end", 16777000, 16777000},
        {"wrapped: the print in this batch sees it", 200, 16777416},
        {"after the wrap", 900, 16778116},
        {"the same index: no wrap", 900, 16778116},
        {"second wrap", 5, 33554437},
        {"start", kStart, 0},
        {"counted from 0 again", 300, 300},
        {"wrap after the start", 100, 16777316},
    };
    Board b;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.index == kStart) {
            b.trigger.Restart();
            ResetCounters(b.current);
            continue;
        }
        const EventRecord e = Event(step.index, 0, {});
        UpdateBatchCounters(16, &e, 1, b.current, b.trigger, 64);
        EXPECT_EQ(b.current.triggerCount, step.count);
        // A print takes its snapshot: the next batch is measured from it.
        ResetCounters(b.current);
    }
    // A batch that decodes to no event adds its bytes and nothing else.
    UpdateBatchCounters(4, nullptr, 0, b.current, b.trigger, 64);
    EXPECT_EQ(b.current.triggerCount, 0u);
    EXPECT_EQ(b.current.readoutBytes, 16u * 8 + 4);
}

}  // namespace
}  // namespace tessary

// The event pool repeats drawn blocks under fresh event headers, and its
// first draws are the events a board without a pool makes.
#include "EventsFixture.h"

namespace emulator_test {
namespace {

class EventPoolTest : public EventsTest {
protected:
    static std::vector<DecodedEvent> SoftwareEvents(const BoardConfig& config, int32_t link, int runs, int perRun) {
        const int32_t h = Prepare(config, 0x55, 0xFF, link);
        std::vector<DecodedEvent> all;
        for (int run = 0; run < runs; ++run) {
            Start(h);
            for (int i = 0; i < perRun; ++i) {
                AdvanceUs(100);
                Trigger(h);
            }
            for (const DecodedEvent& e : Decode(ReadAll(h))) all.push_back(e);
            Stop(h);
        }
        return all;
    }
};

TEST_F(EventPoolTest, RepeatsBlocksUnderFreshHeadersAndDrawsAnewEachRun) {
    BoardConfig config = Quiet();
    config.statusBits = 1;
    config.hitPercent = 70;
    config.seed = 7;
    const std::vector<DecodedEvent> drawn = SoftwareEvents(config, 0, 1, 3);
    config.eventPool = 3;
    const std::vector<DecodedEvent> pooled = SoftwareEvents(config, 1, 2, 7);
    ASSERT_EQ(drawn.size(), 3u);
    ASSERT_EQ(pooled.size(), 14u);
    auto blocks = [](const DecodedEvent& e) {
        std::vector<uint32_t> words;
        for (const auto& [p, b] : e.blocks) {
            words.push_back(b.header);
            words.insert(words.end(), b.amplitudes.begin(), b.amplitudes.end());
        }
        return words;
    };
    for (std::size_t i = 0; i < pooled.size(); ++i) {
        const std::size_t inRun = i % 7;
        EXPECT_EQ(pooled[i].triggerIndex, inRun) << "event " << i;
        EXPECT_EQ(pooled[i].word1 & 0xFF, 0x57u) << "blocks present, software trigger bit, event " << i;
        EXPECT_EQ(pooled[i].word2 >> 24, i) << "accepted-event counter of the board";
        if (i > 0 && inRun > 0) {
            EXPECT_GT(pooled[i].timestamp, pooled[i - 1].timestamp);
        }
        if (inRun >= 3) {
            EXPECT_EQ(blocks(pooled[i]), blocks(pooled[i - 3])) << "event " << i << " repeats";
        }
    }
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(blocks(pooled[i]), blocks(drawn[i])) << "the pool's first draws are the board's events";
        EXPECT_NE(blocks(pooled[i]), blocks(pooled[(i + 1) % 3])) << "pool events differ";
        EXPECT_NE(blocks(pooled[7 + i]), blocks(pooled[i])) << "a new run draws anew";
    }
}

}  // namespace
}  // namespace emulator_test

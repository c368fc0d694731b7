// Presets over a run of several periods of acquisition, fed as the run loop
// feeds them; a stop pauses them, a start goes on from where they were.
// Handles that name no board make the time-counter reads fail, which the
// totals take in their stride.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "Presets.h"
#include "RunTotals.h"

namespace tessary {
namespace {

TEST(PresetsTest, RealTimeIsSummedOverThePeriodsOfAcquisition) {
    ProgramOptions options;
    options.presetRealS = 2.0;
    Presets presets(options);
    const RunTotals totals;
    // 1200 + 750 + 50 ms: only the sum of three periods reaches 2 s, and not while stopped.
    for (const auto& [start, stop] : {std::pair{0, 1200}, {5000, 5750}}) {
        presets.Started(start);
        EXPECT_FALSE(presets.Reached(totals, true, stop - 1));
        presets.Stopped(stop);
        EXPECT_FALSE(presets.Reached(totals, false, stop + 3000));
    }
    presets.Started(10000);
    EXPECT_FALSE(presets.Reached(totals, true, 10049));
    EXPECT_TRUE(presets.Reached(totals, true, 10050));
    EXPECT_EQ(presets.What(), "preset real time of 2 s");
}

TEST(PresetsTest, CountsAreSummedOverThePeriodsAndReachedAtExactlyTheCount) {
    ProgramOptions options;
    options.presetCounts = 100;
    Presets presets(options);
    RunTotals totals;
    totals.Resize(2);
    const int32_t handles[2] = {-1, -1};
    BoardCounters counters[2];
    uint32_t index[2] = {};
    const auto account = [&](int board, uint32_t count) {
        std::vector<EventRecord> events(count);
        for (EventRecord& e : events) e.triggerIndex = index[board]++;
        const BatchMark mark = BatchMark::Of(counters[board]);
        counters[board].eventsProcessed += count;
        totals.AddBatch(board, 100 * count, events.data(), count, mark, counters[board], 64);
    };
    // A start clears the statistics' counters and trigger indexes, not the run's totals.
    const auto start = [&] {
        counters[0].eventsProcessed = counters[1].eventsProcessed = index[0] = index[1] = 0;
        totals.Started(handles);
    };
    // 60 + 39 events on board 1, and 99 on board 0, stay short of 100; the 100th on board 1 reaches it.
    start();
    account(1, 60);
    account(0, 99);
    totals.Stopped(handles);
    EXPECT_FALSE(presets.Reached(totals, false, 0));
    start();
    account(1, 39);
    EXPECT_FALSE(presets.Reached(totals, true, 0));
    account(1, 1);
    EXPECT_TRUE(presets.Reached(totals, true, 0));
    EXPECT_EQ(presets.What(), "preset counts of 100 events (board 1)");
    EXPECT_EQ(presets.Board(), 1);
}

}  // namespace
}  // namespace tessary

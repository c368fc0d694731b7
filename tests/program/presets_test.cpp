// Presets over a run of several periods of acquisition, driven as the run
// loop drives them: starts and stops on the monotonic clock, batches added
// to the run's totals, and a look at the presets after each pass. Handles
// that name no board make the time-counter reads fail, which the totals
// take in their stride.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Presets.h"
#include "RunTotals.h"

namespace tessary {
namespace {

struct Step {
    enum Kind { Start, Stop, Events, Look } kind;
    int64_t ms = 0;          // Start, Stop, Look
    int board = 0;           // Events
    uint32_t events = 0;     // Events
    bool reached = false;    // Look
};

Step StartAt(int64_t ms) { return {Step::Start, ms}; }
Step StopAt(int64_t ms) { return {Step::Stop, ms}; }
Step Accounted(int board, uint32_t events) { return {Step::Events, 0, board, events}; }
Step LookAt(int64_t ms, bool reached) { return {Step::Look, ms, 0, 0, reached}; }

struct PresetsCase {
    const char* name;
    ProgramOptions options;
    std::vector<Step> steps;
    const char* what;  // of the last look, which reaches the preset
    int board;
};

std::vector<PresetsCase> Cases() {
    std::vector<PresetsCase> cases(3);
    // 1200 + 750 + 50 ms: only the sum of three periods reaches 2 s, and not while stopped.
    cases[0] = {"real time summed over periods",
                {},
                {StartAt(0), StopAt(1200), LookAt(1200, false), StartAt(5000), LookAt(5700, false), StopAt(5750),
                 LookAt(9000, false), StartAt(10000), LookAt(10049, false), LookAt(10050, true)},
                "preset real time of 2 s",
                -1};
    cases[0].options.presetRealS = 2.0;
    // 60 + 39 events on board 1 stay short of 100; the 100th reaches it, not the 101st.
    cases[1] = {"counts summed over periods, reached at exactly the count",
                {},
                {StartAt(0), Accounted(1, 60), Accounted(0, 99), StopAt(100), LookAt(150, false), StartAt(200),
                 Accounted(1, 39), LookAt(300, false), Accounted(1, 1), LookAt(301, true)},
                "preset counts of 100 events (board 1)",
                1};
    cases[1].options.presetCounts = 100;
    cases[2] = {"a count of one event",
                {},
                {StartAt(0), LookAt(10, false), Accounted(0, 1), LookAt(20, true)},
                "preset counts of 1 events (board 0)",
                0};
    cases[2].options.presetCounts = 1;
    return cases;
}

TEST(PresetsTest, PresetsCountTheRunsWholeAcquisition) {
    const int32_t handles[2] = {-1, -1};
    for (const PresetsCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        Presets presets(c.options);
        RunTotals totals;
        totals.Resize(2);
        BoardCounters counters[2];
        uint32_t index[2] = {};
        bool acquiring = false;
        for (const Step& step : c.steps) {
            switch (step.kind) {
                case Step::Start:  // a start clears the statistics' counters, not the run's totals
                    counters[0].eventsProcessed = counters[1].eventsProcessed = 0;
                    index[0] = index[1] = 0;
                    totals.Started(handles);
                    presets.Started(step.ms);
                    acquiring = true;
                    break;
                case Step::Stop:
                    totals.Stopped(handles);
                    presets.Stopped(step.ms);
                    acquiring = false;
                    break;
                case Step::Events: {
                    std::vector<EventRecord> events(step.events);
                    for (EventRecord& e : events) e.triggerIndex = index[step.board]++;
                    const BatchMark mark = BatchMark::Of(counters[step.board]);
                    counters[step.board].eventsProcessed += step.events;
                    totals.AddBatch(step.board, 100 * step.events, events.data(), step.events, mark,
                                    counters[step.board], 64);
                    break;
                }
                case Step::Look:
                    EXPECT_EQ(presets.Reached(totals, acquiring, step.ms), step.reached) << "at " << step.ms << " ms";
                    break;
            }
        }
        EXPECT_EQ(presets.What(), c.what);
        EXPECT_EQ(presets.Board(), c.board);
    }
}

}  // namespace
}  // namespace tessary

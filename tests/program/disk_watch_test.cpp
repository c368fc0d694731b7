// The disk watch's decision over a run's checks: a warning once when the
// disk would fill within ten minutes at the write rate (taken over the last
// four checks), the end once what is left would not hold the files' last
// writes and what the next periods bring, nothing between checks, while
// idle or from a file system that cannot be asked.
#include <gtest/gtest.h>

#include <vector>

#include "DiskWatch.h"

namespace tessary {
namespace {

uint64_t freeNow = 0;
bool readable = true;
bool FakeFreeSpace(const char*, uint64_t& freeBytes) {
    if (readable) freeBytes = freeNow;
    return readable;
}

using Verdict = DiskWatch::Verdict;
constexpr uint64_t kMB = 1000000;
constexpr uint64_t kReserve = 9u << 20;  // two files' buffers and the summary

struct Step {
    int64_t ms;
    uint64_t freeBytes, given;
    Verdict expected;
};

TEST(DiskWatchTest, DecidesFromTheFreeSpaceAndTheWriteRate) {
    const struct {
        const char* name;
        std::vector<Step> steps;
        double secondsToFull;  // after the last step, -1 when not filling
        bool readable = true;
    } cases[] = {
        {"WarnsOnceBelowTenMinutes",
         {{0, 1000 * kMB, 0, Verdict::None}, {2000, 1000 * kMB, 4 * kMB, Verdict::Warn},
          {4000, 990 * kMB, 8 * kMB, Verdict::None}},
         495},
        {"RateOverTheLastFourChecks",
         {{0, 900 * kMB, 0, Verdict::None}, {2000, 900 * kMB, 8 * kMB, Verdict::Warn},
          {4000, 900 * kMB, 8 * kMB, Verdict::None}, {6000, 900 * kMB, 8 * kMB, Verdict::None},
          {8000, 900 * kMB, 8 * kMB, Verdict::None}},
         -1},
        {"IdleNeverWarns", {{0, 20 * kMB, 5, Verdict::None}, {2000, 20 * kMB, 5, Verdict::None}}, -1},
        {"EndsWhenTheBuffersWouldNotFit", {{0, 9 * kMB, 0, Verdict::End}}, -1},
        // 40 MB hold the reserve, but not with two periods at 10 MB/s beside it.
        {"EndsWhenTheNextPeriodsWouldNotFit",
         {{0, 60 * kMB, 0, Verdict::None}, {2000, 40 * kMB, 20 * kMB, Verdict::End}}, 4},
        {"NothingBetweenChecks",
         {{0, 100 * kMB, 0, Verdict::None}, {1999, 0, 0, Verdict::None}, {2000, 0, 0, Verdict::End}}, -1},
        {"UnreadableDecidesNothing", {{0, 0, 0, Verdict::None}, {2000, 0, 0, Verdict::None}}, -1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DiskWatch watch(&FakeFreeSpace);
        readable = c.readable;
        bool warned = false;
        for (const Step& step : c.steps) {
            freeNow = step.freeBytes;
            EXPECT_EQ(watch.Check(step.ms, "/out/run_raw_b0_seg0.bin", step.given, kReserve), step.expected) << step.ms;
            warned = warned || step.expected == Verdict::Warn;
        }
        const monitor::DiskStatus& status = watch.Status();
        EXPECT_EQ(status.known, c.readable);
        if (!c.readable) continue;
        EXPECT_EQ(status.freeBytes, c.steps.back().freeBytes);
        EXPECT_NEAR(status.secondsToFull, c.secondsToFull, 1e-6);
        EXPECT_EQ(status.lowSpaceWarned, warned);
    }
}

}  // namespace
}  // namespace tessary

// The statistics block byte for byte from known counters.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "CapturedOutput.h"
#include "Statistics.h"

namespace tessary {
namespace {

// What `print` writes, as text.
template <typename Print>
std::string Printed(Print print) {
    test_support::CapturedOutput out;
    print(out.Stream());
    return out.Text();
}

struct StatisticsTest : ::testing::Test {
    void SetUp() override {
        config.boardCount = 2;
        config.boards[0].channelCount = 64;
        config.boards[0].groupEnableMask[1] = 0x0F;
        config.plotGroup = 1;
        for (int b = 0; b < 2; ++b) config.deadTimeAtReset[b] = 100, config.totalTimeAtReset[b] = 1000;
        current.readoutBytes = 2'000'000;
        current.lastTimestamp = 125'000'000;  // 1 s of 8 ns ticks
        current.triggerCount = 12000;
        current.eventsProcessed = 10000;
        current.pileUpEvents = 500;
        current.eventsWithoutPileUp = 9500;
        const uint32_t hits[4] = {9500, 4750, 0, 19000}, saturated[4] = {95, 0, 0, 19000};
        for (int i = 0; i < 4; ++i) current.channelHits[8 + i] = hits[i], current.channelSaturated[8 + i] = saturated[i];
    }
    DaqConfig config;
    BoardCounters current, previous;
};

TEST_F(StatisticsTest, RatesAndTheChannelTableOfThePlottedGroup) {
    EXPECT_EQ(Printed([&](std::FILE* out) { FormatStatistics(out, current, previous, config, {291, 2907}); }),
              "Live Time              :    0.90 s\n"
              "Dead Time              :   10.02 %\n"
              "Throughput             :   2.000 MB/s\n"
              "Detected trigger rate  :  12.000 kHz\n"
              "Processed trigger rate :  10.000 kHz\n"
              "Pile-up Rate           :   0.500 kHz\n"
              "Channel index          :       8       9      10      11      12      13      14      15 \n"
              "Saturated(SAT)         :    1.00    0.00    0.00  100.00     N/A     N/A     N/A     N/A  %\n"
              "Suppressed             :    0.00   50.00  100.00 -100.00     N/A     N/A     N/A     N/A  %\n"
              "OCR                    :   9.405   4.750   0.000   0.000     N/A     N/A     N/A     N/A  kcps\n"
              "OCR(incl. SAT)         :   9.500   4.750   0.000  19.000     N/A     N/A     N/A     N/A  kcps\n");
}

TEST_F(StatisticsTest, BlockHeadingNoDataAndRatesOverNoTime) {
    config.plotBoard = 1;
    config.resetTimeMs = 5000;
    previous.readoutBytes = current.readoutBytes;
    EXPECT_EQ(Printed([&](std::FILE* out) { PrintStatisticsBlock(out, 1, -1, 7500, current, previous, config); }),
              "==========================================\n"
              "Board 1(plotted)\n"
              "Real time              :    2.50 s\n"
              "No data...\n");
    EXPECT_EQ(previous.eventsProcessed, 10000u) << "the snapshot is taken all the same";

    // The same time stamp and counters twice: every rate divides by zero.
    current.readoutBytes += 40;
    const std::string text = Printed([&](std::FILE* out) { FormatStatistics(out, current, previous, config, {100, 1000}); });
    EXPECT_NE(text.find("Throughput             :     inf MB/s\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Detected trigger rate  :     nan kHz\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Dead Time              :     nan %\n"), std::string::npos) << text;
}

// More dead than total time since the baselines (a reading delayed between
// the two counters): all of it dead, never a live time wrapped round.
TEST_F(StatisticsTest, DeadTimeBeyondTheTotalCountsAsAllDead) {
    const std::string text = Printed([&](std::FILE* out) { FormatStatistics(out, current, previous, config, {1100, 1500}); });
    EXPECT_EQ(text.rfind("Live Time              :    0.00 s\nDead Time              :  100.00 %\n", 0), 0u) << text;
}

// A group beyond the plotted board's groups is brought into them: the table
// never reads past the board's channels and group masks.
TEST_F(StatisticsTest, GroupBeyondTheBoardsGroupsWraps) {
    struct Case {
        int channels;
        uint16_t group;
        int effective;
    };
    for (const Case c : {Case{64, 7, 7}, Case{64, 9, 1}, Case{32, 6, 2}, Case{32, 3, 3}, Case{0, 12, 4}}) {
        config.boards[0].channelCount = c.channels;
        config.plotGroup = c.group;
        EXPECT_EQ(EffectiveGroup(config), c.effective) << c.channels << " channels, group " << c.group;
    }
}

}  // namespace
}  // namespace tessary

// Where triggers come from and what becomes of them: routing, the running
// state, lost triggers in the trigger index, time stamps, the time
// counters, the external Poisson source and reproducibility.
#include <cmath>

#include "EventsFixture.h"

namespace emulator_test {
namespace {

std::vector<uint32_t> Indices(const std::vector<uint32_t>& words) {
    std::vector<uint32_t> indices;
    for (const DecodedEvent& e : Decode(words)) indices.push_back(e.triggerIndex);
    return indices;
}

TEST_F(EventsTest, SoftwareTriggersMakeEventsOnlyWhenRoutedAndRunning) {
    BoardConfig config = Quiet();
    config.runLatencyUs = 100;
    const int32_t h = Prepare(config, 0x55, 0);
    Trigger(h);  // stopped
    Start(h);
    Trigger(h);  // run bit set, status not yet running
    AdvanceUs(100);
    Trigger(h);  // index 0
    Write(h, 0x810C, 0x40000000);
    Write(h, 0x8110, 0x80000000);
    Trigger(h);  // routed only through the second mask: no acquisition trigger
    Write(h, 0x810C, 0x80000000);
    Trigger(h);  // index 1
    Stop(h);
    Trigger(h);  // run bit cleared: ignored though the status still shows running
    EXPECT_EQ(Read(h, 0x8104) & 4, 4u);
    EXPECT_EQ(Indices(ReadAll(h)), (std::vector<uint32_t>{0, 1}));
    uint64_t software = 0;
    ASSERT_TRUE(drelm::emu::SoftwareTriggerCount(h, &software));
    EXPECT_EQ(software, 6u) << "every write counts as a software trigger";
    EXPECT_EQ(Counts(h), (std::pair<uint64_t, uint64_t>{2, 0}));
}

TEST_F(EventsTest, TriggerIndexCountsTriggersLostWhileTheMemoryIsFull) {
    const int32_t h = Prepare(Quiet(), 0x55, 0);
    Start(h);
    for (int i = 0; i < 1024 + 5; ++i) {
        Trigger(h);
        drelm::emu::AdvanceClock(1000);
    }
    EXPECT_EQ(Read(h, 0x814C), 8u) << "4 header words and 4 empty blocks";
    std::vector<uint32_t> indices = Indices(ReadAll(h));
    ASSERT_EQ(indices.size(), 1024u);
    EXPECT_EQ(indices.front(), 0u);
    EXPECT_EQ(indices.back(), 1023u);
    Trigger(h);
    EXPECT_EQ(Indices(ReadAll(h)), std::vector<uint32_t>{1029}) << "five lost triggers were counted";
    EXPECT_EQ(Counts(h), (std::pair<uint64_t, uint64_t>{1030, 5}));
}

TEST_F(EventsTest, TriggersDuringTheConversionDeadTimeAreLostButCounted) {
    BoardConfig config = Quiet();
    config.conversionTimeNs = 5000;
    const int32_t h = Prepare(config, 0x55, 0);
    Start(h);
    Trigger(h);                          // index 0 accepted
    drelm::emu::AdvanceClock(4999);
    Trigger(h);                          // index 1 lost
    drelm::emu::AdvanceClock(1);
    Trigger(h);                          // index 2 accepted: the first conversion ended
    EXPECT_EQ(Indices(ReadAll(h)), (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(Counts(h), (std::pair<uint64_t, uint64_t>{3, 1}));
}

TEST_F(EventsTest, TimeStampsCount8NsTicksSinceTheStatusShowedTheStart) {
    BoardConfig config = Quiet();
    config.runLatencyUs = 1000;
    const int32_t h = Prepare(config, 0x01, 0);
    AdvanceUs(7);
    Start(h);
    AdvanceUs(1000);  // the status shows the start now
    drelm::emu::AdvanceClock(800);
    Trigger(h);
    drelm::emu::AdvanceClock(7);
    Trigger(h);  // 807 ns: tick 100 still
    drelm::emu::AdvanceClock(1);
    Trigger(h);
    std::vector<uint64_t> stamps;
    for (const DecodedEvent& e : Decode(ReadAll(h))) stamps.push_back(e.timestamp);
    EXPECT_EQ(stamps, (std::vector<uint64_t>{100, 100, 101}));

    // A new run starts its index and its time stamps afresh.
    Stop(h);
    AdvanceUs(2000);
    Start(h);
    AdvanceUs(1000);
    drelm::emu::AdvanceClock(80);
    Trigger(h);
    const std::vector<DecodedEvent> second = Decode(ReadAll(h));
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].triggerIndex, 0u);
    EXPECT_EQ(second[0].timestamp, 10u);
}

constexpr uint64_t kUnitNs = 65536 * 8;

TEST_F(EventsTest, TotalAndDeadTimeCountUnitsOf65536Ticks) {
    BoardConfig config = Quiet();
    config.conversionTimeNs = kUnitNs;  // each accepted trigger: one unit of dead time
    const int32_t h = Prepare(config, 0x55, 0);
    Start(h);
    for (int i = 0; i < 3; ++i) {
        Trigger(h);
        drelm::emu::AdvanceClock(2 * kUnitNs);
    }
    EXPECT_EQ(Read(h, 0x81C8), 6u);
    EXPECT_EQ(Read(h, 0x81CC), 3u);
    Trigger(h);
    drelm::emu::AdvanceClock(kUnitNs / 2);
    EXPECT_EQ(Read(h, 0x81CC), 3u) << "a conversion counts as far as it has got";
    drelm::emu::AdvanceClock(kUnitNs / 2);
    EXPECT_EQ(Read(h, 0x81CC), 4u);
    Stop(h);
    drelm::emu::AdvanceClock(10 * kUnitNs);
    EXPECT_EQ(Read(h, 0x81C8), 17u) << "total time runs on while stopped";
    EXPECT_EQ(Read(h, 0x81CC), 4u) << "dead time holds";
    Start(h);
    Trigger(h);
    drelm::emu::AdvanceClock(kUnitNs);
    EXPECT_EQ(Read(h, 0x81C8), 18u) << "a start clears neither";
    EXPECT_EQ(Read(h, 0x81CC), 5u);
}

TEST_F(EventsTest, AFullMemoryIsDeadTimeUntilItIsRead) {
    const int32_t h = Prepare(Quiet(), 0x55, 0);
    Start(h);
    for (int i = 0; i < 1024; ++i) Trigger(h);  // full at time 0 of the run
    drelm::emu::AdvanceClock(10 * kUnitNs);
    EXPECT_EQ(Read(h, 0x81CC), 10u);
    ReadAll(h);
    drelm::emu::AdvanceClock(10 * kUnitNs);
    EXPECT_EQ(Read(h, 0x81CC), 10u) << "live again once read";
    EXPECT_EQ(Read(h, 0x81C8), 20u);
}

// The external source at 100 kHz over 1 s of emulated time, read every 5 ms
// so that the memory never fills.
TEST_F(EventsTest, ExternalTriggersArriveAtTheirRate) {
    BoardConfig config = Quiet();
    config.triggerRateHz = 100000;
    const int32_t h = Prepare(config, 0x55, 0);
    Write(h, 0x810C, 0x40000000);
    Start(h);
    std::size_t events = 0;
    uint32_t expectedIndex = 0;
    uint64_t lastStamp = 0;
    for (int step = 0; step < 200; ++step) {
        AdvanceUs(5000);
        for (const DecodedEvent& e : Decode(ReadAll(h))) {
            EXPECT_EQ(e.triggerIndex, expectedIndex++ & 0xFFFFFF);
            EXPECT_GE(e.timestamp, lastStamp);
            lastStamp = e.timestamp;
            ++events;
        }
    }
    const auto [triggers, lost] = Counts(h);
    EXPECT_EQ(lost, 0u);
    EXPECT_EQ(triggers, events);
    EXPECT_EQ(events, 99805u) << "the count of the fixed default seed";
    EXPECT_LT(std::fabs(static_cast<double>(events) - 1e5), 5 * std::sqrt(1e5)) << "within 5 sigma";
    EXPECT_LE(lastStamp, 125000000u);
}

TEST_F(EventsTest, ExternalTriggersNeedTheirRouting) {
    BoardConfig config = Quiet();
    config.triggerRateHz = 100000;
    const int32_t h = Prepare(config, 0x55, 0);
    Write(h, 0x810C, 0x80000000);
    Start(h);
    AdvanceUs(5000);
    EXPECT_EQ(Read(h, 0x814C), 0u);
    EXPECT_EQ(Counts(h).first, 0u);
}

TEST_F(EventsTest, ALongPauseCountsTheExcessAsLostWithoutDrawingIt) {
    BoardConfig config = Quiet();
    config.triggerRateHz = 10000000;
    const int32_t h = Prepare(config, 0x55, 0);
    Start(h);
    drelm::emu::AdvanceClock(10'000'000'000ull);  // 10 s: 1e8 triggers
    EXPECT_EQ(Decode(ReadAll(h)).size(), 1024u);
    const auto [triggers, lost] = Counts(h);
    EXPECT_EQ(triggers - lost, 1024u);
    EXPECT_LT(std::fabs(static_cast<double>(triggers) - 1e8), 5 * std::sqrt(1e8));
}

TEST_F(EventsTest, TheSameSeedGivesTheSameWords) {
    BoardConfig config;
    config.runLatencyUs = 0;
    config.triggerRateHz = 50000;
    BoardConfig other = config;
    other.seed = 2;
    const int32_t a = Prepare(config, 0x55, 0xFF, 0);
    const int32_t b = Prepare(config, 0x55, 0xFF, 1);
    const int32_t c = Prepare(other, 0x55, 0xFF, 2);
    for (int32_t h : {a, b, c}) Start(h);
    std::vector<uint32_t> words[3];
    std::size_t events = 0;
    for (int step = 0; step < 20; ++step) {
        AdvanceUs(1000);
        for (int i = 0; i < 3; ++i) {
            Trigger(i == 0 ? a : i == 1 ? b : c);
            const std::vector<uint32_t> read = ReadAll(i == 0 ? a : i == 1 ? b : c);
            if (i == 0) events += Decode(read).size();
            words[i].insert(words[i].end(), read.begin(), read.end());
        }
    }
    EXPECT_GT(events, 500u);
    EXPECT_EQ(words[0], words[1]);
    EXPECT_NE(words[0], words[2]);
}

}  // namespace
}  // namespace emulator_test

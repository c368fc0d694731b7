// The settings file's keys for event data, link timing and the delivery log.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

#include "EventsFixture.h"

namespace emulator_test {
namespace {

class EventSettingsTest : public EventsTest {
protected:
    void TearDown() override {
        unsetenv("DRELM_EMULATOR_SETTINGS");
        for (const std::string& path : paths_) std::remove(path.c_str());
        EventsTest::TearDown();
    }
    std::string TempPath() {
        char name[] = "/tmp/drelm_events_XXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        if (fd >= 0) close(fd);
        paths_.push_back(name);
        return name;
    }
    // Loads the text as the settings file; returns what the load reported.
    std::string Load(const std::string& text) {
        const std::string path = TempPath();
        std::ofstream(path, std::ios::binary) << text;
        setenv("DRELM_EMULATOR_SETTINGS", path.c_str(), 1);
        ::testing::internal::CaptureStderr();
        drelm::emu::ResetEmulator();
        return ::testing::internal::GetCapturedStderr();
    }
    std::vector<std::string> paths_;
};

TEST_F(EventSettingsTest, KeysDescribeTheSourceTheLinkAndTheLog) {
    const std::string truth = TempPath();
    const std::string errors = Load(
        "[usb 0]\n"
        "run_latency_us = 0\n"
        "trigger_rate_hz = 0\n"
        "conversion_time_ns = 0\n"
        "seed = 0x1234\n"
        "photopeak_kev = 1332\n"
        "gain_per_mev = 5000\n"
        "resolution_permille = 50\n"
        "photopeak_percent = 40\n"
        "background_percent = 10\n"
        "background_slope_kev = 300\n"
        "hit_percent = 0\n"
        "pedestal = 2000\n"
        "gain_spread_permille = 0\n"
        "link_latency_us = 0\n"
        "link_bandwidth_kb_s = unlimited\n"
        "truth_file = " + truth + "\n");
    EXPECT_EQ(errors, "");
    int32_t link = 0, h = -1;
    ASSERT_EQ(LinkOpen(DRELM_LINK_USB, &link, 0, 0, &h), 0);
    Write(h, 0x8120, 0x01);
    Write(h, 0x10A8, 0xFF);
    Write(h, 0x810C, 0x80000000);
    Start(h);
    Trigger(h);
    const std::vector<DecodedEvent> events = Decode(ReadAll(h));
    ASSERT_EQ(events.size(), 1u);
    for (uint16_t a : events[0].blocks.at(0).amplitudes) {
        EXPECT_GE(a, 2000) << "the pedestal of the file";
        EXPECT_LE(a, 2003);
    }
    ASSERT_EQ(LinkClose(h), 0);
    std::ifstream log(truth);
    std::string first, second;
    std::getline(log, first);
    std::getline(log, second);
    EXPECT_EQ(first, "# DrelmComm emulator delivery log");
    EXPECT_EQ(second, "transfers 1");
}

TEST_F(EventSettingsTest, TheSeedOfTheFileGivesTheSameStreamAsADescription) {
    auto acquire = [&](int32_t h) {
        Write(h, 0x8120, 0x55);
        for (uint32_t g = 0; g < 8; ++g) Write(h, 0x10A8 | g << 8, 0xFF);
        Write(h, 0x810C, 0xC0000000);
        Start(h);
        AdvanceUs(3000);
        Trigger(h);
        return ReadAll(h);
    };
    EXPECT_EQ(Load("[usb 0]\nseed = 77\nrun_latency_us = 0\n"), "");
    std::vector<uint32_t> fromFile = acquire(OpenUsb(0));
    BoardConfig config;
    config.seed = 77;
    config.runLatencyUs = 0;
    drelm::emu::ResetEmulator();
    std::vector<uint32_t> described = acquire(OpenUsb(1, &config));
    ASSERT_GT(fromFile.size(), 40u);
    EXPECT_EQ(Decode(fromFile).size(), Decode(described).size());
    EXPECT_EQ(fromFile, described);
}

// The keys of what a host must cope with: a memory of two events, a spare
// word after every transfer, status fields at 0, a start signal 1 ms after
// the run bit in start mode 1.
TEST_F(EventSettingsTest, KeysDescribeWhatTheHostMustCopeWith) {
    EXPECT_EQ(Load("[usb 0]\nrun_latency_us = 0\ntrigger_rate_hz = 0\nconversion_time_ns = 0\n"
                   "event_memory_events = 2\nspare_word_percent = 100\nstatus_bits = 0\n"
                   "start_signal_us = 1000\npulse_polarity = positive\n"),
              "");
    const int32_t h = OpenUsb(0);
    Write(h, 0x8120, 0x01);
    Write(h, 0x810C, 0x80000000);
    Write(h, 0x8100, 5);  // start mode 1
    Trigger(h);
    AdvanceUs(1000);
    for (int i = 0; i < 3; ++i) Trigger(h);
    const std::vector<uint32_t> words = ReadAll(h);
    ASSERT_EQ(words.size(), 2 * 5 + 1u) << "two events of one empty block, then the spare word";
    EXPECT_EQ(words.back(), 0xFFFFFFFFu);
    EXPECT_EQ(words[1], 0x01u) << "no status bits";
    EXPECT_EQ(Counts(h), (std::pair<uint64_t, uint64_t>{3, 1})) << "nothing before the start signal; then the memory was full";
}

struct BadValue {
    const char* line;
    const char* message;
};

class EventKeyValues : public EventSettingsTest, public ::testing::WithParamInterface<BadValue> {};

TEST_P(EventKeyValues, BadValuesAreReportedAndIgnored) {
    const std::string errors = Load(std::string("[usb 0]\n") + GetParam().line + "\n");
    EXPECT_NE(errors.find(":2: " + std::string(GetParam().message) + "; line ignored"), std::string::npos) << errors;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, EventKeyValues,
    ::testing::Values(BadValue{"hit_percent = 101", "hit_percent: expected a number from 0 to 100"},
                      BadValue{"photopeak_kev = 0", "photopeak_kev: expected a number from 1 to 100000"},
                      BadValue{"trigger_rate_hz = fast", "trigger_rate_hz: expected a number from 0 to 100000000"},
                      BadValue{"gain_spread_permille = 501", "gain_spread_permille: expected a number from 0 to 500"},
                      BadValue{"link_bandwidth_kb_s = -1",
                               "link_bandwidth_kb_s: expected a number from 0 to 100000000, or unlimited"},
                      BadValue{"truth_file =", "truth_file: expected a file path"},
                      BadValue{"seed = 0x100000000", "seed: expected a number from 0 to 4294967295"},
                      BadValue{"status_bits = 2", "status_bits: expected a number from 0 to 1"},
                      BadValue{"event_memory_events = 0", "event_memory_events: expected a number from 1 to 65536"},
                      BadValue{"pulse_polarity = up", "pulse_polarity: expected positive or negative"},
                      BadValue{"start_signal_us = soon",
                               "start_signal_us: expected a number from 0 to 100000000, or never"}));

}  // namespace
}  // namespace emulator_test

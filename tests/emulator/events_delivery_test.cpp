// Generated events over the link: block-read limits, the next event's size,
// the link time under the virtual clock, and the delivery log.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "EventsFixture.h"

namespace emulator_test {
namespace {

TEST_F(EventsTest, BlockReadsMoveWholeGeneratedEventsWithinTheirLimits) {
    const int32_t h = Prepare(Quiet());
    Start(h);
    for (int i = 0; i < 10; ++i) Trigger(h);
    Write(h, 0xEF1C, 3);
    EXPECT_EQ(Read(h, 0x814C), 40u);
    std::vector<uint32_t> buffer(1000, 0xCCCCCCCC);
    int32_t moved = -1;
    EXPECT_EQ(LinkBlockRead(h, 0, buffer.data(), 1000, &moved), kEndOfTransfer) << "event limit reached";
    EXPECT_EQ(moved, 120);
    std::vector<uint32_t> rest;
    EXPECT_EQ(LinkBlockRead(h, 0, buffer.data(), 79, &moved), 0) << "the room fills inside the second event";
    ASSERT_EQ(moved, 79);
    rest.insert(rest.end(), buffer.begin(), buffer.begin() + 79);
    EXPECT_EQ(Read(h, 0x814C), 1u) << "one word of it left";
    Write(h, 0xEF1C, 0);
    buffer.assign(1000, 0xCCCCCCCC);
    EXPECT_EQ(LinkBlockRead(h, 0, buffer.data(), 1000, &moved), kEndOfTransfer) << "memory emptied";
    ASSERT_EQ(moved, 201);
    EXPECT_EQ(buffer[201], 0xCCCCCCCCu);
    rest.insert(rest.end(), buffer.begin(), buffer.begin() + 201);
    const std::vector<DecodedEvent> events = Decode(rest);
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events.front().triggerIndex, 3u);
    EXPECT_EQ(events.back().triggerIndex, 9u);
    EXPECT_EQ(Read(h, 0x814C), 0u);
}

TEST_F(EventsTest, LinkOperationsLeaveTheVirtualClockAlone) {
    BoardConfig config = Quiet();
    config.linkLatencyUs = 1000;
    config.linkBandwidthKBps = 1;
    const int32_t h = Prepare(config);
    Start(h);
    Trigger(h);
    const uint64_t before = drelm::emu::EmulatedTimeNs();
    EXPECT_EQ(ReadAll(h).size(), 40u);
    Read(h, 0x8104);
    EXPECT_EQ(drelm::emu::EmulatedTimeNs(), before);
}

uint64_t Fnv1a(const std::vector<uint32_t>& words) {
    uint64_t h = 14695981039346656037ull;
    for (uint32_t w : words)
        for (int b = 0; b < 4; ++b) h = (h ^ ((w >> 8 * b) & 0xFF)) * 1099511628211ull;
    return h;
}

class DeliveryLogTest : public EventsTest {
protected:
    void SetUp() override {
        EventsTest::SetUp();
        char name[] = "/tmp/drelm_truth_XXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path_ = name;
    }
    void TearDown() override {
        std::remove(path_.c_str());
        EventsTest::TearDown();
    }
    std::string Contents() const {
        std::ifstream in(path_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::string path_;
};

TEST_F(DeliveryLogTest, ClosingTheLinkWritesWhatWasDelivered) {
    BoardConfig config = Quiet();
    config.channels = 32;
    config.truthFile = path_;
    config.conversionTimeNs = 1000;
    config.gainPerMeV = 30000;  // part of the photopeak saturates
    const int32_t h = Prepare(config, 0x05, 0x0F);
    Write(h, 0x11A8, 0x01);
    Start(h);
    std::vector<uint32_t> delivered;
    auto read = [&] {
        const std::vector<uint32_t> words = ReadAll(h);
        delivered.insert(delivered.end(), words.begin(), words.end());
    };
    for (int i = 0; i < 30; ++i) {
        Trigger(h);
        drelm::emu::AdvanceClock(500);
        Trigger(h);  // lost: within the conversion of the one before
        drelm::emu::AdvanceClock(500);
    }
    read();  // one transfer
    read();  // an empty one
    Trigger(h);
    read();
    ASSERT_EQ(LinkClose(h), 0);

    const std::vector<DecodedEvent> events = Decode(delivered);
    ASSERT_EQ(events.size(), 31u);
    uint64_t amplitudes[32] = {}, saturated[32] = {};
    for (const DecodedEvent& e : events)
        for (const auto& [p, block] : e.blocks) {
            std::size_t i = 0;
            for (uint32_t k = 0; k < 16; ++k) {
                if (!(block.channelMask & 1u << k)) continue;
                ++amplitudes[16 * p + k];
                if (block.amplitudes[i++] & 0x8000) ++saturated[16 * p + k];
            }
        }
    uint64_t anySaturated = 0;
    for (uint64_t s : saturated) anySaturated += s;
    EXPECT_GT(anySaturated, 0u);
    EXPECT_LT(anySaturated, 31u * 5);

    char checksum[32];
    std::snprintf(checksum, sizeof checksum, "0x%016llx", static_cast<unsigned long long>(Fnv1a(delivered)));
    std::ostringstream expected;
    expected << "# DrelmComm emulator delivery log\n"
             << "transfers 3\nbytes " << 4 * delivered.size() << "\nchecksum " << checksum << "\n"
             << "events 31\ntriggers 61\ntriggers_lost 30\nchannels 32\n";
    for (int c = 0; c < 32; ++c)
        expected << "channel " << c << " amplitudes " << amplitudes[c] << " saturated " << saturated[c] << "\n";
    EXPECT_EQ(Contents(), expected.str());
    EXPECT_EQ(amplitudes[0], 31u);
    EXPECT_EQ(amplitudes[4], 0u);
    EXPECT_EQ(amplitudes[8], 31u) << "group 1, channel 0";
    EXPECT_EQ(amplitudes[16], 31u) << "block 1";
}

TEST_F(DeliveryLogTest, EachOpeningOfTheLinkStartsTheCountAfresh) {
    BoardConfig config = Quiet();
    config.truthFile = path_;
    const int32_t h = Prepare(config, 0x55, 0);
    Start(h);
    Trigger(h);
    ReadAll(h);
    ASSERT_EQ(LinkClose(h), 0);
    const int32_t again = OpenUsb(0);
    Trigger(again);
    ASSERT_EQ(LinkClose(again), 0);
    std::istringstream text(Contents());
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(text, line)) lines.push_back(line);
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(lines[1], "transfers 0");
    EXPECT_EQ(lines[2], "bytes 0");
    EXPECT_EQ(lines[3], "checksum 0xcbf29ce484222325") << "the hash of nothing";
    EXPECT_EQ(lines[4], "events 0");
    EXPECT_EQ(lines[5], "triggers 1") << "the board kept running across close and open";
    EXPECT_EQ(lines[6], "triggers_lost 0");
}

TEST_F(DeliveryLogTest, AnUnwritableLogIsReportedAndTheCloseSucceeds) {
    BoardConfig config = Quiet();
    config.truthFile = "/nonexistent-dir/truth.txt";
    const int32_t h = Prepare(config);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LinkClose(h), 0);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("cannot write the delivery log /nonexistent-dir/truth.txt"),
              std::string::npos);
}

}  // namespace
}  // namespace emulator_test

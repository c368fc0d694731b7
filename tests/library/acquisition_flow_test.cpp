// A whole acquisition through the library against a board that generates
// events: program, start, read out, decode, stop, close; then the decoded
// stream is compared with what the board says it delivered.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

// FNV-1a 64 over bytes, continued from `hash`.
uint64_t Fnv1a(uint64_t hash, const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::map<std::string, std::string> ReadLog(const std::string& path) {
    std::map<std::string, std::string> values;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        std::string value;
        if (words >> key >> value && key != "#" && key != "channel") values[key] = value;
    }
    return values;
}

class AcquisitionFlowTest : public EmulatedBoardTest {
protected:
    void TearDown() override {
        std::remove(logPath_.c_str());
        EmulatedBoardTest::TearDown();
    }
    std::string logPath_ = "/tmp/tessary_flow_" + std::to_string(getpid()) + ".log";
};

TEST_F(AcquisitionFlowTest, GeneratedEventsDecodeAndMatchWhatTheBoardDelivered) {
    drelm::emu::BoardConfig config;
    config.triggerRateHz = 20000;
    config.truthFile = logPath_;
    config.statusBits = 0;  // amplitude bit 14 stays clear: every amplitude below 0x4000 unless saturated
    const int32_t h = OpenBoard(0, &config);

    // Programmed as the acquisition program does: every channel, no zero
    // suppression, full resolution, external and software triggers routed.
    int32_t status = 0;
    for (uint32_t g = 0; g < 8; ++g) {
        status |= DRELM_TSY_SetGroupZSThreshold(h, g, 0);
        status |= DRELM_TSY_SetChannelEnableMask(h, static_cast<int32_t>(g), 0xFF);
    }
    status |= DRELM_TSY_ZSDisable(h);
    status |= DRELM_TSY_SetChMode(h, 0);
    status |= DRELM_TSY_SetTriggerMode(h, 0);
    status |= DRELM_TSY_SetRecordLength(h, 62);
    status |= DRELM_TSY_SetAcquisitionMode(h, 0);
    status |= DRELM_TSY_SetSWTriggerMode(h, 1);
    status |= DRELM_TSY_SetExtTriggerInputMode(h, 1);
    status |= DRELM_TSY_SetGroupEnableMask(h);
    ASSERT_EQ(status, 0);

    void* buffer = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(DRELM_TSY_MallocReadoutBuffer(h, &buffer, &size), 0);
    ASSERT_EQ(size, 163696u);
    ASSERT_EQ(DRELM_TSY_SWStartAcquisition(h), 0);
    // The time counters run from the board's reset: the run is measured from here.
    uint32_t totalAtStart = 0;
    uint32_t deadAtStart = 0;
    ASSERT_EQ(DRELM_TSY_GetTotalTime(h, &totalAtStart), 0);
    ASSERT_EQ(DRELM_TSY_GetDeadTime(h, &deadAtStart), 0);

    std::vector<EventRecord> records(DRELM_TSY_MAX_EVENTS_PER_TRANSFER);
    uint64_t events = 0;
    uint64_t bytesTotal = 0;
    uint64_t checksum = 0xcbf29ce484222325ull;
    int64_t lastIndex = -1;
    uint64_t lastTimestamp = 0;
    size_t badEvents = 0;
    for (int pass = 0; pass < 40; ++pass) {
        drelm::emu::AdvanceClock(5'000'000);  // about 100 triggers
        if (pass % 10 == 0) {
            ASSERT_EQ(DRELM_TSY_SendSWtrigger(h), 0);
        }
        uint32_t bytes = 0;
        ASSERT_EQ(DRELM_TSY_ReadData(h, 0, buffer, &bytes), 0) << "pass " << pass;
        checksum = Fnv1a(checksum, static_cast<const uint8_t*>(buffer), bytes);
        bytesTotal += bytes;
        uint32_t count = 0;
        ASSERT_EQ(DRELM_TSY_GetEvents(h, static_cast<const uint32_t*>(buffer), bytes / 4, records.data(), &count), 0);
        for (uint32_t e = 0; e < count; ++e) {
            const EventRecord& r = records[e];
            bool good = r.eventSize == 4 + 4 * 9 && static_cast<int64_t>(r.triggerIndex) > lastIndex &&
                        r.timestamp >= lastTimestamp && r.timestamp < (uint64_t{1} << 48);
            for (const EventBlock& block : r.blocks) {
                good = good && block.channelMask == 0xFFFF;
                for (int k = 0; good && k < 16; ++k) {
                    const uint16_t a = block.amplitudes[k];
                    good = (a & 0x8000) != 0 || a < 0x4000;
                }
            }
            if (!good) ++badEvents;
            lastIndex = r.triggerIndex;
            lastTimestamp = r.timestamp;
        }
        events += count;
    }
    EXPECT_EQ(badEvents, 0u);
    EXPECT_GT(events, 2000u) << "20 kHz for 200 ms";

    uint32_t total = 0;
    uint32_t dead = 0;
    ASSERT_EQ(DRELM_TSY_GetTotalTime(h, &total), 0);
    ASSERT_EQ(DRELM_TSY_GetDeadTime(h, &dead), 0);
    // 200 ms of running in units of 524.288 us.
    EXPECT_GE(total - totalAtStart, 360u);
    EXPECT_LE(total - totalAtStart, 420u);
    EXPECT_LE(dead - deadAtStart, total - totalAtStart);

    ASSERT_EQ(DRELM_TSY_SWStopAcquisition(h), 0);
    ASSERT_EQ(DRELM_TSY_FreeReadoutBuffer(&buffer), 0);
    ASSERT_EQ(DRELM_TSY_CloseTessary(h), 0);

    const auto log = ReadLog(logPath_);
    ASSERT_FALSE(log.empty()) << "no delivery log at " << logPath_;
    EXPECT_EQ(log.at("events"), std::to_string(events));
    EXPECT_EQ(log.at("bytes"), std::to_string(bytesTotal));
    EXPECT_EQ(std::stoull(log.at("checksum"), nullptr, 16), checksum);
    EXPECT_GE(std::stoull(log.at("triggers")), events);
}

}  // namespace
}  // namespace tessary_test

// Decoding at the C API: where events end, and what a malformed or hostile
// buffer gives (status, records, and the diagnostics printed on stdout).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DrelmTessaryLib.h"
#include "EventWords.h"

namespace tessary_test {
namespace {


bool Untouched(const EventRecord& record) {
    EventRecord pattern;
    std::memset(&pattern, 0xA5, sizeof pattern);
    return std::memcmp(&record, &pattern, sizeof pattern) == 0;
}

struct Decoded {
    int32_t status;
    uint32_t count;
    std::string printed;
};

Decoded Decode(const ExactWords& words, std::vector<EventRecord>& records) {
    uint32_t count = 0xDEAD;
    testing::internal::CaptureStdout();
    const int32_t status = DRELM_TSY_GetEvents(0, words.data(), words.size(), records.data(), &count);
    return {status, count, testing::internal::GetCapturedStdout()};
}

// What the decoder prints for a malformed buffer.
std::string Diagnostics(uint32_t lastSize, const std::vector<uint32_t>& words, uint32_t count) {
    std::string text = "size written in last event: " + std::to_string(lastSize) + "\n" +
                       "buffer size: " + std::to_string(words.size()) + "\n" +
                       "Number of decoded events in the buffer: " + std::to_string(count) + "\n";
    char line[64];
    for (size_t i = 0; i < words.size(); ++i) {
        std::snprintf(line, sizeof line, "buffer word %zu: %x\n", i, words[i]);
        text += line;
    }
    return text;
}

std::vector<uint32_t> Events(uint32_t count, uint32_t blocks) {
    std::vector<uint32_t> raw;
    for (uint32_t i = 0; i < count; ++i) AppendEvent(raw, FullEvent(blocks, i));
    return raw;
}

TEST(DecoderBoundaries, NoWordsGiveNoEventsAndTouchNoRecord) {
    const uint32_t one = 0x12345678;
    auto records = PatternedRecords();
    uint32_t count = 0xDEAD;
    testing::internal::CaptureStdout();
    EXPECT_EQ(DRELM_TSY_GetEvents(0, &one, 0, records.data(), &count), DRELM_TSY_Success);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(Untouched(records[0]));
}

// Buffers that end where they should: exact fits and one trailing word.
TEST(DecoderBoundaries, WellFormedEnds) {
    struct Case {
        const char* name;
        std::vector<uint32_t> raw;
        uint32_t events;
    };
    std::vector<uint32_t> two = Events(2, 1);
    std::vector<uint32_t> trailing = two;
    trailing.push_back(0xFFFFFFFF);
    std::vector<uint32_t> headerOnlyTrailing{4, 0, 1, 2, 0x0FFFFFFF};
    const Case cases[] = {
        {"one header-only event", {4, 0, 0, 0}, 1},
        {"two events fit exactly", two, 2},
        {"one trailing word is ignored", trailing, 2},
        {"trailing word that looks like a size", headerOnlyTrailing, 1},
        {"1023 full 64-channel events", Events(kRecords, 4), kRecords},
        {"1023 full 32-channel events and a trailing word", [] {
             auto r = Events(kRecords, 2);
             r.push_back(7);
             return r;
         }(), kRecords},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ExactWords words(c.raw);
        auto records = PatternedRecords();
        const Decoded d = Decode(words, records);
        EXPECT_EQ(d.status, DRELM_TSY_Success);
        EXPECT_EQ(d.count, c.events);
        EXPECT_EQ(d.printed, "");
        if (c.events < kRecords) {
            EXPECT_TRUE(Untouched(records[c.events]));
        }
    }
}

// Malformed buffers: -20, the bad event counted, and the diagnostics
// printed byte for byte.
TEST(DecoderBoundaries, MalformedBuffersPrintDiagnostics) {
    struct Case {
        const char* name;
        std::vector<uint32_t> raw;
        uint32_t events;    // records written, the bad one included
        uint32_t lastSize;  // eventSize of the last record
    };
    std::vector<uint32_t> overrun = Events(2, 0);
    overrun[4] = 9;  // the second event claims 9 words, 4 remain
    std::vector<uint32_t> blockOverrun = Events(1, 1);  // 13 words
    AppendEvent(blockOverrun, FullEvent(1, 1));
    blockOverrun.resize(20);  // the second event's block needs 9 words, 3 remain
    std::vector<uint32_t> twoShort = Events(1, 0);
    twoShort.push_back(4);
    twoShort.push_back(0);  // a second header cut after 2 words
    std::vector<uint32_t> blockHeaderCut{4 + 1, 0x00000005, 0, 0, 0x00000000};  // block 1 header missing
    std::vector<uint32_t> amplitudesCut{4 + 9, 0x00000001, 0, 0, 0x0000FFFF, 1, 2, 3};  // 4 of 8 words
    const Case cases[] = {
        {"size overruns the buffer", overrun, 2, 9},
        {"block overruns the buffer", blockOverrun, 2, 13},
        {"size overruns by one word more than a trailing word", {6, 0, 0, 0}, 1, 6},
        {"size field with its unused bits", {0xF0000010, 0, 0, 0, 0, 0}, 1, 16},
        {"zero size", {0, 0, 0, 0, 4, 0, 0, 0}, 1, 0},
        {"size below the header", {2, 0, 0, 0, 4, 0, 0, 0}, 1, 2},
        {"header cut after one word", {0x0FFFFFFF}, 1, 0x0FFFFFFF},
        {"header cut after three words", {4, 0, 0}, 1, 4},
        {"second header cut", twoShort, 2, 4},
        {"block header past the end", blockHeaderCut, 1, 5},
        {"amplitudes past the end", amplitudesCut, 1, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ExactWords words(c.raw);
        auto records = PatternedRecords();
        const Decoded d = Decode(words, records);
        EXPECT_EQ(d.status, DRELM_TSY_DecodeError);
        EXPECT_EQ(d.count, c.events);
        EXPECT_EQ(d.printed, Diagnostics(c.lastSize, c.raw, c.events));
        EXPECT_EQ(records[c.events - 1].eventSize, c.lastSize);
        EXPECT_TRUE(Untouched(records[c.events]));
    }
}

// What the bad record holds: its header fields, the blocks that fit, and
// no amplitude pointer reaching past the buffer.
TEST(DecoderBoundaries, CutBlocksAreClearedInTheBadRecord) {
    // Block 0 fits (mask 1), block 2's amplitudes are cut.
    const std::vector<uint32_t> raw{20, 0x00000011, 33, 44, 0x00000001, 0x55, 0x0000000F, 1};
    const ExactWords words(raw);
    auto records = PatternedRecords();
    const Decoded d = Decode(words, records);
    ASSERT_EQ(d.status, DRELM_TSY_DecodeError);
    ASSERT_EQ(d.count, 1u);
    EXPECT_EQ(records[0].triggerIndex, 33u);
    EXPECT_EQ(records[0].timestamp, 44u);
    EXPECT_EQ(records[0].blocks[0].channelMask, 1u);
    EXPECT_EQ(records[0].blocks[0].amplitudes, words.HalfAt(5));
    for (uint32_t p = 1; p < 4; ++p) {
        EXPECT_EQ(records[0].blocks[p].channelMask, 0u) << p;
        EXPECT_EQ(records[0].blocks[p].amplitudes, nullptr) << p;
    }
}

TEST(DecoderBoundaries, HeaderCutShortLeavesOnlyTheSize) {
    const std::vector<uint32_t> raw{4, 0, 0, 0, 9, 0x55};
    const ExactWords words(raw);
    auto records = PatternedRecords();
    const Decoded d = Decode(words, records);
    ASSERT_EQ(d.status, DRELM_TSY_DecodeError);
    ASSERT_EQ(d.count, 2u);
    EXPECT_EQ(records[1].eventSize, 9u);
    EXPECT_EQ(records[1].triggerIndex, 0u);
    EXPECT_EQ(records[1].timestamp, 0u);
    for (const EventBlock& b : records[1].blocks) EXPECT_EQ(b.amplitudes, nullptr);
}

// The record array holds 1023 records: a 1024th event is refused, not written.
TEST(DecoderBoundaries, MoreEventsThanRecordsFail) {
    for (const uint32_t extra : {1u, 5u}) {
        SCOPED_TRACE(extra);
        const std::vector<uint32_t> raw = Events(kRecords + extra, 0);  // header-only events
        const ExactWords words(raw);
        std::vector<EventRecord> records(kRecords);  // exactly 1023: a 1024th write would be caught
        const Decoded d = Decode(words, records);
        EXPECT_EQ(d.status, DRELM_TSY_DecodeError);
        EXPECT_EQ(d.count, kRecords);
        EXPECT_EQ(d.printed, Diagnostics(4, raw, kRecords));
        EXPECT_EQ(records[kRecords - 1].triggerIndex, kRecords - 1);
    }
}

TEST(DecoderBoundaries, NullPointersAreRefused) {
    const uint32_t raw[4] = {4, 0, 0, 0};
    auto records = PatternedRecords();
    uint32_t count = 0xDEAD;
    EXPECT_EQ(DRELM_TSY_GetEvents(0, nullptr, 4, records.data(), &count), DRELM_TSY_InvalidParam);
    EXPECT_EQ(DRELM_TSY_GetEvents(0, raw, 4, nullptr, &count), DRELM_TSY_InvalidParam);
    EXPECT_EQ(count, 0xDEADu);
    EXPECT_EQ(DRELM_TSY_GetEvents(0, raw, 4, records.data(), nullptr), DRELM_TSY_InvalidParam);
    EXPECT_TRUE(Untouched(records[0]));
}

// The handle is not looked at: decoding needs no board.
TEST(DecoderBoundaries, HandleIsIgnored) {
    const ExactWords words({4, 0, 0, 0});
    for (const int32_t handle : {-1, 0, 99, 1000}) {
        std::vector<EventRecord> records(kRecords);
        uint32_t count = 0;
        EXPECT_EQ(DRELM_TSY_GetEvents(handle, words.data(), words.size(), records.data(), &count), 0);
        EXPECT_EQ(count, 1u);
    }
}

}  // namespace
}  // namespace tessary_test

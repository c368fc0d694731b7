// Decoding at the C API: the wire format, field by field and bit by bit.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DrelmTessaryLib.h"
#include "EventWords.h"

namespace tessary_test {
namespace {


struct Decoded {
    int32_t status;
    uint32_t count;
};

Decoded Decode(const ExactWords& words, std::vector<EventRecord>& records) {
    uint32_t count = 0xDEAD;
    const int32_t status = DRELM_TSY_GetEvents(0, words.data(), words.size(), records.data(), &count);
    return {status, count};
}

TEST(DecoderWireFormat, HeaderWordsGiveSizeTriggerIndexAndTimestamp) {
    // Unused bits set everywhere: word 0 bits 28-31, word 1 bits 1,3,5,7 and
    // 24-31, word 2 bits 24-31.
    const ExactWords words({0xF0000004, 0xFF1234AA, 0xAB654321, 0x89ABCDEF});
    auto records = PatternedRecords();
    const Decoded d = Decode(words, records);
    ASSERT_EQ(d.status, DRELM_TSY_Success);
    ASSERT_EQ(d.count, 1u);
    EXPECT_EQ(records[0].eventSize, 4u);
    EXPECT_EQ(records[0].triggerIndex, 0x654321u);
    EXPECT_EQ(records[0].timestamp, 0x123489ABCDEFull);
}

TEST(DecoderWireFormat, TimestampHighBitsAndPresentBitsOf0x0000AB05) {
    // Block 0 and block 1, one channel each: header word and one amplitude word.
    const std::vector<uint32_t> raw{8, 0x0000AB05, 9, 0x00000010, 0x00000001, 0x0000002A, 0x00000001, 0x0000002B};
    const ExactWords words(raw);
    auto records = PatternedRecords();
    const Decoded d = Decode(words, records);
    ASSERT_EQ(d.status, DRELM_TSY_Success);
    ASSERT_EQ(d.count, 1u);
    EXPECT_EQ(records[0].timestamp, (0xABull << 32) | 0x10);
    EXPECT_EQ(records[0].blocks[0].channelMask, 1u);
    EXPECT_EQ(records[0].blocks[1].channelMask, 1u);
    EXPECT_EQ(records[0].blocks[0].amplitudes, words.HalfAt(5));
    EXPECT_EQ(records[0].blocks[1].amplitudes, words.HalfAt(7));
    EXPECT_EQ(records[0].blocks[0].amplitudes[0], 0x2A);
    EXPECT_EQ(records[0].blocks[1].amplitudes[0], 0x2B);
    EXPECT_EQ(records[0].blocks[2].amplitudes, nullptr);
    EXPECT_EQ(records[0].blocks[3].amplitudes, nullptr);
}

// Every combination of the four present bits: each present block decoded at
// the right place, each absent one cleared.
TEST(DecoderWireFormat, EveryCombinationOfPresentBits) {
    for (uint32_t present = 0; present < 16; ++present) {
        SCOPED_TRACE(present);
        EventShape shape;
        shape.triggerIndex = present;
        for (uint32_t p = 0; p < 4; ++p)
            if (present >> p & 1) shape.blocks[p] = Block(static_cast<uint16_t>(0x8001u | 1u << (p + 4)));
        std::vector<uint32_t> raw;
        AppendEvent(raw, shape);
        const ExactWords words(raw);
        auto records = PatternedRecords();
        const Decoded d = Decode(words, records);
        ASSERT_EQ(d.status, DRELM_TSY_Success);
        ASSERT_EQ(d.count, 1u);
        uint32_t cursor = 4;
        for (uint32_t p = 0; p < 4; ++p) {
            const EventBlock& b = records[0].blocks[p];
            if (present >> p & 1) {
                EXPECT_EQ(b.channelMask, shape.blocks[p]->channelMask) << "block " << p;
                EXPECT_EQ(b.amplitudes, words.HalfAt(cursor + 1)) << "block " << p;
                const uint32_t channel0 = 16 * p;
                EXPECT_EQ(b.amplitudes[0], AmplitudeOf(channel0)) << "block " << p;
                cursor += 1 + 2;  // three channels: header and two words
            } else {
                EXPECT_EQ(b.channelMask, 0u) << "block " << p;
                EXPECT_EQ(b.headerField, 0u) << "block " << p;
                EXPECT_EQ(b.headerFlag, 0u) << "block " << p;
                EXPECT_EQ(b.pileUp, 0u) << "block " << p;
                EXPECT_EQ(b.amplitudes, nullptr) << "block " << p;
            }
        }
        EXPECT_EQ(cursor, words.size());
    }
}

TEST(DecoderWireFormat, BlockHeaderFieldsFlagAndPileUp) {
    struct Case {
        uint32_t header;
        uint16_t mask, field, flag, pileUp;
    };
    const Case cases[] = {
        {0x00000000, 0x0000, 0x000, 0, 0},
        {0x0ABC0000, 0x0000, 0xABC, 0, 0},
        {0x10000000, 0x0000, 0x000, 1, 0},
        {0x80000000, 0x0000, 0x000, 0, 1},
        {0x60000000, 0x0000, 0x000, 0, 0},  // bits 29-30 unused
        {0xFFFF0000, 0x0000, 0xFFF, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        const ExactWords words({5, 0x00000001, 0, 0, c.header});
        auto records = PatternedRecords();
        const Decoded d = Decode(words, records);
        ASSERT_EQ(d.status, DRELM_TSY_Success);
        const EventBlock& b = records[0].blocks[0];
        EXPECT_EQ(b.channelMask, c.mask);
        EXPECT_EQ(b.headerField, c.field);
        EXPECT_EQ(b.headerFlag, c.flag);
        EXPECT_EQ(b.pileUp, c.pileUp);
        EXPECT_EQ(b.amplitudes, words.HalfAt(5));  // one past the end: no amplitude
    }
}

// A block occupies 1 + ceil(n/2) words: the next block's header is found
// exactly there, whatever the mask.
TEST(DecoderWireFormat, BlockLengthFollowsTheChannelCount) {
    struct Case {
        uint16_t mask;
        uint32_t blockWords;
    };
    const Case cases[] = {{0x0000, 1}, {0x0001, 2}, {0x8000, 2}, {0x0007, 3}, {0x0103, 3},
                          {0x000F, 3}, {0x001F, 4}, {0x7FFF, 9}, {0xFFFF, 9}, {0xAAAA, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        EventShape shape;
        shape.blocks[0] = Block(c.mask);
        shape.blocks[2] = Block(0x0001, 0x123);
        std::vector<uint32_t> raw;
        const uint32_t size = AppendEvent(raw, shape);
        ASSERT_EQ(size, 4 + c.blockWords + 2);
        const ExactWords words(raw);
        auto records = PatternedRecords();
        ASSERT_EQ(Decode(words, records).status, DRELM_TSY_Success);
        EXPECT_EQ(records[0].blocks[2].headerField, 0x123u);
        EXPECT_EQ(records[0].blocks[2].amplitudes, words.HalfAt(4 + c.blockWords + 1));
    }
}

TEST(DecoderWireFormat, AmplitudesPackTwoToAWordLowHalfFirst) {
    EventShape shape;
    shape.blocks[1] = BlockShape{0x0505, 0, false, false, {0x8001, 0x3FFF, 0x1234}};  // odd count: 3
    std::vector<uint32_t> raw;
    AppendEvent(raw, shape);
    ASSERT_EQ(raw.size(), 4u + 3u);
    EXPECT_EQ(raw[5], 0x3FFF8001u);
    EXPECT_EQ(raw[6], 0x00001234u);
    const ExactWords words(raw);
    auto records = PatternedRecords();
    ASSERT_EQ(Decode(words, records).status, DRELM_TSY_Success);
    const uint16_t* a = records[0].blocks[1].amplitudes;
    ASSERT_EQ(a, words.HalfAt(5));
    EXPECT_EQ(a[0], 0x8001);
    EXPECT_EQ(a[1], 0x3FFF);
    EXPECT_EQ(a[2], 0x1234);
}

TEST(DecoderWireFormat, EventWithoutBlocksFillsTheHeaderAndClearsAllBlocks) {
    const ExactWords words({4, 0x0012FFAA, 77, 5});  // odd bits set, no even bit
    auto records = PatternedRecords();
    ASSERT_EQ(Decode(words, records).status, DRELM_TSY_Success);
    EXPECT_EQ(records[0].triggerIndex, 77u);
    EXPECT_EQ(records[0].timestamp, (0x12FFull << 32) | 5);
    for (const EventBlock& b : records[0].blocks) {
        EXPECT_EQ(b.channelMask, 0u);
        EXPECT_EQ(b.amplitudes, nullptr);
    }
}

// A block's words are found from the channel masks only, even when the
// event's size says otherwise.
TEST(DecoderWireFormat, BlockCursorIgnoresTheEventSize) {
    // Event A claims 6 words but its 16-channel block covers words 4 to 12;
    // event B starts at word 6 and claims 7.
    const std::vector<uint32_t> raw{6, 0x1, 0, 0, 0x0000FFFF, 11, 7, 0, 0, 0, 0, 12, 13};
    const ExactWords words(raw);
    auto records = PatternedRecords();
    const Decoded d = Decode(words, records);
    ASSERT_EQ(d.status, DRELM_TSY_Success);
    ASSERT_EQ(d.count, 2u);
    EXPECT_EQ(records[0].eventSize, 6u);
    EXPECT_EQ(records[0].blocks[0].channelMask, 0xFFFFu);
    EXPECT_EQ(records[0].blocks[0].amplitudes, words.HalfAt(5));
    EXPECT_EQ(records[1].eventSize, 7u);
}

TEST(DecoderWireFormat, FullSixtyFourChannelEventsDecodeInOrder) {
    std::vector<uint32_t> raw;
    for (uint32_t i = 0; i < 3; ++i) AppendEvent(raw, FullEvent(4, 0xFFFFFE + i));
    ASSERT_EQ(raw.size(), 3u * 40u);
    const ExactWords words(raw);
    auto records = PatternedRecords();
    const Decoded d = Decode(words, records);
    ASSERT_EQ(d.status, DRELM_TSY_Success);
    ASSERT_EQ(d.count, 3u);
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(records[i].eventSize, 40u);
        EXPECT_EQ(records[i].triggerIndex, (0xFFFFFE + i) & 0xFFFFFF);
        for (uint32_t p = 0; p < 4; ++p) {
            ASSERT_EQ(records[i].blocks[p].channelMask, 0xFFFF);
            for (uint32_t k = 0; k < 16; ++k) EXPECT_EQ(records[i].blocks[p].amplitudes[k], AmplitudeOf(16 * p + k));
        }
    }
}

}  // namespace
}  // namespace tessary_test

// Block reads from the event memory: a stream of event words that fills the
// caller's room, bounded by the events-per-transfer register. Spare words
// after a transfer are off here (they have a test of their own).
#include <cstring>
#include <numeric>

#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

// An event of `size` words whose words after the first count up from `tag`.
std::vector<uint32_t> Event(uint32_t size, uint32_t tag) {
    std::vector<uint32_t> words(size);
    words[0] = size | 0xA0000000;  // bits 28-31 are not part of the size
    std::iota(words.begin() + 1, words.end(), tag);
    return words;
}

std::vector<uint32_t> Events(std::initializer_list<uint32_t> sizes) {
    std::vector<uint32_t> all;
    uint32_t tag = 0x100;
    for (uint32_t size : sizes) {
        const std::vector<uint32_t> e = Event(size, tag);
        all.insert(all.end(), e.begin(), e.end());
        tag += 0x100;
    }
    return all;
}

BoardConfig WithoutSpareWords() {
    BoardConfig config;
    config.spareWordPercent = 0;
    return config;
}

class BlockReadTest : public EmulatorTest {
protected:
    void SetUp() override {
        EmulatorTest::SetUp();
        handle = OpenUsb(0, &kConfig);
    }
    const BoardConfig kConfig = WithoutSpareWords();
    int32_t BlockRead(int32_t maxWords) {
        buffer.assign(static_cast<std::size_t>(maxWords) + 4, 0xCCCCCCCC);
        moved = -1;
        return LinkBlockRead(handle, 0, buffer.data(), maxWords, &moved);
    }
    int32_t handle = -1;
    int32_t moved = -1;
    std::vector<uint32_t> buffer;
};

TEST_F(BlockReadTest, EmptyMemoryEndsTheTransferAtOnce) {
    EXPECT_EQ(BlockRead(100), kEndOfTransfer);
    EXPECT_EQ(moved, 0);
    EXPECT_EQ(BlockRead(0), 0) << "no room asked for: nothing to stop short of";
    EXPECT_EQ(moved, 0);
}

TEST_F(BlockReadTest, DeliversWholeEventsInOrder) {
    const std::vector<uint32_t> all = Events({6, 4, 9});
    ASSERT_TRUE(drelm::emu::InjectEvents(handle, all));
    EXPECT_EQ(Read(handle, 0x814C), 6u) << "size of the next event";
    EXPECT_EQ(BlockRead(100), kEndOfTransfer);
    ASSERT_EQ(moved, 19);
    EXPECT_EQ(std::vector<uint32_t>(buffer.begin(), buffer.begin() + 19), all);
    EXPECT_EQ(buffer[19], 0xCCCCCCCCu) << "nothing written past the words moved";
    EXPECT_EQ(Read(handle, 0x814C), 0u);
}

TEST_F(BlockReadTest, FillsTheRoomAndGoesOnInsideAnEvent) {
    const std::vector<uint32_t> all = Events({6, 4, 9});
    ASSERT_TRUE(drelm::emu::InjectEvents(handle, all));
    EXPECT_EQ(BlockRead(12), 0) << "more may follow";
    ASSERT_EQ(moved, 12) << "two events and the first two words of the third";
    EXPECT_EQ(std::vector<uint32_t>(buffer.begin(), buffer.begin() + 12),
              std::vector<uint32_t>(all.begin(), all.begin() + 12));
    EXPECT_EQ(buffer[12], 0xCCCCCCCCu);
    EXPECT_EQ(Read(handle, 0x814C), 7u) << "words left of the event under way";
    EXPECT_EQ(BlockRead(7), 0) << "the room filled exactly: the board has not ended the transfer";
    ASSERT_EQ(moved, 7);
    EXPECT_EQ(std::vector<uint32_t>(buffer.begin(), buffer.begin() + 7),
              std::vector<uint32_t>(all.begin() + 12, all.end()));
    EXPECT_EQ(BlockRead(9), kEndOfTransfer);
    EXPECT_EQ(moved, 0);
}

// The board ends a transfer only when it stops short of the words asked for.
TEST_F(BlockReadTest, EndOfTransferOnlyWhenShortOfTheRoom) {
    struct Case {
        const char* what;
        uint32_t limit;
        int32_t maxWords;
        int32_t status;
        int32_t moved;
    };
    const Case cases[] = {
        {"memory emptied exactly at the room", 0, 12, 0, 12},
        {"memory emptied before the room", 0, 13, kEndOfTransfer, 12},
        {"event limit reached exactly at the room", 2, 8, 0, 8},
        {"event limit reached before the room", 2, 9, kEndOfTransfer, 8},
        {"the room ends inside an event", 0, 10, 0, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        drelm::emu::ResetEmulator();
        handle = OpenUsb(0, &kConfig);
        ASSERT_TRUE(drelm::emu::InjectEvents(handle, Events({4, 4, 4})));
        Write(handle, 0xEF1C, c.limit);
        EXPECT_EQ(BlockRead(c.maxWords), c.status);
        EXPECT_EQ(moved, c.moved);
    }
}

TEST_F(BlockReadTest, EventsPerTransferLimitEndsTheTransfer) {
    ASSERT_TRUE(drelm::emu::InjectEvents(handle, Events({4, 4, 4, 4, 4})));
    Write(handle, 0xEF1C, 2);
    EXPECT_EQ(BlockRead(100), kEndOfTransfer);
    EXPECT_EQ(moved, 8);
    EXPECT_EQ(BlockRead(6), 0) << "the room fills inside the second event, limit not reached";
    EXPECT_EQ(moved, 6);
    Write(handle, 0xEF1C, 0);  // no limit
    EXPECT_EQ(BlockRead(100), kEndOfTransfer);
    EXPECT_EQ(moved, 6);
}

TEST_F(BlockReadTest, ReadsIntoAnUnalignedBuffer) {
    ASSERT_TRUE(drelm::emu::InjectEvents(handle, Events({4})));
    alignas(4) unsigned char bytes[4 * 4 + 1] = {};
    EXPECT_EQ(LinkBlockRead(handle, 0, bytes + 1, 4, &moved), 0);
    EXPECT_EQ(moved, 4);
    uint32_t first = 0;
    std::memcpy(&first, bytes + 1, 4);
    EXPECT_EQ(first, 4u | 0xA0000000);
}

TEST_F(BlockReadTest, OnlyBoardAddressZeroIsRead) {
    ASSERT_TRUE(drelm::emu::InjectEvents(handle, Events({4})));
    uint32_t words[4];
    EXPECT_EQ(LinkBlockRead(handle, 0x32100000, words, 4, &moved), -3);
    EXPECT_EQ(LinkBlockRead(handle + 1, 0, words, 4, &moved), -1);
    EXPECT_EQ(BlockRead(5), kEndOfTransfer);
    EXPECT_EQ(moved, 4);
}

TEST_F(BlockReadTest, InjectionTakesWholeEventsOnly) {
    EXPECT_FALSE(drelm::emu::InjectEvents(handle, {5, 0, 0}));
    EXPECT_FALSE(drelm::emu::InjectEvents(handle, {0x10000000, 0}));  // size 0
    EXPECT_FALSE(drelm::emu::InjectEvents(handle, {4, 0, 0, 0, 2}));
    EXPECT_FALSE(drelm::emu::InjectEvents(handle + 1, {1}));
    EXPECT_EQ(Read(handle, 0x814C), 0u) << "a refused injection stores nothing";
    EXPECT_TRUE(drelm::emu::InjectEvents(handle, {1, 1}));
}

TEST_F(BlockReadTest, EventMemoryHoldsAtMost1024Events) {
    std::vector<uint32_t> ones(1000, 1);
    ASSERT_TRUE(drelm::emu::InjectEvents(handle, ones));
    EXPECT_FALSE(drelm::emu::InjectEvents(handle, std::vector<uint32_t>(25, 1)));
    EXPECT_TRUE(drelm::emu::InjectEvents(handle, std::vector<uint32_t>(24, 1)));
    EXPECT_FALSE(drelm::emu::InjectEvents(handle, {1}));
    EXPECT_EQ(BlockRead(2000), kEndOfTransfer);
    EXPECT_EQ(moved, 1024);
}

TEST_F(BlockReadTest, EventsSurviveCloseAndOpen) {
    ASSERT_TRUE(drelm::emu::InjectEvents(handle, Events({4})));
    ASSERT_EQ(LinkClose(handle), 0);
    handle = OpenUsb(0);
    EXPECT_EQ(BlockRead(5), kEndOfTransfer);
    EXPECT_EQ(moved, 4);
}

}  // namespace
}  // namespace emulator_test

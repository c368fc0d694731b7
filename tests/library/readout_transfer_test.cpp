// Readout through the emulator: events put in the board's memory arrive in
// the readout buffer, whole, in modes 0 and 3; failures give their status
// and a byte count of 0.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BoardTable.h"
#include "EmulatedBoards.h"
#include "EventWords.h"

namespace tessary_test {
namespace {

using drelm::emu::AddFault;
using drelm::emu::Fault;

constexpr uint32_t kNextEventSize = 0x814C;
constexpr uint32_t kMaxEventsPerTransfer = 0xEF1C;

Expect BlockRead(uint32_t words, int32_t status) { return {Op::BlockRead, 0, words, status}; }

Fault FaultOn(Op op, int32_t status, std::optional<uint32_t> address = std::nullopt) {
    Fault f;
    f.op = op;
    f.status = status;
    f.count = 1;
    f.address = address;
    return f;
}

std::vector<uint32_t> SomeEvents() {
    std::vector<uint32_t> raw;
    AppendEvent(raw, FullEvent(4, 1));
    EventShape small;
    small.triggerIndex = 2;
    small.timestamp = 0x123456789AULL;
    small.blocks[1] = Block(0x0007, 0x0AB);
    small.blocks[3] = Block(0x0000);
    AppendEvent(raw, small);
    EventShape bare;
    bare.triggerIndex = 3;
    AppendEvent(raw, bare);
    return raw;
}

class ReadoutTest : public EmulatedBoardTest {
protected:
    void TearDown() override {
        void* buffer = buffer_;
        DRELM_TSY_FreeReadoutBuffer(&buffer);
        EmulatedBoardTest::TearDown();
    }

    // Opens a board and gives it its readout buffer. Its transfers carry no
    // spare word, so that what arrives is exactly what was put in.
    int32_t OpenWithBuffer(int32_t channels = 64) {
        drelm::emu::BoardConfig config;
        config.channels = channels;
        config.spareWordPercent = 0;
        const int32_t handle = OpenBoard(0, &config);
        void* buffer = nullptr;
        EXPECT_EQ(DRELM_TSY_MallocReadoutBuffer(handle, &buffer, &size_), 0);
        buffer_ = static_cast<uint32_t*>(buffer);
        return handle;
    }

    void Inject(int32_t handle, const std::vector<uint32_t>& words) {
        ASSERT_TRUE(drelm::emu::InjectEvents(LinkOf(handle), words));
    }

    // The words the last transfer left at the start of the buffer.
    std::vector<uint32_t> Received(uint32_t bytes) const { return {buffer_, buffer_ + bytes / 4}; }

    uint32_t* buffer_ = nullptr;
    uint32_t size_ = 0;
};

TEST_F(ReadoutTest, ModeZeroMovesEveryEventUntilTheBoardEndsTheTransfer) {
    const int32_t handle = OpenWithBuffer();
    const std::vector<uint32_t> events = SomeEvents();
    Inject(handle, events);
    uint32_t bytes = 0xDEAD;
    Record();
    ASSERT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {BlockRead(static_cast<uint32_t>(events.size()), -13)}));
    ASSERT_EQ(bytes, events.size() * 4);
    EXPECT_EQ(Received(bytes), events);

    // What arrived decodes into the events that were put in.
    std::vector<EventRecord> records(DRELM_TSY_MAX_EVENTS_PER_TRANSFER);
    uint32_t count = 0;
    ASSERT_EQ(DRELM_TSY_GetEvents(handle, buffer_, bytes / 4, records.data(), &count), DRELM_TSY_Success);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(records[0].eventSize, 40u);
    EXPECT_EQ(records[1].triggerIndex, 2u);
    EXPECT_EQ(records[1].timestamp, 0x123456789AULL);
    EXPECT_EQ(records[1].blocks[1].headerField, 0x0ABu);
    EXPECT_EQ(records[1].blocks[1].amplitudes[2], AmplitudeOf(18));
    EXPECT_EQ(records[1].blocks[0].amplitudes, nullptr);
    EXPECT_EQ(records[2].triggerIndex, 3u);

    Record();
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_Success);
    EXPECT_EQ(bytes, 0u) << "the memory is empty now";
    EXPECT_TRUE(TrafficIs(Traffic(), {BlockRead(0, -13)}));
}

// Opening limits a transfer to 1023 events; the rest come with the next one.
TEST_F(ReadoutTest, ModeZeroStopsAtTheEventsPerTransferLimit) {
    const int32_t handle = OpenWithBuffer(32);
    ASSERT_EQ(Peek(handle, kMaxEventsPerTransfer), 1023u);
    std::vector<uint32_t> events;
    for (uint32_t i = 0; i < 1024; ++i) AppendEvent(events, FullEvent(2, i));
    Inject(handle, events);
    uint32_t bytes = 0;
    ASSERT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_Success);
    ASSERT_EQ(bytes, 1023u * 22 * 4);
    EXPECT_EQ(Received(bytes), std::vector<uint32_t>(events.begin(), events.begin() + 1023 * 22));
    ASSERT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_Success);
    ASSERT_EQ(bytes, 1u * 22 * 4);
    EXPECT_EQ(Received(bytes), std::vector<uint32_t>(events.begin() + 1023 * 22, events.end()));
}

// The buffer fills up exactly while the board still has events: -23 with 0.
TEST_F(ReadoutTest, ModeZeroBufferFullIsOutOfMemory) {
    const int32_t handle = OpenWithBuffer(32);
    ASSERT_EQ(size_, 90040u);
    Poke(handle, kMaxEventsPerTransfer, 2000);  // the buffer, not the event limit, ends the first read
    std::vector<uint32_t> events;
    for (uint32_t i = 0; i < 1022; ++i) AppendEvent(events, FullEvent(2, i));
    EventShape last = FullEvent(2, 1022);
    last.blocks[2] = Block(0x0001);
    last.blocks[3] = Block(0x8000);
    AppendEvent(events, last);  // 26 words: the buffer is now exactly full
    ASSERT_EQ(events.size() * 4, 90040u);
    AppendEvent(events, FullEvent(2, 5000));
    Inject(handle, events);
    uint32_t bytes = 0xDEAD;
    Record();
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_OutOfMemory);
    EXPECT_EQ(bytes, 0u);
    EXPECT_TRUE(TrafficIs(Traffic(), {BlockRead(90040 / 4, 0)})) << "no read with no room";
}

// Less room is left than the next event needs: the board fills the room
// with the first words of the event and the transfer finds no room left.
TEST_F(ReadoutTest, ModeZeroEventLargerThanTheRoomLeftIsOutOfMemory) {
    const int32_t handle = OpenWithBuffer(32);
    Poke(handle, kMaxEventsPerTransfer, 2000);
    std::vector<uint32_t> events;
    for (uint32_t i = 0; i < 1022; ++i) AppendEvent(events, FullEvent(2, i));  // 26 words of room left
    AppendEvent(events, FullEvent(4, 1022));                                  // 40 words
    Inject(handle, events);
    uint32_t bytes = 0xDEAD;
    Record();
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_OutOfMemory);
    EXPECT_EQ(bytes, 0u);
    EXPECT_TRUE(TrafficIs(Traffic(), {BlockRead(90040 / 4, 0)}));
    EXPECT_EQ(Received(90040), std::vector<uint32_t>(events.begin(), events.begin() + 90040 / 4));
}

// Any failure of a block read ends the transfer at once: -1 and 0 bytes;
// the faulted read moved nothing, so the next transfer delivers the events.
TEST_F(ReadoutTest, ModeZeroBlockReadFailures) {
    const int32_t handle = OpenWithBuffer();
    const std::vector<uint32_t> events = SomeEvents();
    Inject(handle, events);
    for (const int32_t status : {-1, -2, -7, -12, 1}) {
        SCOPED_TRACE(status);
        const int id = AddFault(FaultOn(Op::BlockRead, status));
        uint32_t bytes = 0xDEAD;
        Record();
        EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_GenericError);
        EXPECT_EQ(bytes, 0u);
        EXPECT_TRUE(TrafficIs(Traffic(), {BlockRead(0, status)}));
        drelm::emu::RemoveFault(id);
    }
    uint32_t bytes = 0;
    ASSERT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_Success);
    EXPECT_EQ(Received(bytes), events);
}

// A -13 with no word is the board's normal end of an empty transfer.
TEST_F(ReadoutTest, ModeZeroEndWithoutWordsIsSuccess) {
    const int32_t handle = OpenWithBuffer();
    Inject(handle, SomeEvents());
    const int id = AddFault(FaultOn(Op::BlockRead, -13));
    uint32_t bytes = 0xDEAD;
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_Success);
    EXPECT_EQ(bytes, 0u);
    drelm::emu::RemoveFault(id);
}

// A link that keeps answering "more may follow" with no data is not waited
// on forever: the transfer fails after a bounded number of empty reads.
TEST_F(ReadoutTest, ModeZeroGivesUpOnALinkThatNeverDelivers) {
    const int32_t handle = OpenWithBuffer();
    Fault stuck = FaultOn(Op::BlockRead, 0);
    stuck.count = 0;  // every call
    AddFault(stuck);
    uint32_t bytes = 0xDEAD;
    Record();
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, &bytes), DRELM_TSY_GenericError);
    EXPECT_EQ(bytes, 0u);
    const std::vector<Access> traffic = Traffic();
    EXPECT_EQ(traffic.size(), 100u);
    for (const Access& a : traffic) EXPECT_EQ(a.op, Op::BlockRead);
}

// A link that stops delivering with less room left than the board's own
// largest event (22 words on 32 channels, 40 on 64) may be holding back an
// event that does not fit: -23; with more room left it has just failed: -1.
TEST_F(ReadoutTest, ModeZeroStuckLinkWeighsTheRoomAgainstTheBoardsLargestEvent) {
    struct Case {
        int32_t channels;
        uint32_t roomWords;
        int32_t status;
    };
    const Case cases[] = {
        {32, 30, DRELM_TSY_GenericError}, {32, 21, DRELM_TSY_OutOfMemory}, {64, 30, DRELM_TSY_OutOfMemory}};
    std::vector<uint32_t> buffer(40);
    for (int32_t link = 0; link < 3; ++link) {
        const Case& c = cases[link];
        SCOPED_TRACE(link);
        drelm::emu::BoardConfig config;
        config.channels = c.channels;
        const int32_t handle = OpenBoard(link, &config);
        // The emulator fills whatever room it is asked for, so the room a
        // short read would leave is set as the board's bound instead.
        drelm::tsy::Board(handle).readoutBufferSize = c.roomWords * 4;
        Fault stuck = FaultOn(Op::BlockRead, 0);
        stuck.count = 0;
        const int id = AddFault(stuck);
        uint32_t bytes = 0xDEAD;
        EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, buffer.data(), &bytes), c.status);
        EXPECT_EQ(bytes, 0u);
        drelm::emu::RemoveFault(id);
    }
}

TEST_F(ReadoutTest, ModeThreeReadsOneEventOfTheAnnouncedSize) {
    const int32_t handle = OpenWithBuffer();
    const std::vector<uint32_t> events = SomeEvents();  // 40, 8 and 4 words
    Inject(handle, events);
    const uint32_t sizes[] = {40, 8, 4};
    uint32_t offset = 0;
    for (const uint32_t size : sizes) {
        SCOPED_TRACE(size);
        uint32_t bytes = 0xDEAD;
        Record();
        ASSERT_EQ(DRELM_TSY_ReadData(handle, 3, buffer_, &bytes), DRELM_TSY_Success);
        ASSERT_EQ(bytes, size * 4);
        EXPECT_EQ(Received(bytes), std::vector<uint32_t>(events.begin() + offset, events.begin() + offset + size));
        const std::vector<Access> traffic = Traffic();
        ASSERT_EQ(traffic.size(), 2u);
        EXPECT_TRUE(TrafficIs({traffic[0]}, {Read(kNextEventSize, size)}));
        EXPECT_EQ(traffic[1].op, Op::BlockRead);
        EXPECT_EQ(traffic[1].value, size);
        offset += size;
    }
    uint32_t bytes = 0xDEAD;
    Record();
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 3, buffer_, &bytes), DRELM_TSY_Success);
    EXPECT_EQ(bytes, 0u);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kNextEventSize, 0)})) << "no block read for an empty board";
}

TEST_F(ReadoutTest, ModeThreeFailures) {
    const int32_t handle = OpenWithBuffer();
    const std::vector<uint32_t> events = SomeEvents();
    Inject(handle, events);

    int id = AddFault(FaultOn(Op::ReadRegister, -2, kNextEventSize));
    uint32_t bytes = 0xDEAD;
    Record();
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 3, buffer_, &bytes), DRELM_TSY_ReadFailed);
    EXPECT_EQ(bytes, 0u);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kNextEventSize, std::nullopt, -2)}));
    drelm::emu::RemoveFault(id);

    id = AddFault(FaultOn(Op::BlockRead, -2));
    bytes = 0xDEAD;
    Record();
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 3, buffer_, &bytes), DRELM_TSY_GenericError);
    EXPECT_EQ(bytes, 0u);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kNextEventSize, 40), BlockRead(0, -2)}));
    drelm::emu::RemoveFault(id);

    ASSERT_EQ(DRELM_TSY_ReadData(handle, 3, buffer_, &bytes), DRELM_TSY_Success);
    EXPECT_EQ(Received(bytes), std::vector<uint32_t>(events.begin(), events.begin() + 40));
}

// An event larger than the readout buffer is not read at all, so that it
// neither overruns the buffer nor arrives cut.
TEST_F(ReadoutTest, ModeThreeEventLargerThanTheBufferIsRefused) {
    const int32_t handle = OpenWithBuffer(32);
    std::vector<uint32_t> huge(90040 / 4 + 1, 0);
    huge[0] = static_cast<uint32_t>(huge.size());
    Inject(handle, huge);
    uint32_t bytes = 0xDEAD;
    Record();
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 3, buffer_, &bytes), DRELM_TSY_OutOfMemory);
    EXPECT_EQ(bytes, 0u);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kNextEventSize, 90040 / 4 + 1)}));
}

TEST_F(ReadoutTest, OtherModesAreRefusedWithoutTouchingTheBoard) {
    const int32_t handle = OpenWithBuffer();
    Inject(handle, SomeEvents());
    struct Case {
        int32_t mode;
        int32_t status;
    };
    const Case cases[] = {{1, DRELM_TSY_NotAvailable}, {2, DRELM_TSY_NotAvailable}, {4, DRELM_TSY_NotAvailable},
                          {5, DRELM_TSY_NotAvailable}, {6, DRELM_TSY_CommError},    {-1, DRELM_TSY_CommError},
                          {100, DRELM_TSY_CommError},  {INT_MIN, DRELM_TSY_CommError}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        uint32_t bytes = 0xDEAD;
        Record();
        EXPECT_EQ(DRELM_TSY_ReadData(handle, c.mode, buffer_, &bytes), c.status);
        EXPECT_EQ(bytes, 0u);
        EXPECT_TRUE(TrafficIs(Traffic(), {}));
    }
}

TEST_F(ReadoutTest, BadArgumentsStoreNothing) {
    const int32_t handle = OpenWithBuffer();
    Inject(handle, SomeEvents());
    uint32_t bytes = 0xDEAD;
    Record();
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, nullptr, &bytes), DRELM_TSY_InvalidParam);
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 3, nullptr, &bytes), DRELM_TSY_InvalidParam);
    EXPECT_EQ(DRELM_TSY_ReadData(handle, 0, buffer_, nullptr), DRELM_TSY_InvalidParam);
    for (const int32_t bad : {-1, 100, 1000, handle + 1}) {
        EXPECT_EQ(DRELM_TSY_ReadData(bad, 0, buffer_, &bytes), DRELM_TSY_InvalidHandle) << bad;
    }
    EXPECT_EQ(bytes, 0xDEADu);
    EXPECT_TRUE(TrafficIs(Traffic(), {}));
}

}  // namespace
}  // namespace tessary_test

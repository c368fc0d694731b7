// The readout buffer's allocation and release, and the two time counters.
#include <cstdlib>
#include <cstring>

#include "BoardTable.h"
#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

using drelm::emu::AddFault;
using drelm::emu::Fault;

class ReadoutBufferTest : public EmulatedBoardTest {};

TEST_F(ReadoutBufferTest, SizeFollowsTheBoardForm) {
    struct Case {
        int32_t channels;
        uint32_t formCode;
        uint32_t bytes;
    };
    const Case cases[] = {{64, 0, 163696}, {64, 1, 163696}, {32, 2, 90040}, {32, 3, 90040}};
    int32_t link = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formCode);
        drelm::emu::BoardConfig config;
        config.channels = c.channels;
        config.formCode = c.formCode;
        const int32_t handle = OpenBoard(link++, &config);
        void* buffer = nullptr;
        uint32_t size = 0;
        Record();
        ASSERT_EQ(DRELM_TSY_MallocReadoutBuffer(handle, &buffer, &size), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {})) << "allocation does not touch the board";
        ASSERT_NE(buffer, nullptr);
        EXPECT_EQ(size, c.bytes);
        std::memset(buffer, 0x5A, size);  // the whole size is usable
        EXPECT_EQ(DRELM_TSY_FreeReadoutBuffer(&buffer), DRELM_TSY_Success);
    }
}

TEST_F(ReadoutBufferTest, EachCallAllocatesANewBuffer) {
    const int32_t handle = OpenBoard();
    void* first = nullptr;
    void* second = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(DRELM_TSY_MallocReadoutBuffer(handle, &first, &size), 0);
    ASSERT_EQ(DRELM_TSY_MallocReadoutBuffer(handle, &second, &size), 0);
    EXPECT_NE(first, second);
    void* kept = first;
    EXPECT_EQ(DRELM_TSY_FreeReadoutBuffer(&first), 0);
    EXPECT_EQ(first, kept) << "the caller's pointer is left as it was";
    EXPECT_EQ(DRELM_TSY_FreeReadoutBuffer(&second), 0);
}

TEST_F(ReadoutBufferTest, RefusesBadHandlesNullPointersAndOtherFamilies) {
    void* buffer = reinterpret_cast<void*>(0x1);
    uint32_t size = 7;
    for (const int32_t handle : {-1, 0, 100, 1000}) {
        EXPECT_EQ(DRELM_TSY_MallocReadoutBuffer(handle, &buffer, &size), DRELM_TSY_InvalidHandle) << handle;
    }
    EXPECT_EQ(buffer, reinterpret_cast<void*>(0x1));
    EXPECT_EQ(size, 7u);

    const int32_t handle = OpenBoard();
    EXPECT_EQ(DRELM_TSY_MallocReadoutBuffer(handle, nullptr, &size), DRELM_TSY_InvalidParam);
    EXPECT_EQ(DRELM_TSY_MallocReadoutBuffer(handle, &buffer, nullptr), DRELM_TSY_InvalidParam);
    EXPECT_EQ(buffer, reinterpret_cast<void*>(0x1));

    // Boards of another family or form cannot be opened; an entry that
    // says so is made by hand.
    drelm::tsy::BoardEntry& entry = drelm::tsy::Board(handle);
    const int32_t familyCode = entry.familyCode;
    const int32_t formIndex = entry.formIndex;
    entry.familyCode = 8;
    EXPECT_EQ(DRELM_TSY_MallocReadoutBuffer(handle, &buffer, &size), DRELM_TSY_UnsupportedBoard);
    entry.familyCode = familyCode;
    for (const int32_t form : {-1, 4, 1000}) {
        entry.formIndex = form;
        EXPECT_EQ(DRELM_TSY_MallocReadoutBuffer(handle, &buffer, &size), DRELM_TSY_UnsupportedBoard) << form;
    }
    entry.formIndex = formIndex;
    EXPECT_EQ(buffer, reinterpret_cast<void*>(0x1));
    EXPECT_EQ(size, 7u);
}

TEST_F(ReadoutBufferTest, FreeTakesNullInnerPointerAndRefusesNull) {
    void* none = nullptr;
    EXPECT_EQ(DRELM_TSY_FreeReadoutBuffer(&none), DRELM_TSY_Success);
    EXPECT_EQ(DRELM_TSY_FreeReadoutBuffer(nullptr), DRELM_TSY_InvalidParam);
}

// Both counters read their register once and hand it back unchanged.
TEST_F(ReadoutBufferTest, TimeCountersReadTheirRegisters) {
    const int32_t handle = OpenBoard();
    // A run of a few counter units, so that the total time is not 0.
    ASSERT_EQ(DRELM_TSY_SetRegisterBitMask(handle, 0x8100, 1u << 2), 0);
    drelm::emu::AdvanceClock(50'000'000);
    ASSERT_GT(Peek(handle, 0x81C8), 0u);
    struct Case {
        const char* name;
        int32_t (*get)(int32_t, uint32_t*);
        uint32_t address;
    };
    const Case cases[] = {{"total time", &DRELM_TSY_GetTotalTime, 0x81C8},
                          {"dead time", &DRELM_TSY_GetDeadTime, 0x81CC}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t expected = Peek(handle, c.address);
        uint32_t value = ~expected;
        Record();
        ASSERT_EQ(c.get(handle, &value), DRELM_TSY_Success);
        EXPECT_EQ(value, expected);
        EXPECT_TRUE(TrafficIs(Traffic(), {Read(c.address, expected)}));

        Fault fault;
        fault.op = Op::ReadRegister;
        fault.status = -2;
        fault.address = c.address;
        const int id = AddFault(fault);
        value = 0xDEAD;
        EXPECT_EQ(c.get(handle, &value), DRELM_TSY_ReadFailed);
        EXPECT_EQ(value, 0xDEADu);
        drelm::emu::RemoveFault(id);

        Record();
        EXPECT_EQ(c.get(handle, nullptr), DRELM_TSY_InvalidParam);
        EXPECT_EQ(c.get(-1, &value), DRELM_TSY_InvalidHandle);
        EXPECT_EQ(c.get(100, &value), DRELM_TSY_InvalidHandle);
        EXPECT_EQ(c.get(handle + 1, &value), DRELM_TSY_InvalidHandle);
        EXPECT_TRUE(TrafficIs(Traffic(), {}));
        EXPECT_EQ(value, 0xDEADu);
    }
}

}  // namespace
}  // namespace tessary_test

// The register exports, handle checks, closing, and the channel and group
// counts.
#include <vector>

#include "BoardIdentity.h"
#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

using drelm::emu::AddFault;
using drelm::emu::Fault;

Fault Faulty(Op op, uint32_t address) {
    Fault f;
    f.op = op;
    f.status = -2;
    f.address = address;
    return f;
}

class RegisterTest : public EmulatedBoardTest {
protected:
    void SetUp() override {
        EmulatedBoardTest::SetUp();
        handle_ = OpenBoard();
    }
    int32_t handle_ = -1;
};

TEST_F(RegisterTest, ReadAndWriteGoStraightToTheBoard) {
    Record();
    EXPECT_EQ(DRELM_TSY_WriteRegister(handle_, 0x8020, 0x1234), 0);
    uint32_t value = 0;
    EXPECT_EQ(DRELM_TSY_ReadRegister(handle_, 0x8020, &value), 0);
    EXPECT_EQ(value, 0x1234u);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(0x8020, 0x1234), Read(0x8020, 0x1234)}));
}

TEST_F(RegisterTest, BitMasksReadModifyWrite) {
    Poke(handle_, 0x8020, 0xF0F0);
    Record();
    EXPECT_EQ(DRELM_TSY_SetRegisterBitMask(handle_, 0x8020, 0x000F), 0);
    EXPECT_EQ(DRELM_TSY_ClearRegisterBitMask(handle_, 0x8020, 0x00F0), 0);
    EXPECT_EQ(DRELM_TSY_SetRegisterBitMask(handle_, 0x8020, 0), 0);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(0x8020, 0xF0F0), Write(0x8020, 0xF0FF), Read(0x8020, 0xF0FF),
                                      Write(0x8020, 0xF00F), Read(0x8020, 0xF00F), Write(0x8020, 0xF00F)}));
}

TEST_F(RegisterTest, AnyLinkFailureIsGenericError) {
    AddFault(Faulty(Op::ReadRegister, 0x8020));
    uint32_t value = 0xDEAD;
    EXPECT_EQ(DRELM_TSY_ReadRegister(handle_, 0x8020, &value), DRELM_TSY_GenericError);
    EXPECT_EQ(value, 0xDEADu) << "a failed read stores nothing";
    Record();
    EXPECT_EQ(DRELM_TSY_SetRegisterBitMask(handle_, 0x8020, 1), DRELM_TSY_GenericError);
    EXPECT_EQ(DRELM_TSY_ClearRegisterBitMask(handle_, 0x8020, 1), DRELM_TSY_GenericError);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(0x8020, std::nullopt, -2), Read(0x8020, std::nullopt, -2)}))
        << "nothing written after a failed read";
    drelm::emu::ClearFaults();
    AddFault(Faulty(Op::WriteRegister, 0x8020));
    EXPECT_EQ(DRELM_TSY_WriteRegister(handle_, 0x8020, 1), DRELM_TSY_GenericError);
    EXPECT_EQ(DRELM_TSY_SetRegisterBitMask(handle_, 0x8020, 1), DRELM_TSY_GenericError);
}

TEST_F(RegisterTest, BadHandlesTouchNothing) {
    ASSERT_EQ(DRELM_TSY_OpenTessary(0, 1, 0, 0, &handle_), 0);
    ASSERT_EQ(DRELM_TSY_CloseTessary(1), 0);
    Record();
    uint32_t value = 0;
    for (int32_t handle : {-1, 100, 1000, 1, 2}) {
        EXPECT_EQ(DRELM_TSY_WriteRegister(handle, 0x8020, 1), DRELM_TSY_InvalidHandle) << handle;
        EXPECT_EQ(DRELM_TSY_ReadRegister(handle, 0x8020, &value), DRELM_TSY_InvalidHandle) << handle;
        EXPECT_EQ(DRELM_TSY_SetRegisterBitMask(handle, 0x8020, 1), DRELM_TSY_InvalidHandle) << handle;
        EXPECT_EQ(DRELM_TSY_ClearRegisterBitMask(handle, 0x8020, 1), DRELM_TSY_InvalidHandle) << handle;
        EXPECT_EQ(DRELM_TSY_CloseTessary(handle), DRELM_TSY_InvalidHandle) << handle;
        BoardInfo info{};
        EXPECT_EQ(DRELM_TSY_GetInfo(handle, &info), DRELM_TSY_InvalidHandle) << handle;
    }
    EXPECT_TRUE(Traffic().empty());
    EXPECT_EQ(DRELM_TSY_ReadRegister(handle_, 0x8020, nullptr), DRELM_TSY_InvalidHandle) << "closed";
    EXPECT_EQ(DRELM_TSY_ReadRegister(0, 0x8020, nullptr), DRELM_TSY_InvalidParam);
    EXPECT_EQ(DRELM_TSY_GetInfo(0, nullptr), DRELM_TSY_InvalidParam);
}

TEST_F(RegisterTest, CloseFreesTheEntryEvenWhenTheLinkFails) {
    Fault f;
    f.op = Op::Close;
    f.status = -7;
    AddFault(f);
    EXPECT_EQ(DRELM_TSY_CloseTessary(handle_), DRELM_TSY_Timeout);
    uint32_t value = 0;
    EXPECT_EQ(DRELM_TSY_ReadRegister(handle_, 0x8020, &value), DRELM_TSY_InvalidHandle);
    drelm::emu::ClearFaults();
    int32_t again = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 1, 0, 0, &again), 0);
    EXPECT_EQ(again, handle_) << "the freed entry is taken again";
}

TEST_F(RegisterTest, CountsStayAfterCloseButNeverLeaveTheTable) {
    ASSERT_EQ(DRELM_TSY_CloseTessary(handle_), 0);
    int32_t channels = 0;
    int32_t groups = 0;
    EXPECT_EQ(DRELM_TSY_GetMaxChannels(handle_, &channels), 0);
    EXPECT_EQ(DRELM_TSY_GetMaxGroups(handle_, &groups), 0);
    EXPECT_EQ(channels, 64);
    EXPECT_EQ(groups, 8);
    for (int32_t handle : {-1, 100, 1 << 30}) {
        EXPECT_EQ(DRELM_TSY_GetMaxChannels(handle, &channels), DRELM_TSY_InvalidHandle);
        EXPECT_EQ(DRELM_TSY_GetMaxGroups(handle, &groups), DRELM_TSY_InvalidHandle);
    }
    EXPECT_EQ(DRELM_TSY_GetMaxChannels(handle_, nullptr), DRELM_TSY_InvalidParam);
}

TEST(ReleaseText, FormatAndOverflow) {
    char text[20];
    drelm::tsy::FormatRelease(0x12340105, text, sizeof text);
    EXPECT_STREQ(text, "01.05 - Build 1234");
    // Both numbers of three digits: the 19 characters that fit are kept.
    drelm::tsy::FormatRelease(0xABCD6465, text, sizeof text);
    EXPECT_STREQ(text, "100.101 - Build ABC");
    char wide[40];
    drelm::tsy::FormatRelease(0xABCD6465, wide, sizeof wide);
    EXPECT_STREQ(wide, "100.101 - Build ABCD");
}

TEST(ModelNames, UnknownCodes) {
    EXPECT_STREQ(drelm::tsy::ModelName(0x5504), "UNKNOWN");
    EXPECT_STREQ(drelm::tsy::ModelName(0x0000), "UNKNOWN");
    EXPECT_STREQ(drelm::tsy::ModelName(0x5503), "MR310");
}

}  // namespace
}  // namespace tessary_test

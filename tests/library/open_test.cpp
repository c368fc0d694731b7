// Opening boards: identification, board information, start-up settings and
// every failure path, seen through the C API and the emulator's traffic.
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

using drelm::emu::AddFault;
using drelm::emu::BoardAddress;
using drelm::emu::BoardConfig;
using drelm::emu::Fault;

BoardAddress Usb(int32_t link) { return BoardAddress{0, link, "", 0, 0}; }

Fault ReadFault(uint32_t address, int32_t status = -2, uint32_t firstCall = 1, uint32_t count = 0) {
    Fault f;
    f.op = Op::ReadRegister;
    f.status = status;
    f.address = address;
    f.firstCall = firstCall;
    f.count = count;
    return f;
}

Fault WriteFault(uint32_t address, int32_t status = -2) {
    Fault f;
    f.op = Op::WriteRegister;
    f.status = status;
    f.address = address;
    return f;
}

class OpenTest : public EmulatedBoardTest {};

TEST_F(OpenTest, IdentificationAndStartupTrafficInOrder) {
    Record();
    const int32_t handle = OpenBoard();
    ASSERT_EQ(handle, 0);
    const auto regs = RegisterAccesses(Traffic());

    // Identification, board information, second AMC probe.
    const std::vector<Expect> identification = {
        Read(0xF030), Read(0xF034), Read(0x8140), Read(0xF034),                   // answer, family, form
        Read(0x8140), Read(0xF030), Read(0xF034), Read(0x8124), Read(0x108C),     // board information
        Read(0xF080), Read(0xF084), Read(0xF040), Read(0xF044), Read(0xF048), Read(0xF04C),
        Read(0x108C),                                                             // group answers
    };
    ASSERT_GE(regs.size(), identification.size());
    EXPECT_TRUE(TrafficIs({regs.begin(), regs.begin() + identification.size()}, identification));

    // Start-up settings: read-modify-writes keep the other bits.
    std::vector<Access> startup(regs.begin() + identification.size(), regs.end());
    ASSERT_EQ(startup.size(), 13u) << "start-up settings";
    struct Rmw { uint32_t address; uint32_t set; uint32_t clear; };
    const Rmw rmws[] = {{0xEF00, 0x10, 0}, {0x811C, 0x400000, 0}, {0x8100, 0x2008, 0}, {0x8000, 0, 0x2}, {0x8110, 0xFF, 0}};
    for (size_t i = 0; i < 5; ++i) {
        const Access& read = startup[2 * i];
        const Access& write = startup[2 * i + 1];
        EXPECT_EQ(read.op, Op::ReadRegister);
        EXPECT_EQ(read.address, rmws[i].address);
        EXPECT_EQ(write.op, Op::WriteRegister);
        EXPECT_EQ(write.address, rmws[i].address);
        EXPECT_EQ(write.value, (read.value | rmws[i].set) & ~rmws[i].clear) << std::hex << rmws[i].address;
    }
    EXPECT_TRUE(TrafficIs({startup.begin() + 10, startup.end()},
                          {Write(0xEF1C, 1023), Write(0x800C, 10), Write(0x8120, 0x55)}));
    EXPECT_EQ(Peek(handle, 0xEF1C), 1023u);
}

TEST_F(OpenTest, BoardInformationOf64ChannelBoard) {
    BoardConfig config;
    config.rocRevision = 0x12340105;
    config.amcRevision = 0xBEEF0A0B;
    config.boardInfoByte2 = 0x5A;
    config.serialNumber = 0x0312;
    config.romCode32 = 0x11223344;
    config.linkInfo[0] = 7;
    config.linkInfo[3] = 9;
    const int32_t handle = OpenBoard(0, &config);

    BoardInfo info;
    std::memset(&info, 0x77, sizeof info);
    ASSERT_EQ(DRELM_TSY_GetInfo(handle, &info), 0);
    EXPECT_STREQ(info.modelName, "M310");
    EXPECT_EQ(info.formIndex, 0);
    EXPECT_EQ(info.formCode, 0u);
    EXPECT_EQ(info.familyCode, 16u);
    EXPECT_EQ(info.familyConstant, 12u);
    EXPECT_EQ(info.boardInfoByte2, 0x5Au);
    EXPECT_STREQ(info.rocRelease, "01.05 - Build 1234");
    EXPECT_STREQ(info.amcRelease, "10.11 - Build BEEF");
    EXPECT_EQ(info.romCode16, 0x0312u);
    EXPECT_EQ(info.romCode32, 0x11223344u);
    EXPECT_EQ(info.linkHandle, drelm::emu::LinkHandleOf(Usb(0)));
    EXPECT_EQ(info.linkInfo[0], 7);
    EXPECT_EQ(info.linkInfo[3], 9);
    for (uint8_t byte : info.reserved) EXPECT_EQ(byte, 0);

    int32_t channels = 0;
    int32_t groups = 0;
    EXPECT_EQ(DRELM_TSY_GetMaxChannels(handle, &channels), 0);
    EXPECT_EQ(DRELM_TSY_GetMaxGroups(handle, &groups), 0);
    EXPECT_EQ(channels, 64);
    EXPECT_EQ(groups, 8);
}

TEST_F(OpenTest, ThirtyTwoChannelBoardEnablesTwoBlockPositions) {
    Record();
    const int32_t handle = Open32();
    int32_t channels = 0;
    int32_t groups = 0;
    EXPECT_EQ(DRELM_TSY_GetMaxChannels(handle, &channels), 0);
    EXPECT_EQ(DRELM_TSY_GetMaxGroups(handle, &groups), 0);
    EXPECT_EQ(channels, 32);
    EXPECT_EQ(groups, 4);
    BoardInfo info{};
    ASSERT_EQ(DRELM_TSY_GetInfo(handle, &info), 0);
    EXPECT_EQ(info.formIndex, static_cast<int32_t>(info.formCode));
    EXPECT_TRUE(info.formIndex == 2 || info.formIndex == 3);
    const auto regs = RegisterAccesses(Traffic());
    ASSERT_FALSE(regs.empty());
    EXPECT_TRUE(TrafficIs({regs.end() - 1, regs.end()}, {Write(0x8120, 0x05)}));
}

TEST_F(OpenTest, ModelTable) {
    struct Case { uint32_t model; const char* name; };
    const Case cases[] = {{0x5500, "M310"}, {0x5501, "ME310"}, {0x5502, "MB310"}, {0x5503, "MR310"}};
    int32_t link = 0;
    for (const Case& c : cases) {
        BoardConfig config;
        config.modelCode = c.model;
        config.channels = (c.model & 0xFF) >= 2 ? 32 : 64;
        const int32_t handle = OpenBoard(link++, &config);
        BoardInfo info{};
        ASSERT_EQ(DRELM_TSY_GetInfo(handle, &info), 0);
        EXPECT_STREQ(info.modelName, c.name) << std::hex << c.model;
    }
}

TEST_F(OpenTest, BoardOfAnotherFamilyIsRefusedAndItsLinkClosed) {
    BoardConfig config;
    config.familyCode = 8;
    drelm::emu::ConfigureBoard(Usb(0), config);
    int32_t handle = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle), DRELM_TSY_GenericError);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(drelm::emu::LinkHandleOf(Usb(0)), -1) << "link left open";
    int32_t channels = 0;
    EXPECT_EQ(DRELM_TSY_GetMaxChannels(0, &channels), DRELM_TSY_NotAvailable);
}

TEST_F(OpenTest, UnknownFormDoesNotInheritThePreviousBoardsCounts) {
    // Entry 0 first holds a 64-channel board...
    const int32_t first = OpenBoard(0);
    ASSERT_EQ(DRELM_TSY_CloseTessary(first), 0);
    // ...then a board whose form code is not known comes to the same entry.
    BoardConfig config;
    config.formCode = 7;
    drelm::emu::ConfigureBoard(Usb(1), config);
    int32_t handle = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 1, 0, 0, &handle), DRELM_TSY_GenericError);
    EXPECT_EQ(drelm::emu::LinkHandleOf(Usb(1)), -1);
}

TEST_F(OpenTest, TableFullAfterOneHundredBoards) {
    for (int32_t link = 0; link < DRELM_TSY_MAX_BOARDS; ++link) {
        int32_t handle = -1;
        ASSERT_EQ(DRELM_TSY_OpenTessary(0, link, 0, 0, &handle), 0) << link;
        ASSERT_EQ(handle, link);
    }
    Record();
    int32_t handle = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 100, 0, 0, &handle), DRELM_TSY_TooManyBoards);
    EXPECT_TRUE(Traffic().empty()) << "no link may be made";
    // Closing one frees the lowest index for the next open.
    ASSERT_EQ(DRELM_TSY_CloseTessary(42), 0);
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 100, 0, 0, &handle), 0);
    EXPECT_EQ(handle, 42);
}

TEST_F(OpenTest, LinkOpenStatusesAreTranslated) {
    struct Case { int32_t link; int32_t lib; };
    const Case cases[] = {{-1, -1}, {-2, -1}, {-3, -2}, {-4, -3}, {-5, -4},  {-6, -5}, {-7, -18},
                          {-8, -25}, {-9, -6}, {-10, -26}, {-11, -17}, {-12, -2}, {1, -2}};
    for (const Case& c : cases) {
        drelm::emu::ClearFaults();
        Fault f;
        f.op = Op::Open;
        f.status = c.link;
        AddFault(f);
        int32_t handle = -1;
        EXPECT_EQ(DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle), c.lib) << "link status " << c.link;
        EXPECT_EQ(handle, -1);
    }
}

TEST_F(OpenTest, ArgumentsRefusedBeforeAnyLink) {
    Record();
    int32_t handle = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary(6, 0, 0, 0, &handle), DRELM_TSY_InvalidParam);
    EXPECT_EQ(DRELM_TSY_OpenTessary(7, 0, 0, 0, &handle), DRELM_TSY_InvalidParam);
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, -1, 0, 0, &handle), DRELM_TSY_InvalidParam);
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 0, 0, 0, nullptr), DRELM_TSY_InvalidParam);
    EXPECT_TRUE(Traffic().empty());
}

TEST_F(OpenTest, EthernetBridgeTakesAHostName) {
    int32_t handle = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary2(6, "localhost", 0, 0, &handle), 0);
    EXPECT_EQ(handle, 0);
    int32_t second = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary2(6, "localhost", 0, 0, &second), DRELM_TSY_InvalidHandle) << "the same board twice";
}

// A failing step after the link came up: the open returns the step's code,
// the link is closed and the entry is free again.
struct FailureCase {
    const char* what;
    Fault fault;
    int32_t status;
    bool handleStored;  // the caller's handle is written before the settings
};

class OpenFailureTest : public EmulatedBoardTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(OpenFailureTest, ClosesTheLinkAndFreesTheEntry) {
    const FailureCase& c = GetParam();
    AddFault(c.fault);
    int32_t handle = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle), c.status);
    EXPECT_EQ(handle, c.handleStored ? 0 : -1);
    EXPECT_EQ(drelm::emu::LinkHandleOf(Usb(0)), -1) << "link left open";
    BoardInfo info{};
    EXPECT_EQ(DRELM_TSY_GetInfo(0, &info), DRELM_TSY_InvalidHandle);
    drelm::emu::ClearFaults();
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle), 0) << "the board opens once the fault is gone";
    EXPECT_EQ(handle, 0);
}

Fault AllAmcProbesFailFromSecondProbe() {
    Fault f = ReadFault(0x108C, -2, 2);
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, OpenFailureTest,
    ::testing::Values(
        FailureCase{"answer read", ReadFault(0xF030), DRELM_TSY_CommReadError, false},
        FailureCase{"family read", ReadFault(0x8140), DRELM_TSY_CommReadError, false},
        FailureCase{"form read", ReadFault(0xF034, -2, 2, 1), DRELM_TSY_CommReadError, false},
        FailureCase{"info byte read", ReadFault(0x8140, -2, 2, 1), DRELM_TSY_ReadFailed, false},
        FailureCase{"model read", ReadFault(0xF030, -2, 2, 1), DRELM_TSY_ReadFailed, false},
        FailureCase{"ROC revision", ReadFault(0x8124), DRELM_TSY_GenericError, false},
        FailureCase{"serial", ReadFault(0xF084), DRELM_TSY_GenericError, false},
        FailureCase{"ROM code", ReadFault(0xF04C), DRELM_TSY_GenericError, false},
        FailureCase{"start-up read 0xEF00", ReadFault(0xEF00), DRELM_TSY_CommReadError, true},
        FailureCase{"start-up write 0xEF00", WriteFault(0xEF00), DRELM_TSY_UnsupportedBoard, true},
        FailureCase{"start-up write 0x811C", WriteFault(0x811C), DRELM_TSY_UnsupportedBoard, true},
        FailureCase{"start-up read 0x8100", ReadFault(0x8100), DRELM_TSY_CommReadError, true},
        FailureCase{"start-up read 0x8000", ReadFault(0x8000), DRELM_TSY_ReadFailed, true},
        FailureCase{"start-up write 0x8000", WriteFault(0x8000), DRELM_TSY_WriteFailed, true},
        FailureCase{"start-up write 0x8110", WriteFault(0x8110), DRELM_TSY_WriteFailed, true},
        FailureCase{"start-up write 0xEF1C", WriteFault(0xEF1C), DRELM_TSY_WriteFailed, true},
        FailureCase{"start-up write 0x800C", WriteFault(0x800C), DRELM_TSY_WriteFailed, true},
        FailureCase{"start-up write 0x8120", WriteFault(0x8120), DRELM_TSY_UnsupportedBoard, true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p)
            if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
        return name;
    });

TEST_F(OpenTest, AmcProbeTakesTheFirstGroupThatAnswers) {
    AddFault(ReadFault(0x108C));
    AddFault(ReadFault(0x118C));
    BoardConfig config;
    config.amcRevision = 0x00420102;
    const int32_t handle = OpenBoard(0, &config);
    BoardInfo info{};
    ASSERT_EQ(DRELM_TSY_GetInfo(handle, &info), 0);
    EXPECT_STREQ(info.amcRelease, "01.02 - Build 0042");
}

TEST_F(OpenTest, NoGroupAnsweringTheProbeFailsWithoutReadingPastTheLastGroup) {
    for (uint32_t g = 0; g < 4; ++g) AddFault(ReadFault(0x108C | (g << 8)));
    drelm::emu::BoardConfig config;
    config.channels = 32;
    drelm::emu::ConfigureBoard(Usb(0), config);
    Record();
    int32_t handle = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle), DRELM_TSY_GenericError);
    for (const Access& a : Traffic())
        EXPECT_FALSE(a.address >= 0x148C && (a.address & 0xFF) == 0x8C && a.address < 0x2000) << Describe(a);
}

TEST_F(OpenTest, SecondProbeFindingNoGroupGivesCommError) {
    AddFault(AllAmcProbesFailFromSecondProbe());
    for (uint32_t g = 1; g < 8; ++g) AddFault(ReadFault(0x108C | (g << 8)));
    int32_t handle = -1;
    EXPECT_EQ(DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle), DRELM_TSY_CommError);
    EXPECT_EQ(handle, -1);
    EXPECT_EQ(drelm::emu::LinkHandleOf(Usb(0)), -1);
}

}  // namespace
}  // namespace tessary_test

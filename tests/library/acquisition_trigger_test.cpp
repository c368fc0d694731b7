// Software trigger, trigger routing, front-panel level, events per transfer
// and group enable mask.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "BoardTable.h"
#include "EmulatedBoards.h"
#include "LinkFaultHelpers.h"

namespace tessary_test {
namespace {

constexpr uint32_t kSoftwareTrigger = 0x8108;
constexpr uint32_t kFirstMask = 0x810C;
constexpr uint32_t kSecondMask = 0x8110;
constexpr uint32_t kFrontPanel = 0x811C;
constexpr uint32_t kGroupEnable = 0x8120;
constexpr uint32_t kMaxEvents = 0xEF1C;
constexpr uint32_t kSoftwareBit = 1u << 31;
constexpr uint32_t kExternalBit = 1u << 30;

using SoftwareTriggerTest = EmulatedBoardTest;

TEST_F(SoftwareTriggerTest, WritesZeroToTheTriggerRegister) {
    const int32_t h = OpenBoard();
    Record();
    EXPECT_EQ(DRELM_TSY_SendSWtrigger(h), DRELM_TSY_Success);
    EXPECT_EQ(DRELM_TSY_SendSWtrigger(h), DRELM_TSY_Success);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(kSoftwareTrigger, 0u), Write(kSoftwareTrigger, 0u)}));
}

TEST_F(SoftwareTriggerTest, FailedWriteIsGenericError) {
    const int32_t h = OpenBoard();
    FailWrites(kSoftwareTrigger);
    Record();
    EXPECT_EQ(DRELM_TSY_SendSWtrigger(h), DRELM_TSY_GenericError);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(kSoftwareTrigger, 0u, kFaultStatus)}));
}

// Routing: which of the two masks end up with the bit.
struct RouteCase {
    int32_t mode;
    bool first;
    bool second;
};

const RouteCase kRoutes[] = {
    {1, true, false}, {2, false, true}, {3, true, true}, {0, false, false},
    {4, false, false}, {-1, false, false}, {INT32_MIN, false, false},
};

struct RoutingExport {
    const char* name;
    int32_t (*setter)(int32_t, int32_t);
    uint32_t bit;
};

const RoutingExport kRoutingExports[] = {
    {"SWTrigger", DRELM_TSY_SetSWTriggerMode, kSoftwareBit},
    {"ExtTriggerInput", DRELM_TSY_SetExtTriggerInputMode, kExternalBit},
};

class TriggerRoutingTest : public EmulatedBoardTest, public ::testing::WithParamInterface<RoutingExport> {
protected:
    // Mask contents with the routed bit opposite to what mode 1 asks for
    // and other bits set, the other routing bit among them, so every change
    // and every kept bit shows.
    uint32_t FirstBefore() const { return 0xC00000F0u & ~GetParam().bit; }
    uint32_t SecondBase() const { return 0xC00000FFu & ~GetParam().bit; }
    uint32_t Changed(uint32_t before, bool on) const { return on ? (before | GetParam().bit) : (before & ~GetParam().bit); }
    uint32_t SecondBefore() const { return SecondBase() | GetParam().bit; }
};

TEST_P(TriggerRoutingTest, EveryModeSetsOrClearsTheBitInBothMasks) {
    const RoutingExport& e = GetParam();
    const int32_t h = OpenBoard();
    for (const RouteCase r : kRoutes) {
        for (const bool startSet : {false, true}) {
            SCOPED_TRACE(testing::Message() << "mode " << r.mode << (startSet ? ", bits set before" : ", bits clear before"));
            const uint32_t first = startSet ? (FirstBefore() | e.bit) : FirstBefore();
            const uint32_t second = startSet ? (SecondBase() | e.bit) : SecondBase();
            Poke(h, kFirstMask, first);
            Poke(h, kSecondMask, second);
            Record();
            EXPECT_EQ(e.setter(h, r.mode), DRELM_TSY_Success);
            EXPECT_TRUE(TrafficIs(Traffic(), {Read(kFirstMask, first), Write(kFirstMask, Changed(first, r.first)),
                                              Read(kSecondMask, second), Write(kSecondMask, Changed(second, r.second))}));
            EXPECT_EQ(Peek(h, kFirstMask), Changed(first, r.first));
            EXPECT_EQ(Peek(h, kSecondMask), Changed(second, r.second));
        }
    }
}

TEST_P(TriggerRoutingTest, FailedFirstReadStopsEverything) {
    const int32_t h = OpenBoard();
    Poke(h, kFirstMask, FirstBefore());
    Poke(h, kSecondMask, SecondBefore());
    FailReads(kFirstMask);
    Record();
    EXPECT_EQ(GetParam().setter(h, 1), DRELM_TSY_GenericError);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kFirstMask, std::nullopt, kFaultStatus)}));
    EXPECT_EQ(Peek(h, kFirstMask), FirstBefore());
    EXPECT_EQ(Peek(h, kSecondMask), SecondBefore());
}

TEST_P(TriggerRoutingTest, FailedFirstWriteSkipsTheSecondMask) {
    const int32_t h = OpenBoard();
    Poke(h, kFirstMask, FirstBefore());
    Poke(h, kSecondMask, SecondBefore());
    FailWrites(kFirstMask);
    Record();
    EXPECT_EQ(GetParam().setter(h, 1), DRELM_TSY_GenericError);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kFirstMask, FirstBefore()),
                                      Write(kFirstMask, Changed(FirstBefore(), true), kFaultStatus)}));
    EXPECT_EQ(Peek(h, kSecondMask), SecondBefore());
}

TEST_P(TriggerRoutingTest, FailedSecondReadKeepsTheFirstChange) {
    const int32_t h = OpenBoard();
    Poke(h, kFirstMask, FirstBefore());
    Poke(h, kSecondMask, SecondBefore());
    FailReads(kSecondMask);
    Record();
    EXPECT_EQ(GetParam().setter(h, 1), DRELM_TSY_GenericError);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kFirstMask, FirstBefore()), Write(kFirstMask, Changed(FirstBefore(), true)),
                                      Read(kSecondMask, std::nullopt, kFaultStatus)}));
    EXPECT_EQ(Peek(h, kFirstMask), Changed(FirstBefore(), true));
    EXPECT_EQ(Peek(h, kSecondMask), SecondBefore());
}

TEST_P(TriggerRoutingTest, FailedSecondWriteKeepsTheFirstChange) {
    const int32_t h = OpenBoard();
    Poke(h, kFirstMask, FirstBefore());
    Poke(h, kSecondMask, SecondBefore());
    FailWrites(kSecondMask);
    Record();
    EXPECT_EQ(GetParam().setter(h, 1), DRELM_TSY_GenericError);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kFirstMask, FirstBefore()), Write(kFirstMask, Changed(FirstBefore(), true)),
                                      Read(kSecondMask, SecondBefore()),
                                      Write(kSecondMask, Changed(SecondBefore(), false), kFaultStatus)}));
    EXPECT_EQ(Peek(h, kFirstMask), Changed(FirstBefore(), true));
    EXPECT_EQ(Peek(h, kSecondMask), SecondBefore());
}

INSTANTIATE_TEST_SUITE_P(Exports, TriggerRoutingTest, ::testing::ValuesIn(kRoutingExports),
                         [](const ::testing::TestParamInfo<RoutingExport>& info) { return std::string(info.param.name); });

using IoLevelTest = EmulatedBoardTest;

TEST_F(IoLevelTest, ZeroClearsBitZeroAnythingElseSetsIt) {
    const int32_t h = OpenBoard();
    // Bit 22 is what the open sets; it must survive.
    struct Case {
        int32_t level;
        uint32_t before, after;
    };
    for (const Case c : {Case{0, 0x400001, 0x400000}, Case{1, 0x400000, 0x400001}, Case{-7, 0x400000, 0x400001},
                         Case{0, 0x400000, 0x400000}, Case{2, 0x400001, 0x400001}}) {
        SCOPED_TRACE(testing::Message() << "level " << c.level);
        Poke(h, kFrontPanel, c.before);
        Record();
        EXPECT_EQ(DRELM_TSY_SetIOLevel(h, c.level), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {Read(kFrontPanel, c.before), Write(kFrontPanel, c.after)}));
        EXPECT_EQ(Peek(h, kFrontPanel), c.after);
    }
}

TEST_F(IoLevelTest, FailedReadOrWriteIsGenericError) {
    const int32_t h = OpenBoard();
    Poke(h, kFrontPanel, 0x400000);
    const int readFault = FailReads(kFrontPanel);
    Record();
    EXPECT_EQ(DRELM_TSY_SetIOLevel(h, 1), DRELM_TSY_GenericError);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kFrontPanel, std::nullopt, kFaultStatus)}));
    drelm::emu::RemoveFault(readFault);
    FailWrites(kFrontPanel);
    Record();
    EXPECT_EQ(DRELM_TSY_SetIOLevel(h, 1), DRELM_TSY_GenericError);
    EXPECT_TRUE(TrafficIs(Traffic(), {Read(kFrontPanel, 0x400000u), Write(kFrontPanel, 0x400001u, kFaultStatus)}));
    EXPECT_EQ(Peek(h, kFrontPanel), 0x400000u);
}

using MaxEventsTest = EmulatedBoardTest;

TEST_F(MaxEventsTest, ZeroTo1024AreWritten) {
    const int32_t h = OpenBoard();
    for (const uint32_t events : {0u, 1u, 1023u, 1024u}) {
        Record();
        EXPECT_EQ(DRELM_TSY_SetMaxNumEventsBLT(h, events), DRELM_TSY_Success) << events;
        EXPECT_TRUE(TrafficIs(Traffic(), {Write(kMaxEvents, events)})) << events;
        EXPECT_EQ(Peek(h, kMaxEvents), events);
    }
}

TEST_F(MaxEventsTest, AboveOneThousandAndTwentyFourIsRefusedWithoutWrite) {
    const int32_t h = OpenBoard();
    Record();
    for (const uint32_t events : {1025u, 4096u, 0xFFFFFFFFu})
        EXPECT_EQ(DRELM_TSY_SetMaxNumEventsBLT(h, events), DRELM_TSY_InvalidParam) << events;
    EXPECT_TRUE(TrafficIs(Traffic(), {}));
    EXPECT_EQ(Peek(h, kMaxEvents), 1023u) << "the open's value stays";
}

TEST_F(MaxEventsTest, FailedWriteIsTranslatedToUnsupportedBoard) {
    const int32_t h = OpenBoard();
    FailWrites(kMaxEvents);
    Record();
    EXPECT_EQ(DRELM_TSY_SetMaxNumEventsBLT(h, 512), DRELM_TSY_UnsupportedBoard);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(kMaxEvents, 512u, kFaultStatus)}));
}

using GroupEnableTest = EmulatedBoardTest;

TEST_F(GroupEnableTest, MaskFollowsTheBoardForm) {
    struct Case {
        int32_t channels;
        uint32_t formCode;
        uint32_t mask;
    };
    for (const Case c : {Case{64, 0, 0x55}, Case{64, 1, 0x55}, Case{32, 2, 0x05}, Case{32, 3, 0x05}}) {
        SCOPED_TRACE(testing::Message() << "form code " << c.formCode);
        drelm::emu::BoardConfig config;
        config.channels = c.channels;
        config.formCode = c.formCode;
        const int32_t h = OpenBoard(0, &config);
        Poke(h, kGroupEnable, 0);
        Record();
        EXPECT_EQ(DRELM_TSY_SetGroupEnableMask(h), DRELM_TSY_Success);
        EXPECT_TRUE(TrafficIs(Traffic(), {Write(kGroupEnable, c.mask)}));
        EXPECT_EQ(Peek(h, kGroupEnable), c.mask);
        ASSERT_EQ(DRELM_TSY_CloseTessary(h), DRELM_TSY_Success);
    }
}

// The open only ever gives forms 0, 2 and 3, so the entry is altered
// directly to reach the check.
TEST_F(GroupEnableTest, UnknownFormIsUnsupportedWithoutWrite) {
    const int32_t h = OpenBoard();
    for (const int32_t form : {1, 4, -1}) {
        drelm::tsy::Board(h).formIndex = form;
        Record();
        EXPECT_EQ(DRELM_TSY_SetGroupEnableMask(h), DRELM_TSY_UnsupportedBoard) << "form " << form;
        EXPECT_TRUE(TrafficIs(Traffic(), {})) << "form " << form;
    }
}

TEST_F(GroupEnableTest, FailedWriteIsWriteFailed) {
    const int32_t h = OpenBoard();
    FailWrites(kGroupEnable);
    Record();
    EXPECT_EQ(DRELM_TSY_SetGroupEnableMask(h), DRELM_TSY_WriteFailed);
    EXPECT_TRUE(TrafficIs(Traffic(), {Write(kGroupEnable, 0x55u, kFaultStatus)}));
}

}  // namespace
}  // namespace tessary_test

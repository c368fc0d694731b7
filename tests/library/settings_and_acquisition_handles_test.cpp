// Every settings and acquisition export refuses a handle that names no open
// board before touching the link.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "EmulatedBoards.h"

namespace tessary_test {
namespace {

struct ExportCall {
    const char* name;
    std::function<int32_t(int32_t)> call;
    int32_t badHandleStatus = DRELM_TSY_InvalidHandle;
};

uint32_t g_threshold = 0;
uint16_t g_offset = 0;

const ExportCall kExports[] = {
    {"SetRecordLength", [](int32_t h) { return DRELM_TSY_SetRecordLength(h, 16); }},
    {"SetChMode", [](int32_t h) { return DRELM_TSY_SetChMode(h, 1); }},
    {"SetTriggerMode", [](int32_t h) { return DRELM_TSY_SetTriggerMode(h, 1); }},
    {"SetTriggerModeBadMode", [](int32_t h) { return DRELM_TSY_SetTriggerMode(h, 2); }},
    {"SlScaleEnable", DRELM_TSY_SlScaleEnable},
    {"SlScaleDisable", DRELM_TSY_SlScaleDisable},
    {"ZSEnable", DRELM_TSY_ZSEnable},
    {"ZSDisable", DRELM_TSY_ZSDisable},
    {"SetPolarity", [](int32_t h) { return DRELM_TSY_SetPolarity(h, 1); }},
    {"SetInputRange", [](int32_t h) { return DRELM_TSY_SetInputRange(h, 1); }},
    {"SetOffsetMode", DRELM_TSY_SetOffsetMode},
    {"ResetOffsetMode", DRELM_TSY_ResetOffsetMode},
    {"SetCalibMode", DRELM_TSY_SetCalibMode},
    {"ResetCalibMode", DRELM_TSY_ResetCalibMode},
    {"SetGroupZSThreshold", [](int32_t h) { return DRELM_TSY_SetGroupZSThreshold(h, 0, 10); }},
    {"GetGroupZSThreshold", [](int32_t h) { return DRELM_TSY_GetGroupZSThreshold(h, 0, &g_threshold); }},
    {"GetGroupZSThresholdNull", [](int32_t h) { return DRELM_TSY_GetGroupZSThreshold(h, 0, nullptr); }},
    {"SetChannelEnableMask", [](int32_t h) { return DRELM_TSY_SetChannelEnableMask(h, 0, 0xFF); }},
    {"SetChannelEnableMaskBadGroup", [](int32_t h) { return DRELM_TSY_SetChannelEnableMask(h, 99, 0xFF); }},
    {"SetGroupDCOffset", [](int32_t h) { return DRELM_TSY_SetGroupDCOffset(h, 0, 0x100); }},
    {"SetGroupDCOffsetBadOffset", [](int32_t h) { return DRELM_TSY_SetGroupDCOffset(h, 0, 0x10000); }},
    {"DACOffsetWrite", [](int32_t h) { return DRELM_TSY_DACOffsetWrite(h, 0, 0, 0x100); }},
    {"DACOffsetRead", [](int32_t h) { return DRELM_TSY_DACOffsetRead(h, 0, 0, &g_offset); }},
    {"DACOffsetReadNull", [](int32_t h) { return DRELM_TSY_DACOffsetRead(h, 0, 0, nullptr); }},
    {"SWStartAcquisition", DRELM_TSY_SWStartAcquisition},
    {"SWStopAcquisition", DRELM_TSY_SWStopAcquisition},
    {"SetAcquisitionMode", [](int32_t h) { return DRELM_TSY_SetAcquisitionMode(h, 0); }},
    // The one export that answers GenericError here.
    {"SendSWtrigger", DRELM_TSY_SendSWtrigger, DRELM_TSY_GenericError},
    {"SetSWTriggerMode", [](int32_t h) { return DRELM_TSY_SetSWTriggerMode(h, 1); }},
    {"SetExtTriggerInputMode", [](int32_t h) { return DRELM_TSY_SetExtTriggerInputMode(h, 1); }},
    {"SetIOLevel", [](int32_t h) { return DRELM_TSY_SetIOLevel(h, 1); }},
    {"SetMaxNumEventsBLT", [](int32_t h) { return DRELM_TSY_SetMaxNumEventsBLT(h, 100); }},
    {"SetMaxNumEventsBLTTooMany", [](int32_t h) { return DRELM_TSY_SetMaxNumEventsBLT(h, 5000); }},
    {"SetGroupEnableMask", DRELM_TSY_SetGroupEnableMask},
};

class BadHandleTest : public EmulatedBoardTest, public ::testing::WithParamInterface<ExportCall> {};

TEST_P(BadHandleTest, HandlesOutsideTheTableAreRefusedWithoutAccess) {
    const ExportCall& e = GetParam();
    OpenBoard();  // an open board that the bad handles must not reach
    for (const int32_t h : {-1, 100, 1000, INT32_MIN, INT32_MAX, 1}) {
        Record();
        EXPECT_EQ(e.call(h), e.badHandleStatus) << "handle " << h;
        EXPECT_TRUE(TrafficIs(Traffic(), {})) << "handle " << h;
    }
    EXPECT_TRUE(SleepLog().empty());
}

TEST_P(BadHandleTest, ClosedBoardIsRefusedWithoutAccess) {
    const ExportCall& e = GetParam();
    const int32_t h = OpenBoard();
    ASSERT_EQ(DRELM_TSY_CloseTessary(h), DRELM_TSY_Success);
    Record();
    EXPECT_EQ(e.call(h), e.badHandleStatus);
    EXPECT_TRUE(TrafficIs(Traffic(), {}));
    EXPECT_TRUE(SleepLog().empty());
}

INSTANTIATE_TEST_SUITE_P(Exports, BadHandleTest, ::testing::ValuesIn(kExports),
                         [](const ::testing::TestParamInfo<ExportCall>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessary_test

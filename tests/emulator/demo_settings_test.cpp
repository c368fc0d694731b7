// The demo's emulator settings file loads cleanly and describes the two
// boards the demo configuration opens.
#include <cstdlib>
#include <string>

#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

class DemoSettingsTest : public EmulatorTest {
protected:
    void TearDown() override {
        unsetenv("DRELM_EMULATOR_SETTINGS");
        EmulatorTest::TearDown();
    }
};

TEST_F(DemoSettingsTest, TwoBoardsOf64And32Channels) {
    const std::string path = std::string(TESSARY_SOURCE_DIR) + "/examples/emulator/demo_boards.txt";
    setenv("DRELM_EMULATOR_SETTINGS", path.c_str(), 1);
    ::testing::internal::CaptureStderr();
    drelm::emu::ResetEmulator();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "the demo settings have a bad line";

    const int32_t big = OpenUsb(0);
    const int32_t small = OpenUsb(1);
    // A 64-channel board has 8 groups, a 32-channel one 4: group 7's block
    // exists only on the first.
    EXPECT_EQ(ReadStatus(big, 0x178C), 0);
    EXPECT_EQ(ReadStatus(small, 0x138C), 0);
    EXPECT_NE(ReadStatus(small, 0x148C), 0);
    EXPECT_EQ(LinkClose(big), 0);
    EXPECT_EQ(LinkClose(small), 0);
}

}  // namespace
}  // namespace emulator_test

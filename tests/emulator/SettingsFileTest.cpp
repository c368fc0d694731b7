// The settings file named by DRELM_EMULATOR_SETTINGS: board descriptions per
// address, and how bad lines are reported and skipped.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

class SettingsFileTest : public EmulatorTest {
protected:
    void TearDown() override {
        unsetenv("DRELM_EMULATOR_SETTINGS");
        if (!path_.empty()) std::remove(path_.c_str());
        EmulatorTest::TearDown();
    }

    // Writes the text to a fresh file, names it in the environment and
    // resets the emulator; returns what the load printed on stderr.
    std::string Load(const std::string& text) {
        char name[] = "/tmp/drelm_settings_XXXXXX";
        const int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        if (fd >= 0) close(fd);
        path_ = name;
        std::ofstream(path_, std::ios::binary) << text;
        setenv("DRELM_EMULATOR_SETTINGS", path_.c_str(), 1);
        ::testing::internal::CaptureStderr();
        drelm::emu::ResetEmulator();
        return ::testing::internal::GetCapturedStderr();
    }

    std::string path_;
};

TEST_F(SettingsFileTest, DescribesBoardsPerAddress) {
    const std::string errors = Load(
        "# two boards\n"
        "[usb 0]\n"
        "channels = 32\n"
        "model_code = 0x5503   # MR310\n"
        "serial_number = 4321\n"
        "link_info = 2, 1, 0, 7\n"
        "\n"
        "[vme 1 base 0x32100000]\n"
        "  family_code = 17\n"
        "roc_revision = 0x12340105\n"
        "amc_revision = 0x00010002\n"
        "rom_code32 = 0xCAFEF00D\n"
        "board_info_byte2 = 0x42\n"
        "form_code = 1\n"
        "[ethernet Bridge-7]\n"
        "reset_time_us = 0\n"
        "dc_offset_busy_us = 0\n"
        "run_latency_us = 0\n");
    EXPECT_EQ(errors, "");

    const int32_t usb = OpenUsb(0);
    EXPECT_EQ(Read(usb, 0xF030) << 8 | Read(usb, 0xF034), 0x5503u);
    EXPECT_EQ(ReadStatus(usb, 0x1400), -10) << "32 channels: 4 groups";
    EXPECT_EQ(Read(usb, 0xF080) << 8 | Read(usb, 0xF084), 4321u);
    uint8_t info[4] = {};
    ASSERT_EQ(LinkQueryInfo(usb, 5, info), 0);
    EXPECT_EQ(info[0], 2);
    EXPECT_EQ(info[3], 7);

    int32_t link = 1;
    int32_t vme = -1;
    ASSERT_EQ(LinkOpen(DRELM_LINK_USB_VME, &link, 0, 0x32100000, &vme), 0);
    EXPECT_EQ(Read(vme, 0x8140), 0x00420011u);
    EXPECT_EQ(Read(vme, 0x8124), 0x12340105u);
    EXPECT_EQ(Read(vme, 0x178C), 0x00010002u);
    EXPECT_EQ(Read(vme, 0xF034), 1u);
    EXPECT_EQ(Read(vme, 0xF04C), 0x0Du);

    int32_t bridge = -1;
    ASSERT_EQ(LinkOpen(DRELM_LINK_ETHERNET, "bridge-7", 0, 0, &bridge), 0) << "a described host is known";
    Write(bridge, 0xEF24, 0);
    EXPECT_EQ(Read(bridge, 0x8104) & 0x100, 0x100u) << "reset time 0";
    Write(bridge, 0x8100, 4);
    EXPECT_EQ(Read(bridge, 0x8104) & 4, 4u) << "run latency 0";

    const int32_t other = OpenUsb(1);
    EXPECT_EQ(ReadStatus(other, 0x1700), 0) << "an undescribed address is a default 64-channel board";
}

TEST_F(SettingsFileTest, BadLinesAreReportedAndIgnored) {
    const std::string errors = Load(
        "channels = 32\n"              // 1: before any section
        "[usb 0]\n"                    // 2
        "channels = 48\n"              // 3: not a channel count
        "model_code = 0x5501\n"        // 4: good
        "serial_number = 0x1FFFF\n"    // 5: out of range
        "colour = blue\n"              // 6: unknown key
        "just words\n"                 // 7: no '='
        "link_info = 1 2 3\n"          // 8: three bytes
        "family_code = 12abc\n"        // 9: not a number
        "[usb -1]\n"                   // 10: bad section
        "channels = 32\n"              // 11: belongs to the bad section
        "[optical 0 node 9]\n"         // 12: node too high
        "[usb 1\n"                     // 13: unclosed
        "[serial 3]\n"                 // 14: unknown connection
        "[usb 2]\n"                    // 15
        "channels = 32\n"              // 16: good
        + std::string(2000, 'x') + "\n"  // 17: too long
        "run_latency_us = 7\n"         // 18: good
        "\x01\xff = \x02\n");          // 19: binary junk
    for (int line : {1, 3, 5, 6, 7, 8, 9, 10, 12, 13, 14, 17, 19})
        EXPECT_NE(errors.find(path_ + ":" + std::to_string(line) + ":"), std::string::npos) << "line " << line;
    for (int line : {2, 4, 11, 15, 16, 18})
        EXPECT_EQ(errors.find(path_ + ":" + std::to_string(line) + ":"), std::string::npos) << "line " << line;
    EXPECT_NE(errors.find("line ignored"), std::string::npos);

    const int32_t first = OpenUsb(0);
    EXPECT_EQ(Read(first, 0xF034), 1u) << "the good key of the section is kept";
    EXPECT_EQ(ReadStatus(first, 0x1700), 0) << "the bad channel count is not";
    EXPECT_EQ(Read(first, 0xF080) << 8 | Read(first, 0xF084), 1234u);
    const int32_t third = OpenUsb(2);
    EXPECT_EQ(ReadStatus(third, 0x1700), -10);
}

TEST_F(SettingsFileTest, AMissingFileLeavesDefaultBoards) {
    setenv("DRELM_EMULATOR_SETTINGS", "/nonexistent/drelm/settings.txt", 1);
    ::testing::internal::CaptureStderr();
    drelm::emu::ResetEmulator();
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("/nonexistent/drelm/settings.txt"), std::string::npos);
    const int32_t h = OpenUsb(0);
    EXPECT_EQ(Read(h, 0xF034), 0u);
}

TEST_F(SettingsFileTest, ConfigureBoardOverridesTheFile) {
    Load("[usb 0]\nchannels = 32\n");
    BoardConfig config;
    config.serialNumber = 77;
    drelm::emu::ConfigureBoard(Usb(0), config);
    const int32_t h = OpenUsb(0);
    EXPECT_EQ(ReadStatus(h, 0x1700), 0) << "the whole description is replaced";
    EXPECT_EQ(Read(h, 0xF084), 77u);
    drelm::emu::ResetEmulator();
    const int32_t again = OpenUsb(0);
    EXPECT_EQ(ReadStatus(again, 0x1700), -10) << "a reset goes back to the file";
}

}  // namespace
}  // namespace emulator_test

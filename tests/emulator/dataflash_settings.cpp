// The flash keys of the emulator's settings file, and the flash and loaded
// calibration across a board's software reset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "DrelmComm.h"
#include "DrelmEmulator.h"
#include "TempFolder.h"

namespace {

namespace fs = std::filesystem;

class FlashSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(temp_.path().empty()); }
    void TearDown() override {
        for (int32_t link : links_) LinkClose(link);
        unsetenv("DRELM_EMULATOR_SETTINGS");
        drelm::emu::UseVirtualClock(false);
        drelm::emu::ResetEmulator();
    }

    void UseSettings(const std::string& text) {
        const fs::path path = folder_ / "settings.txt";
        std::ofstream(path) << text;
        setenv("DRELM_EMULATOR_SETTINGS", path.c_str(), 1);
        drelm::emu::ResetEmulator();
    }
    int32_t OpenUsb(int32_t number) {
        int32_t link = -1;
        EXPECT_EQ(LinkOpen(0, &number, 0, 0, &link), 0);
        links_.push_back(link);
        return link;
    }
    static uint32_t PageSize(int32_t link) {
        uint32_t size = 0;
        EXPECT_TRUE(drelm::emu::FlashPageSize(link, &size));
        return size;
    }

    emulator_test::TempFolder temp_;
    const fs::path& folder_ = temp_.path();
    std::vector<int32_t> links_;
};

TEST_F(FlashSettingsTest, DeviceIdAndFileComeFromTheBoardsSection) {
    UseSettings(
        "[usb 0]\n"
        "flash_device_id = 0x25\n"
        "flash_file = board0.flash\n"
        "[usb 1]\n"
        "flash_device_id = 0x28\n"
        "[usb 2]\n"
        "flash_device_id = 0x26\n"  // not a chip the boards carry: ignored
        "flash_file =\n");
    EXPECT_EQ(PageSize(OpenUsb(0)), 264u);
    EXPECT_EQ(fs::file_size(folder_ / "board0.flash"), 264u * 4096u);
    EXPECT_EQ(PageSize(OpenUsb(1)), 1056u);
    EXPECT_EQ(PageSize(OpenUsb(2)), 528u);
    EXPECT_EQ(PageSize(OpenUsb(3)), 528u) << "boards without flash keys carry the default chip";
}

TEST_F(FlashSettingsTest, TheFlashFileCarriesContentsIntoTheNextRun) {
    UseSettings("[usb 0]\nflash_file = kept.flash\n");
    int32_t link = OpenUsb(0);
    ASSERT_TRUE(drelm::emu::WriteFlash(link, 1000, {1, 2, 3, 4}));
    LinkClose(link);
    links_.clear();
    drelm::emu::ResetEmulator();  // a new run: every board made anew
    link = OpenUsb(0);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(drelm::emu::ReadFlash(link, 1000, 4, &bytes));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(FlashSettingsTest, ResetClearsTheLoadedBitButKeepsTheFlash) {
    drelm::emu::ResetEmulator();
    drelm::emu::UseVirtualClock(true);
    const int32_t link = OpenUsb(0);
    ASSERT_TRUE(drelm::emu::WriteFlash(link, 0, {0x5A}));
    ASSERT_EQ(LinkWriteRegister(link, 0x80E4, 1), 0);
    ASSERT_EQ(LinkWriteRegister(link, 0xEF24, 1), 0);
    drelm::emu::AdvanceClock(1'000'000'000);
    uint32_t value = 1;
    ASSERT_EQ(LinkReadRegister(link, 0x80E4, &value), 0);
    EXPECT_EQ(value & 1u, 0u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(drelm::emu::ReadFlash(link, 0, 1, &bytes));
    EXPECT_EQ(bytes, std::vector<uint8_t>{0x5A});
}

}  // namespace

// The board's address space as the link sees it: identification ROM and
// identity registers, which group blocks exist, read-only and write-only
// registers, and the bits each register keeps.
#include "EmulatorFixture.h"

namespace emulator_test {
namespace {

TEST_F(EmulatorTest, DefaultBoardIdentifiesAsA64ChannelM310) {
    const int32_t h = OpenUsb(0);
    const uint32_t modelCode = (Read(h, 0xF030) & 0xFF) << 8 | (Read(h, 0xF034) & 0xFF);
    EXPECT_EQ(modelCode, 0x5500u);
    EXPECT_EQ(Read(h, 0xF034), 0u) << "form code of a 64-channel board";
    EXPECT_EQ(Read(h, 0x8140) & 0xFF, 16u);
    EXPECT_EQ(Read(h, 0x8140) >> 16 & 0xFF, 0x03u);
    EXPECT_EQ(Read(h, 0x8124), 0x20240104u);
    EXPECT_EQ(Read(h, 0x108C), 0x20240203u);
    EXPECT_EQ(Read(h, 0xF080) << 8 | Read(h, 0xF084), 1234u);
}

TEST_F(EmulatorTest, RomBytesFollowTheDescription) {
    BoardConfig config;
    config.modelCode = 0x6603;
    config.channels = 32;
    config.serialNumber = 0xBEEF;
    config.romCode32 = 0x11223344;
    config.familyCode = 0x1F0;  // only bits 0-7 reach the register
    config.boardInfoByte2 = 0x7A;
    config.rocRevision = 0x12340105;
    config.amcRevision = 0x00010002;
    const int32_t h = OpenUsb(0, &config);
    EXPECT_EQ(Read(h, 0xF030), 0x66u);
    EXPECT_EQ(Read(h, 0xF034), 0x03u);
    EXPECT_EQ(Read(h, 0xF080), 0xBEu);
    EXPECT_EQ(Read(h, 0xF084), 0xEFu);
    EXPECT_EQ(Read(h, 0xF040), 0x11u);
    EXPECT_EQ(Read(h, 0xF044), 0x22u);
    EXPECT_EQ(Read(h, 0xF048), 0x33u);
    EXPECT_EQ(Read(h, 0xF04C), 0x44u);
    EXPECT_EQ(Read(h, 0x8140), 0x007A00F0u);
    EXPECT_EQ(Read(h, 0x8124), 0x12340105u);
    EXPECT_EQ(Read(h, 0x138C), 0x00010002u);
    EXPECT_EQ(LinkWriteRegister(h, 0xF034, 1), -11) << "the ROM is read-only";
    EXPECT_EQ(Read(h, 0xF000), 0u) << "unprogrammed ROM bytes read 0";
}

// The form code is the model code's low byte, so the two are kept coherent.
TEST_F(EmulatorTest, FormCodeAndModelCodeShareOneRomByte) {
    struct Case {
        int32_t channels;
        uint32_t modelCode;
        std::optional<uint32_t> formCode;
        uint32_t expectedF034;
    } cases[] = {
        {64, 0x5500, std::nullopt, 0}, {64, 0x5501, std::nullopt, 1}, {32, 0x5500, std::nullopt, 2},
        {32, 0x5503, std::nullopt, 3}, {64, 0x5503, std::nullopt, 0}, {64, 0x5504, std::nullopt, 4},
        {32, 0x5500, 3u, 3},           {64, 0x5501, 0u, 0},
    };
    int32_t link = 0;
    for (const Case& c : cases) {
        BoardConfig config;
        config.channels = c.channels;
        config.modelCode = c.modelCode;
        config.formCode = c.formCode;
        const int32_t h = OpenUsb(link++, &config);
        EXPECT_EQ(Read(h, 0xF034), c.expectedF034) << std::hex << c.modelCode << " with " << std::dec << c.channels;
        EXPECT_EQ(Read(h, 0xF030), 0x55u);
    }
}

TEST_F(EmulatorTest, OnlyTheBoardsOwnGroupBlocksExist) {
    BoardConfig small;
    small.channels = 32;
    const int32_t big = OpenUsb(0);
    const int32_t little = OpenUsb(1, &small);
    for (uint32_t g = 0; g < 16; ++g) {
        for (uint32_t offset : {0x00u, 0x24u, 0x88u, 0x8Cu, 0x98u, 0xA8u, 0xFCu}) {
            const uint32_t address = 0x1000 | g << 8 | offset;
            EXPECT_EQ(ReadStatus(big, address), g < 8 ? 0 : -10) << std::hex << address;
            EXPECT_EQ(ReadStatus(little, address), g < 4 ? 0 : -10) << std::hex << address;
        }
        EXPECT_EQ(LinkWriteRegister(little, 0x1000 | g << 8 | 0xA8, 1), g < 4 ? 0 : -11);
    }
    // The AMC probe walks up to the channel count: past group 31 the OR form
    // of the address leaves the map.
    EXPECT_EQ(ReadStatus(little, (32u << 8) | 0x108C), -10);
}

TEST_F(EmulatorTest, UnmappedAndMisalignedAddressesAreBusErrors) {
    const int32_t h = OpenUsb(0);
    for (uint32_t address : {0x0u, 0x0FFCu, 0x2000u, 0x7FFCu, 0x8200u, 0xEEFCu, 0xF400u, 0xFFFFFFFCu, 0x8002u, 0xF031u}) {
        EXPECT_EQ(ReadStatus(h, address), -10) << std::hex << address;
        EXPECT_EQ(LinkWriteRegister(h, address, 0), -11) << std::hex << address;
    }
    for (uint32_t address : {0x8000u, 0x81FCu, 0xEF00u, 0xEFFCu, 0xF000u, 0xF3FCu})
        EXPECT_EQ(ReadStatus(h, address), 0) << std::hex << address;
}

TEST_F(EmulatorTest, ReadOnlyAndWriteOnlyRegisters) {
    const int32_t h = OpenUsb(0);
    for (uint32_t address : {0x8104u, 0x8124u, 0x8140u, 0x814Cu, 0x81C8u, 0x81CCu, 0x1088u, 0x178Cu})
        EXPECT_EQ(LinkWriteRegister(h, address, 0), -11) << std::hex << address;
    for (uint32_t address : {0x8108u, 0xEF24u, 0x1080u, 0x1780u})
        EXPECT_EQ(ReadStatus(h, address), -10) << std::hex << address;
    // Calibration table entries and flash bytes are taken.
    EXPECT_EQ(LinkWriteRegister(h, 0x1780, 0x12345678), 0);
    EXPECT_EQ(LinkWriteRegister(h, 0xEF2C, 2), 0);
    EXPECT_EQ(LinkWriteRegister(h, 0xEF30, 0xD7), 0);
    EXPECT_EQ(Read(h, 0xEF30) & 0x80u, 0x80u) << "the flash chip answers its status: ready";
}

TEST_F(EmulatorTest, RegistersKeepTheirOwnBits) {
    const int32_t h = OpenUsb(0);
    struct Case {
        uint32_t address;
        uint32_t written;
        uint32_t read;
    } cases[] = {
        {0x1024, 0xFFFFFFFF, 0x3FFF},     {0x1324, 0x0001C001, 0x0001}, {0x10A8, 0x1FF, 0xFF},
        {0x1098, 0x12345555, 0x12345555}, {0x8120, 0x155, 0x55},        {0xEF1C, 0xF3FF, 0x3FF},
        {0x80E0, 0xC00F0017, 0xC00F0017}, {0x8020, 0xFFFFFFFF, 0xFFFFFFFF}, {0x80E4, 1, 1},
        {0x810C, 0xC0000000, 0xC0000000}, {0x8110, 0xFF, 0xFF},         {0x811C, 0x400001, 0x400001},
        {0xEF00, 0x10, 0x10},             {0x8000, 0x5, 0x5},           {0x800C, 10, 10},
    };
    for (const Case& c : cases) {
        Write(h, c.address, c.written);
        EXPECT_EQ(Read(h, c.address), c.read) << std::hex << c.address;
    }
}

TEST_F(EmulatorTest, SoftwareTriggersAreCounted) {
    const int32_t h = OpenUsb(0);
    for (int i = 0; i < 3; ++i) Write(h, 0x8108, 0);
    uint64_t count = 0;
    ASSERT_TRUE(drelm::emu::SoftwareTriggerCount(h, &count));
    EXPECT_EQ(count, 3u);
    EXPECT_FALSE(drelm::emu::SoftwareTriggerCount(h + 1, &count));
}

TEST_F(EmulatorTest, PeekAndPokeGoBehindTheLinksBack) {
    const int32_t h = OpenUsb(0);
    drelm::emu::StartRecording();
    EXPECT_TRUE(drelm::emu::PokeRegister(h, 0xF030, 0x66));
    EXPECT_TRUE(drelm::emu::PokeRegister(h, 0x8140, 0x11));
    EXPECT_TRUE(drelm::emu::PokeRegister(h, 0xEF24, 0)) << "a poke causes no reset";
    uint32_t value = 0;
    EXPECT_TRUE(drelm::emu::PeekRegister(h, 0x8104, &value));
    EXPECT_EQ(value & 0x100, 0x100u);
    EXPECT_FALSE(drelm::emu::PokeRegister(h, 0x81C8, 5)) << "computed registers cannot be poked";
    EXPECT_FALSE(drelm::emu::PokeRegister(h, 0x1800, 5));
    EXPECT_FALSE(drelm::emu::PeekRegister(h, 0x1800, &value));
    EXPECT_FALSE(drelm::emu::PeekRegister(h + 1, 0x8000, &value));
    EXPECT_TRUE(drelm::emu::RecordedTraffic().empty());
    EXPECT_EQ(Read(h, 0xF030), 0x66u);
    EXPECT_EQ(Read(h, 0x8140), 0x11u);
}

}  // namespace
}  // namespace emulator_test

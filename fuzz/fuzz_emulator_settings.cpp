// The emulator's settings file: any bytes are read, reported and used
// without a crash, and the boards they describe open, answer and acquire
// (whatever source, rate and gain they name). Runs on the virtual clock, so
// that link timing costs nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "DrelmComm.h"
#include "DrelmEmulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/drelm_fuzz_settings_" + std::to_string(getpid());
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        if (size) std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    setenv("DRELM_EMULATOR_SETTINGS", path.c_str(), 1);
    drelm::emu::UseVirtualClock(true);
    drelm::emu::ResetEmulator();
    static uint32_t words[1 << 16];
    for (int32_t link = 0; link < 3; ++link) {
        int32_t handle = -1;
        if (LinkOpen(DRELM_LINK_USB, &link, 0, 0, &handle) != 0) continue;
        uint32_t value = 0;
        LinkReadRegister(handle, 0xF034, &value);
        LinkReadRegister(handle, 0x8140, &value);
        LinkWriteRegister(handle, 0x8120, 0x55);
        for (uint32_t g = 0; g < 8; ++g) LinkWriteRegister(handle, 0x10A8 | g << 8, 0xFF);
        LinkWriteRegister(handle, 0x810C, 0xC0000000);
        LinkWriteRegister(handle, 0x8100, 4);
        drelm::emu::AdvanceClock(2'000'000);
        LinkWriteRegister(handle, 0x8108, 0);
        int32_t moved = 0;
        LinkBlockRead(handle, 0, words, 1 << 16, &moved);
        LinkClose(handle);
    }
    int32_t handle = -1;
    if (LinkOpen(DRELM_LINK_ETHERNET, "bridge", 0, 0, &handle) == 0) LinkClose(handle);
    std::remove(path.c_str());
    unsetenv("DRELM_EMULATOR_SETTINGS");
    drelm::emu::ResetEmulator();
    drelm::emu::UseVirtualClock(false);
    return 0;
}

// The emulator's settings file: any bytes are read, reported and used
// without a crash, and the boards they describe open and answer.
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
    drelm::emu::ResetEmulator();
    for (int32_t link = 0; link < 3; ++link) {
        int32_t handle = -1;
        if (LinkOpen(DRELM_LINK_USB, &link, 0, 0, &handle) != 0) continue;
        uint32_t value = 0;
        LinkReadRegister(handle, 0xF034, &value);
        LinkReadRegister(handle, 0x8140, &value);
        LinkClose(handle);
    }
    int32_t handle = -1;
    if (LinkOpen(DRELM_LINK_ETHERNET, "bridge", 0, 0, &handle) == 0) LinkClose(handle);
    std::remove(path.c_str());
    unsetenv("DRELM_EMULATOR_SETTINGS");
    drelm::emu::ResetEmulator();
    return 0;
}

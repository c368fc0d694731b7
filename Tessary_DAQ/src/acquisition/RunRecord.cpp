#include "RunRecord.h"

#include <cstring>
#include <fstream>
#include <iterator>

#include "DrelmTessaryLib.h"
#include "Program.h"

namespace tessary {
namespace {

// The identification ROM's serial number, a byte in each register.
constexpr uint32_t kRomSerialHigh = 0xF080;
constexpr uint32_t kRomSerialLow = 0xF084;

std::string Field(const char* text, std::size_t size) { return std::string(text, strnlen(text, size)); }

}  // namespace

RunDescription DescribeRun(const std::string& configPath, const int32_t* handles, int boards) {
    RunDescription run;
    run.version = std::string("Tessary_DAQ ") + kProgramVersion;
    std::ifstream file(configPath, std::ios::binary);
    run.configText.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    for (int b = 0; b < boards; ++b) {
        BoardIdentity identity;
        BoardInfo info{};
        if (DRELM_TSY_GetInfo(handles[b], &info) == 0) {
            identity.model = Field(info.modelName, sizeof info.modelName);
            identity.rocRelease = Field(info.rocRelease, sizeof info.rocRelease);
            identity.amcRelease = Field(info.amcRelease, sizeof info.amcRelease);
        }
        uint32_t high = 0, low = 0;
        if (DRELM_TSY_ReadRegister(handles[b], kRomSerialHigh, &high) == 0 &&
            DRELM_TSY_ReadRegister(handles[b], kRomSerialLow, &low) == 0)
            identity.serialNumber = (high & 0xFF) << 8 | (low & 0xFF);
        run.boards.push_back(std::move(identity));
    }
    return run;
}

}  // namespace tessary

// Fuzz target for the configuration parser. The first byte chooses the
// length of the per-user folder (up to its 127-character limit; like a real
// one it begins and ends with a separator), the rest is the configuration
// text. The record sits between guard bytes: any write
// outside it, or a text field left without its terminating zero, aborts.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

#include "ConfigParser.h"
#include "DaqConfig.h"
#include "Paths.h"

namespace {

constexpr unsigned char kGuardByte = 0xA5;

struct Guarded {
    unsigned char before[64];
    tessary::DaqConfig config;
    unsigned char after[64];
};

bool GuardIntact(const unsigned char* guard, std::size_t size) {
    return std::all_of(guard, guard + size, [](unsigned char b) { return b == kGuardByte; });
}

bool Terminated(const char* field, std::size_t size) { return std::memchr(field, '\0', size) != nullptr; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char separator = tessary::platform::PathSeparator();
    const std::size_t length = 2 + data[0] % (tessary::platform::kMaxUserFolderLength - 1);
    std::string userFolder(length, 'u');
    userFolder.front() = separator;
    userFolder.back() = separator;
    std::istringstream input(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    std::ostringstream messages;

    auto guarded = std::make_unique<Guarded>();
    std::memset(guarded->before, kGuardByte, sizeof guarded->before);
    std::memset(guarded->after, kGuardByte, sizeof guarded->after);
    const int result = tessary::ParseConfig(input, userFolder, guarded->config, messages);

    const tessary::DaqConfig& c = guarded->config;
    bool sound = (result == tessary::kConfigOk || result == tessary::kConfigParsingError) &&
                 GuardIntact(guarded->before, sizeof guarded->before) &&
                 GuardIntact(guarded->after, sizeof guarded->after) && c.boardCount >= 0 &&
                 c.boardCount <= tessary::kMaxBoards && Terminated(c.outfilePath, sizeof c.outfilePath) &&
                 Terminated(c.outfileName, sizeof c.outfileName) && Terminated(c.gnuplotPath, sizeof c.gnuplotPath);
    for (int j = 0; sound && j < c.boardCount; ++j) {
        const tessary::BoardSettings& b = c.boards[j];
        sound = Terminated(b.hostName, sizeof b.hostName) && b.spectrumShift >= 0 && b.spectrumShift <= 4;
        for (int g = 0; sound && g < tessary::kGroupsPerBoard; ++g) {
            sound = b.zsThreshold[g] <= tessary::kMaxZsThreshold;
        }
    }
    if (!sound) std::abort();
    return 0;
}

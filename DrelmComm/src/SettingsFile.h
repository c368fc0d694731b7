// The emulator's settings file: board descriptions per address, in a
// line-based text format (described in DrelmComm/README.md). The file named
// by DRELM_EMULATOR_SETTINGS is read when the emulator is first used and on
// every ResetEmulator. Bad lines are reported on stderr and ignored.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "DrelmEmulator.h"

namespace drelm::emu {

class SettingsFile {
public:
    struct Entry {
        BoardAddress address;
        BoardConfig config;
        FlashConfig flash;
    };

    static constexpr const char* kEnvironmentVariable = "DRELM_EMULATOR_SETTINGS";
    static constexpr std::size_t kMaxLineLength = 1024;

    // Nothing (and no message) when the variable is unset or empty; a message
    // and nothing when the file cannot be read.
    static std::vector<Entry> LoadFromEnvironment();

    // Parses a whole text; `source` names it in messages, which go to `errors`.
    // Entries come in the order their addresses first appear; sections that
    // name the same address add to one entry.
    static std::vector<Entry> Parse(std::istream& in, const std::string& source, std::ostream& errors);
};

}  // namespace drelm::emu

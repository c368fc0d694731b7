// Table-driven cases over whole configuration texts: each case gives the
// text, the expected result, the exact messages, and a check of the record.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>

#include "ConfigParser.h"
#include "DaqConfig.h"
#include "Paths.h"

namespace tessary::test {

inline constexpr const char* kUserFolder = "/home/ann/Tessary_DAQ/";
// The separator the program appends and names in its warnings: the system's.
inline const std::string kSep(1, platform::PathSeparator());
inline const std::string kDefaultOutput = std::string(kUserFolder) + "Tessary_output" + kSep;
// The warning for a path that does not end with a separator.
inline std::string NoSeparatorWarning(const std::string& key, const std::string& value, int line) {
    return "Warning: " + key + " " + value + " at line " + std::to_string(line) + " does not end with '" + kSep +
           "'; names are appended to it directly\n";
}

struct Parsed {
    int result = -1;
    std::string messages;
    std::unique_ptr<DaqConfig> config = std::make_unique<DaqConfig>();
};

inline Parsed ParseText(const std::string& text, const std::string& userFolder = kUserFolder) {
    Parsed parsed;
    std::istringstream input(text);
    std::ostringstream messages;
    parsed.result = ParseConfig(input, userFolder, *parsed.config, messages);
    parsed.messages = messages.str();
    return parsed;
}

struct ConfigCase {
    const char* name;
    std::string text;
    int result;
    std::string messages;
    std::function<void(const DaqConfig&)> check;
};

inline std::ostream& operator<<(std::ostream& out, const ConfigCase& c) { return out << c.name; }

inline std::string CaseName(const testing::TestParamInfo<ConfigCase>& info) { return info.param.name; }

// Runs one case: result, messages byte for byte, then the record.
inline void RunCase(const ConfigCase& c) {
    Parsed parsed = ParseText(c.text);
    EXPECT_EQ(parsed.result, c.result);
    EXPECT_EQ(parsed.messages, c.messages);
    if (c.check) c.check(*parsed.config);
}

// One board on USB link 0, for cases about other keys.
inline const std::string kOneBoard = "OPEN USB 0\n";
inline const std::string kTwoBoards = "OPEN USB 0\nOPEN USB 1\n";

}  // namespace tessary::test

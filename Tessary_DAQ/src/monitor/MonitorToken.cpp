#include "MonitorToken.h"

#include <cstdint>

#include "SecureRandom.h"

namespace tessary::monitor {

std::string NewToken() {
    uint8_t bits[16];
    if (!platform::SecureRandomBytes(bits, sizeof bits)) return {};
    static const char kDigits[] = "0123456789abcdef";
    std::string token;
    token.reserve(2 * sizeof bits);
    for (const uint8_t byte : bits) {
        token.push_back(kDigits[byte >> 4]);
        token.push_back(kDigits[byte & 15]);
    }
    return token;
}

bool TokenMatches(std::string_view given, std::string_view token) {
    if (token.empty() || given.size() != token.size()) return false;
    unsigned difference = 0;
    for (size_t i = 0; i < token.size(); ++i)
        difference |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(token[i]);
    return difference == 0;
}

}  // namespace tessary::monitor

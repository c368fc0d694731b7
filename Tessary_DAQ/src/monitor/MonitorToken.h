// The monitor's token: 128 random bits, new for every run, that control
// (and, on an address other than the loopback, every request) must carry.
#pragma once

#include <string>
#include <string_view>

namespace tessary::monitor {

// 32 lowercase hexadecimal digits from the operating system's random
// source; empty when the source failed (no token can then match).
std::string NewToken();

// True when `given` is `token`, which is not empty; the time taken does
// not depend on where they differ.
bool TokenMatches(std::string_view given, std::string_view token);

}  // namespace tessary::monitor

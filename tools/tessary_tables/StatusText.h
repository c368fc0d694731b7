// Library statuses in words, for the tool's messages.
#pragma once

#include <cstdint>
#include <string>

// "status -18 (Timeout: the board or its flash chip did not get ready in
// time)"; a code the library does not use comes out as its number.
std::string DescribeStatus(int32_t status);

// Standard output buffering on Windows.

#include "Output.h"

#include <cstdio>
#include <iostream>

namespace tessary::platform {

// The Windows C library takes line buffering for full buffering, so
// standard output is left unbuffered instead: each line still appears as
// soon as it is printed, at the cost of more writes.
void ConfigureOutput() { std::setvbuf(stdout, nullptr, _IONBF, 0); }

void FlushOutput() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace tessary::platform


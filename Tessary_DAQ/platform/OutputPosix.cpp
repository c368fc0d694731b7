// Standard output buffering on POSIX systems.
#include "Output.h"

#include <cstdio>
#include <iostream>

namespace tessary::platform {

void ConfigureOutput() { std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ); }

void FlushOutput() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}

}  // namespace tessary::platform

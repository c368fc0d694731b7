// Rebuilds one board's list and histogram files from its raw files, with
// the program's own configuration parser, decoder, accounting and writers,
// so that the files come out as the program would have written them.
#pragma once

#include <string>
#include <vector>

namespace tessary::replay {

struct ReplayRequest {
    std::string config;
    int board = -1;
    std::string outputFolder;
    std::vector<std::string> rawFiles;
    // 32 or 64; 0: taken from the first event's blocks.
    int channels = 0;
};

// Messages go to standard output, problems to standard error. Returns an
// exit status of ExitStatus.h.
int Replay(const ReplayRequest& request);

}  // namespace tessary::replay

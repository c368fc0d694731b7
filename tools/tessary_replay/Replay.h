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
    // As given; replayed in segment order when every name follows the
    // program's raw naming for one prefix and board.
    std::vector<std::string> rawFiles;
    // 32 or 64, which the data must agree with; 0: taken from the data.
    int channels = 0;
    // Write over list and histogram files already in the output folder;
    // without it their presence refuses the replay before anything is written.
    bool overwrite = false;
    // Write the board's HDF5 event file too, whatever CONFIG's OUTFILE_HDF5 says.
    bool hdf5 = false;
};

// Messages go to standard output, problems to standard error. Returns an
// exit status of ExitStatus.h.
int Replay(const ReplayRequest& request);

}  // namespace tessary::replay

// Which table files a folder holds, looked at before an upload or a load
// from files so that a mistyped folder is refused before anything of a
// board is touched.
#pragma once

#include <string>
#include <vector>

// Why the folder can't be used ("No such file or directory", "not a folder"),
// or empty.
std::string FolderProblem(const std::string& directory);

struct TableFiles {
    int expected = 0;  // tables the command stores or loads
    int present = 0;   // of them, with a file that opens
    // The missing ones, grouped: "DAC_Offset_NEG.txt",
    // "DACDU_<channel>_POS.txt for channels 2-63".
    std::vector<std::string> missing;
};

// The files for a board of that many channels, the two offset files first
// when offsets is set, then the calibration files, the library's order.
TableFiles FindTableFiles(const std::string& directory, int channels, bool offsets);

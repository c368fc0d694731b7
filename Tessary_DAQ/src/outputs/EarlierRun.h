// The output folder made ready for a run, before any file is written and
// any board opened: locked for the run's name, so that two programs never
// write the same files, and the files an earlier run of that name left
// there moved aside into a folder of their own, named after that run's
// start, so that a new run neither overwrites them nor mixes its segments
// with theirs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "DaqConfig.h"
#include "FileLock.h"
#include "ProgramError.h"

namespace tessary {

// Where a run's files go: their folder (with its separator; empty for the
// working directory) and the prefix of their names without its "_". With
// an output file on, OUTFILE_PATH and OUTFILE_NAME as the file names are
// built from them; else the per-user folder, where the summary goes.
struct RunPlace {
    std::string folder;
    std::string stem;
    bool outputFiles = false;
};
RunPlace PlaceOfRun(const DaqConfig& config, const std::string& userFolder);

// The run's lock file: <folder><stem>.lock.
std::string LockFilePath(const RunPlace& place);

// Moves the files of an earlier run with the place's name into a new folder
// beside them and prints one line saying how many went where; nothing at
// all when there are none. With output files on, an earlier run's files
// are every file (not folder) of the folder whose name begins with
// "<stem>_", but for the lock file and the files of another name that has
// a lock file there (OUTFILE_NAME run_b beside run); else its summary
// alone. The folder is named after the start in the earlier summary, or
// else after the oldest file's modification time, with -2, -3, ... added
// when the name is taken. Nothing is ever replaced: when a file cannot be
// moved, those moved go back and the result is OutputFileOpen, with a
// message.
ProgramError MoveEarlierRunAside(const RunPlace& place, std::FILE* out);

// Start-up, right after the configuration is read: creates the output
// directory when needed (OutputDirectory when it cannot be), takes the
// run's lock into `lock` (OutputFileOpen, naming the other program's
// process id and the folder, when another program holds it), then moves an
// earlier run aside unless `overwrite`, which keeps the former behaviour
// of files replaced in place. Messages go to `out`.
ProgramError PrepareOutputFolder(const DaqConfig& config, const std::string& userFolder, bool overwrite,
                                 std::FILE* out, platform::FileLock& lock);

}  // namespace tessary

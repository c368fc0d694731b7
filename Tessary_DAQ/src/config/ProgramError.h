// The program's error codes and their messages. The codes are what the
// program exits with after an error, so scripts can tell failures apart.
#pragma once

namespace tessary {

enum class ProgramError : int {
    None = 0,
    ConfigNotFound = 1,
    Parsing = 2,
    OpenBoard = 3,
    BoardInfo = 4,
    UnsupportedBoard = 5,
    ProgramBoard = 6,
    Memory = 7,
    Restarting = 8,
    Interrupt = 9,
    Readout = 10,
    EventBuild = 11,
    Plotter = 12,
    BoardType = 13,
    OutputDirectory = 14,
    OutputFileOpen = 15,
    OutputFileWrite = 16,
    CalibrationUpload = 17,
    Monitor = 18,  // the live monitor could not start (its address taken, say)
};

// The message printed for a code; "No Error" for 0 and for codes outside
// the table.
const char* ErrorMessage(ProgramError error);

}  // namespace tessary

#include "ProgramError.h"

namespace tessary {

const char* ErrorMessage(ProgramError error) {
    static const char* const kMessages[] = {
        "No Error",
        "Configuration File not found",
        "Parsing Error",
        "Can't open the peak sensing",
        "Can't read the board info",
        "Can't run the DAQ program on this peak sensing",
        "Can't program the peak sensing",
        "Can't allocate the memory for the readout buffer",
        "Restarting Error",
        "Interrupt Error",
        "Readout Error",
        "Event Build Error",
        "Can't allocate the memory for the histograms",
        "Unhandled board type",
        "Output directory open error",
        "Output file open error",
        "Output file write error",
        "Calibration Upload Error",
        "Monitor start error",
    };
    const int code = static_cast<int>(error);
    if (code < 0 || code >= static_cast<int>(sizeof kMessages / sizeof kMessages[0])) return kMessages[0];
    return kMessages[code];
}

}  // namespace tessary

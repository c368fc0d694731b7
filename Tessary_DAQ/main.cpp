// Tessary_DAQ: acquisition from peak-sensing digitizer boards.
//
//   Tessary_DAQ [options] [config]   run with that configuration file
//   Tessary_DAQ --help               usage, options and keys
//   Tessary_DAQ --version            the version
//
// Exits with 0 after a normal end, 64 (EX_USAGE) for a bad command line,
// else with the program error code (1 to 17).
#include <cstdio>
#include <string>

#include "CommandLine.h"
#include "PrintableText.h"
#include "Program.h"

int main(int argc, char** argv) {
    tessary::ProgramOptions options;
    std::string message;
    switch (tessary::ParseCommandLine(argc, argv, options, message)) {
        case tessary::CommandLineAction::Help: std::fputs(tessary::UsageText(), stdout); return 0;
        case tessary::CommandLineAction::Version: std::printf("Tessary_DAQ %s\n", tessary::kProgramVersion); return 0;
        case tessary::CommandLineAction::Refused:
            std::fprintf(stderr, "Tessary_DAQ: %s\n", tessary::Printable(message).c_str());
            return tessary::kExitUsage;
        case tessary::CommandLineAction::Run: break;
    }
    if (!message.empty()) std::fprintf(stderr, "Tessary_DAQ: %s\n", tessary::Printable(message).c_str());
    return static_cast<int>(tessary::RunProgram(options));
}

// Tessary_DAQ: acquisition from peak-sensing digitizer boards.
//
//   Tessary_DAQ [config]      run with that configuration file
//   Tessary_DAQ --help        usage and keys
//   Tessary_DAQ --version     the version
//
// Exits with 0 after a normal end, else with the program error code.
#include <cstdio>
#include <cstring>

#include "Program.h"

namespace {

const char kUsage[] =
    "Usage: Tessary_DAQ [CONFIG]\n"
    "       Tessary_DAQ --help | --version\n"
    "\n"
    "Acquires from the peak-sensing boards that the configuration file CONFIG\n"
    "names (default: Tessary_Config.txt in the per-user folder, Tessary_DAQ/\n"
    "under USERPROFILE or else HOME).\n"
    "\n"
    "Keys while it runs:\n"
    "  s        start/stop the acquisition\n"
    "  q        quit (also Ctrl-C, SIGTERM, SIGHUP)\n"
    "  r        reset the counters\n"
    "  t        one software trigger to every board\n"
    "  T        continuous software triggers on/off\n"
    "  p        plot once\n"
    "  c        plot one channel: enter its two digits, 00 to 63\n"
    "  0-7      add/remove a channel of the plotted group\n"
    "  8 / 9    previous/next channel group\n"
    "  + / -    next/previous board\n"
    "  space    this help\n"
    "\n"
    "Keys may be piped for a scripted run, for example\n"
    "  (sleep 1; printf s; sleep 10; printf q) | Tessary_DAQ my.cfg\n"
    "\n"
    "Exit status: 0 after a normal end, else the error code (1 to 17).\n";

}  // namespace

int main(int argc, char** argv) {
    tessary::ProgramOptions options;
    if (argc > 1) {
        if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[1], "--version") == 0) {
            std::printf("Tessary_DAQ %s\n", tessary::kProgramVersion);
            return 0;
        }
        options.configPath = argv[1];
    }
    return static_cast<int>(tessary::RunProgram(options));
}

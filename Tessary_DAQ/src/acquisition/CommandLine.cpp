#include "CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace tessary {
namespace {

// Longest preset: a year of acquisition.
constexpr double kMaxPresetSeconds = 366.0 * 24 * 3600;

const char kUsage[] =
    "Usage: Tessary_DAQ [OPTIONS] [CONFIG]\n"
    "       Tessary_DAQ --help | --version\n"
    "\n"
    "Acquires from the peak-sensing boards that the configuration file CONFIG\n"
    "names (default: Tessary_Config.txt in the per-user folder, Tessary_DAQ/\n"
    "under USERPROFILE or else HOME).\n"
    "\n"
    "Options for unattended runs (a preset stops the acquisition and quits, as\n"
    "the q key does; presets count the run's whole acquisition, a stop pauses\n"
    "them; keys keep working):\n"
    "  --start                 start the acquisition at once, as the s key does\n"
    "  --preset-real SECONDS   quit after this much real time of acquisition\n"
    "  --preset-live SECONDS   quit when a board's live time (from its own time\n"
    "                          and dead-time counters) reaches this\n"
    "  --preset-counts N       quit when a board has accounted N events\n"
    "\n"
    "  --overwrite             replace the files of an earlier run with the same\n"
    "                          OUTFILE_NAME (by default they are moved aside)\n"
    "\n"
    "Live monitor (see the README for the page, the JSON API and the metrics):\n"
    "  --monitor [ADDRESS:]PORT  serve a live page of the run, a JSON API and\n"
    "                          Prometheus metrics (/metrics) at ADDRESS (default\n"
    "                          127.0.0.1; [::1] for IPv6) and PORT (0: any free\n"
    "                          port). A token, new for every run, is printed at\n"
    "                          start-up and written to monitor_token in the\n"
    "                          per-user folder: the page's start, stop, trigger\n"
    "                          and reset buttons need it, and on an address other\n"
    "                          than the loopback every request does\n"
    "  --monitor-metrics-open  /metrics readable without the token on any address\n"
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
    "or, with the same effect,\n"
    "  Tessary_DAQ --start --preset-real 10 my.cfg < /dev/null\n"
    "\n"
    "At the end of a run a summary is printed and written as JSON beside the\n"
    "output files (<OUTFILE_NAME>_summary.json; in the per-user folder when no\n"
    "output file is on), with every output file's size and CRC-32C.\n"
    "\n"
    "Exit status: 0 after a normal end (q, a preset or a stop signal), 64 for a\n"
    "bad command line (nothing is touched then), else the error code (1 to 18;\n"
    "2 for an error in the configuration file).\n";

// A number of seconds: decimal, finite, above 0 and at most a year.
bool ParseSeconds(const char* text, double& out) {
    if (*text == '\0' || std::strchr(text, 'x') || std::strchr(text, 'X')) return false;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value) || value <= 0.0 || value > kMaxPresetSeconds)
        return false;
    out = value;
    return true;
}

// A count of events: decimal digits only, at least 1.
bool ParseCount(const char* text, uint64_t& out) {
    if (*text == '\0') return false;
    uint64_t value = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(*c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    if (value == 0) return false;
    out = value;
    return true;
}

// [ADDRESS:]PORT; an IPv6 address in brackets.
bool ParseMonitorAddress(const std::string& text, monitor::MonitorOptions& out) {
    std::string address = "127.0.0.1", port = text;
    const size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
        if (address.empty() || address.find_first_of(" []/") != std::string::npos) return false;
    }
    uint64_t value = 0;
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stoull(port);
    if (value > 65535) return false;
    out.address = address;
    out.port = static_cast<int>(value);
    return true;
}

}  // namespace

const char* UsageText() { return kUsage; }

CommandLineAction ParseCommandLine(int argc, const char* const* argv, ProgramOptions& options,
                                   std::string& message) {
    bool givenReal = false, givenLive = false, givenCounts = false;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') break;
        if (arg == "--help" || arg == "-h") return CommandLineAction::Help;
        if (arg == "--version") return CommandLineAction::Version;
        if (arg == "--start") {
            options.startAtOnce = true;
            continue;
        }
        if (arg == "--overwrite") {
            options.overwrite = true;
            continue;
        }
        if (arg == "--monitor-metrics-open") {
            options.monitor.metricsOpen = true;
            continue;
        }
        if (arg == "--monitor") {
            if (i + 1 >= argc) {
                message = "--monitor needs [ADDRESS:]PORT, for example --monitor 8080";
                return CommandLineAction::Refused;
            }
            if (!ParseMonitorAddress(argv[++i], options.monitor)) {
                message = std::string("--monitor: \"") + argv[i] +
                          "\" is not [ADDRESS:]PORT with PORT from 0 to 65535 (for example 8080, 0.0.0.0:8080 or [::1]:8080)";
                return CommandLineAction::Refused;
            }
            continue;
        }
        const bool real = arg == "--preset-real", live = arg == "--preset-live", counts = arg == "--preset-counts";
        if (!real && !live && !counts) {
            message = "unknown option " + arg + " (Tessary_DAQ --help lists the options; a configuration file " +
                      "whose name begins with - comes after --)";
            return CommandLineAction::Refused;
        }
        // Two values for one preset leave it unclear which one is meant.
        bool& given = real ? givenReal : live ? givenLive : givenCounts;
        if (given) {
            message = arg + " is given twice: each preset is given once";
            return CommandLineAction::Refused;
        }
        given = true;
        if (i + 1 >= argc) {
            message = arg + " needs a value";
            return CommandLineAction::Refused;
        }
        const char* value = argv[++i];
        double seconds = 0;
        uint64_t events = 0;
        if (counts) {
            if (!ParseCount(value, events)) {
                message = arg + ": \"" + value + "\" is not a whole number of events from 1 up";
                return CommandLineAction::Refused;
            }
            options.presetCounts = events;
        } else {
            if (!ParseSeconds(value, seconds)) {
                message = arg + ": \"" + value + "\" is not a number of seconds above 0 and at most 31622400";
                return CommandLineAction::Refused;
            }
            (real ? options.presetRealS : options.presetLiveS) = seconds;
        }
    }
    if (i < argc) options.configPath = argv[i++];
    if (i < argc) {
        message = "ignoring what follows the configuration file (options come before it):";
        for (; i < argc; ++i) message += std::string(" ") + argv[i];
    }
    return CommandLineAction::Run;
}

}  // namespace tessary

// The acquisition program from start to end: start-up (banner, per-user
// folder, configuration, boards, buffers, counters), the run loop (keys,
// triggers, readout, accounting, statistics) and the shutdown. The output
// files, the table loading and the plotter join it at the stages marked in
// Program.cpp.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "Console.h"
#include "Monitor.h"
#include "ProgramError.h"

namespace tessary {

inline constexpr char kProgramVersion[] = "1.1.0";

struct ProgramOptions {
    std::string configPath;  // empty: the per-user folder's Tessary_Config.txt
    // Unattended runs: start acquiring at once, as the s key does, and end
    // the run as the q key does once a preset is reached. The presets count
    // the run's whole acquisition (a stop pauses them).
    bool startAtOnce = false;
    // Files of an earlier run with the same name are replaced, not kept aside.
    bool overwrite = false;
    std::optional<double> presetRealS;      // seconds of acquisition on the host's clock
    std::optional<double> presetLiveS;      // seconds of live time on any board's counters
    std::optional<uint64_t> presetCounts;   // events accounted by any board
    // The live monitor: off unless a port is given.
    monitor::MonitorOptions monitor;
};

// Runs the program with its keys from `keys` and its messages to `out`;
// the result is the error it ended with (None after a normal end or a stop
// signal).
ProgramError RunProgram(const ProgramOptions& options, platform::KeyInput& keys, std::FILE* out);

// The same on the console: standard input's keys, standard output, and the
// stop signals.
ProgramError RunProgram(const ProgramOptions& options);

}  // namespace tessary

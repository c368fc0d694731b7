// What the monitor shows of a run: a snapshot that the run loop publishes at
// each statistics print and on every change of state, and that the monitor's
// threads only ever read as a copy. Plain values with fixed room, so that a
// publish copies without allocating once the vectors have their size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DaqConfig.h"

namespace tessary::monitor {

enum class RunState { Waiting, Acquiring, Stopped, Ended };
const char* RunStateName(RunState state);  // "waiting", "acquiring", "stopped", "ended"

// One channel's row of the statistics table, as printed.
struct ChannelFigures {
    bool enabled = false;
    double saturatedPercent = 0;
    double suppressedPercent = 0;
    double ocrKcps = 0;            // without saturated amplitudes
    double ocrWithSaturatedKcps = 0;
};

// The figures of a board's statistics block, exactly as the console printed
// them at the same pass (NaN or infinity where the console shows nan or inf).
struct StatisticsFigures {
    bool noData = true;  // the block said "No data..."
    double realTimeS = 0;
    double liveTimeS = 0;
    double deadTimePercent = 0;
    double throughputMBps = 0;
    double detectedKHz = 0;
    double processedKHz = 0;
    double pileUpKHz = 0;
    ChannelFigures channels[kMaxChannels];
};

// Written bytes per kind of output file, for the metrics.
enum FileKind { kRawFile, kListFile, kHistogramFile, kFileKinds };
const char* FileKindName(int kind);  // "raw", "list", "histogram"

struct BoardStatus {
    int board = 0;
    std::string model;
    int channelCount = 0;
    // The last statistics block printed for this board since the start (or
    // the last reset); printed is false until there is one.
    bool printed = false;
    int64_t printedAtMs = 0;  // wall clock, ms since 1970 UTC
    StatisticsFigures figures;
    // The run so far (counters: they never go down during a run).
    uint64_t events = 0;
    uint64_t bytes = 0;
    uint64_t triggers = 0;
    uint64_t triggersLost = 0;
    uint64_t pileUpEvents = 0;
    uint64_t saturated = 0;
    uint64_t writtenBytes[kFileKinds] = {};
    // The board's time over the run's periods of acquisition.
    double liveTimeS = 0;
    double deadTimeS = 0;
};

struct FileStatus {
    std::string path;
    uint64_t bytes = 0;
};

struct DiskStatus {
    bool known = false;           // false: no output file, or the file system could not be asked
    uint64_t freeBytes = 0;
    double writeBytesPerS = 0;    // over the last checks
    double secondsToFull = -1;    // -1: not filling (nothing written lately)
    bool lowSpaceWarned = false;  // the time to full fell below the warning's threshold
};

struct RunStatus {
    uint64_t sequence = 0;  // one more at each publish
    RunState state = RunState::Waiting;
    std::string endedBy;      // when Ended: "key", "signal SIGTERM", "preset ...", "disk space", "error N: ..."
    std::string configPath;
    std::string version;
    int64_t startedMs = 0;    // wall clock of the program's start, ms since 1970 UTC
    int64_t publishedMs = 0;  // wall clock of this snapshot
    double acquisitionS = 0;  // time acquiring over the run's periods, host clock
    // The preset that will end the run, if any: its text and how far it is (0..1).
    std::string preset;
    double presetProgress = 0;
    int plotBoard = 0;
    int plotGroup = 0;
    std::vector<BoardStatus> boards;
    std::vector<FileStatus> files;
    DiskStatus disk;
};

}  // namespace tessary::monitor

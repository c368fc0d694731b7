// The run's summary: printed at the end of every run that reached the run
// loop, and written as JSON beside the output files (or in the per-user
// folder when none is on), so that an unattended run leaves a record of how
// it ended, what each board delivered, and every file with its size and
// CRC-32C for checking copies later.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "BoardTotals.h"
#include "DaqConfig.h"
#include "OutputFiles.h"

namespace tessary {

struct RunSummary {
    std::string version;
    std::string configPath;
    int64_t startedMs = 0;  // wall clock, ms since 1970 UTC
    int64_t stoppedMs = 0;
    std::string endedBy;    // "key", "signal SIGTERM", "preset ...", "disk space", or "error N: message"
    int presetBoard = -1;   // the board that reached a live-time or counts preset

    // When the acquisition ran: from each start to its stop (wall clock, ms
    // since 1970 UTC).
    struct Period {
        int64_t startedMs = 0;
        int64_t stoppedMs = 0;
    };
    std::vector<Period> periods;

    struct Board {
        std::string model;
        std::string connection;
        BoardTotals totals;
        BoardTimes times;
        std::vector<WrittenFile> files;
    };
    std::vector<Board> boards;
};

// How the configuration's OPEN line reached the board, in words.
std::string ConnectionText(const BoardSettings& board);

inline constexpr char kSummarySuffix[] = "_summary.json";

// The summary's file: <OUTFILE_NAME>_summary.json in OUTFILE_PATH when an
// output file is on, else in the per-user folder.
std::string SummaryPath(const DaqConfig& config, const std::string& userFolder);

// The JSON text; file names relative to the folder of `summaryPath` when
// they lie in it.
std::string SummaryJson(const RunSummary& summary, const std::string& summaryPath);

// Writes `text` under another name and renames it over `path`, so that the
// file is always whole. False with `error` set when it could not.
bool WriteSummaryFile(const std::string& path, const std::string& text, std::string& error);

// The short summary for the console.
void PrintSummary(std::FILE* out, const RunSummary& summary);

}  // namespace tessary

// The statistics block of a board: rates over the interval since the last
// snapshot (or the last start or reset), live and dead time from the board's
// counters, and the per-channel table of the plotted group.
#pragma once

#include <cstdint>
#include <cstdio>

#include "BoardCounters.h"
#include "DaqConfig.h"
#include "MonitorStatus.h"
#include "PlotSelection.h"

namespace tessary {

// The board's time counters as read for one print, in units of 65536 x 8 ns.
struct TimeCounters {
    uint32_t dead = 0;
    uint32_t total = 0;
};

// The rates and the channel table of board `board` (-1: the plotted board)
// from the two records and the counters; "No data...\n" alone when no byte
// arrived since the snapshot. The times are measured from the board's own
// counters at the last start or reset, and the table shows the plotted
// group's channels with the board's own enable mask: N/A for a channel it
// does not enable or does not have. A rate that divides by a zero time
// prints "inf" or "nan" in its field.
void FormatStatistics(std::FILE* out, const BoardCounters& current, const BoardCounters& previous,
                      const DaqConfig& config, TimeCounters counters, int board = -1);

// The figures FormatStatistics prints, for every channel the board has
// (the monitor's viewers pick their own group), and their printing.
monitor::StatisticsFigures ComputeStatistics(const BoardCounters& current, const BoardCounters& previous,
                                             const DaqConfig& config, TimeCounters counters, int board = -1);
void PrintFigures(std::FILE* out, const monitor::StatisticsFigures& figures, const DaqConfig& config,
                  int board = -1);

// FormatStatistics with the counters read from the board (failures ignored:
// the values are then 0); the figures printed.
monitor::StatisticsFigures PrintStatistics(std::FILE* out, int board, int32_t handle, const BoardCounters& current,
                     const BoardCounters& previous, const DaqConfig& config);

// The whole block of board `board`: its heading, the real time since the
// last start or reset (`nowMs` - resetTimeMs), the statistics, then the
// snapshot of the current record into the previous one; the figures printed.
monitor::StatisticsFigures PrintStatisticsBlock(std::FILE* out, int board, int32_t handle, int64_t nowMs, BoardCounters& current,
                          BoardCounters& previous, const DaqConfig& config);

}  // namespace tessary

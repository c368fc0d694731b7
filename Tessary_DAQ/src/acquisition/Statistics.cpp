#include "Statistics.h"

#include <algorithm>
#include <cmath>

#include "DrelmTessaryLib.h"
#include "PlotSelection.h"

namespace tessary {
namespace {

constexpr int kWidth = 7;
constexpr double kUnitSeconds = 8 * 65.536 / 1e6;  // one counter unit: 524.288 us
// Bytes per ns to megabytes (10^6) per second.
constexpr double kBytesPerNsToMBps = 1000.0;

// A number in its field; an infinite or undefined rate (a division by a
// zero time) reads "inf" or "nan" in the same field, never "-nan".
void Number(std::FILE* out, int precision, double value) {
    if (std::isnan(value)) {
        std::fprintf(out, "%*s", kWidth, "nan");
    } else if (std::isinf(value)) {
        std::fprintf(out, "%*s", kWidth, value > 0 ? "inf" : "-inf");
    } else {
        std::fprintf(out, "%*.*f", kWidth, precision, value);
    }
}

void Line(std::FILE* out, const char* label, int precision, double value, const char* unit) {
    std::fputs(label, out);
    Number(out, precision, value);
    std::fputs(unit, out);
}

}  // namespace

monitor::StatisticsFigures ComputeStatistics(const BoardCounters& cur, const BoardCounters& prev,
                                             const DaqConfig& config, TimeCounters counters, int board) {
    monitor::StatisticsFigures f;
    f.noData = cur.readoutBytes == prev.readoutBytes;
    if (f.noData) return f;
    const double t = static_cast<double>(cur.lastTimestamp - prev.lastTimestamp) * 8.0;
    if (board < 0 || board >= config.boardCount) board = PlottedBoard(config);
    const uint32_t totalDelta = counters.total - config.totalTimeAtReset[board];
    // Never more dead than total time: a live time that wrapped round would
    // print as weeks.
    const uint32_t deadDelta = std::min(counters.dead - config.deadTimeAtReset[board], totalDelta);
    f.liveTimeS = static_cast<uint32_t>(totalDelta - deadDelta) * kUnitSeconds;
    f.deadTimePercent = deadDelta * 100.0 / totalDelta;
    f.throughputMBps = static_cast<uint32_t>(cur.readoutBytes - prev.readoutBytes) / t * kBytesPerNsToMBps;
    f.detectedKHz = static_cast<double>(cur.triggerCount - prev.triggerCount) * 1e6 / t;
    f.processedKHz = static_cast<uint32_t>(cur.eventsProcessed - prev.eventsProcessed) * 1e6 / t;
    f.pileUpKHz = static_cast<uint32_t>(cur.pileUpEvents - prev.pileUpEvents) * 1e6 / t;

    // Every channel the board enables, so that a viewer may pick any group.
    const BoardSettings& settings = config.boards[board];
    const int channels = settings.channelCount > 0 ? settings.channelCount : kMaxChannels;
    const uint32_t events = cur.eventsWithoutPileUp - prev.eventsWithoutPileUp;
    for (int ch = 0; ch < channels && ch < kMaxChannels; ++ch) {
        monitor::ChannelFigures& c = f.channels[ch];
        c.enabled = settings.groupEnableMask[ch / kChannelsPerGroup] >> (ch % kChannelsPerGroup) & 1;
        if (!c.enabled) continue;
        const uint32_t hits = cur.channelHits[ch] - prev.channelHits[ch];
        const uint32_t saturated = cur.channelSaturated[ch] - prev.channelSaturated[ch];
        c.saturatedPercent = hits == 0 ? 0.0 : saturated * 100.0 / hits;
        c.suppressedPercent = events == 0 ? 0.0 : (1.0 - static_cast<double>(hits) / events) * 100.0;
        c.ocrKcps = (static_cast<double>(hits) - static_cast<double>(saturated)) * 1e6 / t;
        c.ocrWithSaturatedKcps = static_cast<double>(hits) * 1e6 / t;
    }
    return f;
}

void PrintFigures(std::FILE* out, const monitor::StatisticsFigures& f, const DaqConfig& config, int board) {
    if (f.noData) {
        std::fputs("No data...\n", out);
        return;
    }
    if (board < 0 || board >= config.boardCount) board = PlottedBoard(config);
    const int group = EffectiveGroup(config);
    const BoardSettings& settings = config.boards[board];
    const bool hasGroup = settings.channelCount <= 0 || group < settings.channelCount / kChannelsPerGroup;

    Line(out, "Live Time              : ", 2, f.liveTimeS, " s\n");
    Line(out, "Dead Time              : ", 2, f.deadTimePercent, " %\n");
    Line(out, "Throughput             : ", 3, f.throughputMBps, " MB/s\n");
    Line(out, "Detected trigger rate  : ", 3, f.detectedKHz, " kHz\n");
    Line(out, "Processed trigger rate : ", 3, f.processedKHz, " kHz\n");
    Line(out, "Pile-up Rate           : ", 3, f.pileUpKHz, " kHz\n");

    std::fputs("Channel index          : ", out);
    for (int i = 0; i < kChannelsPerGroup; ++i) std::fprintf(out, "%*d ", kWidth, kChannelsPerGroup * group + i);
    std::fputs("\n", out);

    struct Row {
        const char* label;
        int precision;
        const char* unit;
        double monitor::ChannelFigures::*value;
    };
    const Row rows[] = {{"Saturated(SAT)         : ", 2, " %\n", &monitor::ChannelFigures::saturatedPercent},
                        {"Suppressed             : ", 2, " %\n", &monitor::ChannelFigures::suppressedPercent},
                        {"OCR                    : ", 3, " kcps\n", &monitor::ChannelFigures::ocrKcps},
                        {"OCR(incl. SAT)         : ", 3, " kcps\n", &monitor::ChannelFigures::ocrWithSaturatedKcps}};
    for (const Row& row : rows) {
        std::fputs(row.label, out);
        for (int i = 0; i < kChannelsPerGroup; ++i) {
            const int ch = kChannelsPerGroup * group + i;
            if (!hasGroup || ch >= kMaxChannels || !f.channels[ch].enabled) {
                std::fputs("    N/A ", out);
                continue;
            }
            Number(out, row.precision, f.channels[ch].*row.value);
            std::fputc(' ', out);
        }
        std::fputs(row.unit, out);
    }
}

void FormatStatistics(std::FILE* out, const BoardCounters& cur, const BoardCounters& prev, const DaqConfig& config,
                      TimeCounters counters, int board) {
    PrintFigures(out, ComputeStatistics(cur, prev, config, counters, board), config, board);
}

monitor::StatisticsFigures PrintStatistics(std::FILE* out, int board, int32_t handle, const BoardCounters& current,
                                           const BoardCounters& previous, const DaqConfig& config) {
    TimeCounters counters;
    DRELM_TSY_GetDeadTime(handle, &counters.dead);
    DRELM_TSY_GetTotalTime(handle, &counters.total);
    const monitor::StatisticsFigures figures = ComputeStatistics(current, previous, config, counters, board);
    PrintFigures(out, figures, config, board);
    return figures;
}

monitor::StatisticsFigures PrintStatisticsBlock(std::FILE* out, int board, int32_t handle, int64_t nowMs,
                                                BoardCounters& current, BoardCounters& previous,
                                                const DaqConfig& config) {
    std::fputs("==========================================\n", out);
    std::fprintf(out, "Board %d%s", board, board == config.plotBoard ? "(plotted)\n" : "\n");
    const double realTime = static_cast<float>(nowMs - config.resetTimeMs) / 1000.0f;
    Line(out, "Real time              : ", 2, realTime, " s\n");
    monitor::StatisticsFigures figures = PrintStatistics(out, board, handle, current, previous, config);
    figures.realTimeS = realTime;
    TakeSnapshot(current, previous);
    return figures;
}

}  // namespace tessary

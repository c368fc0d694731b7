#include "Statistics.h"

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

void FormatStatistics(std::FILE* out, const BoardCounters& cur, const BoardCounters& prev, const DaqConfig& config,
                      TimeCounters counters, int board) {
    if (cur.readoutBytes == prev.readoutBytes) {
        std::fputs("No data...\n", out);
        return;
    }
    const double t = static_cast<double>(cur.lastTimestamp - prev.lastTimestamp) * 8.0;
    if (board < 0 || board >= config.boardCount) board = PlottedBoard(config);
    const int group = EffectiveGroup(config);
    const BoardSettings& settings = config.boards[board];
    const bool hasGroup = settings.channelCount <= 0 || group < settings.channelCount / kChannelsPerGroup;
    const uint8_t mask = hasGroup ? settings.groupEnableMask[group] : 0;

    const uint32_t deadDelta = counters.dead - config.deadTimeAtReset[board];
    const uint32_t totalDelta = counters.total - config.totalTimeAtReset[board];
    Line(out, "Live Time              : ", 2, static_cast<uint32_t>(totalDelta - deadDelta) * kUnitSeconds, " s\n");
    Line(out, "Dead Time              : ", 2, deadDelta * 100.0 / totalDelta, " %\n");
    Line(out, "Throughput             : ", 3, static_cast<uint32_t>(cur.readoutBytes - prev.readoutBytes) / t * kBytesPerNsToMBps,
         " MB/s\n");
    Line(out, "Detected trigger rate  : ", 3, static_cast<double>(cur.triggerCount - prev.triggerCount) * 1e6 / t,
         " kHz\n");
    Line(out, "Processed trigger rate : ", 3,
         static_cast<uint32_t>(cur.eventsProcessed - prev.eventsProcessed) * 1e6 / t, " kHz\n");
    Line(out, "Pile-up Rate           : ", 3, static_cast<uint32_t>(cur.pileUpEvents - prev.pileUpEvents) * 1e6 / t,
         " kHz\n");

    std::fputs("Channel index          : ", out);
    for (int i = 0; i < kChannelsPerGroup; ++i) std::fprintf(out, "%*d ", kWidth, kChannelsPerGroup * group + i);
    std::fputs("\n", out);

    struct Row {
        const char* label;
        int precision;
        const char* unit;
    };
    const Row rows[] = {{"Saturated(SAT)         : ", 2, " %\n"},
                        {"Suppressed             : ", 2, " %\n"},
                        {"OCR                    : ", 3, " kcps\n"},
                        {"OCR(incl. SAT)         : ", 3, " kcps\n"}};
    const uint32_t events = cur.eventsWithoutPileUp - prev.eventsWithoutPileUp;
    for (int r = 0; r < 4; ++r) {
        std::fputs(rows[r].label, out);
        for (int i = 0; i < kChannelsPerGroup; ++i) {
            if (!(mask >> i & 1)) {
                std::fputs("    N/A ", out);
                continue;
            }
            const int ch = kChannelsPerGroup * group + i;
            const uint32_t hits = cur.channelHits[ch] - prev.channelHits[ch];
            const uint32_t saturated = cur.channelSaturated[ch] - prev.channelSaturated[ch];
            double value = 0;
            switch (r) {
                case 0: value = hits == 0 ? 0.0 : saturated * 100.0 / hits; break;
                case 1: value = events == 0 ? 0.0 : (1.0 - static_cast<double>(hits) / events) * 100.0; break;
                case 2: value = (static_cast<double>(hits) - static_cast<double>(saturated)) * 1e6 / t; break;
                default: value = static_cast<double>(hits) * 1e6 / t; break;
            }
            Number(out, rows[r].precision, value);
            std::fputc(' ', out);
        }
        std::fputs(rows[r].unit, out);
    }
}

void PrintStatistics(std::FILE* out, int board, int32_t handle, const BoardCounters& current,
                     const BoardCounters& previous, const DaqConfig& config) {
    TimeCounters counters;
    DRELM_TSY_GetDeadTime(handle, &counters.dead);
    DRELM_TSY_GetTotalTime(handle, &counters.total);
    FormatStatistics(out, current, previous, config, counters, board);
}

void PrintStatisticsBlock(std::FILE* out, int board, int32_t handle, int64_t nowMs, BoardCounters& current,
                          BoardCounters& previous, const DaqConfig& config) {
    std::fputs("==========================================\n", out);
    std::fprintf(out, "Board %d%s", board, board == config.plotBoard ? "(plotted)\n" : "\n");
    Line(out, "Real time              : ", 2, static_cast<float>(nowMs - config.resetTimeMs) / 1000.0f, " s\n");
    PrintStatistics(out, board, handle, current, previous, config);
    TakeSnapshot(current, previous);
}

}  // namespace tessary

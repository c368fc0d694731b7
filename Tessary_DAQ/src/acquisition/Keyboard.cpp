#include "Keyboard.h"

#include "DrelmTessaryLib.h"
#include "PlotSelection.h"

namespace tessary {
namespace {

constexpr uint32_t kEntryErrorPauseMs = 2000;

const char kHelp[] =
    "\nBindkey help\n"
    "[p]          Plot one event\n"
    "[q]          Quit\n"
    "[r]          Reset Counters\n"
    "[s]          Start/Stop acquisition\n"
    "[t]          Send a software trigger (single shot)\n"
    "[T]          Send a software trigger (continuous)\n"
    "[c]          Plot: enter a channel ID (0/63). The corresponding channel will be plotted alone\n"
    "[0-7]        Plot: include/exclude group channels in the plot (if enabled)\n"
    "[8]/[9]      Plot: move to the previous/next channel group\n"
    "[+]/[-]      Plot: move to the next/previous board\n"
    "[space]  This help\n\n"
    "Press a key to continue\n";

bool IsDigit(int key) { return key >= '0' && key <= '9'; }

// Both records of every board cleared, the time baselines read again.
void ResetAllCounters(const int32_t* handles, DaqConfig& config, BoardCounters* current, BoardCounters* previous) {
    for (int b = 0; b < config.boardCount; ++b) {
        ResetCounters(current[b]);
        ResetCounters(previous[b]);
        // Total before dead (the statistics read dead before total): the dead
        // time counted between two readings then lies within the total time
        // counted between them, however long a reading is delayed.
        DRELM_TSY_GetTotalTime(handles[b], &config.totalTimeAtReset[b]);
        DRELM_TSY_GetDeadTime(handles[b], &config.deadTimeAtReset[b]);
    }
}

void StartOrStop(KeyboardIo& io, const int32_t* handles, DaqConfig& config, BoardCounters* current,
                 BoardCounters* previous) {
    config.resetTimeMs = io.nowMs();
    if (config.acquisitionRunning) {
        for (int b = 0; b < config.boardCount; ++b) DRELM_TSY_SWStopAcquisition(handles[b]);
        std::fputs("Acquisition stopped\n", io.out);
        config.acquisitionRunning = 0;
        return;
    }
    for (int b = 0; b < config.boardCount; ++b) DRELM_TSY_SWStartAcquisition(handles[b]);
    std::fputs("Acquisition started\n", io.out);
    config.acquisitionRunning = 1;
    ResetAllCounters(handles, config, current, previous);
}

// Two digits select one channel of the plotted board to be plotted alone;
// a channel the board does not have leaves the selection as it was.
void ChannelEntry(KeyboardIo& io, DaqConfig& config) {
    const int channels = PlottedGroups(config) * kChannelsPerGroup;
    std::fprintf(io.out, "Select a channel index between 00 and %02d (enter two digits): ", channels - 1);
    std::fflush(io.out);
    const int tens = io.keys.ReadKey();
    const int units = IsDigit(tens) ? io.keys.ReadKey() : -1;
    if (!IsDigit(tens) || !IsDigit(units)) {
        std::fputs("Please enter digits only\n", io.out);
    } else if (const int channel = (tens - '0') * 10 + (units - '0'); channel < channels) {
        config.plotGroup = static_cast<uint16_t>(channel / kChannelsPerGroup);
        config.plotChannelMask = static_cast<uint8_t>(1u << channel % kChannelsPerGroup);
        return;
    } else {
        std::fprintf(io.out, "\n Not a valid channel index. Please enter a number between 0 and %d\n", channels - 1);
    }
    std::fflush(io.out);
    io.sleepMs(kEntryErrorPauseMs);
}

}  // namespace

void CheckKeyboardCommand(KeyboardIo& io, const int32_t* handles, DaqConfig& config, BoardCounters* current,
                          BoardCounters* previous) {
    if (!io.keys.KeyWaiting()) return;
    const int key = io.keys.ReadKey();
    const int groups = PlottedGroups(config);
    switch (key) {
        case ' ':
            std::fputs(kHelp, io.out);
            std::fflush(io.out);
            io.keys.ReadKey();  // only leaves the help: not acted upon
            break;
        case 'p': config.plotRequested = 1; break;
        case 'q': config.quitRequested = 1; break;
        case 'r':
            ResetAllCounters(handles, config, current, previous);
            config.resetTimeMs = io.nowMs();
            break;
        case 's': StartOrStop(io, handles, config, current, previous); break;
        case 't':
            if (config.continuousTrigger) break;
            for (int b = 0; b < config.boardCount; ++b) DRELM_TSY_SendSWtrigger(handles[b]);
            std::fputs("Single Software Trigger issued\n", io.out);
            break;
        case 'T':
            if (config.boardCount > 0) config.continuousTrigger = !config.continuousTrigger;
            break;
        case 'c': ChannelEntry(io, config); break;
        case '8': config.plotGroup = static_cast<uint16_t>(config.plotGroup == 0 ? groups - 1 : config.plotGroup - 1); break;
        case '9': config.plotGroup = static_cast<uint16_t>(config.plotGroup >= groups - 1 ? 0 : config.plotGroup + 1); break;
        case '+':
            if (config.boardCount <= 0) break;
            config.plotBoard = static_cast<uint16_t>(config.plotBoard >= config.boardCount - 1 ? 0 : config.plotBoard + 1);
            break;
        case '-':
            if (config.boardCount <= 0) break;
            config.plotBoard = static_cast<uint16_t>(config.plotBoard == 0 ? config.boardCount - 1 : config.plotBoard - 1);
            break;
        default:
            if (key >= '0' && key <= '7') config.plotChannelMask = static_cast<uint8_t>(config.plotChannelMask ^ (1u << (key - '0')));
            break;  // any other key, an escape sequence or the end of input: nothing
    }
    std::fflush(io.out);
}

}  // namespace tessary

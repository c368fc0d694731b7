// Stop signals on Windows: the console's control events. Ctrl-C,
// Ctrl-Break, closing the console window, logging off and shutting down all
// request the orderly stop. The handler runs on a thread of its own that the
// system starts for each event.

#include "Signals.h"

#include <atomic>

#include "WindowsNames.h"

namespace tessary::platform {

namespace {

// Windows ends the process as soon as the handler of a close, logoff or
// shutdown event returns, and at the latest about 5 s after the event, so
// the handler waits this long for the program to finish its stop and exit.
constexpr DWORD kCloseWaitMs = 5000;

std::atomic<bool> stopRequested{false};
std::atomic<int> firstEvent{-1};
std::atomic<bool> installed{false};

BOOL WINAPI OnControlEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: break;
        default: return FALSE;
    }
    if (!stopRequested.exchange(true)) firstEvent.store(static_cast<int>(event));
    // Returning would end the process at once: give the stop its time; the
    // program's exit ends this thread with it.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) Sleep(kCloseWaitMs);
    return TRUE;
}

}  // namespace

void InstallStopSignals() {
    if (installed.exchange(true)) return;
    SetConsoleCtrlHandler(OnControlEvent, TRUE);
}

bool StopRequested() { return stopRequested.load(); }

const char* StopSignalName() {
    switch (firstEvent.load()) {
        case CTRL_C_EVENT: return "CTRL_C_EVENT";
        case CTRL_BREAK_EVENT: return "CTRL_BREAK_EVENT";
        case CTRL_CLOSE_EVENT: return "CTRL_CLOSE_EVENT";
        case CTRL_LOGOFF_EVENT: return "CTRL_LOGOFF_EVENT";
        case CTRL_SHUTDOWN_EVENT: return "CTRL_SHUTDOWN_EVENT";
        default: return stopRequested.load() ? "a stop signal" : nullptr;
    }
}

// No descriptor: Windows cannot wait on one together with a console, so
// waits here look at StopRequested() every few milliseconds instead.
int StopSignalFd() { return -1; }

}  // namespace tessary::platform


// Stop signals: Ctrl-C, a kill and a closed terminal ask the program to
// stop instead of killing it, so that an acquisition under way is ended
// and its files are closed properly. One implementation file per
// operating system.
#pragma once

namespace tessary::platform {

// Makes SIGINT, SIGTERM and SIGHUP set the stop flag instead of ending the
// process. The handler only sets the flag (and wakes waits, see below): it
// never exits and is never reset, so a second Ctrl-C during shutdown does
// not cut the shutdown short. Interrupted system calls are restarted where
// the system allows, so other modules' reads and writes see no EINTR
// because of these signals. SIGPIPE is left as it is. Calling it again is
// harmless. On Windows the console's Ctrl-C, Ctrl-Break, close, logoff and
// shutdown events do the same; for the last three the system ends the
// process a few seconds later, whatever the program is doing.
void InstallStopSignals();

// True once any of the stop signals has arrived; stays true.
bool StopRequested();

// The name of the first stop signal that arrived ("SIGTERM"; on Windows the
// event's, "CTRL_C_EVENT"), or nullptr while none has.
const char* StopSignalName();

// A descriptor that becomes readable when the first stop signal arrives
// and stays readable from then on (nothing ever drains it), so that a wait
// in poll() can include it and end on a stop whatever thread the signal
// was delivered to. -1 before InstallStopSignals (or if it could not be
// made). Not inherited by child processes. Always -1 on Windows, where
// waits look at StopRequested() instead.
int StopSignalFd();

}  // namespace tessary::platform

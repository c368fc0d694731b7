// The terminal behind a descriptor, for text rewritten in place (progress
// lines). One implementation file per operating system.
#pragma once

#include <cstddef>

namespace tessary::platform {

// The descriptor of standard output.
inline constexpr int kStandardOutputFd = 1;

// True when the descriptor is a terminal (on Windows a console that takes
// cursor movements and erasures as escape sequences).
bool IsTerminal(int fd);

// A new descriptor for the same terminal, not inherited by child processes,
// so that it keeps reaching the terminal when the original is redirected.
// -1 on failure.
int DuplicateTerminal(int fd);

// The terminal's width in columns, or 0 when it cannot say.
int TerminalWidth(int fd);

// Writes all the bytes, retrying short writes and interruptions. False when
// the terminal takes nothing more (it is gone); the rest is dropped.
bool WriteTerminal(int fd, const char* data, std::size_t size);

// Closes a descriptor from DuplicateTerminal.
void CloseTerminal(int fd);

}  // namespace tessary::platform

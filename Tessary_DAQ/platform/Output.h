// Standard output buffering. One implementation file per operating system.
#pragma once

namespace tessary::platform {

// Makes standard output line-buffered whatever it is connected to, so that
// each message appears as soon as its line is printed also through a pipe
// or into a file (as with "| tee run.log"); by default only a terminal gets
// that. Call it first thing in main, before anything is printed: the
// buffering of a stream can only be chosen before its first output.
// std::cout follows, as long as it stays synchronised with the C streams
// (the default). Standard error stays unbuffered.
void ConfigureOutput();

// Writes out whatever standard output and standard error still hold, e.g.
// a prompt without a line feed, or before the process ends abruptly.
void FlushOutput();

}  // namespace tessary::platform

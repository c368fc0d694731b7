// A stream that writes through to another one and hands a copy of every
// byte to a sink: the console's text also reaches the monitor's message
// log. One implementation file per operating system.
#pragma once

#include <cstddef>
#include <cstdio>

namespace tessary::platform {

using TeeSink = void (*)(void* context, const char* data, std::size_t size);

// A stream whose writes go to `out` (flushed with each of the stream's own
// flushes, so that the console shows what the program flushes when it does)
// and to `sink`; null when it cannot be made.
std::FILE* OpenTee(std::FILE* out, TeeSink sink, void* context);

// Flushes and closes a stream from OpenTee, leaving `out` open. Every byte
// written to it has reached `out` and the sink when it returns, so the
// sink's context may go away then.
void CloseTee(std::FILE* tee);

}  // namespace tessary::platform

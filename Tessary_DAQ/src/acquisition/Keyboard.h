// The operator's keys while the program runs: start and stop, software
// triggers, counter reset, plot requests and the plot selection, help, quit.
#pragma once

#include <cstdint>
#include <cstdio>

#include "BoardCounters.h"
#include "Console.h"
#include "DaqConfig.h"

namespace tessary {

// What the handler needs from its surroundings, so that it can run without
// a terminal: the keys, where messages go, the clock and the pause.
struct KeyboardIo {
    platform::KeyInput& keys;
    std::FILE* out;
    int64_t (*nowMs)();
    void (*sleepMs)(uint32_t);
};

// Takes at most one key, if one is waiting, and acts on it.
void CheckKeyboardCommand(KeyboardIo& io, const int32_t* handles, DaqConfig& config, BoardCounters* current,
                          BoardCounters* previous);

}  // namespace tessary

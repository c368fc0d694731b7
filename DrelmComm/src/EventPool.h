// Events drawn once and repeated, for measuring how fast a host takes data:
// drawing amplitudes costs the emulator far more than the host's own work on
// them, and on real boards it costs the host nothing. The pool holds N
// events, drawn as their turn first comes; event n (counted from the reset)
// then repeats pool slot n mod N: its blocks (amplitudes and block headers,
// sliding-scale step included) and the blocks present unchanged, its other
// header words (size, time stamp, trigger index, counters, status) those of
// event n. A run start or reset draws anew; register changes during a run
// reach only slots not yet drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "EventBuilder.h"

namespace drelm::emu {

class EventPool {
public:
    static constexpr uint32_t kMaxEvents = 65536;

    explicit EventPool(uint32_t events) : events_(events < kMaxEvents ? events : kMaxEvents) {}

    bool On() const { return events_ > 0; }
    void Clear();

    // Writes the event of `trigger` into `out`, as EventBuilder::Build does.
    uint32_t Build(const EventSettings& settings, const BoardTraits& board, const SpectrumSource& source,
                   RandomStream& random, const TriggerInfo& trigger, uint32_t* out);

private:
    uint32_t events_;
    std::vector<uint32_t> words_;    // events_ x kMaxEventWords, taken at the first draw
    std::vector<uint8_t> size_;      // words of each pool event; 0: not drawn yet
    std::vector<uint8_t> pileUp_;
};

}  // namespace drelm::emu

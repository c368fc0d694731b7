// The board's acquisition: the run state as the status register shows it
// (following the run bit after a latency, on and off), the software
// triggers it receives and its time counters. Event generation plugs in
// here: a trigger arriving while running is where an event will be made.
#pragma once

#include <cstdint>

namespace drelm::emu {

class Acquisition {
public:
    explicit Acquisition(uint64_t runLatencyNs) : latencyNs_(runLatencyNs) {}

    // The run bit of the acquisition control register, as written at `now`.
    void SetRunBit(bool run, uint64_t now);
    // Whether the status register shows the board running at `now`.
    bool Running(uint64_t now) const;

    void SoftwareTrigger(uint64_t now);
    uint64_t SoftwareTriggers() const { return softwareTriggers_; }

    // Total time: emulated time spent running since the last start, in
    // units of 65536 ticks of 8 ns; it holds its value while stopped.
    // Dead time: none is emulated yet, so 0.
    uint32_t TotalTimeUnits(uint64_t now) const;
    uint32_t DeadTimeUnits(uint64_t) const { return 0; }

    static constexpr uint64_t kTimeUnitNs = 65536ull * 8;

private:
    uint64_t RunningSinceChangeNs(uint64_t now) const;

    uint64_t latencyNs_;
    bool runBit_ = false;
    bool runningBeforeChange_ = false;
    uint64_t changeNs_ = 0;
    uint64_t accumulatedNs_ = 0;  // running time of the current run before changeNs_
    uint64_t softwareTriggers_ = 0;
};

}  // namespace drelm::emu

// The board's acquisition: the run state as the status register shows it,
// the software triggers it receives and its time counters. Event generation
// plugs in here: a trigger arriving while running is where an event will be
// made.
//
// The running status is the run bit delayed by the run latency: it shows at
// time t what the run bit was at t - latency, for starts and stops alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>

namespace drelm::emu {

class Acquisition {
public:
    explicit Acquisition(uint64_t runLatencyNs) : latencyNs_(runLatencyNs) {}

    // The run bit of the acquisition control register, as written at `now`.
    // Times passed to this class never decrease.
    void SetRunBit(bool run, uint64_t now);
    // Whether the status register shows the board running at `now`.
    bool Running(uint64_t now);

    void SoftwareTrigger(uint64_t now);
    uint64_t SoftwareTriggers() const { return softwareTriggers_; }

    // Total time: emulated time spent running since the status last showed
    // a start, in units of 65536 ticks of 8 ns; it holds while stopped.
    // Dead time: none is emulated yet, so 0.
    uint32_t TotalTimeUnits(uint64_t now);
    uint32_t DeadTimeUnits(uint64_t) const { return 0; }

    static constexpr uint64_t kTimeUnitNs = 65536ull * 8;
    // Run bit changes still on their way to the status. A flood of toggles
    // within one latency beyond this brings the oldest forward.
    static constexpr std::size_t kMaxPendingChanges = 4096;

private:
    struct Change {
        uint64_t at;  // when the status shows it
        bool running;
    };
    void ApplyUpTo(uint64_t now);
    void ApplyOldest();

    uint64_t latencyNs_;
    bool runBit_ = false;
    std::deque<Change> pending_;
    bool running_ = false;      // the status as of sinceNs_
    uint64_t sinceNs_ = 0;      // when the status last changed
    uint64_t runAccumNs_ = 0;   // running time of the current run up to sinceNs_
    uint64_t softwareTriggers_ = 0;
};

}  // namespace drelm::emu

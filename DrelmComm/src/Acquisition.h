// The board's acquisition: the run state as the status register shows it,
// the software triggers it receives and its total-time counter. Events are
// made by EventStream, which Board drives through the status changes below
// one by one, so that it generates with the state each interval had.
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

    // Status changes still pending: the next one due at or before `now`.
    bool ChangeDue(uint64_t now, uint64_t& at) const;
    void ApplyNextChange() { ApplyOldest(); }
    bool RunBit() const { return runBit_; }
    // The status as of the last change applied (no time passes).
    bool RunningNow() const { return running_; }
    // Starts shown so far, and when the last one was shown.
    uint64_t Starts() const { return starts_; }
    uint64_t RunStartNs() const { return runStartNs_; }

    void SoftwareTrigger(uint64_t now);
    uint64_t SoftwareTriggers() const { return softwareTriggers_; }

    // Total time: emulated time spent running since the status last showed
    // a start, in units of 65536 ticks of 8 ns; it holds while stopped.
    uint32_t TotalTimeUnits(uint64_t now);

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
    uint64_t starts_ = 0;
    uint64_t runStartNs_ = 0;
};

}  // namespace drelm::emu

// The board's acquisition: the run state as the status register shows it,
// the software triggers it receives and its total-time counter. Events are
// made by EventStream, which Board drives through the status changes below
// one by one, so that it generates with the state each interval had.
//
// The running status is the run bit delayed by the run latency: it shows at
// time t what the run bit was at t - latency, for starts and stops alike.
// In start modes 1 to 3 a set run bit only arms the board: the start takes
// its course (with the latency) once the start signal comes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace drelm::emu {

class Acquisition {
public:
    // `resetNs`: when the board came out of its last reset (or power-up),
    // from which the total-time counter runs.
    Acquisition(uint64_t runLatencyNs, uint64_t resetNs) : latencyNs_(runLatencyNs), resetNs_(resetNs) {}

    // The run bit of the acquisition control register, as written at `now`.
    // With `waitForSignal` a set run bit waits for the start signal, which
    // comes `signalAfterNs` later when given, else only by StartSignal.
    // Times passed to this class never decrease.
    void SetRunBit(bool run, uint64_t now, bool waitForSignal = false,
                   std::optional<uint64_t> signalAfterNs = std::nullopt);
    // The start signal at `now`; ignored unless the board waits for it.
    void StartSignal(uint64_t now);
    bool WaitingForSignal() const { return armed_; }
    // Whether the status register shows the board running at `now`.
    bool Running(uint64_t now);

    // Status changes still pending: the next one due at or before `now`.
    bool ChangeDue(uint64_t now, uint64_t& at);
    void ApplyNextChange() { ApplyOldest(); }
    bool RunBit() const { return runBit_; }
    // The status as of the last change applied (no time passes).
    bool RunningNow() const { return running_; }
    // Starts shown so far, and when the last one was shown.
    uint64_t Starts() const { return starts_; }
    uint64_t RunStartNs() const { return runStartNs_; }

    void SoftwareTrigger(uint64_t now);
    uint64_t SoftwareTriggers() const { return softwareTriggers_; }

    // Total time: emulated time since the board's reset, in units of 65536
    // ticks of 8 ns, running or not; starts do not clear it, so a host
    // measures a run from the values it read at the start.
    uint32_t TotalTimeUnits(uint64_t now) const;

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
    void Queue(bool run, uint64_t now);
    // A start signal due by `now` sets the armed start on its way.
    void SignalUpTo(uint64_t now);

    uint64_t latencyNs_;
    uint64_t resetNs_;
    bool runBit_ = false;
    bool armed_ = false;                  // run bit set, waiting for the start signal
    std::optional<uint64_t> signalAtNs_;  // when the start signal comes, if known
    std::deque<Change> pending_;
    bool running_ = false;      // the status as of sinceNs_
    uint64_t sinceNs_ = 0;      // when the status last changed
    uint64_t softwareTriggers_ = 0;
    uint64_t starts_ = 0;
    uint64_t runStartNs_ = 0;
};

}  // namespace drelm::emu

#include "Acquisition.h"

namespace drelm::emu {

bool Acquisition::Running(uint64_t now) const {
    return now - changeNs_ >= latencyNs_ ? runBit_ : runningBeforeChange_;
}

uint64_t Acquisition::RunningSinceChangeNs(uint64_t now) const {
    const uint64_t elapsed = now - changeNs_;
    if (elapsed >= latencyNs_) {
        // The new state took hold at changeNs_ + latency; before that the old one held.
        const uint64_t before = runningBeforeChange_ ? latencyNs_ : 0;
        return before + (runBit_ ? elapsed - latencyNs_ : 0);
    }
    return runningBeforeChange_ ? elapsed : 0;
}

void Acquisition::SetRunBit(bool run, uint64_t now) {
    if (run == runBit_) return;
    const bool runningNow = Running(now);
    const bool startingRun = run && !runningNow;
    accumulatedNs_ = startingRun ? 0 : accumulatedNs_ + RunningSinceChangeNs(now);
    runningBeforeChange_ = runningNow;
    runBit_ = run;
    changeNs_ = now;
}

void Acquisition::SoftwareTrigger(uint64_t) { ++softwareTriggers_; }

uint32_t Acquisition::TotalTimeUnits(uint64_t now) const {
    return static_cast<uint32_t>((accumulatedNs_ + RunningSinceChangeNs(now)) / kTimeUnitNs);
}

}  // namespace drelm::emu

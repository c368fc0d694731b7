#include "Acquisition.h"

namespace drelm::emu {

void Acquisition::ApplyOldest() {
    const Change change = pending_.front();
    pending_.pop_front();
    if (running_) runAccumNs_ += change.at - sinceNs_;
    if (change.running && !running_) {
        runAccumNs_ = 0;  // a new run starts its count afresh
        ++starts_;
        runStartNs_ = change.at;
    }
    running_ = change.running;
    sinceNs_ = change.at;
}

bool Acquisition::ChangeDue(uint64_t now, uint64_t& at) const {
    if (pending_.empty() || pending_.front().at > now) return false;
    at = pending_.front().at;
    return true;
}

void Acquisition::ApplyUpTo(uint64_t now) {
    while (!pending_.empty() && pending_.front().at <= now) ApplyOldest();
}

void Acquisition::SetRunBit(bool run, uint64_t now) {
    ApplyUpTo(now);
    if (run == runBit_) return;
    runBit_ = run;
    if (pending_.size() >= kMaxPendingChanges) {
        pending_.front().at = now;
        ApplyOldest();
    }
    pending_.push_back(Change{now + latencyNs_, run});
    ApplyUpTo(now);
}

bool Acquisition::Running(uint64_t now) {
    ApplyUpTo(now);
    return running_;
}

void Acquisition::SoftwareTrigger(uint64_t now) {
    ApplyUpTo(now);
    ++softwareTriggers_;
}

uint32_t Acquisition::TotalTimeUnits(uint64_t now) {
    ApplyUpTo(now);
    const uint64_t total = runAccumNs_ + (running_ ? now - sinceNs_ : 0);
    return static_cast<uint32_t>(total / kTimeUnitNs);
}

}  // namespace drelm::emu

#include "Acquisition.h"

namespace drelm::emu {

void Acquisition::ApplyOldest() {
    const Change change = pending_.front();
    pending_.pop_front();
    if (change.running && !running_) {
        ++starts_;
        runStartNs_ = change.at;
    }
    running_ = change.running;
    sinceNs_ = change.at;
}

void Acquisition::SignalUpTo(uint64_t now) {
    if (!armed_ || !signalAtNs_ || *signalAtNs_ > now) return;
    armed_ = false;
    // Every pending change came before the signal: the queue stays in order.
    Queue(true, *signalAtNs_);
    signalAtNs_.reset();
}

bool Acquisition::ChangeDue(uint64_t now, uint64_t& at) {
    SignalUpTo(now);
    if (pending_.empty() || pending_.front().at > now) return false;
    at = pending_.front().at;
    return true;
}

void Acquisition::ApplyUpTo(uint64_t now) {
    SignalUpTo(now);
    while (!pending_.empty() && pending_.front().at <= now) ApplyOldest();
}

void Acquisition::Queue(bool run, uint64_t now) {
    if (pending_.size() >= kMaxPendingChanges) {
        pending_.front().at = now;
        ApplyOldest();
    }
    pending_.push_back(Change{now + latencyNs_, run});
}

void Acquisition::SetRunBit(bool run, uint64_t now, bool waitForSignal, std::optional<uint64_t> signalAfterNs) {
    ApplyUpTo(now);
    if (run == runBit_) return;
    runBit_ = run;
    if (run && waitForSignal) {
        armed_ = true;
        signalAtNs_.reset();
        if (signalAfterNs) signalAtNs_ = now + *signalAfterNs;
    } else if (!run && armed_) {
        // Stopped before the signal came: the board never started.
        armed_ = false;
        signalAtNs_.reset();
    } else {
        Queue(run, now);
    }
    ApplyUpTo(now);
}

void Acquisition::StartSignal(uint64_t now) {
    ApplyUpTo(now);
    if (!armed_) return;
    signalAtNs_ = now;
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

uint32_t Acquisition::TotalTimeUnits(uint64_t now) const {
    return static_cast<uint32_t>((now > resetNs_ ? now - resetNs_ : 0) / kTimeUnitNs);
}

}  // namespace drelm::emu

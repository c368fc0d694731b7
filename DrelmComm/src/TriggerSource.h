// The external trigger input: pulses at random times of a fixed mean rate
// (Poisson arrivals) in emulated time. It is armed from the moment the board
// listens to it (running, input routed) and disarmed when it stops
// listening; arrivals are memoryless, so nothing is lost by disarming.
#pragma once

#include <cstdint>

#include "RandomStream.h"

namespace drelm::emu {

class TriggerSource {
public:
    TriggerSource(uint32_t rateHz, uint64_t seed) : rateHz_(rateHz), random_(seed) {}

    uint32_t rateHz() const { return rateHz_; }

    // Starts arrivals from `fromNs` if not armed already.
    void Arm(uint64_t fromNs) {
        if (armed_ || rateHz_ == 0) return;
        armed_ = true;
        nextNs_ = static_cast<double>(fromNs) + Interval();
    }
    void Disarm() { armed_ = false; }
    bool Armed() const { return armed_; }

    // The next arrival, if it is due at or before `untilNs`.
    bool Due(uint64_t untilNs) const { return armed_ && nextNs_ <= static_cast<double>(untilNs); }
    uint64_t NextNs() const { return static_cast<uint64_t>(nextNs_); }
    void Pop() { nextNs_ += Interval(); }

    // Skips every arrival up to `untilNs` without drawing them one by one;
    // returns how many there were on average. For catching up after a pause
    // far longer than the board could have handled anyway.
    uint64_t SkipTo(uint64_t untilNs) {
        if (!Due(untilNs)) return 0;
        const double span = static_cast<double>(untilNs) - nextNs_;
        const uint64_t skipped = 1 + static_cast<uint64_t>(span * rateHz_ / 1e9 + 0.5);
        nextNs_ = static_cast<double>(untilNs) + Interval();
        return skipped;
    }

private:
    double Interval() { return random_.Exponential(1e9 / rateHz_); }

    uint32_t rateHz_;
    RandomStream random_;
    bool armed_ = false;
    double nextNs_ = 0;
};

}  // namespace drelm::emu

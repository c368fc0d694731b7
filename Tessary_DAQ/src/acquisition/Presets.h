// The presets of an unattended run: real time on the host's clock, live
// time on the boards' own counters, or events accounted, over the run's
// whole acquisition (a stop pauses them). The first one reached ends the
// run as the quit key does, and says which it was.
#pragma once

#include <cstdint>
#include <string>

#include "Program.h"
#include "RunTotals.h"

namespace tessary {

class Presets {
public:
    explicit Presets(const ProgramOptions& options) : options_(options) {}

    bool Any() const { return options_.presetRealS || options_.presetLiveS || options_.presetCounts; }
    bool NeedLiveTime() const { return options_.presetLiveS.has_value(); }

    // The acquisition started or stopped at `nowMs` (monotonic).
    void Started(int64_t nowMs);
    void Stopped(int64_t nowMs);

    // True once a preset is reached, with What() and Board() telling which.
    bool Reached(const RunTotals& totals, bool acquiring, int64_t nowMs);
    const std::string& What() const { return what_; }
    // How far the run is towards the nearest of its presets, from 0 to 1,
    // with a line saying so; -1 without a preset.
    double Progress(const RunTotals& totals, bool acquiring, int64_t nowMs, std::string& text) const;
    int Board() const { return board_; }  // -1 for the real-time preset

private:
    int64_t AcquiredMs(bool acquiring, int64_t nowMs) const {
        return acquiredMs_ + (acquiring ? nowMs - acquiringSinceMs_ : 0);
    }

    ProgramOptions options_;
    int64_t acquiredMs_ = 0;        // host time of the periods of acquisition that ended
    int64_t acquiringSinceMs_ = 0;  // start of the one under way
    std::string what_;
    int board_ = -1;
};

}  // namespace tessary

#include "Presets.h"

#include <cstdio>

namespace tessary {

void Presets::Started(int64_t nowMs) { acquiringSinceMs_ = nowMs; }

void Presets::Stopped(int64_t nowMs) { acquiredMs_ += nowMs - acquiringSinceMs_; }

bool Presets::Reached(const RunTotals& totals, bool acquiring, int64_t nowMs) {
    const ProgramOptions& o = options_;
    char text[160];
    if (o.presetCounts) {
        for (int k = 0; k < totals.Boards(); ++k) {
            if (totals.Board(k).events < *o.presetCounts) continue;
            std::snprintf(text, sizeof text, "preset counts of %llu events (board %d)",
                          static_cast<unsigned long long>(*o.presetCounts), k);
            what_ = text;
            board_ = k;
            return true;
        }
    }
    const int64_t acquiredMs = acquiredMs_ + (acquiring ? nowMs - acquiringSinceMs_ : 0);
    if (o.presetRealS && static_cast<double>(acquiredMs) >= *o.presetRealS * 1000.0) {
        std::snprintf(text, sizeof text, "preset real time of %g s", *o.presetRealS);
        what_ = text;
        board_ = -1;
        return true;
    }
    if (o.presetLiveS) {
        for (int k = 0; k < totals.Boards(); ++k) {
            if (totals.BoardTimes(k).LiveS() < *o.presetLiveS) continue;
            std::snprintf(text, sizeof text, "preset live time of %g s (board %d)", *o.presetLiveS, k);
            what_ = text;
            board_ = k;
            return true;
        }
    }
    return false;
}

}  // namespace tessary

#include "Presets.h"

#include <algorithm>
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
    const int64_t acquiredMs = AcquiredMs(acquiring, nowMs);
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

double Presets::Progress(const RunTotals& totals, bool acquiring, int64_t nowMs, std::string& text) const {
    const ProgramOptions& o = options_;
    double best = -1;
    char line[160];
    auto consider = [&](double done, double goal, const char* format, int board) {
        const double fraction = goal > 0 ? std::min(1.0, done / goal) : 1.0;
        if (fraction <= best) return;
        best = fraction;
        std::snprintf(line, sizeof line, format, done, goal, board);
        text = line;
    };
    if (o.presetRealS)
        consider(static_cast<double>(AcquiredMs(acquiring, nowMs)) / 1000.0, *o.presetRealS,
                 "real time %.1f of %g s", -1);
    for (int k = 0; k < totals.Boards(); ++k) {
        if (o.presetCounts)
            consider(static_cast<double>(totals.Board(k).events), static_cast<double>(*o.presetCounts),
                     "counts %.0f of %.0f events (board %d)", k);
        if (o.presetLiveS) consider(totals.BoardTimes(k).LiveS(), *o.presetLiveS, "live time %.1f of %g s (board %d)", k);
    }
    return best;
}

}  // namespace tessary

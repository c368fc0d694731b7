#include "MessageLog.h"

#include <cstring>

#include "Clock.h"

namespace tessary::monitor {
namespace {

// The beginnings of the lines of a statistics block, its no-data note and
// the plot note.
constexpr const char* kStatisticsStarts[] = {
    "==========", "Real time ", "Live Time ",      "Dead Time ", "Throughput ",
    "Detected trigger rate", "Processed trigger rate", "Pile-up Rate", "Channel index",
    "Saturated(SAT)", "Suppressed ", "OCR ",      "OCR(incl. SAT)", "Time since reset", "No data...",
    "No readout data in board", "Last plotted event", "Trigger index ", "Event timestamp ",
};

// A block's heading: "Board 3" or "Board 0(plotted)".
bool IsBlockHeading(const std::string& line) {
    if (line.compare(0, 6, "Board ") != 0) return false;
    size_t i = 6;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
    return i > 6 && (i == line.size() || line.compare(i, std::string::npos, "(plotted)") == 0);
}

}  // namespace

bool MessageLog::IsStatisticsLine(const std::string& line) {
    if (IsBlockHeading(line)) return true;
    for (const char* start : kStatisticsStarts)
        if (line.compare(0, std::strlen(start), start) == 0) return true;
    return false;
}

void MessageLog::Write(const char* data, size_t size) {
    const int64_t now = platform::TimeNowMs();
    std::lock_guard lock(mutex_);
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n') {
            Keep(now);
        } else if (c != '\r' && partial_.size() < kMaxLineBytes) {
            partial_.push_back(c);
        }
    }
}

void MessageLog::Keep(int64_t nowMs) {
    if (!partial_.empty() && !IsStatisticsLine(partial_)) {
        Message& slot = ring_[count_ % kKept];
        slot.number = ++count_;
        slot.timeMs = nowMs;
        slot.text.assign(partial_);
    }
    partial_.clear();
}

uint64_t MessageLog::Count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

std::vector<Message> MessageLog::Messages() const {
    std::lock_guard lock(mutex_);
    std::vector<Message> kept;
    const uint64_t first = count_ > kKept ? count_ - kKept : 0;
    kept.reserve(count_ - first);
    for (uint64_t n = first; n < count_; ++n) kept.push_back(ring_[n % kKept]);
    return kept;
}

}  // namespace tessary::monitor

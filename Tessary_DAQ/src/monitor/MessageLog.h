// The last messages the program printed on the console (warnings, errors,
// starts and stops, segment changes), for the page. The console's text
// passes through here as it is written; the statistics blocks and plot
// notes, which the page shows in its own way, are left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tessary::monitor {

struct Message {
    uint64_t number = 0;  // counts every message kept since the start
    int64_t timeMs = 0;   // wall clock, ms since 1970 UTC
    std::string text;     // one line, without its new line
};

class MessageLog {
public:
    static constexpr size_t kKept = 100;         // the last ones
    static constexpr size_t kMaxLineBytes = 512; // a longer line is cut

    // Console text as written, in any pieces; lines are taken at their new line.
    void Write(const char* data, size_t size);
    // The kept messages, oldest first.
    std::vector<Message> Messages() const;
    // How many were kept since the start: it changes with every new one.
    uint64_t Count() const;

    // True for the lines of a statistics block or a plot note.
    static bool IsStatisticsLine(const std::string& line);

private:
    void Keep(int64_t nowMs);

    mutable std::mutex mutex_;
    std::string partial_;  // the line being written
    Message ring_[kKept];
    uint64_t count_ = 0;
};

}  // namespace tessary::monitor

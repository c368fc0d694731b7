// The JSON of the monitor's API: the run's status (/api/status and each
// event of /api/events) and one channel's spectrum (/api/spectrum).
// Compact, UTF-8 (bytes that are not are replaced), numbers that are NaN
// or infinite written as null.
//
// The fields are those the README's API table lists: times as ISO 8601
// UTC with milliseconds ("2026-12-08T12:00:00.123Z", null for never), a
// board's "statistics" null before its first printed block, the fields of
// a channel it does not enable null, "disk" null while unknown and its
// "seconds_to_full" null while the disk is not filling.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MessageLog.h"
#include "MonitorStatus.h"

namespace tessary::monitor {

std::string StatusJson(const RunStatus& status, const std::vector<Message>& messages);

// takenMs: when the run loop copied the counts (wall clock), 0 for never.
std::string SpectrumJson(int board, int channel, const std::vector<uint32_t>& counts, int64_t takenMs);

}  // namespace tessary::monitor

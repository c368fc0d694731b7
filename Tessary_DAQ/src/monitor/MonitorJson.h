// The JSON of the monitor's API: the run's status (/api/status and each
// event of /api/events) and one channel's spectrum (/api/spectrum).
// Compact, UTF-8 (bytes that are not are replaced), numbers that are NaN
// or infinite written as null.
//
// Status:
//   { "sequence": N,                      one more at each publish
//     "state": "waiting" | "acquiring" | "stopped" | "ended",
//     "ended_by": null | "key" | "signal SIGTERM" | "preset ..." | "disk space" | "error N: ...",
//     "config": path, "version": text,
//     "started_ms": N, "published_ms": N, ms since 1970 UTC
//     "acquisition_s": x,                 time acquiring, host clock
//     "preset": null | { "text": text, "progress": x (0..1) },
//     "plot": { "board": N, "group": N },
//     "spectrum_bins": 16384,
//     "boards": [ { "board": N, "model": text, "channel_count": N,
//         the run so far:
//         "events": N, "bytes": N, "triggers": N, "triggers_lost": N,
//         "pile_up_events": N, "saturated": N,
//         "written_bytes": { "raw": N, "list": N, "histogram": N },
//         "live_time_s": x, "dead_time_s": x,
//         the last statistics block printed (null before the first):
//         "statistics": null | { "printed_ms": N, "no_data": bool,
//             "real_time_s": x, "live_time_s": x, "dead_time_percent": x,
//             "throughput_mb_per_s": x, "detected_khz": x, "processed_khz": x,
//             "pile_up_khz": x,
//             "channels": [ one per channel of the board, by index:
//                 { "enabled": bool, then null where not enabled:
//                   "saturated_percent": x, "suppressed_percent": x,
//                   "ocr_kcps": x, "ocr_incl_saturated_kcps": x } ] } } ],
//     "files": [ { "path": text, "bytes": N } ],
//     "disk": null (not known) | { "free_bytes": N, "write_bytes_per_s": x,
//         "seconds_to_full": x | null (not filling), "low_space_warned": bool },
//     "messages": [ { "number": N, "time_ms": N, "text": line } ] oldest first }
//
// Spectrum:
//   { "board": N, "channel": N, "bins": 16384,
//     "age_ms": N | null (never copied from the run), "counts": [ N, ... ] }
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "MessageLog.h"
#include "MonitorStatus.h"

namespace tessary::monitor {

std::string StatusJson(const RunStatus& status, const std::vector<Message>& messages);

// ageMs < 0: the counts were never copied from the run.
std::string SpectrumJson(int board, int channel, const std::vector<uint32_t>& counts, int64_t ageMs);

}  // namespace tessary::monitor

// The run's figures for Prometheus: the text exposition format, version
// 0.0.4. Per board, with the labels `board` and `model`:
//   counters  tessary_events_total, tessary_readout_bytes_total,
//             tessary_triggers_total, tessary_triggers_lost_total,
//             tessary_pile_up_events_total, tessary_saturated_amplitudes_total,
//             tessary_written_bytes_total (and the label `kind`: raw, list,
//             histogram)
//   gauges    tessary_acquiring (0 or 1), tessary_live_time_seconds and
//             tessary_dead_time_ratio (0..1) over the run's periods of
//             acquisition; and from the last statistics block printed
//             (left out before the first), converted to base units:
//             tessary_throughput_bytes_per_second,
//             tessary_detected_trigger_rate_hertz,
//             tessary_processed_trigger_rate_hertz,
//             tessary_pile_up_rate_hertz
// and, without labels, tessary_output_free_bytes (left out while the free
// space is not known). NaN and infinities read NaN, +Inf and -Inf.
#pragma once

#include <string>
#include <string_view>

#include "MonitorStatus.h"

namespace tessary::monitor {

inline constexpr std::string_view kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

std::string MetricsText(const RunStatus& status);

}  // namespace tessary::monitor

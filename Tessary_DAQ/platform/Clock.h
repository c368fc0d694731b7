// Time of day and sleeping. One implementation file per operating system.
#pragma once

#include <cstdint>

namespace tessary::platform {

// Wall-clock time in milliseconds since 1970-01-01 00:00 UTC: the seconds
// times 1000 plus the milliseconds of the current second. It follows
// changes of the system clock, so it is for time stamps, not for measuring
// durations precisely.
int64_t TimeNowMs();

// Milliseconds of a clock that only moves forward, for timeouts: a change
// of the time of day does not lengthen or cut them.
int64_t MonotonicMs();

// Sleeps at least ms milliseconds. Signals do not shorten the sleep (a
// stop is seen by the caller's next StopRequested() after it).
void SleepMs(uint32_t ms);

}  // namespace tessary::platform

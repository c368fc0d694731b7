// Time of day and sleeping on Windows.

#include "Clock.h"

#include "WindowsNames.h"

namespace tessary::platform {

int64_t TimeNowMs() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    // 100-ns intervals since 1601 to milliseconds since 1970.
    return static_cast<int64_t>(ticks / 10000) - INT64_C(11644473600000);
}

int64_t MonotonicMs() {
    // The performance counter never goes back and is not tied to the time
    // of day; its rate is fixed at boot.
    static const int64_t frequency = [] {
        LARGE_INTEGER rate{};
        QueryPerformanceFrequency(&rate);
        return static_cast<int64_t>(rate.QuadPart);
    }();
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    const int64_t ticks = count.QuadPart;
    // Split so that the product cannot overflow however long the uptime.
    return ticks / frequency * 1000 + ticks % frequency * 1000 / frequency;
}

void SleepMs(uint32_t ms) {
    // Sleep may come back a tick early: sleep again for what is left.
    const int64_t until = MonotonicMs() + ms;
    for (int64_t left = ms; left > 0; left = until - MonotonicMs()) Sleep(static_cast<DWORD>(left));
}

}  // namespace tessary::platform


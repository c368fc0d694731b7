#include "EmulatorClock.h"

#include <chrono>
#include <cstdint>

namespace drelm::emu {
namespace {

const std::chrono::steady_clock::time_point g_origin = std::chrono::steady_clock::now();

}  // namespace

EmulatorClock& EmulatorClock::Instance() {
    static EmulatorClock clock;
    return clock;
}

EmulatorClock::EmulatorClock() = default;

uint64_t EmulatorClock::HostNs() const {
    const auto elapsed = std::chrono::steady_clock::now() - g_origin;
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
}

namespace {

// Emulated time stops at its end rather than wrapping back to the start.
uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

}  // namespace

uint64_t EmulatorClock::NowLocked() const { return virtual_ ? virtualNs_ : SaturatingAdd(HostNs(), offsetNs_); }

uint64_t EmulatorClock::NowNs() {
    std::lock_guard<std::mutex> hold(mutex_);
    return NowLocked();
}

void EmulatorClock::UseVirtual(bool on) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (on == virtual_) return;
    if (on) {
        virtualNs_ = NowLocked();
    } else {
        // Continue from where the virtual clock stood, never behind it.
        const uint64_t host = HostNs();
        if (host + offsetNs_ < virtualNs_) offsetNs_ = virtualNs_ - host;
    }
    virtual_ = on;
}

bool EmulatorClock::IsVirtual() {
    std::lock_guard<std::mutex> hold(mutex_);
    return virtual_;
}

void EmulatorClock::Advance(uint64_t nanoseconds) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (virtual_)
        virtualNs_ = SaturatingAdd(virtualNs_, nanoseconds);
    else
        offsetNs_ = SaturatingAdd(offsetNs_, nanoseconds);
}

}  // namespace drelm::emu

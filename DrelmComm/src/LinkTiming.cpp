#include "LinkTiming.h"

#include <chrono>
#include <thread>

#include "DrelmComm.h"
#include "EmulatorClock.h"

namespace drelm::emu {
namespace {

struct Defaults {
    uint32_t latencyUs;
    uint32_t bandwidthKBps;
};

Defaults DefaultsOf(int32_t connectionType) {
    switch (connectionType) {
        case DRELM_LINK_OPTICAL: return {10, 80000};
        case DRELM_LINK_USB_ADAPTER: return {60, 30000};
        case DRELM_LINK_ETHERNET: return {200, 50000};
        case DRELM_LINK_USB_VME: return {100, 20000};
        default: return {50, 30000};
    }
}

}  // namespace

LinkTiming::LinkTiming(const BoardConfig& config, int32_t connectionType) {
    const Defaults defaults = DefaultsOf(connectionType);
    latencyUs_ = config.linkLatencyUs.value_or(defaults.latencyUs);
    bandwidthKBps_ = config.linkBandwidthKBps.value_or(defaults.bandwidthKBps);
}

uint64_t LinkTiming::CostNs(uint64_t bytes) const {
    uint64_t ns = uint64_t{latencyUs_} * 1000;
    // kB/s = bytes per ms, so bytes * 1e6 / kB/s is in ns.
    if (bandwidthKBps_ != 0) ns += bytes * 1000000 / bandwidthKBps_;
    return ns;
}

void LinkTiming::Wait(uint64_t ns) {
    if (ns == 0 || EmulatorClock::Instance().IsVirtual()) return;
    std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
}

}  // namespace drelm::emu

// How long a link operation takes: a latency per call plus the bytes over
// the link's bandwidth. With the host clock the caller really waits that
// long, after releasing every lock, so that a loop polling an idle board
// does not spin and a fast trigger rate saturates the link. With the virtual
// clock nothing waits and no time passes: tests move the clock themselves.
//
// Defaults per connection type (README "Link timing"): USB 30 MB/s and
// 50 us, optical link 80 MB/s and 10 us, USB adapter 30 MB/s and 60 us,
// Ethernet bridge 50 MB/s and 200 us, USB to VME bridge 20 MB/s and 100 us.
#pragma once

#include <cstdint>

#include "DrelmEmulator.h"

namespace drelm::emu {

class LinkTiming {
public:
    LinkTiming() = default;
    LinkTiming(const BoardConfig& config, int32_t connectionType);

    // Time one call moving `bytes` takes; 0 with latency 0 and no bandwidth limit.
    uint64_t CostNs(uint64_t bytes) const;

    uint32_t latencyUs() const { return latencyUs_; }
    uint32_t bandwidthKBps() const { return bandwidthKBps_; }

    // Waits `ns` when emulated time follows the host clock; else returns at once.
    static void Wait(uint64_t ns);

private:
    uint32_t latencyUs_ = 0;
    uint32_t bandwidthKBps_ = 0;  // 0: unlimited
};

}  // namespace drelm::emu

// Emulated time: the host's monotonic clock by default, or a virtual clock
// that only AdvanceClock moves. Never runs backwards, whichever way it is
// switched.
#pragma once

#include <cstdint>
#include <mutex>

namespace drelm::emu {

class EmulatorClock {
public:
    static EmulatorClock& Instance();

    uint64_t NowNs();
    void UseVirtual(bool on);
    bool IsVirtual();
    void Advance(uint64_t nanoseconds);

private:
    EmulatorClock();
    uint64_t HostNs() const;
    uint64_t NowLocked() const;

    std::mutex mutex_;
    bool virtual_ = false;
    uint64_t virtualNs_ = 0;
    uint64_t offsetNs_ = 0;  // added to the host clock: skips and switch-backs
};

}  // namespace drelm::emu

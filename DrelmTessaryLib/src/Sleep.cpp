#include "Sleep.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace drelm::tsy {
namespace {

void RealSleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

std::atomic<SleepFunction> g_sleep{&RealSleep};

}  // namespace

void SleepMs(uint32_t milliseconds) { g_sleep.load(std::memory_order_relaxed)(milliseconds); }

SleepFunction SetSleepFunction(SleepFunction function) {
    return g_sleep.exchange(function ? function : &RealSleep);
}

}  // namespace drelm::tsy

// How fast the emulator makes and delivers 64-channel events over a link
// without limits: it must outrun any real link, so that throughput
// measurements of the readout measure the readout.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "DrelmComm.h"
#include "DrelmEmulator.h"

namespace {

using drelm::emu::BoardAddress;
using drelm::emu::BoardConfig;

// A running 64-channel board, all channels on, both trigger sources routed,
// a fast external source; virtual clock, unlimited link.
int32_t OpenFastBoard(uint32_t rateHz) {
    drelm::emu::ResetEmulator();
    drelm::emu::UseVirtualClock(true);
    BoardConfig config;
    config.runLatencyUs = 0;
    config.triggerRateHz = rateHz;
    config.conversionTimeNs = 0;
    config.linkLatencyUs = 0;
    config.linkBandwidthKBps = 0;
    drelm::emu::ConfigureBoard(BoardAddress{DRELM_LINK_USB, 0, "", 0, 0}, config);
    int32_t link = 0, handle = -1;
    if (LinkOpen(DRELM_LINK_USB, &link, 0, 0, &handle) != 0) return -1;
    LinkWriteRegister(handle, 0x8120, 0x55);
    for (uint32_t g = 0; g < 8; ++g) LinkWriteRegister(handle, 0x10A8 | g << 8, 0xFF);
    LinkWriteRegister(handle, 0x810C, 0xC0000000);
    LinkWriteRegister(handle, 0xEF1C, 1023);
    LinkWriteRegister(handle, 0x8100, 4);
    return handle;
}

// Each iteration lets 100 us of emulated time pass at 10 MHz (about 1000
// triggers, the memory's worth) and moves what the board made in one
// transfer, as the acquisition program does.
void GenerateAndDeliver64ChannelEvents(benchmark::State& state) {
    const int32_t handle = OpenFastBoard(10'000'000);
    if (handle < 0) {
        state.SkipWithError("cannot open the emulated board");
        return;
    }
    std::vector<uint32_t> buffer(1023 * 40 + 4);
    uint64_t words = 0;
    for (auto _ : state) {
        drelm::emu::AdvanceClock(100'000);
        int32_t moved = 0;
        LinkBlockRead(handle, 0, buffer.data(), static_cast<int32_t>(buffer.size()), &moved);
        benchmark::DoNotOptimize(buffer.data());
        words += static_cast<uint64_t>(moved);
    }
    state.SetBytesProcessed(static_cast<int64_t>(words * 4));
    state.counters["events"] = benchmark::Counter(static_cast<double>(words / 40), benchmark::Counter::kIsRate);
    LinkClose(handle);
    drelm::emu::UseVirtualClock(false);
    drelm::emu::ResetEmulator();
}
BENCHMARK(GenerateAndDeliver64ChannelEvents)->Unit(benchmark::kMicrosecond);

// Software triggers only: the cost of one register write that makes an event.
void SoftwareTriggeredEvents(benchmark::State& state) {
    const int32_t handle = OpenFastBoard(0);
    if (handle < 0) {
        state.SkipWithError("cannot open the emulated board");
        return;
    }
    std::vector<uint32_t> buffer(1023 * 40 + 4);
    uint64_t words = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) LinkWriteRegister(handle, 0x8108, 0);
        int32_t moved = 0;
        LinkBlockRead(handle, 0, buffer.data(), static_cast<int32_t>(buffer.size()), &moved);
        words += static_cast<uint64_t>(moved);
    }
    state.SetBytesProcessed(static_cast<int64_t>(words * 4));
    LinkClose(handle);
    drelm::emu::UseVirtualClock(false);
    drelm::emu::ResetEmulator();
}
BENCHMARK(SoftwareTriggeredEvents)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

// How long the table loads from the flash take on a 64-channel emulated
// board: the calibration load is 4 x 64 tables of 4096 entries, a million
// load words in list writes of 32; the offset load writes 8 groups, 10 ms
// apart. Each runs on two links:
//   unlimited_link  no latency, no bandwidth limit, a flash chip that is
//                   never busy: the library and the emulator's register path;
//   usb_link        the emulator's USB link (its per-operation latency and
//                   bandwidth) and its flash chip's page times: what a
//                   board on USB costs.
#include <benchmark/benchmark.h>

#include "DrelmEmulator.h"
#include "DrelmTessaryLib.h"

namespace {

enum class Link { Unlimited, Usb };

// A fresh emulator with the USB board 0 on the link asked for; its handle,
// or -1.
int32_t OpenBoard(Link link) {
    drelm::emu::ResetEmulator();
    const drelm::emu::BoardAddress address{};  // USB, link 0
    drelm::emu::BoardConfig board;
    drelm::emu::FlashConfig flash;
    if (link == Link::Unlimited) {
        board.linkLatencyUs = 0;
        board.linkBandwidthKBps = 0;
        flash.eraseUs = flash.programUs = flash.transferUs = 0;
    }
    // Usb: the connection type's default link timing and the chip's own.
    drelm::emu::ConfigureBoard(address, board);
    drelm::emu::ConfigureFlash(address, flash);
    int32_t handle = -1;
    return DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle) == 0 ? handle : -1;
}

void BM_LoadCalibration64(benchmark::State& state, Link link) {
    const int32_t handle = OpenBoard(link);
    if (handle < 0) {
        state.SkipWithError("cannot open the emulated board");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        DRELM_TSY_ClearRegisterBitMask(handle, 0x80E4, 1);  // so that the load runs again
        state.ResumeTiming();
        if (DRELM_TSY_LoadCalibration(handle) != 0) {
            state.SkipWithError("calibration load failed");
            break;
        }
    }
    state.counters["words"] = benchmark::Counter(4.0 * 64 * 4096, benchmark::Counter::kIsIterationInvariantRate);
    DRELM_TSY_CloseTessary(handle);
}
BENCHMARK_CAPTURE(BM_LoadCalibration64, unlimited_link, Link::Unlimited)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_LoadCalibration64, usb_link, Link::Usb)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

void BM_LoadOffset64(benchmark::State& state, Link link) {
    const int32_t handle = OpenBoard(link);
    if (handle < 0) {
        state.SkipWithError("cannot open the emulated board");
        return;
    }
    for (auto _ : state)
        if (DRELM_TSY_LoadOffset(handle) != 0) state.SkipWithError("offset load failed");
    DRELM_TSY_CloseTessary(handle);
}
BENCHMARK_CAPTURE(BM_LoadOffset64, unlimited_link, Link::Unlimited)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_LoadOffset64, usb_link, Link::Usb)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

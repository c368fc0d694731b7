// How long a calibration load from the flash takes on a 64-channel emulated
// board: 4 x 64 tables of 4096 entries, a million load words in list writes
// of 32. The emulator's link has no pacing, so this measures the library and
// the emulator's register path.
#include <benchmark/benchmark.h>

#include "DrelmEmulator.h"
#include "DrelmTessaryLib.h"

namespace {

void BM_LoadCalibration64(benchmark::State& state) {
    drelm::emu::ResetEmulator();
    int32_t handle = -1;
    if (DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle) != 0) {
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
BENCHMARK(BM_LoadCalibration64)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadOffset64(benchmark::State& state) {
    drelm::emu::ResetEmulator();
    int32_t handle = -1;
    if (DRELM_TSY_OpenTessary(0, 0, 0, 0, &handle) != 0) {
        state.SkipWithError("cannot open the emulated board");
        return;
    }
    for (auto _ : state)
        if (DRELM_TSY_LoadOffset(handle) != 0) state.SkipWithError("offset load failed");
    DRELM_TSY_CloseTessary(handle);
}
BENCHMARK(BM_LoadOffset64)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

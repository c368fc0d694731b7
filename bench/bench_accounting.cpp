// The run loop's per-batch work: decoding a transfer of 1023 full 64-channel
// events and accounting them into a board's counters and spectra, against
// decoding alone. Amplitudes follow a spectrum's shape (a peak on a
// continuum, a few saturated), so the spectrum increments meet the caches
// as real data would.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "Accounting.h"
#include "DrelmTessaryLib.h"

namespace {

constexpr uint32_t kEvents = DRELM_TSY_MAX_EVENTS_PER_TRANSFER;
constexpr uint32_t kEventWords = 4 + 4 * 9;

uint32_t Amplitude(std::mt19937& random) {
    std::normal_distribution<double> peak(6620.0, 200.0);
    std::uniform_int_distribution<uint32_t> continuum(0, 5000), choice(0, 999);
    const uint32_t pick = choice(random);
    if (pick < 5) return 0x8000 | 0x3FFF;
    const double value = pick < 300 ? peak(random) : continuum(random);
    return static_cast<uint32_t>(value) & 0x3FFF;
}

std::vector<uint32_t> FullEvents() {
    std::mt19937 random(1);
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < kEvents; ++i) {
        words.insert(words.end(), {kEventWords, 0x55u, i, 125000u * i});
        for (uint32_t p = 0; p < 4; ++p) {
            words.push_back(0xFFFFu);
            for (uint32_t k = 0; k < 8; ++k) words.push_back(Amplitude(random) | Amplitude(random) << 16);
        }
    }
    return words;
}

template <bool Account>
void Batch(benchmark::State& state) {
    const std::vector<uint32_t> words = FullEvents();
    std::vector<EventRecord> records(kEvents);
    tessary::BoardCounters current;
    if (tessary::AllocCounterSpectra(current) != 0) state.SkipWithError("no memory for the spectra");
    tessary::TriggerExtension trigger;
    const auto count = static_cast<uint32_t>(words.size());
    for (auto _ : state) {
        uint32_t events = 0;
        if (DRELM_TSY_GetEvents(0, words.data(), count, records.data(), &events) != 0 || events != kEvents)
            state.SkipWithError("decoding failed");
        if (Account) tessary::UpdateBatchCounters(count * 4, records.data(), events, current, trigger, 64);
        benchmark::DoNotOptimize(records.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * count * 4);
    state.counters["events/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kEvents, benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(Batch, false)->Name("DecodeOnly");
BENCHMARK_TEMPLATE(Batch, true)->Name("DecodeAndAccount");

}  // namespace

BENCHMARK_MAIN();

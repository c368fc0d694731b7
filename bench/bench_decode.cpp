// Decoding speed: buffers of 1023 full 64-channel events, the largest
// transfer, decoded through the C API; a memcpy of the same buffer gives
// the ceiling to compare with.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "DrelmTessaryLib.h"

namespace {

constexpr uint32_t kEvents = DRELM_TSY_MAX_EVENTS_PER_TRANSFER;
constexpr uint32_t kBlocks = 4;
constexpr uint32_t kEventWords = 4 + kBlocks * 9;

// Full events in the wire format: all four blocks present, 16 channels each.
std::vector<uint32_t> FullEvents() {
    std::vector<uint32_t> words;
    words.reserve(kEvents * kEventWords);
    for (uint32_t i = 0; i < kEvents; ++i) {
        const uint64_t timestamp = 125000ull * i;
        words.push_back(kEventWords);
        words.push_back(0x55u | static_cast<uint32_t>((timestamp >> 32) & 0xFFFF) << 8);
        words.push_back(i);
        words.push_back(static_cast<uint32_t>(timestamp));
        for (uint32_t p = 0; p < kBlocks; ++p) {
            words.push_back(0xFFFFu | (i & 0xFFFu) << 16);
            for (uint32_t k = 0; k < 8; ++k) {
                const uint32_t low = (i * 7 + p * 16 + 2 * k) & 0x3FFF;
                const uint32_t high = (i * 13 + p * 16 + 2 * k + 1) & 0x3FFF;
                words.push_back(low | high << 16);
            }
        }
    }
    return words;
}

void BM_DecodeFullEvents(benchmark::State& state) {
    const std::vector<uint32_t> words = FullEvents();
    std::vector<EventRecord> records(kEvents);
    const auto count = static_cast<uint32_t>(words.size());
    for (auto _ : state) {
        uint32_t events = 0;
        const int32_t status = DRELM_TSY_GetEvents(0, words.data(), count, records.data(), &events);
        if (status != 0 || events != kEvents) state.SkipWithError("decoding failed");
        benchmark::DoNotOptimize(records.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * count * 4);
    state.counters["events/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kEvents, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeFullEvents);

void BM_MemcpySameBuffer(benchmark::State& state) {
    const std::vector<uint32_t> words = FullEvents();
    std::vector<uint32_t> copy(words.size());
    const size_t bytes = words.size() * 4;
    for (auto _ : state) {
        std::memcpy(copy.data(), words.data(), bytes);
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_MemcpySameBuffer);

}  // namespace

BENCHMARK_MAIN();

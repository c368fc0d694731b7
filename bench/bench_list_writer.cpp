// List lines of a 64-channel board: the column-template writer against plain
// formatted printing of each column (into memory, and through a stream).
#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <random>
#include <vector>

#include "DaqConfig.h"
#include "DrelmTessaryLib.h"
#include "ListWriter.h"

namespace {

using tessary::BoardSettings;

constexpr std::size_t kEvents = 1023;  // one full transfer

struct Batch {
    Batch() : events(kEvents), words(kEvents * 64) {
        board.channelCount = 64;
        for (uint8_t& g : board.groupEnableMask) g = 0xFF;
        board.groupEnableMask[7] = 0x0F;  // a few disabled channels
        std::mt19937 random(3);
        uint16_t* w = words.data();
        for (std::size_t i = 0; i < kEvents; ++i) {
            EventRecord& e = events[i];
            e.triggerIndex = static_cast<uint32_t>(i);
            e.timestamp = 1000000 + 977 * i;
            for (int p = 0; p < 4; ++p) {
                // Most channels carry a hit, some are suppressed.
                uint16_t mask = 0;
                for (int k = 0; k < 16; ++k)
                    if (random() % 10 != 0 && (board.groupEnableMask[(16 * p + k) / 8] >> (k % 8) & 1)) mask |= 1u << k;
                e.blocks[p] = EventBlock{mask, 0, 0, 0, w};
                for (int k = 0; k < std::popcount(mask); ++k) *w++ = static_cast<uint16_t>(random() & 0xBFFF);
            }
        }
    }
    BoardSettings board;
    std::vector<EventRecord> events;
    std::vector<uint16_t> words;
};

// What the line is made of, one formatted print per column.
template <typename Print>
void FormattedLine(const EventRecord& e, const BoardSettings& board, Print print) {
    print("%*u ", 14, e.triggerIndex);
    print("%*llu ", 20, static_cast<unsigned long long>(e.timestamp));
    int word = 0;
    for (int ch = 0; ch < board.channelCount; ++ch) {
        if (ch % 16 == 0) word = 0;
        const EventBlock& block = e.blocks[ch / 16];
        if (!(board.groupEnableMask[ch / 8] >> (ch % 8) & 1))
            print("%*s", 10, "N/A");
        else if (block.channelMask >> (ch % 16) & 1)
            print("%*d", 10, static_cast<int>(block.amplitudes[word++]));
        else
            print("%*s", 10, " ZS");
    }
    print("%s", "\n");
}

void BM_ListLinesSnprintf(benchmark::State& state) {
    const Batch batch;
    std::vector<char> text(kEvents * tessary::kListLineMax + 64);
    for (auto _ : state) {
        std::size_t used = 0;
        for (const EventRecord& e : batch.events)
            FormattedLine(e, batch.board, [&](const char* format, auto... values) {
                used += static_cast<std::size_t>(std::snprintf(text.data() + used, text.size() - used, format, values...));
            });
        benchmark::DoNotOptimize(text.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kEvents));
}
BENCHMARK(BM_ListLinesSnprintf);

void BM_ListLinesFprintf(benchmark::State& state) {
    const Batch batch;
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (sink == nullptr) return state.SkipWithError("no /dev/null");
    for (auto _ : state)
        for (const EventRecord& e : batch.events)
            FormattedLine(e, batch.board, [&](const char* format, auto... values) { std::fprintf(sink, format, values...); });
    std::fclose(sink);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kEvents));
}
BENCHMARK(BM_ListLinesFprintf);

void BM_ListLinesWriter(benchmark::State& state) {
    const Batch batch;
    tessary::ListWriter writer;
    writer.Configure(batch.board);
    std::vector<char> text(kEvents * tessary::kListLineMax);
    for (auto _ : state) {
        std::size_t used = 0;
        for (const EventRecord& e : batch.events) used += writer.Line(e, text.data() + used);
        benchmark::DoNotOptimize(text.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kEvents));
}
BENCHMARK(BM_ListLinesWriter);

}  // namespace

BENCHMARK_MAIN();

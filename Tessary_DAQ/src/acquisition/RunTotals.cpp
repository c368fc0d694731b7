#include "RunTotals.h"

#include <bit>

namespace tessary {
namespace {

constexpr uint32_t kIndexMask = 0xFFFFFF;
constexpr double kSecondsPerUnit = 65536 * 8e-9;

constexpr int kChannelsPerBlock = 16;

// The saturated amplitude words of the blocks the accounting leaves out:
// from an event's first pile-up block on, and past the board's channels. The
// files hold those too; the accounting's own count covers the rest, so only
// pile-up events are walked here.
uint32_t SaturatedWordsNotAccounted(const EventRecord& event, int accountedBlocks) {
    int first = 0;
    while (first < accountedBlocks && !event.blocks[first].pileUp) ++first;
    uint32_t saturated = 0;
    for (int j = first; j < 4; ++j) {
        const EventBlock& block = event.blocks[j];
        if (block.amplitudes == nullptr) continue;
        const int words = std::popcount(block.channelMask);
        for (int i = 0; i < words; ++i) saturated += block.amplitudes[i] >> 15;
    }
    return saturated;
}

uint32_t SaturatedSum(const BoardCounters& counters) {
    uint32_t sum = 0;
    for (uint32_t n : counters.channelSaturated) sum += n;
    return sum;
}

// A gap this large is no run of lost triggers but a break in the index
// (events of an earlier period, or a board that restarted it).
constexpr uint32_t kIndexBreak = 1u << 23;

struct Counters {
    uint32_t total = 0;
    uint32_t dead = 0;
};

bool Read(int32_t handle, Counters& c) {
    return DRELM_TSY_GetTotalTime(handle, &c.total) == 0 && DRELM_TSY_GetDeadTime(handle, &c.dead) == 0;
}

}  // namespace

BatchMark BatchMark::Of(const BoardCounters& counters) {
    return {counters.eventsProcessed, counters.pileUpEvents, SaturatedSum(counters)};
}

void RunTotals::Resize(int boards) { boards_.assign(static_cast<std::size_t>(boards > 0 ? boards : 0), Entry{}); }

void RunTotals::AddBatch(int board, uint32_t bytes, const EventRecord* events, uint32_t count,
                         const BatchMark& before, const BoardCounters& after, int channelCount) {
    Entry& e = boards_[board];
    BoardTotals& t = e.totals;
    t.bytes += bytes;
    // Differences of 32-bit counters, right across their wrap.
    t.events += after.eventsProcessed - before.events;
    t.pileUp += after.pileUpEvents - before.pileUp;
    const int blocks = channelCount / kChannelsPerBlock < 4 ? channelCount / kChannelsPerBlock : 4;
    uint64_t lost = 0, saturated = SaturatedSum(after) - before.saturated;
    uint32_t next = e.nextIndex;
    for (uint32_t i = 0; i < count; ++i) {
        saturated += SaturatedWordsNotAccounted(events[i], blocks);
        const uint32_t gap = (events[i].triggerIndex - next) & kIndexMask;
        if (gap < kIndexBreak) lost += gap;
        next = (events[i].triggerIndex + 1) & kIndexMask;
    }
    e.nextIndex = next;
    t.saturated += saturated;
    t.triggersLost += lost;
    t.triggers += count + lost;
}

void RunTotals::Started(const int32_t* handles) {
    for (std::size_t b = 0; b < boards_.size(); ++b) {
        Entry& e = boards_[b];
        e.nextIndex = 0;
        Counters c;
        e.haveReading = Read(handles[b], c);
        e.lastTotal = c.total;
        e.lastDead = c.dead;
    }
    running_ = true;
}

void RunTotals::Poll(const int32_t* handles) {
    if (!running_) return;
    for (std::size_t b = 0; b < boards_.size(); ++b) {
        Entry& e = boards_[b];
        Counters c;
        if (!Read(handles[b], c)) continue;
        // Differences of the 32-bit counters, right across their wrap.
        if (e.haveReading) {
            e.totals.totalUnits += c.total - e.lastTotal;
            e.totals.deadUnits += c.dead - e.lastDead;
        }
        e.haveReading = true;
        e.lastTotal = c.total;
        e.lastDead = c.dead;
    }
}

void RunTotals::Stopped(const int32_t* handles) {
    Poll(handles);
    running_ = false;
}

RunTotals::Times RunTotals::BoardTimes(int board) const {
    const BoardTotals& t = boards_[board].totals;
    return {static_cast<double>(t.totalUnits) * kSecondsPerUnit, static_cast<double>(t.deadUnits) * kSecondsPerUnit};
}

}  // namespace tessary

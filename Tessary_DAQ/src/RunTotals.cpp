#include "RunTotals.h"

#include <bit>

namespace tessary {
namespace {

constexpr uint32_t kIndexMask = 0xFFFFFF;
constexpr double kSecondsPerUnit = 65536 * 8e-9;

// Every saturated amplitude word of the event, pile-up blocks included, as
// the raw and list files hold them (the spectra's accounting skips those).
uint32_t SaturatedWords(const EventRecord& event) {
    uint32_t saturated = 0;
    for (const EventBlock& block : event.blocks) {
        if (block.amplitudes == nullptr) continue;
        const int words = std::popcount(block.channelMask);
        for (int i = 0; i < words; ++i) saturated += block.amplitudes[i] >> 15;
    }
    return saturated;
}

struct Counters {
    uint32_t total = 0;
    uint32_t dead = 0;
};

// A failed read counts as no time passed rather than a wild difference.
Counters Read(int32_t handle, uint32_t totalFallback, uint32_t deadFallback) {
    Counters c{totalFallback, deadFallback};
    if (DRELM_TSY_GetTotalTime(handle, &c.total) != 0) c.total = totalFallback;
    if (DRELM_TSY_GetDeadTime(handle, &c.dead) != 0) c.dead = deadFallback;
    return c;
}

}  // namespace

BatchMark BatchMark::Of(const BoardCounters& counters) {
    return {counters.eventsProcessed, counters.pileUpEvents};
}

void RunTotals::Resize(int boards) { boards_.assign(static_cast<std::size_t>(boards > 0 ? boards : 0), Entry{}); }

void RunTotals::AddBatch(int board, uint32_t bytes, const EventRecord* events, uint32_t count,
                         const BatchMark& before, const BoardCounters& after) {
    Entry& e = boards_[board];
    BoardTotals& t = e.totals;
    t.bytes += bytes;
    // Differences of 32-bit counters, right across their wrap.
    t.events += after.eventsProcessed - before.events;
    t.pileUp += after.pileUpEvents - before.pileUp;
    uint64_t lost = 0, saturated = 0;
    uint32_t next = e.nextIndex;
    for (uint32_t i = 0; i < count; ++i) {
        saturated += SaturatedWords(events[i]);
        lost += (events[i].triggerIndex - next) & kIndexMask;
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
        const Counters c = Read(handles[b], 0, 0);
        e.totalAtStart = c.total;
        e.deadAtStart = c.dead;
    }
    running_ = true;
}

void RunTotals::Stopped(const int32_t* handles) {
    if (!running_) return;
    for (std::size_t b = 0; b < boards_.size(); ++b) {
        Entry& e = boards_[b];
        const Counters c = Read(handles[b], e.totalAtStart, e.deadAtStart);
        e.totals.totalUnits += c.total - e.totalAtStart;
        e.totals.deadUnits += c.dead - e.deadAtStart;
    }
    running_ = false;
}

RunTotals::Times RunTotals::BoardTimes(int board, int32_t handle) const {
    const Entry& e = boards_[board];
    uint64_t total = e.totals.totalUnits, dead = e.totals.deadUnits;
    if (running_) {
        const Counters c = Read(handle, e.totalAtStart, e.deadAtStart);
        total += c.total - e.totalAtStart;
        dead += c.dead - e.deadAtStart;
    }
    return {static_cast<double>(total) * kSecondsPerUnit, static_cast<double>(dead) * kSecondsPerUnit};
}

}  // namespace tessary

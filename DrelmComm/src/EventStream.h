// The board's triggers and the events they make, worked out lazily: Board
// calls Generate with the emulated time up to which the board has run,
// whenever it is accessed, and the stream produces what the board would
// have acquired meanwhile.
//
// While the board listens (run bit set and running status shown) every
// trigger, software or external, advances the 24-bit trigger index. An
// accepted trigger keeps the board dead for its gate (record length x 16
// ns) and then its conversion; a trigger that falls in that time or finds
// the event memory full is lost but counted, so the index runs ahead of the
// events. A pulse of the external input that comes within the gate of an
// accepted trigger piles up on its event (and is itself lost). Time stamps
// count 8 ns ticks since the status showed the start. Dead time (gate and
// conversion, and whole intervals with the memory full) is counted while
// running and, like the trigger totals, only a reset clears it.
//
// Bounded work: one catch-up draws at most kMaxDrawsPerCatchUp external
// arrivals; the rest, after a long pause, are counted as lost on average
// without being drawn.
#pragma once

#include <cstdint>
#include <memory>

#include "EventBuilder.h"
#include "EventMemory.h"
#include "EventPool.h"
#include "RandomStream.h"
#include "SpectrumSource.h"
#include "TriggerSource.h"

namespace drelm::emu {

class EventStream {
public:
    static constexpr uint64_t kMaxDrawsPerCatchUp = 1u << 18;
    static constexpr uint64_t kTickNs = 8;
    static constexpr uint64_t kTimestampMask = (uint64_t{1} << 48) - 1;

    explicit EventStream(const BoardConfig& config);

    // The status showed a start at `atNs`: index and time stamp restart; a
    // gate or conversion still under way from the last run goes on.
    void StartRun(uint64_t atNs);
    // Generates up to `untilNs` (never decreasing); `listening` says whether
    // the board takes triggers over the whole interval.
    void Generate(uint64_t untilNs, bool listening, const EventSettings& settings, EventMemory& memory);
    // A software trigger at `atNs`, while listening, after Generate up to it.
    void SoftwareTrigger(uint64_t atNs, const EventSettings& settings, EventMemory& memory);

    // Dead time since the board's reset up to `nowNs`, in units of 65536 x 8 ns.
    uint32_t DeadTimeUnits(uint64_t nowNs) const;

    // A software reset at `atNs`: the run's counters and the dead time
    // clear; the totals below and the random streams go on.
    void Reset(uint64_t atNs);

    // Since the board was made.
    uint64_t Triggers() const { return triggers_; }
    uint64_t Lost() const { return lost_; }

private:
    void Trigger(uint64_t atNs, bool software, const EventSettings& settings, EventMemory& memory);
    void AddDead(uint64_t fromNs, uint64_t toNs);

    const SpectrumSource& Source();

    BoardConfig config_;
    BoardTraits traits_;
    uint64_t conversionNs_;
    std::unique_ptr<SpectrumSource> source_;  // built at the first event
    TriggerSource external_;
    RandomStream amplitudes_;
    EventPool pool_;

    uint64_t horizonNs_ = 0;       // generated up to here
    uint64_t runStartNs_ = 0;
    uint32_t triggerIndex_ = 0;    // of the current run
    uint32_t eventNumber_ = 0;     // accepted events since the reset
    uint64_t deadUntilNs_ = 0;     // gate and conversion of the last accepted trigger
    uint64_t deadNs_ = 0;          // dead time since the reset up to deadCoveredNs_
    uint64_t deadCoveredNs_ = 0;
    uint64_t triggers_ = 0;
    uint64_t lost_ = 0;
};

}  // namespace drelm::emu

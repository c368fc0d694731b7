#include "EventStream.h"

#include <algorithm>

namespace drelm::emu {
namespace {

// Independent streams from one seed: arrivals do not depend on how many
// channels draw amplitudes, nor the channels' gains on either.
constexpr uint64_t kArrivalStream = 0x243F6A8885A308D3ull;
constexpr uint64_t kAmplitudeStream = 0x13198A2E03707344ull;
constexpr uint64_t kGainStream = 0xA4093822299F31D0ull;

}  // namespace

EventStream::EventStream(const BoardConfig& config)
    : config_(config),
      traits_(BoardTraits::From(config)),
      conversionNs_(config.conversionTimeNs),
      external_(config.triggerRateHz, config.seed ^ kArrivalStream),
      amplitudes_(config.seed ^ kAmplitudeStream),
      pool_(config.eventPool) {}

const SpectrumSource& EventStream::Source() {
    if (!source_) source_ = std::make_unique<SpectrumSource>(config_, config_.seed ^ kGainStream);
    return *source_;
}

void EventStream::StartRun(uint64_t atNs) {
    horizonNs_ = std::max(horizonNs_, atNs);
    runStartNs_ = atNs;
    triggerIndex_ = 0;
    external_.Disarm();
    pool_.Clear();
}

void EventStream::Reset(uint64_t atNs) {
    StartRun(atNs);
    eventNumber_ = 0;
    deadUntilNs_ = 0;
    deadNs_ = 0;
    deadCoveredNs_ = atNs;
}

void EventStream::AddDead(uint64_t fromNs, uint64_t toNs) {
    if (toNs <= deadCoveredNs_) return;
    deadNs_ += toNs - std::max(fromNs, deadCoveredNs_);
    deadCoveredNs_ = toNs;
}

uint32_t EventStream::DeadTimeUnits(uint64_t nowNs) const {
    // The conversion under way counts only as far as it has got.
    const uint64_t ahead = deadCoveredNs_ > nowNs ? std::min(deadCoveredNs_ - nowNs, deadNs_) : 0;
    return static_cast<uint32_t>((deadNs_ - ahead) / (65536 * kTickNs));
}

void EventStream::Trigger(uint64_t atNs, bool software, const EventSettings& settings, EventMemory& memory) {
    ++triggers_;
    const uint32_t index = triggerIndex_++;
    if (atNs < deadUntilNs_) {
        ++lost_;
        return;
    }
    const bool halfFull = memory.HalfFull();
    uint32_t* room = memory.Reserve(EventBuilder::kMaxEventWords);
    if (!room) {
        ++lost_;
        return;
    }
    TriggerInfo info;
    info.triggerIndex = index;
    info.timestampTicks = ((atNs - runStartNs_) / kTickNs) & kTimestampMask;
    info.eventNumber = eventNumber_++;
    info.software = software;
    // The next pulse of the input is already drawn: inside the gate it adds
    // to this event's channels, and the board, still dead, loses its trigger.
    info.pileUp = external_.Armed() && external_.NextNs() < atNs + settings.gateNs;
    info.memoryHalfFull = halfFull;
    memory.Commit(pool_.On() ? pool_.Build(settings, traits_, Source(), amplitudes_, info, room)
                             : EventBuilder::Build(settings, traits_, Source(), amplitudes_, info, room));
    deadUntilNs_ = atNs + settings.gateNs + conversionNs_;
    AddDead(atNs, deadUntilNs_);
}

void EventStream::SoftwareTrigger(uint64_t atNs, const EventSettings& settings, EventMemory& memory) {
    if (!settings.softwareRouted) return;
    Trigger(atNs, true, settings, memory);
}

void EventStream::Generate(uint64_t untilNs, bool listening, const EventSettings& settings, EventMemory& memory) {
    untilNs = std::max(untilNs, horizonNs_);
    if (!listening) {
        external_.Disarm();
        horizonNs_ = untilNs;
        return;
    }
    bool full = memory.Full(EventBuilder::kMaxEventWords);
    uint64_t fullSinceNs = horizonNs_;
    if (settings.externalRouted) {
        external_.Arm(horizonNs_);
    } else {
        external_.Disarm();
    }
    uint64_t draws = 0;
    while (external_.Due(untilNs)) {
        if (++draws > kMaxDrawsPerCatchUp) {
            const uint64_t skipped = external_.SkipTo(untilNs);
            triggers_ += skipped;
            lost_ += skipped;
            triggerIndex_ += static_cast<uint32_t>(skipped);
            break;
        }
        const uint64_t at = std::max(external_.NextNs(), horizonNs_);
        external_.Pop();
        Trigger(at, false, settings, memory);
        if (!full && memory.Full(EventBuilder::kMaxEventWords)) {
            full = true;
            fullSinceNs = at;
        }
    }
    if (full) AddDead(fullSinceNs, untilNs);
    horizonNs_ = untilNs;
}

}  // namespace drelm::emu

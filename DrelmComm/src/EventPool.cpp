#include "EventPool.h"

#include <algorithm>
#include <cstring>

namespace drelm::emu {

void EventPool::Clear() { std::fill(size_.begin(), size_.end(), 0); }

uint32_t EventPool::Build(const EventSettings& settings, const BoardTraits& board, const SpectrumSource& source,
                          RandomStream& random, const TriggerInfo& trigger, uint32_t* out) {
    if (words_.empty()) {
        words_.resize(std::size_t{events_} * EventBuilder::kMaxEventWords);
        size_.assign(events_, 0);
        pileUp_.assign(events_, 0);
    }
    const uint32_t slot = trigger.eventNumber % events_;
    uint32_t* pooled = words_.data() + std::size_t{slot} * EventBuilder::kMaxEventWords;
    if (size_[slot] == 0) {
        bool pileUp = false;
        size_[slot] = static_cast<uint8_t>(
            EventBuilder::Build(settings, board, source, random, trigger, pooled, &pileUp));
        pileUp_[slot] = pileUp;
    }
    const uint32_t size = size_[slot];
    std::memcpy(out + EventBuilder::kHeaderWords, pooled + EventBuilder::kHeaderWords,
                (size - EventBuilder::kHeaderWords) * sizeof(uint32_t));
    EventBuilder::WriteHeader(settings, board, trigger, pileUp_[slot] != 0, size, out);
    // The blocks present are those drawn, even if the registers changed since.
    constexpr uint32_t kPresentBits = 0x55;
    out[1] = (out[1] & ~kPresentBits) | (pooled[1] & kPresentBits);
    return size;
}

}  // namespace drelm::emu

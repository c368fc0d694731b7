#include "EventBuilder.h"

#include <algorithm>
#include <bit>

namespace drelm::emu {
namespace {

constexpr uint32_t kZeroSuppression = 1u << 17;
constexpr uint32_t kResolutionBits = 0x7;
constexpr uint32_t kMaxResolutionCode = 4;
constexpr uint32_t kSoftwareTriggerBit = 1u << 31;
constexpr uint32_t kExternalTriggerBit = 1u << 30;
constexpr uint64_t kGateUnitNs = 16;
constexpr uint32_t kSaturated = 0x8000;
constexpr uint32_t kPileUp = 1u << 31;

}  // namespace

EventSettings EventSettings::From(const RegisterFile& registers) {
    EventSettings s;
    const uint32_t groups = registers.groups();
    const uint32_t enabled = registers.Stored(reg::kGroupEnableMask);
    for (uint32_t p = 0; p < 4 && 2 * p + 1 < groups; ++p) {
        if (!(enabled & 1u << 2 * p)) continue;
        s.presentBits |= 1u << 2 * p;
        const uint32_t low = registers.Stored(reg::kGroupBase | (2 * p) << 8 | reg::kGroupChannelEnable);
        const uint32_t high = registers.Stored(reg::kGroupBase | (2 * p + 1) << 8 | reg::kGroupChannelEnable);
        s.channelMask[p] = static_cast<uint16_t>((low & 0xFF) | (high & 0xFF) << 8);
    }
    for (uint32_t g = 0; g < groups; ++g)
        s.threshold[g] = static_cast<uint16_t>(registers.Stored(reg::kGroupBase | g << 8 | reg::kGroupZsThreshold));
    const uint32_t config = registers.Stored(reg::kChannelConfig);
    s.zeroSuppression = (config & kZeroSuppression) != 0;
    s.shift = std::min(config & kResolutionBits, kMaxResolutionCode);
    s.gateNs = uint64_t{registers.Stored(reg::kRecordLength)} * kGateUnitNs;
    const uint32_t routing = registers.Stored(reg::kTriggerMask1);
    s.softwareRouted = (routing & kSoftwareTriggerBit) != 0;
    s.externalRouted = (routing & kExternalTriggerBit) != 0;
    return s;
}

uint32_t EventBuilder::Build(const EventSettings& settings, const SpectrumSource& source, RandomStream& random,
                             uint32_t triggerIndex, uint64_t timestampTicks, bool pileUp, uint32_t* out) {
    const uint32_t fullScale = SpectrumSource::kFullScale >> settings.shift;
    uint32_t at = kHeaderWords;
    uint64_t bits = 0;
    bool spareBits = false;
    for (uint32_t p = 0; p < 4; ++p) {
        if (!(settings.presentBits & 1u << 2 * p)) continue;
        uint32_t* header = out + at++;
        uint32_t mask = 0;
        uint32_t pending = 0;
        bool half = false;
        for (uint32_t enabled = settings.channelMask[p]; enabled != 0; enabled &= enabled - 1) {
            const uint32_t k = static_cast<uint32_t>(std::countr_zero(enabled));
            // One 64-bit draw serves two channels.
            if (!spareBits) bits = random.Next();
            const uint32_t height = source.Draw(16 * p + k, static_cast<uint32_t>(spareBits ? bits >> 32 : bits));
            spareBits = !spareBits;
            const bool saturated = height > SpectrumSource::kFullScale;
            if (settings.zeroSuppression && !saturated && height < settings.threshold[2 * p + k / 8]) continue;
            const uint32_t value = saturated ? (kSaturated | fullScale) : height >> settings.shift;
            mask |= 1u << k;
            if (half) {
                out[at++] = pending | value << 16;
            } else {
                pending = value;
            }
            half = !half;
        }
        if (half) out[at++] = pending;
        *header = mask | (pileUp ? kPileUp : 0);
    }
    out[0] = at | kHeaderMark;
    out[1] = settings.presentBits | static_cast<uint32_t>((timestampTicks >> 32) & 0xFFFF) << 8;
    out[2] = triggerIndex & 0xFFFFFF;
    out[3] = static_cast<uint32_t>(timestampTicks);
    return at;
}

}  // namespace drelm::emu

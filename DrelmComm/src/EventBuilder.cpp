#include "EventBuilder.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "CalibrationTables.h"
#include "FactoryTables.h"

namespace drelm::emu {
namespace {

constexpr uint32_t kSlidingScale = 1u << 16;
constexpr uint32_t kZeroSuppression = 1u << 17;
constexpr uint32_t kPolarity = 1u << 18;
constexpr uint32_t kInputRange = 1u << 19;
constexpr uint32_t kResolutionBits = 0x7;
constexpr uint32_t kMaxResolutionCode = 4;
constexpr uint32_t kSoftwareTriggerBit = 1u << 31;
constexpr uint32_t kExternalTriggerBit = 1u << 30;
constexpr uint64_t kGateUnitNs = 16;
constexpr uint32_t kSaturated = 0x8000;
constexpr uint32_t kPeakSeen = 0x4000;
constexpr uint32_t kPileUp = 1u << 31;
constexpr uint32_t kMidScale = 0x8000;
// DC-offset DAC units per amplitude unit.
constexpr int32_t kDacPerUnit = 16;

// Word 1 status bits (the odd bits beside the block-present bits).
constexpr uint32_t kBySoftware = 1u << 1;
constexpr uint32_t kByExternal = 1u << 3;
constexpr uint32_t kEventPileUp = 1u << 5;
constexpr uint32_t kMemoryHalfFull = 1u << 7;

// Where a group's baseline sits: the pedestal, moved by the DC offset that
// serves the board's polarity (POS half raises it below mid-scale, NEG half
// above), as a DAC trims the baseline of the signal before the converter.
double Baseline(const EventSettings& s, const BoardTraits& board, uint32_t group) {
    const uint32_t word = s.dcOffset[group];
    const int32_t dac = static_cast<int32_t>(s.positive ? word >> 16 : word & 0xFFFF);
    const int32_t shift = s.positive ? (static_cast<int32_t>(kMidScale) - dac) : (dac - static_cast<int32_t>(kMidScale));
    return static_cast<double>(board.pedestal) + static_cast<double>(shift) / kDacPerUnit;
}

// 32 random bits at a time, one 64-bit draw serving two.
class Bits {
public:
    explicit Bits(RandomStream& random) : random_(random) {}
    uint32_t Next() {
        spare_ = !spare_;
        if (spare_) {
            bits_ = random_.Next();
            return static_cast<uint32_t>(bits_);
        }
        return static_cast<uint32_t>(bits_ >> 32);
    }

private:
    RandomStream& random_;
    uint64_t bits_ = 0;
    bool spare_ = false;
};

// The blocks a second pulse reaches: each present block by an even chance,
// at least one, so that any block may be the only one to pile up.
uint32_t PileUpBlocks(uint32_t presentBits, uint32_t random) {
    uint32_t present = 0;
    for (uint32_t p = 0; p < 4; ++p)
        if (presentBits & 1u << 2 * p) present |= 1u << p;
    if (present == 0) return 0;
    const uint32_t reached = present & random;
    if (reached != 0) return reached;
    uint32_t pick = (random >> 8) % static_cast<uint32_t>(std::popcount(present));
    for (uint32_t p = 0; p < 4; ++p) {
        if (!(present & 1u << p)) continue;
        if (pick-- == 0) return 1u << p;
    }
    return 0;
}

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
    for (uint32_t g = 0; g < groups; ++g) {
        s.threshold[g] = static_cast<uint16_t>(registers.Stored(reg::kGroupBase | g << 8 | reg::kGroupZsThreshold));
        s.dcOffset[g] = registers.Stored(reg::kGroupBase | g << 8 | reg::kGroupDcOffset);
    }
    const uint32_t config = registers.Stored(reg::kChannelConfig);
    s.zeroSuppression = (config & kZeroSuppression) != 0;
    s.slidingScale = (config & kSlidingScale) != 0;
    s.positive = (config & kPolarity) != 0;
    s.smallRange = (config & kInputRange) != 0;
    s.shift = std::min(config & kResolutionBits, kMaxResolutionCode);
    s.gateNs = uint64_t{registers.Stored(reg::kRecordLength)} * kGateUnitNs;
    const uint32_t routing = registers.Stored(reg::kTriggerMask1);
    s.softwareRouted = (routing & kSoftwareTriggerBit) != 0;
    s.externalRouted = (routing & kExternalTriggerBit) != 0;
    return s;
}

BoardTraits BoardTraits::From(const BoardConfig& config) {
    BoardTraits t;
    t.pedestal = std::min<uint32_t>(config.pedestal, SpectrumSource::kFullScale);
    t.positivePulses = config.positivePulses != 0;
    t.statusBits = config.statusBits != 0;
    t.boardId = config.serialNumber & 0xFF;
    return t;
}

uint32_t EventBuilder::Build(const EventSettings& settings, const BoardTraits& board, const SpectrumSource& source,
                             RandomStream& random, const TriggerInfo& trigger, uint32_t* out, bool* pileUp) {
    const uint32_t fullScale = SpectrumSource::kFullScale >> settings.shift;
    const bool seesPulses = settings.positive == board.positivePulses;
    const double rangeGain = settings.smallRange ? 2.0 : 1.0;
    const uint32_t step = trigger.eventNumber % kSlidingSteps;
    const int sweep = static_cast<int>((trigger.eventNumber / kSlidingSteps) & 1);
    const int sign = settings.positive ? 1 : 0;
    Bits bits(random);
    const uint32_t pileUpBlocks =
        trigger.pileUp && seesPulses ? PileUpBlocks(settings.presentBits, bits.Next()) : 0;

    std::array<double, reg::kMaxGroups> baseline;
    for (uint32_t g = 0; g < reg::kMaxGroups; ++g) baseline[g] = Baseline(settings, board, g);

    uint32_t at = kHeaderWords;
    bool eventPileUp = false;
    for (uint32_t p = 0; p < 4; ++p) {
        if (!(settings.presentBits & 1u << 2 * p)) continue;
        uint32_t* header = out + at++;
        uint32_t mask = 0;
        uint32_t pending = 0;
        bool half = false;
        bool blockPileUp = false;
        for (uint32_t enabled = settings.channelMask[p]; enabled != 0; enabled &= enabled - 1) {
            const uint32_t k = static_cast<uint32_t>(std::countr_zero(enabled));
            const uint32_t channel = 16 * p + k;
            const uint32_t group = 2 * p + k / 8;
            const SpectrumSource::Sample first = source.Draw(channel, bits.Next());
            double value = baseline[group] + first.noise;
            bool peak = false;
            if (seesPulses && first.hit) {
                value += first.height * rangeGain;
                peak = true;
            }
            if (pileUpBlocks & 1u << p) {
                const SpectrumSource::Sample second = source.Draw(channel, bits.Next());
                if (second.hit) {
                    value += second.height * rangeGain;
                    peak = true;
                    blockPileUp = true;
                }
            }
            if (settings.slidingScale) {
                const int ch = static_cast<int>(channel);
                const int entry = static_cast<int>(step);
                const int loaded = settings.calibration ? settings.calibration->Entry(sign, sweep, ch, entry) : 0;
                value += FactoryCalibration(sign, sweep, ch, entry) - loaded;
            }
            const double rounded = std::nearbyint(std::max(value, 0.0));
            const bool saturated = rounded > SpectrumSource::kFullScale;
            const uint32_t amplitude = saturated ? SpectrumSource::kFullScale + 1 : static_cast<uint32_t>(rounded);
            if (settings.zeroSuppression && !saturated && amplitude < settings.threshold[group]) continue;
            uint32_t word = saturated ? (kSaturated | fullScale) : amplitude >> settings.shift;
            if (board.statusBits && peak) word |= kPeakSeen;
            mask |= 1u << k;
            if (half) {
                out[at++] = pending | word << 16;
            } else {
                pending = word;
            }
            half = !half;
        }
        if (half) out[at++] = pending;
        eventPileUp = eventPileUp || blockPileUp;
        uint32_t head = mask | (blockPileUp ? kPileUp : 0);
        if (board.statusBits) head |= step << 16 | static_cast<uint32_t>(sweep) << 28 | p << 29;
        *header = head;
    }
    WriteHeader(settings, board, trigger, eventPileUp, at, out);
    if (pileUp) *pileUp = eventPileUp;
    return at;
}

void EventBuilder::WriteHeader(const EventSettings& settings, const BoardTraits& board, const TriggerInfo& trigger,
                               bool pileUp, uint32_t size, uint32_t* out) {
    uint32_t status = 0;
    if (board.statusBits) {
        status = (trigger.software ? kBySoftware : kByExternal) | (pileUp ? kEventPileUp : 0) |
                 (trigger.memoryHalfFull ? kMemoryHalfFull : 0) | board.boardId << 24;
    }
    out[0] = size | kHeaderMark;
    out[1] = settings.presentBits | static_cast<uint32_t>((trigger.timestampTicks >> 32) & 0xFFFF) << 8 | status;
    out[2] = (trigger.triggerIndex & 0xFFFFFF) | (board.statusBits ? (trigger.eventNumber & 0xFF) << 24 : 0);
    out[3] = static_cast<uint32_t>(trigger.timestampTicks);
}

}  // namespace drelm::emu

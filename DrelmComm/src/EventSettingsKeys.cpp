#include "EventSettingsKeys.h"

#include <charconv>
#include <cstdint>

namespace drelm::emu {
namespace {

// Decimal, or hexadecimal with 0x; the whole text, within [min, max].
bool ParseBounded(const std::string& text, uint64_t min, uint64_t max, uint32_t& out) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    uint64_t value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value, hex ? 16 : 10);
    if (error != std::errc() || stop != end || begin == end || value < min || value > max) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

constexpr uint64_t kU32 = 0xFFFFFFFFu;

struct NumberKey {
    const char* name;
    uint32_t BoardConfig::*field;
    uint64_t min;
    uint64_t max;
};

const NumberKey kNumberKeys[] = {
    {"trigger_rate_hz", &BoardConfig::triggerRateHz, 0, 100000000},
    {"conversion_time_ns", &BoardConfig::conversionTimeNs, 0, 1000000000},
    {"seed", &BoardConfig::seed, 0, kU32},
    {"photopeak_kev", &BoardConfig::photopeakKeV, 1, 100000},
    {"gain_per_mev", &BoardConfig::gainPerMeV, 1, 10000000},
    {"resolution_permille", &BoardConfig::resolutionPermille, 0, 1000},
    {"photopeak_percent", &BoardConfig::photopeakPercent, 0, 100},
    {"background_percent", &BoardConfig::backgroundPercent, 0, 100},
    {"background_slope_kev", &BoardConfig::backgroundSlopeKeV, 1, 100000},
    {"hit_percent", &BoardConfig::hitPercent, 0, 100},
    {"pedestal", &BoardConfig::pedestal, 0, 16380},
    {"gain_spread_permille", &BoardConfig::gainSpreadPermille, 0, 500},
    {"saturation_permille", &BoardConfig::saturationPermille, 0, 1000},
    {"status_bits", &BoardConfig::statusBits, 0, 1},
    {"spare_word_percent", &BoardConfig::spareWordPercent, 0, 100},
    {"event_memory_events", &BoardConfig::eventMemoryEvents, 1, 65536},
    {"event_pool", &BoardConfig::eventPool, 0, 65536},
};

std::string Range(const NumberKey& key) {
    return "expected a number from " + std::to_string(key.min) + " to " + std::to_string(key.max);
}

}  // namespace

std::optional<std::string> ApplyEventKey(BoardConfig& config, const std::string& name, const std::string& value) {
    for (const NumberKey& key : kNumberKeys) {
        if (name != key.name) continue;
        uint32_t number = 0;
        if (!ParseBounded(value, key.min, key.max, number)) return Range(key);
        config.*key.field = number;
        return std::string();
    }
    if (name == "link_latency_us" || name == "link_bandwidth_kb_s") {
        uint32_t number = 0;
        if (value == "unlimited") {
            number = 0;
        } else if (!ParseBounded(value, 0, 100000000, number)) {
            return std::string("expected a number from 0 to 100000000, or unlimited");
        }
        (name == "link_latency_us" ? config.linkLatencyUs : config.linkBandwidthKBps) = number;
        return std::string();
    }
    if (name == "pulse_polarity") {
        if (value != "positive" && value != "negative") return std::string("expected positive or negative");
        config.positivePulses = value == "positive" ? 1 : 0;
        return std::string();
    }
    if (name == "start_signal_us") {
        uint32_t number = 0;
        if (value == "never") {
            config.startSignalUs.reset();
        } else if (!ParseBounded(value, 0, 100000000, number)) {
            return std::string("expected a number from 0 to 100000000, or never");
        } else {
            config.startSignalUs = number;
        }
        return std::string();
    }
    if (name == "truth_file") {
        if (value.empty()) return std::string("expected a file path");
        for (char c : value)
            if (static_cast<unsigned char>(c) < 0x20) return std::string("the path has a control character");
        config.truthFile = value;
        return std::string();
    }
    return std::nullopt;
}

}  // namespace drelm::emu

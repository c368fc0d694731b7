#include "DeliveryLog.h"

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <iostream>


namespace drelm::emu {

DeliveryLog::DeliveryLog(std::string path, uint32_t channels)
    : path_(std::move(path)), channels_(std::min<uint32_t>(channels, kMaxChannels)) {}

void DeliveryLog::Start(uint64_t triggers, uint64_t lost) {
    transfers_ = bytes_ = events_ = 0;
    checksum_ = kFnvOffset;
    triggersAtStart_ = triggers;
    lostAtStart_ = lost;
    amplitudes_.fill(0);
    saturated_.fill(0);
}

void DeliveryLog::Delivered(const uint32_t* words, std::size_t count) {
    if (!Enabled()) return;
    for (std::size_t i = 0; i < count; ++i)
        for (int b = 0; b < 4; ++b) checksum_ = (checksum_ ^ ((words[i] >> 8 * b) & 0xFF)) * kFnvPrime;
    bytes_ += 4 * count;
}

// Walks the blocks of one event without reading past it: injected events
// need not be well formed.
void DeliveryLog::EventDelivered(const uint32_t* event, uint32_t size) {
    if (!Enabled()) return;
    ++events_;
    if (size < 4) return;
    uint32_t cursor = 4;
    for (uint32_t p = 0; p < 4; ++p) {
        if (!(event[1] & 1u << 2 * p)) continue;
        if (cursor >= size) return;
        const uint32_t mask = event[cursor] & 0xFFFF;
        uint32_t n = 0;
        for (uint32_t bits = mask; bits != 0; bits &= bits - 1, ++n) {
            const uint32_t word = cursor + 1 + n / 2;
            if (word >= size) return;
            const uint32_t channel = 16 * p + static_cast<uint32_t>(std::countr_zero(bits));
            const uint32_t amplitude = (event[word] >> (n % 2 ? 16 : 0)) & 0xFFFF;
            if (channel >= channels_) continue;
            ++amplitudes_[channel];
            if (amplitude & 0x8000) ++saturated_[channel];
        }
        cursor += 1 + (n + 1) / 2;
    }
}

std::string DeliveryLog::Format(uint64_t triggers, uint64_t lost) const {
    if (!Enabled()) return {};
    std::string text = "# DrelmComm emulator delivery log\n";
    char line[160];
    auto add = [&](int length) {
        if (length > 0) text.append(line, std::min<std::size_t>(static_cast<std::size_t>(length), sizeof line - 1));
    };
    add(std::snprintf(line, sizeof line, "transfers %" PRIu64 "\nbytes %" PRIu64 "\nchecksum 0x%016" PRIx64 "\n",
                      transfers_, bytes_, checksum_));
    add(std::snprintf(line, sizeof line,
                      "events %" PRIu64 "\ntriggers %" PRIu64 "\ntriggers_lost %" PRIu64 "\nchannels %u\n", events_,
                      triggers - triggersAtStart_, lost - lostAtStart_, channels_));
    for (uint32_t c = 0; c < channels_; ++c)
        add(std::snprintf(line, sizeof line, "channel %u amplitudes %" PRIu64 " saturated %" PRIu64 "\n", c,
                          amplitudes_[c], saturated_[c]));
    return text;
}

bool DeliveryLog::WriteFile(const std::string& path, const std::string& text) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) {
        std::cerr << "DrelmComm emulator: cannot write the delivery log " << path << '\n';
        return false;
    }
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !ok) {
        std::cerr << "DrelmComm emulator: cannot write the delivery log " << path << '\n';
        return false;
    }
    return true;
}

}  // namespace drelm::emu

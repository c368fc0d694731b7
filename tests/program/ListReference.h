// The list and histogram text as plain per-column formatted printing, the
// yardstick the fast writers are held to.
#pragma once

#include <cstdio>
#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "DaqConfig.h"
#include "DrelmTessaryLib.h"

namespace tessary::reference {

inline bool Enabled(const BoardSettings& board, int ch) { return (board.groupEnableMask[ch / 8] >> (ch % 8) & 1) != 0; }

inline std::string ListHeader(int channels) {
    char text[64];
    std::string line;
    std::snprintf(text, sizeof text, "%*s ", 14, "Trigger index"), line += text;
    std::snprintf(text, sizeof text, "%*s ", 20, "Timestamp"), line += text;
    for (int ch = 0; ch < channels; ++ch) std::snprintf(text, sizeof text, "%*s %*d", 7, "Ch.", 2, ch), line += text;
    return line + "\n\n";
}

inline std::string ListLine(const EventRecord& event, const BoardSettings& board) {
    char text[64];
    std::string line;
    std::snprintf(text, sizeof text, "%*u ", 14, event.triggerIndex), line += text;
    std::snprintf(text, sizeof text, "%*llu ", 20, static_cast<unsigned long long>(event.timestamp)), line += text;
    int word = 0;
    for (int ch = 0; ch < board.channelCount; ++ch) {
        if (ch % 16 == 0) word = 0;
        const EventBlock& block = event.blocks[ch / 16];
        if (!Enabled(board, ch))
            std::snprintf(text, sizeof text, "%*s", 10, "N/A");
        else if (block.channelMask >> (ch % 16) & 1)
            std::snprintf(text, sizeof text, "%*d", 10, static_cast<int>(block.amplitudes[word++]));
        else
            std::snprintf(text, sizeof text, "%*s", 10, " ZS");
        line += text;
    }
    return line + "\n";
}

inline std::string Histogram(const double* spectrum, int bins) {
    char text[64];
    std::string file;
    for (int b = 0; b < bins; ++b) {
        std::snprintf(text, sizeof text, "%*d\t", 7, b), file += text;
        std::snprintf(text, sizeof text, "%*llu\n", 12, static_cast<unsigned long long>(spectrum[b])), file += text;
    }
    return file;
}

// Events as the decoder leaves them, varied: extreme indices and time
// stamps, saturated and extreme words, blocks left out, and now and then a
// disabled channel flagged present.
class RandomEvents {
public:
    RandomEvents(const BoardSettings& board, std::size_t count, uint32_t seed) : events_(count), words_(count * 64) {
        std::mt19937 random(seed);
        auto draw = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
        uint16_t enabled[4] = {};
        for (int ch = 0; ch < board.channelCount && ch < 64; ++ch)
            if (Enabled(board, ch)) enabled[ch / 16] |= static_cast<uint16_t>(1u << (ch % 16));
        uint16_t* words = words_.data();
        for (std::size_t i = 0; i < count; ++i) {
            EventRecord& e = events_[i];
            e = EventRecord{};
            e.triggerIndex = i % 97 == 1 ? 0xFFFFFFFFu : i % 97 == 2 ? 0 : static_cast<uint32_t>(random()) & 0xFFFFFF;
            e.timestamp = i % 89 == 1 ? UINT64_MAX : (uint64_t{random()} << 16 ^ random()) & 0xFFFFFFFFFFFFull;
            for (int p = 0; p * 16 < board.channelCount && p < 4; ++p) {
                if (draw(8) == 0) continue;  // not carried
                uint16_t mask = static_cast<uint16_t>(random()) & enabled[p];
                if (draw(16) == 0) mask = static_cast<uint16_t>(mask | random());
                if (draw(12) == 0) mask = enabled[p];
                e.blocks[p].channelMask = mask;
                e.blocks[p].amplitudes = words;
                for (int k = 0; k < std::popcount(mask); ++k) {
                    const uint32_t kind = draw(10);
                    *words++ = static_cast<uint16_t>(kind == 0 ? 0x8000 | draw(0x4000) : kind == 1 ? 0xFFFF
                                                     : kind == 2 ? 0 : kind == 3 ? 0x8010 : draw(0x4000));
                }
            }
        }
    }
    const std::vector<EventRecord>& Events() const { return events_; }

private:
    std::vector<EventRecord> events_;
    std::vector<uint16_t> words_;
};

}  // namespace tessary::reference

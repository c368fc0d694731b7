// Boards that acquire: helpers to set a board up through its registers,
// start it, fire triggers and read what it delivered, and a decoder of the
// wire format written from the format's description, independent of the
// emulator's own code.
#pragma once

#include <bit>
#include <cstdint>
#include <map>
#include <vector>

#include "EmulatorFixture.h"

namespace emulator_test {

struct DecodedBlock {
    uint32_t header = 0;
    uint16_t channelMask = 0;
    bool pileUp = false;
    std::vector<uint16_t> amplitudes;  // in ascending channel order
    uint16_t lastUpperHalf = 0;        // upper half of the last word (odd counts: must be 0)
};

struct DecodedEvent {
    uint32_t word0 = 0;
    uint32_t word1 = 0;
    uint32_t word2 = 0;
    uint32_t size = 0;
    uint32_t presentBits = 0;  // word 1 bits 0, 2, 4, 6
    uint32_t triggerIndex = 0;
    uint64_t timestamp = 0;
    std::map<uint32_t, DecodedBlock> blocks;  // by block p
};

// Decodes whole events; fails the test when a block walk does not end
// exactly at the event's size or an event runs past the words. A last word
// 0xFFFFFFFF after an event is the transfer's spare word.
inline std::vector<DecodedEvent> Decode(const std::vector<uint32_t>& words) {
    std::vector<DecodedEvent> events;
    for (std::size_t at = 0; at < words.size();) {
        if (at + 1 == words.size() && !events.empty() && words[at] == 0xFFFFFFFFu) break;
        DecodedEvent e;
        e.word0 = words[at];
        e.size = words[at] & 0x0FFFFFFF;
        if (e.size < 4 || at + e.size > words.size()) {
            ADD_FAILURE() << "event at word " << at << " has size " << e.size;
            break;
        }
        const uint32_t* w = &words[at];
        e.presentBits = w[1] & 0x55;
        e.timestamp = uint64_t{(w[1] >> 8) & 0xFFFF} << 32 | w[3];
        e.triggerIndex = w[2] & 0xFFFFFF;
        e.word1 = w[1];
        e.word2 = w[2];
        uint32_t cursor = 4;
        for (uint32_t p = 0; p < 4; ++p) {
            if (!(w[1] & 1u << 2 * p)) continue;
            DecodedBlock b;
            b.header = w[cursor];
            b.channelMask = static_cast<uint16_t>(b.header & 0xFFFF);
            b.pileUp = (b.header >> 31) != 0;
            const uint32_t n = static_cast<uint32_t>(std::popcount(b.channelMask));
            for (uint32_t i = 0; i < n; ++i)
                b.amplitudes.push_back(static_cast<uint16_t>(w[cursor + 1 + i / 2] >> (i % 2 ? 16 : 0)));
            if (n % 2) b.lastUpperHalf = static_cast<uint16_t>(w[cursor + 1 + n / 2] >> 16);
            cursor += 1 + (n + 1) / 2;
            e.blocks[p] = b;
        }
        EXPECT_EQ(cursor, e.size) << "blocks fill the event exactly";
        events.push_back(e);
        at += e.size;
    }
    return events;
}

class EventsTest : public EmulatorTest {
protected:
    // A board that takes only software triggers, starts at once and has no
    // conversion dead time unless a test says otherwise; every channel sees
    // a pulse, none far over range, the ignored bits read 0 and transfers
    // carry no spare word (those have tests of their own).
    static BoardConfig Quiet() {
        BoardConfig config;
        config.triggerRateHz = 0;
        config.runLatencyUs = 0;
        config.conversionTimeNs = 0;
        config.hitPercent = 100;
        config.saturationPermille = 0;
        config.statusBits = 0;
        config.spareWordPercent = 0;
        return config;
    }

    // Opens USB `link` with `config`, enables blocks and channels, routes
    // both trigger sources to acquisition and lifts the events-per-transfer limit.
    static int32_t Prepare(const BoardConfig& config, uint32_t groupEnable = 0x55, uint32_t channelMask = 0xFF,
                           int32_t link = 0) {
        const int32_t h = OpenUsb(link, &config);
        Write(h, 0x8120, groupEnable);
        for (uint32_t g = 0; g < static_cast<uint32_t>(config.channels) / 8; ++g)
            Write(h, 0x10A8 | g << 8, channelMask);
        Write(h, 0x810C, 0xC0000000);
        Write(h, 0xEF1C, 0);
        return h;
    }
    static void Start(int32_t h) { Write(h, 0x8100, 4); }
    static void Stop(int32_t h) { Write(h, 0x8100, 0); }
    static void Trigger(int32_t h) { Write(h, 0x8108, 0); }

    // Every word the board holds, in block reads of at most `room` words.
    static std::vector<uint32_t> ReadAll(int32_t h, int32_t room = 1 << 16) {
        std::vector<uint32_t> all, buffer(static_cast<std::size_t>(room));
        for (int guard = 0; guard < 100000; ++guard) {
            int32_t moved = -1;
            const int32_t status = LinkBlockRead(h, 0, buffer.data(), room, &moved);
            EXPECT_TRUE(status == 0 || status == kEndOfTransfer) << status;
            if (moved > 0) all.insert(all.end(), buffer.begin(), buffer.begin() + moved);
            if (status != 0) break;
        }
        return all;
    }

    static std::pair<uint64_t, uint64_t> Counts(int32_t h) {
        uint64_t triggers = 0, lost = 0;
        EXPECT_TRUE(drelm::emu::TriggerCounts(h, &triggers, &lost));
        return {triggers, lost};
    }
};

}  // namespace emulator_test

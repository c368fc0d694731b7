// What a board delivered over its link since the link was opened, kept
// only when the board's description names a truth file, and written there
// (replacing it) when the link is closed. Tests of programs compare their
// files and statistics with it. Format (README "Delivery log"):
//
//   # DrelmComm emulator delivery log
//   transfers <block reads answered by the board>
//   bytes <bytes delivered>
//   checksum 0x<FNV-1a 64 of those bytes, in delivery order, 16 hex digits>
//   events <events delivered>
//   triggers <triggers counted>
//   triggers_lost <triggers that made no event>
//   channels <n>
//   channel <c> amplitudes <delivered amplitudes> saturated <of them with bit 15>
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace drelm::emu {

class DeliveryLog {
public:
    static constexpr uint64_t kFnvOffset = 14695981039346656037ull;
    static constexpr uint64_t kFnvPrime = 1099511628211ull;
    static constexpr std::size_t kMaxChannels = 64;

    DeliveryLog(std::string path, uint32_t channels);

    bool Enabled() const { return !path_.empty(); }

    // The link was opened: counting starts afresh.
    void Start(uint64_t triggers, uint64_t lost);
    // One block read answered by the board (Delivered follows if it moved words).
    void Transfer() { ++transfers_; }
    // Words leaving the board (parts of events, spare words), in order.
    void Delivered(const uint32_t* words, std::size_t count);
    // An event whose last word has just left the board, in its wire format.
    void EventDelivered(const uint32_t* event, uint32_t size);
    // The text of the log when the link is closed; empty when no log is kept.
    // Formatted under the board's lock; written by WriteFile after it is
    // released, so that a slow file stalls no other call.
    std::string Format(uint64_t triggers, uint64_t lost) const;
    const std::string& Path() const { return path_; }
    // Writes (replaces) the file. False (with a message on stderr) when it
    // cannot be written.
    static bool WriteFile(const std::string& path, const std::string& text);

private:
    std::string path_;
    uint32_t channels_;
    uint64_t transfers_ = 0;
    uint64_t bytes_ = 0;
    uint64_t checksum_ = kFnvOffset;
    uint64_t events_ = 0;
    uint64_t triggersAtStart_ = 0;
    uint64_t lostAtStart_ = 0;
    std::array<uint64_t, kMaxChannels> amplitudes_{};
    std::array<uint64_t, kMaxChannels> saturated_{};
};

}  // namespace drelm::emu

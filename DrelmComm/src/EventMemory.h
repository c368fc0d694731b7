// The board's event memory: whole events, in the order acquired, bounded
// like the board's memory. Word 0 bits 0-27 of each event give its size.
// The words lie contiguously, so that a transfer is one copy and an event
// is built in place.
//
// A block read takes words as a stream: the last event of a read may leave
// only its first words, the rest following with the next read, as the
// board's output buffer hands out whatever fits the host's room.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace drelm::emu {

class DeliveryLog;

class EventMemory {
public:
    static constexpr std::size_t kDefaultEvents = 1024;
    static constexpr std::size_t kMaxWords = std::size_t{1} << 22;  // 16 MiB

    explicit EventMemory(std::size_t maxEvents = kDefaultEvents) : maxEvents_(maxEvents) {}

    // All or nothing: false (and nothing stored) when the words do not split
    // into whole events of non-zero size or do not fit beside what is held.
    bool Append(const std::vector<uint32_t>& words);

    // Room for one event of at most maxWords words, or null when the memory
    // is full; Commit stores the event written there (size <= maxWords).
    uint32_t* Reserve(std::size_t maxWords);
    void Commit(uint32_t size);
    bool Full(std::size_t eventWords) const {
        return sizes_.size() >= maxEvents_ || Words() + eventWords > kMaxWords;
    }
    // At least half of the event places taken.
    bool HalfFull() const { return 2 * sizes_.size() >= maxEvents_; }

    // Moves words into dest (any alignment, host byte order): at most
    // maxWords words, and events only up to the one that completes
    // maxEvents (0: no event limit). The last event may be left part-way.
    // Returns the words moved and counts the events completed; `log` (if
    // any) sees the words and each completed event.
    std::size_t Take(unsigned char* dest, std::size_t maxWords, std::size_t maxEvents, std::size_t& eventsCompleted,
                     DeliveryLog* log = nullptr);

    bool Empty() const { return sizes_.empty(); }
    // Words still to deliver of the next event, 0 when empty.
    uint32_t NextEventSize() const { return sizes_.empty() ? 0 : sizes_.front() - delivered_; }
    std::size_t Events() const { return sizes_.size(); }
    std::size_t Words() const { return tail_ - head_; }
    void Clear();

    static uint32_t EventSize(uint32_t headerWord) { return headerWord & 0x0FFFFFFF; }

private:
    void MakeRoom(std::size_t words);

    std::size_t maxEvents_;
    std::vector<uint32_t> words_;  // held words are [head_, tail_); head_ starts the first event
    std::size_t head_ = 0;
    std::size_t tail_ = 0;
    uint32_t delivered_ = 0;       // words of the first event already taken
    std::deque<uint32_t> sizes_;
};

}  // namespace drelm::emu

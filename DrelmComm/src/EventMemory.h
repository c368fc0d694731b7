// The board's event memory: whole events, in the order acquired, bounded
// like the board's memory. Word 0 bits 0-27 of each event give its size.
// The words lie contiguously, so that a transfer is one copy and an event
// is built in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace drelm::emu {

class DeliveryLog;

class EventMemory {
public:
    static constexpr std::size_t kMaxEvents = 1024;
    static constexpr std::size_t kMaxWords = std::size_t{1} << 22;  // 16 MiB

    // All or nothing: false (and nothing stored) when the words do not split
    // into whole events of non-zero size or do not fit beside what is held.
    bool Append(const std::vector<uint32_t>& words);

    // Room for one event of at most maxWords words, or null when the memory
    // is full; Commit stores the event written there (size <= maxWords).
    uint32_t* Reserve(std::size_t maxWords);
    void Commit(uint32_t size);
    bool Full(std::size_t eventWords) const {
        return sizes_.size() >= kMaxEvents || Words() + eventWords > kMaxWords;
    }

    // Moves whole events into dest (any alignment, host byte order): at most
    // maxWords words and at most maxEvents events (0: no event limit).
    // Returns the words moved; `log` (if any) sees them before they leave.
    std::size_t Take(unsigned char* dest, std::size_t maxWords, std::size_t maxEvents, std::size_t& eventsMoved,
                     DeliveryLog* log = nullptr);

    bool Empty() const { return sizes_.empty(); }
    uint32_t NextEventSize() const { return sizes_.empty() ? 0 : sizes_.front(); }
    std::size_t Events() const { return sizes_.size(); }
    std::size_t Words() const { return tail_ - head_; }
    void Clear();

    static uint32_t EventSize(uint32_t headerWord) { return headerWord & 0x0FFFFFFF; }

private:
    void MakeRoom(std::size_t words);

    std::vector<uint32_t> words_;  // held words are [head_, tail_)
    std::size_t head_ = 0;
    std::size_t tail_ = 0;
    std::deque<uint32_t> sizes_;
};

}  // namespace drelm::emu

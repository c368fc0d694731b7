// The board's event memory: whole events, in the order acquired, bounded
// like the board's memory. Word 0 bits 0-27 of each event give its size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace drelm::emu {

class EventMemory {
public:
    static constexpr std::size_t kMaxEvents = 1024;
    static constexpr std::size_t kMaxWords = std::size_t{1} << 22;  // 16 MiB

    // All or nothing: false (and nothing stored) when the words do not split
    // into whole events of non-zero size or do not fit beside what is held.
    bool Append(const std::vector<uint32_t>& words);

    // Moves whole events into dest (any alignment, host byte order): at most maxWords words and at most
    // maxEvents events (0: no event limit). Returns the words moved.
    std::size_t Take(unsigned char* dest, std::size_t maxWords, std::size_t maxEvents, std::size_t& eventsMoved);

    bool Empty() const { return sizes_.empty(); }
    uint32_t NextEventSize() const { return sizes_.empty() ? 0 : sizes_.front(); }
    std::size_t Events() const { return sizes_.size(); }
    void Clear();

    static uint32_t EventSize(uint32_t headerWord) { return headerWord & 0x0FFFFFFF; }

private:
    std::deque<uint32_t> words_;
    std::deque<uint32_t> sizes_;
};

}  // namespace drelm::emu

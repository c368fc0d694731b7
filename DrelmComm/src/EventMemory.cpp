#include "EventMemory.h"

#include <cstring>

namespace drelm::emu {

bool EventMemory::Append(const std::vector<uint32_t>& words) {
    std::vector<uint32_t> sizes;
    for (std::size_t at = 0; at < words.size();) {
        const uint32_t size = EventSize(words[at]);
        if (size == 0 || size > words.size() - at) return false;
        sizes.push_back(size);
        at += size;
    }
    if (sizes_.size() + sizes.size() > kMaxEvents || words_.size() + words.size() > kMaxWords) return false;
    words_.insert(words_.end(), words.begin(), words.end());
    sizes_.insert(sizes_.end(), sizes.begin(), sizes.end());
    return true;
}

std::size_t EventMemory::Take(unsigned char* dest, std::size_t maxWords, std::size_t maxEvents, std::size_t& eventsMoved) {
    std::size_t moved = 0;
    eventsMoved = 0;
    while (!sizes_.empty() && (maxEvents == 0 || eventsMoved < maxEvents) && sizes_.front() <= maxWords - moved) {
        const std::size_t size = sizes_.front();
        auto word = words_.begin();
        for (std::size_t i = 0; i < size; ++i, ++word)
            std::memcpy(dest + (moved + i) * sizeof(uint32_t), &*word, sizeof(uint32_t));
        words_.erase(words_.begin(), words_.begin() + static_cast<std::ptrdiff_t>(size));
        sizes_.pop_front();
        moved += size;
        ++eventsMoved;
    }
    return moved;
}

void EventMemory::Clear() {
    words_.clear();
    sizes_.clear();
}

}  // namespace drelm::emu

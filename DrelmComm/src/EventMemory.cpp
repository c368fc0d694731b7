#include "EventMemory.h"

#include <algorithm>
#include <cstring>

#include "DeliveryLog.h"

namespace drelm::emu {

void EventMemory::MakeRoom(std::size_t words) {
    if (tail_ + words <= words_.size()) return;
    // Move what is held to the front before growing.
    if (head_ > 0) {
        std::copy(words_.begin() + static_cast<std::ptrdiff_t>(head_),
                  words_.begin() + static_cast<std::ptrdiff_t>(tail_), words_.begin());
        tail_ -= head_;
        head_ = 0;
    }
    if (tail_ + words > words_.size()) words_.resize(std::max(2 * words_.size(), tail_ + words + 1024));
}

uint32_t* EventMemory::Reserve(std::size_t maxWords) {
    if (Full(maxWords)) return nullptr;
    MakeRoom(maxWords);
    return words_.data() + tail_;
}

void EventMemory::Commit(uint32_t size) {
    tail_ += size;
    sizes_.push_back(size);
}

bool EventMemory::Append(const std::vector<uint32_t>& words) {
    std::vector<uint32_t> sizes;
    for (std::size_t at = 0; at < words.size();) {
        const uint32_t size = EventSize(words[at]);
        if (size == 0 || size > words.size() - at) return false;
        sizes.push_back(size);
        at += size;
    }
    if (sizes_.size() + sizes.size() > maxEvents_ || Words() + words.size() > kMaxWords) return false;
    if (words.empty()) return true;
    MakeRoom(words.size());
    std::copy(words.begin(), words.end(), words_.begin() + static_cast<std::ptrdiff_t>(tail_));
    tail_ += words.size();
    sizes_.insert(sizes_.end(), sizes.begin(), sizes.end());
    return true;
}

std::size_t EventMemory::Take(unsigned char* dest, std::size_t maxWords, std::size_t maxEvents,
                              std::size_t& eventsCompleted, DeliveryLog* log) {
    std::size_t moved = 0;
    eventsCompleted = 0;
    while (moved < maxWords && !sizes_.empty() && (maxEvents == 0 || eventsCompleted < maxEvents)) {
        const uint32_t size = sizes_.front();
        const std::size_t part = std::min<std::size_t>(size - delivered_, maxWords - moved);
        const uint32_t* from = words_.data() + head_ + delivered_;
        if (log) log->Delivered(from, part);
        std::memcpy(dest + moved * sizeof(uint32_t), from, part * sizeof(uint32_t));
        moved += part;
        delivered_ += static_cast<uint32_t>(part);
        if (delivered_ < size) break;  // the room ends inside this event
        if (log) log->EventDelivered(words_.data() + head_, size);
        head_ += size;
        delivered_ = 0;
        sizes_.pop_front();
        ++eventsCompleted;
    }
    if (head_ == tail_) head_ = tail_ = 0;
    return moved;
}

void EventMemory::Clear() {
    head_ = tail_ = 0;
    delivered_ = 0;
    sizes_.clear();
}

}  // namespace drelm::emu

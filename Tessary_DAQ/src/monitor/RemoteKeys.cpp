#include "RemoteKeys.h"

#include <chrono>

namespace tessary::monitor {

RemoteKeys::Sent RemoteKeys::Send(int key, int timeoutMs) {
    std::unique_lock lock(mutex_);
    if (closed_) return Sent::Closed;
    if (waiting_.size() >= kMaxWaiting) return Sent::Busy;
    waiting_.push_back(key);
    const uint64_t mine = ++queued_;
    const bool done = handled_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                        [&] { return closed_ || handled_count_ >= mine; });
    if (handled_count_ >= mine) return Sent::Handled;
    return done ? Sent::Closed : Sent::TimedOut;
}

bool RemoteKeys::Waiting() const {
    std::lock_guard lock(mutex_);
    return !waiting_.empty();
}

int RemoteKeys::Take() {
    std::lock_guard lock(mutex_);
    if (waiting_.empty()) return platform::kUnknownKey;
    const int key = waiting_.front();
    waiting_.pop_front();
    ++taken_;
    return key;
}

void RemoteKeys::HandledTaken() {
    {
        std::lock_guard lock(mutex_);
        if (handled_count_ == taken_) return;
        handled_count_ = taken_;
    }
    handled_.notify_all();
}

void RemoteKeys::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        waiting_.clear();
    }
    handled_.notify_all();
}

int MergedKeys::ReadKey() {
    if (remote_ && remote_->Waiting()) return remote_->Take();
    return local_.ReadKey();
}

}  // namespace tessary::monitor

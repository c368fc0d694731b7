// Keys sent from the monitor's page or API. They enter the same key stream
// as the console's, so that a start from the page is exactly the s key; the
// sender waits until the loop has handled its key and published the state
// it led to.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "Console.h"

namespace tessary::monitor {

class RemoteKeys {
public:
    // Keys waiting at most; a sender beyond them is refused.
    static constexpr size_t kMaxWaiting = 16;
    enum class Sent { Handled, Busy, TimedOut, Closed };

    // A monitor thread: queues `key` and waits up to timeoutMs until the
    // loop has handled it.
    Sent Send(int key, int timeoutMs);

    // The run loop: a key is waiting; the next one (marked taken).
    bool Waiting() const;
    int Take();
    // The loop has acted on every key it took and published the outcome.
    void HandledTaken();
    // No key will be handled any more: senders return Closed.
    void Close();

private:
    mutable std::mutex mutex_;
    std::condition_variable handled_;
    std::deque<int> waiting_;
    uint64_t queued_ = 0;   // keys ever queued
    uint64_t taken_ = 0;    // of them taken by the loop
    uint64_t handled_count_ = 0;
    bool closed_ = false;
};

// The console's keys with the remote ones first.
class MergedKeys : public platform::KeyInput {
public:
    MergedKeys(platform::KeyInput& local, RemoteKeys* remote) : local_(local), remote_(remote) {}
    bool KeyWaiting() override { return (remote_ && remote_->Waiting()) || local_.KeyWaiting(); }
    int ReadKey() override;

private:
    platform::KeyInput& local_;
    RemoteKeys* remote_;
};

}  // namespace tessary::monitor

// Writes to output files on a thread of their own, so that the readout
// never waits on the disk: a write that blocks (the kernel throttling a
// writer that outruns the disk, a slow network share) holds up only this
// thread while the run loop goes on reading, accounting and filling the
// next buffer. Each file has at most one write in flight, tracked by its
// Slot; the writes of all files are done in the order they were handed in,
// one at a time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace tessary {

class WriteBehind {
public:
    // A file's write in flight. `error` is 0, or the errno of the first of
    // its writes that failed; it stays set until the file clears it.
    struct Slot {
        std::atomic<bool> busy{false};
        std::atomic<int> error{0};
        // The file writes direct; set by its owner while the slot is idle,
        // cleared by the writer when the file system refuses a direct write.
        bool direct = false;
    };

    // `bytes` from `data` at file `offset`. The first `directBytes` (a
    // multiple of the direct alignment, at an aligned offset) go direct when
    // the slot's file does; the rest, a part block, through the cache.
    struct Write {
        int fd;
        const char* data;
        std::size_t bytes;
        uint64_t offset;
        std::size_t directBytes;
    };

    // Work other than a plain write, done on the thread in its turn: true
    // when it succeeded, else false with errno telling why.
    struct Task {
        bool (*run)(void* context);
        void* context;
    };

    WriteBehind() = default;
    ~WriteBehind() { Stop(); }
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Takes room for `slots` writes in flight and starts the thread. False
    // when either is not to be had; the owner then writes on its own thread.
    bool Start(std::size_t slots);
    // Waits for the writes handed in, then ends the thread. Safe to call
    // more than once.
    void Stop();
    bool Running() const { return thread_.joinable(); }

    // Hands in a write, whose data must stay untouched until Wait(slot)
    // returns. The slot must be idle (waited for). A write to a slot with an
    // error is not done: the file is a whole prefix of what it was given.
    void Submit(Slot& slot, const Write& write);
    // The same for a task: done unless the slot has an error.
    void Submit(Slot& slot, const Task& task);
    // Returns once the slot's write is done.
    void Wait(Slot& slot);

private:
    struct Job {
        Slot* slot;
        Write write;
        Task task;  // run null: the write
    };
    void Run();
    void Enqueue(const Job& job);
    static bool Perform(Slot& slot, const Write& write);

    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::unique_ptr<Job[]> jobs_;
    std::size_t capacity_ = 0, head_ = 0, count_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tessary

#include "WriteBehind.h"

#include <cerrno>
#include <new>
#include <system_error>

#include "OutputFile.h"

namespace tessary {

bool WriteBehind::Start(std::size_t slots) {
    Stop();
    if (slots == 0) return false;
    jobs_.reset(new (std::nothrow) Job[slots]);
    if (!jobs_) return false;
    capacity_ = slots;
    head_ = count_ = 0;
    stopping_ = false;
    try {
        thread_ = std::thread(&WriteBehind::Run, this);
    } catch (const std::system_error&) {
        jobs_.reset();
        return false;
    }
    return true;
}

void WriteBehind::Stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_one();
    thread_.join();
    jobs_.reset();
    capacity_ = 0;
}

void WriteBehind::Submit(Slot& slot, const Write& write) { Enqueue({&slot, write, {nullptr, nullptr}}); }

void WriteBehind::Submit(Slot& slot, const Task& task) { Enqueue({&slot, {-1, nullptr, 0, 0, 0}, task}); }

void WriteBehind::Enqueue(const Job& job) {
    Slot& slot = *job.slot;
    {
        std::unique_lock lock(mutex_);
        // Each slot has one write at most and the room is one per slot, so
        // this waits only when a caller shares out more slots than it took.
        done_.wait(lock, [&] { return count_ < capacity_; });
        slot.busy.store(true, std::memory_order_relaxed);
        jobs_[(head_ + count_) % capacity_] = job;
        ++count_;
    }
    work_.notify_one();
}

void WriteBehind::Wait(Slot& slot) {
    if (!slot.busy.load(std::memory_order_acquire)) return;
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return !slot.busy.load(std::memory_order_relaxed); });
}

bool WriteBehind::Perform(Slot& slot, const Write& w) {
    std::size_t done = 0;
    if (slot.direct && w.directBytes > 0) {
        if (platform::WriteFullyAt(w.fd, w.data, w.directBytes, w.offset)) {
            done = w.directBytes;
        } else {
            // Refused (EINVAL: the file system wants another alignment, or a
            // size limit cut the write short of a block): the file goes on
            // through the cache, which writes any length, or fails for its
            // own reason.
            if (errno != EINVAL || !platform::SetWritesDirect(w.fd, false)) return false;
            slot.direct = false;
        }
    }
    if (done == w.bytes) return true;
    // The part block at the end goes through the cache; the owner writes it
    // again, direct, as the start of its next write.
    if (slot.direct && !platform::SetWritesDirect(w.fd, false)) return false;
    const bool written = platform::WriteFullyAt(w.fd, w.data + done, w.bytes - done, w.offset + done);
    const int error = errno;
    if (slot.direct && !platform::SetWritesDirect(w.fd, true)) slot.direct = false;
    errno = error;
    return written;
}

void WriteBehind::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [&] { return count_ > 0 || stopping_; });
        if (count_ == 0) return;  // stopping, and every write done
        const Job job = jobs_[head_];
        lock.unlock();
        errno = 0;
        if (job.slot->error.load(std::memory_order_relaxed) == 0 &&
            !(job.task.run ? job.task.run(job.task.context) : Perform(*job.slot, job.write)))
            job.slot->error.store(errno != 0 ? errno : EIO, std::memory_order_relaxed);
        lock.lock();
        head_ = (head_ + 1) % capacity_;
        --count_;
        job.slot->busy.store(false, std::memory_order_release);
        done_.notify_all();
    }
}

}  // namespace tessary

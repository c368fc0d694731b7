#include "AccountingThread.h"

#include <system_error>

namespace tessary {

bool AccountingThread::Start(Work work, void* context) {
    Stop();
    work_ = work;
    context_ = context;
    stopping_ = pending_ = false;
    try {
        thread_ = std::thread(&AccountingThread::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void AccountingThread::Stop() {
    if (!thread_.joinable()) return;
    Wait();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    handed_.notify_one();
    thread_.join();
}

void AccountingThread::Submit(const Batch& batch) {
    if (!thread_.joinable()) {
        if (work_) work_(context_, batch);
        return;
    }
    {
        std::unique_lock lock(mutex_);
        if (pending_ && inHand_.board != batch.board) {
            lock.unlock();
            work_(context_, batch);
            return;
        }
        done_.wait(lock, [&] { return !pending_; });
        batch_ = batch;
        pending_ = true;
    }
    handed_.notify_one();
    inHand_ = batch;
}

void AccountingThread::Wait() {
    if (inHand_.board < 0) return;
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return !pending_; });
    inHand_ = Batch{};
}

void AccountingThread::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        handed_.wait(lock, [&] { return pending_ || stopping_; });
        if (!pending_) return;
        const Batch batch = batch_;
        lock.unlock();
        work_(context_, batch);
        lock.lock();
        pending_ = false;
        done_.notify_one();
    }
}

}  // namespace tessary

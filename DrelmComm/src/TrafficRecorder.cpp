#include "TrafficRecorder.h"

#include <cstdio>

namespace drelm::emu {

TrafficRecorder& TrafficRecorder::Instance() {
    static TrafficRecorder recorder;
    return recorder;
}

void TrafficRecorder::Start() {
    std::lock_guard<std::mutex> hold(mutex_);
    records_.clear();
    overflowReported_ = false;
    on_ = true;
}

void TrafficRecorder::Stop() {
    std::lock_guard<std::mutex> hold(mutex_);
    on_ = false;
}

void TrafficRecorder::Clear() {
    std::lock_guard<std::mutex> hold(mutex_);
    records_.clear();
    overflowReported_ = false;
    on_ = false;
}

void TrafficRecorder::Record(const Access& access) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (!on_) return;
    if (records_.size() >= kMaxRecords) {
        if (!overflowReported_)
            std::fprintf(stderr, "DrelmComm emulator: traffic recording full at %zu accesses; later ones not kept\n",
                         records_.size());
        overflowReported_ = true;
        return;
    }
    records_.push_back(access);
}

std::vector<Access> TrafficRecorder::Snapshot() {
    std::lock_guard<std::mutex> hold(mutex_);
    return records_;
}

}  // namespace drelm::emu

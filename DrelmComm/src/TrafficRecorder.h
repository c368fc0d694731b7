// Records link accesses, in the order they completed, while recording is on.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "DrelmEmulator.h"

namespace drelm::emu {

class TrafficRecorder {
public:
    static TrafficRecorder& Instance();

    void Start();
    void Stop();
    void Clear();
    void Record(const Access& access);
    std::vector<Access> Snapshot();

    // A bound on memory: a runaway recording stops growing here, with one
    // message on stderr, instead of exhausting the host.
    static constexpr std::size_t kMaxRecords = std::size_t{1} << 23;

private:
    std::mutex mutex_;
    bool on_ = false;
    bool overflowReported_ = false;
    std::vector<Access> records_;
};

}  // namespace drelm::emu

// The output file system, watched while raw, list or HDF5 files are written: its
// free space read every few seconds (never on the per-event path), the rate
// the run writes at from the bytes given to those files over the last
// checks, a warning once the disk would be full within kWarnSeconds at that
// rate, and the end of the run, as a preset ends it, before the files' last
// writes could fail: once what is left would not hold their write buffers,
// a histogram file rewritten, the run summary, and what two more periods
// bring at the current rate (a check may come late after a slow pass).
#pragma once

#include <cstdint>
#include <cstdio>

#include "FreeSpace.h"
#include "MonitorStatus.h"
#include "OutputFiles.h"

namespace tessary {

class DiskWatch {
public:
    // Reads the free bytes of the file system holding a path; false when it cannot.
    using FreeSpaceReader = bool (*)(const char* path, uint64_t& freeBytes);

    static constexpr int64_t kPeriodMs = 2000;
    static constexpr double kWarnSeconds = 600;
    static constexpr uint64_t kSummaryReserve = uint64_t{1} << 20;

    explicit DiskWatch(FreeSpaceReader read = &platform::FreeSpace) : read_(read) {}

    enum class Verdict { None, Warn, End };
    // One check at nowMs (a monotonic clock) of the file system holding
    // `path`, the files having been given bytesGiven bytes so far and their
    // last writes needing reserveBytes: None when the last check is less
    // than kPeriodMs ago or the file system cannot be asked; End when the
    // free space is too small (see above); Warn the first time the time to
    // full falls below kWarnSeconds; else None.
    Verdict Check(int64_t nowMs, const char* path, uint64_t bytesGiven, uint64_t reserveBytes);

    // The session's call after every pass: a check when due while raw,
    // list or HDF5 files are open, its warning or end printed to `out`. True when
    // the run must end.
    bool Watch(int64_t nowMs, const OutputFiles& outputs, std::FILE* out);

    // The last check's reading, for the monitor.
    const monitor::DiskStatus& Status() const { return status_; }

private:
    struct Sample {
        int64_t ms;
        uint64_t bytes;
    };
    // The rate is taken over the span of the last kSamples checks.
    static constexpr int kSamples = 4;

    bool Due(int64_t nowMs) const { return !checked_ || nowMs - lastMs_ >= kPeriodMs || nowMs < lastMs_; }
    double Rate(int64_t nowMs, uint64_t bytesGiven);

    FreeSpaceReader read_;
    bool checked_ = false;
    int64_t lastMs_ = 0;
    Sample samples_[kSamples] = {};
    int sampleCount_ = 0;  // the newest is at sampleCount_ - 1 once full, kept in order
    uint64_t needed_ = 0;  // at the last End: the reserve and the margin for the rate
    monitor::DiskStatus status_;
};

}  // namespace tessary

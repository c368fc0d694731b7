// Where the run loop leaves what the monitor shows, and where the monitor's
// threads take it: the run's status, the spectra, the console's messages and
// the keys sent from the page. The loop never waits on a viewer: it holds a
// lock only to copy the status or swap a pointer, and the viewers copy out
// of their own snapshot.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "BoardCounters.h"
#include "MessageLog.h"
#include "MonitorStatus.h"
#include "RemoteKeys.h"

namespace tessary::monitor {

// One board's spectra as the loop last copied them: counts per bin, channel
// after channel. Only the channels viewers asked for are copied, so the
// memory of the others is never touched (and never resident).
struct SpectraSnapshot {
    int channelCount = 0;
    std::unique_ptr<uint32_t[]> counts;  // channelCount x kSpectrumBins
    std::vector<int64_t> takenMs;        // per channel, monotonic; kNever until copied
    static constexpr int64_t kNever = INT64_MIN / 2;
};

class MonitorFeed {
public:
    // How long a viewer's spectrum request keeps the loop copying spectra,
    // and how often it copies them at most.
    static constexpr int64_t kSpectraWantedMs = 5000;
    static constexpr int64_t kSpectraRefreshMs = 1000;

    // At start-up, before any thread reads: the boards' channel counts.
    void SetBoards(const std::vector<int>& channelCounts);
    int Boards() const { return static_cast<int>(spectra_.size()); }
    int ChannelCount(int board) const;

    // --- the run loop ---
    // Copies `status` in, with the next sequence number, and wakes the
    // viewers that wait for a change.
    void Publish(const RunStatus& status);
    // True when a viewer asked for a spectrum lately and the last copy is at
    // least a refresh period old: then the loop calls PublishSpectra for
    // every board (monotonic times).
    bool SpectraDue(int64_t nowMs) const;
    // Copies the board's spectra that viewers asked for lately (counts as
    // stored, cut to 32 bits).
    void PublishSpectra(int board, const BoardCounters& counters, int64_t nowMs);

    // --- the monitor's threads ---
    RunStatus Status() const;
    uint64_t Sequence() const;  // the status's, without copying it
    // Waits up to timeoutMs for a status newer than `seen`; true when one came.
    bool WaitForSequence(uint64_t seen, int timeoutMs) const;
    // The spectrum of one channel: asks the loop for fresh copies and waits
    // up to waitMs for one if the last is older than a refresh period.
    // `takenMs`: when the loop copied it, wall clock (ms since 1970 UTC), 0
    // when it has not yet (the counts are then 0). False for a board or
    // channel out of range.
    bool Spectrum(int board, int channel, int waitMs, std::vector<uint32_t>& counts, int64_t& takenMs);
    // Ends every wait: the run is over.
    void Close();
    bool Closed() const;

    RemoteKeys& Keys() { return keys_; }
    MessageLog& Messages() { return messages_; }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    RunStatus status_;
    bool closed_ = false;
    // Per board: the published copy and a spare the loop fills next. The
    // spare is reused unless a viewer still holds it.
    std::vector<std::shared_ptr<SpectraSnapshot>> spectra_, spare_;
    std::vector<int> channelCounts_;
    // Per board and channel (kMaxChannels each): until when a viewer wants it.
    std::unique_ptr<std::atomic<int64_t>[]> channelWantedUntilMs_;
    std::atomic<int64_t> wantedUntilMs_{0};  // the latest of them
    std::atomic<int64_t> lastRefreshMs_{0};
    RemoteKeys keys_;
    MessageLog messages_;
};

}  // namespace tessary::monitor

#include "MonitorFeed.h"

#include <algorithm>
#include <chrono>

#include "Clock.h"

namespace tessary::monitor {

const char* RunStateName(RunState state) {
    switch (state) {
        case RunState::Waiting: return "waiting";
        case RunState::Acquiring: return "acquiring";
        case RunState::Stopped: return "stopped";
        case RunState::Ended: return "ended";
    }
    return "waiting";
}

const char* FileKindName(int kind) {
    static const char* const names[kFileKinds] = {"raw", "list", "histogram"};
    return kind >= 0 && kind < kFileKinds ? names[kind] : "";
}

void MonitorFeed::SetBoards(const std::vector<int>& channelCounts) {
    channelCounts_ = channelCounts;
    spectra_.clear();
    spare_.clear();
    for (int& channels : channelCounts_) channels = std::clamp(channels, 0, kMaxChannels);
    for (const int channels : channelCounts_) {
        for (auto* list : {&spectra_, &spare_}) {
            auto snapshot = std::make_shared<SpectraSnapshot>();
            snapshot->channelCount = channels;
            snapshot->counts = std::make_unique_for_overwrite<uint32_t[]>(static_cast<size_t>(channels) * kSpectrumBins);
            snapshot->takenMs.assign(static_cast<size_t>(channels), SpectraSnapshot::kNever);
            list->push_back(std::move(snapshot));
        }
    }
    const size_t slots = channelCounts_.size() * kMaxChannels;
    channelWantedUntilMs_ = std::make_unique<std::atomic<int64_t>[]>(slots);
    for (size_t i = 0; i < slots; ++i) channelWantedUntilMs_[i] = SpectraSnapshot::kNever;
}

int MonitorFeed::ChannelCount(int board) const {
    return board >= 0 && board < Boards() ? channelCounts_[board] : 0;
}

void MonitorFeed::Publish(const RunStatus& status) {
    {
        std::lock_guard lock(mutex_);
        const uint64_t sequence = status_.sequence + 1;
        status_ = status;
        status_.sequence = sequence;
    }
    changed_.notify_all();
}

bool MonitorFeed::SpectraDue(int64_t nowMs) const {
    return nowMs < wantedUntilMs_.load() && nowMs - lastRefreshMs_.load() >= kSpectraRefreshMs;
}

void MonitorFeed::PublishSpectra(int board, const BoardCounters& counters, int64_t nowMs) {
    if (board < 0 || board >= Boards()) return;
    std::shared_ptr<SpectraSnapshot>& spare = spare_[board];
    // A viewer still copying out of the spare: the next refresh reuses it.
    if (spare.use_count() > 1) return;
    const int channels = spare->channelCount;
    bool copied = false;
    for (int ch = 0; ch < channels; ++ch) {
        if (channelWantedUntilMs_[static_cast<size_t>(board) * kMaxChannels + ch].load() <= nowMs) continue;
        uint32_t* to = spare->counts.get() + static_cast<size_t>(ch) * kSpectrumBins;
        const double* from = counters.spectrum[ch];
        if (from == nullptr) {
            std::fill(to, to + kSpectrumBins, 0u);
        } else {
            for (int bin = 0; bin < kSpectrumBins; ++bin)
                to[bin] = from[bin] >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(from[bin]);
        }
        spare->takenMs[ch] = nowMs;
        copied = true;
    }
    lastRefreshMs_ = nowMs;
    if (!copied) return;
    {
        std::lock_guard lock(mutex_);
        std::swap(spectra_[board], spare);
    }
    changed_.notify_all();
}

RunStatus MonitorFeed::Status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

uint64_t MonitorFeed::Sequence() const {
    std::lock_guard lock(mutex_);
    return status_.sequence;
}

bool MonitorFeed::WaitForSequence(uint64_t seen, int timeoutMs) const {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return closed_ || status_.sequence > seen; });
    return status_.sequence > seen;
}

bool MonitorFeed::Spectrum(int board, int channel, int waitMs, std::vector<uint32_t>& counts, int64_t& takenMs) {
    if (board < 0 || board >= Boards() || channel < 0 || channel >= channelCounts_[board]) return false;
    const int64_t now = platform::MonotonicMs();
    channelWantedUntilMs_[static_cast<size_t>(board) * kMaxChannels + channel] = now + kSpectraWantedMs;
    wantedUntilMs_ = now + kSpectraWantedMs;
    std::shared_ptr<SpectraSnapshot> snapshot;
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] {
            return closed_ || now - spectra_[board]->takenMs[channel] < kSpectraRefreshMs + 500;
        });
        snapshot = spectra_[board];
    }
    const int64_t taken = snapshot->takenMs[channel];
    if (taken == SpectraSnapshot::kNever) {
        takenMs = 0;
        counts.assign(kSpectrumBins, 0);  // never copied: the loop has not come round yet
    } else {
        takenMs = platform::TimeNowMs() - (platform::MonotonicMs() - taken);
        const uint32_t* from = snapshot->counts.get() + static_cast<size_t>(channel) * kSpectrumBins;
        counts.assign(from, from + kSpectrumBins);
    }
    return true;
}

void MonitorFeed::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
    keys_.Close();
}

bool MonitorFeed::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

}  // namespace tessary::monitor

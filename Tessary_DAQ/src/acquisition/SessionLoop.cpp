#include "Session.h"

#include "Accounting.h"
#include "Clock.h"
#include "Keyboard.h"
#include "PlotSelection.h"
#include "Signals.h"
#include "Statistics.h"
#include "Timers.h"

namespace tessary {
namespace {

constexpr int32_t kKeyPollMs = 100;
// How often the boards' time counters are read while acquiring: often for a
// live-time preset, else often enough that their 26-day wrap is never missed.
constexpr int32_t kLivePollMs = 100;
constexpr int32_t kCounterPollMs = 60000;

// One s before the operator's keys: --start acts exactly as the key does.
class StartFirst : public platform::KeyInput {
public:
    StartFirst(platform::KeyInput& keys, bool start) : keys_(keys), pending_(start) {}
    bool KeyWaiting() override { return pending_ || keys_.KeyWaiting(); }
    int ReadKey() override {
        if (!pending_) return keys_.ReadKey();
        pending_ = false;
        return 's';
    }

private:
    platform::KeyInput& keys_;
    bool pending_;
};

}  // namespace

// A batch's counters and totals, on either thread.
void Session::AccountBatch(void* session, const AccountingThread::Batch& batch) {
    Session& s = *static_cast<Session*>(session);
    const int k = batch.board;
    const BatchMark mark = BatchMark::Of(s.current_[k]);
    UpdateBatchCounters(batch.bytes, batch.events, batch.count, s.current_[k], s.triggers_[k], batch.channelCount);
    s.totals_.AddBatch(k, batch.bytes, batch.events, batch.count, mark, s.current_[k], batch.channelCount);
}

ProgramError Session::ReadBoard(int k) {
    DaqConfig& config = *config_;
    // The batch in hand may point into this board's buffer, about to be refilled.
    if (accounting_.BoardInHand() == k) accounting_.Wait();
    uint32_t bytes = 0;
    if (DRELM_TSY_ReadData(handles_[k], 0, buffers_[k], &bytes) != 0) return ProgramError::Readout;
    const int64_t now = platform::TimeNowMs();  // one clock read serves the board's turn
    const bool running = config.acquisitionRunning != 0;
    if (!running) statDue_ = false;
    if (bytes > 0) {
        noDataStamps_[k] = lastDataMs_[k] = now;
        uint32_t count = 0;
        const auto* words = static_cast<const uint32_t*>(buffers_[k]);
        EventRecord* events = events_[events_[0].data() == accounting_.EventsInHand() ? 1 : 0].data();
        if (DRELM_TSY_GetEvents(handles_[k], words, bytes / 4, events, &count) != 0)
            return ProgramError::EventBuild;
        accounting_.Submit({k, bytes, events, count, config.boards[k].channelCount});
        if (running && PeriodElapsedAt(now, config.statRefresh, statStamp_)) statDue_ = true;
        const bool turn = statDue_ && k == statBoard_;
        // A plot request is the plotted board's: the others print as often as ever.
        const bool plot = config.plotRequested && k == config.plotBoard;
        if (running && (turn || plot)) {
            if (turn) statDue_ = false, statBoard_ = (k + 1) % Boards();
            accounting_.Wait();  // the block shows this batch too
            const monitor::StatisticsFigures& figures =
                PrintStatisticsBlock(out_, k, handles_[k], now, current_[k], previous_[k], config);
            PublishPrinted(k, figures, now);
            PlotIfDue(k, events, count);
            // A histogram file that fails is written whole again at the next print: the run goes on.
            outputs_.RewriteHistograms(k, current_[k], config);
            std::fflush(out_);
        }
        // Stage D: the events point into the buffer, so they are written before its next read.
        if (const ProgramError e = outputs_.WriteBatch(k, buffers_[k], bytes, events, count);
            e != ProgramError::None)
            return e;
    } else {
        NoData(k, now);
    }
    // Stage E: segment changes, for every board on every pass.
    return outputs_.ChangeSegments(k, config);
}

// A turn in which board k brought nothing.
void Session::NoData(int k, int64_t now) {
    DaqConfig& config = *config_;
    const bool running = config.acquisitionRunning != 0;
    // The statistics turn passes straight on from a board that brought
    // nothing for a whole period, so that every board with data gets
    // its block about once per period times the boards with data; a
    // slow board keeps its turn until its next data.
    if (statDue_ && k == statBoard_ && now - lastDataMs_[k] > config.statRefresh)
        statBoard_ = (k + 1) % Boards();
    // Each board has its own no-data timer: a dead board beside live ones is told too.
    if (running && PeriodElapsedAt(now, config.statRefresh, noDataStamps_[k])) {
        std::fputs("==========================================\n", out_);
        std::fprintf(out_, "Time since reset: %.2f s\n",
                     static_cast<double>(static_cast<float>(now - config.resetTimeMs) / 1000.0f));
        std::fprintf(out_, "No readout data in board %d\n", k);
        std::fflush(out_);
    }
    // A plot request for a board that has sent nothing for a period
    // has no data to wait for: its spectra as they are.
    if (running && config.plotRequested && k == config.plotBoard && now - lastDataMs_[k] > config.statRefresh) {
        accounting_.Wait();
        PlotSpectra(plotter_, config, current_[k], out_);
        config.plotRequested = 0;
        std::fflush(out_);
    }
    // A stopped board has given its last data: its histogram files now
    // take every event it delivered.
    if (!running && histogramsDue_[k]) RewriteHistograms(k);
}

// Stage C: the plotted board's spectra, periodically or once on request.
void Session::PlotIfDue(int k, const EventRecord* events, uint32_t count) {
    DaqConfig& config = *config_;
    if (!(config.periodicPlot || config.plotRequested) || k != config.plotBoard) return;
    std::fputs("Last plotted event\n", out_);
    // A batch that decoded to no event has none to show.
    if (count > 0) {
        std::fprintf(out_, "Trigger index          :      %u\n", events[0].triggerIndex);
        std::fprintf(out_, "Event timestamp        : %llu ns\n",
                     static_cast<unsigned long long>(events[0].timestamp * 8));
    }
    PlotSpectra(plotter_, config, current_[k], out_);
    config.plotRequested = 0;
}

// The board's histogram files from its spectra as they are now.
void Session::RewriteHistograms(int k) {
    accounting_.Wait();  // every batch read is in the spectra
    histogramsDue_[k] = 0;
    outputs_.RewriteHistograms(k, current_[k], *config_);
}

ProgramError Session::Loop() {
    if (stoppedInStartUp_) return ProgramError::None;
    DaqConfig& config = *config_;
    StartFirst first(keys_, startAtOnce_);
    // Keys from the monitor's page enter the same stream, before the console's.
    monitor::MergedKeys keys(first, monitor_ ? &monitor_->Feed().Keys() : nullptr);
    KeyboardIo io{keys, out_, &platform::TimeNowMs, &platform::SleepMs};
    loopReached_ = true;
    loopStartMs_ = platform::TimeNowMs();
    while (!config.quitRequested)
        if (const ProgramError e = Pass(io); e != ProgramError::None) return e;
    return ProgramError::None;
}

// One pass: the keys when due, the software triggers, every board's turn.
ProgramError Session::Pass(KeyboardIo& io) {
    DaqConfig& config = *config_;
    if (PeriodElapsedAt(platform::TimeNowMs(), kKeyPollMs, keyStamp_)) {
        // A key may clear the counters (s, r): the histogram files of a
        // stop take what was accounted before that.
        const bool keyWaiting = io.keys.KeyWaiting();
        if (keyWaiting)
            for (int b = 0; b < Boards(); ++b)
                if (histogramsDue_[b]) RewriteHistograms(b);
        const bool wasRunning = config.acquisitionRunning != 0;
        accounting_.Wait();  // keys print, clear and snapshot the counters
        CheckKeyboardCommand(io, handles_.data(), config, current_.data(), previous_.data());
        FollowAcquisition(wasRunning);
        if (config.quitRequested && endedBy_.empty()) endedBy_ = "key";
        // A key from the page is answered with the state it led to.
        if (keyWaiting && monitor_) {
            PublishStatus();
            monitor_->Feed().Keys().HandledTaken();
        }
        // Stopped, a plot request has no data to wait for: the spectra as they are.
        if (config.plotRequested && !config.acquisitionRunning) {
            PlotSpectra(plotter_, config, current_[PlottedBoard(config)], out_);
            config.plotRequested = 0;
            std::fflush(out_);
        }
    }
    // A stop signal ends the run as the quit key does, after this pass.
    if (platform::StopRequested() && !config.quitRequested) {
        config.quitRequested = 1;
        endedBy_ = std::string("signal ") + platform::StopSignalName();
    }
    if (config.continuousTrigger)
        for (int b = 0; b < Boards(); ++b) DRELM_TSY_SendSWtrigger(handles_[b]);
    for (int k = 0; k < Boards(); ++k)
        if (const ProgramError e = ReadBoard(k); e != ProgramError::None) return e;
    AfterPass();
    FeedMonitor();
    return ProgramError::None;
}

// The boards' time counters read now and then, and the presets looked at
// (also after a stop: the reads that empty the boards may reach one), and
// the output file system watched. The pass is the loop's shortest unit, so
// this costs one clock read.
void Session::AfterPass() {
    const int64_t now = platform::MonotonicMs();
    // A disk about to fill ends the run as a preset does, with every file whole.
    if (!config_->quitRequested && disk_.Watch(now, outputs_, out_)) {
        endedBy_ = "disk space";
        config_->quitRequested = 1;
    }
    const bool acquiring = config_->acquisitionRunning != 0;
    if (!acquiring && !presets_.Any()) return;
    const bool poll =
        acquiring && PeriodElapsedAt(now, presets_.NeedLiveTime() ? kLivePollMs : kCounterPollMs, pollStamp_);
    if (!poll && !presets_.Any()) return;
    accounting_.Wait();  // the totals are read and added to below
    if (poll) totals_.Poll(handles_.data());
    if (presets_.Any() && !config_->quitRequested && presets_.Reached(totals_, acquiring, now)) {
        endedBy_ = presets_.What();
        std::fprintf(out_, "Preset reached: %s\n", endedBy_.c_str());
        config_->quitRequested = 1;
    }
}

// The run's totals, the boards' trigger indexes and the periods of
// acquisition follow each start and stop, from the keys or --start.
void Session::FollowAcquisition(bool wasRunning) {
    const bool running = config_->acquisitionRunning != 0;
    if (running == wasRunning) return;
    const int64_t now = platform::MonotonicMs();
    const int64_t wallNow = platform::TimeNowMs();
    if (running) {
        totals_.Started(handles_.data());
        presets_.Started(now);
        pollStamp_ = now;
        for (int b = 0; b < Boards(); ++b) {
            triggers_[b].Restart();  // the boards count triggers from 0 again
            noDataStamps_[b] = lastDataMs_[b] = wallNow;
        }
        periods_.push_back({wallNow, 0});
    } else {
        totals_.Stopped(handles_.data());
        presets_.Stopped(now);
        for (int b = 0; b < Boards(); ++b) histogramsDue_[b] = 1;
        if (!periods_.empty()) periods_.back().stoppedMs = wallNow;
    }
}

}  // namespace tessary

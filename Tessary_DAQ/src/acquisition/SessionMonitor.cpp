#include "Session.h"

#include "Clock.h"
#include "FileStatus.h"
#include "PlotSelection.h"
#include "PrintableText.h"
#include "Timers.h"

namespace tessary {
namespace {

// The status goes out at least this often, also with no statistics print.
constexpr int32_t kPublishMs = 1000;

}  // namespace

// Last stage of start-up: the monitor serves from here on, and the console's
// text passes through its message log.
ProgramError Session::StartMonitor(const monitor::MonitorOptions& options) {
    if (!options.Enabled()) return ProgramError::None;
    std::vector<int> channels;
    for (int b = 0; b < Boards(); ++b) channels.push_back(config_->boards[b].channelCount);
    status_.version = kProgramVersion;
    status_.configPath = configPath_;
    status_.startedMs = platform::TimeNowMs();
    status_.boards.resize(static_cast<size_t>(Boards()));
    for (int b = 0; b < Boards(); ++b) {
        status_.boards[b].board = b;
        status_.boards[b].model = models_[b];
        status_.boards[b].channelCount = config_->boards[b].channelCount;
    }
    status_.endedBy.reserve(128);
    status_.preset.reserve(160);
    monitor_ = std::make_unique<monitor::Monitor>();
    const std::string tokenPath = userFolder_ + "monitor_token";
    std::string error;
    if (!monitor_->Start(options, tokenPath, channels, error)) {
        std::fprintf(out_, "The monitor cannot start at %s port %d: %s\n", Printable(options.address).c_str(),
                     options.port, error.c_str());
        monitor_.reset();
        return ProgramError::Monitor;
    }
    std::fprintf(out_, "Monitor: %s\n", monitor_->PageAddress().c_str());
    std::fprintf(out_, "Monitor token: %s (also in %s)\n", monitor_->Token().c_str(), Printable(tokenPath).c_str());
    if (!monitor_->Loopback())
        std::fprintf(out_, "The monitor listens beyond this machine: every request needs the token%s\n",
                     options.metricsOpen ? " (except /metrics)" : "");
    std::fflush(out_);
    console_ = out_;
    out_ = monitor_->Tee(out_);
    PublishStatus();
    return ProgramError::None;
}

void Session::PublishStatus() {
    if (!monitor_) return;
    accounting_.Wait();  // the totals are the accounting's while a batch is in hand
    DaqConfig& config = *config_;
    monitor::RunStatus& s = status_;
    const int64_t wallNow = platform::TimeNowMs();
    const bool acquiring = config.acquisitionRunning != 0;
    if (s.state != monitor::RunState::Ended)
        s.state = acquiring          ? monitor::RunState::Acquiring
                  : periods_.empty() ? monitor::RunState::Waiting
                                     : monitor::RunState::Stopped;
    s.publishedMs = wallNow;
    int64_t acquiredMs = 0;
    for (const RunSummary::Period& p : periods_) acquiredMs += (p.stoppedMs != 0 ? p.stoppedMs : wallNow) - p.startedMs;
    s.acquisitionS = static_cast<double>(acquiredMs) / 1000.0;
    s.presetProgress = presets_.Progress(totals_, acquiring, platform::MonotonicMs(), s.preset);
    if (s.presetProgress < 0) s.preset.clear();
    s.plotBoard = PlottedBoard(config);
    s.plotGroup = EffectiveGroup(config);
    // A start or reset clears the counters: the figures printed before it are gone too.
    if (config.resetTimeMs != statusResetMs_) {
        statusResetMs_ = config.resetTimeMs;
        for (monitor::BoardStatus& b : s.boards) b.printed = false;
    }
    for (int b = 0; b < Boards(); ++b) {
        monitor::BoardStatus& board = s.boards[b];
        const BoardTotals& t = totals_.Board(b);
        board.events = t.events;
        board.bytes = t.bytes;
        board.triggers = t.triggers;
        board.triggersLost = t.triggersLost;
        board.pileUpEvents = t.pileUp;
        board.saturated = t.saturated;
        const BoardTimes times = totals_.BoardTimes(b);
        board.liveTimeS = times.LiveS();
        board.deadTimeS = times.deadS;
    }
    FillFileStatus(outputs_, disk_, s);
    monitor_->Feed().Publish(s);
}

// A statistics block was printed for board k: the same figures for the monitor.
void Session::PublishPrinted(int k, const monitor::StatisticsFigures& figures, int64_t nowMs) {
    if (!monitor_) return;
    PublishStatus();  // first: a reset since the last publish clears the old figures
    monitor::BoardStatus& board = status_.boards[k];
    board.figures = figures;
    board.printed = true;
    board.printedAtMs = nowMs;
    monitor_->Feed().Publish(status_);
}

// Once a pass: the status once a second, and the spectra when a viewer
// asked for them lately.
void Session::FeedMonitor() {
    if (!monitor_) return;
    monitor::MonitorFeed& feed = monitor_->Feed();
    const int64_t now = platform::MonotonicMs();
    if (feed.SpectraDue(now)) {
        accounting_.Wait();
        for (int b = 0; b < Boards(); ++b) feed.PublishSpectra(b, current_[b], now);
    }
    if (!PeriodElapsedAt(now, kPublishMs, publishStamp_)) return;
    // The run's live and dead time, as fresh as the rest of the status.
    if (config_->acquisitionRunning) {
        accounting_.Wait();
        totals_.Poll(handles_.data());
    }
    PublishStatus();
}

// The run is over: the last status, then the monitor stops and the console
// is written directly again.
void Session::EndMonitor(const std::string& endedBy) {
    if (!monitor_) return;
    status_.state = monitor::RunState::Ended;
    status_.endedBy = endedBy;
    PublishStatus();
    std::fflush(out_);
    monitor_->Stop();
    out_ = console_;
}

}  // namespace tessary

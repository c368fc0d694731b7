#include "Program.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <memory>
#include <optional>
#include <vector>

#include "Accounting.h"
#include "AccountingThread.h"
#include "BoardCounters.h"
#include "BoardSetup.h"
#include "Clock.h"
#include "ConfigParser.h"
#include "Console.h"
#include "DaqConfig.h"
#include "Directory.h"
#include "DrelmTessaryLib.h"
#include "Keyboard.h"
#include "Output.h"
#include "OutputFiles.h"
#include "Paths.h"
#include "Plotter.h"
#include "Presets.h"
#include "ProgressLine.h"
#include "RunSummary.h"
#include "RunTotals.h"
#include "Signals.h"
#include "Statistics.h"
#include "TableLoading.h"
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

// Everything the program holds from start-up to the end. Memory is taken
// during start-up only; the run loop allocates nothing.
class Session {
public:
    Session(platform::KeyInput& keys, std::FILE* out) : keys_(keys), out_(out) {}
    ProgramError Start(const ProgramOptions& options);
    ProgramError Loop();
    ProgramError Shutdown(ProgramError error);

private:
    ProgramError ReadConfiguration(const ProgramOptions& options);
    ProgramError PrintBoardInfo();
    ProgramError AllocateBuffers();
    ProgramError ReadBoard(int k);
    static void AccountBatch(void* session, const AccountingThread::Batch& batch);
    ProgramError LoadTables();
    void PlotIfDue(int k, const EventRecord* events, uint32_t count);
    void FollowAcquisition(bool wasRunning);
    void AfterPass();
    RunSummary SummarizeRun(ProgramError error);
    void WriteSummary(const RunSummary& summary);
    int Boards() const { return config_->boardCount; }

    platform::KeyInput& keys_;
    std::FILE* out_;
    std::string userFolder_;
    std::unique_ptr<DaqConfig> config_ = std::make_unique<DaqConfig>();
    std::vector<int32_t> handles_;
    std::vector<uint32_t> triggerWraps_;
    std::vector<BoardCounters> current_, previous_;
    // One readout buffer per board, each sized by the library for its board,
    // so that no board's transfer can outgrow the buffer it is read into.
    std::vector<void*> buffers_;
    // Two event arrays: a batch is decoded into one while the accounting
    // thread may still have the other's in hand.
    std::vector<EventRecord> events_[2];
    AccountingThread accounting_;
    OutputFiles outputs_;
    Plotter plotter_;
    bool boardsOpened_ = false;
    int64_t keyStamp_ = 0, statStamp_ = 0, noDataStamp_ = 0;
    // The statistics timer is one for all boards and each period prints one
    // board's block; the boards take these prints in turn. Left to whichever
    // board's turn the timer happens to expire in, a board whose output work
    // is short would take nearly every print, and the others (the plotted
    // one among them) would go for long without block, plot or histogram.
    bool statDue_ = false;
    int statBoard_ = 0;

    // The run as a whole, for the presets and the summary.
    bool startAtOnce_ = false;
    std::string configPath_;
    std::vector<std::string> models_;
    RunTotals totals_;
    bool loopReached_ = false;
    int64_t loopStartMs_ = 0;
    Presets presets_{ProgramOptions{}};
    int64_t pollStamp_ = 0;
    std::string endedBy_;
};

ProgramError Session::ReadConfiguration(const ProgramOptions& options) {
    const std::optional<std::string> folder = platform::UserFolder();
    if (!folder) {
        std::fputs("Neither USERPROFILE nor HOME names a folder for the program's files\n", out_);
        return ProgramError::ConfigNotFound;
    }
    userFolder_ = *folder;
    platform::MakeDirectory(userFolder_);  // it may exist already
    const std::string path = options.configPath.empty() ? userFolder_ + "Tessary_Config.txt" : options.configPath;
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    configPath_ = absolute.empty() ? path : absolute.string();
    // The parser's messages are few and come before any acquisition.
    std::ostringstream messages;
    std::ifstream file;
    int parsed = OpenConfigFile(path, file, messages);
    if (parsed == kConfigOk) parsed = ParseConfig(file, userFolder_, *config_, messages);
    std::fputs(messages.str().c_str(), out_);
    if (parsed == kConfigFileNotFound) return ProgramError::ConfigNotFound;
    if (parsed != kConfigOk) return ProgramError::Parsing;
    if (config_->boardCount == 0) {
        // Nothing to read out: refused before any board is touched.
        std::fputs("The configuration file opens no board: it needs at least one OPEN line\n", out_);
        return ProgramError::Parsing;
    }
    return ProgramError::None;
}

ProgramError Session::PrintBoardInfo() {
    std::fputs("Get board info and set board-specific parameters\n", out_);
    bool failed = false;
    for (int b = 0; b < Boards(); ++b) {
        BoardInfo info{};
        if (DRELM_TSY_GetInfo(handles_[b], &info) != 0) {
            failed = true;
            continue;
        }
        std::fputs("****************************************\n", out_);
        std::fprintf(out_, "Connected to Drelm Peak-Sensing Model %s\n", info.modelName);
        models_[b].assign(info.modelName, strnlen(info.modelName, sizeof info.modelName));
        std::fprintf(out_, "ROC FPGA Release is %s\n", info.rocRelease);
        std::fprintf(out_, "AMC FPGA Release is %s\n", info.amcRelease);
    }
    std::fputs("****************************************\n", out_);
    return failed ? ProgramError::BoardInfo : ProgramError::None;
}

ProgramError Session::AllocateBuffers() {
    std::fputs("Readout buffer malloc\n", out_);
    for (std::vector<EventRecord>& events : events_) events.resize(DRELM_TSY_MAX_EVENTS_PER_TRANSFER);
    for (int b = 0; b < Boards(); ++b) {
        uint32_t size = 0;
        if (DRELM_TSY_MallocReadoutBuffer(handles_[b], &buffers_[b], &size) != 0) return ProgramError::Memory;
    }
    std::fputs("Counter malloc\n", out_);
    for (int b = 0; b < Boards(); ++b) {
        // The previous record's spectra are never read: only the current one has them.
        if (AllocCounterSpectra(current_[b]) != 0) return ProgramError::Memory;
        ResetCounters(current_[b]);
        ResetCounters(previous_[b]);
    }
    return ProgramError::None;
}

// The tables of all boards at once; on a terminal a line per board says
// what its load is doing, cleared when all are done.
ProgramError Session::LoadTables() {
    const int fd = fileno(out_);
    ProgressLine progress(Boards(), fd >= 0 ? fd : -1);
    const ProgramError result = LoadBoardTables(handles_.data(), Boards(), [&](int board, const char* phase) {
        const std::string p = phase;
        progress.Update(board, p == "offsets" || p == "calibration"
                                   ? "Board " + std::to_string(board) + ": loading " + p
                                   : std::string());
    });
    progress.Clear();
    return result;
}

ProgramError Session::Start(const ProgramOptions& options) {
    startAtOnce_ = options.startAtOnce;
    presets_ = Presets(options);
    std::fputs("**************************************************************\n", out_);
    std::fprintf(out_, "                Tessary DAQ %s\n", kProgramVersion);
    std::fputs("**************************************************************\n", out_);
    if (const ProgramError e = ReadConfiguration(options); e != ProgramError::None) return e;

    try {
        handles_.assign(static_cast<std::size_t>(Boards()), -1);
        triggerWraps_.assign(static_cast<std::size_t>(Boards()), 0);
        current_ = std::vector<BoardCounters>(static_cast<std::size_t>(Boards()));
        previous_ = std::vector<BoardCounters>(static_cast<std::size_t>(Boards()));
        buffers_.assign(static_cast<std::size_t>(Boards()), nullptr);
        models_.assign(static_cast<std::size_t>(Boards()), std::string());
        totals_.Resize(Boards());
    } catch (const std::bad_alloc&) {
        return ProgramError::Memory;
    }

    std::fputs("Open peak-sensing devices\n", out_);
    if (OpenBoards(out_, handles_.data(), *config_) != 0) return ProgramError::OpenBoard;
    boardsOpened_ = true;
    if (const ProgramError e = PrintBoardInfo(); e != ProgramError::None) return e;

    std::fputs("Program the peak-sensing\n", out_);
    std::fflush(out_);
    int32_t programmed = 0;
    for (int b = 0; b < Boards(); ++b) programmed |= ProgramBoard(out_, handles_[b], config_->boards[b]);
    if (programmed != 0) return ProgramError::ProgramBoard;

    // Stage A: the output directory and the first files.
    if (const ProgramError e = outputs_.Open(*config_, out_, OutputFiles::Writes::Behind); e != ProgramError::None)
        return e;
    try {
        if (const ProgramError e = AllocateBuffers(); e != ProgramError::None) return e;
    } catch (const std::bad_alloc&) {
        return ProgramError::Memory;
    }
    // Stage B: the boards' offset and calibration tables, then the plotter.
    std::fputs("Calibration upload\n", out_);
    std::fflush(out_);
    if (const ProgramError e = LoadTables(); e != ProgramError::None) return e;
    std::fputs("Open plotter\n", out_);
    std::fflush(out_);
    if (const ProgramError e = OpenPlotter(plotter_, *config_, userFolder_, out_); e != ProgramError::None) return e;

    accounting_.Start(&Session::AccountBatch, this);  // without its thread, the loop accounts every batch
    std::fputs("[s] start/stop the acquisition, [q] quit, [space key] help\n", out_);
    std::fflush(out_);
    keyStamp_ = statStamp_ = noDataStamp_ = platform::TimeNowMs();
    return ProgramError::None;
}

// A batch's counters and totals, on either thread.
void Session::AccountBatch(void* session, const AccountingThread::Batch& batch) {
    Session& s = *static_cast<Session*>(session);
    const int k = batch.board;
    const BatchMark mark = BatchMark::Of(s.current_[k]);
    UpdateBatchCounters(batch.bytes, batch.events, batch.count, s.current_[k], s.previous_[k], s.triggerWraps_[k],
                        batch.channelCount);
    s.totals_.AddBatch(k, batch.bytes, batch.events, batch.count, mark, s.current_[k], batch.channelCount);
}

ProgramError Session::ReadBoard(int k) {
    DaqConfig& config = *config_;
    // The batch in hand may point into this board's buffer, about to be refilled.
    if (accounting_.BoardInHand() == k) accounting_.Wait();
    uint32_t bytes = 0;
    if (DRELM_TSY_ReadData(handles_[k], 0, buffers_[k], &bytes) != 0) return ProgramError::Readout;
    const int64_t now = platform::TimeNowMs();  // one clock read serves the board's turn
    if (!config.acquisitionRunning) statDue_ = false;
    if (bytes > 0) {
        noDataStamp_ = now;
        uint32_t count = 0;
        const auto* words = static_cast<const uint32_t*>(buffers_[k]);
        EventRecord* events = events_[events_[0].data() == accounting_.EventsInHand() ? 1 : 0].data();
        if (DRELM_TSY_GetEvents(handles_[k], words, bytes / 4, events, &count) != 0)
            return ProgramError::EventBuild;
        accounting_.Submit({k, bytes, events, count, config.boards[k].channelCount});
        if (config.acquisitionRunning && PeriodElapsedAt(now, config.statRefresh, statStamp_)) {
            // A board that let a whole period pass without data gives its turn on.
            if (statDue_) statBoard_ = (statBoard_ + 1) % Boards();
            statDue_ = true;
        }
        const bool turn = statDue_ && k == statBoard_;
        if (config.acquisitionRunning && (turn || config.plotRequested)) {
            if (turn) statDue_ = false, statBoard_ = (k + 1) % Boards();
            accounting_.Wait();  // the block shows this batch too
            PrintStatisticsBlock(out_, k, handles_[k], now, current_[k], previous_[k], config);
            PlotIfDue(k, events, count);
            // A histogram file that fails is written whole again at the next print: the run goes on.
            outputs_.RewriteHistograms(k, current_[k], config);
            std::fflush(out_);
        }
        // Stage D: the events point into the buffer, so they are written before its next read.
        if (const ProgramError e = outputs_.WriteBatch(k, buffers_[k], bytes, events, count);
            e != ProgramError::None)
            return e;
    }
    if (bytes == 0 && config.acquisitionRunning && PeriodElapsedAt(now, config.statRefresh, noDataStamp_)) {
        std::fputs("==========================================\n", out_);
        std::fprintf(out_, "Time since reset: %.2f s\n",
                     static_cast<double>(static_cast<float>(now - config.resetTimeMs) / 1000.0f));
        std::fprintf(out_, "No readout data in board %d\n", k);
        std::fflush(out_);
    }
    // Stage E: segment changes, for every board on every pass.
    return outputs_.ChangeSegments(k, config);
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

ProgramError Session::Loop() {
    DaqConfig& config = *config_;
    StartFirst keys(keys_, startAtOnce_);
    KeyboardIo io{keys, out_, &platform::TimeNowMs, &platform::SleepMs};
    loopReached_ = true;
    loopStartMs_ = platform::TimeNowMs();
    while (!config.quitRequested) {
        if (PeriodElapsedAt(platform::TimeNowMs(), kKeyPollMs, keyStamp_)) {
            const bool wasRunning = config.acquisitionRunning != 0;
            accounting_.Wait();  // keys print, clear and snapshot the counters
            CheckKeyboardCommand(io, handles_.data(), config, current_.data(), previous_.data());
            FollowAcquisition(wasRunning);
            if (config.quitRequested && endedBy_.empty()) endedBy_ = "key";
        }
        // A stop signal ends the run as the quit key does, after this pass.
        if (platform::StopRequested() && !config.quitRequested) {
            config.quitRequested = 1;
            endedBy_ = "signal";
        }
        if (config.continuousTrigger)
            for (int b = 0; b < Boards(); ++b) DRELM_TSY_SendSWtrigger(handles_[b]);
        for (int k = 0; k < Boards(); ++k)
            if (const ProgramError e = ReadBoard(k); e != ProgramError::None) return e;
        AfterPass();
    }
    return ProgramError::None;
}

// The boards' time counters read now and then, and the presets looked at
// (also after a stop: the reads that empty the boards may reach one). The
// pass is the loop's shortest unit, so this costs one clock read at most.
void Session::AfterPass() {
    const bool acquiring = config_->acquisitionRunning != 0;
    if (!acquiring && !presets_.Any()) return;
    const int64_t now = platform::MonotonicMs();
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

// The run's totals follow each start and stop, from the keys or --start.
void Session::FollowAcquisition(bool wasRunning) {
    const bool running = config_->acquisitionRunning != 0;
    if (running == wasRunning) return;
    const int64_t now = platform::MonotonicMs();
    if (running) {
        totals_.Started(handles_.data());
        presets_.Started(now);
        pollStamp_ = now;
    } else {
        totals_.Stopped(handles_.data());
        presets_.Stopped(now);
    }
}

ProgramError Session::Shutdown(ProgramError error) {
    accounting_.Stop();  // the counters and totals are the loop's alone again
    const int code = static_cast<int>(error);
    const bool touchBoards = boardsOpened_ && (code == 0 || code >= static_cast<int>(ProgramError::BoardInfo));
    bool stopped = false;
    auto stopBoards = [&] {
        if (touchBoards && !stopped)
            for (int b = 0; b < Boards(); ++b) DRELM_TSY_SWStopAcquisition(handles_[b]);
        stopped = true;
    };
    // A normal end stops acquiring at once: what the boards took after the
    // last read would only be lost.
    if (error == ProgramError::None) stopBoards();
    // A run that reached the loop ends with its summary: the period under
    // way closed, the output files closed (a last write that fails makes the
    // run end with its code, as any lost data does), the summary printed
    // and written, all before an error's message, so that an unattended run
    // that stops at "Press a key" has left its record and the message stays
    // the last thing shown.
    if (loopReached_) {
        if (config_->acquisitionRunning) {
            config_->acquisitionRunning = 0;
            FollowAcquisition(true);
        }
        const ProgramError closed = outputs_.Close();
        if (error == ProgramError::None) error = closed;
        WriteSummary(SummarizeRun(error));
    }
    if (error != ProgramError::None) {
        std::fprintf(out_, "\a%s\n", ErrorMessage(error));
        std::fputs("Press a key to quit\n", out_);
        std::fflush(out_);
        keys_.ReadKey();  // returns at once when no key can come
    }
    stopBoards();
    // Stage F: the output files (unless closed above), then the plotter.
    outputs_.Close();
    ClosePlotter(plotter_);
    for (void*& buffer : buffers_)
        if (buffer) DRELM_TSY_FreeReadoutBuffer(&buffer), buffer = nullptr;
    if (touchBoards)
        for (int b = 0; b < Boards(); ++b) DRELM_TSY_CloseTessary(handles_[b]);
    std::fflush(out_);
    return error;
}

// The run's totals, times and files, printed.
RunSummary Session::SummarizeRun(ProgramError error) {
    RunSummary summary;
    summary.version = std::string("Tessary_DAQ ") + kProgramVersion;
    summary.configPath = configPath_;
    summary.startedMs = loopStartMs_;
    summary.stoppedMs = platform::TimeNowMs();
    if (error != ProgramError::None) {
        summary.endedBy = "error " + std::to_string(static_cast<int>(error)) + ": " + ErrorMessage(error);
    } else {
        summary.endedBy = endedBy_.empty() ? "key" : endedBy_;
        summary.presetBoard = presets_.Board();  // -1 unless a board's preset ended the run
    }
    for (int b = 0; b < Boards(); ++b)
        summary.boards.push_back({models_[b], ConnectionText(config_->boards[b]), totals_.Board(b),
                                  totals_.BoardTimes(b), outputs_.Written(b)});
    PrintSummary(out_, summary);
    std::fprintf(out_, "Run summary file: %s\n", SummaryPath(*config_, userFolder_).c_str());
    std::fflush(out_);
    return summary;
}

void Session::WriteSummary(const RunSummary& summary) {
    const std::string path = SummaryPath(*config_, userFolder_);
    std::string failure;
    if (!WriteSummaryFile(path, SummaryJson(summary, path), failure))
        std::fprintf(out_, "Run summary %s could not be written: %s\n", path.c_str(), failure.c_str());
}

}  // namespace

ProgramError RunProgram(const ProgramOptions& options, platform::KeyInput& keys, std::FILE* out) {
    Session session(keys, out);
    ProgramError error = session.Start(options);
    if (error == ProgramError::None) error = session.Loop();
    return session.Shutdown(error);
}

ProgramError RunProgram(const ProgramOptions& options) {
    platform::ConfigureOutput();
    platform::InstallStopSignals();
    platform::ConsoleKeys keys;
    return RunProgram(options, keys, stdout);
}

}  // namespace tessary

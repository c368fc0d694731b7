// One acquisition session from start-up to shutdown: everything the program
// holds for a run, and the three stages that use it. Memory is taken during
// start-up only; the run loop allocates nothing.
//   SessionStartup.cpp   banner, configuration, boards, files, buffers, tables, plotter
//   SessionLoop.cpp      one pass of the run loop: keys, triggers, each board's turn
//   SessionShutdown.cpp  boards stopped, files closed, the run's summary
//   SessionMonitor.cpp   the live monitor: its start, the status and spectra it shows
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Accounting.h"
#include "AccountingThread.h"
#include "BoardCounters.h"
#include "Console.h"
#include "DaqConfig.h"
#include "DiskWatch.h"
#include "DrelmTessaryLib.h"
#include "FileLock.h"
#include "Keyboard.h"
#include "Monitor.h"
#include "MonitorStatus.h"
#include "OutputFiles.h"
#include "Plotter.h"
#include "Presets.h"
#include "Program.h"
#include "RunSummary.h"
#include "RunTotals.h"

namespace tessary {

class Session {
public:
    Session(platform::KeyInput& keys, std::FILE* out) : keys_(keys), out_(out) {}
    // Start-up; None when the run loop may begin.
    ProgramError Start(const ProgramOptions& options);
    // The run loop: passes until a quit; the error that ended it, if any.
    ProgramError Loop();
    // Stops the boards, closes everything, writes the summary; returns the
    // run's final error.
    ProgramError Shutdown(ProgramError error);

private:
    // Start-up stages.
    ProgramError ReadConfiguration(const ProgramOptions& options);
    ProgramError PrintBoardInfo();
    ProgramError AllocateBuffers();
    ProgramError LoadTables();
    bool StopAsked();

    // One pass of the loop and a board's turn in it.
    ProgramError Pass(KeyboardIo& io);
    ProgramError ReadBoard(int k);
    void NoData(int k, int64_t now);
    static void AccountBatch(void* session, const AccountingThread::Batch& batch);
    void PlotIfDue(int k, const EventRecord* events, uint32_t count);
    void RewriteHistograms(int k);
    void FollowAcquisition(bool wasRunning);
    void AfterPass();

    // The live monitor.
    ProgramError StartMonitor(const monitor::MonitorOptions& options);
    void PublishStatus();
    void PublishPrinted(int k, const monitor::StatisticsFigures& figures, int64_t nowMs);
    void FeedMonitor();
    void EndMonitor(const std::string& endedBy);

    // Shutdown.
    RunSummary SummarizeRun(ProgramError error);
    void WriteSummary(const RunSummary& summary);
    int Boards() const { return config_->boardCount; }

    platform::KeyInput& keys_;
    std::FILE* out_;
    std::string userFolder_;
    std::unique_ptr<DaqConfig> config_ = std::make_unique<DaqConfig>();
    std::vector<int32_t> handles_;
    std::vector<TriggerExtension> triggers_;
    std::vector<BoardCounters> current_, previous_;
    // One readout buffer per board, each sized by the library for its board,
    // so that no board's transfer can outgrow the buffer it is read into.
    std::vector<void*> buffers_;
    // Two event arrays: a batch is decoded into one while the accounting
    // thread may still have the other's in hand.
    std::vector<EventRecord> events_[2];
    AccountingThread accounting_;
    platform::FileLock outputLock_;  // the output folder's, for the run's name; held until the session ends
    OutputFiles outputs_;
    Plotter plotter_;
    bool boardsOpened_ = false;
    bool stoppedInStartUp_ = false;  // by a stop signal: the loop is not entered
    int64_t keyStamp_ = 0, statStamp_ = 0;
    std::vector<int64_t> noDataStamps_;  // per board: a dead board beside live ones is told too
    std::vector<int64_t> lastDataMs_;    // per board: when its last data came
    // Boards stopped whose histogram files still miss what was read since
    // their last statistics print (vector<bool> is no plain array).
    std::vector<uint8_t> histogramsDue_;
    // The statistics timer is one for all boards and each period prints one
    // board's block; the boards with data take these prints in turn. Left to
    // whichever board's turn the timer happens to expire in, a board whose
    // output work is short would take nearly every print, and the others
    // (the plotted one among them) would go for long without block, plot or
    // histogram; a board without data passes its turn straight on.
    bool statDue_ = false;
    int statBoard_ = 0;

    // The run as a whole, for the presets and the summary.
    bool startAtOnce_ = false;
    std::string configPath_;
    std::vector<std::string> models_;
    RunTotals totals_;
    bool loopReached_ = false;
    int64_t loopStartMs_ = 0;
    std::vector<RunSummary::Period> periods_;  // of acquisition, wall clock
    Presets presets_{ProgramOptions{}};
    int64_t pollStamp_ = 0;
    std::string endedBy_;
    // The output file system, checked after the passes every few seconds.
    DiskWatch disk_;

    // The live monitor, when on: the status is kept here with its room
    // taken at start-up, so that a publish copies without allocating.
    std::unique_ptr<monitor::Monitor> monitor_;
    std::FILE* console_ = nullptr;  // out_ before the monitor's tee took its place
    monitor::RunStatus status_;
    int64_t publishStamp_ = 0;
    int64_t statusResetMs_ = 0;  // the reset time the printed figures belong to
};

}  // namespace tessary

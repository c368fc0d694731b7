#include "Session.h"

#include "Clock.h"
#include "Paths.h"
#include "PrintableText.h"

namespace tessary {

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
        // The histogram files take every event accounted, also those read
        // since each board's last statistics print.
        for (int b = 0; b < Boards(); ++b) outputs_.RewriteHistograms(b, current_[b], *config_);
        for (int b = 0; b < Boards(); ++b) {
            const RunEnd end{loopStartMs_, platform::TimeNowMs(), totals_.Board(b), totals_.BoardTimes(b)};
            if (const ProgramError e = outputs_.EndRun(b, current_[b], &end); error == ProgramError::None) error = e;
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
    EndMonitor(error != ProgramError::None
                   ? "error " + std::to_string(static_cast<int>(error)) + ": " + ErrorMessage(error)
                   : endedBy_.empty() ? "key" : endedBy_);
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
    summary.periods = periods_;
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
    std::fflush(out_);
    return summary;
}

// The summary beside the output files; where that fails, in the per-user
// folder; where that fails too, printed whole, so that the run's record is
// never lost. A path is named only once the file is there.
void Session::WriteSummary(const RunSummary& summary) {
    const std::string path = SummaryPath(*config_, userFolder_);
    std::string failure;
    if (WriteSummaryFile(path, SummaryJson(summary, path), failure)) {
        std::fprintf(out_, "Run summary file: %s\n", Printable(path).c_str());
        std::fflush(out_);
        return;
    }
    std::fprintf(out_, "Run summary %s could not be written: %s\n", Printable(path).c_str(), failure.c_str());
    const std::string fallback = userFolder_ + path.substr(path.find_last_of(platform::PathSeparators()) + 1);
    if (fallback != path) {
        if (WriteSummaryFile(fallback, SummaryJson(summary, fallback), failure)) {
            std::fprintf(out_, "Run summary file: %s (in the per-user folder instead)\n", Printable(fallback).c_str());
            std::fflush(out_);
            return;
        }
        std::fprintf(out_, "Run summary %s could not be written: %s\n", Printable(fallback).c_str(), failure.c_str());
    }
    std::fprintf(out_, "Run summary, written nowhere:\n%s", SummaryJson(summary, path).c_str());
    std::fflush(out_);
}

}  // namespace tessary

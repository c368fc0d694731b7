#include "Session.h"

#include "Clock.h"
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
    std::fprintf(out_, "Run summary file: %s\n", Printable(SummaryPath(*config_, userFolder_)).c_str());
    std::fflush(out_);
    return summary;
}

void Session::WriteSummary(const RunSummary& summary) {
    const std::string path = SummaryPath(*config_, userFolder_);
    std::string failure;
    if (!WriteSummaryFile(path, SummaryJson(summary, path), failure))
        std::fprintf(out_, "Run summary %s could not be written: %s\n", Printable(path).c_str(), failure.c_str());
}

}  // namespace tessary

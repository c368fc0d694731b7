#include "Session.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "BoardSetup.h"
#include "Clock.h"
#include "ConfigParser.h"
#include "Directory.h"
#include "EarlierRun.h"
#include "Paths.h"
#include "ProgressLine.h"
#include "RunRecord.h"
#include "Signals.h"
#include "TableLoading.h"

namespace tessary {

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

// A stop signal during start-up ends it in order between its stages, as
// the quit key would at the prompt: what was opened is closed again.
bool Session::StopAsked() {
    if (!platform::StopRequested()) return false;
    if (!stoppedInStartUp_) std::fprintf(out_, "Stopped by %s during start-up\n", platform::StopSignalName());
    stoppedInStartUp_ = true;
    return true;
}

ProgramError Session::Start(const ProgramOptions& options) {
    startAtOnce_ = options.startAtOnce;
    presets_ = Presets(options);
    std::fputs("**************************************************************\n", out_);
    std::fprintf(out_, "                Tessary DAQ %s\n", kProgramVersion);
    std::fputs("**************************************************************\n", out_);
    // A stop while the file is read is a stop, not a parse error.
    const ProgramError read = ReadConfiguration(options);
    if (StopAsked()) return ProgramError::None;
    if (read != ProgramError::None) return read;
    if (const ProgramError e = PrepareOutputFolder(*config_, userFolder_, options.overwrite, out_, outputLock_);
        e != ProgramError::None)
        return e;

    try {
        handles_.assign(static_cast<std::size_t>(Boards()), -1);
        triggers_.assign(static_cast<std::size_t>(Boards()), TriggerExtension{});
        noDataStamps_.assign(static_cast<std::size_t>(Boards()), 0);
        lastDataMs_.assign(static_cast<std::size_t>(Boards()), 0);
        histogramsDue_.assign(static_cast<std::size_t>(Boards()), 0);
        periods_.reserve(64);  // a start adds one; more only grow it
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
    if (StopAsked()) return ProgramError::None;

    std::fputs("Program the peak-sensing\n", out_);
    std::fflush(out_);
    int32_t programmed = 0;
    for (int b = 0; b < Boards(); ++b) programmed |= ProgramBoard(out_, handles_[b], config_->boards[b]);
    if (programmed != 0) return ProgramError::ProgramBoard;
    if (StopAsked()) return ProgramError::None;

    // Stage A: the output directory and the first files.
    if (config_->outfileHdf5) outputs_.Describe(DescribeRun(configPath_, handles_.data(), Boards()));
    if (const ProgramError e = outputs_.Open(*config_, out_, OutputFiles::Writes::Behind); e != ProgramError::None)
        return e;
    try {
        if (const ProgramError e = AllocateBuffers(); e != ProgramError::None) return e;
    } catch (const std::bad_alloc&) {
        return ProgramError::Memory;
    }
    if (StopAsked()) return ProgramError::None;
    // Stage B: the boards' offset and calibration tables, then the plotter.
    std::fputs("Calibration upload\n", out_);
    std::fflush(out_);
    if (const ProgramError e = LoadTables(); e != ProgramError::None) return e;
    if (StopAsked()) return ProgramError::None;
    std::fputs("Open plotter\n", out_);
    std::fflush(out_);
    if (const ProgramError e = OpenPlotter(plotter_, *config_, userFolder_, out_); e != ProgramError::None) return e;

    accounting_.Start(&Session::AccountBatch, this);  // without its thread, the loop accounts every batch
    if (const ProgramError e = StartMonitor(options.monitor); e != ProgramError::None) return e;
    std::fputs("[s] start/stop the acquisition, [q] quit, [space key] help\n", out_);
    std::fflush(out_);
    keyStamp_ = statStamp_ = platform::TimeNowMs();
    noDataStamps_.assign(noDataStamps_.size(), keyStamp_);
    lastDataMs_.assign(lastDataMs_.size(), keyStamp_);
    return ProgramError::None;
}

}  // namespace tessary

#include "Replay.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "Accounting.h"
#include "BoardCounters.h"
#include "ConfigParser.h"
#include "DaqConfig.h"
#include "DrelmTessaryLib.h"
#include "ExitStatus.h"
#include "OutputFiles.h"
#include "Paths.h"
#include "RawEventStream.h"

namespace tessary::replay {
namespace {

// The board's configuration as the program would hold it after start-up.
std::unique_ptr<DaqConfig> ReadConfiguration(const ReplayRequest& request) {
    auto config = std::make_unique<DaqConfig>();
    std::ostringstream messages;
    std::ifstream file;
    int parsed = OpenConfigFile(request.config, file, messages);
    if (parsed == kConfigOk) parsed = ParseConfig(file, platform::UserFolder().value_or(""), *config, messages);
    std::fputs(messages.str().c_str(), stdout);
    std::fflush(stdout);
    if (parsed != kConfigOk) {
        std::fprintf(stderr, "tessary_replay: the configuration %s cannot be used\n", request.config.c_str());
        return nullptr;
    }
    if (request.board < 0 || request.board >= config->boardCount) {
        std::fprintf(stderr, "tessary_replay: board %d is not in the configuration, which opens %d board%s%s\n",
                     request.board, config->boardCount, config->boardCount == 1 ? "" : "s",
                     config->boardCount > 1 ? (" (0 to " + std::to_string(config->boardCount - 1) + ")").c_str()
                                            : "");
        return nullptr;
    }
    // The raw files are the input: they are never written here.
    config->outfileRaw = 0;
    std::string folder = request.outputFolder;
    if (folder.empty()) folder = ".";
    if (folder.back() != '/') folder += '/';
    if (folder.size() >= static_cast<std::size_t>(kPathFieldSize)) {
        std::fprintf(stderr, "tessary_replay: the output folder's path is longer than the program takes (%d characters)\n",
                     kPathFieldSize - 2);
        return nullptr;
    }
    std::memset(config->outfilePath, 0, sizeof config->outfilePath);
    std::memcpy(config->outfilePath, folder.data(), folder.size());
    return config;
}

// The board's channel count, which the program takes from the open board:
// a 64-channel board carries four blocks in every event, a 32-channel board
// two. 0 when no file holds an event to tell.
int ChannelsFromData(RawEventStream& stream, const std::vector<std::string>& files) {
    for (const std::string& name : files) {
        RawEventStream::Chunk chunk;
        if (!stream.Open(name) || stream.Read(chunk, 1) != RawEventStream::Next::Chunk) continue;
        return (chunk.words[1] & 0x50u) != 0 ? 64 : 32;
    }
    return 0;
}

// Whether the replay would write over `raw`: one of the board's list or
// histogram files in the output folder, given by mistake as input.
bool OwnOutput(const std::string& raw, const DaqConfig& config, int board) {
    namespace fs = std::filesystem;
    const fs::path path(raw);
    std::error_code error;
    if (!fs::equivalent(path.has_parent_path() ? path.parent_path() : fs::path("."), config.outfilePath, error))
        return false;
    const std::string name = path.filename().string();
    for (const char* kind : {"_list_b", "_histo_b"})
        if (name.rfind(config.outfileName + std::string(kind) + std::to_string(board) + "_", 0) == 0) return true;
    return false;
}

int EnabledChannels(const BoardSettings& board) {
    int count = 0;
    for (int ch = 0; ch < board.channelCount && ch < kMaxChannels; ++ch)
        count += ChannelEnabled(board, ch);
    return count;
}

// The run loop's work for one board, with raw files in place of the
// transfers: decoding, accounting, list lines and the size rule.
class BoardReplay {
public:
    BoardReplay(DaqConfig& config, int board) : config_(config), board_(board) {}

    // Creates the output files; false after the messages when it cannot.
    bool Open() {
        if (outputs_.OpenBoard(board_, config_, stdout, OutputFiles::Writes::Behind) != ProgramError::None) {
            outputs_.Close();
            std::fprintf(stderr, "tessary_replay: the output files cannot be created in %s\n", config_.outfilePath);
            return false;
        }
        if (AllocCounterSpectra(current_) != 0) {
            std::fprintf(stderr, "tessary_replay: no memory for the spectra\n");
            return false;
        }
        events_.resize(DRELM_TSY_MAX_EVENTS_PER_TRANSFER);
        return true;
    }

    // Replays one raw file. An exit status: ok, bad data (its message
    // printed) or an output failure.
    int File(RawEventStream& stream, const std::string& name) {
        int status = stream.Open(name) ? kExitOk : kExitBadData;
        RawEventStream::Chunk chunk;
        RawEventStream::Next next = RawEventStream::Next::End;
        while (status == kExitOk &&
               (next = stream.Read(chunk, DRELM_TSY_MAX_EVENTS_PER_TRANSFER)) == RawEventStream::Next::Chunk)
            status = Events(chunk, name);
        if (next == RawEventStream::Next::Bad) status = kExitBadData;
        if (!stream.Problem().empty()) std::fprintf(stderr, "tessary_replay: %s\n", stream.Problem().c_str());
        if (sinceSegmentCheck_ > 0 && outputs_.ChangeSegments(board_, config_) != ProgramError::None &&
            status == kExitOk)
            status = kExitOutput;
        sinceSegmentCheck_ = 0;
        bytes_ += stream.BytesDone();
        stream.Close();
        return status;
    }

    // What was decoded is written out whatever stopped the replay: the
    // histograms hold every event that reached the list.
    int Finish() {
        int status = kExitOk;
        if (outputs_.RewriteHistograms(board_, current_, config_) != ProgramError::None) status = kExitOutput;
        lastListSegment_ = outputs_.ListSegment(board_);
        if (outputs_.Close() != ProgramError::None) status = kExitOutput;
        return status;
    }

    uint64_t EventCount() const { return eventCount_; }
    uint64_t Bytes() const { return bytes_; }
    int32_t LastListSegment() const { return lastListSegment_; }

private:
    int Events(const RawEventStream::Chunk& chunk, const std::string& name) {
        uint32_t count = 0;
        if (DRELM_TSY_GetEvents(0, chunk.words, chunk.wordCount, events_.data(), &count) != 0 ||
            count != chunk.events) {
            std::fprintf(stderr, "tessary_replay: %s: byte offset %llu: the decoder refused the events there\n",
                         name.c_str(), static_cast<unsigned long long>(chunk.offset));
            return kExitBadData;
        }
        UpdateBatchCounters(chunk.wordCount * 4, events_.data(), count, current_, trigger_,
                            config_.boards[board_].channelCount);
        eventCount_ += count;
        if (outputs_.WriteBatch(board_, nullptr, 0, events_.data(), count) != ProgramError::None) return kExitOutput;
        // The size rule once per transfer's worth of events at most: runs
        // between filler words are often short, and the check asks the file
        // system.
        sinceSegmentCheck_ += count;
        if (sinceSegmentCheck_ < DRELM_TSY_MAX_EVENTS_PER_TRANSFER) return kExitOk;
        sinceSegmentCheck_ = 0;
        return outputs_.ChangeSegments(board_, config_) == ProgramError::None ? kExitOk : kExitOutput;
    }

    DaqConfig& config_;
    const int board_;
    OutputFiles outputs_;
    BoardCounters current_;
    std::vector<EventRecord> events_;
    TriggerExtension trigger_;
    uint32_t sinceSegmentCheck_ = 0;
    uint64_t eventCount_ = 0, bytes_ = 0;
    int32_t lastListSegment_ = 0;
};

}  // namespace

int Replay(const ReplayRequest& request) {
    std::unique_ptr<DaqConfig> config = ReadConfiguration(request);
    if (!config) return kExitUsage;
    const int board = request.board;
    BoardSettings& settings = config->boards[board];

    // Every input must be there before any output is touched.
    RawEventStream stream;
    for (const std::string& name : request.rawFiles) {
        if (!stream.Open(name)) {
            std::fprintf(stderr, "tessary_replay: %s\n", stream.Problem().c_str());
            return kExitBadData;
        }
        if (OwnOutput(name, *config, board)) {
            std::fprintf(stderr, "tessary_replay: %s is a file the replay writes; give another output folder\n",
                         name.c_str());
            return kExitUsage;
        }
    }
    settings.channelCount = request.channels != 0 ? request.channels : ChannelsFromData(stream, request.rawFiles);
    if (settings.channelCount == 0) {
        settings.channelCount = kMaxChannels;
        std::fprintf(stderr, "tessary_replay: no event tells the board's channel count: 64 taken (see --channels)\n");
    }

    BoardReplay replay(*config, board);
    if (!replay.Open()) return kExitOutput;
    int status = kExitOk;
    std::size_t filesDone = 0;
    for (const std::string& name : request.rawFiles) {
        if ((status = replay.File(stream, name)) != kExitOk) break;
        ++filesDone;
    }
    if (const int finished = replay.Finish(); status == kExitOk) status = finished;

    std::printf("Board %d: %llu events from %zu of %zu raw files (%llu bytes), %d channels\n", board,
                static_cast<unsigned long long>(replay.EventCount()), filesDone, request.rawFiles.size(),
                static_cast<unsigned long long>(replay.Bytes()), settings.channelCount);
    if (config->outfileList)
        std::printf("List files: %d segments in %s\n", static_cast<int>(replay.LastListSegment()) + 1,
                    config->outfilePath);
    if (config->outfileHisto) std::printf("Histogram files: %d in %s\n", EnabledChannels(settings), config->outfilePath);
    if (!config->outfileList && !config->outfileHisto)
        std::printf("The configuration asks for neither list nor histogram files: the raw files were only checked\n");
    if (status == kExitOutput) std::fprintf(stderr, "tessary_replay: the output files could not all be written\n");
    return status;
}

}  // namespace tessary::replay

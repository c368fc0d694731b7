#include "Replay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
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
#include "Program.h"
#include "Paths.h"
#include "RawEventStream.h"
#include "ReplayFiles.h"

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
        char range[32] = "";
        if (config->boardCount > 1) std::snprintf(range, sizeof range, " (0 to %d)", config->boardCount - 1);
        std::fprintf(stderr, "tessary_replay: board %d is not in the configuration, which opens %d board%s%s\n",
                     request.board, config->boardCount, config->boardCount == 1 ? "" : "s", range);
        return nullptr;
    }
    // The raw files are the input: they are never written here.
    config->outfileRaw = 0;
    if (request.hdf5) config->outfileHdf5 = 1;
    std::string folder = request.outputFolder;
    if (folder.empty()) folder.assign(1, '.');
    if (std::string_view(platform::PathSeparators()).find(folder.back()) == std::string_view::npos)
        folder += platform::PathSeparator();
    if (folder.size() >= static_cast<std::size_t>(kPathFieldSize)) {
        std::fprintf(stderr, "tessary_replay: the output folder's path is longer than the program takes (%d characters)\n",
                     kPathFieldSize - 2);
        return nullptr;
    }
    std::memset(config->outfilePath, 0, sizeof config->outfilePath);
    std::memcpy(config->outfilePath, folder.data(), folder.size());
    return config;
}

// The channel count that an event's blocks tell, from its header word 1:
// the library enables every block of the board's form, so a 64-channel
// board's events carry four blocks (2 and 3 among them), a 32-channel
// board's two, whatever channels the configuration enables.
int ChannelsOfEvent(const uint32_t* event) { return (event[1] & 0x50u) != 0 ? 64 : 32; }

// The channel count that the first event of a raw file tells; 0 when the
// file holds none (or is damaged before it, which the replay reports). Read
// through a small buffer: every file is looked at before anything is written.
int ChannelsOfFile(const std::string& name) {
    RawEventStream probe(std::size_t{1} << 12);
    RawEventStream::Chunk chunk;
    if (!probe.Open(name) || probe.Read(chunk, 1) != RawEventStream::Next::Chunk) return 0;
    return ChannelsOfEvent(chunk.words);
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
    bool Open(const std::string& configPath) {
        if (config_.outfileHdf5) {
            RunDescription run;
            run.version = std::string("tessary_replay of Tessary_DAQ ") + kProgramVersion;
            std::ifstream text(configPath, std::ios::binary);
            run.configText.assign(std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>());
            outputs_.Describe(std::move(run));
        }
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
        firstOfFile_ = true;
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
        // The spectra of the events replayed; the run's own totals are the summary's.
        if (outputs_.EndRun(board_, current_, nullptr) != ProgramError::None) status = kExitOutput;
        lastListSegment_ = outputs_.ListSegment(board_);
        if (outputs_.Close() != ProgramError::None) status = kExitOutput;
        return status;
    }

    uint64_t EventCount() const { return eventCount_; }
    uint64_t Bytes() const { return bytes_; }
    int32_t LastListSegment() const { return lastListSegment_; }
    // After Finish: every file written, by its path.
    const std::vector<WrittenFile>& Written() const { return outputs_.Written(board_); }

private:
    // An event whose blocks tell another channel count than the board's
    // (raw files of two boards joined, say) is refused where it begins; the
    // events before it are replayed.
    int Events(const RawEventStream::Chunk& chunk, const std::string& name) {
        const int channels = config_.boards[board_].channelCount;
        uint32_t at = 0;
        for (uint32_t e = 0; e < chunk.events; ++e, at += chunk.words[at] & 0x0FFFFFFFu) {
            const int told = ChannelsOfEvent(chunk.words + at);
            if (told == channels) continue;
            RawEventStream::Chunk before = chunk;
            before.wordCount = at;
            before.events = e;
            const int status = e > 0 ? Replayed(before, name) : kExitOk;
            if (status != kExitOk) return status;
            std::fprintf(stderr,
                         "tessary_replay: %s: byte offset %llu: an event with %d blocks (a %d-channel board's) among "
                         "the events of a %d-channel board\n",
                         name.c_str(), static_cast<unsigned long long>(chunk.offset + 4 * uint64_t{at}), told / 16,
                         told, channels);
            return kExitBadData;
        }
        return Replayed(chunk, name);
    }

    int Replayed(const RawEventStream::Chunk& chunk, const std::string& name) {
        uint32_t count = 0;
        if (DRELM_TSY_GetEvents(0, chunk.words, chunk.wordCount, events_.data(), &count) != 0 ||
            count != chunk.events) {
            std::fprintf(stderr, "tessary_replay: %s: byte offset %llu: the decoder refused the events there\n",
                         name.c_str(), static_cast<unsigned long long>(chunk.offset));
            return kExitBadData;
        }
        if (count > 0) {
            if (firstOfFile_ && !lastFile_.empty() && Backwards(lastTimestamp_, events_[0].timestamp))
                std::fprintf(stderr,
                             "Warning: the time stamps go backwards from %s (last event at %llu) to %s (first event "
                             "at %llu): are the raw files in their order, and of one run?\n",
                             lastFile_.c_str(), static_cast<unsigned long long>(lastTimestamp_), name.c_str(),
                             static_cast<unsigned long long>(events_[0].timestamp));
            firstOfFile_ = false;
            lastFile_ = name;
            lastTimestamp_ = events_[count - 1].timestamp;
        }
        UpdateBatchCounters(chunk.wordCount * 4, events_.data(), count, current_, trigger_,
                            config_.boards[board_].channelCount);
        eventCount_ += count;
        // The bytes too, for the HDF5 file, which decodes them as the live run's does.
        if (outputs_.WriteBatch(board_, chunk.words, chunk.wordCount * 4, events_.data(), count) != ProgramError::None)
            return kExitOutput;
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
    // The file whose events came last, and its last time stamp, to warn when
    // the next file's first event comes before it.
    std::string lastFile_;
    uint64_t lastTimestamp_ = 0;
    bool firstOfFile_ = true;
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
    stream.Close();
    std::vector<std::string> rawFiles = request.rawFiles;
    if (SegmentOrder(rawFiles)) std::printf("The raw files are replayed in the order of their segment numbers\n");
    if (const std::optional<RawName> name = ParseRawName(rawFiles.front());
        name && name->board != std::to_string(board))
        std::fprintf(stderr, "Warning: %s is named as a raw file of board %s, and is replayed as board %d\n",
                     rawFiles.front().c_str(), name->board.c_str(), board);

    // The channel count: the configuration does not hold it (the program
    // asks the open board), so the data tell it, and every file must tell
    // the same, and what --channels says.
    std::string toldBy;
    int told = 0;
    for (const std::string& name : rawFiles) {
        const int channels = ChannelsOfFile(name);
        if (channels == 0) continue;
        if (told == 0) {
            told = channels, toldBy = name;
        } else if (channels != told) {
            std::fprintf(stderr,
                         "tessary_replay: %s holds events of a %d-channel board (%d blocks each), but %s of a "
                         "%d-channel board (%d blocks): raw files of different boards\n",
                         toldBy.c_str(), told, told / 16, name.c_str(), channels, channels / 16);
            return kExitUsage;
        }
    }
    if (request.channels != 0 && told != 0 && told != request.channels) {
        std::fprintf(stderr,
                     "tessary_replay: the events of %s carry %d blocks, as a %d-channel board's do, but --channels "
                     "gives %d channels\n",
                     toldBy.c_str(), told / 16, told, request.channels);
        return kExitUsage;
    }
    settings.channelCount = request.channels != 0 ? request.channels : told;
    if (settings.channelCount == 0) {
        settings.channelCount = kMaxChannels;
        std::fprintf(stderr, "tessary_replay: no event tells the board's channel count: 64 taken (see --channels)\n");
    }

    // Files of an earlier run or replay are not written over unasked.
    const std::vector<std::filesystem::path> existing = ExistingOutputs(*config, board);
    if (!existing.empty() && !request.overwrite) {
        std::fprintf(stderr,
                     "tessary_replay: %s exists already%s: the replay would write over it; --overwrite allows that\n",
                     existing.front().string().c_str(),
                     existing.size() > 1
                         ? (" (and " + std::to_string(existing.size() - 1) + " more of board " +
                            std::to_string(board) + "'s list or histogram files)").c_str()
                         : "");
        return kExitUsage;
    }

    BoardReplay replay(*config, board);
    if (!replay.Open(request.config)) return kExitOutput;
    int status = kExitOk;
    std::size_t filesDone = 0;
    for (const std::string& name : rawFiles) {
        if ((status = replay.File(stream, name)) != kExitOk) break;
        ++filesDone;
    }
    if (const int finished = replay.Finish(); status == kExitOk) status = finished;

    // Files written over are the replay's now; others of the board's names
    // (later segments, histograms of other channels) are not, and stay.
    std::set<std::filesystem::path> written;
    for (const WrittenFile& file : replay.Written()) written.insert(std::filesystem::path(file.name).filename());
    for (const std::filesystem::path& file : existing)
        if (!written.count(file.filename()))
            std::fprintf(stderr, "Warning: %s is left from before: this replay did not write it\n", file.string().c_str());

    std::printf("Board %d: %llu events from %zu of %zu raw files (%llu bytes), %d channels\n", board,
                static_cast<unsigned long long>(replay.EventCount()), filesDone, request.rawFiles.size(),
                static_cast<unsigned long long>(replay.Bytes()), settings.channelCount);
    if (config->outfileList)
        std::printf("List files: %d segments in %s\n", static_cast<int>(replay.LastListSegment()) + 1,
                    config->outfilePath);
    if (config->outfileHisto) std::printf("Histogram files: %d in %s\n", EnabledChannels(settings), config->outfilePath);
    if (config->outfileHdf5)
        std::printf("HDF5 event file: %s%s_events_b%d.h5\n", config->outfilePath, config->outfileName, board);
    if (!config->outfileList && !config->outfileHisto && !config->outfileHdf5)
        std::printf("The configuration asks for neither list nor histogram files: the raw files were only checked\n");
    if (status == kExitOutput) std::fprintf(stderr, "tessary_replay: the output files could not all be written\n");
    return status;
}

}  // namespace tessary::replay

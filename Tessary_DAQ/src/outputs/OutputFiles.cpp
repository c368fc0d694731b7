#include "OutputFiles.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>

#include "Clock.h"
#include "Directory.h"
#include "HistogramText.h"
#include "OutputFile.h"
#include "PrintableText.h"

namespace tessary {
namespace {

int ChannelCount(const BoardSettings& board) {
    return board.channelCount < 0 ? 0 : board.channelCount > kMaxChannels ? kMaxChannels : board.channelCount;
}

// Text fields of the configuration hold at most their size - 1 characters;
// the bounds keep a field without its terminating zero from being read past
// its end.
constexpr int kPathChars = kPathFieldSize - 1;
constexpr int kNameChars = kTextFieldSize - 1;

// The output directory, for messages: bounded, unprintable characters escaped.
std::string Shown(const char* path) { return Printable(std::string_view(path, strnlen(path, kPathChars))); }

}  // namespace

static_assert(kBehindBufferBytes % (2 * platform::kDirectWriteAlignment) == 0,
              "buffers written behind are halved into whole blocks for direct writes");

bool SegmentFull(uint64_t bytesOnDisk, int32_t maxSizeMiB) {
    const uint64_t limit = maxSizeMiB < 0 ? 0 : static_cast<uint64_t>(maxSizeMiB);
    return (bytesOnDisk >> 20) > limit;
}

OutputFiles::~OutputFiles() { Close(); }

char* OutputFiles::AlignedBuffers() const {
    constexpr uintptr_t kAlign = platform::kDirectWriteAlignment;
    const auto address = reinterpret_cast<uintptr_t>(buffers_.get());
    return buffers_.get() + (kAlign - address % kAlign) % kAlign;
}

int32_t OutputFiles::RawSegment(int board) const { return ValidBoard(board) ? boards_[board].rawSegment : 0; }
int32_t OutputFiles::ListSegment(int board) const { return ValidBoard(board) ? boards_[board].listSegment : 0; }

const std::vector<WrittenFile>& OutputFiles::Written(int board) const {
    static const std::vector<WrittenFile> kNone;
    return board >= 0 && static_cast<std::size_t>(board) < written_.size() ? written_[board] : kNone;
}

void OutputFiles::Record(int board, const BufferedFile& file, bool whole) {
    written_[board].push_back({file.Name(), file.BytesGiven(), file.Checksum(), whole});
}

namespace {
constexpr int kKinds = 3;
std::size_t KindIndex(int board, OutputKind kind) {
    return static_cast<std::size_t>(board) * kKinds + static_cast<std::size_t>(kind);
}
}  // namespace

bool OutputFiles::Segment(int board, bool list, OpenSegment& segment) const {
    if (!ValidBoard(board)) return false;
    const BufferedFile& file = list ? boards_[board].list : boards_[board].raw;
    if (!file.IsOpen()) return false;
    segment = {file.Name(), file.BytesGiven(), bufferBytes_[list ? 1 : 0]};
    return true;
}

bool OutputFiles::EventFile(int board, OpenSegment& file) const {
    if (!ValidBoard(board) || !boards_[board].hdf5.IsOpen()) return false;
    const Hdf5Output& hdf5 = boards_[board].hdf5;
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(hdf5.Name(), error);
    file = {hdf5.Name(), error ? 0 : static_cast<uint64_t>(size), static_cast<std::size_t>(hdf5.PendingBytes())};
    return true;
}

uint64_t OutputFiles::BytesGiven(int board, OutputKind kind) const {
    if (board < 0 || KindIndex(board, kind) >= bytesGiven_.size()) return 0;
    uint64_t bytes = bytesGiven_[KindIndex(board, kind)];
    OpenSegment open;
    if (kind != OutputKind::Histogram && Segment(board, kind == OutputKind::List, open)) bytes += open.bytes;
    return bytes;
}

uint64_t OutputFiles::LargestHistogram() const {
    uint64_t largest = 0;
    for (int b = 0; b < Boards(); ++b)
        for (const WrittenFile& histogram : histograms_[b])
            if (histogram.bytes > largest) largest = histogram.bytes;
    return largest;
}

bool OutputFiles::DirectoryAccessible(const DaqConfig& config) {
    if (platform::PathAccessible(config.outfilePath)) return true;
    std::fprintf(out_,
                 "path %s cannot be accessed. Please verify that the selected directory exists and is writable\n",
                 Shown(config.outfilePath).c_str());
    return false;
}

bool OutputFiles::BuildName(const DaqConfig& config, const char* kind, int board, const char* what,
                            int32_t number, const char* extension) {
    const int length = std::snprintf(name_, sizeof name_, "%.*s%.*s_%s_b%d_%s%d.%s", kPathChars,
                                     config.outfilePath, kNameChars, config.outfileName, kind, board, what,
                                     static_cast<int>(number), extension);
    return length > 0 && static_cast<std::size_t>(length) < sizeof name_;
}

ProgramError OutputFiles::WriteFailed(BufferedFile& file) {
    if (file.FailureToReport()) {
        std::fprintf(out_, "Output file %s could not be written: %s\n", Printable(file.Name()).c_str(), std::strerror(file.Error()));
        if (file.CutError() != 0)
            std::fprintf(out_, "Output file %s could not be cut back to its last whole transfer (%llu bytes): %s\n",
                         Printable(file.Name()).c_str(), static_cast<unsigned long long>(file.BytesGiven()),
                         std::strerror(file.CutError()));
    }
    return ProgramError::OutputFileWrite;
}

ProgramError OutputFiles::WriteFailed(Hdf5Output& file) {
    int error = 0;
    if (file.FailureToReport(error))
        std::fprintf(out_, "Output file %s could not be written: %s\n", Printable(file.Name()).c_str(),
                     std::strerror(error));
    return ProgramError::OutputFileWrite;
}

bool OutputFiles::AppendHeader(BoardFiles& files) {
    if (!files.list.Append(files.lines.Header(), files.lines.HeaderLength())) return false;
    files.list.MarkWhole();
    return true;
}

ProgramError MakeOutputDirectory(const DaqConfig& config, std::FILE* out) {
    if (platform::PathAccessible(config.outfilePath)) return ProgramError::None;
    if (!platform::MakeDirectory(std::string(config.outfilePath, strnlen(config.outfilePath, kPathChars)))) {
        std::fprintf(out,
                     "Output directory %s could not be created. Please verify that the path exists and is "
                     "writable\n",
                     Shown(config.outfilePath).c_str());
        return ProgramError::OutputDirectory;
    }
    std::fprintf(out, "Output directory %s created\n", Shown(config.outfilePath).c_str());
    return ProgramError::None;
}

ProgramError OutputFiles::Open(const DaqConfig& config, std::FILE* out, Writes writes) {
    Close();
    out_ = out ? out : stdout;
    platform::PrepareOutputFiles();

    if (const ProgramError e = MakeOutputDirectory(config, out_); e != ProgramError::None) return e;

    boardCount_ = config.boardCount < 0 ? 0 : config.boardCount > kMaxBoards ? kMaxBoards : config.boardCount;
    const bool behind = writes == Writes::Behind;
    behind_ = behind;
    const std::size_t rawBytes = behind ? kBehindBufferBytes : kRawBufferBytes;
    const std::size_t listBytes = behind ? kBehindBufferBytes : kListBufferBytes;
    const std::size_t perBoard = (config.outfileRaw ? rawBytes : 0) + (config.outfileList ? listBytes : 0);
    try {
        written_.assign(static_cast<std::size_t>(boardCount_), {});
        bytesGiven_.assign(static_cast<std::size_t>(boardCount_) * kKinds, 0);
        histograms_.assign(static_cast<std::size_t>(boardCount_), std::vector<WrittenFile>(kMaxChannels));
        boards_ = std::make_unique<BoardFiles[]>(static_cast<std::size_t>(boardCount_));
        // One block more, for the first buffer to start on a block: direct
        // writes need it, and every buffer size is a multiple of a block.
        if (perBoard > 0)
            buffers_.reset(new char[perBoard * static_cast<std::size_t>(boardCount_) + platform::kDirectWriteAlignment]);
        if (config.outfileHisto) histogramBuffer_.reset(new char[kHistogramBufferBytes]);
    } catch (const std::bad_alloc&) {
        Close();
        return ProgramError::Memory;
    }
    histogram_.SetBuffer(histogramBuffer_.get(), config.outfileHisto ? kHistogramBufferBytes : 0);
    bufferBytes_[0] = rawBytes;
    bufferBytes_[1] = listBytes;
    // Without the thread every write is made on the caller's, as the
    // histograms' are: slower when the disk stalls, but nothing is lost.
    if (behind && perBoard > 0) writer_.Start(3 * static_cast<std::size_t>(boardCount_));

    for (int b = 0; b < boardCount_; ++b) {
        if (onlyBoard_ >= 0 && b != onlyBoard_) continue;
        BoardFiles& files = boards_[b];
        char* buffer = AlignedBuffers() + perBoard * static_cast<std::size_t>(b);
        if (config.outfileRaw) files.raw.SetBuffer(buffer, rawBytes, &writer_), buffer += rawBytes;
        if (config.outfileList) files.list.SetBuffer(buffer, listBytes, &writer_);
        files.lines.Configure(config.boards[b]);
        files.flushedMs = platform::TimeNowMs();
        if (const ProgramError e = CreateFirstSegments(b, config); e != ProgramError::None) return e;
    }
    return ProgramError::None;
}

ProgramError OutputFiles::OpenBoard(int board, const DaqConfig& config, std::FILE* out, Writes writes) {
    if (board < 0 || board >= config.boardCount || board >= kMaxBoards) return ProgramError::OutputFileOpen;
    onlyBoard_ = board;
    const ProgramError result = Open(config, out, writes);
    onlyBoard_ = -1;
    return result;
}

ProgramError OutputFiles::CreateFirstSegments(int board, const DaqConfig& config) {
    BoardFiles& files = boards_[board];
    files.rawSegment = files.listSegment = 0;
    if (config.outfileRaw) {
        if (!DirectoryAccessible(config)) return ProgramError::OutputFileOpen;
        if (!BuildName(config, "raw", board, "seg", 0, "bin") || !files.raw.Create(name_)) {
            std::fprintf(out_, "output file %s could not be created.\n", Printable(name_).c_str());
            return ProgramError::OutputFileOpen;
        }
    }
    if (config.outfileList) {
        if (!DirectoryAccessible(config)) return ProgramError::OutputFileOpen;
        if (!BuildName(config, "list", board, "seg", 0, "txt") || !files.list.Create(name_)) {
            std::fprintf(out_, "output file %s could not be created.\n", Printable(name_).c_str());
            return ProgramError::OutputFileOpen;
        }
        if (!AppendHeader(files)) return WriteFailed(files.list);
    }
    if (config.outfileHdf5) {
        if (!DirectoryAccessible(config)) return ProgramError::OutputFileOpen;
        const int length = std::snprintf(name_, sizeof name_, "%.*s%.*s_events_b%d.h5", kPathChars,
                                         config.outfilePath, kNameChars, config.outfileName, board);
        errno = 0;
        if (length <= 0 || static_cast<std::size_t>(length) >= sizeof name_ ||
            !files.hdf5.Open(name_, board, config, run_, behind_)) {
            const bool unavailable = errno == ENOSYS;
            std::fprintf(out_, "output file %s could not be created.\n", Printable(name_).c_str());
            if (unavailable) std::fprintf(out_, "HDF5 event files are not available in this build\n");
            return ProgramError::OutputFileOpen;
        }
    }
    if (config.outfileHisto) return CreateHistogramFiles(board, config);
    return ProgramError::None;
}

ProgramError OutputFiles::CreateHistogramFiles(int board, const DaqConfig& config) {
    if (!DirectoryAccessible(config)) return ProgramError::OutputFileOpen;
    const BoardSettings& settings = config.boards[board];
    for (int ch = 0; ch < ChannelCount(settings); ++ch) {
        if (!ChannelEnabled(settings, ch)) continue;
        if (!BuildName(config, "histo", board, "ch", ch, "txt") || !histogram_.Create(name_)) {
            std::fprintf(out_, "output file %s could not be created.\n", Printable(name_).c_str());
            return ProgramError::OutputFileOpen;
        }
        histogram_.Close();  // empty: nothing to lose
        histograms_[board][ch] = {name_, 0, histogram_.Checksum(), true};
    }
    return ProgramError::None;
}

ProgramError OutputFiles::RewriteHistograms(int board, const BoardCounters& current, const DaqConfig& config) {
    if (!config.outfileHisto || !ValidBoard(board) || !histogramBuffer_) return ProgramError::None;
    if (!DirectoryAccessible(config)) return ProgramError::OutputFileOpen;
    const BoardSettings& settings = config.boards[board];
    const int bins = SpectrumBins(settings.spectrumShift);
    for (int ch = 0; ch < ChannelCount(settings); ++ch) {
        if (!ChannelEnabled(settings, ch)) continue;
        // Written under another name and renamed over the file, so that the
        // last whole histogram survives a crash or a full disk mid-write.
        char part[kFileNameSize + sizeof ".part"];
        if (!BuildName(config, "histo", board, "ch", ch, "txt") ||
            std::snprintf(part, sizeof part, "%s.part", name_) >= static_cast<int>(sizeof part) ||
            !histogram_.Create(part)) {
            std::fprintf(out_, "output file %s could not be created.\n", Printable(name_).c_str());
            return ProgramError::OutputFileOpen;
        }
        const double* spectrum = current.spectrum[ch];
        for (int bin = 0; spectrum != nullptr && bin < bins; ++bin) {
            char* line = histogram_.Reserve(kHistogramLineMax);
            if (line == nullptr) break;
            histogram_.Commit(HistogramLine(line, bin, spectrum[bin]));
        }
        const bool whole = histogram_.Close();
        if (!whole || !platform::ReplaceFile(part, name_)) {
            std::fprintf(out_, "Warning: histogram file %s could not be written: %s\n", Printable(name_).c_str(),
                         std::strerror(whole ? errno : histogram_.Error()));
            platform::RemoveFile(part);
            return ProgramError::OutputFileWrite;
        }
        WrittenFile& record = histograms_[board][ch];
        record.bytes = histogram_.BytesGiven();
        bytesGiven_[KindIndex(board, OutputKind::Histogram)] += record.bytes;
        record.checksum = histogram_.Checksum();
    }
    return ProgramError::None;
}

ProgramError OutputFiles::WriteBatch(int board, const void* raw, uint32_t bytes, const EventRecord* events,
                                     uint32_t count) {
    if (!ValidBoard(board)) return ProgramError::None;
    BoardFiles& files = boards_[board];
    ProgramError result = ProgramError::None;
    // Each file's transfer is marked whole once all of it was taken: a file
    // that fails later is cut back to such a mark.
    if (files.raw.IsOpen() && raw != nullptr && bytes > 0) {
        if (files.raw.Append(raw, bytes))
            files.raw.MarkWhole();
        else
            result = WriteFailed(files.raw);
    }
    // The list is written even when the raw write failed: the run ends, but
    // the events of this transfer still reach the file that can take them.
    if (files.list.IsOpen() && events != nullptr) {
        const std::size_t length = files.lines.LineLength();
        uint32_t i = 0;
        for (; i < count; ++i) {
            char* line = files.list.Reserve(length);
            if (line == nullptr) {
                result = WriteFailed(files.list);
                break;
            }
            files.list.Commit(files.lines.Line(events[i], line));
        }
        if (i == count) files.list.MarkWhole();
    }
    if (files.hdf5.IsOpen() && raw != nullptr && bytes > 0 && !files.hdf5.Append(raw, bytes, count))
        result = WriteFailed(files.hdf5);
    return result;
}

ProgramError OutputFiles::NextSegment(BufferedFile& file, int32_t& segment, int board, const DaqConfig& config,
                                      bool list) {
    if (!file.IsOpen()) return ProgramError::None;
    if (file.Failed()) return WriteFailed(file);
    platform::OpenFileStatus status;
    if (!file.Status(status)) return ProgramError::None;
    if (status.removed) {
        // Whatever it holds, and all that would still go to it, vanishes at
        // its close.
        bool& reported = boards_[board].deletionReported[list ? 1 : 0];
        if (!reported)
            std::fprintf(out_, "Output file %s was deleted during the run: its data are lost\n",
                         Printable(file.Name()).c_str());
        reported = true;
        return ProgramError::OutputFileWrite;
    }
    if (!SegmentFull(status.bytes, config.outfileMaxSize)) return ProgramError::None;

    // Numbers only grow, also past the ones that could not be created.
    if (segment < INT32_MAX) ++segment;
    if (!DirectoryAccessible(config)) return ProgramError::None;
    if (!BuildName(config, list ? "list" : "raw", board, "seg", segment, list ? "txt" : "bin")) {
        std::fprintf(out_, "output file %s could not be created.\n", Printable(name_).c_str());
        return ProgramError::None;
    }
    std::memcpy(previousName_, file.Name(), sizeof previousName_);
    // What the closed segment holds, cut back when its last writes failed.
    BufferedFile::Closed closed;
    const BufferedFile::Switch switched = file.SwitchTo(name_, &closed);
    if (switched != BufferedFile::Switch::NotCreated) {
        written_[board].push_back(
            {previousName_, closed.bytes, closed.checksum, switched == BufferedFile::Switch::Done});
        bytesGiven_[KindIndex(board, list ? OutputKind::List : OutputKind::Raw)] += closed.bytes;
    }
    switch (switched) {
        case BufferedFile::Switch::NotCreated:
            std::fprintf(out_, "output file %s could not be created.\n", Printable(name_).c_str());
            return ProgramError::None;
        case BufferedFile::Switch::PreviousIncomplete:
            std::fprintf(out_, "Output file %s could not be written: %s\n", Printable(previousName_).c_str(),
                         std::strerror(file.Error()));
            if (closed.cutError != 0)
                std::fprintf(out_, "Output file %s could not be cut back to its last whole transfer (%llu bytes): %s\n",
                             previousName_, static_cast<unsigned long long>(closed.bytes),
                             std::strerror(closed.cutError));
            if (list) AppendHeader(boards_[board]);
            return ProgramError::OutputFileWrite;
        case BufferedFile::Switch::Done:
            break;
    }
    if (list && !AppendHeader(boards_[board])) return WriteFailed(file);
    return ProgramError::None;
}

ProgramError OutputFiles::ChangeSegments(int board, const DaqConfig& config) {
    if (!ValidBoard(board)) return ProgramError::None;
    BoardFiles& files = boards_[board];
    ProgramError flushed = ProgramError::None;
    const int64_t now = platform::TimeNowMs();
    if (now - files.flushedMs >= kFlushPeriodMs || now < files.flushedMs) {
        files.flushedMs = now;
        for (BufferedFile* file : {&files.raw, &files.list})
            if (file->IsOpen() && !file->Failed() && !file->Flush()) flushed = WriteFailed(*file);
        if (files.hdf5.IsOpen()) files.hdf5.Flush();
    }
    // Failures behind show here too, also of a board that brings no data.
    if (files.hdf5.IsOpen() && files.hdf5.Failed()) flushed = WriteFailed(files.hdf5);
    const ProgramError raw = NextSegment(files.raw, files.rawSegment, board, config, false);
    const ProgramError list = NextSegment(files.list, files.listSegment, board, config, true);
    if (flushed != ProgramError::None) return flushed;
    return raw != ProgramError::None ? raw : list;
}

ProgramError OutputFiles::EndRun(int board, const BoardCounters& counters, const RunEnd* end) {
    if (!ValidBoard(board) || !boards_[board].hdf5.IsOpen()) return ProgramError::None;
    Hdf5Output& file = boards_[board].hdf5;
    return file.Finish(counters, end) ? ProgramError::None : WriteFailed(file);
}

ProgramError OutputFiles::Close() {
    ProgramError result = ProgramError::None;
    for (int b = 0; boards_ && b < boardCount_; ++b) {
        if (Hdf5Output& hdf5 = boards_[b].hdf5; hdf5.IsOpen()) {
            WrittenFile record;
            if (!hdf5.Close(record)) result = WriteFailed(hdf5);
            written_[b].push_back(std::move(record));
        }
        for (int kind = 0; kind < 2; ++kind) {
            BufferedFile* file = kind == 0 ? &boards_[b].raw : &boards_[b].list;
            if (!file->IsOpen()) continue;
            if (file->Failed()) WriteFailed(*file);  // reported at the failure, unless missed
            const bool failedBefore = file->Failed();
            // A file deleted while written loses what it holds at its close.
            platform::OpenFileStatus status;
            const bool removed = file->Status(status) && status.removed;
            const bool closed = file->Close();
            if (removed) {
                if (!boards_[b].deletionReported[kind])
                    std::fprintf(out_, "Output file %s was deleted during the run: its data are lost\n",
                                 Printable(file->Name()).c_str());
                result = ProgramError::OutputFileWrite;
            } else if (!closed) {
                if (!failedBefore)
                    std::fprintf(out_, "Output file %s could not be written: %s\n", Printable(file->Name()).c_str(),
                                 std::strerror(file->Error()));
                result = ProgramError::OutputFileWrite;
            }
            Record(b, *file, closed && !removed);
            bytesGiven_[KindIndex(b, kind == 0 ? OutputKind::Raw : OutputKind::List)] += file->BytesGiven();
        }
        for (WrittenFile& histogram : histograms_[b])
            if (!histogram.name.empty()) written_[b].push_back(std::move(histogram));
    }
    histogram_.Close();
    boards_.reset();
    writer_.Stop();
    boardCount_ = 0;
    buffers_.reset();
    histogramBuffer_.reset();
    histogram_.SetBuffer(nullptr, 0);
    return result;
}

}  // namespace tessary

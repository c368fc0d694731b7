// The program's output files: per board a raw file (the readout bytes
// unchanged), a list file (one text line per decoded event) and one
// histogram file per enabled channel, each kind switched on by its own
// setting. Raw and list files are cut into numbered segments by their size
// on disk; histogram files are written whole again at each statistics print
// of their board.
//
// Raw and list data are written either on the caller's thread, each write
// done when its call returns, or behind, on a thread of their own (see
// WriteBehind), so that a disk that stalls does not stall the readout. A
// failure of a write behind is reported at a later call for its board, and
// the size on disk that the segments are cut by follows a little later.
//
// The run loop calls it at fixed places: Open at start-up after the boards
// are programmed, RewriteHistograms after a board's statistics block,
// WriteBatch after every transfer that brought data, ChangeSegments for
// every board on every pass, Close at shutdown. All memory is taken in
// Open; the calls of the run loop allocate nothing.
//
// Write failures. Raw and list data exist nowhere else once the readout
// buffer is reused, so a failed raw or list write (full disk, file size
// limit, I/O error), an incomplete close of a segment, or a segment that
// has been deleted while it was written returns OutputFileWrite and the run
// loop ends the run with it: going on would lose data without anyone
// noticing. A file stops taking data at its first failure and is cut back
// to the end of the last whole transfer that reached it (of the raw bytes of
// a WriteBatch, of its list lines), so that a raw file holds whole events
// and a list file whole lines; its size and CRC-32C in Written() are those
// of what it kept. Every earlier segment is complete.
// Histogram files only copy spectra that stay in memory and are written
// whole again at the next statistics print, so their failures print a
// message and the run goes on.
//
// A segment that cannot be created during the run (directory gone or not
// writable) leaves the previous segment open and taking data; the size rule
// then tries the next number on every pass, with its message, until one can
// be created. Nothing read is dropped in the meantime.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BoardCounters.h"
#include "BoardTotals.h"
#include "BufferedFile.h"
#include "DaqConfig.h"
#include "DrelmTessaryLib.h"
#include "Hdf5File.h"
#include "Hdf5Output.h"
#include "ListWriter.h"
#include "ProgramError.h"
#include "WriteBehind.h"

namespace tessary {

// Write buffers, taken per board for each kind that is on. Written on the
// caller's thread, a file has one of these sizes; written behind, it has
// kBehindBufferBytes in two halves, each half one direct write, large
// enough that the device's latency per write does not set the pace (at
// 128 KiB a write, list files reached a third of the speed).
inline constexpr std::size_t kRawBufferBytes = std::size_t{1} << 20;
inline constexpr std::size_t kListBufferBytes = std::size_t{256} << 10;
inline constexpr std::size_t kBehindBufferBytes = std::size_t{4} << 20;
inline constexpr std::size_t kHistogramBufferBytes = std::size_t{256} << 10;

// Longest time data wait in a write buffer: a slow board's data reach the
// disk within about this, so a crash or power cut costs little and the size
// on disk stays close to what was written.
inline constexpr int64_t kFlushPeriodMs = 1000;

// Creates the output directory OUTFILE_PATH when it does not exist (one
// level), with a message to `out`. None, or OutputDirectory with its
// message.
ProgramError MakeOutputDirectory(const DaqConfig& config, std::FILE* out);

// The size rule: a segment is full once its size on disk in whole MiB is
// greater than the limit (a negative limit counts as 0). 64-bit throughout,
// so limits up to the largest the configuration accepts work.
bool SegmentFull(uint64_t bytesOnDisk, int32_t maxSizeMiB);

// A file the run wrote, as the run's summary names it.
struct WrittenFile {
    std::string name;       // as created
    uint64_t bytes = 0;     // bytes given to it; after a failed write, those it kept
    uint32_t checksum = 0;  // their CRC-32C
    bool whole = true;      // false: not every byte reached the file
};

// A raw or list segment being written: its name, the bytes given to it so
// far, and its write buffer, which may hold that many bytes not yet on the
// disk.
struct OpenSegment {
    const char* name = nullptr;
    uint64_t bytes = 0;
    std::size_t bufferBytes = 0;
};

// The kinds of output file, for the byte counts below.
enum class OutputKind { Raw, List, Histogram };

class OutputFiles {
public:
    OutputFiles() = default;
    ~OutputFiles();
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;

    // Start-up: creates the output directory when it does not exist (one
    // level), then for every board in order raw segment 0, list segment 0
    // and the (empty) histogram files of its enabled channels, as the
    // configuration asks. Messages go to `out`, here and in every later
    // call. `writes` says where raw and list data are written (see above).
    // Returns None, Memory, OutputDirectory or OutputFileOpen; on a failure
    // what was opened stays open until Close.
    enum class Writes { OnCaller, Behind };
    // Before Open: what the HDF5 event files record of the run and its
    // boards (the configuration's text, the program's version, each
    // board's identity).
    void Describe(RunDescription run) { run_ = std::move(run); }
    ProgramError Open(const DaqConfig& config, std::FILE* out, Writes writes = Writes::OnCaller);

    // The same for one board only: the other boards of the configuration
    // get no files. For tools that rebuild one board's outputs from its raw
    // data. OutputFileOpen, with nothing opened, for a board outside the
    // configuration.
    ProgramError OpenBoard(int board, const DaqConfig& config, std::FILE* out, Writes writes = Writes::OnCaller);

    // After board k's statistics block: when histogram files are on, writes
    // each enabled channel's file anew from the board's current spectra.
    // Returns None, OutputFileOpen (a file could not be created; the later
    // channels keep their previous contents) or OutputFileWrite (a file
    // could not be written whole). Messages are printed here; the run goes
    // on whatever it returns.
    ProgramError RewriteHistograms(int board, const BoardCounters& current, const DaqConfig& config);

    // After board k's transfer that brought data (and after its statistics
    // block): appends the bytes read to its raw segment, unchanged, and one
    // line per decoded event to its list segment, for the kinds that are on.
    // None, or OutputFileWrite, which ends the run.
    ProgramError WriteBatch(int board, const void* raw, uint32_t bytes, const EventRecord* events,
                            uint32_t count);

    // At the run's end, before Close: the board's HDF5 event file takes its
    // spectra and, when given, the run's end as the summary tells it. None,
    // or OutputFileWrite with its message.
    ProgramError EndRun(int board, const BoardCounters& counters, const RunEnd* end);

    // Every pass, for every board whether it brought data or not: writes out
    // buffers that have waited kFlushPeriodMs, then moves the raw and then
    // the list file to its next segment when the current one is full on
    // disk. None, or OutputFileWrite (a write failed, or a segment was
    // deleted while written or did not get all its bytes), which ends the
    // run.
    ProgramError ChangeSegments(int board, const DaqConfig& config);

    // Shutdown: flushes and closes every file and gives the memory back.
    // None, or OutputFileWrite when a file did not get all its bytes (its
    // message printed). Safe to call more than once and without Open.
    ProgramError Close();

    // The board's files: the segments closed so far, and after Close also
    // the last segments and the histogram files as last written. Kept from
    // Close until the next Open. A segment change adds an entry, the only
    // memory the run loop takes, once per segment.
    const std::vector<WrittenFile>& Written(int board) const;

    // Number of the board's segment now open (0 from start-up).
    int32_t RawSegment(int board) const;
    int32_t ListSegment(int board) const;

    // For the monitor and the disk watch; cheap enough for every second.
    // The boards with files (0 after Close), the raw (list false) or list
    // segment of the board now open, if any.
    int Boards() const { return boards_ ? boardCount_ : 0; }
    bool Segment(int board, bool list, OpenSegment& segment) const;
    // The board's HDF5 event file, if open: its size on the disk now, and
    // as buffer the room it may still take for the rows given to it.
    bool EventFile(int board, OpenSegment& file) const;
    // Bytes given over the run to the board's files of a kind: every raw or
    // list segment, the open one included; every write of a histogram file.
    // Kept from Close until the next Open.
    uint64_t BytesGiven(int board, OutputKind kind) const;
    // The largest histogram file as last written: rewriting it at the end
    // takes that much room beside it.
    uint64_t LargestHistogram() const;

private:
    struct BoardFiles {
        BufferedFile raw;
        BufferedFile list;
        int32_t rawSegment = 0;
        int32_t listSegment = 0;
        int64_t flushedMs = 0;
        bool deletionReported[2] = {};  // raw, list
        ListWriter lines;
        Hdf5Output hdf5;
    };

    char* AlignedBuffers() const;
    bool ValidBoard(int board) const { return boards_ && board >= 0 && board < boardCount_; }
    bool DirectoryAccessible(const DaqConfig& config);
    bool BuildName(const DaqConfig& config, const char* kind, int board, const char* what, int32_t number,
                   const char* extension);
    ProgramError CreateFirstSegments(int board, const DaqConfig& config);
    ProgramError CreateHistogramFiles(int board, const DaqConfig& config);
    ProgramError NextSegment(BufferedFile& file, int32_t& segment, int board, const DaqConfig& config,
                             bool list);
    ProgramError WriteFailed(BufferedFile& file);
    ProgramError WriteFailed(Hdf5Output& file);
    bool AppendHeader(BoardFiles& files);
    void Record(int board, const BufferedFile& file, bool whole);

    std::FILE* out_ = stdout;
    RunDescription run_;
    // Raw and list files written behind use its thread; declared before the
    // files so that it outlives them.
    WriteBehind writer_;
    bool behind_ = false;  // HDF5 files on threads of their own
    std::unique_ptr<BoardFiles[]> boards_;
    int boardCount_ = 0;
    int onlyBoard_ = -1;  // the board OpenBoard opens, -1 for all
    std::unique_ptr<char[]> buffers_;
    std::unique_ptr<char[]> histogramBuffer_;
    BufferedFile histogram_;
    char name_[kFileNameSize] = {};
    char previousName_[kFileNameSize] = {};
    std::vector<std::vector<WrittenFile>> written_;
    std::vector<std::vector<WrittenFile>> histograms_;  // per board and channel; no name: none
    std::size_t bufferBytes_[2] = {};                   // of a raw, a list file
    std::vector<uint64_t> bytesGiven_;                  // per board and kind; raw and list: closed segments
};

}  // namespace tessary

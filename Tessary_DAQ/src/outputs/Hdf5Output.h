// A board's HDF5 event file fed from the run loop without slowing it: the
// loop copies each transfer's bytes into one of two fixed halves, and the
// file's own thread decodes a full half with the library's decoder, builds
// the rows, compresses and writes them, while the loop fills the other
// half. Decoding there again costs the loop nothing and keeps the rows to
// the bytes the raw file holds; the replay tool feeds the same bytes from
// raw files, so both make the same rows. Each file has its thread, so the
// boards' files compress side by side. All memory is taken at Open.
//
// Rows go to the file a chunk at a time, compressed once it is full. A
// flush (every second from the run loop, and at the end) also stores the
// chunk begun, so that a reader sees every event up to it. A chunk stored
// again takes new room when its size changes, and SWMR writing never
// reuses the old: so a chunk begun is stored compressed while what its
// stores leave behind stays within half a chunk, and past that
// uncompressed at its full size, in one place, until full. A board whose
// rows fill a chunk within a few seconds leaves a little behind at each
// flush; a slower one's file holds its rows uncompressed, and at most half
// a chunk more per chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "BoardCounters.h"
#include "BufferedFile.h"
#include "ChunkEncoder.h"
#include "DaqConfig.h"
#include "EventRows.h"
#include "Hdf5File.h"
#include "WriteBehind.h"

namespace tessary {

struct WrittenFile;

// Each half of the copy: ten transfers of the largest size at least.
inline constexpr std::size_t kHdf5StageBytes = std::size_t{2} << 20;

class Hdf5Output {
public:
    Hdf5Output() = default;
    ~Hdf5Output();
    Hdf5Output(const Hdf5Output&) = delete;
    Hdf5Output& operator=(const Hdf5Output&) = delete;

    // Takes the memory and creates the file; `behind`: with a thread of its
    // own when one can be had, else the rows are made and written on the
    // caller's thread. False when either fails, with errno telling why
    // (ENOSYS: a build without HDF5); nothing is open then.
    bool Open(const char* name, int board, const DaqConfig& config, const RunDescription& run, bool behind);
    bool IsOpen() const { return file_.IsOpen(); }
    const char* Name() const { return name_; }

    // A transfer's bytes, whole events (and the filler word a transfer may
    // end with), `events` of them. False after a failure, now or earlier.
    bool Append(const void* raw, uint32_t bytes, uint32_t events);
    // Hands in what was appended, with a flush of the file. False after a
    // failure.
    bool Flush();
    // Everything appended written, then the spectra of the board's enabled
    // channels and, when given, the run's end. False after a failure.
    bool Finish(const BoardCounters& counters, const RunEnd* end);
    // Closes the file and gives its name, size and CRC-32C as closed.
    // False when not every event reached it. Safe when not open.
    bool Close(WrittenFile& written);

    // The room the file may still take for what it was given: the rows of
    // the events not yet written, uncompressed, and the chunk begun, twice.
    uint64_t PendingBytes() const;

    // The first failure: true and its errno, once.
    bool FailureToReport(int& error);
    bool Failed() const { return failed_ || slot_.error.load() != 0; }

private:
    struct Half {
        Hdf5Output* owner = nullptr;
        unsigned char* data = nullptr;
        std::size_t fill = 0;
        uint64_t events = 0;
        bool flush = false;
    };
    static bool RunHalf(void* half);
    bool Process(Half& half);  // on the writer's thread
    bool HandIn(bool flush);
    void WaitHalf();
    bool Fail(int error);
    bool StoreChunk(bool whole);  // on the writer's thread

    WriteBehind thread_;
    WriteBehind* writer_ = nullptr;  // &thread_ when running
    WriteBehind::Slot slot_;
    std::unique_ptr<unsigned char[]> stage_;
    Half halves_[2];
    int current_ = 0;
    bool appended_ = false;  // since the last flush
    bool failed_ = false;
    bool reported_ = false;
    int error_ = 0;

    // The writer's side.
    Hdf5File file_;
    RowBuilder rows_;
    ChunkEncoder encoder_;
    std::unique_ptr<unsigned char[]> chunk_;
    std::size_t rowsPerChunk_ = 0;
    std::size_t chunkRows_ = 0;   // rows of the chunk begun
    std::size_t storedRows_ = 0;  // of them, in the file
    std::size_t leftBehind_ = 0;  // bytes of its compressed stores
    bool storedAsIs_ = false;     // stored uncompressed: so until full
    uint64_t chunkStart_ = 0;     // its first row in the file
    std::vector<EventRecord> events_;
    const BoardSettings* settings_ = nullptr;
    char name_[kFileNameSize] = {};
};

}  // namespace tessary

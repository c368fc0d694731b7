// One board's HDF5 event file through the library's C API: the /events
// rows, the /spectra datasets and the run's record as attributes of the
// root group. The file is in single-writer/multiple-reader mode from its
// creation on, so a reader may follow it while it grows (opened with
// swmr=True), and what was flushed survives a crash of the writer. SWMR
// allows no new object once it has begun, so every dataset and attribute is
// made at creation; those of the run's end are filled in then.
//
// Calls for one file must not overlap; the library (Debian's thread-safe
// build) serialises the calls for different files on different threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "BoardTotals.h"
#include "DaqConfig.h"
#include "EventRows.h"

namespace tessary {

// What the board told of itself when it was opened.
struct BoardIdentity {
    std::string model;
    uint32_t serialNumber = 0;
    std::string rocRelease, amcRelease;
};

// The run's record that every file of it carries; boards without an
// identity (the replay's) leave those attributes empty.
struct RunDescription {
    std::string version;
    std::string configText;
    std::vector<BoardIdentity> boards;
};

// The run's end, as its summary tells it.
struct RunEnd {
    int64_t startedMs = 0, stoppedMs = 0;  // wall clock, ms since 1970 UTC
    BoardTotals totals;
    BoardTimes times;
};

// Rows per chunk: about 1 MiB of them.
std::size_t RowsPerChunk(const RowLayout& layout);

class Hdf5File {
public:
    Hdf5File() = default;
    ~Hdf5File() { Close(); }
    Hdf5File(const Hdf5File&) = delete;
    Hdf5File& operator=(const Hdf5File&) = delete;

    // Creates the file (truncating one that exists) with everything in it,
    // and starts SWMR writing. False when it cannot; nothing is open then.
    bool Create(const char* name, int board, const BoardSettings& settings, const RowLayout& layout,
                int compression, const RunDescription& run);
    bool IsOpen() const { return file_ >= 0; }

    // Grows the dataset to `rows` rows (never shrinks it); readers see
    // them after the next flush.
    bool Extend(uint64_t rows);
    // Stores the chunk that begins at row `first` (within the dataset) as
    // given: `filtered`, encoded as the file's filters do (ChunkEncoder),
    // else the whole chunk's rows as they are. A chunk stored again at the
    // same size keeps its place in the file; one of another size takes new
    // room, and SWMR writing never reuses the old.
    bool WriteChunk(uint64_t first, const void* data, std::size_t bytes, bool filtered);
    // Whether /events has filters (compression on).
    bool Filtered() const { return filtered_; }
    // Makes everything written visible to readers and safe on the disk.
    bool Flush();
    // The spectra (one count per bin of each enabled channel, in order)
    // and the run's end, when given.
    bool Finish(const std::vector<uint32_t>& spectra, const RunEnd* end);
    // False when the file could not be closed whole. Safe without a file.
    bool Close();

    // errno of the first failure, or EIO when the library told none.
    int Error() const { return error_; }

private:
    bool Fail();

    int64_t file_ = -1;  // hid_t, kept out of this header
    int64_t events_ = -1;
    int64_t rowType_ = -1;
    int error_ = 0;
    bool filtered_ = false;
    int channels_ = 0;
    int spectrumBins_ = 0;
    uint64_t enabled_ = 0;
};

}  // namespace tessary

// An output file with a buffer that the owner hands in, so that every byte
// of memory is taken at start-up and writing allocates nothing. Small
// writes gather in the buffer; a write that does not fit goes out together
// with the buffered bytes in one system call, without being copied. After
// the first failed write the file takes nothing more: a later write that
// succeeded would leave a hole in the data, so the file stays a whole prefix
// of what was given to it. The size and CRC-32C of the bytes given are kept
// as they come, so that a run can name each file's checksum without reading
// the file again.
//
// The owner may mark where whole transfers end (MarkWhole). Once a write
// has failed, the file is cut back to the last mark that reached the disk,
// so that it holds whole transfers only (whole events, whole lines), and
// its size and CRC-32C are from then on those of what it kept. The marks
// are kept in a fixed table: marks known to be on the disk leave it but
// the last, and when it is full all the same (many small transfers in the
// buffers) the marks are kept further apart, so that a cut may go back a
// little further than it had to (a few dozen KiB at most), never less.
//
// Given a WriteBehind, the file splits its buffer in two halves: while the
// writer's thread writes one, the owner fills the other, and waits only
// when it has filled that too before the first is written. A failure of a
// write behind is seen at the file's next call. When the halves are
// aligned for it, such a file writes direct to the device where the file
// system allows it, in whole blocks; a Flush or Close writes the last part
// block through the cache.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Checksum.h"
#include "DaqConfig.h"
#include "OutputFile.h"
#include "WriteBehind.h"

namespace tessary {

// Longest file name: the output directory and the name prefix as long as
// their fields take them, and the longest suffix the program builds
// ("_histo_b99_ch63.txt"), with room to spare.
inline constexpr std::size_t kFileNameSize = std::size_t{kPathFieldSize} + kTextFieldSize + 32;

class BufferedFile {
public:
    BufferedFile() = default;
    ~BufferedFile();
    BufferedFile(const BufferedFile&) = delete;
    BufferedFile& operator=(const BufferedFile&) = delete;

    // The buffer, and the writer that writes behind (none: every write is
    // made on the caller's thread). Only while no file is open.
    void SetBuffer(char* buffer, std::size_t capacity, WriteBehind* writer = nullptr);

    // Closes the file held, without telling whether it got all its bytes,
    // and creates the named one (truncating one that exists). For files with
    // nothing at stake; the others change with SwitchTo. False when it
    // cannot be created; nothing is open then.
    bool Create(const char* name);

    enum class Switch { Done, NotCreated, PreviousIncomplete };
    // What a file held when it was closed: its size and CRC-32C, and the
    // errno of a cut back that failed (see CutError).
    struct Closed {
        uint64_t bytes = 0;
        uint32_t checksum = 0;
        int cutError = 0;
    };
    // Creates the named file first and only then flushes and closes the one
    // held: when the new file cannot be created the old one stays open and
    // keeps taking data (NotCreated). PreviousIncomplete: the new file is
    // open, but the old one did not get all its bytes (and was cut back).
    // Unless NotCreated, `closed` receives what the old file holds.
    Switch SwitchTo(const char* name, Closed* closed = nullptr);

    bool IsOpen() const { return fd_ >= 0; }
    bool Failed();
    int Error() const { return error_; }
    const char* Name() const { return name_; }
    // True the first time it is asked after a failure, so that each failure
    // is reported once.
    bool FailureToReport();

    // False when the bytes could not all be written (now or before).
    bool Append(const void* data, std::size_t bytes);
    // Room for at most `bytes` (no more than the buffer holds) to be filled
    // and then committed; null after a failure.
    char* Reserve(std::size_t bytes);
    void Commit(std::size_t bytes) {
        checksum_.Add(buffer_ + fill_, bytes);
        given_ += bytes;
        fill_ += bytes;
    }
    bool Flush();
    // Flushes and closes; true when every byte given reached the file.
    // Nothing is open afterwards, and a failed state is cleared.
    bool Close();

    // The bytes given so far end a whole transfer: after a failure the file
    // is cut back to such a point. A file's start is one.
    void MarkWhole();
    // After a failure: 0, or the errno of a cut back that failed (the file
    // then holds what reached it, which may end inside a transfer).
    int CutError() const { return cutError_; }

    // Bytes given to the file now open (or last closed) and their CRC-32C;
    // after a failure, those it kept.
    uint64_t BytesGiven() const { return given_; }
    uint32_t Checksum() const { return cut_ ? keptChecksum_ : checksum_.Value(); }

    // Size on disk (buffered bytes not included) and whether the file is
    // still reachable by a name.
    bool Status(platform::OpenFileStatus& status) const;

private:
    struct Mark {
        uint64_t bytes;
        uint32_t checksum;
    };
    static constexpr int kMarks = 128;

    bool Fail();
    void CutBack();
    void ThinMarks();
    bool FailIfWriteBehindFailed();
    bool HandOver(bool all);
    void Adopt(int fd, const char* name);

    WriteBehind* writer_ = nullptr;
    WriteBehind::Slot slot_;
    char* halves_[2] = {};
    bool mayWriteDirect_ = false;  // the halves suit direct writes
    uint64_t offset_ = 0;          // file offset of the buffer's first byte

    int fd_ = -1;
    char* buffer_ = nullptr;
    std::size_t capacity_ = 0;
    std::size_t fill_ = 0;
    bool failed_ = false;
    bool reported_ = false;
    int error_ = 0;
    uint64_t given_ = 0;
    uint64_t flushedGiven_ = 0;  // given_ at the last whole flush behind
    Crc32c checksum_;
    // Transfer ends, ascending; the first is on the disk.
    Mark marks_[kMarks] = {};
    int markCount_ = 0;
    uint64_t spacing_ = 0;    // least distance between marks but the latest two
    uint64_t confirmed_ = 0;  // bytes known to have reached the file
    bool cut_ = false;        // failed and cut back: given_ and keptChecksum_ are what it kept
    uint32_t keptChecksum_ = 0;
    int cutError_ = 0;
    char name_[kFileNameSize] = {};
};

}  // namespace tessary

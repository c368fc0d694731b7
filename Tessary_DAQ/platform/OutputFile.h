// Files the program writes its data into: created anew, written through the
// kernel without a library buffer of their own (the caller buffers), sized
// from their status. One implementation file per operating system.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessary::platform {

// Makes a write beyond the file size limit fail (and be reported) instead
// of ending the process. Called before output files are opened.
void PrepareOutputFiles();

// Whether the status of a path can be queried (it exists and its parents
// can be searched).
bool PathAccessible(const char* path);

// Creates the file, truncating one that exists, for writing only. The
// descriptor is not inherited by child processes. -1 on failure, with errno
// telling why. With `direct`, writes go from the caller's memory to the
// device, past the system's cache, when the file system allows it (see
// WritesDirect): a long run then neither spends a processor copying its
// data into the cache nor fills the memory with them.
int CreateOutputFile(const char* name, bool direct = false);

// Direct writes need their memory address, length and file offset to be
// multiples of this.
inline constexpr std::size_t kDirectWriteAlignment = 4096;
// Whether writes to the file go to the device directly.
bool WritesDirect(int fd);
// Switches direct writes on or off. False with errno set when it cannot.
bool SetWritesDirect(int fd, bool direct);

// Writes the first bytes and then the second ones (either may be empty) in
// as few system calls as the kernel allows, retrying short writes and
// interruptions. False on the first error, with errno telling why; what was
// written before the error stays in the file.
bool WriteFully(int fd, const void* first, std::size_t firstBytes, const void* second, std::size_t secondBytes);

// Writes the bytes at the file offset, retrying short writes and
// interruptions. False on the first error, with errno telling why.
bool WriteFullyAt(int fd, const void* data, std::size_t bytes, uint64_t offset);

struct OpenFileStatus {
    uint64_t bytes = 0;    // size on disk
    bool removed = false;  // no name leads to the file any more
};

// The status of an open file. False when it cannot be queried.
bool QueryOpenFile(int fd, OpenFileStatus& status);

// Cuts the open file back to its first `bytes` bytes. False with errno set
// when it cannot.
bool CutOutputFile(int fd, uint64_t bytes);

// Puts what was written on the disk itself. False with errno set on failure.
bool SyncOutputFile(int fd);

// Closes the descriptor. False when the kernel reports an error that the
// close revealed (e.g. a deferred write failure).
bool CloseOutputFile(int fd);

// Puts `from` in the place of `to` in one step (readers see the old file or
// the new one, never a part); false with errno set when it cannot.
bool ReplaceFile(const char* from, const char* to);
// Removes a file that is no longer wanted; failures are of no interest.
void RemoveFile(const char* name);

}  // namespace tessary::platform

// Data files on POSIX systems.
#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <csignal>

namespace tessary::platform {

void PrepareOutputFiles() { std::signal(SIGXFSZ, SIG_IGN); }

bool PathAccessible(const char* path) {
    struct stat info {};
    return path != nullptr && stat(path, &info) == 0;
}

int CreateOutputFile(const char* name, bool direct) {
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    int fd = -1;
    if (direct) {
        do fd = open(name, flags | O_DIRECT, 0666);
        while (fd < 0 && errno == EINTR);
        // A file system without direct writes refuses the flag.
        if (fd >= 0 || errno != EINVAL) return fd;
    }
    do fd = open(name, flags, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool WritesDirect(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && (flags & O_DIRECT) != 0;
}

bool SetWritesDirect(int fd, bool direct) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, direct ? flags | O_DIRECT : flags & ~O_DIRECT) == 0;
}

// Writes the parts in as few system calls as the kernel allows, at
// `offset` onwards or, when it is negative, at the file's position.
static bool WriteParts(int fd, iovec* next, int left, off_t offset) {
    while (left > 0 && next->iov_len == 0) ++next, --left;
    while (left > 0) {
        const ssize_t done = offset < 0 ? writev(fd, next, left) : pwritev(fd, next, left, offset);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (done == 0) {  // no progress and no error: treat as a full device
            errno = ENOSPC;
            return false;
        }
        if (offset >= 0) offset += done;
        auto rest = static_cast<std::size_t>(done);
        while (left > 0 && rest >= next->iov_len) rest -= next->iov_len, ++next, --left;
        if (left > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + rest;
            next->iov_len -= rest;
        }
    }
    return true;
}

bool WriteFully(int fd, const void* first, std::size_t firstBytes, const void* second, std::size_t secondBytes) {
    iovec parts[2] = {{const_cast<void*>(first), firstBytes}, {const_cast<void*>(second), secondBytes}};
    return WriteParts(fd, parts, 2, -1);
}

bool WriteFullyAt(int fd, const void* data, std::size_t bytes, uint64_t offset) {
    iovec part{const_cast<void*>(data), bytes};
    return WriteParts(fd, &part, 1, static_cast<off_t>(offset));
}

bool QueryOpenFile(int fd, OpenFileStatus& status) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    status.bytes = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
    status.removed = info.st_nlink == 0;
    return true;
}

bool CutOutputFile(int fd, uint64_t bytes) {
    int done = -1;
    do done = ftruncate(fd, static_cast<off_t>(bytes));
    while (done != 0 && errno == EINTR);
    return done == 0;
}

bool SyncOutputFile(int fd) { return fsync(fd) == 0; }

bool CloseOutputFile(int fd) {
    // On Linux the descriptor is gone even when close reports EINTR, so it is
    // never retried.
    return close(fd) == 0;
}

bool ReplaceFile(const char* from, const char* to) { return std::rename(from, to) == 0; }

void RemoveFile(const char* name) { unlink(name); }

}  // namespace tessary::platform

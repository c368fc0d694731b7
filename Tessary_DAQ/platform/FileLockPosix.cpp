// Advisory file locks on POSIX systems: flock, whose lock belongs to the
// open file, so that a second lock of the same file fails also within one
// process, and which the system releases when the descriptor is closed,
// at the latest when the process ends.
#include "FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace tessary::platform {

namespace {

// The owner writes its id right after it takes the lock: a file read in
// between is empty, and is read again a few times.
long ReadOwner(int fd) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        char text[32] = {};
        const ssize_t got = pread(fd, text, sizeof text - 1, 0);
        if (got > 0) {
            char* end = nullptr;
            const long pid = std::strtol(text, &end, 10);
            if (end != text && pid > 0) return pid;
        }
        usleep(10000);
    }
    return 0;
}

}  // namespace

long ProcessId() { return static_cast<long>(getpid()); }

FileLock::Outcome FileLock::Take(const std::string& path) {
    Release();
    owner_ = 0;
    error_ = 0;
    int fd = -1;
    do fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error_ = errno;
        return Outcome::Failed;
    }
    int locked = -1;
    do locked = flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK) owner_ = ReadOwner(fd);
        close(fd);
        error_ = error;
        return error == EWOULDBLOCK ? Outcome::Busy : Outcome::Failed;
    }
    fd_ = fd;
    // The id is for the message of a program refused; the lock holds
    // whether or not it can be written (a full disk).
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%ld\n", ProcessId());
    const bool written = ftruncate(fd_, 0) == 0 && pwrite(fd_, text, static_cast<std::size_t>(length), 0) == length;
    static_cast<void>(written);
    return Outcome::Taken;
}

void FileLock::Release() {
    if (fd_ < 0) return;
    // Emptied while still held, so that the file never names a process that
    // has let go of it (one that keeps an old id misleads nobody: the lock decides).
    const bool emptied = ftruncate(fd_, 0) == 0;
    static_cast<void>(emptied);
    close(fd_);
    fd_ = -1;
}

}  // namespace tessary::platform

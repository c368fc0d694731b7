// A child process fed through a pipe, on POSIX systems.
#include "ChildProcess.h"

#include <cerrno>
#include <cstdint>
#include <csignal>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Clock.h"

extern char** environ;

namespace tessary::platform {

namespace {

constexpr int kReapStepMs = 10;
constexpr int kKillWaitMs = 1000;

// Moves a descriptor above the standard ones, so that making the read end
// the child's standard input is always a real dup2 (which drops
// close-on-exec) even when the program runs with standard input closed.
bool AboveStandard(int& fd) {
    if (fd > STDERR_FILENO) return true;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    if (moved < 0) return false;
    close(fd);
    fd = moved;
    return true;
}

// Blocks SIGPIPE in this thread for the life of the object. A SIGPIPE that
// a write raised meanwhile is taken off again before the mask is restored,
// so a child that has ended yields EPIPE and nothing else.
class SigpipeBlock {
public:
    SigpipeBlock() {
        sigemptyset(&pipeSet_);
        sigaddset(&pipeSet_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipeSet_, &old_);
    }
    ~SigpipeBlock() {
        if (raised_ && !wasPending_) {
            const timespec none{};
            while (sigtimedwait(&pipeSet_, nullptr, &none) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    SigpipeBlock(const SigpipeBlock&) = delete;
    SigpipeBlock& operator=(const SigpipeBlock&) = delete;
    void Raised() { raised_ = true; }

private:
    sigset_t pipeSet_{};
    sigset_t old_{};
    bool wasPending_ = false;
    bool raised_ = false;
};

// Waits up to `ms` for the child to end; true once it is reaped.
bool Reap(pid_t pid, int ms) {
    const int64_t deadline = MonotonicMs() + ms;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return true;
        if (MonotonicMs() >= deadline) return false;
        const timespec step{0, kReapStepMs * 1000000L};
        nanosleep(&step, nullptr);
    }
}

}  // namespace

int ChildProcess::Start(const std::string& path) {
    Close();
    // Checked first so that the usual mistakes get their own errno values;
    // a directory passes the access test, so the type is checked too.
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return errno;
    if (!S_ISREG(status.st_mode) || access(path.c_str(), X_OK) != 0) return EACCES;

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return errno;
    if (!AboveStandard(ends[0]) || !AboveStandard(ends[1])) {
        const int error = errno;
        close(ends[0]);
        close(ends[1]);
        return error;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[0], STDIN_FILENO);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Output files, sockets and the like opened without close-on-exec stay
    // with the program.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::string argument0 = path;
    char* argv[] = {argument0.data(), nullptr};
    pid_t pid = -1;
    // The exec's own failure comes back as the result.
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    close(ends[0]);
    if (spawned != 0) {
        close(ends[1]);
        return spawned;
    }
    // Writes never block for longer than the write timeout.
    fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
    fd_ = ends[1];
    pid_ = pid;
    return 0;
}

int ChildProcess::Write(const char* data, std::size_t size) {
    if (fd_ < 0) return EBADF;
    SigpipeBlock block;
    const int64_t deadline = MonotonicMs() + kChildWriteTimeoutMs;
    while (size > 0) {
        const ssize_t written = write(fd_, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int64_t left = deadline - MonotonicMs();
            if (left <= 0) return ETIMEDOUT;
            pollfd waitFor{fd_, POLLOUT, 0};
            poll(&waitFor, 1, static_cast<int>(left));
            continue;
        }
        const int error = written < 0 ? errno : EIO;
        if (error == EPIPE) block.Raised();
        return error;
    }
    return 0;
}

void ChildProcess::Close(int waitMs) {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (pid_ <= 0) return;
    const pid_t pid = pid_;
    pid_ = -1;
    if (Reap(pid, waitMs)) return;
    // The child leads its own group: the signal reaches what it started too.
    kill(-pid, SIGTERM);
    if (Reap(pid, kKillWaitMs)) return;
    kill(-pid, SIGKILL);
    Reap(pid, kKillWaitMs);
}

}  // namespace tessary::platform

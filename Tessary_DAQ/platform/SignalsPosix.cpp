// Stop signals on POSIX systems.
#include "Signals.h"

#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace tessary::platform {

namespace {

// Both are touched from the handler, so they must be lock-free atomics.
std::atomic<bool> stopRequested{false};
std::atomic<int> firstSignal{0};
std::atomic<int> wakeWriteFd{-1};
std::atomic<int> wakeReadFd{-1};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnStopSignal(int signal) {
    const int savedErrno = errno;
    // Only the first signal writes: the pipe then holds one byte for good.
    if (!stopRequested.exchange(true)) {
        firstSignal.store(signal);
        const int fd = wakeWriteFd.load();
        if (fd >= 0) {
            const char byte = 1;
            const ssize_t written = write(fd, &byte, 1);
            (void)written;  // nothing to do in a handler if it failed
        }
    }
    errno = savedErrno;
}

}  // namespace

void InstallStopSignals() {
    if (wakeReadFd.load() < 0) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
            wakeWriteFd.store(ends[1]);
            wakeReadFd.store(ends[0]);
        }
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
    for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

bool StopRequested() { return stopRequested.load(); }

const char* StopSignalName() {
    switch (firstSignal.load()) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        default: return stopRequested.load() ? "a stop signal" : nullptr;
    }
}

int StopSignalFd() { return wakeReadFd.load(); }

}  // namespace tessary::platform

// Console keys on POSIX systems.
#include "Console.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "Clock.h"
#include "Signals.h"

namespace tessary::platform {

namespace {

// The terminal a ConsoleKeys switched, as it was found, and that object.
// The owner is set only after the rest is filled in, so RestoreConsole,
// perhaps in a signal handler, never sees half of it.
int savedFd = -1;
termios savedAttributes{};
std::atomic<const ConsoleKeys*> rawModeOwner{nullptr};
static_assert(std::atomic<const ConsoleKeys*>::is_always_lock_free);

void RestoreAtExit() { RestoreConsole(); }

// Results of NextByte besides byte values.
constexpr int kEnd = -1;
constexpr int kTimeout = -2;
constexpr int kStopped = -3;
constexpr int kForever = -1;
// A sequence longer than this is not a key; stop swallowing bytes.

}  // namespace

// Both restore first and let go afterwards: a restore cut short by a fatal
// signal is then done again by the handler, and doing it twice is harmless.
void RestoreConsole() {
    if (rawModeOwner.load() == nullptr) return;
    tcsetattr(savedFd, TCSANOW, &savedAttributes);
    rawModeOwner.store(nullptr);
}

ConsoleKeys::ConsoleKeys(int fd) : fd_(fd) {
    termios found{};
    if (!isatty(fd) || tcgetattr(fd, &found) != 0 || rawModeOwner.load() != nullptr) return;
    termios raw = found;
    // Keys one by one, unechoed; ISIG stays on so Ctrl-C still signals, and
    // input and output translations stay as they were.
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // Saved before switching, so that a fatal signal in between still finds
    // something to restore.
    savedFd = fd;
    savedAttributes = found;
    rawModeOwner.store(this);
    if (tcsetattr(fd, TCSANOW, &raw) != 0) {
        rawModeOwner.store(nullptr);
        return;
    }
    static const bool atExitRegistered = (std::atexit(RestoreAtExit) == 0);
    (void)atExitRegistered;
}

ConsoleKeys::~ConsoleKeys() {
    if (rawModeOwner.load() != this) return;
    tcsetattr(savedFd, TCSANOW, &savedAttributes);
    rawModeOwner.store(nullptr);
}

bool ConsoleKeys::InRawMode() const { return rawModeOwner.load() == this; }

bool ConsoleKeys::KeyWaiting() {
    if (pending_ >= 0) return true;
    if (ended_) return false;
    pollfd input{fd_, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) return false;
    // Readable may also mean end of input: read the byte ahead to know.
    pending_ = ReadByte();
    if (pending_ >= 0) return true;
    pending_ = -1;
    return false;
}

int ConsoleKeys::ReadKey() {
    int byte;
    do {
        byte = NextByte(kForever);
    } while (byte == kTimeout);
    if (byte < 0) return kNoMoreKeys;
    return byte == kEscapeKey ? AfterEscape() : byte;
}

// The next byte, waiting at most timeoutMs (kForever: no limit), or kEnd,
// kTimeout or kStopped. Waits include the stop descriptor, so a stop
// signal ends them whichever thread it was delivered to.
int ConsoleKeys::NextByte(int timeoutMs) {
    if (pending_ >= 0) {
        const int byte = pending_;
        pending_ = -1;
        return byte;
    }
    if (ended_) return kEnd;
    const int64_t deadline = MonotonicMs() + timeoutMs;
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {StopSignalFd(), POLLIN, 0}};
        int wait = timeoutMs;
        if (timeoutMs != kForever) {
            const int64_t left = deadline - MonotonicMs();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        const int ready = poll(fds, fds[1].fd >= 0 ? 2 : 1, wait);
        if (ready < 0 && errno != EINTR) {
            ended_ = true;
            return kEnd;
        }
        if (ready > 0 && fds[0].revents != 0) return ReadByte();
        if (StopRequested()) return kStopped;
        if (ready == 0) return kTimeout;
    }
}

// Reads one byte that poll() reported, or notes the end of the input.
int ConsoleKeys::ReadByte() {
    for (;;) {
        unsigned char byte = 0;
        const ssize_t got = read(fd_, &byte, 1);
        if (got == 1) return byte;
        if (got < 0 && errno == EINTR) continue;
        // Someone else's non-blocking descriptor that had nothing after all.
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return kTimeout;
        ended_ = true;
        return kEnd;
    }
}

}  // namespace tessary::platform

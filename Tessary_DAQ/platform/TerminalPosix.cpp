// Terminals on POSIX systems.
#include "Terminal.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace tessary::platform {

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

int DuplicateTerminal(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

int TerminalWidth(int fd) {
    winsize size{};
    return ::ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

bool WriteTerminal(int fd, const char* data, std::size_t size) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void CloseTerminal(int fd) { ::close(fd); }

}  // namespace tessary::platform

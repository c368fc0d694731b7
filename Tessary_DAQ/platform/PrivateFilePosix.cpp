// Private files on POSIX systems: created with mode 0600 (the umask can
// only take permissions away), and an existing one put back to 0600 with
// fchmod before the text goes in.
#include "PrivateFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessary::platform {

bool WritePrivateFile(const std::string& path, const std::string& text, std::string& error) {
    const auto fail = [&](int code) {
        error = path + ": " + std::strerror(code);
        return false;
    };
    int fd = -1;
    // O_NONBLOCK: a FIFO at the path must not hang the open.
    do fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail(errno);
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int code = errno;
        close(fd);
        return fail(code);
    }
    if (!S_ISREG(info.st_mode)) {
        close(fd);
        error = path + ": not a regular file";
        return false;
    }
    if (fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
        const int code = errno;
        close(fd);
        return fail(code);
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            const int code = wrote < 0 ? errno : ENOSPC;
            close(fd);
            return fail(code);
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (close(fd) != 0) return fail(errno);
    return true;
}

}  // namespace tessary::platform

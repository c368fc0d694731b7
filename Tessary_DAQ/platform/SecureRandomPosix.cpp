// Random bytes on POSIX systems: getrandom where the system has it, else
// /dev/urandom.
#include "SecureRandom.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#if defined(__linux__)
#include <sys/random.h>
#endif

namespace tessary::platform {
namespace {

bool FromDevice(unsigned char* out, std::size_t size) {
    int fd = -1;
    do fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, out + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    close(fd);
    return done == size;
}

}  // namespace

bool SecureRandomBytes(void* buffer, std::size_t size) {
    auto* out = static_cast<unsigned char*>(buffer);
#if defined(__linux__)
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = getrandom(out + done, size - done, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return FromDevice(out, size);  // ENOSYS on an old kernel
        done += static_cast<std::size_t>(got);
    }
    return true;
#else
    return FromDevice(out, size);
#endif
}

}  // namespace tessary::platform

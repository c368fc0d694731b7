// Free space on POSIX systems: the blocks left to unprivileged users (the
// ones kept for root are not ours to fill), in fragment-size units.
#include "FreeSpace.h"

#include <sys/statvfs.h>

namespace tessary::platform {

bool FreeSpace(const char* path, uint64_t& freeBytes) {
    struct statvfs status {};
    if (path == nullptr || statvfs(path, &status) != 0) return false;
    freeBytes = static_cast<uint64_t>(status.f_bavail) * static_cast<uint64_t>(status.f_frsize);
    return true;
}

}  // namespace tessary::platform

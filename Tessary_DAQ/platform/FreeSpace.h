// The free space of a file system, as an unprivileged program may fill it.
// One implementation file per operating system.
#pragma once

#include <cstdint>

namespace tessary::platform {

// The bytes that this process may still write on the file system holding
// `path` (any file or folder on it). False with errno set when it cannot be
// asked; freeBytes is then left as it was.
bool FreeSpace(const char* path, uint64_t& freeBytes);

}  // namespace tessary::platform

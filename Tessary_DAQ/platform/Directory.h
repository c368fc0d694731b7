// Creating directories. One implementation file per operating system.
#pragma once

#include <string>

namespace tessary::platform {

// Creates the directory path, one level only: its parent must exist. The
// mode is 0777 before the umask, so the user's umask decides who may read.
// True when it was created; false otherwise, also when it already exists,
// so a caller that only needs the directory to be there checks for it
// separately.
bool MakeDirectory(const std::string& path);

}  // namespace tessary::platform

// Creating directories on POSIX systems.
#include "Directory.h"

#include <sys/stat.h>

namespace tessary::platform {

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

}  // namespace tessary::platform

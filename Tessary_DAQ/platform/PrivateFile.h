// A small file that only its owner may read, such as the monitor's token.
// One implementation file per operating system.
#pragma once

#include <string>

namespace tessary::platform {

// Writes `text` as the whole content of `path`, a file that only the user
// may read and write (0600 on POSIX systems) from the moment it exists:
// a new file is created with those permissions, an existing one is
// emptied and given them before anything is written into it. A symbolic
// link at `path` or a path that is not a regular file is refused. False
// with a one-line reason naming the path.
bool WritePrivateFile(const std::string& path, const std::string& text, std::string& error);

}  // namespace tessary::platform

// Directories: creating them, listing them, moving files within them. One
// implementation file per operating system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessary::platform {

// Creates the directory path, one level only: its parent must exist. The
// mode is 0777 before the umask, so the user's umask decides who may read.
// True when it was created; false otherwise, also when it already exists,
// so a caller that only needs the directory to be there checks for it
// separately.
bool MakeDirectory(const std::string& path);

// Removes a directory that is empty; failures are of no interest.
void RemoveEmptyDirectory(const std::string& path);

// One entry of a directory, as found (links not followed).
struct FolderEntry {
    std::string name;           // without the folder
    bool directory = false;
    int64_t modifiedS = 0;      // last modification, seconds since 1970 UTC
};

// The entries of the directory, "." and ".." left out, in no particular
// order. False with errno set when it cannot be read.
bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries);

// Gives the file `from` the name `to` on the same file system, in one step,
// never replacing what is at `to`: false with errno set (EEXIST when `to`
// exists) when it cannot.
bool MoveWithoutReplacing(const std::string& from, const std::string& to);

}  // namespace tessary::platform

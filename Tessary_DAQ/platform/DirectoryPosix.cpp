// Directories on POSIX systems.
#include "Directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace tessary::platform {

bool MakeDirectory(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

void RemoveEmptyDirectory(const std::string& path) { rmdir(path.c_str()); }

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries) {
    entries.clear();
    std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir(path.c_str()), &closedir);
    if (!folder) return false;
    const int fd = dirfd(folder.get());
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(folder.get());
        if (entry == nullptr) return errno == 0;
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        // An entry removed since it was read is not there any more.
        if (fstatat(fd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        entries.push_back({name, S_ISDIR(info.st_mode), static_cast<int64_t>(info.st_mtime)});
    }
}

bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    // File systems without the flag: a new link, then the old name removed,
    // which fails rather than replace too (directories are not moved here).
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (link(from.c_str(), to.c_str()) != 0) return false;
    if (unlink(from.c_str()) != 0) {
        const int error = errno;
        unlink(to.c_str());
        errno = error;
        return false;
    }
    return true;
}

}  // namespace tessary::platform

// Directories on Windows.

#include "Directory.h"

#include "WindowsNames.h"

namespace tessary::platform {

// The new directory inherits its permissions from its parent, which is
// what the umask decides elsewhere. errno as mkdir sets it: callers look
// for EEXIST.
bool MakeDirectory(const std::string& path) {
    return CreateDirectoryW(windows::WidePath(path).c_str(), nullptr) != 0 || windows::FailWithLastError();
}

void RemoveEmptyDirectory(const std::string& path) { RemoveDirectoryW(windows::WidePath(path).c_str()); }

bool ListFolder(const std::string& path, std::vector<FolderEntry>& entries) {
    entries.clear();
    std::wstring pattern = windows::WidePath(path);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found{};
    const HANDLE search =
        FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        // A drive's root has no "." or "..": empty is not an error.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        return windows::FailWithLastError();
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        // A link to a directory is not followed, so it is no directory here.
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                               (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        entries.push_back({windows::Narrow(name), directory, windows::UnixSeconds(found.ftLastWriteTime)});
    } while (FindNextFileW(search, &found));
    const DWORD error = GetLastError();
    FindClose(search);
    if (error == ERROR_NO_MORE_FILES) return true;
    errno = windows::ErrnoFrom(error);
    return false;
}

bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
    // Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail,
    // and without MOVEFILE_COPY_ALLOWED it stays on one volume.
    if (MoveFileExW(windows::WidePath(from).c_str(), windows::WidePath(to).c_str(), 0)) return true;
    return windows::FailWithLastError();
}

}  // namespace tessary::platform


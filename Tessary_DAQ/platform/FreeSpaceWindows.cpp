// Free space on Windows: the bytes available to this user, which disk
// quotas count, rather than the volume's total free bytes.

#include "FreeSpace.h"

#include "WindowsNames.h"

namespace tessary::platform {

bool FreeSpace(const char* path, uint64_t& freeBytes) {
    if (path == nullptr) {
        errno = EINVAL;
        return false;
    }
    std::wstring where = windows::WidePath(path);
    // The call takes a folder only: a file is asked about through its own.
    const DWORD attributes = GetFileAttributesW(where.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return windows::FailWithLastError();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        const std::size_t cut = where.find_last_of(L"\\/");
        where = cut == std::wstring::npos ? L"." : where.substr(0, cut + 1);
    }
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(where.c_str(), &available, nullptr, nullptr)) return windows::FailWithLastError();
    freeBytes = available.QuadPart;
    return true;
}

}  // namespace tessary::platform


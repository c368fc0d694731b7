// File locks on Windows: LockFileEx, which belongs to the handle, so that
// a second lock of the same file fails also within one process, and which
// the system releases when the handle is closed, at the latest when the
// process ends. Windows locks keep others from reading the locked bytes,
// so the lock is taken on one byte far beyond the text: the owner's id at
// the start stays readable to a program refused.

#include "FileLock.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

#include "WindowsNames.h"

namespace tessary::platform {

namespace {

constexpr DWORD kLockOffsetHigh = 0x40000000;  // byte 2^62

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

OVERLAPPED LockPlace() {
    OVERLAPPED place{};
    place.OffsetHigh = kLockOffsetHigh;
    return place;
}

bool Empty(HANDLE file) {
    FILE_END_OF_FILE_INFO end{};
    return SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end) != 0;
}

// The owner writes its id right after it takes the lock: a file read in
// between is empty, and is read again a few times.
long ReadOwner(HANDLE file) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        char text[32] = {};
        OVERLAPPED start{};
        DWORD got = 0;
        if (ReadFile(file, text, sizeof text - 1, &got, &start) && got > 0) {
            char* end = nullptr;
            const long pid = std::strtol(text, &end, 10);
            if (end != text && pid > 0) return pid;
        }
        Sleep(10);
    }
    return 0;
}

}  // namespace

long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

FileLock::Outcome FileLock::Take(const std::string& path) {
    Release();
    owner_ = 0;
    error_ = 0;
    // A link is opened as itself and refused, as O_NOFOLLOW refuses one.
    const HANDLE file = CreateFileW(windows::WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error_ = windows::ErrnoFrom(GetLastError());
        return Outcome::Failed;
    }
    FILE_BASIC_INFO basic{};
    if (GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) &&
        (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        CloseHandle(file);
        error_ = ELOOP;
        return Outcome::Failed;
    }
    OVERLAPPED place = LockPlace();
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place)) {
        const DWORD error = GetLastError();
        const bool busy = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
        if (busy) owner_ = ReadOwner(file);
        CloseHandle(file);
        error_ = busy ? EWOULDBLOCK : windows::ErrnoFrom(error);
        return busy ? Outcome::Busy : Outcome::Failed;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (fd < 0) {
        error_ = errno;
        CloseHandle(file);  // the lock goes with it
        return Outcome::Failed;
    }
    fd_ = fd;
    // The id is for the message of a program refused; the lock holds
    // whether or not it can be written (a full disk).
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%ld\n", ProcessId());
    OVERLAPPED start{};
    DWORD written = 0;
    const bool done = Empty(file) && WriteFile(file, text, static_cast<DWORD>(length), &written, &start);
    static_cast<void>(done);
    return Outcome::Taken;
}

void FileLock::Release() {
    if (fd_ < 0) return;
    const HANDLE file = HandleOf(fd_);
    // Emptied while still held, so that the file never names a process that
    // has let go of it.
    const bool emptied = Empty(file);
    static_cast<void>(emptied);
    OVERLAPPED place = LockPlace();
    UnlockFileEx(file, 0, 1, 0, &place);
    _close(fd_);
    fd_ = -1;
}

}  // namespace tessary::platform


// Data files on Windows. A handle cannot switch between cached and direct
// (FILE_FLAG_NO_BUFFERING) writes, so a file that may write direct gets a
// second handle to it with that flag, and each write takes the handle of
// the current mode. The two handles have file positions of their own, so
// every write names its offset and the position of WriteFully is kept here.

#include "OutputFile.h"

#include <atomic>
#include <fcntl.h>
#include <io.h>
#include <map>
#include <memory>
#include <mutex>

#include "WindowsNames.h"

// <windows.h> maps this name onto its own function.
#undef ReplaceFile

namespace tessary::platform {

namespace {

struct OpenOutput {
    HANDLE cached = INVALID_HANDLE_VALUE;  // owned by the descriptor
    HANDLE direct = INVALID_HANDLE_VALUE;  // opened on first use
    std::atomic<bool> useDirect{false};
    uint64_t position = 0;  // for WriteFully, which writes at the file's position
};

std::mutex openMutex;
std::map<int, std::unique_ptr<OpenOutput>> openFiles;

OpenOutput* Find(int fd) {
    const std::lock_guard<std::mutex> lock(openMutex);
    const auto found = openFiles.find(fd);
    return found == openFiles.end() ? nullptr : found->second.get();
}

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// A handle to the same file that writes past the cache. Null with errno
// EINVAL when the file system refuses (as O_DIRECT is refused elsewhere).
HANDLE OpenDirect(HANDLE cached) {
    const HANDLE direct = ReOpenFile(cached, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     FILE_FLAG_NO_BUFFERING);
    if (direct == INVALID_HANDLE_VALUE) windows::FailWithLastError();
    return direct;
}

// Writes all bytes at `offset`. A write that makes no progress counts as a
// full device.
bool WriteAt(HANDLE handle, const char* data, std::size_t bytes, uint64_t offset) {
    while (bytes > 0) {
        const DWORD part = bytes < (1u << 30) ? static_cast<DWORD>(bytes) : (1u << 30);
        OVERLAPPED where{};
        where.Offset = static_cast<DWORD>(offset);
        where.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD written = 0;
        if (!WriteFile(handle, data, part, &written, &where)) return windows::FailWithLastError();
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        bytes -= written;
        offset += written;
    }
    return true;
}

bool Write(int fd, const void* data, std::size_t bytes, uint64_t offset) {
    OpenOutput* file = Find(fd);
    if (file == nullptr) {
        // Not one of ours: the descriptor's own handle, cached.
        const HANDLE handle = HandleOf(fd);
        if (handle == INVALID_HANDLE_VALUE) {
            errno = EBADF;
            return false;
        }
        return WriteAt(handle, static_cast<const char*>(data), bytes, offset);
    }
    const HANDLE handle = file->useDirect.load() ? file->direct : file->cached;
    return WriteAt(handle, static_cast<const char*>(data), bytes, offset);
}

}  // namespace

// Windows has no signal for an oversized file: the write just fails.
void PrepareOutputFiles() {}

bool PathAccessible(const char* path) {
    return path != nullptr && GetFileAttributesW(windows::WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

int CreateOutputFile(const char* name, bool direct) {
    // Shared for deleting and renaming too, as files are elsewhere: the
    // program moves and removes names of files still open.
    const HANDLE cached = CreateFileW(windows::WidePath(name).c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (cached == INVALID_HANDLE_VALUE) {
        windows::FailWithLastError();
        return -1;
    }
    auto file = std::make_unique<OpenOutput>();
    file->cached = cached;
    // A file system without direct writes leaves the file cached.
    if (direct) file->direct = OpenDirect(cached);
    file->useDirect.store(file->direct != INVALID_HANDLE_VALUE);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(cached), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        const int error = errno;
        if (file->direct != INVALID_HANDLE_VALUE) CloseHandle(file->direct);
        CloseHandle(cached);
        errno = error;
        return -1;
    }
    const std::lock_guard<std::mutex> lock(openMutex);
    openFiles[fd] = std::move(file);
    return fd;
}

bool WritesDirect(int fd) {
    const OpenOutput* file = Find(fd);
    return file != nullptr && file->useDirect.load();
}

bool SetWritesDirect(int fd, bool direct) {
    OpenOutput* file = Find(fd);
    if (file == nullptr) {
        errno = EBADF;
        return false;
    }
    if (direct && file->direct == INVALID_HANDLE_VALUE) {
        file->direct = OpenDirect(file->cached);
        if (file->direct == INVALID_HANDLE_VALUE) return false;
    }
    file->useDirect.store(direct);
    return true;
}

bool WriteFully(int fd, const void* first, std::size_t firstBytes, const void* second, std::size_t secondBytes) {
    OpenOutput* file = Find(fd);
    uint64_t position = file != nullptr ? file->position : 0;
    if (file == nullptr) {
        LARGE_INTEGER current{};
        if (!SetFilePointerEx(HandleOf(fd), LARGE_INTEGER{}, &current, FILE_CURRENT)) return windows::FailWithLastError();
        position = static_cast<uint64_t>(current.QuadPart);
    }
    // What was written stays counted when the second part fails.
    const auto advance = [&](std::size_t bytes) {
        position += bytes;
        if (file != nullptr) file->position = position;
    };
    if (firstBytes > 0) {
        if (!Write(fd, first, firstBytes, position)) return false;
        advance(firstBytes);
    }
    if (secondBytes > 0) {
        if (!Write(fd, second, secondBytes, position)) return false;
        advance(secondBytes);
    }
    return true;
}

bool WriteFullyAt(int fd, const void* data, std::size_t bytes, uint64_t offset) {
    return bytes == 0 || Write(fd, data, bytes, offset);
}

bool QueryOpenFile(int fd, OpenFileStatus& status) {
    FILE_STANDARD_INFO info{};
    if (!GetFileInformationByHandleEx(HandleOf(fd), FileStandardInfo, &info, sizeof info)) return false;
    status.bytes = info.EndOfFile.QuadPart > 0 ? static_cast<uint64_t>(info.EndOfFile.QuadPart) : 0;
    // A name removed while the file is open is pending deletion here.
    status.removed = info.DeletePending != FALSE || info.NumberOfLinks == 0;
    return true;
}

bool CutOutputFile(int fd, uint64_t bytes) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(bytes);
    if (!SetFileInformationByHandle(HandleOf(fd), FileEndOfFileInfo, &end, sizeof end))
        return windows::FailWithLastError();
    return true;
}

bool SyncOutputFile(int fd) { return FlushFileBuffers(HandleOf(fd)) != 0 || windows::FailWithLastError(); }

bool CloseOutputFile(int fd) {
    std::unique_ptr<OpenOutput> file;
    {
        const std::lock_guard<std::mutex> lock(openMutex);
        const auto found = openFiles.find(fd);
        if (found != openFiles.end()) {
            file = std::move(found->second);
            openFiles.erase(found);
        }
    }
    bool closed = true;
    if (file != nullptr && file->direct != INVALID_HANDLE_VALUE) closed = CloseHandle(file->direct) != 0;
    return _close(fd) == 0 && closed;
}

bool ReplaceFile(const char* from, const char* to) {
    if (MoveFileExW(windows::WidePath(from).c_str(), windows::WidePath(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    return windows::FailWithLastError();
}

void RemoveFile(const char* name) { DeleteFileW(windows::WidePath(name).c_str()); }

}  // namespace tessary::platform


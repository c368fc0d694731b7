// File names and error codes for the Windows implementation files only:
// the program's names are UTF-8, the wide API wants UTF-16, and callers
// expect errno values. Header-only, so it needs no build rule of its own.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cerrno>
#include <string>
#include <string_view>

namespace tessary::platform::windows {

// UTF-8 to UTF-16; invalid bytes become U+FFFD.
inline std::wstring Wide(std::string_view text) {
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

inline std::string Narrow(std::wstring_view text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

// A name for the wide API. Names that reach MAX_PATH are made absolute
// (which also turns '/' into '\' and resolves "." and "..") and given the
// "\\?\" prefix that lifts the limit; shorter ones are left as they are,
// so that they mean what they mean to every other program.
inline std::wstring WidePath(std::string_view path) {
    std::wstring wide = Wide(path);
    // Directories must leave room for an 8.3 file name below them.
    if (wide.size() < MAX_PATH - 12 || wide.rfind(L"\\\\?\\", 0) == 0) return wide;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return wide;
    full.resize(length);
    if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);  // \\server\share
    return L"\\\\?\\" + full;
}

// The errno value closest to a Win32 error code.
inline int ErrnoFrom(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_CANNOT_MAKE:
        case ERROR_WRITE_PROTECT: return EACCES;
        case ERROR_LOCK_VIOLATION: return EWOULDBLOCK;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
        case ERROR_DIRECTORY: return ENOTDIR;
        case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
        case ERROR_NOT_SAME_DEVICE: return EXDEV;
        case ERROR_INVALID_HANDLE: return EBADF;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
        case ERROR_PIPE_NOT_CONNECTED: return EPIPE;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH: return ENOEXEC;
        case ERROR_CANT_RESOLVE_FILENAME: return ELOOP;
        case ERROR_NOT_SUPPORTED: return ENOTSUP;
        default: return EINVAL;
    }
}

// Sets errno from the thread's last Win32 error and returns false, for the
// functions that report failures that way.
inline bool FailWithLastError() {
    errno = ErrnoFrom(GetLastError());
    return false;
}

// 100-ns intervals since 1601 to seconds since 1970.
inline long long UnixSeconds(const FILETIME& time) {
    const unsigned long long ticks = (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<long long>(ticks / 10000000ULL) - 11644473600LL;
}

}  // namespace tessary::platform::windows

// Force-included into the tests of a Windows build: the POSIX calls the
// tests use for scratch files and the environment that the Windows C
// library lacks, written with its own functions. The tests stay as they
// run on Linux.
#pragma once

#include <direct.h>
#include <errno.h>
#include <io.h>
#include <stdlib.h>
#include <string.h>

inline int setenv(const char* name, const char* value, int overwrite) {
    if (!overwrite && getenv(name) != nullptr) return 0;
    return _putenv_s(name, value) == 0 ? 0 : -1;
}

// An empty value removes the variable from the C library's environment.
inline int unsetenv(const char* name) { return _putenv_s(name, "") == 0 ? 0 : -1; }

// _mktemp_s uses a fixed sequence per process and template, so a name taken
// meanwhile is tried again with a fresh template.
inline char* mkdtemp(char* pattern) {
    const size_t length = strlen(pattern) + 1;
    char* original = static_cast<char*>(malloc(length));
    if (original == nullptr) return nullptr;
    memcpy(original, pattern, length);
    for (int attempt = 0; attempt < 100; ++attempt) {
        memcpy(pattern, original, length);
        if (_mktemp_s(pattern, length) != 0) break;
        if (_mkdir(pattern) == 0) {
            free(original);
            return pattern;
        }
        if (errno != EEXIST) break;
    }
    free(original);
    return nullptr;
}

// std::filesystem::path::c_str() gives wide text on Windows.
inline int setenv(const char* name, const wchar_t* value, int overwrite) {
    if (!overwrite && getenv(name) != nullptr) return 0;
    const size_t length = strlen(name) + 1;
    wchar_t* wideName = static_cast<wchar_t*>(malloc(length * sizeof(wchar_t)));
    if (wideName == nullptr) return -1;
    for (size_t i = 0; i < length; ++i) wideName[i] = static_cast<unsigned char>(name[i]);
    const int status = _wputenv_s(wideName, value);
    free(wideName);
    return status == 0 ? 0 : -1;
}

// A pipe of the C library's descriptors, binary as POSIX pipes are.
#include <fcntl.h>
inline int pipe(int fds[2]) { return _pipe(fds, 65536, _O_BINARY); }

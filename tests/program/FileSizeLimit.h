// A file size limit for this process while it lives: writes past it fail
// with EFBIG instead of ending the process. Windows has no such limit: the
// cases that need one begin with SKIP_WITHOUT_FILE_SIZE_LIMIT().
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#ifdef _WIN32

#define SKIP_WITHOUT_FILE_SIZE_LIMIT() GTEST_SKIP() << "no per-process file-size limit on Windows"

// Reached only by a case that forgot to skip: it fails rather than pass
// without its limit.
struct FileSizeLimit {
    FileSizeLimit() { ADD_FAILURE() << "no per-process file-size limit on Windows"; }
    explicit FileSizeLimit(uint64_t) : FileSizeLimit() {}
    void Set(uint64_t) {}
};

#else

#include <sys/resource.h>

#include <csignal>

#define SKIP_WITHOUT_FILE_SIZE_LIMIT() static_cast<void>(0)

struct FileSizeLimit {
    // The limit as it is until Set.
    FileSizeLimit() : previous(std::signal(SIGXFSZ, SIG_IGN)) { EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0); }
    explicit FileSizeLimit(rlim_t bytes) : FileSizeLimit() { Set(bytes); }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved), std::signal(SIGXFSZ, previous); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    void Set(rlim_t bytes) {
        const rlimit limited{bytes, saved.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    }
    rlimit saved{};
    void (*previous)(int);
};

#endif

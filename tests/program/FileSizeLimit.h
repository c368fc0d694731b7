// A file size limit for this process while it lives: writes past it fail
// with EFBIG instead of ending the process.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) : previous(std::signal(SIGXFSZ, SIG_IGN)) {
        EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const rlimit limited{bytes, saved.rlim_max};
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved), std::signal(SIGXFSZ, previous); }
    rlimit saved{};
    void (*previous)(int);
};

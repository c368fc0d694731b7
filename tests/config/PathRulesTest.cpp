// Which paths count as absolute and where the per-user folder is, by the
// rules of the platform the tests run on: each row gives the answer on
// POSIX systems and on Windows.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Paths.h"

namespace tessary::platform {
namespace {

const bool kWindows = PathSeparator() == '\\';

TEST(PathRules, AbsolutePaths) {
    struct Row {
        const char* path;
        bool posix, windows;
    };
    const Row rows[] = {
        {"/data/run7/", true, true},  // Windows: the root of the current drive
        {"data/run7/", false, false},
        {"./out/", false, false},
        {"C:\\data\\", false, true},
        {"C:/data/", false, true},
        {"C:data\\", false, false},  // relative to the drive's current folder
        {"\\\\server\\share\\", false, true},
        {"\\data\\", false, true},
        {"", false, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(IsAbsolutePath(row.path), kWindows ? row.windows : row.posix) << '"' << row.path << '"';
}

TEST(PathRules, UserFolderAndSeparators) {
    struct Row {
        const char *profile, *home;
        std::optional<std::string> posix, windows;
    };
    const Row rows[] = {
        {"C:\\Users\\ann", nullptr, "C:\\Users\\ann/Tessary_DAQ/", "C:\\Users\\ann\\Tessary_DAQ\\"},
        {"C:\\Users\\ann\\", "/home/ann", "C:\\Users\\ann\\/Tessary_DAQ/", "C:\\Users\\ann\\Tessary_DAQ\\"},
        {"", "/home/ann/", "/home/ann/Tessary_DAQ/", "/home/ann/Tessary_DAQ\\"},
        {nullptr, nullptr, std::nullopt, std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(UserFolderFrom(row.profile, row.home), kWindows ? row.windows : row.posix)
            << (row.profile ? row.profile : "(unset)") << ", " << (row.home ? row.home : "(unset)");
    EXPECT_EQ(std::string(PathSeparators()), kWindows ? "\\/" : "/");
}

}  // namespace
}  // namespace tessary::platform

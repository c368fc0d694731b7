// Console keys: from a pipe as a scripted run feeds them, and from a
// pseudo-terminal as a user types them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "Console.h"

namespace tessary::platform {
namespace {

struct PipeCase {
    const char* name;
    std::string input;
    std::vector<int> keys;
};

const PipeCase kPipeCases[] = {
    {"plain keys in order", "sq1\n", {'s', 'q', '1', '\n'}},
    {"arrow, then a key", "\x1b[Aq", {kUnknownKey, 'q'}},
    {"function key with parameters", "\x1b[15~s", {kUnknownKey, 's'}},
    {"function key as ESC O", "\x1bOPx", {kUnknownKey, 'x'}},
    {"lone escape at the end", "a\x1b", {'a', kEscapeKey}},
    {"nothing at all", "", {}},
};

TEST(ConsoleKeys, PipeGivesKeysThenNoMoreAtOnce) {
    for (const PipeCase& c : kPipeCases) {
        SCOPED_TRACE(c.name);
        int ends[2];
        ASSERT_EQ(pipe(ends), 0);
        ASSERT_EQ(write(ends[1], c.input.data(), c.input.size()), static_cast<ssize_t>(c.input.size()));
        close(ends[1]);
        ConsoleKeys keys(ends[0]);
        EXPECT_FALSE(keys.InRawMode());
        std::vector<int> got;
        for (int key = keys.ReadKey(); key != kNoMoreKeys && got.size() < 10; key = keys.ReadKey()) got.push_back(key);
        EXPECT_EQ(got, c.keys);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(keys.KeyWaiting());
        EXPECT_EQ(keys.ReadKey(), kNoMoreKeys);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
        close(ends[0]);
    }
}

TEST(ConsoleKeys, OpenPipeWaitsAndEscapeAloneIsEscape) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ConsoleKeys keys(ends[0]);
    EXPECT_FALSE(keys.KeyWaiting());
    ASSERT_EQ(write(ends[1], "\x1b", 1), 1);
    EXPECT_TRUE(keys.KeyWaiting());
    EXPECT_EQ(keys.ReadKey(), kEscapeKey);  // nothing followed within the wait
    ASSERT_EQ(write(ends[1], "q", 1), 1);
    close(ends[1]);
    EXPECT_EQ(keys.ReadKey(), 'q');
    EXPECT_EQ(keys.ReadKey(), kNoMoreKeys);
    close(ends[0]);
}

TEST(ConsoleKeys, TerminalIsRawWhileHeldAndRestoredAfter) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios before{}, during{}, after{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON);
    {
        ConsoleKeys keys(slave);
        ASSERT_TRUE(keys.InRawMode());
        ASSERT_EQ(tcgetattr(slave, &during), 0);
        EXPECT_EQ(during.c_lflag & (ICANON | ECHO), 0u);
        EXPECT_TRUE(during.c_lflag & ISIG);
        ASSERT_EQ(write(master, "x\x1b[B", 4), 4);  // no Enter
        pollfd input{slave, POLLIN, 0};
        ASSERT_EQ(poll(&input, 1, 1000), 1);
        EXPECT_TRUE(keys.KeyWaiting());
        EXPECT_EQ(keys.ReadKey(), 'x');
        EXPECT_EQ(keys.ReadKey(), kUnknownKey);
        pollfd echo{master, POLLIN, 0};
        EXPECT_EQ(poll(&echo, 1, 100), 0) << "typed keys were echoed";
    }
    RestoreConsole();  // nothing left to restore: harmless
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(after.c_cc), NCCS),
              std::string(reinterpret_cast<char*>(before.c_cc), NCCS));
    close(slave);
    close(master);
}

}  // namespace
}  // namespace tessary::platform

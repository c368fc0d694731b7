// Keys that come through a pipe rather than from a console, as scripts and
// CI give them, on every platform: bytes are keys, an escape sequence is one
// unknown key, Escape alone is Escape, and the end of the input means no
// more keys instead of a wait.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Console.h"

namespace tessary::platform {
namespace {

struct PipedCase {
    const char* name;
    std::string bytes;
    std::vector<int> keys;  // then kNoMoreKeys
};

TEST(PipedKeys, BytesAreKeysSequencesOneKeyAndTheEndNoMoreKeys) {
    const PipedCase cases[] = {
        {"plain keys", "sq 0", {'s', 'q', ' ', '0'}},
        {"an arrow between keys", "p\x1b[Ar", {'p', kUnknownKey, 'r'}},
        {"a function key's longer sequence", "\x1b[15~t", {kUnknownKey, 't'}},
        {"Escape alone at the end", "s\x1b", {'s', kEscapeKey}},
        {"Escape followed by a control byte", "\x1b\r", {kEscapeKey, '\r'}},
        {"nothing", "", {}},
    };
    for (const PipedCase& c : cases) {
        SCOPED_TRACE(c.name);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        ASSERT_EQ(write(fds[1], c.bytes.data(), static_cast<unsigned>(c.bytes.size())),
                  static_cast<int>(c.bytes.size()));
        close(fds[1]);
        {
            ConsoleKeys keys(fds[0]);
            EXPECT_FALSE(keys.InRawMode());
            std::vector<int> read;
            for (int key = keys.ReadKey(); key != kNoMoreKeys && read.size() < 16; key = keys.ReadKey())
                read.push_back(key);
            EXPECT_EQ(read, c.keys);
            EXPECT_FALSE(keys.KeyWaiting());
            EXPECT_EQ(keys.ReadKey(), kNoMoreKeys);
        }
        close(fds[0]);
    }
}

}  // namespace
}  // namespace tessary::platform

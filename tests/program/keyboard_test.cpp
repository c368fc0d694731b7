// The keys' effects on the program state and what they print, fed without a
// terminal; library calls go to handles that name no board and are ignored.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "CapturedOutput.h"
#include "Keyboard.h"

namespace tessary {
namespace {

class Keys : public platform::KeyInput {
public:
    std::deque<int> queue;
    bool KeyWaiting() override { return !queue.empty(); }
    int ReadKey() override {
        if (queue.empty()) return platform::kNoMoreKeys;
        const int key = queue.front();
        queue.pop_front();
        return key;
    }
};

std::vector<uint32_t> g_sleeps;
int64_t g_now = 4242;  // the clock the keys read
int64_t Now() { return g_now; }
void Sleep(uint32_t ms) { g_sleeps.push_back(ms); }

struct KeyboardTest : ::testing::Test {
    // Feeds `typed` and polls once per key, as the run loop does; returns the output.
    std::string Type(const std::string& typed) {
        for (char c : typed) keys.queue.push_back(static_cast<unsigned char>(c));
        test_support::CapturedOutput out;
        KeyboardIo io{keys, out.Stream(), &Now, &Sleep};
        while (keys.KeyWaiting()) CheckKeyboardCommand(io, handles, config, current, previous);
        return out.Text();
    }
    void SetUp() override {
        g_sleeps.clear();
        g_now = 4242;
        config.boardCount = 3;
        for (int b = 0; b < 3; ++b) config.boards[b].channelCount = b == 1 ? 32 : 64;
    }
    Keys keys;
    DaqConfig config;
    int32_t handles[3] = {-1, -1, -1};
    BoardCounters current[3], previous[3];
};

TEST_F(KeyboardTest, ChannelEntrySelectsOneChannelOrSaysWhyNot) {
    struct Case {
        const char* typed;
        uint16_t group;
        uint8_t mask;
        const char* message;
        std::size_t pauses;
    };
    const Case cases[] = {
        {"c08", 1, 0x01, "", 0},
        {"c63", 7, 0x80, "", 0},
        {"c00", 0, 0x01, "", 0},
        {"c64", 2, 0x0F, "\n Not a valid channel index. Please enter a number between 0 and 63\n", 1},
        {"cx", 2, 0x0F, "Please enter digits only\n", 1},
        {"c4y", 2, 0x0F, "Please enter digits only\n", 1},
    };
    for (const Case& c : cases) {
        config.plotGroup = 2;
        config.plotChannelMask = 0x0F;
        g_sleeps.clear();
        EXPECT_EQ(Type(c.typed), std::string("Select a channel index between 00 and 63 (enter two digits): ") + c.message)
            << c.typed;
        EXPECT_EQ(config.plotGroup, c.group) << c.typed;
        EXPECT_EQ(config.plotChannelMask, c.mask) << c.typed;
        EXPECT_EQ(g_sleeps, std::vector<uint32_t>(c.pauses, 2000)) << c.typed;
    }
}

// On a 32-channel plotted board, a channel it does not have is refused and
// leaves the selection as it was.
TEST_F(KeyboardTest, ChannelEntryKeepsToThePlottedBoardsChannels) {
    struct Case {
        const char* typed;
        uint16_t group;
        uint8_t mask;
        const char* message;
    };
    const Case cases[] = {
        {"c31", 3, 0x80, ""},
        {"c32", 2, 0x0F, "\n Not a valid channel index. Please enter a number between 0 and 31\n"},
    };
    config.plotBoard = 1;
    for (const Case& c : cases) {
        config.plotGroup = 2;
        config.plotChannelMask = 0x0F;
        EXPECT_EQ(Type(c.typed), std::string("Select a channel index between 00 and 31 (enter two digits): ") + c.message)
            << c.typed;
        EXPECT_EQ(config.plotGroup, c.group) << c.typed;
        EXPECT_EQ(config.plotChannelMask, c.mask) << c.typed;
    }
}

TEST_F(KeyboardTest, SelectionKeysWrapAroundBoardsAndGroups) {
    struct Case {
        uint16_t board, group;
        const char* typed;
        uint16_t wantBoard, wantGroup;
        uint8_t wantMask;
    };
    const Case cases[] = {
        {0, 0, "-", 2, 0, 0x00},  {2, 0, "+", 0, 0, 0x00},  {0, 7, "9", 0, 0, 0x00}, {0, 0, "8", 0, 7, 0x00},
        {1, 0, "8", 1, 3, 0x00},  {1, 3, "9", 1, 0, 0x00},  {0, 0, "33", 0, 0, 0x00}, {0, 0, "07", 0, 0, 0x81},
        {0, 0, "PQRS", 0, 0, 0x00},
    };
    for (const Case& c : cases) {
        config.plotBoard = c.board;
        config.plotGroup = c.group;
        config.plotChannelMask = 0;
        EXPECT_EQ(Type(c.typed), "") << c.typed;
        EXPECT_EQ(config.plotBoard, c.wantBoard) << c.typed;
        EXPECT_EQ(config.plotGroup, c.wantGroup) << c.typed;
        EXPECT_EQ(config.plotChannelMask, c.wantMask) << c.typed;
    }
}

TEST_F(KeyboardTest, StartStopTriggersResetQuitAndHelp) {
    current[0].readoutBytes = 99;
    current[0].eventsProcessed = 5;
    EXPECT_EQ(Type("s"), "Acquisition started\n");
    EXPECT_EQ(config.acquisitionRunning, 1);
    EXPECT_EQ(config.resetTimeMs, 4242);
    EXPECT_EQ(current[0].eventsProcessed, 0u) << "a start clears the counters";
    EXPECT_EQ(current[0].readoutBytes, 99u) << "but not the bytes read";
    EXPECT_EQ(Type("t"), "Single Software Trigger issued\n");
    EXPECT_EQ(Type("Tt"), "") << "no single trigger while continuous";
    EXPECT_EQ(config.continuousTrigger, 1);
    EXPECT_EQ(Type("T"), "");
    EXPECT_EQ(config.continuousTrigger, 0);
    current[1].eventsProcessed = 3;
    EXPECT_EQ(Type("r"), "");
    EXPECT_EQ(current[1].eventsProcessed, 0u);
    EXPECT_EQ(Type("s"), "Acquisition stopped\n");
    EXPECT_EQ(config.acquisitionRunning, 0);
    const std::string help = Type(" q");
    EXPECT_EQ(help.substr(0, 14), "\nBindkey help\n");
    EXPECT_NE(help.find("[space]  This help\n\nPress a key to continue\n"), std::string::npos);
    EXPECT_EQ(config.quitRequested, 0) << "the key that leaves the help is not acted upon";
    EXPECT_EQ(Type("p"), "");
    EXPECT_EQ(config.plotRequested, 1);
    EXPECT_EQ(Type("q"), "");
    EXPECT_EQ(config.quitRequested, 1);
}

// The statistics' "time since reset" counts from the last start, stop or
// reset; the other keys leave it alone.
TEST_F(KeyboardTest, StartStopAndResetRestartTheRealTimeBaseline) {
    const struct {
        const char* typed;
        bool restarts;
    } cases[] = {{"s", true}, {"t", false}, {"r", true}, {"p", false}, {"T9+0", false}, {"r", true}, {"s", true}};
    for (const auto& c : cases) {
        const int64_t before = config.resetTimeMs;
        g_now += 1000;
        Type(c.typed);
        EXPECT_EQ(config.resetTimeMs, c.restarts ? g_now : before) << c.typed;
    }
}

}  // namespace
}  // namespace tessary

// The real Tessary_DAQ binary: its options, a scripted run with piped keys,
// and a run under a pseudo-terminal ended by Ctrl-C, each against emulated
// boards, with the exit status and the terminal as the user sees them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "../emulator/TempFolder.h"

namespace {

const std::string kProgram = std::string(TESSARY_BINARY_DIR) + "/bin/Tessary_DAQ";

struct BinaryTest : ::testing::Test {
    void SetUp() override {
        std::ofstream(folder.File("boards.txt"))
            << "[usb 0]\ntrigger_rate_hz = 5000\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n";
        std::ofstream(folder.File("config.txt")) << "OPEN USB 0\n[COMMON]\nSTAT_REFRESH 300\nPOLARITY NEGATIVE\nGNUPLOT_PATH "
                                                  << folder.path().string() << "/\n";
        // A plotter that takes the commands and draws nothing.
        std::ofstream(folder.File("pgnuplot")) << "#!/bin/sh\ncat > /dev/null\n";
        std::filesystem::permissions(folder.File("pgnuplot"), std::filesystem::perms::owner_all);
        env = "HOME=" + folder.path().string() + " DRELM_EMULATOR_SETTINGS=" + folder.File("boards.txt") + " ";
    }
    // Runs a shell command line; returns its exit status, its output in `out`.
    int Shell(const std::string& command) {
        const int status = std::system((command + " > " + folder.File("out.txt") + " 2>&1").c_str());
        std::stringstream text;
        text << std::ifstream(folder.File("out.txt")).rdbuf();
        out = text.str();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Slurp(const std::string& path) {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }
    emulator_test::TempFolder folder;
    std::string env, out;
};

TEST_F(BinaryTest, OptionsAndExitStatuses) {
    EXPECT_EQ(Shell(kProgram + " --version"), 0);
    EXPECT_EQ(out, "Tessary_DAQ 1.1.0\n");
    EXPECT_EQ(Shell(kProgram + " --help"), 0);
    EXPECT_NE(out.find("  s        start/stop the acquisition\n"), std::string::npos) << out;
    EXPECT_EQ(Shell(env + kProgram + " " + folder.File("none.txt") + " < /dev/null"), 1) << "no key can come: no wait";
    EXPECT_NE(out.find("\aConfiguration File not found\nPress a key to quit\n"), std::string::npos) << out;
}

TEST_F(BinaryTest, ScriptedRunWithPipedKeys) {
    EXPECT_EQ(Shell("(sleep 1; printf s; sleep 2; printf q) | " + env + kProgram + " " + folder.File("config.txt")),
              0);
    EXPECT_NE(out.find("Acquisition started\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Detected trigger rate  : "), std::string::npos) << out;
}

// A stop signal during the start-up ends it in order at the next stage,
// with no prompt, no summary and status 0. The boards' links are slow, so
// that the signal comes while their tables load.
TEST_F(BinaryTest, AStopSignalDuringStartUpEndsItInOrder) {
    std::ofstream(folder.File("boards.txt")) << "[usb 0]\nlink_latency_us = 100\n";
    const std::string run = env + kProgram + " " + folder.File("config.txt") + " < /dev/null > " +
                            folder.File("run.txt") + " 2>&1 & pid=$!; " + "until grep -q 'Calibration upload' " +
                            folder.File("run.txt") + "; do sleep 0.05; done; kill -TERM $pid; wait $pid";
    EXPECT_EQ(Shell(run), 0);
    const std::string printed = Slurp(folder.File("run.txt"));
    EXPECT_NE(printed.find("Calibration upload\nStopped by SIGTERM during start-up\n"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("[space key] help"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("Run summary"), std::string::npos) << printed;
}

// Ctrl-C ends the run as q does: boards stopped and closed, status 0, the
// terminal as it was.
TEST_F(BinaryTest, CtrlCUnderATerminalEndsTheRunCleanly) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slaveName = ptsname(master);
    const int slave = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(slave, 2);
        execl("/bin/sh", "sh", "-c", (env + "exec " + kProgram + " " + folder.File("config.txt")).c_str(), nullptr);
        _exit(127);
    }
    std::string seen;
    auto waitFor = [&](const std::string& text) {
        for (int i = 0; i < 200 && seen.find(text) == std::string::npos; ++i) {
            char buffer[4096];
            fcntl(master, F_SETFL, O_NONBLOCK);
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) seen.append(buffer, static_cast<std::size_t>(n));
            else std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return seen.find(text) != std::string::npos;
    };
    ASSERT_TRUE(waitFor("[space key] help")) << seen;
    termios raw{};
    ASSERT_EQ(tcgetattr(slave, &raw), 0);
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO), 0u) << "raw mode while it runs";
    ASSERT_EQ(write(master, "s", 1), 1);
    EXPECT_TRUE(waitFor("Acquisition started")) << seen;
    kill(child, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    termios after{};
    ASSERT_EQ(tcgetattr(slave, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag) << "the terminal as it was found";
    EXPECT_NE(Slurp(folder.File("Tessary_DAQ/run0_summary.json")).find("\"ended_by\": \"signal SIGINT\""),
              std::string::npos)
        << "the summary names the signal";
    close(slave);
    close(master);
}

}  // namespace

// The real Tessary_DAQ binary: its options, a scripted run with piped keys,
// and a run under a pseudo-terminal ended by Ctrl-C, each against emulated
// boards, with the exit status and the terminal as the user sees them.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../emulator/TempFolder.h"
#include "RunProgram.h"
#include "StandInPlotter.h"

namespace {

const std::string kProgram = test_support::Executable(std::string(TESSARY_BINARY_DIR) + "/bin/Tessary_DAQ");

struct BinaryTest : ::testing::Test {
    void SetUp() override {
        std::ofstream(folder.File("boards.txt"))
            << "[usb 0]\ntrigger_rate_hz = 5000\nlink_latency_us = 0\nlink_bandwidth_kb_s = unlimited\n";
        std::ofstream(folder.File("config.txt")) << "OPEN USB 0\n[COMMON]\nSTAT_REFRESH 300\nPOLARITY NEGATIVE\nGNUPLOT_PATH "
                                                  << folder.path().string() << "/\n";
        // A plotter that takes the commands and draws nothing.
        ASSERT_TRUE(test_support::InstallStandInPlotter(folder.path()));
        run.environment = test_support::ProfileVariables(folder.path());
        run.environment.emplace_back("DRELM_EMULATOR_SETTINGS", folder.File("boards.txt"));
        run.errorsToOutput = true;
    }
    // Runs the program with these options; returns its exit status, its output in `out`.
    int Program(const std::vector<std::string>& arguments, const test_support::RunOptions& options) {
        std::vector<std::string> command{kProgram};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const test_support::RunResult result = test_support::Run(command, options);
        out = result.output;
        return result.status;
    }
    static std::string Slurp(const std::string& path) {
        std::stringstream text;
        text << std::ifstream(path).rdbuf();
        return text.str();
    }
    emulator_test::TempFolder folder;
    test_support::RunOptions run;  // its environment, standard input from nothing, output and errors together
    std::string out;
};

TEST_F(BinaryTest, OptionsAndExitStatuses) {
    test_support::RunOptions plain;
    plain.errorsToOutput = true;
    EXPECT_EQ(Program({"--version"}, plain), 0);
    EXPECT_EQ(out, "Tessary_DAQ 1.1.0\n");
    EXPECT_EQ(Program({"--help"}, plain), 0);
    EXPECT_NE(out.find("  s        start/stop the acquisition\n"), std::string::npos) << out;
    EXPECT_EQ(Program({folder.File("none.txt")}, run), 1) << "no key can come: no wait";
    EXPECT_NE(out.find("\aConfiguration File not found\nPress a key to quit\n"), std::string::npos) << out;
}

TEST_F(BinaryTest, ScriptedRunWithPipedKeys) {
    run.in = test_support::RunOptions::Input::Pipe;
    test_support::Process program({kProgram, folder.File("config.txt")}, run);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    program.Write("s");
    std::this_thread::sleep_for(std::chrono::seconds(2));
    program.Write("q");
    EXPECT_EQ(program.Wait(), 0) << program.Failure();
    out = program.Output();
    EXPECT_NE(out.find("Acquisition started\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Detected trigger rate  : "), std::string::npos) << out;
}

// A stop signal during the start-up ends it in order at the next stage,
// with no prompt, no summary and status 0. The boards' links are slow, so
// that the signal comes while their tables load.
TEST_F(BinaryTest, AStopSignalDuringStartUpEndsItInOrder) {
    std::ofstream(folder.File("boards.txt")) << "[usb 0]\nlink_latency_us = 100\n";
    run.output = folder.File("run.txt");
    test_support::Process program({kProgram, folder.File("config.txt")}, run);
    for (int i = 0; i < 1200 && Slurp(folder.File("run.txt")).find("Calibration upload") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const bool stopped = program.Stop();
#ifdef _WIN32
    if (!stopped)
        GTEST_SKIP() << "GenerateConsoleCtrlEvent cannot send CTRL_BREAK_EVENT to the program's process group here "
                        "(wine does not deliver it; on Windows the tests must share a console with the program)";
#endif
    ASSERT_TRUE(stopped) << program.Failure();
    EXPECT_EQ(program.Wait(), 0);
    const std::string printed = Slurp(folder.File("run.txt"));
    EXPECT_NE(printed.find(std::string("Calibration upload\nStopped by ") + test_support::StopRequestName() +
                           " during start-up\n"),
              std::string::npos)
        << printed;
    EXPECT_EQ(printed.find("[space key] help"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("Run summary"), std::string::npos) << printed;
}

// Ctrl-C ends the run as q does: boards stopped and closed, status 0, the
// terminal as it was.
TEST_F(BinaryTest, CtrlCUnderATerminalEndsTheRunCleanly) {
#ifdef _WIN32
    GTEST_SKIP() << "types Ctrl-C at a pseudo-terminal (posix_openpt) and compares the terminal's modes (termios) "
                    "before and after the run";
#else
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slaveName = ptsname(master);
    const int slave = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    termios before{};
    ASSERT_EQ(tcgetattr(slave, &before), 0);
    const std::string shell = "HOME=" + folder.path().string() + " DRELM_EMULATOR_SETTINGS=" +
                              folder.File("boards.txt") + " exec " + kProgram + " " + folder.File("config.txt");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(slave, 0);
        dup2(slave, 1);
        dup2(slave, 2);
        execl("/bin/sh", "sh", "-c", shell.c_str(), nullptr);
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
#endif
}

}  // namespace

// The programs run from tests as the user runs them: their paths, files
// read and written whole, and a fixture that runs a program and keeps its
// exit status, standard output and error.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../emulator/TempFolder.h"
#include "RunProgram.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace replay_tool {

namespace fs = std::filesystem;

inline const std::string kProgram = test_support::Executable(std::string(TESSARY_BINARY_DIR) + "/bin/Tessary_DAQ");
inline const std::string kReplay = REPLAY_TOOL;

inline std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void Write(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

struct ReplayTest : ::testing::Test {
    // Runs a program to its end: its exit status, its standard output and error.
    int Run(const std::vector<std::string>& command, const test_support::RunOptions& options = {}) {
        const test_support::RunResult result = test_support::Run(command, options);
        out = result.output;
        err = result.errors;
        return result.status;
    }
    int RunReplay(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), kReplay);
        return Run(arguments);
    }
#ifndef _WIN32
    // Runs a command line of a POSIX shell, for the tests that need one
    // (pipelines, ulimit): its exit status, its standard output and error.
    int Shell(const std::string& command) {
        const int status =
            std::system((command + " > " + folder.File("out.txt") + " 2> " + folder.File("err.txt")).c_str());
        out = Contents(folder.File("out.txt"));
        err = Contents(folder.File("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Replay(const std::string& arguments) { return Shell(kReplay + " " + arguments); }
#endif
    fs::path Path(const std::string& name) const { return folder.path() / name; }

    emulator_test::TempFolder folder;
    std::string out, err;
};

}  // namespace replay_tool

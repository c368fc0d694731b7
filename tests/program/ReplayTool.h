// Test support for the replay tool run as a program: a folder of its own,
// the tool's command lines with their exit status and output, and raw
// events in the boards' wire format.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../emulator/TempFolder.h"
#include "Checksum.h"
#include "EventWords.h"

namespace replay_tool {

namespace fs = std::filesystem;

inline const std::string kProgram = std::string(TESSARY_BINARY_DIR) + "/bin/Tessary_DAQ";
inline const std::string kReplay = REPLAY_TOOL;

inline std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void Write(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

inline std::string Bytes(const std::vector<uint32_t>& words) {
    return std::string(reinterpret_cast<const char*>(words.data()), words.size() * 4);
}

inline std::string Crc(const std::string& bytes) {
    tessary::Crc32c crc;
    crc.Add(bytes.data(), bytes.size());
    char text[9];
    tessary::FormatCrc32c(crc.Value(), text);
    return text;
}

struct ReplayTest : ::testing::Test {
    // Runs a command line: its exit status, its standard output and error.
    int Shell(const std::string& command) {
        const int status =
            std::system((command + " > " + folder.File("out.txt") + " 2> " + folder.File("err.txt")).c_str());
        out = Contents(folder.File("out.txt"));
        err = Contents(folder.File("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    int Replay(const std::string& arguments) { return Shell(kReplay + " " + arguments); }
    fs::path Path(const std::string& name) const { return folder.path() / name; }

    emulator_test::TempFolder folder;
    std::string out, err;
};

// `count` 32-channel events of 8 words (32 bytes), channels 0, 1, 16 and 31
// present, amplitude 100 in channel 0; the first transfer ends with a spare
// word: events at bytes 0, 36, 68, 100, ... With `blocks` 4, the events of a
// 64-channel board: blocks 2 and 3 carry channel 32 and 48, 12 words each.
// Trigger indexes count from 0, time stamps by 1000 from `firstTime`.
inline std::vector<uint32_t> Events(uint32_t count, uint32_t blocks = 2, uint64_t firstTime = 0) {
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < count; ++i) {
        tessary_test::EventShape e;
        e.triggerIndex = i;
        e.timestamp = firstTime + 1000 * i;
        e.blocks[0] = tessary_test::Block(0x0003);
        e.blocks[1] = tessary_test::Block(0x8001);
        if (blocks == 4) e.blocks[2] = e.blocks[3] = tessary_test::Block(0x0001);
        const std::size_t start = words.size();
        tessary_test::AppendEvent(words, e);
        words[start] |= 0xA0000000u;  // header mark beside the size
        if (i == 0) words.push_back(0xFFFFFFFF);
    }
    return words;
}

}  // namespace replay_tool

// Files written behind, on the writer's thread, in halves and (where the
// file system allows it) direct to the device, must hold exactly what a
// file written on the caller's thread holds: the same patterns of appends,
// reserved lines, flushes at part blocks and segment switches are played
// in both ways and the files compared byte for byte. A write that fails
// behind is told once, at a later call, and leaves a whole prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "../emulator/TempFolder.h"
#include "BufferedFile.h"
#include "CapturedOutput.h"
#include "FileSizeLimit.h"
#include "OutputFiles.h"
#include "WriteBehind.h"

namespace tessary {
namespace {

std::string Contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One call on the file: append n bytes, reserve n and commit m of them,
// flush, or switch to the next file.
struct Op {
    enum Kind { Append, Line, Flush, Switch } kind;
    std::size_t n = 0, m = 0;
};

struct Pattern {
    const char* name;
    std::vector<Op> ops;
};

// Two direct blocks a half when written behind; the same room on the
// caller's thread.
constexpr std::size_t kHalf = 2 * platform::kDirectWriteAlignment;

std::vector<Pattern> Patterns() {
    std::mt19937 random(7);
    std::vector<Op> small, lines;
    for (int i = 0; i < 1000; ++i) small.push_back({Op::Append, 1 + random() % 300});
    for (int i = 0; i < 600; ++i) {
        const std::size_t reserved = 1 + random() % 700;
        lines.push_back({Op::Line, reserved, 1 + random() % reserved});
        if (i % 97 == 0) lines.push_back({Op::Flush});
    }
    return {
        {"small appends across many halves", small},
        {"appends larger than the whole buffer", {{Op::Append, 5 * kHalf + 17}, {Op::Append, 5}, {Op::Append, 2 * kHalf}}},
        {"flushes that leave part blocks",
         {{Op::Append, 5000}, {Op::Flush}, {Op::Append, 3}, {Op::Flush}, {Op::Flush}, {Op::Append, 9000}, {Op::Flush},
          {Op::Append, 4096}, {Op::Flush}, {Op::Append, 1}}},
        {"reserved lines, committed in part", lines},
        // Behind and direct, the part block kept after a handover leaves
        // less than this room: the file must go on without losing a byte.
        {"a reservation larger than the kept part block allows",
         {{Op::Append, 5000}, {Op::Line, kHalf - 192, kHalf - 200}, {Op::Append, 3000}}},
        {"segments switched with part blocks pending",
         {{Op::Append, 6000}, {Op::Switch}, {Op::Append, 100}, {Op::Flush}, {Op::Switch}, {Op::Switch},
          {Op::Append, 3 * kHalf + 1}}},
    };
}

struct Played {
    std::vector<std::string> expected;  // per file
    std::vector<uint64_t> given;
    std::vector<uint32_t> checksum;
    bool closedWhole = false;
};

Played Play(const Pattern& pattern, const emulator_test::TempFolder& folder, bool behind) {
    WriteBehind writer;
    if (behind) {
        EXPECT_TRUE(writer.Start(1));
    }
    const std::size_t capacity = behind ? 2 * kHalf : kHalf;
    // Aligned as the output files align theirs, so that writes can go direct.
    std::unique_ptr<char[]> memory(new char[capacity + platform::kDirectWriteAlignment]);
    char* buffer = memory.get() + (platform::kDirectWriteAlignment -
                                   reinterpret_cast<uintptr_t>(memory.get()) % platform::kDirectWriteAlignment);
    Played played;
    std::mt19937 random(11);
    auto record = [&](BufferedFile& file) {
        played.given.push_back(file.BytesGiven());
        played.checksum.push_back(file.Checksum());
    };
    {
        BufferedFile file;
        file.SetBuffer(buffer, capacity, behind ? &writer : nullptr);
        const std::string prefix = behind ? "behind" : "caller";
        EXPECT_TRUE(file.Create(folder.File(prefix + "0").c_str()));
        played.expected.emplace_back();
        for (const Op& op : pattern.ops) {
            std::string bytes(op.kind == Op::Line ? op.m : op.n, '\0');
            for (char& c : bytes) c = static_cast<char>(random());
            switch (op.kind) {
                case Op::Append:
                    EXPECT_TRUE(file.Append(bytes.data(), bytes.size()));
                    break;
                case Op::Line: {
                    char* room = file.Reserve(op.n);
                    EXPECT_NE(room, nullptr);
                    if (room == nullptr) return played;
                    std::copy(bytes.begin(), bytes.end(), room);
                    file.Commit(bytes.size());
                    break;
                }
                case Op::Flush:
                    EXPECT_TRUE(file.Flush());
                    break;
                case Op::Switch:
                    record(file);
                    EXPECT_EQ(file.SwitchTo(folder.File(prefix + std::to_string(played.expected.size())).c_str()),
                              BufferedFile::Switch::Done);
                    played.expected.emplace_back();
                    break;
            }
            played.expected.back() += bytes;
        }
        played.closedWhole = file.Close();
        record(file);
    }
    return played;
}

TEST(WriteBehindTest, FilesWrittenBehindHoldWhatFilesWrittenOnTheCallersThreadHold) {
    for (const Pattern& pattern : Patterns()) {
        SCOPED_TRACE(pattern.name);
        emulator_test::TempFolder folder;
        ASSERT_FALSE(folder.path().empty());
        for (const bool behind : {false, true}) {
            SCOPED_TRACE(behind ? "written behind" : "written on the caller's thread");
            const Played played = Play(pattern, folder, behind);
            EXPECT_TRUE(played.closedWhole);
            ASSERT_EQ(played.given.size(), played.expected.size());
            for (std::size_t f = 0; f < played.expected.size(); ++f) {
                const std::string on = Contents(folder.File((behind ? "behind" : "caller") + std::to_string(f)));
                EXPECT_TRUE(on == played.expected[f]) << "file " << f << ": " << on.size() << " bytes on disk, "
                                                      << played.expected[f].size() << " given";
                Crc32c crc;
                crc.Add(on.data(), on.size());
                EXPECT_EQ(played.given[f], on.size());
                EXPECT_EQ(played.checksum[f], crc.Value());
            }
        }
    }
}

// A size limit cuts the raw file short on the writer's thread: the run is
// told once, with the system's reason, and the file is a whole prefix.
TEST(WriteBehindTest, AFailedWriteBehindIsToldOnceAndLeavesAWholePrefix) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    emulator_test::TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    auto config = std::make_unique<DaqConfig>();
    std::snprintf(config->outfilePath, sizeof config->outfilePath, "%s/", folder.path().string().c_str());
    std::snprintf(config->outfileName, sizeof config->outfileName, "limit");
    config->boardCount = 1;
    config->boards[0].channelCount = 32;
    config->outfileRaw = 1;
    config->outfileMaxSize = 100;
    test_support::CapturedOutput out;
    ASSERT_NE(out.Stream(), nullptr);

    OutputFiles files;
    ASSERT_EQ(files.Open(*config, out.Stream(), OutputFiles::Writes::Behind), ProgramError::None);
    std::string data(12u << 20, '\0');
    std::mt19937 random(3);
    for (char& c : data) c = static_cast<char>(random());
    ProgramError during = ProgramError::None, closed;
    {
        const FileSizeLimit limit(3u << 20);
        for (std::size_t at = 0; at < data.size() && during == ProgramError::None; at += 1u << 20) {
            during = files.WriteBatch(0, data.data() + at, 1u << 20, nullptr, 0);
            if (during == ProgramError::None) during = files.ChangeSegments(0, *config);
        }
        closed = files.Close();
    }
    const std::string messages = out.Text();

    EXPECT_EQ(during, ProgramError::OutputFileWrite);
    EXPECT_EQ(closed, ProgramError::OutputFileWrite);
    const std::string told = "Output file " + folder.File("limit_raw_b0_seg0.bin") + " could not be written: File too large\n";
    EXPECT_EQ(messages.find(told), messages.rfind(told)) << messages;
    EXPECT_NE(messages.find(told), std::string::npos) << messages;
    const std::string on = Contents(folder.File("limit_raw_b0_seg0.bin"));
    EXPECT_LE(on.size(), 3u << 20);
    EXPECT_GE(on.size(), 2u << 20) << "the writes before the limit were made";
    EXPECT_TRUE(data.compare(0, on.size(), on) == 0);
    ASSERT_EQ(files.Written(0).size(), 1u);
    EXPECT_FALSE(files.Written(0)[0].whole);
}

}  // namespace
}  // namespace tessary

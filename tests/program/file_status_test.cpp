// The monitor's file status: the segments being written with the bytes
// given so far, and per board the bytes of each kind, which stay after the
// files are closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "../emulator/TempFolder.h"
#include "FileStatus.h"

namespace tessary {
namespace {

TEST(FileStatusTest, NamesTheOpenSegmentsAndCountsTheBytesPerKind) {
    emulator_test::TempFolder folder;
    auto config = std::make_unique<DaqConfig>();
    std::snprintf(config->outfilePath, sizeof config->outfilePath, "%s/", folder.path().c_str());
    std::snprintf(config->outfileName, sizeof config->outfileName, "st");
    config->boardCount = 2;
    config->outfileRaw = config->outfileList = 1;
    OutputFiles outputs;
    ASSERT_EQ(outputs.Open(*config, stdout), ProgramError::None);
    const char raw[1000] = {};
    ASSERT_EQ(outputs.WriteBatch(1, raw, sizeof raw, nullptr, 0), ProgramError::None);

    monitor::RunStatus status;
    status.boards.resize(2);
    const DiskWatch unchecked;
    FillFileStatus(outputs, unchecked, status);
    ASSERT_EQ(status.files.size(), 4u);
    EXPECT_EQ(status.files[2].path, folder.File("st_raw_b1_seg0.bin"));
    EXPECT_EQ(status.files[2].bytes, 1000u);
    EXPECT_EQ(status.files[3].path, folder.File("st_list_b1_seg0.txt"));
    const uint64_t header = status.files[3].bytes;
    EXPECT_GT(header, 0u);
    EXPECT_FALSE(status.disk.known);

    ASSERT_EQ(outputs.Close(), ProgramError::None);
    FillFileStatus(outputs, unchecked, status);
    EXPECT_TRUE(status.files.empty());
    const uint64_t expected[2][monitor::kFileKinds] = {{0, header, 0}, {1000, header, 0}};
    for (int b = 0; b < 2; ++b)
        for (int kind = 0; kind < monitor::kFileKinds; ++kind)
            EXPECT_EQ(status.boards[b].writtenBytes[kind], expected[b][kind]) << b << " " << kind;
}

}  // namespace
}  // namespace tessary

// The platform layer's files as the outputs use them, on every system:
// folders and files named in UTF-8 beyond the classic 260-character limit,
// direct and cached writes and cutting, read back through the standard
// library. (Moving, replacing and removal are proven by the program's runs.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "../emulator/TempFolder.h"
#include "Directory.h"
#include "OutputFile.h"
#include "Paths.h"

namespace tessary::platform {
namespace {

namespace fs = std::filesystem;

// A UTF-8 name as the configuration gives it, and its path for reading back.
const std::string kName = "donn\xC3\xA9" "es_\xE6\x97\xA5\xE6\x9C\xAC";
fs::path Native(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Contents(const std::string& utf8) {
    std::ifstream in(Native(utf8), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Memory aligned for direct writes.
struct AlignedBlock {
    explicit AlignedBlock(std::size_t bytes, char fill)
        : data(static_cast<char*>(::operator new(bytes, std::align_val_t(kDirectWriteAlignment)))), size(bytes) {
        std::memset(data, fill, bytes);
    }
    ~AlignedBlock() { ::operator delete(data, std::align_val_t(kDirectWriteAlignment)); }
    char* data;
    std::size_t size;
};

struct PlatformFilesTest : ::testing::Test {
    // Nested folders named in UTF-8 until the path is longer than `length`.
    std::string DeepFolder(std::size_t length) {
        std::string path = folder.path().string() + PathSeparator();
        while (path.size() <= length) {
            path += kName + PathSeparator();
            EXPECT_TRUE(MakeDirectory(path) || fs::is_directory(Native(path))) << path << ": " << std::strerror(errno);
        }
        return path;
    }
    emulator_test::TempFolder folder;
};

TEST_F(PlatformFilesTest, FilesBeyondTheClassicPathLimitAreWrittenDirectOrCachedAndReadBackWhole) {
    struct Case {
        const char* name;
        std::size_t depth;
        bool direct;
    };
    const Case cases[] = {{"short, cached", 0, false}, {"short, direct", 0, true},
                          {"long, cached", 300, false}, {"long, direct", 600, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = c.depth ? DeepFolder(c.depth) : folder.path().string() + PathSeparator();
        const std::string file = dir + kName + ".dat";
        const int fd = CreateOutputFile(file.c_str(), c.direct);
        ASSERT_GE(fd, 0) << file << ": " << std::strerror(errno);
        // Whole aligned blocks while direct (where the volume allows it),
        // then a tail of any length cached, as the raw files end.
        const AlignedBlock blocks(2 * kDirectWriteAlignment, 'a');
        ASSERT_TRUE(WriteFully(fd, blocks.data, kDirectWriteAlignment, blocks.data + kDirectWriteAlignment,
                               kDirectWriteAlignment));
        if (WritesDirect(fd)) {
            ASSERT_TRUE(SetWritesDirect(fd, false));
        }
        EXPECT_FALSE(WritesDirect(fd));
        ASSERT_TRUE(WriteFully(fd, "tail", 4, "", 0));
        ASSERT_TRUE(WriteFullyAt(fd, "B", 1, 1));
        OpenFileStatus status;
        ASSERT_TRUE(QueryOpenFile(fd, status));
        EXPECT_EQ(status.bytes, 2 * kDirectWriteAlignment + 4);
        EXPECT_FALSE(status.removed);
        ASSERT_TRUE(CutOutputFile(fd, 2 * kDirectWriteAlignment + 2));
        ASSERT_TRUE(SyncOutputFile(fd));
        ASSERT_TRUE(CloseOutputFile(fd));
        EXPECT_TRUE(PathAccessible(file.c_str()));
        EXPECT_EQ(Contents(file), "aB" + std::string(2 * kDirectWriteAlignment - 2, 'a') + "ta");

        std::vector<FolderEntry> entries;
        ASSERT_TRUE(ListFolder(dir, entries));
        EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                                [](const FolderEntry& e) { return e.name == kName + ".dat" && !e.directory; }));
    }
}

}  // namespace
}  // namespace tessary::platform

// Output files through a run: two boards, a segment limit of 0 MiB so that
// segments change every few passes, then names, segment contents and
// histograms byte for byte; write failures and start-up failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "../emulator/TempFolder.h"
#include "CapturedOutput.h"
#include "Checksum.h"
#include "Clock.h"
#include "FileSizeLimit.h"
#include "ListReference.h"
#include "OutputFiles.h"
#include "Paths.h"
#include "UnderWine.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct OutputFilesTest : ::testing::Test {
    void SetUp() override {
        ASSERT_FALSE(folder.path().empty());
        dir = folder.path() / "out";
        std::snprintf(config.outfilePath, sizeof config.outfilePath, "%s", Folder().c_str());
        std::snprintf(config.outfileName, sizeof config.outfileName, "run7");
        config.boardCount = 2;
        config.boards[0].channelCount = 64;
        for (uint8_t& g : config.boards[0].groupEnableMask) g = 0xFF;
        config.boards[0].groupEnableMask[5] = 0;
        config.boards[0].groupEnableMask[2] = 0x5A;
        config.boards[1].channelCount = 32;
        config.boards[1].groupEnableMask[0] = 0x0F, config.boards[1].groupEnableMask[3] = 0x81;
        config.boards[1].spectrumShift = 3;
    }
    // The output folder as configured, with the system's separator at its end.
    std::string Folder() const { return dir.string() + platform::PathSeparator(); }
    std::string File(const std::string& name) const { return (dir / name).string(); }

    emulator_test::TempFolder folder;
    fs::path dir;
    DaqConfig config;
    test_support::CapturedOutput messages;
    OutputFiles files;
};

// The data of segments 0 to `last` (and no more) of one file, each but the
// last full (1 MiB), each starting with `header` and, for raw files, ending
// where a transfer ended.
std::string Joined(const fs::path& dir, const std::string& stem, const char* extension, int last,
                   const std::string& header, const std::vector<std::size_t>* transferEnds) {
    std::string joined;
    EXPECT_FALSE(fs::exists(dir / (stem + std::to_string(last + 1) + extension)));
    for (int s = 0; s <= last; ++s) {
        const std::string segment = Contents(dir / (stem + std::to_string(s) + extension));
        EXPECT_TRUE(s == last || segment.size() >= (1u << 20)) << stem << s;
        EXPECT_EQ(segment.compare(0, header.size(), header), 0) << stem << s;
        joined += segment.substr(header.size());
        EXPECT_TRUE(!transferEnds || std::count(transferEnds->begin(), transferEnds->end(), joined.size())) << s;
    }
    return joined;
}

TEST_F(OutputFilesTest, RunOfTwoBoardsWithSegmentChanges) {
    config.outfileRaw = config.outfileList = config.outfileHisto = 1;
    ASSERT_EQ(files.Open(config, messages.Stream()), ProgramError::None);
    EXPECT_EQ(messages.Text(), "Output directory " + Folder() + " created\n");

    std::mt19937 random(5);
    std::string raw[2], list[2];
    std::vector<std::size_t> transferEnds[2];
    BoardCounters counters[2];
    ASSERT_EQ(AllocCounterSpectra(counters[0]), 0);
    ASSERT_EQ(AllocCounterSpectra(counters[1]), 0);
    for (int pass = 0; pass < 24; ++pass) {
        for (int b = 0; b < 2; ++b) {
            // Mostly small transfers that gather in the buffer, now and then
            // one larger than the buffer.
            std::string block(pass % 7 == 3 ? (3u << 19) + 5 : 1000 + random() % 300000, '\0');
            for (char& c : block) c = static_cast<char>(random());
            const reference::RandomEvents events(config.boards[b], 300 + pass * 20, 100 * pass + b);
            ASSERT_EQ(files.WriteBatch(b, block.data(), static_cast<uint32_t>(block.size()), events.Events().data(),
                                       static_cast<uint32_t>(events.Events().size())),
                      ProgramError::None);
            raw[b] += block;
            transferEnds[b].push_back(raw[b].size());
            for (const EventRecord& e : events.Events()) list[b] += reference::ListLine(e, config.boards[b]);
            if (pass % 10 == 9) {
                for (int ch = 0; ch < 64; ++ch) counters[b].spectrum[ch][pass] = ch * 1000.0 + b + 0.5;
                ASSERT_EQ(files.RewriteHistograms(b, counters[b], config), ProgramError::None);
            }
            ASSERT_EQ(files.ChangeSegments(b, config), ProgramError::None);
        }
    }
    const int lastRaw[2] = {files.RawSegment(0), files.RawSegment(1)};
    const int lastList[2] = {files.ListSegment(0), files.ListSegment(1)};
    ASSERT_EQ(files.Close(), ProgramError::None);
    EXPECT_EQ(messages.Text(), "Output directory " + Folder() + " created\n");

    for (int b = 0; b < 2; ++b) {
        const BoardSettings& settings = config.boards[b];
        EXPECT_GE(lastRaw[b], 2);
        EXPECT_GE(lastList[b], 2);
        const std::string board = "_b" + std::to_string(b) + "_seg";
        EXPECT_TRUE(Joined(dir, "run7_raw" + board, ".bin", lastRaw[b], "", &transferEnds[b]) == raw[b]);
        EXPECT_TRUE(Joined(dir, "run7_list" + board, ".txt", lastList[b], reference::ListHeader(settings.channelCount),
                           nullptr) == list[b]);
        for (int ch = 0; ch < 64; ++ch) {
            const fs::path name = dir / ("run7_histo_b" + std::to_string(b) + "_ch" + std::to_string(ch) + ".txt");
            const bool wanted = ch < settings.channelCount && reference::Enabled(settings, ch);
            ASSERT_EQ(fs::exists(name), wanted) << name;
            if (wanted) {
                EXPECT_EQ(Contents(name), reference::Histogram(counters[b].spectrum[ch], 16384 >> settings.spectrumShift));
            }
        }
    }
}

// Data that fill no buffer reach the disk within about kFlushPeriodMs of
// the run loop's passes, the files still open and given nothing more.
TEST_F(OutputFilesTest, BufferedDataReachTheDiskWhileTheFilesStayOpen) {
    config.outfileRaw = config.outfileList = config.boardCount = 1;
    const reference::RandomEvents events(config.boards[0], 40, 3);
    std::string raw(5000, 'r'), list = reference::ListHeader(64);
    for (const EventRecord& e : events.Events()) list += reference::ListLine(e, config.boards[0]);
    auto onDisk = [&] { return Contents(File("run7_raw_b0_seg0.bin")) + Contents(File("run7_list_b0_seg0.txt")); };
    for (const OutputFiles::Writes writes : {OutputFiles::Writes::OnCaller, OutputFiles::Writes::Behind}) {
        ASSERT_EQ(files.Open(config, messages.Stream(), writes), ProgramError::None);
        ASSERT_EQ(files.WriteBatch(0, raw.data(), 5000, events.Events().data(), 40), ProgramError::None);
        // 10 s: a loaded machine may be slow to write, but the data must come without another write.
        for (int i = 0; i < 500 && onDisk() != raw + list; ++i, platform::SleepMs(20))
            ASSERT_EQ(files.ChangeSegments(0, config), ProgramError::None);
        EXPECT_TRUE(onDisk() == raw + list) << (writes == OutputFiles::Writes::Behind ? "behind" : "on the caller's");
        ASSERT_EQ(files.Close(), ProgramError::None);
    }
}

TEST_F(OutputFilesTest, SizeRuleHoldsPastTwoGiB) {
    EXPECT_FALSE(SegmentFull((1ull << 20) - 1, 0));
    EXPECT_TRUE(SegmentFull(1ull << 20, 0));
    EXPECT_FALSE(SegmentFull((11ull << 20) - 1, 10));
    EXPECT_TRUE(SegmentFull(11ull << 20, 10));
    EXPECT_FALSE(SegmentFull(4097ull << 20, 4097));
    EXPECT_TRUE(SegmentFull(4098ull << 20, 4097));
    EXPECT_FALSE(SegmentFull(0x7FFFFFFFull << 20, INT32_MAX));
    EXPECT_TRUE(SegmentFull(0x80000000ull << 20, INT32_MAX));
    EXPECT_TRUE(SegmentFull(1ull << 20, -5));
}

TEST_F(OutputFilesTest, FileSizeLimitEndsTheRunAndLeavesEarlierSegmentsWhole) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    config.outfileRaw = 1;
    config.boardCount = 1;
    ASSERT_EQ(files.Open(config, messages.Stream()), ProgramError::None);

    const std::string first(3u << 19, 'a'), second(3u << 20, 'b');
    ProgramError firstWrite, change, secondWrite, again, closed;
    {
        const FileSizeLimit limit(2u << 20);
        firstWrite = files.WriteBatch(0, first.data(), static_cast<uint32_t>(first.size()), nullptr, 0);
        change = files.ChangeSegments(0, config);
        secondWrite = files.WriteBatch(0, second.data(), static_cast<uint32_t>(second.size()), nullptr, 0);
        again = files.WriteBatch(0, "x", 1, nullptr, 0);
        closed = files.Close();
    }

    EXPECT_EQ(firstWrite, ProgramError::None);
    EXPECT_EQ(change, ProgramError::None);
    EXPECT_EQ(secondWrite, ProgramError::OutputFileWrite);
    EXPECT_EQ(again, ProgramError::OutputFileWrite);
    EXPECT_EQ(closed, ProgramError::OutputFileWrite);
    EXPECT_TRUE(Contents(File("run7_raw_b0_seg0.bin")) == first);
    const std::string cut = Contents(File("run7_raw_b0_seg1.bin"));
    EXPECT_TRUE(cut.size() <= (2u << 20) && second.compare(0, cut.size(), cut) == 0);
    EXPECT_EQ(messages.Text(), "Output directory " + Folder() + " created\nOutput file " +
                                   File("run7_raw_b0_seg1.bin") + " could not be written: File too large\n");
}

// A write that fails at a file size limit (inside a transfer, some larger
// than a buffer, or among thousands of small ones) cuts the file back to the
// end of its last whole transfer on the disk, or one shortly before.
TEST_F(OutputFilesTest, AFailedWriteCutsTheFileBackToItsLastWholeTransfer) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    constexpr uint64_t kLimit = (5u << 20) + 12345;  // not on a block: direct writes end through the cache
    config.boardCount = 1, config.outfileMaxSize = 100;
    using W = OutputFiles::Writes;
    struct Case { bool list; W writes; uint32_t most; };  // most: bytes of a raw transfer, events of a batch of lines
    for (const Case c : {Case{false, W::OnCaller, 300000}, Case{false, W::Behind, 300000},
                         Case{false, W::Behind, 3000}, Case{true, W::OnCaller, 400}, Case{true, W::Behind, 400}}) {
        SCOPED_TRACE(testing::Message() << (c.list ? "list" : "raw") << (c.writes == W::Behind ? " behind " : " ")
                                        << c.most);
        config.outfileRaw = !(config.outfileList = c.list);
        ASSERT_EQ(files.Open(config, messages.Stream(), c.writes), ProgramError::None);
        std::string given = c.list ? reference::ListHeader(64) : "";
        std::vector<std::size_t> ends{given.size()};
        std::size_t largest = 0;
        std::mt19937 random(9);
        ProgramError during = ProgramError::None, closed;
        {
            const FileSizeLimit limit(kLimit);
            for (uint32_t t = 0; t < 100000 && during == ProgramError::None; ++t) {
                const reference::RandomEvents events(config.boards[0], c.list ? 1 + random() % c.most : 0, t);
                const std::size_t bytes = t % 7 == 3 && c.most > 3000 ? (5u << 19) + 5 : 100 + random() % c.most;
                std::string transfer(c.list ? 0 : bytes, static_cast<char>(t));
                for (const EventRecord& e : events.Events()) transfer += reference::ListLine(e, config.boards[0]);
                during = c.list ? files.WriteBatch(0, nullptr, 0, events.Events().data(), events.Events().size())
                                : files.WriteBatch(0, transfer.data(), transfer.size(), nullptr, 0);
                ends.push_back((given += transfer).size());
                largest = std::max(largest, transfer.size());
                if (during == ProgramError::None) during = files.ChangeSegments(0, config);
            }
            closed = files.Close();
        }
        EXPECT_TRUE(during == ProgramError::OutputFileWrite && closed == ProgramError::OutputFileWrite);
        const std::string kept = Contents(File(c.list ? "run7_list_b0_seg0.txt" : "run7_raw_b0_seg0.bin"));
        EXPECT_EQ(std::count(ends.begin(), ends.end(), kept.size()), 1) << kept.size() << " bytes end no transfer";
        EXPECT_GT(kept.size() + 2 * largest + (256u << 10), kLimit) << "too many whole transfers on the disk were cut";
        EXPECT_TRUE(given.compare(0, kept.size(), kept) == 0);
    }
}

// A histogram file that cannot be written anew keeps what it held, none is
// left under a temporary name, and the close names them as they are.
TEST_F(OutputFilesTest, AFailedHistogramRewriteLeavesTheFilesAsLastWritten) {
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    config.outfileHisto = config.boardCount = 1;
    ASSERT_EQ(files.Open(config, messages.Stream()), ProgramError::None);
    BoardCounters counters;
    ASSERT_EQ(AllocCounterSpectra(counters), 0);
    for (int ch = 0; ch < 64; ++ch) counters.spectrum[ch][ch] = 100 + ch;
    ASSERT_EQ(files.RewriteHistograms(0, counters, config), ProgramError::None);
    auto onDisk = [&] {
        std::map<std::string, std::string> contents;
        for (const auto& entry : fs::directory_iterator(dir)) contents[entry.path().string()] = Contents(entry.path());
        return contents;
    };
    const std::map<std::string, std::string> before = onDisk();
    for (int ch = 0; ch < 64; ++ch) counters.spectrum[ch][ch + 1] = 7;
    {
        const FileSizeLimit limit(100000);  // a third of a file of 16384 lines
        EXPECT_EQ(files.RewriteHistograms(0, counters, config), ProgramError::OutputFileWrite);
    }
    EXPECT_TRUE(onDisk() == before);
    ASSERT_EQ(files.Close(), ProgramError::None);
    ASSERT_EQ(files.Written(0).size(), before.size());
    for (const WrittenFile& file : files.Written(0)) {
        Crc32c crc;
        crc.Add(before.at(file.name).data(), before.at(file.name).size());
        EXPECT_TRUE(file.bytes == before.at(file.name).size() && file.checksum == crc.Value()) << file.name;
    }
}

TEST_F(OutputFilesTest, DirectoryRemovedDuringTheRunEndsIt) {
    if (test_support::UnderWine()) {
        GTEST_SKIP() << "wine reports a file deleted while open as neither pending deletion nor unlinked";
    }
    config.outfileRaw = config.outfileList = 1;
    ASSERT_EQ(files.Open(config, messages.Stream()), ProgramError::None);
    const reference::RandomEvents events(config.boards[0], 10, 1);
    ASSERT_EQ(files.WriteBatch(0, "data", 4, events.Events().data(), 10), ProgramError::None);
#ifdef _WIN32
    // A folder cannot go while files in it are open: their names do, as
    // when a user deletes the folder.
    for (const auto& entry : fs::directory_iterator(dir)) fs::remove(entry.path());
#else
    fs::remove_all(dir);
#endif
    EXPECT_EQ(files.ChangeSegments(0, config), ProgramError::OutputFileWrite);
    EXPECT_NE(messages.Text().find("Output file " + File("run7_raw_b0_seg0.bin") + " was deleted during the run"),
              std::string::npos);
    // Closed, each deleted file is told once and recorded as not whole.
    EXPECT_EQ(files.Close(), ProgramError::OutputFileWrite);
    const std::string text = messages.Text();
    EXPECT_EQ(text.find("run7_raw_b0_seg0.bin was deleted"), text.rfind("run7_raw_b0_seg0.bin was deleted")) << text;
    EXPECT_NE(text.find("run7_list_b0_seg0.txt was deleted"), std::string::npos) << text;
    EXPECT_EQ(text.find("could not be written"), std::string::npos) << text;
    for (const WrittenFile& file : files.Written(0)) EXPECT_FALSE(file.whole) << file.name;
    EXPECT_EQ(files.Written(0).size(), 2u);
}

TEST_F(OutputFilesTest, SegmentThatCannotBeCreatedKeepsThePreviousOneTakingData) {
    config.outfileRaw = 1;
    config.boardCount = 1;
    ASSERT_EQ(files.Open(config, messages.Stream()), ProgramError::None);
    fs::create_directory(dir / "run7_raw_b0_seg1.bin");  // in the way of the next segment
    const std::string a(1u << 20, 'a'), b(10, 'b'), c(20, 'c');
    EXPECT_EQ(files.WriteBatch(0, a.data(), static_cast<uint32_t>(a.size()), nullptr, 0), ProgramError::None);
    EXPECT_EQ(files.WriteBatch(0, "a", 1, nullptr, 0), ProgramError::None);  // a leaves the buffer
    EXPECT_EQ(files.ChangeSegments(0, config), ProgramError::None);
    EXPECT_EQ(files.WriteBatch(0, b.data(), static_cast<uint32_t>(b.size()), nullptr, 0), ProgramError::None);
    EXPECT_EQ(files.ChangeSegments(0, config), ProgramError::None);
    EXPECT_EQ(files.WriteBatch(0, c.data(), static_cast<uint32_t>(c.size()), nullptr, 0), ProgramError::None);
    EXPECT_EQ(files.Close(), ProgramError::None);
    EXPECT_TRUE(Contents(File("run7_raw_b0_seg0.bin")) == a + "a" + b);
    EXPECT_EQ(Contents(File("run7_raw_b0_seg2.bin")), c);
    EXPECT_NE(messages.Text().find("output file " + File("run7_raw_b0_seg1.bin") + " could not be created.\n"),
              std::string::npos);
}

TEST_F(OutputFilesTest, MissingParentDirectoryIsCode14) {
    std::snprintf(config.outfilePath, sizeof config.outfilePath, "%s/missing/out/", folder.path().string().c_str());
    EXPECT_EQ(files.Open(config, messages.Stream()), ProgramError::OutputDirectory);
    EXPECT_EQ(messages.Text(), std::string("Output directory ") + config.outfilePath +
                                   " could not be created. Please verify that the path exists and is writable\n");
}

TEST_F(OutputFilesTest, FileThatCannotBeCreatedIsCode15) {
    // A directory where the file should go stops even a privileged user.
    fs::create_directories(dir / "run7_list_b1_seg0.txt");
    config.outfileRaw = config.outfileList = 1;
    EXPECT_EQ(files.Open(config, messages.Stream()), ProgramError::OutputFileOpen);
    EXPECT_EQ(messages.Text(), "output file " + File("run7_list_b1_seg0.txt") + " could not be created.\n");
    EXPECT_TRUE(fs::exists(dir / "run7_raw_b1_seg0.bin"));
    EXPECT_EQ(files.Close(), ProgramError::None);
}

}  // namespace
}  // namespace tessary

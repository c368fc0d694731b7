// The replay tool's guards: output files of an earlier run are not written
// over unasked, data that contradict the channel count are refused, raw
// segments are replayed in their order whatever order they are given in,
// and a summary reaches no file outside its folder but names the run's files
// it does not list.
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ReplayTool.h"

namespace {

using namespace replay_tool;

struct ReplayMendsTest : ReplayTest {
    // The names of the files in `dir`.
    static std::set<std::string> Names(const fs::path& dir) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
        return names;
    }
    bool Has(const std::string& text, const std::string& part) const { return text.find(part) != std::string::npos; }
};

constexpr const char* kConfig = "OPEN USB 0\n[COMMON]\nENABLE_INPUT FFFFFFFFFFFFFFFF\nSPECTRUM_CHANNEL 1k\n"
                                "OUTFILE_LIST YES\nOUTFILE_HISTO YES\n";

TEST_F(ReplayMendsTest, FilesInTheOutputFolderAreWrittenOverOnlyWithOverwrite) {
    Write(Path("config.txt"), kConfig);
    Write(Path("raw.bin"), Bytes(Events(4)));
    const std::string replay = Path("config.txt").string() + " 0 ";
    ASSERT_EQ(Replay(replay + Path("fresh").string() + " " + Path("raw.bin").string()), 0) << err;
    const std::set<std::string> fresh = Names(Path("fresh"));
    ASSERT_EQ(fresh.size(), 33u) << "a list segment and 32 histograms";

    struct Case {
        const char* what;
        std::vector<std::string> there;  // in the output folder before, each holding "old"
        bool overwrite;
        int status;
        std::vector<std::string> messages;  // on standard error, after the output folder's path
    };
    const Case cases[] = {
        {"an empty folder", {}, false, 0, {}},
        {"the first list segment", {"run0_list_b0_seg0.txt"}, false, 2,
         {"run0_list_b0_seg0.txt exists already: the replay would write over it; --overwrite allows that"}},
        {"a later segment and a histogram", {"run0_histo_b0_ch5.txt", "run0_list_b0_seg3.txt"}, false, 2,
         {"run0_list_b0_seg3.txt exists already (and 1 more of board 0's list or histogram files)"}},
        {"files the replay does not write",
         {"run0_list_b1_seg0.txt", "run0_raw_b0_seg0.bin", "run1_list_b0_seg0.txt", "run0_list_b0_seg.txt"}, false,
         0, {}},
        {"written over", {"run0_list_b0_seg0.txt", "run0_histo_b0_ch5.txt"}, true, 0, {}},
        {"written over, others left", {"run0_list_b0_seg0.txt", "run0_list_b0_seg7.txt", "run0_histo_b0_ch40.txt"},
         true, 0,
         {"run0_list_b0_seg7.txt is left from before: this replay did not write it",
          "run0_histo_b0_ch40.txt is left from before"}},
    };
    const fs::path dir = Path("o");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directory(dir);
        for (const std::string& name : c.there) Write(dir / name, "old");
        EXPECT_EQ(Replay(std::string(c.overwrite ? "--overwrite " : "") + replay + dir.string() + " " +
                         Path("raw.bin").string()),
                  c.status)
            << err;
        for (const std::string& message : c.messages)
            EXPECT_TRUE(Has(err, dir.string() + "/" + message)) << err;
        if (c.messages.empty()) {
            EXPECT_EQ(err, "");
        }
        std::set<std::string> expected(c.there.begin(), c.there.end());
        if (c.status == 0) expected.insert(fresh.begin(), fresh.end());
        EXPECT_EQ(Names(dir), expected) << "nothing written when refused";
        for (const std::string& name : expected)
            EXPECT_EQ(Contents(dir / name), fresh.count(name) && c.status == 0 ? Contents(Path("fresh") / name) : "old")
                << name;
    }
}

// What happened: board 0's 64-channel raw files replayed as board 1 (a
// 32-channel board) into the run's own folder.
TEST_F(ReplayMendsTest, RawFilesOfAnotherBoardInTheRunsFolderAreRefused) {
    Write(Path("config.txt"), std::string("OPEN USB 1\n") + kConfig);
    fs::create_directory(Path("run"));
    Write(Path("run/run0_raw_b0_seg0.bin"), Bytes(Events(4, 4)));
    Write(Path("run/run0_list_b1_seg0.txt"), "old");
    for (int ch = 0; ch < 32; ++ch) Write(Path("run/run0_histo_b1_ch" + std::to_string(ch) + ".txt"), "old");
    const std::string arguments =
        Path("config.txt").string() + " 1 " + Path("run").string() + " " + Path("run/run0_raw_b0_seg0.bin").string();
    EXPECT_EQ(Replay(arguments), 2);
    EXPECT_TRUE(Has(err, "Warning: " + Path("run/run0_raw_b0_seg0.bin").string() +
                             " is named as a raw file of board 0, and is replayed as board 1"))
        << err;
    EXPECT_TRUE(Has(err, "run0_list_b1_seg0.txt exists already (and 32 more of board 1's list or histogram files)"))
        << err;
    EXPECT_EQ(Replay("--channels 32 " + arguments), 2);
    EXPECT_TRUE(Has(err, "the events of " + Path("run/run0_raw_b0_seg0.bin").string() +
                             " carry 4 blocks, as a 64-channel board's do, but --channels gives 32 channels"))
        << err;
    for (const std::string& name : Names(Path("run"))) {
        if (name == "run0_raw_b0_seg0.bin") continue;
        EXPECT_EQ(Contents(Path("run") / name), "old") << name;
    }
}

TEST_F(ReplayMendsTest, ChannelCountsThatContradictEachOtherAreRefused) {
    Write(Path("config.txt"), kConfig);
    const std::string of32 = Bytes(Events(2)), of64 = Bytes(Events(2, 4));
    struct Case {
        const char* what;
        const char* option;
        std::vector<std::pair<std::string, std::string>> files;  // name, contents
        int status;
        std::string message;  // on standard error
        int histograms;       // written when not refused
        long events;          // in the list
    };
    const Case cases[] = {
        {"64-channel data, --channels 32", "--channels 32", {{"a.bin", of64}}, 2,
         "a.bin carry 4 blocks, as a 64-channel board's do, but --channels gives 32 channels", 0, 0},
        {"32-channel data, --channels 64", "--channels 64", {{"a.bin", of32}}, 2,
         "a.bin carry 2 blocks, as a 32-channel board's do, but --channels gives 64 channels", 0, 0},
        {"files of two boards", "", {{"a.bin", of64}, {"e.bin", ""}, {"b.bin", of32}}, 2,
         "a.bin holds events of a 64-channel board (4 blocks each), but " + Path("b.bin").string() +
             " of a 32-channel board (2 blocks)",
         0, 0},
        {"a 64-channel event among 32-channel ones", "", {{"a.bin", of32 + of64}}, 1,
         "a.bin: byte offset 68: an event with 4 blocks (a 64-channel board's) among the events of a 32-channel "
         "board",
         32, 2},
        {"agreeing", "--channels 64", {{"a.bin", of64}, {"b.bin", of64}}, 0, "", 64, 4},
        {"no event to tell", "--channels 32", {{"a.bin", ""}}, 0, "", 32, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Path("o"));
        std::string raws;
        for (const auto& [name, contents] : c.files) {
            Write(Path(name), contents);
            raws += " " + Path(name).string();
        }
        EXPECT_EQ(Replay(std::string(c.option) + " " + Path("config.txt").string() + " 0 " + Path("o").string() + raws),
                  c.status);
        EXPECT_TRUE(Has(err, c.message)) << err;
        EXPECT_EQ(fs::exists(Path("o")), c.histograms > 0) << "nothing written when refused";
        if (c.histograms == 0) continue;
        EXPECT_EQ(Names(Path("o")).size(), c.histograms + 1u);
        const std::string list = Contents(Path("o/run0_list_b0_seg0.txt"));
        EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), c.events + 2) << "a two-line header";
    }
}

TEST_F(ReplayMendsTest, SegmentsAreReplayedInTheirOrderAndTimeGoingBackIsWarned) {
    Write(Path("config.txt"), kConfig);
    const uint64_t lastTick = (uint64_t{1} << 48) - 1;
    struct File {
        std::string name;
        uint64_t firstTime;  // of 3 events, 1000 apart
    };
    struct Case {
        const char* what;
        std::vector<File> given;
        const char* wentBack;  // the file whose first event comes before the one's before it
    };
    const Case cases[] = {
        {"as a shell glob gives them",
         {{"run_raw_b0_seg0.bin", 0}, {"run_raw_b0_seg10.bin", 20000}, {"run_raw_b0_seg2.bin", 10000}},
         nullptr},
        {"other names in the order given", {{"b.bin", 10000}, {"a.bin", 0}}, "a.bin"},
        {"names of two prefixes in the order given", {{"x_raw_b0_seg1.bin", 10000}, {"y_raw_b0_seg0.bin", 0}},
         "y_raw_b0_seg0.bin"},
        {"the time counter wrapping", {{"c.bin", lastTick - 2500}, {"d.bin", 100}}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Path("o"));
        std::string raws;
        for (const File& file : c.given) {
            Write(Path(file.name), Bytes(Events(3, 2, file.firstTime)));
            raws += " " + Path(file.name).string();
        }
        EXPECT_EQ(Replay(Path("config.txt").string() + " 0 " + Path("o").string() + raws), 0) << err;
        if (!c.wentBack) {
            EXPECT_EQ(err, "");
            continue;
        }
        const std::string& before = c.given[0].name;
        EXPECT_TRUE(Has(err, "Warning: the time stamps go backwards from " + Path(before).string() +
                                 " (last event at 12000) to " + Path(c.wentBack).string() + " (first event at 0)"))
            << err;
    }
    // The glob's order gives the files of the segments' order.
    ASSERT_EQ(Replay(Path("config.txt").string() + " 0 " + Path("glob").string() + " " +
                     Path("run_raw_b0_seg0.bin").string() + " " + Path("run_raw_b0_seg10.bin").string() + " " +
                     Path("run_raw_b0_seg2.bin").string()),
              0);
    EXPECT_TRUE(Has(out, "The raw files are replayed in the order of their segment numbers\n")) << out;
    ASSERT_EQ(Replay(Path("config.txt").string() + " 0 " + Path("right").string() + " " +
                     Path("run_raw_b0_seg0.bin").string() + " " + Path("run_raw_b0_seg2.bin").string() + " " +
                     Path("run_raw_b0_seg10.bin").string()),
              0);
    EXPECT_FALSE(Has(out, "order of their segment numbers"));
    ASSERT_EQ(Names(Path("glob")), Names(Path("right")));
    for (const std::string& name : Names(Path("right")))
        EXPECT_TRUE(Contents(Path("glob") / name) == Contents(Path("right") / name)) << name;
}

TEST_F(ReplayMendsTest, VerifyListsTheRunsFilesThatTheSummaryDoesNotName) {
    fs::create_directories(Path("run/run_dir"));
    for (const char* name : {"run_raw_b0_seg0.bin", "run_raw_b0_seg1.bin", "run_histo_b0_ch3.txt.part", "run.lock",
                             "other_list_b0_seg0.txt", "run2_raw_b0_seg0.bin", "run_b_summary.json",
                             "run_b_list_b0_seg0.txt", "run_b_raw_b0_seg0.bin.x"})
        Write(Path("run") / name, name);
    const std::string summary = R"({"boards": [{"files": [{"name": "run_raw_b0_seg0.bin", "size": 19, "crc32c": ")" +
                                Crc("run_raw_b0_seg0.bin") + R"("}]}]})";
    struct Case {
        const char* summary;  // its name in run/
        std::string extra;    // its lines
    };
    const std::string extra = "EXTRA    run_histo_b0_ch3.txt.part\nEXTRA    run_raw_b0_seg1.bin\n";
    const Case cases[] = {
        {"run_summary.json", extra},
        {"copy.json", extra},            // the prefix from the names the summary gives
        {"other_summary.json", "EXTRA    other_list_b0_seg0.txt\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.summary);
        Write(Path("run") / c.summary, summary);
        if (std::string(c.summary) != "run_summary.json") Write(Path("run/run_summary.json"), summary);
        EXPECT_EQ(Replay("--verify " + (Path("run") / c.summary).string()), 0) << err;
        const std::size_t count = std::count(c.extra.begin(), c.extra.end(), '\n');
        EXPECT_EQ(out, "OK       run_raw_b0_seg0.bin\n" + c.extra +
                           "1 files: 1 OK, 0 mismatched, 0 missing, 0 unreadable; " + std::to_string(count) +
                           " not named (EXTRA)\n");
        EXPECT_EQ(err, "");
    }
    // Beside a mismatch they are listed as well; the mismatch fails.
    Write(Path("run/run_raw_b0_seg0.bin"), "changed");
    EXPECT_EQ(Replay("--verify " + Path("run/run_summary.json").string()), 1);
    EXPECT_TRUE(Has(out, "MISMATCH run_raw_b0_seg0.bin: size 7 expected 19\n" + extra)) << out;
}

}  // namespace

// The replay tool run as a program: a live run's raw files replayed into
// list and histogram files equal to what the run wrote; damaged raw files
// and bad arguments; a run's files checked against a summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "../emulator/TempFolder.h"
#include "Checksum.h"
#include "EventWords.h"
#include "Paths.h"
#include "ReplayTool.h"
#include "RunProgram.h"
#include "StandInPlotter.h"

namespace {

using namespace replay_tool;

std::string Bytes(const std::vector<uint32_t>& words) {
    return std::string(reinterpret_cast<const char*>(words.data()), words.size() * 4);
}

std::string Crc(const std::string& bytes) {
    tessary::Crc32c crc;
    crc.Add(bytes.data(), bytes.size());
    char text[9];
    tessary::FormatCrc32c(crc.Value(), text);
    return text;
}

// The list segments `stem`0.txt, 1, ... in `dir`, each of which must begin
// with `header`, joined without their headers.
std::string JoinedList(const fs::path& dir, const std::string& stem, const std::string& header, int& segments) {
    std::string joined;
    for (segments = 0; fs::exists(dir / (stem + std::to_string(segments) + ".txt")); ++segments) {
        const std::string text = Contents(dir / (stem + std::to_string(segments) + ".txt"));
        EXPECT_EQ(text.compare(0, header.size(), header), 0) << dir << " segment " << segments;
        joined += text.substr(std::min(header.size(), text.size()));
    }
    return joined;
}

// Live run on two emulated boards with software triggers only (no external
// pulse, so no pile-up: every amplitude of the list counts in a spectrum),
// kept below 25 kHz by the conversion time, then board 1's raw segments
// replayed.
TEST_F(ReplayTest, ReplayedRawFilesGiveTheLiveListsAndTheSpectraOfEveryEvent) {
    const std::string board = "trigger_rate_hz = 0\nconversion_time_ns = 40000\nlink_latency_us = 0\n"
                              "link_bandwidth_kb_s = unlimited\n";
    Write(Path("boards.txt"), "[usb 0]\nchannels = 32\n" + board + "[usb 1]\nseed = 6\n" + board);
    ASSERT_TRUE(test_support::InstallStandInPlotter(folder.path()));
    // Group 1 off: N/A columns and no histogram files for channels 8-15.
    Write(Path("config.txt"), "OPEN USB 0\nOPEN USB 1\n[COMMON]\nSTAT_REFRESH 300\nPOLARITY NEGATIVE\n"
                              "ENABLE_INPUT FFFFFFFFFFFF00FF\nZS_ENABLE YES\nZS_THRESHOLD 100\nSPECTRUM_CHANNEL 1k\n"
                              "OUTFILE_PATH out/\nOUTFILE_NAME run\nOUTFILE_RAW YES\nOUTFILE_LIST YES\n"
                              "OUTFILE_HISTO YES\nOUTFILE_MAXSIZE 0\nGNUPLOT_PATH " + folder.path().string() + "/\n");
    test_support::RunOptions run;
    run.environment = test_support::ProfileVariables(folder.path());
    run.environment.emplace_back("DRELM_EMULATOR_SETTINGS", Path("boards.txt").string());
    run.in = test_support::RunOptions::Input::Pipe;
    run.output = Path("out.txt");
    run.errors = Path("err.txt");
    {
        test_support::Process program({kProgram, Path("config.txt").string()}, run);
        // Keys once the program waits for them (at most 30 s on).
        for (int i = 0; i < 300 && Contents(Path("out.txt")).find("start/stop") == std::string::npos; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        program.Write("s");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        program.Write("T");
        std::this_thread::sleep_for(std::chrono::seconds(3));
        // A host that sends its software triggers more slowly takes longer
        // for the two raw segments (at most a minute on).
        for (int i = 0; i < 600 && !fs::exists(Path("Tessary_DAQ/out/run_raw_b1_seg1.bin")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        program.Write("q");
        const int status = program.Wait();
        out = Contents(Path("out.txt"));
        ASSERT_EQ(status, 0) << out << program.Failure();
    }
    const fs::path live = Path("Tessary_DAQ/out"), replay = Path("replay");
    std::vector<std::string> replayed{Path("config.txt").string(), "1", replay.string()};
    int rawSegments = 0;
    for (; fs::exists(live / ("run_raw_b1_seg" + std::to_string(rawSegments) + ".bin")); ++rawSegments)
        replayed.push_back((live / ("run_raw_b1_seg" + std::to_string(rawSegments) + ".bin")).string());
    ASSERT_GE(rawSegments, 2) << "segments of 1 MiB\n" << out;

    ASSERT_EQ(RunReplay(replayed), 0) << out << err;
    const std::string liveFirst = Contents(live / "run_list_b1_seg0.txt");
    const std::string header = liveFirst.substr(0, liveFirst.find("\n\n") + 2);
    ASSERT_EQ(header.size(), 36 + 10 * 64 + 2u) << "64 channel columns";
    int liveSegments = 0, replaySegments = 0;
    const std::string lines = JoinedList(live, "run_list_b1_seg", header, liveSegments);
    EXPECT_TRUE(JoinedList(replay, "run_list_b1_seg", header, replaySegments) == lines)
        << "the replayed list differs from the live one";
    EXPECT_GE(replaySegments, 3);
    for (int s = 0; s + 1 < replaySegments; ++s)
        EXPECT_GE(fs::file_size(replay / ("run_list_b1_seg" + std::to_string(s) + ".txt")), 1u << 20) << s;
    EXPECT_FALSE(fs::exists(replay / "run_raw_b1_seg0.bin"));
    EXPECT_FALSE(fs::exists(replay / "run_list_b0_seg0.txt")) << "board 0 not replayed";

    // Spectra of every list line: a saturated word (bit 15) counts in none.
    std::vector<std::vector<uint64_t>> spectra(64, std::vector<uint64_t>(1024));
    std::size_t events = 0, absent = 0;
    for (std::size_t at = 0; at < lines.size(); at = lines.find('\n', at) + 1, ++events) {
        for (int ch = 0; ch < 64; ++ch) {
            const std::string column = lines.substr(at + 36 + 10 * ch, 10);
            if (column.find("ZS") != std::string::npos || column.find("N/A") != std::string::npos) {
                ++absent;
                continue;
            }
            const unsigned long word = std::stoul(column);
            if (word < 0x8000 && (word & 0x3FFF) < 1024) ++spectra[ch][word & 0x3FFF];
        }
    }
    EXPECT_GT(events, 5000u);
    EXPECT_GT(absent, events * 8) << "suppressed and disabled channels";
    for (int ch = 0; ch < 64; ++ch) {
        const fs::path file = replay / ("run_histo_b1_ch" + std::to_string(ch) + ".txt");
        if (ch >= 8 && ch < 16) {
            EXPECT_FALSE(fs::exists(file)) << ch;
            continue;
        }
        std::string expected;
        char line[64];
        for (int bin = 0; bin < 1024; ++bin) {
            std::snprintf(line, sizeof line, "%7d\t%12lu\n", bin, static_cast<unsigned long>(spectra[ch][bin]));
            expected += line;
        }
        EXPECT_TRUE(Contents(file) == expected) << file;
    }

    // The live run's own summary checks its files; a flipped byte and a cut file are both named.
    const std::string summary = (live / "run_summary.json").string();
    EXPECT_EQ(RunReplay({"--verify", summary}), 0) << out << err;
    std::string raw = Contents(live / "run_raw_b1_seg1.bin");
    raw[raw.size() / 2] ^= 0x01;
    Write(live / "run_raw_b1_seg1.bin", raw);
    fs::resize_file(live / "run_list_b1_seg0.txt", 1000);
    EXPECT_EQ(RunReplay({"--verify", summary}), 1);
    EXPECT_NE(out.find("MISMATCH run_raw_b1_seg1.bin: checksum "), std::string::npos) << out;
    EXPECT_NE(out.find("MISMATCH run_list_b1_seg0.txt: size 1000 expected "), std::string::npos) << out;
}

// `count` 32-channel events of 8 words (32 bytes), channels 0, 1, 16 and 31
// present, amplitude 100 in channel 0; the first transfer ends with a spare
// word: events at bytes 0, 36, 68, 100, ... With `blocks` 4, 64-channel
// events of 12 words (channels 32 and 48 too); time stamps from `firstTime`.
std::vector<uint32_t> Events(uint32_t count, uint32_t blocks = 2, uint64_t firstTime = 0) {
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < count; ++i) {
        tessary_test::EventShape e;
        e.triggerIndex = i;
        e.timestamp = firstTime + 1000 * i;
        e.sizeField = 0xA0000004 + 2 * blocks;  // header mark and size
        e.blocks[0] = tessary_test::Block(0x0003);
        e.blocks[1] = tessary_test::Block(0x8001);
        if (blocks == 4) e.blocks[2] = e.blocks[3] = tessary_test::Block(0x0001);
        tessary_test::AppendEvent(words, e);
        if (i == 0) words.push_back(0xFFFFFFFF);
    }
    return words;
}

// A damaged raw file: its name and the offset of the damage on standard
// error, status 1, and every file written exactly as from the whole events
// before the damage.
TEST_F(ReplayTest, DamagedRawFilesAreNamedWithTheOffsetAndWhatCameBeforeIsWritten) {
    Write(Path("config.txt"), "OPEN USB 0\n[COMMON]\nENABLE_INPUT FFFFFFFFFFFFFFFF\nSPECTRUM_CHANNEL 1k\nOUTFILE_LIST YES\n"
                              "OUTFILE_HISTO YES\n");
    const std::vector<uint32_t> words = Events(4);
    const std::string good = Bytes(words);
    auto with = [&](std::size_t word, uint32_t value) {
        std::vector<uint32_t> copy = words;
        copy[word] = value;
        return Bytes(copy);
    };
    struct Case {
        const char* what;
        std::string raw;
        std::size_t goodBytes;  // whole events before the damage
        std::size_t events;
        const char* message;
    };
    const Case cases[] = {
        {"cut inside an event", good.substr(0, 120), 100, 3,
         "byte offset 100: event of 8 words runs past the end of the file (120 bytes)"},
        {"length not whole words", good + "\x01\x02", 132, 4, "byte offset 132: the file's length of 134"},
        {"header word overwritten", with(17, 0x12345678), 68, 2, "byte offset 68: word 0x12345678 is not"},
        {"size below the header", with(17, 0xA0000002), 68, 2, "byte offset 68: event size of 2 words"},
        {"size beyond any event", with(17, 0xA0000029), 68, 2, "byte offset 68: event size of 41 words"},
        {"blocks overrun the size", with(9, 0xA0000005), 36, 1, "byte offset 36: the blocks of the event"},
        {"second filler word", with(9, 0xFFFFFFFF), 36, 1,
         "byte offset 32: word 0xFFFFFFFF is not an event header, and neither is the word after it (0xFFFFFFFF)"},
        {"any word as filler", with(8, 0), 132, 4, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Path("whole")), fs::remove_all(Path("damaged"));
        Write(Path("prefix.bin"), c.raw.substr(0, c.goodBytes));
        Write(Path("raw.bin"), c.raw);
        ASSERT_EQ(RunReplay({Path("config.txt").string(), "0", Path("whole").string(), Path("prefix.bin").string()}), 0)
            << err;
        const std::string list = Contents(Path("whole/run0_list_b0_seg0.txt"));
        EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), static_cast<long>(c.events + 2));
        EXPECT_EQ(list.size(), 358 + 357 * c.events) << "32 channel columns";

        EXPECT_EQ(RunReplay({Path("config.txt").string(), "0", Path("damaged").string(), Path("raw.bin").string()}),
                  c.message ? 1 : 0);
        if (c.message) {
            EXPECT_NE(err.find(Path("raw.bin").string() + ": " + c.message), std::string::npos) << err;
        }
        int files = 0;
        for (const auto& entry : fs::directory_iterator(Path("whole"))) {
            ++files;
            EXPECT_TRUE(Contents(entry.path()) == Contents(Path("damaged") / entry.path().filename()))
                << entry.path().filename();
        }
        EXPECT_EQ(files, 33) << "a list segment and 32 histograms";
    }

    // Longer than a read block, so events cross the block's end; cut short.
    Write(Path("config.txt"), "OPEN USB 0\n[COMMON]\nENABLE_INPUT 1\nSPECTRUM_CHANNEL 1k\nOUTFILE_HISTO YES\n");
    const std::string long_ = Bytes(Events(300000));
    Write(Path("raw.bin"), long_.substr(0, long_.size() - 4));
    EXPECT_EQ(RunReplay({Path("config.txt").string(), "0", Path("long").string(), Path("raw.bin").string()}), 1);
    EXPECT_NE(err.find(": byte offset 9599972: event of 8 words runs past"), std::string::npos) << err;
    EXPECT_NE(out.find("Board 0: 299999 events"), std::string::npos) << out;
    const std::string histogram = Contents(Path("long/run0_histo_b0_ch0.txt"));
    EXPECT_NE(histogram.find("\n    100\t      299999\n"), std::string::npos);
}

TEST_F(ReplayTest, BadArgumentsAndMissingInputsAreRefusedBeforeAnythingIsWritten) {
    Write(Path("config.txt"), "OPEN USB 0\n[COMMON]\nOUTFILE_LIST YES\n");
    Write(Path("raw.bin"), "");
    const std::string config = Path("config.txt").string(), raw = Path("raw.bin").string(), dir = Path("o").string();
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{config, "0", dir}, 2, "at least one RAWFILE"},
        {{config, "x", dir, raw}, 2, "BOARD is a board number"},
        {{config, "1", dir, raw}, 2, "board 1 is not in the configuration, which opens 1 board\n"},
        {{Path("none.txt").string(), "0", dir, raw}, 2, "the configuration " + Path("none.txt").string()},
        // A name with blanks, quotes and backslashes reaches the tool as it is.
        {{Path("a name \"quoted\" \\\" \\").string(), "0", dir, raw}, 2,
         "the configuration " + Path("a name \"quoted\" \\\" \\").string() + " "},
        {{config, "0", dir, raw, Path("gone.bin").string()}, 1,
         Path("gone.bin").string() + ": cannot be opened: No such file or directory"},
        {{config, "0", dir, folder.path().string()}, 1, folder.path().string() + ": is not a regular file"},
        {{"--channels", "48", config, "0", dir, raw}, 2, "--channels takes 32 or 64"},
        {{"--fast", config, "0", dir, raw}, 2, "unknown option"},
        {{"--verify"}, 2, "--verify takes one summary file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        EXPECT_EQ(RunReplay(c.arguments), c.status);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_FALSE(fs::exists(dir));
    }
    // A list file given as raw input into its own folder is left alone.
    Write(Path("run0_list_b0_seg0.txt"), "kept");
    EXPECT_EQ(RunReplay({config, "0", folder.path().string(), Path("run0_list_b0_seg0.txt").string()}), 2);
    EXPECT_NE(err.find("run0_list_b0_seg0.txt is a file the replay writes"), std::string::npos) << err;
    EXPECT_EQ(Contents(Path("run0_list_b0_seg0.txt")), "kept");
    EXPECT_EQ(RunReplay({"--help"}), 0);
    EXPECT_NE(out.find("Exit status:"), std::string::npos);
}

TEST_F(ReplayTest, VerifyNamesEveryFileThatDiffersFromTheSummary) {
    std::string big(5u << 20, '\0');  // more than one read block
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 4099);
    fs::create_directory(Path("run"));
    Write(Path("run/a.bin"), big);
    Write(Path("run/b.txt"), "0123456789");
    fs::create_directory(Path("run/sub"));
    Write(Path("run/sub/c.bin"), "elsewhere");
    const std::string inSub = "sub/c.bin";  // names inside the summary's folder only
    Write(Path("run/summary.json"),
          R"({"version": "1", "ended_by": "key", "boards": [{"model": "M310", "events": 3, "files": [)"
          R"({"name": "a.bin", "size": 5242880, "crc32c": ")" + Crc(big) + R"("}, {"name": "b.txt", "size": 10, )"
          R"("crc32c": ")" + Crc("0123456789") + R"("}]}, {"files": [{"name": ")" + inSub +
          R"(", "size": 9, "crc32c": ")" + Crc("elsewhere") + R"("}]}]})");
    const std::string summary = Path("run/summary.json").string();
    EXPECT_EQ(RunReplay({"--verify", summary}), 0) << err;
    EXPECT_EQ(out, "OK       a.bin\nOK       b.txt\nOK       " + inSub +
                       "\n3 files: 3 OK, 0 mismatched, 0 missing, 0 unreadable\n");

    const std::string intact = Crc(big);
    big[3u << 20] ^= 0x10;
    Write(Path("run/a.bin"), big);
    Write(Path("run/b.txt"), "01234");
    fs::remove(Path("run/sub/c.bin"));
    EXPECT_EQ(RunReplay({"--verify", summary}), 1);
    EXPECT_EQ(out, "MISMATCH a.bin: checksum " + Crc(big) + " expected " + intact +
                       "\nMISMATCH b.txt: size 5 expected 10\nMISSING  " + inSub +
                       ": No such file or directory\n3 files: 0 OK, 2 mismatched, 1 missing, 0 unreadable\n");
    // A file the run could not write whole fails, whatever it holds now.
    Write(Path("run/partial.json"), R"({"boards": [{"files": [{"name": "b.txt", "size": 5, "crc32c": ")" +
                                        Crc("01234") + R"(", "complete": false}]}]})");
    EXPECT_EQ(RunReplay({"--verify", Path("run/partial.json").string()}), 1);
    EXPECT_EQ(out, "INCOMPLETE b.txt: the run could not write it whole; the 5 bytes it kept match\n"
                   "1 files: 0 OK, 1 mismatched, 0 missing, 0 unreadable\n");

    struct Case {
        const char* summary;
        const char* message;
    };
    const Case malformed[] = {
        {R"({"boards": [)", "is not valid JSON"},
        {"[1, 2]", "malformed: it is not a JSON object"},
        {R"({"boards": {}})", "malformed: \"boards\" is missing or not a list"},
        {R"({"boards": [{"files": 1}]})", "malformed: boards[0].files is missing"},
        {R"({"boards": [{"files": [{"name": 5, "size": 1, "crc32c": "00000000"}]}]})", "boards[0].files[0].name"},
        {R"({"boards": [{"files": [{"name": "a", "size": "12", "crc32c": "00000000"}]}]})", "files[0].size"},
        {R"({"boards": [{"files": [{"name": "a", "size": -1, "crc32c": "00000000"}]}]})", "files[0].size"},
        {R"({"boards": [{"files": [{"name": "a", "size": 1, "crc32c": "0000000g"}]}]})", "files[0].crc32c"},
        {R"({"boards": [{"files": [{"name": "a", "size": 1, "crc32c": "00000000", "complete": 0}]}]})", "complete"},
        // Names outside the summary's folder are never opened.
        {R"({"boards": [{"files": [{"name": "/etc/passwd", "size": 1, "crc32c": "00000000"}]}]})",
         "files[0].name \"/etc/passwd\" is not a file inside the summary's folder"},
        {R"({"boards": [{"files": [{"name": "../outside.txt", "size": 1, "crc32c": "00000000"}]}]})",
         "files[0].name \"../outside.txt\" is not a file inside"},
        {R"({"boards": [{"files": [{"name": "a/../../x", "size": 1, "crc32c": "00000000"}]}]})", "\"a/../../x\" is not"},
        {R"({"boards": [{"files": [{"name": "a/..", "size": 1, "crc32c": "00000000"}]}]})", "\"a/..\" is not"},
    };
    for (const Case& c : malformed) {
        SCOPED_TRACE(c.summary);
        Write(Path("bad.json"), c.summary);
        EXPECT_EQ(RunReplay({"--verify", Path("bad.json").string()}), 2);
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(out, "") << "no file read";
    }
    EXPECT_EQ(RunReplay({"--verify", Path("none.json").string()}), 2);
    EXPECT_NE(err.find("cannot be read: No such file or directory"), std::string::npos) << err;
}

// The names of the files in `dir`.
std::set<std::string> Names(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

const std::string kConfig = "OPEN USB 0\n[COMMON]\nENABLE_INPUT FFFFFFFFFFFFFFFF\nSPECTRUM_CHANNEL 1k\n"
                            "OUTFILE_LIST YES\nOUTFILE_HISTO YES\n";

// The board's list and histogram files in the output folder are written over
// only with --overwrite, which warns of those it did not write again.
TEST_F(ReplayTest, ListAndHistogramFilesAreWrittenOverOnlyWithOverwrite) {
    Write(Path("config.txt"), kConfig);
    Write(Path("raw.bin"), Bytes(Events(4)));
    const std::string config = Path("config.txt").string(), raw = Path("raw.bin").string();
    ASSERT_EQ(RunReplay({config, "0", Path("fresh").string(), raw}), 0) << err;
    const std::set<std::string> fresh = Names(Path("fresh"));
    struct Case {
        std::vector<std::string> there;  // in the output folder before, each holding "old"
        bool overwrite;
        int status;
        std::vector<std::string> messages;  // the lines on standard error, after the output folder's path
    };
    const Case cases[] = {
        {{"run0_histo_b0_ch5.txt", "run0_list_b0_seg3.txt"}, false, 2,
         {"run0_list_b0_seg3.txt exists already (and 1 more of board 0's list or histogram files): the replay would "
          "write over it; --overwrite allows that"}},
        // Another board's, another run's, another kind, no segment number.
        {{"run0_list_b1_seg0.txt", "run0_raw_b0_seg0.bin", "run1_list_b0_seg0.txt", "run0_list_b0_seg.txt"}, false,
         0, {}},
        {{"run0_list_b0_seg0.txt", "run0_list_b0_seg7.txt", "run0_histo_b0_ch40.txt"}, true, 0,
         {"run0_list_b0_seg7.txt is left from before: this replay did not write it",
          "run0_histo_b0_ch40.txt is left from before"}},
    };
    const fs::path dir = Path("o");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.there.back());
        fs::remove_all(dir), fs::create_directory(dir);
        for (const std::string& name : c.there) Write(dir / name, "old");
        std::vector<std::string> arguments{config, "0", dir.string(), raw};
        if (c.overwrite) arguments.insert(arguments.begin(), "--overwrite");
        EXPECT_EQ(RunReplay(arguments), c.status) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), static_cast<long>(c.messages.size())) << err;
        for (const std::string& m : c.messages)
            EXPECT_NE(err.find(dir.string() + tessary::platform::PathSeparator() + m), std::string::npos) << err;
        std::set<std::string> expected(c.there.begin(), c.there.end());
        if (c.status == 0) expected.insert(fresh.begin(), fresh.end());
        EXPECT_EQ(Names(dir), expected) << "nothing written when refused";
        for (const std::string& n : expected)
            EXPECT_EQ(Contents(dir / n), !c.status && fresh.count(n) ? Contents(Path("fresh") / n) : "old") << n;
    }
}

// Raw files given together: the channel count that their events tell (2
// blocks: 32, 4 blocks: 64) must agree between them and with --channels, or
// nothing is written; a later event of the other count is damage. Segments in
// a shell glob's order (seg10 before seg2) are replayed in their numbered
// order, other names in the order given, with a warning where the time stamps
// go backwards, but not where the 48-bit counter wraps.
TEST_F(ReplayTest, RawFilesGivenTogetherAgreeInChannelCountAndAreReplayedInTheirOrder) {
    Write(Path("config.txt"), kConfig);
    const std::string of32 = Bytes(Events(2)), of64 = Bytes(Events(2, 4)), b1 = Path("run_raw_b1_seg0.bin").string();
    auto from = [](uint64_t time) { return Bytes(Events(3, 2, time)); };  // 3 events, 1000 apart
    struct Case {
        const char* channels;  // given with --channels, unless empty
        std::vector<std::pair<std::string, std::string>> files;  // name, contents
        int status;
        std::string message;     // on standard error; nothing there when empty
        std::size_t histograms;  // written when not refused
        long events;             // in the list
    };
    const Case cases[] = {
        {"32", {{"run_raw_b1_seg0.bin", of64}}, 2,  // what happened: 64-channel data as 32
         b1 + " is named as a raw file of board 1, and is replayed as board 0\ntessary_replay: the events of " + b1 +
             " carry 4 blocks, as a 64-channel board's do, but --channels gives 32 channels", 0, 0},
        {"", {{"a.bin", of64}, {"e.bin", ""}, {"b.bin", of32}}, 2,
         "a.bin holds events of a 64-channel board (4 blocks each), but " + Path("b.bin").string() +
             " of a 32-channel board (2 blocks)", 0, 0},
        {"", {{"a.bin", of32 + of64}}, 1,
         "a.bin: byte offset 68: an event with 4 blocks (a 64-channel board's) among the events of a 32-channel board",
         32, 2},
        {"64", {{"a.bin", of64}, {"b.bin", Bytes(Events(2, 4, 5000))}}, 0, "", 64, 4},
        {"32", {{"a.bin", ""}}, 0, "", 32, 0},  // no event tells
        {"", {{"run_raw_b0_seg0.bin", from(0)}, {"run_raw_b0_seg10.bin", from(20000)},  // 5: as a glob gives them
              {"run_raw_b0_seg2.bin", from(10000)}}, 0, "", 32, 9},
        {"", {{"run_raw_b0_seg0.bin", from(0)}, {"run_raw_b0_seg2.bin", from(10000)},  // 6: their order, same files
              {"run_raw_b0_seg10.bin", from(20000)}}, 0, "", 32, 9},
        {"", {{"x_raw_b0_seg1.bin", from(10000)}, {"y_raw_b0_seg0.bin", from(0)}}, 0,  // two runs' names
         "Warning: the time stamps go backwards from " + Path("x_raw_b0_seg1.bin").string() +
             " (last event at 12000) to " + Path("y_raw_b0_seg0.bin").string() + " (first event at 0)", 32, 6},
        {"", {{"c.bin", from((uint64_t{1} << 48) - 2501)}, {"d.bin", from(100)}}, 0, "", 32, 6},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        const fs::path dir = Path("o" + std::to_string(i));
        std::vector<std::string> arguments{Path("config.txt").string(), "0", dir.string()};
        if (*c.channels) arguments.insert(arguments.begin(), {"--channels", c.channels});
        for (const auto& [name, contents] : c.files)
            Write(Path(name), contents), arguments.push_back(Path(name).string());
        EXPECT_EQ(RunReplay(arguments), c.status);
        EXPECT_TRUE(c.message.empty() ? err.empty() : err.find(c.message) != std::string::npos) << err;
        EXPECT_EQ(out.find("replayed in the order of their segment numbers\n") != std::string::npos, i == 5) << out;
        EXPECT_EQ(fs::exists(dir), c.histograms > 0) << "nothing written when refused";
        if (c.histograms == 0) continue;
        EXPECT_EQ(Names(dir).size(), c.histograms + 1);
        const std::string list = Contents(dir / "run0_list_b0_seg0.txt");
        EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), c.events + 2) << "a two-line header";
    }
    for (const std::string& name : Names(Path("o6")))
        EXPECT_TRUE(Contents(Path("o5") / name) == Contents(Path("o6") / name)) << name;
}

// Files of the run's prefix that the summary does not name are listed as
// EXTRA, status 0; not the run's lock and summary, nor the files of another
// run whose summary is in the folder.
TEST_F(ReplayTest, VerifyListsTheRunsFilesThatTheSummaryDoesNotName) {
    fs::create_directories(Path("run/run_dir"));
    for (const char* name : {"run_raw_b0_seg0.bin", "run_raw_b0_seg1.bin", "run_histo_b0_ch3.txt.part", "run.lock",
                             "other_list_b0_seg0.txt", "run2_raw_b0_seg0.bin", "run_b_summary.json",
                             "run_b_list_b0_seg0.txt", "run_b_raw_b0_seg0.bin.x"})
        Write(Path("run") / name, name);
    const std::string summary = R"({"boards": [{"files": [{"name": "run_raw_b0_seg0.bin", "size": 19, "crc32c": ")" +
                                Crc("run_raw_b0_seg0.bin") + R"("}]}]})";
    Write(Path("run/run_summary.json"), summary);
    const std::string ours = "EXTRA    run_histo_b0_ch3.txt.part\nEXTRA    run_raw_b0_seg1.bin\n";
    // The prefix from the names the summary gives, or from its own name.
    for (const auto& [name, extra] : {std::pair<std::string, std::string>{"copy.json", ours},
                                      {"other_summary.json", "EXTRA    other_list_b0_seg0.txt\n"}}) {
        SCOPED_TRACE(name);
        Write(Path("run") / name, summary);
        EXPECT_EQ(RunReplay({"--verify", (Path("run") / name).string()}), 0) << err;
        EXPECT_EQ(out, "OK       run_raw_b0_seg0.bin\n" + extra +
                           "1 files: 1 OK, 0 mismatched, 0 missing, 0 unreadable; " +
                           std::to_string(std::count(extra.begin(), extra.end(), '\n')) + " not named (EXTRA)\n");
        EXPECT_EQ(err, "");
    }
}

}  // namespace

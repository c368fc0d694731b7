// The HDF5 event files of real runs on emulated boards, read back by h5py
// (hdf5_check.py): a whole run against its list, histogram and summary files
// and against its raw files replayed; a run killed mid-way; a write that
// fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "ReplayTool.h"

namespace {

using namespace replay_tool;

const std::string kCheck = std::string(TESSARY_SOURCE_DIR) + "/tests/program/hdf5_check.py";

struct Hdf5Test : ReplayTest {
    void SetUp() override {
        if (std::system("/usr/bin/python3 -c 'import h5py, numpy' 2> /dev/null") != 0)
            GTEST_SKIP() << "python3-h5py and python3-numpy are needed";
        Write(Path("pgnuplot"), "#!/bin/sh\ncat > /dev/null\n");
        fs::permissions(Path("pgnuplot"), fs::perms::owner_all);
    }
    // Two boards, group 1 off, every output on unless `outputs` says otherwise.
    void Configure(const std::string& boardSettings, const std::string& outputs) {
        Write(Path("boards.txt"), "[usb 0]\nchannels = 32\n" + boardSettings + "[usb 1]\nseed = 6\n" + boardSettings);
        Write(Path("config.txt"), "OPEN USB 0\nOPEN USB 1\n[COMMON]\nSTAT_REFRESH 500\nENABLE_INPUT FFFFFFFFFFFF00FF\n"
                                  "SPECTRUM_CHANNEL 1k\nOUTFILE_PATH out/\nOUTFILE_NAME run\nOUTFILE_MAXSIZE 0\n" +
                                      outputs + "GNUPLOT_PATH " + folder.path().string() + "/\n");
    }
    std::string Environment() const {
        return "HOME=" + folder.path().string() + " DRELM_EMULATOR_SETTINGS=" + Path("boards.txt").string() + " ";
    }
    int Check(const std::string& mode, const std::string& other) {
        return Shell("/usr/bin/python3 " + kCheck + " " + mode + " " + Path("Tessary_DAQ/out").string() + " run 2 " +
                     other);
    }
    const std::string allOn = "OUTFILE_RAW YES\nOUTFILE_LIST YES\nOUTFILE_HISTO YES\nOUTFILE_HDF5 YES\n";
};

TEST_F(Hdf5Test, LiveFilesHoldTheListsEventsTheSpectraAndTheSummaryAndReplayTheSame) {
    Configure("trigger_rate_hz = 3000\nsaturation_permille = 50\n", allOn);
    ASSERT_EQ(Shell(Environment() + kProgram + " --start --preset-real 3 " + Path("config.txt").string() + " < /dev/null"), 0)
        << out;
    const fs::path live = Path("Tessary_DAQ/out");
    ASSERT_EQ(Shell(kReplay + " --verify " + (live / "run_summary.json").string()), 0) << out;
    EXPECT_NE(out.find("OK       run_events_b1.h5"), std::string::npos) << out;
    for (const char* board : {"0", "1"}) {
        std::string raws;
        for (int s = 0; fs::exists(live / ("run_raw_b" + std::string(board) + "_seg" + std::to_string(s) + ".bin")); ++s)
            raws += " " + (live / ("run_raw_b" + std::string(board) + "_seg" + std::to_string(s) + ".bin")).string();
        ASSERT_EQ(Replay("--hdf5 " + Path("config.txt").string() + " " + board + " " + Path("replay").string() + raws), 0)
            << out << err;
    }
    EXPECT_EQ(Check("run", Path("replay").string()), 0) << out << err;
}

TEST_F(Hdf5Test, KilledRunLeavesFilesWithEveryEventFlushed) {
    Configure("trigger_rate_hz = 3000\n", allOn);
    // The list files on the disk 2 s into the acquisition; once a reader
    // following the HDF5 files sees as many events, the kill.
    const std::string snapshot = Path("snapshot").string(), log = Path("log.txt").string();
    ASSERT_EQ(Shell("(" + Environment() + kProgram + " --start --preset-real 120 " + Path("config.txt").string() +
                    " < /dev/null > " + log + " & for i in $(seq 300); do grep -q start/stop " + log +
                    " && break; sleep 0.1; done; sleep 2; mkdir " + snapshot + "; cp " +
                    Path("Tessary_DAQ/out").string() + "/run_list_* " + snapshot + "; /usr/bin/python3 " + kCheck +
                    " follow " + Path("Tessary_DAQ/out").string() + " run 2 " + snapshot +
                    "; status=$?; kill -9 $!; wait; exit $status)"),
              0)
        << out << err;
    EXPECT_EQ(Check("killed", snapshot), 0) << out << err;
}

TEST_F(Hdf5Test, FailedWriteEndsTheRunWithItsCodeAndNamesTheFile) {
    Configure("trigger_rate_hz = 30000\nlink_bandwidth_kb_s = unlimited\n", "HDF5_COMPRESSION 0\nOUTFILE_HDF5 YES\n");
    // 1 MiB at most per file; past it writes fail with EFBIG.
    const int status = Shell("(trap '' XFSZ; ulimit -f 1024; " + Environment() + "exec " + kProgram +
                             " --start --preset-real 20 " + Path("config.txt").string() + " < /dev/null)");
    EXPECT_EQ(status, 16) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex("Output file [^\n]*/out/run_events_b[01]\\.h5 could not be written: "
                                                  "File too large\n")))
        << out;
}

}  // namespace

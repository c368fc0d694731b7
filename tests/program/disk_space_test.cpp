// A run that fills a small file system: the disk watch ends it as a preset
// does, before a write can fail, so that it exits with status 0, its
// summary says "disk space", and every file it names is whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "ReplayTool.h"
#include "RunProgram.h"
#include "StandInPlotter.h"

namespace replay_tool {
namespace {

#ifndef _WIN32
// A tmpfs of its own, unmounted when the test ends, also on a failure.
struct SmallFileSystem {
    explicit SmallFileSystem(const fs::path& at) : path(at) {
        fs::create_directory(at);
        mounted = std::system(("mount -t tmpfs -o size=24m tmpfs " + at.string() + " 2> /dev/null").c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted) std::system(("umount " + path.string()).c_str());
    }
    fs::path path;
    bool mounted = false;
};
#endif

TEST_F(ReplayTest, ARunThatFillsTheDiskEndsCleanlyWithEveryFileWhole) {
#ifdef _WIN32
    GTEST_SKIP() << "fills a small file system of its own, a tmpfs mounted for the test";
#else
    struct Case {
        const char* name;
        const char* folder;
        const char* rate;
        const char* outputs;
    };
    // The HDF5 file compresses its rows: a faster board fills the disk as soon.
    const Case cases[] = {{"raw and list", "disk", "2000", "OUTFILE_RAW YES\nOUTFILE_LIST YES\n"},
                          {"HDF5 alone", "disk_hdf5", "30000", "OUTFILE_HDF5 YES\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SmallFileSystem disk(Path(c.folder));
        if (!disk.mounted) GTEST_SKIP() << "a tmpfs cannot be mounted here (the test needs root)";
        Write(Path("boards.txt"), std::string("[usb 0]\ntrigger_rate_hz = ") + c.rate +
                                      "\nconversion_time_ns = 200\nlink_latency_us = 0\n"
                                      "link_bandwidth_kb_s = unlimited\n");
        ASSERT_TRUE(test_support::InstallStandInPlotter(folder.path()));
        Write(Path("config.txt"), "OPEN USB 0\n[COMMON]\nPOLARITY NEGATIVE\nENABLE_INPUT FFFFFFFFFFFFFFFF\n"
                                  "OUTFILE_PATH " + disk.path.string() + "/\nOUTFILE_NAME full\n" + c.outputs +
                                  "OUTFILE_MAXSIZE 0\nGNUPLOT_PATH " + folder.path().string() + "/\n");
        // The real-time preset only ends a run that the watch failed to end.
        test_support::RunOptions run;
        run.environment = test_support::ProfileVariables(folder.path());
        run.environment.emplace_back("DRELM_EMULATOR_SETTINGS", Path("boards.txt").string());
        ASSERT_EQ(Run({kProgram, "--start", "--preset-real", "60", Path("config.txt").string()}, run), 0) << out << err;
        // Warned first: at any rate this disk fills within ten minutes.
        const std::size_t warning = out.find("Warning: the output file system has ");
        EXPECT_LT(warning, out.find("Disk space low: ")) << out;
        EXPECT_NE(out.find(" MB needed to finish the files and the run summary; the run ends\n"), std::string::npos);
        EXPECT_EQ(out.find("could not be written"), std::string::npos) << out;

        const fs::path summary = disk.path / "full_summary.json";
        const auto json = nlohmann::json::parse(Contents(summary), nullptr, false);
        ASSERT_FALSE(json.is_discarded()) << out;
        EXPECT_EQ(json["ended_by"], "disk space");
        EXPECT_EQ(RunReplay({"--verify", summary.string()}), 0) << out << err;
        // Not ended at once: it wrote a good part of the disk first.
        uintmax_t written = 0;
        for (const auto& entry : fs::directory_iterator(disk.path)) written += fs::file_size(entry.path());
        EXPECT_GT(written, uintmax_t{6} << 20);
    }
#endif
}

}  // namespace
}  // namespace replay_tool

// The shipped launcher tools/pgnuplot with the real gnuplot, without a
// display: a plot becomes a PNG image in the per-user folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../emulator/TempFolder.h"
#include "ConfigParser.h"
#include "Plotter.h"

namespace tessary {
namespace {

// Sets (or with null unsets) a variable for the life of the object.
struct ScopedVariable {
    ScopedVariable(const char* name, const char* value) : name(name), old(std::getenv(name) ? std::getenv(name) : "") {
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { old.empty() ? unsetenv(name) : setenv(name, old.c_str(), 1); }
    const char* name;
    std::string old;
};

const std::string kTools = std::string(TESSARY_SOURCE_DIR) + "/tools/";

TEST(Pgnuplot, HeadlessRunWritesAPngImageInThePerUserFolder) {
    ASSERT_EQ(std::system("command -v gnuplot > /dev/null 2>&1"), 0)
        << "gnuplot is not installed; tools/install-deps.sh installs it (package gnuplot-nox)";
    emulator_test::TempFolder home;
    const ScopedVariable display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr),
        profile("USERPROFILE", nullptr), homeVariable("HOME", home.path().c_str());
    const std::string userFolder = home.File("Tessary_DAQ") + "/";
    std::filesystem::create_directory(userFolder);
    DaqConfig config;
    std::snprintf(config.gnuplotPath, sizeof config.gnuplotPath, "%s", kTools.c_str());
    config.boardCount = 1;
    config.boards[0].spectrumShift = 4;
    config.boards[0].groupEnableMask[0] = config.plotChannelMask = 0x03;
    BoardCounters counters;
    ASSERT_EQ(AllocCounterSpectra(counters), 0);
    for (int b = 0; b < 1024; ++b) counters.spectrum[0][b] = b % 100, counters.spectrum[1][b] = 1000.0 - b;

    Plotter plotter;
    ASSERT_EQ(OpenPlotter(plotter, config, userFolder, stdout), ProgramError::None);
    EXPECT_EQ(PlotSpectra(plotter, config, counters, stdout), 0);
    ClosePlotter(plotter);  // waits for the launcher: the image is final
    char signature[8] = {};
    ASSERT_TRUE(std::ifstream(userFolder + "TessaryPlot.png", std::ios::binary).read(signature, 8)) << userFolder;
    EXPECT_EQ(std::string(signature, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_FALSE(std::filesystem::exists(userFolder + "TessaryPlot.part.png"));
}

// The program starts a new launcher at every change of spectrum length; the
// image's path is told by the first of a run only, and again in a new run.
TEST(Pgnuplot, TellsTheImageOncePerRun) {
    ASSERT_EQ(std::system("command -v gnuplot > /dev/null 2>&1"), 0);
    emulator_test::TempFolder home;
    const ScopedVariable display("DISPLAY", nullptr), wayland("WAYLAND_DISPLAY", nullptr),
        profile("USERPROFILE", nullptr), homeVariable("HOME", home.path().c_str());
    // Each $(...) is one parent, as one run of the program is.
    const std::string launcher = kTools + "pgnuplot < /dev/null";
    const std::string run = "$( { " + launcher + "; " + launcher + "; :; } 2>&1 | grep -c 'each plot is written to')";
    EXPECT_EQ(std::system(("[ \"" + run + "\" = 1 ] && [ \"" + run + "\" = 1 ]").c_str()), 0);
}

TEST(Pgnuplot, SaysSoAndFailsWhenGnuplotIsMissing) {
    const std::string run = "out=$(PATH=/nonexistent /bin/sh " + kTools + "pgnuplot 2>&1 < /dev/null); [ $? -ne 0 ] && ";
    EXPECT_EQ(std::system((run + "case $out in *'gnuplot is not installed'*) exit 0;; esac; exit 1").c_str()), 0);
}

// tools/demo.sh runs from the top of the tree: the demo's plotter is there.
TEST(Pgnuplot, DemoConfigurationNamesTheLauncher) {
    std::ifstream file;
    std::ostringstream messages;
    DaqConfig config;
    ASSERT_EQ(OpenConfigFile(std::string(TESSARY_SOURCE_DIR) + "/examples/Tessary_Config.txt", file, messages), 0);
    ASSERT_EQ(ParseConfig(file, "/home/ann/Tessary_DAQ/", config, messages), kConfigOk);
    const std::string plotter = std::string(TESSARY_SOURCE_DIR) + "/" + config.gnuplotPath + kPlotterName;
    EXPECT_EQ(access(plotter.c_str(), X_OK), 0) << plotter;
}

}  // namespace
}  // namespace tessary

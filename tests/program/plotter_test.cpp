// The plotter's command stream and data file byte for byte, through a
// stand-in "pgnuplot" that records what it is sent; start-up failures and a
// plotter that ends early.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../emulator/TempFolder.h"
#include "CapturedOutput.h"
#include "Clock.h"
#include "Plotter.h"
#include "StandInPlotter.h"

namespace tessary {
namespace {

std::string Opening(const char* xMax) {
    return std::string("set grid\nset mouse\nset xlabel 'ADC channels'\nset ylabel 'counts'\n"
                       "set title 'Tessary DAQ Software'\nXs = 1.000000\nYs = 1.000000\nXmax = ") +
           xMax +
           "\nYmax = 16000.000000\nXmin = 0.000000\nYmin = 0.000000\nset xrange [Xmin:Xmax]\n"
           "bind x 'set xrange [Xmin:Xmax]'\nset autoscale y\nbind y 'set autoscale y'\n";
}

std::string Read(const std::string& path) { return (std::stringstream() << std::ifstream(path).rdbuf()).str(); }

struct PlotterTest : ::testing::Test {
    void SetUp() override {
        dir = folder.File("plot dir's") + "/";  // a blank and a quote: no shell in between
        std::filesystem::create_directory(dir);
        std::snprintf(config.gnuplotPath, sizeof config.gnuplotPath, "%s", dir.c_str());
        config.boardCount = 1;
        config.boards[0].channelCount = 64;
        config.boards[0].spectrumShift = 4;
        ASSERT_EQ(AllocCounterSpectra(counters), 0);
    }
    // The stand-in plotter in `mode`: "record" appends what it is sent to
    // commands.txt beside it, "exit" ends at once.
    void StandIn(const char* mode) { ASSERT_TRUE(test_support::InstallStandInPlotter(dir, mode)); }
    // A plotter that this system does not run: the stand-in without its
    // execute permission; on Windows, which has none, a file under its name
    // that is no program.
    void NotRunnable() {
#ifdef _WIN32
        std::ofstream(test_support::StandInPlotterPath(dir)) << "set grid\n";
#else
        StandIn("record");
        using std::filesystem::perms;
        std::filesystem::permissions(test_support::StandInPlotterPath(dir),
                                     perms::owner_read | perms::owner_write | perms::group_read | perms::others_read);
#endif
    }
    std::string Printed() { return captured.Text(); }
    emulator_test::TempFolder folder;
    std::string dir;
    DaqConfig config;
    BoardCounters counters;
    Plotter plotter;
    test_support::CapturedOutput captured;
    std::FILE* out = captured.Stream();
};

TEST_F(PlotterTest, MaskedTraceAndAvgRmsInTheStreamAndTheDataFile) {
    StandIn("record");
    config.boards[0].groupEnableMask[1] = 0x04;
    config.plotGroup = 1;
    config.plotChannelMask = 0x05;
    counters.spectrum[10][100] = counters.spectrum[10][200] = 10;
    counters.channelHits[10] = 20;
    ASSERT_EQ(OpenPlotter(plotter, config, dir, out), ProgramError::None);
    EXPECT_EQ(PlotSpectra(plotter, config, counters, out), 0);
    ClosePlotter(plotter);
    EXPECT_EQ(Printed(), "Trace 8 enabled for plotting but masked in data\n");
    EXPECT_EQ(Read(dir + "commands.txt"),
              Opening("1024.000000") + " plot '" + folder.File("plot dir''s") +
                  "/PlotData.txt' using ($1*1.000000):($2*1.000000) title "
                  "'Ch. 10 - Events: 20, Avg: 150.00, RMS: 50.00' with step lc 3\n");
    std::string data;
    for (int b = 0; b < 1024; ++b)
        data += std::to_string(b) + ",\t" + (b == 100 || b == 200 ? "10" : "0") + ",\t\n";
    EXPECT_EQ(Read(dir + "PlotData.txt"), data);
}

TEST_F(PlotterTest, SpectrumLengthChangeRestartsAndColumnsFollowTheChannels) {
    StandIn("record");
    config.boardCount = 2;
    config.boards[0].spectrumShift = 0;
    config.boards[1].channelCount = 32;
    config.boards[1].spectrumShift = 4;
    config.boards[1].groupEnableMask[0] = 0xFF;
    ASSERT_EQ(OpenPlotter(plotter, config, dir, out), ProgramError::None);
    EXPECT_EQ(PlotSpectra(plotter, config, counters, out), -1);  // mask 0: nothing sent
    config.plotBoard = 1;
    config.plotGroup = 4;  // beyond the 32-channel board's groups: its group 0
    config.plotChannelMask = 0x89;
    EXPECT_EQ(PlotSpectra(plotter, config, counters, out), 0);
    ClosePlotter(plotter);
    EXPECT_EQ(Printed(), "All traces disabled\n");
    std::string plot = " plot ";
    for (const int ch : {0, 3, 7})
        plot += (ch ? ", '" : "'") + folder.File("plot dir''s") + "/PlotData.txt' using ($1*1.000000):($" +
                std::to_string(ch / 3 + 2) + "*1.000000) title 'Ch. " + std::to_string(ch) +
                " - Events: 0, Avg: 0.00, RMS: 0.00' with step lc " + std::to_string(ch + 1);
    EXPECT_EQ(Read(dir + "commands.txt"), Opening("16384.000000") + Opening("1024.000000") + plot + "\n");
    const std::string data = Read(dir + "PlotData.txt");
    EXPECT_EQ(data.rfind("0,\t0,\t0,\t0,\t\n", 0), 0u);
    EXPECT_EQ(data.size() - data.rfind("1023,"), std::string("1023,\t0,\t0,\t0,\t\n").size());
}

TEST_F(PlotterTest, MissingOrNotExecutablePlotterIsCode12) {
    EXPECT_EQ(OpenPlotter(plotter, config, dir, out), ProgramError::Plotter);
    NotRunnable();
    EXPECT_EQ(OpenPlotter(plotter, config, dir, out), ProgramError::Plotter);
    const std::string program = dir + "pgnuplot";
    EXPECT_EQ(Printed(), "Plotter " + program + " could not be started: No such file or directory\nPlotter " +
                             program + " could not be started: Permission denied\n");
}

TEST_F(PlotterTest, APlotterThatEndsStopsPlottingWithOneMessage) {
    StandIn("exit");
    config.boards[0].groupEnableMask[0] = 0x01;
    config.plotChannelMask = 0x01;
    ASSERT_EQ(OpenPlotter(plotter, config, dir, out), ProgramError::None);
    int last = 0;
    for (int i = 0; i < 5; ++i) {
        platform::SleepMs(100);
        last = PlotSpectra(plotter, config, counters, out);
    }
    EXPECT_EQ(last, -1);
    EXPECT_EQ(Printed(), "Plotting stopped: the plotter " + dir + "pgnuplot has ended\n");
    ClosePlotter(plotter);
}

}  // namespace
}  // namespace tessary

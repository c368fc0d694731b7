// Spectra drawn by gnuplot. The plotter is a child process, the program
// named "pgnuplot" in the configured GNUPLOT_PATH directory, that takes
// gnuplot commands on its standard input; nothing is read back from it.
// Each plot rewrites the data file "PlotData.txt" in the per-user folder
// with the selected channels of the plotted group and sends one plot
// command that reads it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "BoardCounters.h"
#include "ChildProcess.h"
#include "DaqConfig.h"
#include "ProgramError.h"

namespace tessary {

inline constexpr int kPlotTextSize = 100;  // text fields, terminating zero included
inline constexpr char kPlotterName[] = "pgnuplot";
inline constexpr char kPlotDataName[] = "PlotData.txt";
// Commands are gathered here and written to the pipe at each flush.
inline constexpr std::size_t kPlotCommandBufferSize = 8192;

// The plotter state: one for the program, owned by the run loop.
struct Plotter {
    char title[kPlotTextSize] = {};
    char traceTitle[kChannelsPerGroup][kPlotTextSize] = {};  // legend of trace i of the group
    char xLabel[kPlotTextSize] = {};
    char yLabel[kPlotTextSize] = {};
    float xScale = 0.0f;  // gnuplot variable Xs
    float yScale = 0.0f;  // Ys
    float xMax = 0.0f;    // Xmax: the plotted board's spectrum length
    float yMax = 0.0f;    // Ymax
    float xMin = 0.0f;    // Xmin
    float yMin = 0.0f;    // Ymin
    platform::ChildProcess pipe;

    // Set by OpenPlotter: the program started, the data file's full name,
    // the same as a gnuplot string (quotes doubled), and the name the data
    // are written under before they replace the file, so that gnuplot never
    // reads a half-written one.
    std::string program;
    std::string dataFile;
    std::string dataFileQuoted;
    std::string dataFileTemp;
    // Commands not yet written to the pipe.
    char pending[kPlotCommandBufferSize] = {};
    std::size_t pendingSize = 0;
};

// Starts the plotter and sends it the opening commands (grid, mouse, axis
// labels, title, the scale and range variables Xs, Ys, Xmax, Ymax, Xmin,
// Ymin, the x range fixed to the spectrum and y autoscaled, keys x and y
// to restore them). The program is config.gnuplotPath followed by
// "pgnuplot"; the data file is `userFolder` followed by "PlotData.txt".
// ProgramError::Plotter when the program cannot be started (missing, not
// executable, exec refused), after one line on `out` that says why;
// ProgramError::None otherwise. A plotter that is started but takes no
// commands is not a start-up failure: plotting stops as in PlotSpectra.
ProgramError OpenPlotter(Plotter& plotter, const DaqConfig& config, const std::string& userFolder, std::FILE* out);

// Draws the selected channels of the plotted board, whose current record
// is `counters`: the channels of plotChannelMask in the plotted group
// (EffectiveGroup) that the board's group enable mask keeps. A change of
// the board's spectrum length restarts the plotter first with the new
// Xmax. Prints "Trace %d enabled for plotting but masked in data\n" for
// each selected channel that is masked, and "All traces disabled\n" when
// none is left. 0 when the plot command was sent; -1 when nothing was sent:
// no channel, the data file could not be written ("file not allocated\n"),
// or no plotter runs. A plotter that has ended or stopped reading is closed
// and "Plotting stopped: ...\n" printed once; later calls then return -1
// without a word (and write no data file) until a spectrum-length change
// starts a new plotter. Clears nothing in `config`.
int PlotSpectra(Plotter& plotter, const DaqConfig& config, const BoardCounters& counters, std::FILE* out);

// Closes the pipe and waits for the plotter to end (see ChildProcess::Close).
// Nothing when no plotter runs.
void ClosePlotter(Plotter& plotter);

}  // namespace tessary

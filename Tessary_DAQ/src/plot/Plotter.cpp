#include "Plotter.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstring>

#include "HistogramText.h"
#include "PlotSelection.h"
#include "PrintableText.h"

namespace tessary {
namespace {

int SpectrumLength(const DaqConfig& config) { return SpectrumBins(config.boards[PlottedBoard(config)].spectrumShift); }

void CopyText(char (&field)[kPlotTextSize], const char* text) { std::snprintf(field, sizeof field, "%s", text); }

// Writes the gathered commands to the plotter. A plotter that cannot take
// them is closed, with one line on `out`; from then on nothing is sent.
bool Flush(Plotter& plotter, std::FILE* out) {
    const std::size_t size = plotter.pendingSize;
    plotter.pendingSize = 0;
    if (!plotter.pipe.IsOpen()) return false;
    const int error = plotter.pipe.Write(plotter.pending, size);
    if (error == 0) return true;
    // One that has stopped reading gets no more time to end by itself.
    plotter.pipe.Close(error == ETIMEDOUT ? 0 : platform::kChildCloseTimeoutMs);
    const char* name = plotter.program.c_str();
    if (error == EPIPE) {
        std::fprintf(out, "Plotting stopped: the plotter %s has ended\n", name);
    } else if (error == ETIMEDOUT) {
        std::fprintf(out, "Plotting stopped: the plotter %s took no commands for %d ms\n", name,
                     platform::kChildWriteTimeoutMs);
    } else {
        std::fprintf(out, "Plotting stopped: writing to the plotter %s failed: %s\n", name, std::strerror(error));
    }
    return false;
}

// One formatted command piece, gathered for the next flush.
[[gnu::format(printf, 3, 4)]] void Send(Plotter& plotter, std::FILE* out, const char* format, ...) {
    for (int attempt = 0; attempt < 2 && plotter.pipe.IsOpen(); ++attempt) {
        const std::size_t room = sizeof plotter.pending - plotter.pendingSize;
        va_list args;
        va_start(args, format);
        const int length = std::vsnprintf(plotter.pending + plotter.pendingSize, room, format, args);
        va_end(args);
        if (length < 0) return;
        if (static_cast<std::size_t>(length) < room) {
            plotter.pendingSize += static_cast<std::size_t>(length);
            return;
        }
        if (plotter.pendingSize == 0) {
            // Longer than the whole buffer: cannot happen with the texts'
            // limits; sent cut rather than overrun.
            plotter.pendingSize = sizeof plotter.pending - 1;
            return;
        }
        if (!Flush(plotter, out)) return;
    }
}

// Starts the program and sends the opening commands. 0, or the errno value
// of the failed start, with nothing changed but the closed pipe.
int StartPlotter(Plotter& plotter, const DaqConfig& config, std::FILE* out) {
    plotter.pendingSize = 0;
    if (const int error = plotter.pipe.Start(plotter.program); error != 0) return error;
    CopyText(plotter.title, "Tessary DAQ Software");
    CopyText(plotter.xLabel, "ADC channels");
    CopyText(plotter.yLabel, "counts");
    plotter.xScale = 1.0f;
    plotter.yScale = 1.0f;
    plotter.xMin = 0.0f;
    plotter.yMin = 0.0f;
    plotter.yMax = 16000.0f;
    plotter.xMax = static_cast<float>(SpectrumLength(config));

    Send(plotter, out, "set grid\n");
    Send(plotter, out, "set mouse\n");
    Send(plotter, out, "set xlabel '%s'\n", plotter.xLabel);
    Send(plotter, out, "set ylabel '%s'\n", plotter.yLabel);
    Send(plotter, out, "set title '%s'\n", plotter.title);
    Send(plotter, out, "Xs = %f\n", static_cast<double>(plotter.xScale));
    Send(plotter, out, "Ys = %f\n", static_cast<double>(plotter.yScale));
    Send(plotter, out, "Xmax = %f\n", static_cast<double>(plotter.xMax));
    Send(plotter, out, "Ymax = %f\n", static_cast<double>(plotter.yMax));
    Send(plotter, out, "Xmin = %f\n", static_cast<double>(plotter.xMin));
    Send(plotter, out, "Ymin = %f\n", static_cast<double>(plotter.yMin));
    Send(plotter, out, "set xrange [Xmin:Xmax]\n");
    Send(plotter, out, "bind x 'set xrange [Xmin:Xmax]'\n");
    Send(plotter, out, "set autoscale y\n");
    Send(plotter, out, "bind y 'set autoscale y'\n");
    Flush(plotter, out);
    return 0;
}

uint64_t Count(const BoardCounters& counters, int channel, int bin) {
    const double* spectrum = counters.spectrum[channel];
    return spectrum ? WholeCount(spectrum[bin]) : 0;
}

// The data file: one line per bin, the bin then each channel's count. Also
// the channels' sums of counts and of bin x count. False when the file
// could not be written.
bool WriteDataFile(const Plotter& plotter, const BoardCounters& counters, const int* channels, int count, int bins,
                   uint64_t* sum0, uint64_t* sum1) {
    std::FILE* file = std::fopen(plotter.dataFileTemp.c_str(), "w");
    if (!file) return false;
    for (int b = 0; b < bins; ++b) {
        std::fprintf(file, "%d,\t", b);
        for (int k = 0; k < count; ++k) {
            const uint64_t counts = Count(counters, channels[k], b);
            std::fprintf(file, "%" PRIu64 ",\t", counts);
            sum0[k] += counts;
            sum1[k] += static_cast<uint64_t>(b) * counts;
        }
        std::fputc('\n', file);
    }
    bool written = std::ferror(file) == 0;
    written = std::fclose(file) == 0 && written;
    written = written && std::rename(plotter.dataFileTemp.c_str(), plotter.dataFile.c_str()) == 0;
    if (!written) std::remove(plotter.dataFileTemp.c_str());
    return written;
}

}  // namespace

ProgramError OpenPlotter(Plotter& plotter, const DaqConfig& config, const std::string& userFolder, std::FILE* out) {
    plotter.program = std::string(config.gnuplotPath) + kPlotterName;
    plotter.dataFile = userFolder + kPlotDataName;
    plotter.dataFileTemp = plotter.dataFile + ".part";
    // A quote inside a single-quoted gnuplot string is written twice.
    plotter.dataFileQuoted.clear();
    for (const char c : plotter.dataFile) {
        plotter.dataFileQuoted += c;
        if (c == '\'') plotter.dataFileQuoted += c;
    }
    if (const int error = StartPlotter(plotter, config, out); error != 0) {
        std::fprintf(out, "Plotter %s could not be started: %s\n", Printable(plotter.program).c_str(),
                     std::strerror(error));
        return ProgramError::Plotter;
    }
    return ProgramError::None;
}

int PlotSpectra(Plotter& plotter, const DaqConfig& config, const BoardCounters& counters, std::FILE* out) {
    const int bins = SpectrumLength(config);
    if (static_cast<float>(bins) != plotter.xMax) {
        // Another spectrum length: a new plotter gets the opening commands
        // with the new Xmax. xMax is taken first, so that a failed restart
        // is not tried again at every plot.
        plotter.xMax = static_cast<float>(bins);
        plotter.pipe.Close();
        if (const int error = StartPlotter(plotter, config, out); error != 0) {
            std::fprintf(out, "Plotting stopped: the plotter %s could not be restarted: %s\n",
                         plotter.program.c_str(), std::strerror(error));
            return -1;
        }
    }
    if (!plotter.pipe.IsOpen()) return -1;

    const int group = EffectiveGroup(config);
    const unsigned enabled = config.boards[PlottedBoard(config)].groupEnableMask[group];
    int channels[kChannelsPerGroup];
    int positions[kChannelsPerGroup];
    int count = 0;
    for (int i = 0; i < kChannelsPerGroup; ++i) {
        if (!(config.plotChannelMask >> i & 1)) continue;
        const int channel = kChannelsPerGroup * group + i;
        if (enabled >> i & 1) {
            channels[count] = channel;
            positions[count] = i;
            ++count;
        } else {
            std::fprintf(out, "Trace %d enabled for plotting but masked in data\n", channel);
        }
    }
    if (count == 0) {
        std::fputs("All traces disabled\n", out);
        return -1;
    }
    uint64_t sum0[kChannelsPerGroup] = {};
    uint64_t sum1[kChannelsPerGroup] = {};
    if (!WriteDataFile(plotter, counters, channels, count, bins, sum0, sum1)) {
        std::fputs("file not allocated\n", out);
        return -1;
    }

    Send(plotter, out, " plot ");
    for (int k = 0; k < count; ++k) {
        const int channel = channels[k];
        const int i = positions[k];
        const double n = static_cast<double>(sum0[k]);
        const double mean = sum0[k] == 0 ? 0.0 : static_cast<double>(sum1[k]) / n;
        double variance = 0.0;
        const double* spectrum = counters.spectrum[channel];
        if (spectrum && sum0[k] != 0)
            for (int b = 0; b < bins; ++b) variance += (b - mean) * (b - mean) * spectrum[b];
        const double rms = sum0[k] == 0 ? 0.0 : std::sqrt(variance / n);
        std::snprintf(plotter.traceTitle[i], sizeof plotter.traceTitle[i], "Ch. %d - Events: %u, Avg: %.2f, RMS: %.2Lf",
                      channel, counters.channelHits[channel], mean, static_cast<long double>(rms));
        if (k > 0) Send(plotter, out, ", ");
        Send(plotter, out, "'%s' using ($1*%f):($%d*%f) title '%s' with step lc %d", plotter.dataFileQuoted.c_str(),
             static_cast<double>(plotter.xScale), k + 2, static_cast<double>(plotter.yScale), plotter.traceTitle[i],
             i + 1);
    }
    Send(plotter, out, "\n");
    return Flush(plotter, out) ? 0 : -1;
}

void ClosePlotter(Plotter& plotter) {
    plotter.pendingSize = 0;
    plotter.pipe.Close();
}

}  // namespace tessary

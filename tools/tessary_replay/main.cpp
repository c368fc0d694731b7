// tessary_replay: rebuilds a board's list and histogram files from the raw
// files of a run, and checks a run's files against its summary.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ExitStatus.h"
#include "Replay.h"
#include "SummaryCheck.h"

namespace {

constexpr const char* kHelp =
    "Usage: tessary_replay [--channels 32|64] [--overwrite] [--hdf5] CONFIG BOARD OUTDIR RAWFILE...\n"
    "       tessary_replay --verify SUMMARY.json\n"
    "       tessary_replay --help\n"
    "\n"
    "Replay: reads the raw files of board BOARD (its number in the order of the\n"
    "OPEN lines of CONFIG, from 0) and writes into OUTDIR the list and histogram\n"
    "files that Tessary_DAQ writes from the same data, as CONFIG's OUTFILE_LIST\n"
    "and OUTFILE_HISTO ask: the same names (OUTFILE_NAME and the board number),\n"
    "list segments cut by OUTFILE_MAXSIZE, and histograms of every event\n"
    "replayed. OUTDIR takes the place of OUTFILE_PATH and is created if its\n"
    "parent exists. No raw file is written. With --hdf5, or when CONFIG says\n"
    "OUTFILE_HDF5 YES, the board's HDF5 event file <prefix>_events_b<board>.h5\n"
    "is written too, with the rows and spectra the live run writes.\n"
    "\n"
    "Order: when every RAWFILE is named as the program names raw segments,\n"
    "<prefix>_raw_b<board>_seg<n>.bin, with one prefix and board, the files are\n"
    "replayed by segment number (seg2 before seg10, whatever order a shell glob\n"
    "gives); otherwise in the order given. A \"Warning:\" line names both files\n"
    "where the time stamps go backwards from one file's last event to the next\n"
    "file's first, and a file named for another board than BOARD.\n"
    "\n"
    "Existing files: the replay refuses to start when OUTDIR holds any of board\n"
    "BOARD's list segments or histogram files (of the kinds CONFIG asks for),\n"
    "naming the first, before anything is written; --overwrite writes over them,\n"
    "and warns of those of them it did not write again (later segments,\n"
    "histograms of other channels), which stay as they were.\n"
    "\n"
    "The channel count, which the program asks the board and CONFIG does not\n"
    "hold, is taken from the data: the boards send every block of their form, so\n"
    "a 64-channel board's events carry four blocks, a 32-channel board's two.\n"
    "Raw files whose events tell different counts (of different boards) are\n"
    "refused, and so are data that contradict --channels, which otherwise only\n"
    "serves when no event tells the count (64 is taken then). An event that\n"
    "tells another count than the files' first events is reported as damage.\n"
    "\n"
    "Each raw file must be a regular file of whole events: the program changes\n"
    "segments between transfers, so an event never continues in the next file,\n"
    "and one that runs past the end of its file means the file is truncated. A\n"
    "damaged file (cut short, a word where an event header belongs, an event\n"
    "size that cannot be, blocks that overrun their event, a length that is no\n"
    "whole number of words, a read error) is reported with its name and the\n"
    "byte offset; everything before that point is written and the files are\n"
    "closed properly. Pieces of a file cut elsewhere can be joined first (cat)\n"
    "and replayed as one. A raw file keeps no transfer boundaries: events are\n"
    "framed by the boards' header mark (0xA in bits 28-31 of an event's first\n"
    "word), and one word without it after an event is taken as the transfer's\n"
    "filler word (0xFFFFFFFF on these boards), which the decoder ignores too.\n"
    "\n"
    "Verify: re-reads every file that a run's summary names, compares each one's\n"
    "size and CRC-32C with the summary's, and prints one line per file (OK,\n"
    "MISMATCH, MISSING, UNREADABLE, or INCOMPLETE for a file the run could not\n"
    "write whole but whose kept bytes match, which counts as mismatched) and a\n"
    "count. Names must be relative to the summary's folder and\n"
    "stay inside it: a summary with an absolute name or one that climbs out with\n"
    "\"..\" is malformed, and no file is read. Files in the summary's folder\n"
    "that bear the run's prefix (<prefix> of <prefix>_summary.json, else the one\n"
    "that the program's file names in the summary share) but that the summary\n"
    "does not name are listed as EXTRA: a warning, which leaves the exit status\n"
    "as it is. The summary itself, <prefix>.lock, and the files of another run\n"
    "whose summary is in the folder (<prefix>_more_summary.json) are not EXTRA.\n"
    "\n"
    "Exit status:\n"
    "  0  done: every raw file replayed (Warning: lines aside) / every file\n"
    "     matches (EXTRA lines aside)\n"
    "  1  a raw file damaged (an event of another channel count too), truncated,\n"
    "     missing or unreadable (the files written hold everything before it) /\n"
    "     a file mismatched, missing, unreadable or incomplete\n"
    "  2  refused before anything was written: bad arguments, a configuration\n"
    "     the program would refuse, a board number outside it, output files that\n"
    "     exist already (without --overwrite), raw files of different channel\n"
    "     counts or against --channels; an unreadable or malformed summary\n"
    "  3  output files that could not be created or written whole\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "tessary_replay: %s\n", problem);
    std::fputs("Usage: tessary_replay [--channels 32|64] [--overwrite] [--hdf5] CONFIG BOARD OUTDIR RAWFILE...\n"
               "       tessary_replay --verify SUMMARY.json\n"
               "Try tessary_replay --help\n",
               stderr);
    return tessary::replay::kExitUsage;
}

// A board number: decimal digits only.
bool ParseBoard(const char* text, int& board) {
    if (*text == '\0' || std::strlen(text) > 4) return false;
    board = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return false;
        board = board * 10 + (*c - '0');
    }
    return true;
}

int Run(int argc, char** argv) {
    using namespace tessary::replay;
    int first = 1;
    ReplayRequest request;
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (argc > 1 && std::strcmp(argv[1], "--verify") == 0) {
        if (argc != 3) return Usage("--verify takes one summary file");
        return VerifySummary(argv[2]);
    }
    while (first < argc && argv[first][0] == '-' && argv[first][1] == '-') {
        if (std::strcmp(argv[first], "--channels") == 0) {
            const char* count = first + 1 < argc ? argv[first + 1] : "";
            if (std::strcmp(count, "32") != 0 && std::strcmp(count, "64") != 0)
                return Usage("--channels takes 32 or 64");
            request.channels = std::atoi(count);
            first += 2;
        } else if (std::strcmp(argv[first], "--overwrite") == 0) {
            request.overwrite = true;
            ++first;
        } else if (std::strcmp(argv[first], "--hdf5") == 0) {
            request.hdf5 = true;
            ++first;
        } else {
            return Usage("unknown option");
        }
    }
    if (argc - first < 4) return Usage("CONFIG, BOARD, OUTDIR and at least one RAWFILE are needed");
    request.config = argv[first];
    if (!ParseBoard(argv[first + 1], request.board)) return Usage("BOARD is a board number: 0, 1, ...");
    request.outputFolder = argv[first + 2];
    if (request.outputFolder.empty()) return Usage("OUTDIR is empty");
    for (int i = first + 3; i < argc; ++i) request.rawFiles.emplace_back(argv[i]);
    return Replay(request);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        // Only memory running out can get here.
        std::fprintf(stderr, "tessary_replay: %s\n", e.what());
        return tessary::replay::kExitOutput;
    }
}

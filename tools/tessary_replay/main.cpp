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
    "Usage: tessary_replay [--channels 32|64] CONFIG BOARD OUTDIR RAWFILE...\n"
    "       tessary_replay --verify SUMMARY.json\n"
    "       tessary_replay --help\n"
    "\n"
    "Replay: reads the raw files of board BOARD (its number in the order of the\n"
    "OPEN lines of CONFIG, from 0), given in segment order, and writes into OUTDIR\n"
    "the list and histogram files that Tessary_DAQ writes from the same data, as\n"
    "CONFIG's OUTFILE_LIST and OUTFILE_HISTO ask: the same names (OUTFILE_NAME and\n"
    "the board number), list segments cut by OUTFILE_MAXSIZE, and histograms of\n"
    "every event replayed. OUTDIR takes the place of OUTFILE_PATH and is created\n"
    "if its parent exists. No raw file is written.\n"
    "\n"
    "The channel count, which the program asks the board, is taken from the data\n"
    "(a 64-channel board's events carry four blocks, a 32-channel board's two);\n"
    "--channels gives it instead.\n"
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
    "Verify: re-reads every file that a run's summary names (names relative to\n"
    "the summary's folder), compares each one's size and CRC-32C with the\n"
    "summary's, and prints one line per file (OK, MISMATCH, MISSING,\n"
    "UNREADABLE, or INCOMPLETE for a file the run could not write whole but\n"
    "whose kept bytes match, which counts as mismatched) and a count.\n"
    "\n"
    "Exit status:\n"
    "  0  done: every raw file replayed / every file matches\n"
    "  1  a raw file damaged, truncated, missing or unreadable (the files written\n"
    "     hold everything before it) / a file mismatched, missing or unreadable\n"
    "  2  bad arguments, a configuration the program would refuse, a board\n"
    "     number outside it, an unreadable or malformed summary\n"
    "  3  output files that could not be created or written whole\n";

int Usage(const char* problem) {
    std::fprintf(stderr, "tessary_replay: %s\n", problem);
    std::fputs("Usage: tessary_replay [--channels 32|64] CONFIG BOARD OUTDIR RAWFILE...\n"
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
    if (argc > 1 && std::strcmp(argv[1], "--channels") == 0) {
        if (argc < 3 || (std::strcmp(argv[2], "32") != 0 && std::strcmp(argv[2], "64") != 0))
            return Usage("--channels takes 32 or 64");
        request.channels = std::atoi(argv[2]);
        first = 3;
    }
    if (first < argc && argv[first][0] == '-' && argv[first][1] == '-') return Usage("unknown option");
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

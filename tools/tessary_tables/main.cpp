// tessary_tables: prepares boards' offset and calibration tables.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "BoardLocation.h"
#include "DrelmTessaryLib.h"
#include "FlashTableDump.h"
#include "ProgressLine.h"
#include "StatusText.h"
#include "TableFolder.h"

namespace {

constexpr const char* kHelp =
    "Usage: tessary_tables --open \"<connection>\" [--open ...] <command> [<directory>] [<command> ...]\n"
    "\n"
    "Prepares the offset and calibration tables of Tessary boards. Each --open names\n"
    "one board as the configuration file's OPEN line does after the key:\n"
    "  USB <link> [<base>]\n"
    "  PCI <link> <node> [<base>]\n"
    "  USB_R210 <link> <node> [<base>]\n"
    "  ETH_R330 <host> <base>\n"
    "  USB_R330 <link> <base>\n"
    "Base addresses take 0x for hexadecimal. Commands run in the order given, on\n"
    "every board:\n"
    "  upload <dir>      store DAC_Offset_NEG.txt, DAC_Offset_POS.txt and the\n"
    "                    <DACDU|DACUD>_<channel>_<NEG|POS>.txt files of <dir> in the\n"
    "                    board's flash (missing files store zeros, with a warning;\n"
    "                    a folder that holds none of them is refused)\n"
    "  load              load the offset and calibration tables from the flash into\n"
    "                    the board (the calibration only if the board has none yet)\n"
    "  reload            the same, loading the calibration even if the board has it\n"
    "  load-files <dir>  load the calibration tables straight from the files of <dir>\n"
    "                    (missing files leave their tables as they were)\n"
    "  dump <dir>        write the tables held in the flash into files of the same\n"
    "                    names and formats in <dir> (a subfolder board<N> per board\n"
    "                    when several are open)\n"
    "\n"
    "On a terminal a line per board shows how far a command has come. Warnings\n"
    "and errors go to standard error.\n"
    "\n"
    "Example: tessary_tables --open \"USB 0\" upload examples/tables/demo load\n"
    "Exit status: 0 when every command succeeded, 1 otherwise (a board that can't\n"
    "be opened, a folder refused, a failed command), 2 for bad usage.\n";

struct Command {
    std::string verb;
    std::string directory;
};

bool NeedsDirectory(const std::string& verb) { return verb == "upload" || verb == "load-files" || verb == "dump"; }
bool KnownVerb(const std::string& verb) { return NeedsDirectory(verb) || verb == "load" || verb == "reload"; }

bool Report(const char* what, int board, int32_t status) {
    if (status == 0) return true;
    std::fprintf(stderr, "board %d: %s failed: %s\n", board, what, DescribeStatus(status).c_str());
    return false;
}

// While alive, what the library prints on standard output goes to a
// temporary file instead: its warnings name files the tool has reported
// already, and text in the middle of a progress line would break it.
class LibraryOutput {
public:
    LibraryOutput() {
        std::fflush(stdout);
        file_ = std::tmpfile();
        if (file_) saved_ = ::dup(STDOUT_FILENO);
        if (saved_ >= 0 && ::dup2(::fileno(file_), STDOUT_FILENO) < 0) {
            ::close(saved_);
            saved_ = -1;
        }
    }
    ~LibraryOutput() { Finish(); }
    LibraryOutput(const LibraryOutput&) = delete;
    LibraryOutput& operator=(const LibraryOutput&) = delete;

    // Puts standard output back and hands out the lines printed meanwhile.
    std::vector<std::string> Finish() {
        std::vector<std::string> lines;
        if (saved_ >= 0) {
            std::fflush(stdout);
            ::dup2(saved_, STDOUT_FILENO);
            ::close(saved_);
            saved_ = -1;
            std::rewind(file_);
            std::string line;
            for (int c; (c = std::fgetc(file_)) != EOF;) {
                if (c != '\n') {
                    line += static_cast<char>(c);
                    continue;
                }
                lines.push_back(line);
                line.clear();
            }
            if (!line.empty()) lines.push_back(line);
        }
        if (file_) std::fclose(file_);
        file_ = nullptr;
        return lines;
    }

private:
    std::FILE* file_ = nullptr;
    int saved_ = -1;
};

// One library call as a step of a command. On a terminal it runs on a
// worker thread while the board's line shows the step and the seconds it
// has taken (the library says nothing of its own progress); the line goes
// when the step ends. What the library printed goes to standard error,
// less the missing-file warnings the tool has given in its own words.
int32_t Step(ProgressLine& progress, int board, const std::string& what, const std::function<int32_t()>& call) {
    int32_t status = 0;
    LibraryOutput output;
    if (!progress.Active()) {
        status = call();
    } else {
        const std::string line = "Board " + std::to_string(board) + ": " + what;
        const auto start = std::chrono::steady_clock::now();
        auto job = std::async(std::launch::async, call);
        for (int turn = 0; job.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready; ++turn) {
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
            progress.Update(board, line + "  " + std::to_string(seconds) + " s " + "|/-\\"[turn % 4]);
        }
        status = job.get();
        progress.Update(board, "");
    }
    for (const std::string& text : output.Finish())
        if (text.find(" does not exist") == std::string::npos) std::fprintf(stderr, "%s\n", text.c_str());
    return status;
}

// The table files of the board in the folder, with a warning per group of
// missing ones. False, after one message, when the folder holds none.
bool CheckFiles(const char* verb, int board, int32_t handle, const std::string& dir, bool offsets,
                const char* consequence, TableFiles* files) {
    int32_t channels = 0;
    if (!Report("reading the channel count", board, DRELM_TSY_GetMaxChannels(handle, &channels))) return false;
    *files = FindTableFiles(dir, channels, offsets);
    if (files->present == 0) {
        std::fprintf(stderr,
                     "board %d: %s %s: refused, the folder holds none of the board's table files; nothing was %s\n",
                     board, verb, dir.c_str(), offsets ? "written" : "loaded");
        return false;
    }
    for (const std::string& missing : files->missing)
        std::fprintf(stderr, "Warning: board %d: no %s in %s; %s\n", board, missing.c_str(), dir.c_str(), consequence);
    return true;
}

// "board 0: uploaded 10 of 258 tables from demo; 248 missing, stored as zeros"
void Summary(int board, const char* verb, const TableFiles& files, const std::string& dir, const char* consequence) {
    if (files.present == files.expected)
        std::printf("board %d: %s %d tables from %s\n", board, verb, files.present, dir.c_str());
    else
        std::printf("board %d: %s %d of %d tables from %s; %d missing, %s\n", board, verb, files.present,
                    files.expected, dir.c_str(), files.expected - files.present, consequence);
    std::fflush(stdout);
}

bool Run(const Command& command, int board, int32_t handle, bool several, ProgressLine& progress) {
    const std::string& dir = command.directory;
    if (command.verb == "upload") {
        TableFiles files;
        if (!CheckFiles("upload", board, handle, dir, true, "stored as zeros", &files)) return false;
        const bool offsets = Report("offset upload", board, Step(progress, board, "uploading offsets (1/2)", [&] {
                                        return DRELM_TSY_UploadOffsetToFlash(handle, dir.c_str());
                                    }));
        const bool tables = Report("calibration upload", board,
                                   Step(progress, board, "uploading calibration (2/2)",
                                        [&] { return DRELM_TSY_UploadCalibToFlash(handle, dir.c_str()); }));
        if (offsets && tables) Summary(board, "uploaded", files, dir, "stored as zeros");
        return offsets && tables;
    }
    if (command.verb == "load" || command.verb == "reload") {
        if (command.verb == "reload" &&
            !Report("clearing the calibration-loaded bit", board, DRELM_TSY_ClearRegisterBitMask(handle, 0x80E4, 1)))
            return false;
        const bool offsets = Report("offset load", board, Step(progress, board, "loading offsets (1/2)", [&] {
                                        return DRELM_TSY_LoadOffset(handle);
                                    }));
        return Report("calibration load", board, Step(progress, board, "loading calibration (2/2)", [&] {
                          return DRELM_TSY_LoadCalibration(handle);
                      })) &&
               offsets;
    }
    if (command.verb == "load-files") {
        TableFiles files;
        if (!CheckFiles("load-files", board, handle, dir, false, "not loaded", &files)) return false;
        if (!Report("calibration load from files", board,
                    Step(progress, board, "loading calibration from files",
                         [&] { return DRELM_TSY_LoadCalibrationFromFiles(handle, dir.c_str()); })))
            return false;
        Summary(board, "loaded", files, dir, "not loaded (the board keeps what it had)");
        return true;
    }
    int32_t channels = 0;
    if (!Report("reading the channel count", board, DRELM_TSY_GetMaxChannels(handle, &channels))) return false;
    const std::string target = several ? dir + "/board" + std::to_string(board) : dir;
    const std::string line = "Board " + std::to_string(board) + ": dumping tables  ";
    std::string error;
    const bool dumped = DumpFlashTables(handle, channels, target, &error, [&](int done, int total) {
        progress.Update(board, line + std::to_string(100 * done / total) + "%");
    });
    progress.Update(board, "");
    if (!dumped) {
        std::fprintf(stderr, "board %d: dump failed: %s\n", board, error.c_str());
        return false;
    }
    return true;
}

// A folder to read tables from that can't be used is refused before any
// board is opened: nothing is written or loaded anywhere.
bool FolderUsable(const Command& command) {
    const bool offsets = command.verb == "upload";
    std::string problem = FolderProblem(command.directory);
    if (problem.empty() && FindTableFiles(command.directory, 64, offsets).present == 0)
        problem = offsets ? "the folder holds none of the table files (DAC_Offset_<NEG|POS>.txt, "
                            "<DACDU|DACUD>_<channel>_<NEG|POS>.txt)"
                          : "the folder holds none of the calibration table files "
                            "(<DACDU|DACUD>_<channel>_<NEG|POS>.txt)";
    if (problem.empty()) return true;
    std::fprintf(stderr, "%s %s: refused, %s; nothing was %s\n", command.verb.c_str(), command.directory.c_str(),
                 problem.c_str(), offsets ? "written" : "loaded");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<BoardLocation> boards;
    std::vector<std::string> places;  // as the --open options gave them
    std::vector<Command> commands;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--open") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "--open needs a connection, for example --open \"USB 0\"\n");
                return 2;
            }
            BoardLocation location;
            std::string error;
            if (!ParseBoardLocation(argv[++i], &location, &error)) {
                std::fprintf(stderr, "--open \"%s\": %s\n", argv[i], error.c_str());
                return 2;
            }
            boards.push_back(location);
            places.push_back(argv[i]);
            continue;
        }
        if (!KnownVerb(arg)) {
            std::fprintf(stderr, "unknown command \"%s\" (try --help)\n", arg.c_str());
            return 2;
        }
        Command command{arg, ""};
        if (NeedsDirectory(arg)) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a directory\n", arg.c_str());
                return 2;
            }
            command.directory = argv[++i];
        }
        commands.push_back(command);
    }
    if (boards.empty() || commands.empty()) {
        std::fputs(kHelp, stderr);
        return 2;
    }

    for (const Command& command : commands)
        if ((command.verb == "upload" || command.verb == "load-files") && !FolderUsable(command)) return 1;

    bool ok = true;
    std::vector<int32_t> handles;
    for (size_t b = 0; b < boards.size() && ok; ++b) {
        int32_t handle = -1;
        const int32_t status = OpenBoardAt(boards[b], &handle);
        if (status != 0) {
            std::fprintf(stderr, "board %zu (--open \"%s\"): cannot open: %s\n", b, places[b].c_str(),
                         DescribeStatus(status).c_str());
            ok = false;
            break;
        }
        handles.push_back(handle);
    }
    ProgressLine progress(static_cast<int>(handles.size()));
    for (const Command& command : commands) {
        if (!ok) break;
        for (size_t b = 0; b < handles.size(); ++b)
            ok = Run(command, static_cast<int>(b), handles[b], handles.size() > 1, progress) && ok;
    }
    for (int32_t handle : handles) DRELM_TSY_CloseTessary(handle);
    return ok ? 0 : 1;
}

// tessary_tables: prepares boards' offset and calibration tables.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BoardLocation.h"
#include "DrelmTessaryLib.h"
#include "FlashTableDump.h"

namespace {

constexpr const char* kHelp =
    "Usage: tessary_tables --open \"<connection>\" [--open ...] <command> [<directory>] [<command> ...]\n"
    "\n"
    "Prepares the offset and calibration tables of Tessary boards. Each --open names\n"
    "one board as the configuration file's OPEN line does after the key:\n"
    "  USB <link> [<base>]            PCI <link> <node> [<base>]\n"
    "  USB_R210 <link> <node> [<base>] ETH_R330 <host> <base>     USB_R330 <link> <base>\n"
    "Base addresses take 0x for hexadecimal. Commands run in the order given, on\n"
    "every board:\n"
    "  upload <dir>      store DAC_Offset_NEG.txt, DAC_Offset_POS.txt and the\n"
    "                    <DACDU|DACUD>_<channel>_<NEG|POS>.txt files of <dir> in the\n"
    "                    board's flash (missing files store zeros, with a warning)\n"
    "  load              load the offset and calibration tables from the flash into\n"
    "                    the board (the calibration only if the board has none yet)\n"
    "  reload            the same, loading the calibration even if the board has it\n"
    "  load-files <dir>  load the calibration tables straight from the files of <dir>\n"
    "  dump <dir>        write the tables held in the flash into files of the same\n"
    "                    names and formats in <dir> (a subfolder board<N> per board\n"
    "                    when several are open)\n"
    "\n"
    "Example: tessary_tables --open \"USB 0\" upload examples/tables/board0 load\n"
    "Exit status: 0 when every command succeeded, 1 otherwise, 2 for bad usage.\n";

struct Command {
    std::string verb;
    std::string directory;
};

bool NeedsDirectory(const std::string& verb) { return verb == "upload" || verb == "load-files" || verb == "dump"; }
bool KnownVerb(const std::string& verb) { return NeedsDirectory(verb) || verb == "load" || verb == "reload"; }

bool Report(const char* what, int board, int32_t status) {
    if (status == 0) return true;
    std::fprintf(stderr, "board %d: %s failed with status %d\n", board, what, status);
    return false;
}

bool Run(const Command& command, int board, int32_t handle, bool several) {
    const char* dir = command.directory.c_str();
    if (command.verb == "upload") {
        const bool offsets = Report("offset upload", board, DRELM_TSY_UploadOffsetToFlash(handle, dir));
        return Report("calibration upload", board, DRELM_TSY_UploadCalibToFlash(handle, dir)) && offsets;
    }
    if (command.verb == "load" || command.verb == "reload") {
        if (command.verb == "reload" &&
            !Report("clearing the calibration-loaded bit", board, DRELM_TSY_ClearRegisterBitMask(handle, 0x80E4, 1)))
            return false;
        const bool offsets = Report("offset load", board, DRELM_TSY_LoadOffset(handle));
        return Report("calibration load", board, DRELM_TSY_LoadCalibration(handle)) && offsets;
    }
    if (command.verb == "load-files")
        return Report("calibration load from files", board, DRELM_TSY_LoadCalibrationFromFiles(handle, dir));
    int32_t channels = 0;
    if (!Report("channel count", board, DRELM_TSY_GetMaxChannels(handle, &channels))) return false;
    const std::string target = several ? command.directory + "/board" + std::to_string(board) : command.directory;
    std::string error;
    if (!DumpFlashTables(handle, channels, target, &error)) {
        std::fprintf(stderr, "board %d: dump failed: %s\n", board, error.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<BoardLocation> boards;
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

    bool ok = true;
    std::vector<int32_t> handles;
    for (size_t b = 0; b < boards.size() && ok; ++b) {
        int32_t handle = -1;
        const int32_t status = OpenBoardAt(boards[b], &handle);
        if (status != 0) {
            std::fprintf(stderr, "board %zu: cannot open (status %d)\n", b, status);
            ok = false;
            break;
        }
        handles.push_back(handle);
    }
    for (const Command& command : commands) {
        if (!ok) break;
        for (size_t b = 0; b < handles.size(); ++b)
            ok = Run(command, static_cast<int>(b), handles[b], handles.size() > 1) && ok;
    }
    for (int32_t handle : handles) DRELM_TSY_CloseTessary(handle);
    return ok ? 0 : 1;
}

// A stand-in for the plotter that the program starts: it takes the command
// stream and draws nothing. What it does with the stream is read from a
// file "pgnuplot.mode" beside it: "record" appends the stream to
// "commands.txt" beside it, "exit" ends at once without reading; otherwise
// (or without the file) the stream is read and dropped. A program rather
// than a script, so that the same stand-in runs on every system.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::filesystem::path OwnFolder() {
#ifdef _WIN32
    wchar_t path[32768];
    const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
    return std::filesystem::path(std::wstring(path, length)).parent_path();
#else
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
#endif
}

}  // namespace

int main() {
    const std::filesystem::path folder = OwnFolder();
    std::string mode;
    std::ifstream(folder / "pgnuplot.mode") >> mode;
    if (mode == "exit") return 0;
    std::FILE* record = mode == "record" ? std::fopen((folder / "commands.txt").string().c_str(), "ab") : nullptr;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        if (record != nullptr) std::fwrite(buffer, 1, got, record), std::fflush(record);
    }
    if (record != nullptr) std::fclose(record);
    return 0;
}

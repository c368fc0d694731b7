// pgnuplot.exe: gnuplot for Windows reading its commands from standard
// input, as Tessary_DAQ starts it (GNUPLOT_PATH names the folder that holds
// this file). The program starts pgnuplot.exe without a shell, so the
// launcher is a program rather than a script: it finds gnuplot.exe (the
// GNUPLOT_EXE variable, else the PATH, else gnuplot's usual installation
// folder), runs it with the same standard input, output and error, and
// ends with its exit code. gnuplot draws in its own window and closes it
// when the program closes the pipe.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring Variable(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

std::wstring FindGnuplot() {
    if (std::wstring named = Variable(L"GNUPLOT_EXE"); !named.empty() && IsFile(named)) return named;
    wchar_t found[MAX_PATH];
    if (SearchPathW(nullptr, L"gnuplot.exe", nullptr, MAX_PATH, found, nullptr) > 0) return found;
    for (const wchar_t* root : {L"ProgramFiles", L"ProgramW6432", L"ProgramFiles(x86)"}) {
        const std::wstring folder = Variable(root);
        if (!folder.empty() && IsFile(folder + L"\\gnuplot\\bin\\gnuplot.exe"))
            return folder + L"\\gnuplot\\bin\\gnuplot.exe";
    }
    return {};
}

}  // namespace

int main() {
    const std::wstring gnuplot = FindGnuplot();
    if (gnuplot.empty()) {
        std::fputs("pgnuplot: gnuplot for Windows is not installed, so nothing can be plotted; install it "
                   "(into its usual folder, or on the PATH), or name gnuplot.exe in GNUPLOT_EXE\n",
                   stderr);
        return 127;
    }
    std::wstring command = L"\"" + gnuplot + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(gnuplot.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "pgnuplot: gnuplot could not be started (Windows error %lu)\n", GetLastError());
        return 126;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

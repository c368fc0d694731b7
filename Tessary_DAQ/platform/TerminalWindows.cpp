// Terminals on Windows: consoles. Progress lines move the cursor with
// escape sequences, which a console takes only with virtual terminal
// processing on; a console that cannot switch it on (before Windows 10)
// counts as no terminal, so it gets no progress lines rather than garbage.
// The mode is left on: it changes nothing for plain text.

#include "Terminal.h"

#include <fcntl.h>
#include <io.h>

#include "WindowsNames.h"

namespace tessary::platform {

namespace {

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

}  // namespace

bool IsTerminal(int fd) {
    const HANDLE handle = HandleOf(fd);
    DWORD mode = 0;
    // The NUL device passes _isatty; only a console has a console mode.
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

int DuplicateTerminal(int fd) {
    HANDLE copy = nullptr;
    const HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, HandleOf(fd), process, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) return -1;
    const int duplicate = _open_osfhandle(reinterpret_cast<intptr_t>(copy), _O_WRONLY | _O_BINARY);
    if (duplicate < 0) CloseHandle(copy);
    return duplicate;
}

int TerminalWidth(int fd) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(HandleOf(fd), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

bool WriteTerminal(int fd, const char* data, std::size_t size) {
    const HANDLE handle = HandleOf(fd);
    for (std::size_t done = 0; done < size;) {
        const std::size_t part = size - done < 65536 ? size - done : 65536;
        DWORD written = 0;
        if (!WriteFile(handle, data + done, static_cast<DWORD>(part), &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

void CloseTerminal(int fd) { _close(fd); }

}  // namespace tessary::platform


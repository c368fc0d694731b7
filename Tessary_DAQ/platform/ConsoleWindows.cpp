// Console keys on Windows. A console is read through the console input
// API, which reports each key once, arrows and function keys included, so
// there are no sequences to take apart. Pipes and files are read byte by
// byte as on POSIX systems, escape sequences and all. Nothing here can wait
// on a stop and the input together, so waits look at StopRequested() every
// few milliseconds.

#include "Console.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <io.h>
#include <mutex>
#include <thread>

#include "Clock.h"
#include "Signals.h"
#include "WindowsNames.h"

namespace tessary::platform {

namespace {

// The console a ConsoleKeys switched, its mode as found, and that object;
// the owner is set only after the rest is filled in.
HANDLE savedConsole = nullptr;
DWORD savedMode = 0;
std::atomic<const ConsoleKeys*> rawModeOwner{nullptr};

void RestoreAtExit() { RestoreConsole(); }

// Results of NextByte besides byte values.
constexpr int kEnd = -1;
constexpr int kTimeout = -2;
constexpr int kStopped = -3;
constexpr int kForever = -1;
constexpr DWORD kPollStepMs = 10;

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool IsModifier(WORD key) {
    switch (key) {
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_LWIN:
        case VK_RWIN:
        case VK_CAPITAL:
        case VK_NUMLOCK:
        case VK_SCROLL: return true;
        default: return false;
    }
}

// The key an input record stands for, or -1 for records that are no key
// (key releases, Shift alone, mouse, focus, window size).
int KeyOf(const INPUT_RECORD& record) {
    if (record.EventType != KEY_EVENT) return -1;
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    if (!key.bKeyDown || IsModifier(key.wVirtualKeyCode)) return -1;
    const wchar_t c = key.uChar.UnicodeChar;
    if (c == 0) return kUnknownKey;  // arrows, function keys: one key each
    if (c == 27) return kEscapeKey;
    // Alt with a key is one unknown key as on a terminal; AltGr (Ctrl and
    // Alt) only types a character.
    const DWORD alt = key.dwControlKeyState & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED);
    const bool ctrl = (key.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;
    if (alt != 0 && !ctrl) return kUnknownKey;
    // Characters beyond ASCII are no command key: one unknown key rather
    // than bytes of some code page.
    return c < 0x80 ? static_cast<int>(c) : kUnknownKey;
}

// Takes records off the console until a key is at hand or none is left;
// never blocks. -1 when none.
int ConsoleKey(HANDLE console) {
    for (;;) {
        DWORD count = 0;
        if (!GetNumberOfConsoleInputEvents(console, &count) || count == 0) return -1;
        INPUT_RECORD record{};
        DWORD got = 0;
        if (!ReadConsoleInputW(console, &record, 1, &got) || got == 0) return -1;
        const int key = KeyOf(record);
        if (key >= 0) return key;
    }
}

// Standard input that is a pipe which cannot be peeked (wine gives a Unix
// pipe so): a thread reads it ahead, blocking, and hands the bytes on. One
// per process, for the handle it was made for.
class PipeReader {
public:
    static PipeReader& For(HANDLE handle) {
        static PipeReader* reader = nullptr;
        static std::mutex made;
        std::lock_guard lock(made);
        // Never freed: its thread may be blocked in a read until the process ends.
        if (reader == nullptr || reader->handle_ != handle) reader = new PipeReader(handle);
        return *reader;
    }
    // A byte, or kEnd once the pipe has ended and everything was taken, or
    // kTimeout after waitMs.
    int Next(DWORD waitMs) {
        std::unique_lock lock(mutex_);
        arrived_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !bytes_.empty() || ended_; });
        if (!bytes_.empty()) {
            const int byte = bytes_.front();
            bytes_.pop_front();
            return byte;
        }
        return ended_ ? kEnd : kTimeout;
    }

private:
    explicit PipeReader(HANDLE handle) : handle_(handle) {
        std::thread([this] {
            unsigned char byte = 0;
            DWORD got = 0;
            while (ReadFile(handle_, &byte, 1, &got, nullptr) && got == 1) {
                std::lock_guard lock(mutex_);
                bytes_.push_back(byte);
                arrived_.notify_all();
            }
            std::lock_guard lock(mutex_);
            ended_ = true;
            arrived_.notify_all();
        }).detach();
    }

    HANDLE handle_;
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<unsigned char> bytes_;
    bool ended_ = false;
};

}  // namespace

void RestoreConsole() {
    if (rawModeOwner.load() == nullptr) return;
    SetConsoleMode(savedConsole, savedMode);
    rawModeOwner.store(nullptr);
}

ConsoleKeys::ConsoleKeys(int fd) : fd_(fd) {
    const HANDLE console = HandleOf(fd);
    DWORD found = 0;
    if (!IsConsole(console) || !GetConsoleMode(console, &found) || rawModeOwner.load() != nullptr) return;
    // Keys one by one, unechoed; processed input stays on so that Ctrl-C
    // still raises its event instead of arriving as a key.
    const DWORD raw = (found & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT)) | ENABLE_PROCESSED_INPUT;
    savedConsole = console;
    savedMode = found;
    rawModeOwner.store(this);
    if (!SetConsoleMode(console, raw)) {
        rawModeOwner.store(nullptr);
        return;
    }
    static const bool atExitRegistered = (std::atexit(RestoreAtExit) == 0);
    (void)atExitRegistered;
}

ConsoleKeys::~ConsoleKeys() {
    if (rawModeOwner.load() != this) return;
    SetConsoleMode(savedConsole, savedMode);
    rawModeOwner.store(nullptr);
}

bool ConsoleKeys::InRawMode() const { return rawModeOwner.load() == this; }

bool ConsoleKeys::KeyWaiting() {
    if (pending_ >= 0) return true;
    if (ended_) return false;
    const int next = NextByte(0);
    if (next < 0) return false;
    pending_ = next;
    return true;
}

int ConsoleKeys::ReadKey() {
    int byte;
    do {
        byte = NextByte(kForever);
    } while (byte == kTimeout);
    if (byte < 0) return kNoMoreKeys;
    // A console gives whole keys; bytes from elsewhere may hold sequences.
    if (byte == kEscapeKey && !IsConsole(HandleOf(fd_))) return AfterEscape();
    return byte;
}

// The next key or byte, waiting at most timeoutMs (kForever: no limit), or
// kEnd, kTimeout or kStopped.
int ConsoleKeys::NextByte(int timeoutMs) {
    if (pending_ >= 0) {
        const int byte = pending_;
        pending_ = -1;
        return byte;
    }
    if (ended_) return kEnd;
    const HANDLE input = HandleOf(fd_);
    if (input == INVALID_HANDLE_VALUE) {
        ended_ = true;
        return kEnd;
    }
    const bool console = IsConsole(input);
    const bool pipe = !console && GetFileType(input) == FILE_TYPE_PIPE;
    const int64_t deadline = MonotonicMs() + timeoutMs;
    for (;;) {
        if (console) {
            const int key = ConsoleKey(input);
            if (key >= 0) return key;
        } else if (!pipe) {
            return ReadByte();  // a file or device: a read never waits long
        } else {
            DWORD available = 0;
            if (!PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) {
                if (GetLastError() != ERROR_NOT_SUPPORTED) {
                    ended_ = true;  // the writer closed its end
                    return kEnd;
                }
                const int byte = PipeReader::For(input).Next(timeoutMs == kForever ? kPollStepMs : 0);
                if (byte == kEnd) ended_ = true;
                if (byte != kTimeout) return byte;
            } else if (available > 0) {
                return ReadByte();
            }
        }
        if (StopRequested()) return kStopped;
        DWORD wait = kPollStepMs;
        if (timeoutMs != kForever) {
            const int64_t left = deadline - MonotonicMs();
            if (left <= 0) return kTimeout;
            if (left < wait) wait = static_cast<DWORD>(left);
        }
        // A console handle is signalled while it holds input records.
        if (console) {
            WaitForSingleObject(input, wait);
        } else {
            Sleep(wait);
        }
    }
}

// Reads one byte that is there (or a file's next one), or notes the end.
int ConsoleKeys::ReadByte() {
    unsigned char byte = 0;
    DWORD got = 0;
    if (ReadFile(HandleOf(fd_), &byte, 1, &got, nullptr) && got == 1) return byte;
    ended_ = true;
    return kEnd;
}

}  // namespace tessary::platform


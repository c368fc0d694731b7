// A child process fed through a pipe, on Windows. Anonymous pipes cannot
// time a write out, so the pipe is a named one, used by this process only,
// whose writing end is overlapped: a write waits for the child at most
// kChildWriteTimeoutMs, and a child that has ended makes it fail (Windows
// has no SIGPIPE to fear). Only the pipe's reading end and the standard
// output and error go to the child: the other handles stay here.

#include "ChildProcess.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "Clock.h"
#include "WindowsNames.h"

namespace tessary::platform {

namespace {

constexpr int kKillWaitMs = 1000;
constexpr DWORD kPipeBytes = 65536;

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }

// The path with ".exe" added when its last part has no extension.
std::string ProgramPath(const std::string& path) {
    const std::size_t name = path.find_last_of("\\/");
    const std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && (name == std::string::npos || dot > name)) return path;
    return path + ".exe";
}

// A command line that gives the child its path as its only argument,
// quoted so that blanks stay part of it.
std::wstring CommandLine(const std::wstring& program) {
    std::wstring line = L"\"";
    std::size_t slashes = 0;
    for (const wchar_t c : program) {
        if (c == L'\\') {
            ++slashes;
        } else {
            if (c == L'"') line.append(slashes + 1, L'\\');
            slashes = 0;
        }
        line += c;
    }
    line.append(slashes, L'\\');  // a closing quote must not be escaped
    return line + L"\"";
}

// A pipe whose reading end (inheritable) goes to the child and whose
// writing end (overlapped) stays here. 0 or an errno value.
int MakePipe(HANDLE& readEnd, HANDLE& writeEnd) {
    static std::atomic<unsigned> serial{0};
    const std::wstring name = L"\\\\.\\pipe\\Tessary_DAQ-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(serial.fetch_add(1)) + L"-" + std::to_wstring(GetTickCount64());
    writeEnd = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, kPipeBytes, kPipeBytes, 0,
                                nullptr);
    if (writeEnd == INVALID_HANDLE_VALUE) return windows::ErrnoFrom(GetLastError());
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    readEnd = CreateFileW(name.c_str(), GENERIC_READ, 0, &inherit, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (readEnd == INVALID_HANDLE_VALUE) {
        const int error = windows::ErrnoFrom(GetLastError());
        CloseHandle(writeEnd);
        return error;
    }
    return 0;
}

// An inheritable copy of a standard handle, or null when there is none.
HANDLE InheritableCopy(DWORD which) {
    const HANDLE original = GetStdHandle(which);
    HANDLE copy = nullptr;
    if (original == nullptr || original == INVALID_HANDLE_VALUE) return nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), original, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

// Starts the program suspended, with only `handles` inherited. 0 or an
// errno value.
int Spawn(const std::wstring& program, HANDLE input, HANDLE output, HANDLE errors, PROCESS_INFORMATION& started) {
    HANDLE handles[3] = {input, output, errors};
    DWORD count = 1;
    if (output != nullptr) handles[count++] = output;
    if (errors != nullptr) handles[count++] = errors;
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::string storage(size, '\0');
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return windows::ErrnoFrom(GetLastError());
    int error = 0;
    if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles, count * sizeof(HANDLE),
                                   nullptr, nullptr)) {
        error = windows::ErrnoFrom(GetLastError());
    } else {
        STARTUPINFOEXW info{};
        info.StartupInfo.cb = sizeof info;
        info.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        info.StartupInfo.hStdInput = input;
        info.StartupInfo.hStdOutput = output;
        info.StartupInfo.hStdError = errors;
        info.lpAttributeList = attributes;
        std::wstring line = CommandLine(program);
        // Its own console group: a Ctrl-C at the console is the program's
        // alone, which then closes the pipe.
        const DWORD flags = CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT |
                            EXTENDED_STARTUPINFO_PRESENT;
        if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                            &info.StartupInfo, &started)) {
            // A file that is no program is refused as a non-executable is
            // elsewhere.
            const DWORD failure = GetLastError();
            error = failure == ERROR_BAD_EXE_FORMAT ? EACCES : windows::ErrnoFrom(failure);
        }
    }
    DeleteProcThreadAttributeList(attributes);
    return error;
}

// Waits up to `ms` for the process to end; true once it has.
bool Reap(HANDLE process, int ms) { return WaitForSingleObject(process, static_cast<DWORD>(ms)) != WAIT_TIMEOUT; }

}  // namespace

int ChildProcess::Start(const std::string& path) {
    Close();
    const std::wstring program = windows::WidePath(ProgramPath(path));
    // Checked first so that the usual mistakes get their own errno values.
    const DWORD attributes = GetFileAttributesW(program.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return windows::ErrnoFrom(GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EACCES;

    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (const int error = MakePipe(readEnd, writeEnd); error != 0) return error;
    const HANDLE output = InheritableCopy(STD_OUTPUT_HANDLE);
    const HANDLE errors = InheritableCopy(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    int error = Spawn(program, readEnd, output, errors, started);
    CloseHandle(readEnd);
    if (output != nullptr) CloseHandle(output);
    if (errors != nullptr) CloseHandle(errors);
    if (error != 0) {
        CloseHandle(writeEnd);
        return error;
    }
    // A job holds the child and whatever it starts, so that Close can end
    // them together; without a job (nested jobs refused on old systems) the
    // child alone is ended.
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job != nullptr && !AssignProcessToJobObject(job, started.hProcess)) {
        CloseHandle(job);
    } else {
        job_ = reinterpret_cast<std::intptr_t>(job);
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    process_ = reinterpret_cast<std::intptr_t>(started.hProcess);
    pid_ = static_cast<int>(started.dwProcessId);
    fd_ = _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY);
    if (fd_ < 0) {
        error = errno != 0 ? errno : EMFILE;
        CloseHandle(writeEnd);
        Close(0);
    }
    return error;
}

int ChildProcess::Write(const char* data, std::size_t size) {
    if (fd_ < 0) return EBADF;
    const HANDLE pipe = reinterpret_cast<HANDLE>(_get_osfhandle(fd_));
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) return ENOMEM;
    const int64_t deadline = MonotonicMs() + kChildWriteTimeoutMs;
    int result = 0;
    while (size > 0 && result == 0) {
        OVERLAPPED write{};
        write.hEvent = event;
        const DWORD part = size < kPipeBytes ? static_cast<DWORD>(size) : kPipeBytes;
        DWORD written = 0;
        if (!WriteFile(pipe, data, part, nullptr, &write) && GetLastError() != ERROR_IO_PENDING) {
            result = windows::ErrnoFrom(GetLastError());  // EPIPE: the child has ended
            break;
        }
        const int64_t left = deadline - MonotonicMs();
        if (WaitForSingleObject(event, static_cast<DWORD>(left > 0 ? left : 0)) == WAIT_TIMEOUT) {
            CancelIoEx(pipe, &write);
            result = ETIMEDOUT;
        }
        // After a cancel this waits for the write to be done with the buffer.
        if (!GetOverlappedResult(pipe, &write, &written, TRUE) && result == 0)
            result = windows::ErrnoFrom(GetLastError());
        data += written;
        size -= written;
    }
    CloseHandle(event);
    return result;
}

void ChildProcess::Close(int waitMs) {
    if (fd_ >= 0) {
        _close(fd_);
        fd_ = -1;
    }
    const HANDLE process = AsHandle(process_);
    const HANDLE job = AsHandle(job_);
    process_ = 0;
    job_ = 0;
    pid_ = -1;
    // Windows has no gentle way to stop a console program from outside:
    // one that outlives the wait is ended at once, and what it started
    // with it.
    if (process != nullptr && !Reap(process, waitMs)) {
        if (job != nullptr) {
            TerminateJobObject(job, 1);
        } else {
            TerminateProcess(process, 1);
        }
        Reap(process, kKillWaitMs);
    }
    if (process != nullptr) CloseHandle(process);
    if (job != nullptr) CloseHandle(job);
}

}  // namespace tessary::platform


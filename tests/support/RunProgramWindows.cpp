// The runner on Windows: CreateProcessW with a command line quoted as the C
// runtime splits it, names in UTF-16, an environment block with the
// additions, and only the three standard handles inherited.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "RunProgram.h"

namespace test_support {

namespace {

std::wstring Wide(std::string_view text) {
    const int size = static_cast<int>(text.size());
    const int length = text.empty() ? 0 : MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

// An argument that the C runtime reads back as it is: in quotes where it
// holds blanks or quotes (or is empty), a quote and the backslashes before
// it, or before the closing quote, escaped.
void AppendArgument(std::wstring& line, const std::wstring& argument) {
    if (!line.empty()) line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t slashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'"') line.append(slashes + 1, L'\\');
        slashes = c == L'\\' ? slashes + 1 : 0;
        line += c;
    }
    line.append(slashes, L'\\');
    line += L'"';
}

// Variable names are the same in any case; "=C:"-like entries (the drives'
// current folders) keep their leading '='.
std::wstring NameOf(const std::wstring& entry) {
    std::wstring name = entry.substr(0, entry.find(L'=', 1));
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towupper(c));
    return name;
}

// This process's environment with the additions, sorted by name as
// CreateProcessW expects.
std::wstring EnvironmentBlock(const Environment& additions) {
    std::vector<std::wstring> entries, added;
    for (const auto& [name, value] : additions) added.push_back(Wide(name) + L"=" + Wide(value));
    wchar_t* const block = GetEnvironmentStringsW();
    for (const wchar_t* entry = block; entry != nullptr && *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring name = NameOf(entry);
        if (std::none_of(added.begin(), added.end(), [&](const std::wstring& a) { return NameOf(a) == name; }))
            entries.emplace_back(entry);
    }
    if (block != nullptr) FreeEnvironmentStringsW(block);
    entries.insert(entries.end(), added.begin(), added.end());
    std::stable_sort(entries.begin(), entries.end(),
                     [](const std::wstring& a, const std::wstring& b) { return NameOf(a) < NameOf(b); });
    std::wstring joined;
    for (const std::wstring& entry : entries) joined += entry + L'\0';
    return joined + L'\0';
}

HANDLE Open(const std::filesystem::path& file, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(file.empty() ? L"NUL" : file.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string Message(const char* what, DWORD error) { return std::string(what) + ": error " + std::to_string(error); }

}  // namespace

void Process::Start(const std::vector<std::string>& command, const RunOptions& options,
                    const std::filesystem::path& in, const std::filesystem::path& out,
                    const std::filesystem::path& err) {
    if (command.empty()) {
        failure_ = "no program";
        return;
    }
    HANDLE handles[3] = {INVALID_HANDLE_VALUE, Open(out, true), INVALID_HANDLE_VALUE};
    HANDLE pipeInput = nullptr;
    if (options.in == RunOptions::Input::Pipe) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        if (CreatePipe(&handles[0], &pipeInput, &inherit, 0)) SetHandleInformation(pipeInput, HANDLE_FLAG_INHERIT, 0);
    } else {
        handles[0] = Open(in, false);
    }
    const bool shared = err == out;
    handles[2] = shared ? handles[1] : Open(err, true);
    DWORD count = shared ? 2 : 3;

    const std::wstring program = Wide(command[0]);
    std::wstring line, full(MAX_PATH * 4, L'\0');
    const DWORD length = GetFullPathNameW(program.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    full.resize(length > 0 && length < full.size() ? length : 0);
    for (const std::string& argument : command) AppendArgument(line, Wide(argument));
    std::wstring environment = EnvironmentBlock(options.environment);

    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    PROCESS_INFORMATION started{};
    if (std::find(handles, handles + 3, INVALID_HANDLE_VALUE) != handles + 3 || handles[0] == nullptr) {
        failure_ = Message("the standard files could not be opened", GetLastError());
    } else if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
        failure_ = Message("InitializeProcThreadAttributeList", GetLastError());
    } else {
        STARTUPINFOEXW info{};
        info.StartupInfo.cb = sizeof info;
        info.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        info.StartupInfo.hStdInput = handles[0];
        info.StartupInfo.hStdOutput = handles[1];
        info.StartupInfo.hStdError = handles[2];
        info.lpAttributeList = attributes;
        // A process group of its own, so that Stop's Ctrl-Break reaches it alone.
        const DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP | EXTENDED_STARTUPINFO_PRESENT;
        if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                       count * sizeof(HANDLE), nullptr, nullptr) ||
            !CreateProcessW(full.empty() ? program.c_str() : full.c_str(), line.data(), nullptr, nullptr, TRUE, flags,
                            environment.data(), nullptr, &info.StartupInfo, &started))
            failure_ = Message(command[0].c_str(), GetLastError());
        DeleteProcThreadAttributeList(attributes);
    }
    for (DWORD i = 0; i < count; ++i)
        if (handles[i] != INVALID_HANDLE_VALUE && handles[i] != nullptr) CloseHandle(handles[i]);
    if (!failure_.empty()) {
        if (pipeInput != nullptr) CloseHandle(pipeInput);
        return;
    }
    CloseHandle(started.hThread);
    started_ = true;
    process_ = reinterpret_cast<std::intptr_t>(started.hProcess);
    id_ = static_cast<long>(started.dwProcessId);
    if (pipeInput != nullptr) input_ = reinterpret_cast<std::intptr_t>(pipeInput);
}

bool Process::Write(std::string_view bytes) {
    while (input_ != -1 && !bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!WriteFile(reinterpret_cast<HANDLE>(input_), bytes.data(), chunk, &written, nullptr)) return false;
        bytes.remove_prefix(written);
    }
    return input_ != -1;
}

void Process::CloseInput() {
    if (input_ != -1) CloseHandle(reinterpret_cast<HANDLE>(input_));
    input_ = -1;
}

bool Process::Stop() {
    return started_ && !waited_ && GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(id_));
}

void Process::Kill() {
    if (started_ && !waited_) TerminateProcess(reinterpret_cast<HANDLE>(process_), 1);
}

int Process::Wait() {
    if (!started_ || waited_) return status_;
    CloseInput();
    const HANDLE process = reinterpret_cast<HANDLE>(process_);
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    waited_ = true;
    // Ended by an exception (an NTSTATUS error code) counts as ended by a signal does.
    status_ = ended && code < 0xC0000000u ? static_cast<int>(code) : -1;
    return status_;
}

}  // namespace test_support

// Paths on Windows.

#include "Paths.h"

#include <cstdlib>

#include "WindowsNames.h"

namespace tessary::platform {

namespace {

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

char PathSeparator() { return '\\'; }

const char* PathSeparators() { return "\\/"; }

bool IsAbsolutePath(std::string_view path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) return true;
    // "\\server\share" and "\folder" (the root of the current drive); Windows
    // takes '/' for '\' in both.
    return !path.empty() && IsSeparator(path.front());
}

std::optional<std::string> UserFolderFrom(const char* userProfile, const char* home) {
    const char* profile = IsSet(userProfile) ? userProfile : home;
    if (!IsSet(profile)) return std::nullopt;
    std::string folder(profile);
    // "C:\" or a profile given with its separator must not double it.
    if (!IsSeparator(folder.back())) folder += PathSeparator();
    folder += "Tessary_DAQ";
    folder += PathSeparator();
    if (folder.size() > kMaxUserFolderLength) return std::nullopt;
    return folder;
}

std::optional<std::string> UserFolder() {
    // Read wide and turned into UTF-8, the program's encoding of names:
    // getenv would give the ANSI code page, which cannot hold every name.
    const auto variable = [](const wchar_t* name) -> std::optional<std::string> {
        const wchar_t* value = _wgetenv(name);
        if (value == nullptr) return std::nullopt;
        return windows::Narrow(value);
    };
    const std::optional<std::string> profile = variable(L"USERPROFILE");
    const std::optional<std::string> home = variable(L"HOME");
    return UserFolderFrom(profile ? profile->c_str() : nullptr, home ? home->c_str() : nullptr);
}

}  // namespace tessary::platform


// Paths on POSIX systems.
#include "Paths.h"

#include <cstdlib>

namespace tessary::platform {

namespace {

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

}  // namespace

char PathSeparator() { return '/'; }

const char* PathSeparators() { return "/"; }

bool IsAbsolutePath(std::string_view path) { return !path.empty() && path.front() == '/'; }

std::optional<std::string> UserFolderFrom(const char* userProfile, const char* home) {
    const char* profile = IsSet(userProfile) ? userProfile : home;
    if (!IsSet(profile)) return std::nullopt;
    std::string folder(profile);
    // HOME=/ or a profile given with its separator must not double it.
    if (folder.back() != PathSeparator()) folder += PathSeparator();
    folder += "Tessary_DAQ";
    folder += PathSeparator();
    if (folder.size() > kMaxUserFolderLength) return std::nullopt;
    return folder;
}

std::optional<std::string> UserFolder() {
    return UserFolderFrom(std::getenv("USERPROFILE"), std::getenv("HOME"));
}

}  // namespace tessary::platform

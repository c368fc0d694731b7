// Paths of the operating system: the per-user folder, the path separator
// and absolute paths. One implementation file per operating system.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessary::platform {

// Longest per-user folder text, in characters.
inline constexpr std::size_t kMaxUserFolderLength = 127;

// The character that separates directory levels ('/' here, '\\' on Windows).
char PathSeparator();
// Every character taken as a separator ("/" here; "\\/" on Windows, which
// takes '/' for '\\'), for finding the last level of a path.
const char* PathSeparators();

// True for a path that names its place without a starting folder: here one
// that begins with '/'; on Windows one with a drive and a separator ("C:\",
// "C:/"), a network name ("\\server\share") or a separator first ("\data",
// on the current drive).
bool IsAbsolutePath(std::string_view path);

// The per-user folder of the program: the profile directory, then
// "Tessary_DAQ", then a separator. The profile directory is USERPROFILE
// where set and not empty, else HOME. Empty when neither is set or the
// result would be longer than kMaxUserFolderLength.
std::optional<std::string> UserFolder();

// The same, from the two variables' values as given (null when unset), so
// that the rule can be checked without changing the environment.
std::optional<std::string> UserFolderFrom(const char* userProfile, const char* home);

}  // namespace tessary::platform

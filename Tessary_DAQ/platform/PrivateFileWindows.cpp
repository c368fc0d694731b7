// Private files on Windows: created with a protected access list that lets
// only the current user in, and an existing one given that list before its
// content is replaced, as chmod 0600 does elsewhere.

#include "PrivateFile.h"

#include <cstring>
#include <vector>

#include "WindowsNames.h"

#include <aclapi.h>

namespace tessary::platform {

namespace {

// An access list with one entry: full control for the user this process
// runs as. False when the user or the list cannot be had.
bool UserOnlyList(std::vector<unsigned char>& tokenUser, std::vector<unsigned char>& list) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    tokenUser.assign(size, 0);
    const bool known = size > 0 && GetTokenInformation(token, TokenUser, tokenUser.data(), size, &size);
    CloseHandle(token);
    if (!known) return false;
    const PSID user = reinterpret_cast<TOKEN_USER*>(tokenUser.data())->User.Sid;
    const DWORD listSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user);
    list.assign(listSize, 0);
    auto* acl = reinterpret_cast<ACL*>(list.data());
    return InitializeAcl(acl, listSize, ACL_REVISION) && AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, user);
}

}  // namespace

bool WritePrivateFile(const std::string& path, const std::string& text, std::string& error) {
    const auto fail = [&](int code) {
        error = path + ": " + std::strerror(code);
        return false;
    };
    std::vector<unsigned char> tokenUser;
    std::vector<unsigned char> list;
    if (!UserOnlyList(tokenUser, list)) return fail(windows::ErrnoFrom(GetLastError()));
    auto* acl = reinterpret_cast<ACL*>(list.data());
    SECURITY_DESCRIPTOR descriptor{};
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    // Opened without truncating: the access list is put in place first. A
    // link is opened as itself, so that it can be refused below.
    const HANDLE file = CreateFileW(windows::WidePath(path).c_str(), GENERIC_WRITE | READ_CONTROL | WRITE_DAC, 0,
                                    &attributes, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail(windows::ErrnoFrom(GetLastError()));
    const auto failClosing = [&](int code) {
        CloseHandle(file);
        return fail(code);
    };
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic))
        return failClosing(windows::ErrnoFrom(GetLastError()));
    if (GetFileType(file) != FILE_TYPE_DISK ||
        (basic.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        CloseHandle(file);
        error = path + ": not a regular file";
        return false;
    }
    const DWORD applied = SetSecurityInfo(file, SE_FILE_OBJECT,
                                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                          nullptr, acl, nullptr);
    if (applied != ERROR_SUCCESS) return failClosing(windows::ErrnoFrom(applied));
    FILE_END_OF_FILE_INFO end{};
    if (!SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end))
        return failClosing(windows::ErrnoFrom(GetLastError()));
    std::size_t done = 0;
    while (done < text.size()) {
        const std::size_t left = text.size() - done;
        DWORD wrote = 0;
        if (!WriteFile(file, text.data() + done, static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30)), &wrote,
                       nullptr))
            return failClosing(windows::ErrnoFrom(GetLastError()));
        if (wrote == 0) return failClosing(ENOSPC);
        done += wrote;
    }
    if (!CloseHandle(file)) return fail(windows::ErrnoFrom(GetLastError()));
    return true;
}

}  // namespace tessary::platform


#include "win32/Win32OwnPath.h"

#include "win32/UniqueHandle.h"
#include "win32/WideText.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace Win32OwnPath {
namespace {

std::vector<BYTE> tokenInformation(TOKEN_INFORMATION_CLASS what) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const UniqueHandle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), what, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.get(), what, buffer.data(), size, &size)) return {};
    return buffer;
}

// The user, and the owner the system gives what the user creates (the Administrators group for an
// elevated administrator).
bool isUsersOwn(PSID owner) {
    const std::vector<BYTE> user = tokenInformation(TokenUser);
    if (!user.empty() && EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid)) return true;
    const std::vector<BYTE> creator = tokenInformation(TokenOwner);
    return !creator.empty() && EqualSid(owner, reinterpret_cast<const TOKEN_OWNER*>(creator.data())->Owner);
}

std::string accountName(PSID sid) {
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return narrowed(name);
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) return "?";
    std::string found = narrowed(text);
    LocalFree(text);
    return found;
}

// A volume without security (FAT on a memory stick) records no owner; anyone may write it anyway.
bool keepsOwners(HANDLE file) {
    DWORD flags = 0;
    return !GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
           (flags & FILE_PERSISTENT_ACLS) != 0;
}

bool isLink(HANDLE file) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

UniqueHandle openToLook(const std::wstring& path, DWORD flags) {
    return UniqueHandle(CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr));
}

std::wstring finalPath(HANDLE file) {
    std::wstring path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length >= path.size()) {
        path.resize(length);
        length = GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0);
    }
    path.resize(length < path.size() ? length : 0);
    return path;
}

} // namespace

Owner ownerOf(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return {!keepsOwners(file), "?"};
    Owner found;
    found.ours = owner ? isUsersOwn(owner) : !keepsOwners(file);
    if (!found.ours) found.name = owner ? accountName(owner) : "?";
    LocalFree(descriptor);
    return found;
}

bool namesADevice(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) return true;
    full.resize(length);
    // Windows itself turns a device's name into the device namespace; a name given there already
    // (\\.\COM1, \\?\GLOBALROOT\...) is a device too, unless it is a drive's or a share's path.
    if (full.starts_with(L"\\\\.\\")) return true;
    if (!full.starts_with(L"\\\\?\\")) return false;
    const std::wstring_view rest = std::wstring_view(full).substr(4);
    const bool drive = rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\';
    return !drive && !rest.starts_with(L"UNC\\");
}

Resolved resolve(const std::wstring& name) {
    Resolved r;
    r.path = name;
    const UniqueHandle itself = openToLook(name, FILE_FLAG_OPEN_REPARSE_POINT);
    if (!itself.valid()) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) r.error = error;
        return r;
    }
    const Owner owner = ownerOf(itself.get());
    if (!owner.ours) r.foreignOwner = owner.name;
    if (!owner.ours || !isLink(itself.get())) {
        r.exists = !isLink(itself.get());
        return r;
    }
    const UniqueHandle target = openToLook(name, 0);
    r.throughLink = true;
    if (!target.valid()) {
        r.error = GetLastError();
        return r;
    }
    r.path = finalPath(target.get());
    if (r.path.empty()) {
        r.error = GetLastError();
        return r;
    }
    const Owner targetOwner = ownerOf(target.get());
    if (!targetOwner.ours) r.foreignOwner = targetOwner.name;
    r.exists = true;
    return r;
}

} // namespace Win32OwnPath

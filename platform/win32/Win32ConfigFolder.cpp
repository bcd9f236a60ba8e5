#include "settings/ConfigFolder.h"

#include "settings/OptionsFile.h"
#include "win32/WideText.h"

#include <windows.h>

#include <shlobj.h>

namespace ConfigFolder {
namespace {

std::string workingFolderOptions() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(length, L'\0');
    folder.resize(GetCurrentDirectoryW(length, folder.data()));
    return narrowed(folder) + '\\' + OptionsFile::FileName;
}

bool exists(const std::string& path) {
    return GetFileAttributesW(widened(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::string path() {
    PWSTR roaming = nullptr;
    std::string folder;
    if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &roaming) == S_OK)
        folder = narrowed(roaming);
    CoTaskMemFree(roaming);
    return folder + "\\Lumevanta";
}

// The working folder's file when there is one (a portable folder, the files users already have);
// Windows gives every user a folder of their own, so no other user's file is set aside there.
std::string optionsFile() {
    const std::string here = workingFolderOptions();
    return exists(here) ? here : path() + '\\' + OptionsFile::FileName;
}

std::optional<ForeignFile> foreignOptionsFile() {
    return std::nullopt;
}

bool makeFolderFor(const std::string& file) {
    const std::wstring wide = widened(file);
    const std::size_t separator = wide.find_last_of(L"\\/");
    if (separator == std::wstring::npos) return true;
    const std::wstring folder = wide.substr(0, separator);
    if (folder.empty() || isFolder(folder)) return true;
    // Parents first; a drive root ("C:") is there already.
    const std::size_t parentEnd = folder.find_last_of(L"\\/");
    if (parentEnd != std::wstring::npos && parentEnd > 2 && !makeFolderFor(narrowed(folder))) return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace ConfigFolder

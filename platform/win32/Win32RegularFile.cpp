#include "settings/RegularFile.h"

#include "link/PortFailure.h"

#include "win32/UniqueHandle.h"
#include "win32/WideText.h"
#include "win32/Win32OwnPath.h"

#include <algorithm>
#include <random>

namespace RegularFile {
namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Status failureStatus(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Status::Missing : Status::Unusable;
}

// Fails only when nothing at all could be read; a later error keeps what came before it.
bool readInto(HANDLE file, std::size_t limit, Contents& contents) {
    char chunk[16 * 1024];
    for (;;) {
        // One byte beyond the limit says whether the file goes on.
        const std::size_t room = contents.text.size() < limit ? limit - contents.text.size() : 1;
        DWORD n = 0;
        if (!ReadFile(file, chunk, static_cast<DWORD>(std::min(sizeof chunk, room)), &n, nullptr))
            return !contents.text.empty();
        if (n == 0) {
            contents.whole = true;
            return true;
        }
        if (contents.text.size() >= limit) return true;
        contents.text.append(chunk, n);
    }
}

bool isPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// ownOnly refuses what the opened file shows to be another user's.
Contents readRegular(const std::wstring& path, std::size_t limit, bool ownOnly) {
    Contents contents;
    contents.status = Status::Unusable;
    if (Win32OwnPath::namesADevice(path)) return contents;
    // Without the backup flag a folder cannot be opened at all, and says "access denied".
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | READ_CONTROL, ShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) {
        contents.status = failureStatus(GetLastError());
        return contents;
    }
    // What counts is what was opened: a pipe or a console would block or never end.
    if (!isPlainFile(file.get())) return contents;
    if (ownOnly && !Win32OwnPath::ownerOf(file.get()).ours) {
        contents.status = Status::Foreign;
        return contents;
    }
    if (readInto(file.get(), limit, contents)) contents.status = Status::Read;
    return contents;
}

std::string lastErrorText(const std::string& step) {
    return step + ": " + systemErrorText(static_cast<int>(GetLastError()));
}

std::wstring folderOf(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::int64_t ageInSeconds(const FILETIME& written) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    return (ticks(now) - ticks(written)) / 10'000'000; // FILETIME counts 100 ns
}

// Deleted through a handle of its own, so that what was looked at is what goes.
void removeIfStaleAndOurs(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file.valid() || !GetFileInformationByHandle(file.get(), &info)) return;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return;
    if (ageInSeconds(info.ftLastWriteTime) <= StaleAfterSeconds || !Win32OwnPath::ownerOf(file.get()).ours) return;
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition, sizeof disposition);
}

// As on POSIX: a save killed before its rename leaves its temporary, which a later save removes.
void removeStaleTemporaries(const std::wstring& path) {
    const std::wstring folder = folderOf(path);
    const std::string fileName = narrowed(path.substr(folder.size()));
    const std::wstring pattern = path + widened(TemporaryMark) + L"*";
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (isTemporaryOf(narrowed(found.cFileName), fileName)) removeIfStaleAndOurs(folder + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

std::wstring randomLetters() {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof letters - 2);
    std::wstring text;
    for (std::size_t i = 0; i < TemporaryRandom.size(); ++i)
        text += static_cast<wchar_t>(letters[pick(random)]);
    return text;
}

// A new file beside the target that nobody else may open while it is written.
UniqueHandle createTemporary(const std::wstring& path, std::wstring& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = path + widened(TemporaryMark) + randomLetters();
        UniqueHandle file(
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.valid() || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return UniqueHandle();
}

bool writeAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        DWORD n = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 20));
        if (!WriteFile(file, text.data(), chunk, &n, nullptr) || n == 0) return false;
        text.remove_prefix(n);
    }
    return true;
}

// The replaced file keeps its permissions, attributes and creation time (ReplaceFileW), as the
// POSIX save keeps the mode; a new file takes its folder's.
bool moveInPlace(const std::wstring& temporary, const std::wstring& path, bool replacing) {
    if (replacing)
        return ReplaceFileW(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr);
    return MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH);
}

std::string writeThroughTemporary(const std::wstring& path, std::string_view text, bool replacing) {
    std::wstring temporary;
    UniqueHandle file = createTemporary(path, temporary);
    if (!file.valid()) return lastErrorText("creating a temporary file");
    std::string failure;
    if (!writeAll(file.get(), text))
        failure = lastErrorText("writing");
    else if (!FlushFileBuffers(file.get()))
        failure = lastErrorText("flushing");
    else if (!file.reset())
        failure = lastErrorText("closing");
    else if (!moveInPlace(temporary, path, replacing))
        failure = lastErrorText("replacing the file");
    if (!failure.empty()) {
        file.reset();
        DeleteFileW(temporary.c_str());
    }
    return failure;
}

} // namespace

Contents read(const std::string& path, std::size_t limit) {
    const std::wstring wide = widened(path);
    if (wide.empty()) return {Status::Unusable, {}, false};
    return readRegular(wide, limit, false);
}

Contents readOwn(const std::string& path, std::size_t limit) {
    const std::wstring wide = widened(path);
    if (wide.empty() || Win32OwnPath::namesADevice(wide)) return {Status::Unusable, {}, false};
    const Win32OwnPath::Resolved resolved = Win32OwnPath::resolve(wide);
    Contents contents;
    if (resolved.foreignOwner)
        contents.status = Status::Foreign;
    else if (resolved.error)
        contents.status = Status::Unusable;
    else if (resolved.exists)
        // Opened as any file, so that a placeholder of a cloud folder is fetched; the owner of what
        // was opened is looked at again.
        contents = readRegular(resolved.path, limit, true);
    return contents;
}

std::string replace(const std::string& linkOrPath, std::string_view text) {
    const std::wstring wide = widened(linkOrPath);
    if (wide.empty()) return linkOrPath + ": not a name Windows can take";
    if (Win32OwnPath::namesADevice(wide)) return linkOrPath + " is a device, not a file";
    // A link is written through only when the user made it, and only a file of the user's is
    // replaced: another user must not choose what a save overwrites.
    const Win32OwnPath::Resolved target = Win32OwnPath::resolve(wide);
    const std::string shown = narrowed(target.path);
    if (target.foreignOwner) return shown + " belongs to the user " + *target.foreignOwner + ", not to you";
    if (target.error) return linkOrPath + ": " + systemErrorText(static_cast<int>(target.error));
    const DWORD attributes = GetFileAttributesW(target.path.c_str());
    if (target.exists && attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return shown + " is a folder";
        if (attributes & FILE_ATTRIBUTE_READONLY) return shown + " is read-only";
    }
    removeStaleTemporaries(target.path);
    return writeThroughTemporary(target.path, text, target.exists);
}

} // namespace RegularFile

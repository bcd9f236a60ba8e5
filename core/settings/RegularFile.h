#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reading the files a user (or anyone who can write where they live) may have replaced by
// something else: only a regular file is read, since a FIFO would block the program for good and a
// device or /dev/zero would never end, and never more than a limit.
namespace RegularFile {

// The options file and the language packs are a few KB; anything beyond this is not theirs.
inline constexpr std::size_t TextLimit = 256 * 1024;

enum class Status {
    Read,     // text holds the file, or its first limit bytes
    Missing,  // no such file
    Unusable, // not a regular file, a symbolic-link loop, no permission, a read error
    Foreign,  // readOwn only: another user's file, or reached through another user's link
};

struct Contents {
    Status status = Status::Missing;
    std::string text;
    bool whole = false; // the file ended within the limit
};

Contents read(const std::string& path, std::size_t limit);
// As read, for what only the user may decide: the settings. Links are followed only when the user
// made them, and the file opened must be the user's.
Contents readOwn(const std::string& path, std::size_t limit);

// Replaces the file in one step once the new text is completely written, so a failure at any
// point leaves the old file as it was; a read-only file is never replaced. A symbolic link the user
// made is written through: its target is replaced, in the target's folder. Another user's link or
// file is never written, nor a file created where another user's link points. Temporaries that an
// earlier, interrupted save left beside the file are removed once they are a minute old. Returns an
// empty string on success, otherwise what went wrong.
std::string replace(const std::string& linkOrPath, std::string_view text);

// Lines as every reader of ours sees them: LF or CR LF ends one; a last line needs no ending.
inline std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// A save's temporary is the file's name with this after it and six letters or digits in place of
// the X's: a name nobody gives a file of their own, such as a backup, since stale ones are removed
// by name.
inline constexpr std::string_view TemporaryMark = ".saving-";
inline constexpr std::string_view TemporaryRandom = "XXXXXX";
// A save takes milliseconds; a temporary this old belongs to a save that was killed.
inline constexpr int StaleAfterSeconds = 60;
inline bool isTemporaryOf(std::string_view entry, std::string_view fileName) {
    if (entry.size() != fileName.size() + TemporaryMark.size() + TemporaryRandom.size()) return false;
    if (!entry.starts_with(fileName) || entry.substr(fileName.size(), TemporaryMark.size()) != TemporaryMark)
        return false;
    for (const char c : entry.substr(fileName.size() + TemporaryMark.size()))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    return true;
}

} // namespace RegularFile

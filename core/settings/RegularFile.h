#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>
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
    uid_t owner = 0;    // for Foreign: whose it is
};

Contents read(const std::string& path, std::size_t limit);
// As read, for what only the user may decide: the settings. Links are followed only when the user
// made them, and the file opened must be the user's.
Contents readOwn(const std::string& path, std::size_t limit);

// Lines as every reader of ours sees them: LF or CR LF ends one; a last line needs no ending.
std::vector<std::string_view> splitLines(std::string_view text);

} // namespace RegularFile

#include "settings/RegularFile.h"

#include "posix/OwnPath.h"
#include "posix/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {
namespace {

Status failureStatus(int error) {
    return error == ENOENT ? Status::Missing : Status::Unusable;
}

// Fails only when nothing at all could be read; a later error keeps what came before it.
bool readInto(int fd, std::size_t limit, Contents& contents) {
    char chunk[16 * 1024];
    for (;;) {
        // One byte beyond the limit says whether the file goes on.
        const std::size_t room = contents.text.size() < limit ? limit - contents.text.size() : 1;
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, room));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return !contents.text.empty();
        if (n == 0) {
            contents.whole = true;
            return true;
        }
        if (contents.text.size() >= limit) return true;
        contents.text.append(chunk, static_cast<std::size_t>(n));
    }
}

// openFlags adds to the plain read-only open; ownOnly refuses what the opened file shows to be another user's.
Contents readRegular(const std::string& path, std::size_t limit, int openFlags, bool ownOnly) {
    Contents contents;
    struct stat st {};
    // Looked at before opening, so that a device is never opened at all: opening a serial port, for
    // one, changes its modem lines.
    if (::stat(path.c_str(), &st) != 0) {
        contents.status = failureStatus(errno);
        return contents;
    }
    contents.status = Status::Unusable;
    if (!S_ISREG(st.st_mode)) return contents;
    // Non-blocking, should the name have been swapped for a FIFO since the look above.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | openFlags));
    if (!fd.valid()) {
        contents.status = failureStatus(errno);
        return contents;
    }
    // What counts is what was opened.
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return contents;
    if (ownOnly && st.st_uid != geteuid()) {
        contents.status = Status::Foreign;
        return contents;
    }
    if (readInto(fd.get(), limit, contents)) contents.status = Status::Read;
    return contents;
}

std::string errnoText(const char* step) {
    return std::string(step) + ": " + std::strerror(errno);
}

bool isReadOnly(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return false;
    // Root may write anyway; a file without write bits is still one the user meant to protect.
    return access(path.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

// A save killed between creating its temporary and renaming it leaves the temporary for good; the
// next save takes away those that are plainly ours and no longer in use. Another copy's save in
// progress is younger than a minute, and other users' files are left to them.
void removeStaleTemporaries(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(dir.get())) {
        if (!isTemporaryOf(entry->d_name, fileName)) continue;
        struct stat st {};
        if (fstatat(dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || now - st.st_mtime <= StaleAfterSeconds) continue;
        unlinkat(dirfd(dir.get()), entry->d_name, 0);
    }
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

Contents read(const std::string& path, std::size_t limit) {
    return readRegular(path, limit, 0, false);
}

Contents readOwn(const std::string& path, std::size_t limit) {
    const OwnPath::Resolved resolved = OwnPath::resolve(path);
    Contents contents;
    if (resolved.foreignOwner) {
        contents.status = Status::Foreign;
    } else if (resolved.error) {
        contents.status = Status::Unusable;
    } else if (resolved.exists) {
        // Not followed again: a link put in its place since the look above is not the user's choice.
        contents = readRegular(resolved.path, limit, O_NOFOLLOW, true);
    }
    return contents;
}

std::string replace(const std::string& linkOrPath, std::string_view text) {
    // A link is written through (its target replaced, as editors do) only when the user made it, and
    // only a file of the user's is replaced: another user must not choose what a save overwrites.
    const OwnPath::Resolved target = OwnPath::resolve(linkOrPath);
    if (target.foreignOwner)
        return target.path + " belongs to the user " + OwnPath::userName(*target.foreignOwner) + ", not to you";
    if (target.error) return linkOrPath + ": " + std::strerror(target.error);
    const std::string& path = target.path;
    if (isReadOnly(path)) return path + " is read-only";
    removeStaleTemporaries(path);
    std::string temporary = path + std::string(TemporaryMark) + std::string(TemporaryRandom);
    UniqueFd fd(mkstemp(temporary.data()));
    if (!fd.valid()) return errnoText("creating a temporary file");
    struct stat old {};
    const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    std::string failure;
    if (fchmod(fd.get(), mode) != 0)
        failure = errnoText("setting permissions");
    else if (!writeAll(fd.get(), text))
        failure = errnoText("writing");
    else if (fsync(fd.get()) != 0)
        failure = errnoText("flushing");
    else if (::close(fd.release()) != 0)
        failure = errnoText("closing");
    if (failure.empty() && std::rename(temporary.c_str(), path.c_str()) != 0) failure = errnoText("replacing the file");
    if (!failure.empty()) ::unlink(temporary.c_str());
    return failure;
}

} // namespace RegularFile

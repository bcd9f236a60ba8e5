#include "settings/RegularFile.h"

#include "posix/OwnPath.h"
#include "posix/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
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
        contents.owner = st.st_uid;
        return contents;
    }
    if (readInto(fd.get(), limit, contents)) contents.status = Status::Read;
    return contents;
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
        contents.owner = *resolved.foreignOwner;
    } else if (resolved.error) {
        contents.status = Status::Unusable;
    } else if (resolved.exists) {
        // Not followed again: a link put in its place since the look above is not the user's choice.
        contents = readRegular(resolved.path, limit, O_NOFOLLOW, true);
    }
    return contents;
}

std::vector<std::string_view> splitLines(std::string_view text) {
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

} // namespace RegularFile

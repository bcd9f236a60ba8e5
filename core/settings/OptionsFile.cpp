#include "settings/OptionsFile.h"

#include "posix/OwnPath.h"
#include "posix/UniqueFd.h"
#include "settings/RegularFile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace OptionsFile {
namespace {

struct LineFormat {
    const char* comment;
};
constexpr LineFormat lineFormats[] = {
    {"          ; hardware type"}, {"   ; show hints"},  {"   ; always on top"}, {"   ; port"}, {"   ; baudrate"},
    {"     ; ID, decimal format"}, {"     ; language "},
};
constexpr int TrailingEmptyLines = 3;

// A value runs up to the first blank of its line, so long port names and speeds read back whole.
std::string_view valueOf(std::string_view line) {
    return line.substr(0, line.find_first_of(" \t"));
}

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
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

// The temporaries of a save are the file's name with this after it (mkstemp fills in the X's): a
// name nobody gives a file of their own, such as a backup, since stale ones are removed by name.
constexpr std::string_view TemporaryMark = ".saving-";
constexpr std::string_view TemporaryRandom = "XXXXXX";
// A save takes milliseconds; a temporary this old belongs to a save that was killed.
constexpr std::time_t StaleAfterSeconds = 60;
bool isOurTemporaryName(std::string_view entry, std::string_view fileName) {
    if (entry.size() != fileName.size() + TemporaryMark.size() + TemporaryRandom.size()) return false;
    if (!entry.starts_with(fileName) || entry.substr(fileName.size(), TemporaryMark.size()) != TemporaryMark)
        return false;
    for (const char c : entry.substr(fileName.size() + TemporaryMark.size()))
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
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
        if (!isOurTemporaryName(entry->d_name, fileName)) continue;
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

namespace {

struct NumberScan {
    std::int64_t value = 0;
    bool digits = false; // at least one digit was read
    std::size_t end = 0; // where reading stopped
    bool overflow = false;
};

NumberScan scanNumber(std::string_view text) {
    NumberScan scan;
    std::size_t i = text.find_first_not_of(' ');
    if (i == std::string_view::npos) return scan;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 16;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text[i], base);
        if (digit < 0) break;
        if (scan.value > limit) {
            scan.overflow = true;
            break;
        }
        scan.value = scan.value * base + digit;
        scan.digits = true;
    }
    scan.end = i;
    if (negative) scan.value = -scan.value;
    return scan;
}

} // namespace

std::int64_t readNumber(std::string_view text) {
    return scanNumber(text).value;
}

std::optional<std::int64_t> readWholeNumber(std::string_view text) {
    const NumberScan scan = scanNumber(text);
    if (!scan.digits || scan.overflow || scan.end != text.size()) return std::nullopt;
    return scan.value;
}

StoredOptions parse(std::string_view text) {
    const auto lines = RegularFile::splitLines(text);
    auto line = [&](std::size_t n) { return n < lines.size() ? lines[n] : std::string_view{}; };

    StoredOptions o;
    o.deviceType = std::string(valueOf(line(0)));
    o.showHints = valueOf(line(1)) == "yes";
    o.alwaysOnTop = valueOf(line(2)) == "yes";
    o.port = std::string(valueOf(line(3)));
    // A negative or oversized speed is as malformed as letters would be.
    const std::int64_t speed = readNumber(valueOf(line(4)));
    o.baudRate =
        speed >= 0 && speed <= std::numeric_limits<std::uint32_t>::max() ? static_cast<std::uint32_t>(speed) : 0;
    // A wrapped ID would address another recorder on the same line.
    const std::string_view id = valueOf(line(5));
    const NumberScan idScan = scanNumber(id);
    if (idScan.overflow || idScan.value < 0 || idScan.value > 255)
        o.refusedId = std::string(id);
    else
        o.id = static_cast<std::uint8_t>(idScan.value);
    o.language = static_cast<std::uint8_t>(readNumber(line(6).substr(0, 1)) & 0xFF);
    return o;
}

std::string format(const StoredOptions& o) {
    const std::string values[] = {
        o.deviceType,
        o.showHints ? "yes" : "no",
        o.alwaysOnTop ? "yes" : "no",
        o.port,
        std::to_string(o.baudRate),
        std::to_string(o.id),
        std::to_string(o.language),
    };
    std::string text;
    for (std::size_t i = 0; i < std::size(values); ++i)
        text += values[i] + lineFormats[i].comment + "\r\n";
    for (int i = 0; i < TrailingEmptyLines; ++i)
        text += "\r\n";
    return text;
}

std::optional<std::string> read(const std::string& path) {
    RegularFile::Contents contents = RegularFile::readOwn(path, RegularFile::TextLimit);
    if (contents.status != RegularFile::Status::Read) return std::nullopt;
    return std::move(contents.text);
}

std::string write(const std::string& linkOrPath, std::string_view text) {
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

} // namespace OptionsFile

#include "settings/OptionsFile.h"

#include "base/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace OptionsFile {
namespace {

// Seven short lines; more than this is not an options file written by anyone.
constexpr std::size_t MaxReadBytes = 64 * 1024;

struct LineFormat {
    const char* comment;
};
constexpr LineFormat lineFormats[] = {
    {"          ; hardware type"}, {"   ; show hints"},  {"   ; always on top"}, {"   ; port"}, {"   ; baudrate"},
    {"     ; ID, decimal format"}, {"     ; language "},
};
constexpr int TrailingEmptyLines = 3;

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
    const auto lines = splitLines(text);
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
    o.id = static_cast<std::uint8_t>(readNumber(valueOf(line(5))) & 0xFF);
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
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return std::nullopt;
    std::string text(MaxReadBytes, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return got == 0 ? std::nullopt : std::optional<std::string>(text.substr(0, got));
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

std::string write(const std::string& path, std::string_view text) {
    if (isReadOnly(path)) return path + " is read-only";
    std::string temporary = path + ".XXXXXX";
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

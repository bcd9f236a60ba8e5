#include "settings/OptionsFile.h"

#include "settings/RegularFile.h"

#include <cctype>
#include <limits>
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

std::string write(const std::string& path, std::string_view text) {
    return RegularFile::replace(path, text);
}

} // namespace OptionsFile

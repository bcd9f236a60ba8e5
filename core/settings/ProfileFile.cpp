#include "settings/ProfileFile.h"

#include "settings/ConfigFolder.h"
#include "settings/OptionsFile.h"
#include "settings/RegularFile.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

namespace {

// Far beyond any placement file; a bigger one is not ours, and rewriting it whole is not wanted.
constexpr std::size_t MaxFileBytes = 16u << 20;
constexpr const char* DefaultLineEnd = "\r\n";

// One line as it is in the file: its text and the break that ends it (empty on a last line without one).
struct Line {
    std::string body;
    std::string end;
};

struct KeyLine {
    std::string_view key;
    std::string_view value;
    std::size_t valueStart = 0; // just after the '='
};

enum class ReadResult { Read, Missing, Failed };

// Anything but a regular file that reads whole is left alone, neither read nor replaced.
ReadResult readFile(const std::string& path, std::string& text) {
    RegularFile::Contents contents = RegularFile::readOwn(path, MaxFileBytes);
    text.clear();
    if (contents.status == RegularFile::Status::Missing) return ReadResult::Missing;
    if (contents.status != RegularFile::Status::Read || !contents.whole) return ReadResult::Failed;
    text = std::move(contents.text);
    return ReadResult::Read;
}

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        if (newline == std::string_view::npos) {
            lines.push_back({std::string(text), {}});
            break;
        }
        const bool crlf = newline > 0 && text[newline - 1] == '\r';
        const std::size_t bodyLength = crlf ? newline - 1 : newline;
        lines.push_back({std::string(text.substr(0, bodyLength)), crlf ? "\r\n" : "\n"});
        text.remove_prefix(newline + 1);
    }
    return lines;
}

std::string joinLines(const std::vector<Line>& lines) {
    std::string text;
    for (const Line& line : lines)
        text += line.body + line.end;
    return text;
}

std::string_view trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

std::optional<std::string_view> sectionOf(std::string_view body) {
    const std::string_view text = trim(body);
    if (text.empty() || text.front() != '[') return std::nullopt;
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trim(text.substr(1, close - 1));
}

std::optional<KeyLine> keyOf(std::string_view body) {
    const std::string_view text = trim(body);
    if (text.empty() || text.front() == ';' || text.front() == '#' || text.front() == '[') return std::nullopt;
    const std::size_t equals = body.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view key = trim(body.substr(0, equals));
    if (key.empty()) return std::nullopt;
    return KeyLine{key, trim(body.substr(equals + 1)), equals + 1};
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view stored, std::string_view wanted) {
    return stored.size() == wanted.size() && std::equal(stored.begin(), stored.end(), wanted.begin(),
                                                        [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos;
}

bool storableSection(std::string_view section) {
    return !trim(section).empty() && !hasLineBreak(section) && section.find(']') == std::string_view::npos;
}

bool storableKey(std::string_view key) {
    const std::string_view name = trim(key);
    return !name.empty() && !hasLineBreak(key) && key.find('=') == std::string_view::npos && name.front() != '[' &&
           name.front() != ';' && name.front() != '#';
}

// New lines follow the file's own line breaks.
std::string lineEndOf(const std::vector<Line>& lines) {
    for (const Line& line : lines)
        if (!line.end.empty()) return line.end;
    return DefaultLineEnd;
}

void setValue(std::vector<Line>& lines, std::string_view section, std::string_view key, std::string_view value) {
    const std::string eol = lineEndOf(lines);
    const std::string newLine = std::string(trim(key)) + "=" + std::string(value);
    bool inSection = false;
    bool inFirstSection = false;
    std::optional<std::size_t> insertAt; // after the last key of the first matching section
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionOf(lines[i].body)) {
            inSection = sameName(*name, section);
            inFirstSection = inSection && !insertAt;
            if (inFirstSection) insertAt = i + 1;
            continue;
        }
        if (!inSection) continue;
        const auto keyLine = keyOf(lines[i].body);
        if (!keyLine) continue;
        if (sameName(keyLine->key, key)) {
            // The key keeps its spelling and the blanks before '='; only the value changes.
            lines[i].body = lines[i].body.substr(0, keyLine->valueStart) + std::string(value);
            return;
        }
        if (inFirstSection) insertAt = i + 1;
    }
    if (!insertAt) {
        if (!lines.empty()) {
            if (lines.back().end.empty()) lines.back().end = eol;
            if (!trim(lines.back().body).empty()) lines.push_back({{}, eol});
        }
        // Appended piece by piece: GCC 12 at -O3 warns falsely about "[" + string + "]".
        std::string header(1, '[');
        header.append(trim(section)).push_back(']');
        lines.push_back({std::move(header), eol});
        lines.push_back({newLine, eol});
        return;
    }
    if (lines[*insertAt - 1].end.empty()) lines[*insertAt - 1].end = eol;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*insertAt), Line{newLine, eol});
}

} // namespace

std::string ProfileFile::readString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue) const {
    std::string text;
    if (readFile(path_, text) != ReadResult::Read) return defaultValue;
    const std::string_view wantedSection = trim(section);
    const std::string_view wantedKey = trim(key);
    bool inSection = false;
    for (const Line& line : splitLines(text)) {
        if (const auto name = sectionOf(line.body)) {
            inSection = sameName(*name, wantedSection);
            continue;
        }
        if (!inSection) continue;
        const auto keyLine = keyOf(line.body);
        if (keyLine && sameName(keyLine->key, wantedKey)) {
            return std::string(unquoted(keyLine->value));
        }
    }
    return defaultValue;
}

bool ProfileFile::writeString(const std::string& section, const std::string& key, const std::string& value) const {
    return writeSection(section, {{key, value}});
}

bool ProfileFile::writeSection(const std::string& section, const KeyValues& values) const {
    if (!storableSection(section)) return false;
    for (const auto& [key, value] : values)
        if (!storableKey(key) || hasLineBreak(value)) return false;

    std::string text;
    // A file that exists but cannot be read whole is left alone rather than replaced by a part of it.
    if (readFile(path_, text) == ReadResult::Failed) return false;
    std::vector<Line> lines = splitLines(text);
    for (const auto& [key, value] : values)
        setValue(lines, trim(section), trim(key), value);

    if (!ConfigFolder::makeFolderFor(path_)) return false;
    return OptionsFile::write(path_, joinLines(lines)).empty();
}

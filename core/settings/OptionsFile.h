#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// options.ini: seven value lines, each a value followed by blanks and a comment, then three empty
// lines. Reading is positional and lenient: missing lines and malformed numbers give defaults.
struct StoredOptions {
    std::string deviceType;
    bool showHints = false;
    bool alwaysOnTop = false;
    std::string port;
    std::uint32_t baudRate = 0;
    std::uint8_t id = 0;
    std::uint8_t language = 0;
    // The ID line's value when it names no recorder (outside 0..255): it is not applied, and id stays 0.
    std::optional<std::string> refusedId = std::nullopt;

    bool operator==(const StoredOptions&) const = default;
};

namespace OptionsFile {

inline constexpr const char* FileName = "options.ini";

StoredOptions parse(std::string_view text);
std::string format(const StoredOptions& options);

// A decimal number with an optional sign, or hexadecimal after "$", "x" or "0x"; reading stops at
// the first character that does not fit, and nothing readable gives 0.
std::int64_t readNumber(std::string_view text);
// The same rules, for a text that must be a number and nothing else.
std::optional<std::int64_t> readWholeNumber(std::string_view text);

// The file's text, or nothing when it is missing, no regular file, or not the user's (see
// RegularFile::readOwn). Only the head of a huge file is read.
std::optional<std::string> read(const std::string& path);

// Saves the file as RegularFile::replace does. Returns an empty string on success, otherwise what
// went wrong.
std::string write(const std::string& path, std::string_view text);

} // namespace OptionsFile

#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The core's paths are UTF-8 text. std::filesystem reads a plain string in the system's narrow code
// page, which on Windows is not UTF-8, so every crossing goes through these.
inline std::filesystem::path utf8Path(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

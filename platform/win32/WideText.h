#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The core speaks UTF-8; Windows' wide calls take UTF-16. Text that is not valid UTF-8 converts to
// nothing, so a broken name never reaches a call as a different name.
inline std::wstring widened(std::string_view text) {
    // A NUL would end the name early at every call that takes it.
    if (text.find('\0') != std::string_view::npos) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
    return wide;
}

inline std::string narrowed(std::wstring_view text) {
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

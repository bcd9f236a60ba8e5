#pragma once

#include <cstdint>
#include <vector>

// A decoded picture as every front end can take it: 8-bit red, green and blue per pixel, rows from
// the top, no padding.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;

    const std::uint8_t* row(int y) const { return rgb.data() + static_cast<std::size_t>(y) * width * 3; }
    std::uint8_t* row(int y) { return rgb.data() + static_cast<std::size_t>(y) * width * 3; }
};

// Large enough for any panel picture by far; a header that claims more is taken as a lie.
inline bool plausiblePictureSize(std::int64_t width, std::int64_t height) {
    constexpr std::int64_t MaxSide = 8192;
    constexpr std::int64_t MaxPixels = 16 * 1024 * 1024;
    return width > 0 && height > 0 && width <= MaxSide && height <= MaxSide && width * height <= MaxPixels;
}

inline Pixels blankPixels(int width, int height) {
    return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 3)};
}

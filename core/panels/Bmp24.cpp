#include "panels/Bmp24.h"

namespace Bmp24 {
namespace {

constexpr int FileHeaderSize = 14;
constexpr int InfoHeaderSize = 40;
constexpr int PixelOffset = FileHeaderSize + InfoHeaderSize;

std::int64_t stride(std::int64_t width) {
    return (width * 3 + 3) / 4 * 4;
}

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xff));
}

std::uint32_t getLe(std::span<const std::uint8_t> data, int offset, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | data[static_cast<std::size_t>(offset + i)];
    return value;
}

std::int32_t getLeSigned(std::span<const std::uint8_t> data, int offset) {
    return static_cast<std::int32_t>(getLe(data, offset, 4));
}

void appendHeaders(std::vector<std::uint8_t>& out, int width, int height, std::int64_t pixelBytes) {
    out.push_back('B');
    out.push_back('M');
    putLe(out, static_cast<std::uint32_t>(PixelOffset + pixelBytes), 4);
    putLe(out, 0, 4); // reserved
    putLe(out, PixelOffset, 4);
    putLe(out, InfoHeaderSize, 4);
    putLe(out, static_cast<std::uint32_t>(width), 4);
    putLe(out, static_cast<std::uint32_t>(height), 4); // positive: bottom-up
    putLe(out, 1, 2);                                  // planes
    putLe(out, 24, 2);                                 // bits per pixel
    putLe(out, 0, 4);                                  // uncompressed
    putLe(out, static_cast<std::uint32_t>(pixelBytes), 4);
    putLe(out, 2835, 4); // 72 dpi
    putLe(out, 2835, 4);
    putLe(out, 0, 4); // no palette
    putLe(out, 0, 4);
}

struct Header {
    std::int64_t fileSize, pixelOffset, infoSize, width, height, planes, bitCount, compression, imageSize;
};

Header readHeader(std::span<const std::uint8_t> data) {
    return {getLe(data, 2, 4),  getLe(data, 10, 4), getLe(data, 14, 4), getLeSigned(data, 18), getLeSigned(data, 22),
            getLe(data, 26, 2), getLe(data, 28, 2), getLe(data, 30, 4), getLe(data, 34, 4)};
}

// Uncompressed 24-bit only, every size consistent, all rows inside the data.
bool validHeader(const Header& h, std::int64_t dataSize) {
    const std::int64_t rows = h.height < 0 ? -h.height : h.height;
    if (h.infoSize < InfoHeaderSize || h.infoSize > dataSize - FileHeaderSize) return false;
    if (h.pixelOffset < FileHeaderSize + h.infoSize || h.pixelOffset > dataSize) return false;
    if (h.fileSize != 0 && h.fileSize > dataSize) return false;
    if (h.planes != 1 || h.bitCount != 24 || h.compression != 0) return false;
    if (!plausiblePictureSize(h.width, rows)) return false;
    const std::int64_t pixelBytes = stride(h.width) * rows;
    if (h.imageSize != 0 && h.imageSize < pixelBytes) return false;
    return pixelBytes <= dataSize - h.pixelOffset;
}

} // namespace

std::vector<std::uint8_t> encode(const Pixels& picture) {
    if (picture.width <= 0 || picture.height <= 0) return {};
    const std::int64_t rowBytes = stride(picture.width);
    const std::int64_t pixelBytes = rowBytes * picture.height;
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(PixelOffset + pixelBytes));
    appendHeaders(out, picture.width, picture.height, pixelBytes);
    const std::size_t padding = static_cast<std::size_t>(rowBytes - picture.width * 3);
    for (int y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* row = picture.row(y);
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* px = row + 3 * x;
            out.insert(out.end(), {px[2], px[1], px[0]});
        }
        out.insert(out.end(), padding, 0);
    }
    return out;
}

std::optional<Pixels> decode(std::span<const std::uint8_t> data) {
    if (data.size() < PixelOffset || data[0] != 'B' || data[1] != 'M') return std::nullopt;
    const Header header = readHeader(data);
    if (!validHeader(header, static_cast<std::int64_t>(data.size()))) return std::nullopt;
    const int width = static_cast<int>(header.width);
    const int rows = static_cast<int>(header.height < 0 ? -header.height : header.height);
    const bool bottomUp = header.height > 0;
    Pixels picture = blankPixels(width, rows);
    const std::int64_t rowBytes = stride(width);
    const std::uint8_t* pixels = data.data() + header.pixelOffset;
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* source = pixels + rowBytes * (bottomUp ? rows - 1 - y : y);
        std::uint8_t* target = picture.row(y);
        for (int x = 0; x < width; ++x) {
            target[3 * x] = source[3 * x + 2];
            target[3 * x + 1] = source[3 * x + 1];
            target[3 * x + 2] = source[3 * x];
        }
    }
    return picture;
}

} // namespace Bmp24

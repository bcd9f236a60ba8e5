#include "panels/ImageCodecs.h"

#include <QBuffer>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE

#include <jpeglib.h>

namespace {

// Large enough for any panel picture by far; anything beyond is taken as a lie in the header.
constexpr std::int64_t MaxSide = 8192;
constexpr std::int64_t MaxPixels = 16 * 1024 * 1024;

bool plausibleSize(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= MaxSide && height <= MaxSide && width * height <= MaxPixels;
}

// ---- BMP ----

constexpr int FileHeaderSize = 14;
constexpr int InfoHeaderSize = 40;
constexpr int PixelOffset = FileHeaderSize + InfoHeaderSize;

std::int64_t bmpStride(std::int64_t width) {
    return (width * 3 + 3) / 4 * 4;
}

void putLe(QByteArray& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

std::uint32_t getLe(const QByteArray& data, int offset, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(data[offset + i]);
    return value;
}

std::int32_t getLeSigned(const QByteArray& data, int offset) {
    return static_cast<std::int32_t>(getLe(data, offset, 4));
}

void appendBmpHeaders(QByteArray& out, int width, int height, std::int64_t pixelBytes) {
    out.append("BM");
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

struct BmpHeader {
    std::int64_t fileSize, pixelOffset, infoSize, width, height, planes, bitCount, compression, imageSize;
};

BmpHeader readBmpHeader(const QByteArray& data) {
    return {getLe(data, 2, 4),  getLe(data, 10, 4), getLe(data, 14, 4), getLeSigned(data, 18), getLeSigned(data, 22),
            getLe(data, 26, 2), getLe(data, 28, 2), getLe(data, 30, 4), getLe(data, 34, 4)};
}

// Uncompressed 24-bit only, every size consistent, all rows inside the data.
bool validBmpHeader(const BmpHeader& h, std::int64_t dataSize) {
    const std::int64_t rows = h.height < 0 ? -h.height : h.height;
    if (h.infoSize < InfoHeaderSize || h.infoSize > dataSize - FileHeaderSize) return false;
    if (h.pixelOffset < FileHeaderSize + h.infoSize || h.pixelOffset > dataSize) return false;
    if (h.fileSize != 0 && h.fileSize > dataSize) return false;
    if (h.planes != 1 || h.bitCount != 24 || h.compression != 0) return false;
    if (!plausibleSize(h.width, rows)) return false;
    const std::int64_t pixelBytes = bmpStride(h.width) * rows;
    if (h.imageSize != 0 && h.imageSize < pixelBytes) return false;
    return pixelBytes <= dataSize - h.pixelOffset;
}

// ---- JPEG ----
// libjpeg reports fatal errors through error_exit, which must not return; it longjmps back to the
// frame that called setjmp. Those frames hold only trivially destructible objects, and the Qt
// objects live in callers the jump never crosses.

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
};

[[noreturn]] void escapeOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->escape, 1);
}

// Corrupt-data warnings would otherwise hand back a half-grey picture.
void escapeOnWarning(j_common_ptr info, int level) {
    if (level < 0) escapeOnError(info);
}

void keepQuiet(j_common_ptr) {}

void installErrors(JpegErrors& errors) {
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = escapeOnError;
    errors.manager.emit_message = escapeOnWarning;
    errors.manager.output_message = keepQuiet;
}

// Compressed bytes go straight into a QByteArray owned by the caller, so nothing leaks when libjpeg
// gives up half way.
struct ByteSink {
    jpeg_destination_mgr manager;
    QByteArray* bytes;
};

ByteSink& sinkOf(j_compress_ptr info) {
    return *reinterpret_cast<ByteSink*>(info->dest);
}

void startSink(j_compress_ptr info) {
    ByteSink& sink = sinkOf(info);
    sink.bytes->resize(64 * 1024);
    sink.manager.next_output_byte = reinterpret_cast<JOCTET*>(sink.bytes->data());
    sink.manager.free_in_buffer = static_cast<std::size_t>(sink.bytes->size());
}

boolean growSink(j_compress_ptr info) {
    ByteSink& sink = sinkOf(info);
    const qsizetype used = sink.bytes->size();
    sink.bytes->resize(used * 2);
    sink.manager.next_output_byte = reinterpret_cast<JOCTET*>(sink.bytes->data()) + used;
    sink.manager.free_in_buffer = static_cast<std::size_t>(used);
    return TRUE;
}

void finishSink(j_compress_ptr info) {
    ByteSink& sink = sinkOf(info);
    sink.bytes->resize(sink.bytes->size() - static_cast<qsizetype>(sink.manager.free_in_buffer));
}

struct RgbRows {
    const unsigned char* pixels;
    std::size_t stride;
    int width, height;
};

bool compressRows(const RgbRows& rows, int quality, QByteArray* out) {
    jpeg_compress_struct info;
    JpegErrors errors;
    ByteSink sink{{}, out};
    sink.manager.init_destination = startSink;
    sink.manager.empty_output_buffer = growSink;
    sink.manager.term_destination = finishSink;
    info.err = &errors.manager;
    installErrors(errors);
    if (setjmp(errors.escape)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    info.dest = &sink.manager;
    info.image_width = static_cast<JDIMENSION>(rows.width);
    info.image_height = static_cast<JDIMENSION>(rows.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // Full-resolution colour keeps small coloured print sharp.
    info.comp_info[0].h_samp_factor = 1;
    info.comp_info[0].v_samp_factor = 1;
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows.pixels + info.next_scanline * rows.stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// Called once the header is known; returns the first row of the caller's picture, or nullptr.
using RowsFor = unsigned char* (*)(void* target, int width, int height, std::size_t* stride);

bool decompressRows(const unsigned char* data, std::size_t size, RowsFor rowsFor, void* target) {
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = &errors.manager;
    installErrors(errors);
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (!plausibleSize(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    std::size_t stride = 0;
    unsigned char* first =
        rowsFor(target, static_cast<int>(info.output_width), static_cast<int>(info.output_height), &stride);
    if (first == nullptr || info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = first + info.output_scanline * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

unsigned char* rowsOfRgbImage(void* target, int width, int height, std::size_t* stride) {
    QImage& image = *static_cast<QImage*>(target);
    image = QImage(width, height, QImage::Format_RGB888);
    if (image.isNull()) return nullptr;
    *stride = static_cast<std::size_t>(image.bytesPerLine());
    return image.bits();
}

} // namespace

namespace ImageCodecs {

QByteArray encodeBmp24(const QImage& image) {
    if (image.isNull()) return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const std::int64_t stride = bmpStride(rgb.width());
    const std::int64_t pixelBytes = stride * rgb.height();
    QByteArray out;
    out.reserve(static_cast<qsizetype>(PixelOffset + pixelBytes));
    appendBmpHeaders(out, rgb.width(), rgb.height(), pixelBytes);
    const QByteArray padding(static_cast<qsizetype>(stride - rgb.width() * 3), '\0');
    for (int y = rgb.height() - 1; y >= 0; --y) {
        const uchar* row = rgb.constScanLine(y);
        for (int x = 0; x < rgb.width(); ++x) {
            const uchar* px = row + 3 * x;
            const char bgr[3] = {static_cast<char>(px[2]), static_cast<char>(px[1]), static_cast<char>(px[0])};
            out.append(bgr, 3);
        }
        out.append(padding);
    }
    return out;
}

QImage decodeBmp24(const QByteArray& data) {
    if (data.size() < PixelOffset || data[0] != 'B' || data[1] != 'M') return {};
    const BmpHeader header = readBmpHeader(data);
    if (!validBmpHeader(header, data.size())) return {};
    const int width = static_cast<int>(header.width);
    const int rows = static_cast<int>(header.height < 0 ? -header.height : header.height);
    const bool bottomUp = header.height > 0;
    QImage image(width, rows, QImage::Format_RGB32);
    if (image.isNull()) return {};
    const std::int64_t stride = bmpStride(width);
    const auto* pixels = reinterpret_cast<const uchar*>(data.constData()) + header.pixelOffset;
    for (int y = 0; y < rows; ++y) {
        const uchar* source = pixels + stride * (bottomUp ? rows - 1 - y : y);
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            target[x] = qRgb(source[3 * x + 2], source[3 * x + 1], source[3 * x]);
    }
    return image;
}

QByteArray encodeJpeg(const QImage& image, int quality) {
    if (image.isNull()) return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const RgbRows rows{rgb.constBits(), static_cast<std::size_t>(rgb.bytesPerLine()), rgb.width(), rgb.height()};
    QByteArray out;
    if (!compressRows(rows, std::clamp(quality, 1, 100), &out)) return {};
    return out;
}

QImage decodeJpeg(const QByteArray& data) {
    if (data.isEmpty()) return {};
    QImage rgb;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    if (!decompressRows(bytes, static_cast<std::size_t>(data.size()), rowsOfRgbImage, &rgb)) return {};
    return rgb.convertToFormat(QImage::Format_RGB32);
}

QByteArray encodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.convertToFormat(QImage::Format_RGB888).save(&buffer, "PNG") ? bytes : QByteArray();
}

QImage decodePng(const QByteArray& data) {
    QImage image;
    if (!image.loadFromData(data, "PNG")) return {};
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace ImageCodecs

#include "panels/ImageCodecs.h"

#include "panels/Bmp24.h"
#include "panels/Jpeg.h"

#include <QBuffer>

#include <cstring>

namespace {

std::span<const std::uint8_t> bytesOf(const QByteArray& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}

QByteArray toByteArray(const std::vector<std::uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

Pixels pixelsOf(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    Pixels picture = blankPixels(rgb.width(), rgb.height());
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(picture.row(y), rgb.constScanLine(y), static_cast<std::size_t>(rgb.width()) * 3);
    return picture;
}

// One pass (Qt's own converter) from the plain pixels, which it reads in place, to the format that
// screens draw from.
QImage imageOf(const std::optional<Pixels>& picture) {
    if (!picture) return {};
    const QImage view(picture->rgb.data(), picture->width, picture->height, picture->width * 3, QImage::Format_RGB888);
    return view.convertToFormat(QImage::Format_RGB32);
}

} // namespace

namespace ImageCodecs {

QByteArray encodeBmp24(const QImage& image) {
    if (image.isNull()) return {};
    return toByteArray(Bmp24::encode(pixelsOf(image)));
}

QImage decodeBmp24(const QByteArray& data) {
    return imageOf(Bmp24::decode(bytesOf(data)));
}

QByteArray encodeJpeg(const QImage& image, int quality) {
    if (image.isNull()) return {};
    return toByteArray(Jpeg::encode(pixelsOf(image), quality));
}

QImage decodeJpeg(const QByteArray& data) {
    return imageOf(Jpeg::decode(bytesOf(data)));
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

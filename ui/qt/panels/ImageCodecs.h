#pragma once

#include <QByteArray>
#include <QImage>

// The panels' picture formats as Qt images: 24-bit BMP for buttons and lamps and JPEG for the skins
// (see Bmp24 and Jpeg), and PNG (through Qt) for the buttons and lamps painted at twice the size for
// scaled screens. Decoders return a null image for data they cannot read.
namespace ImageCodecs {

QByteArray encodeBmp24(const QImage& image);
QImage decodeBmp24(const QByteArray& data);

QByteArray encodeJpeg(const QImage& image, int quality);
QImage decodeJpeg(const QByteArray& data);

QByteArray encodePng(const QImage& image);
QImage decodePng(const QByteArray& data);

} // namespace ImageCodecs

#pragma once

#include <QByteArray>
#include <QImage>

// The picture formats the panels carry: uncompressed 24-bit BMP for buttons and lamps, JPEG
// (through libjpeg) for the skins, and PNG (through Qt) for the buttons and lamps painted at twice
// the size for scaled screens. Decoders return a null image for data they cannot read; no
// input, however malformed, may crash them or read outside the data.
namespace ImageCodecs {

QByteArray encodeBmp24(const QImage& image);
QImage decodeBmp24(const QByteArray& data);

QByteArray encodeJpeg(const QImage& image, int quality);
QImage decodeJpeg(const QByteArray& data);

QByteArray encodePng(const QImage& image);
QImage decodePng(const QByteArray& data);

} // namespace ImageCodecs

#pragma once

#include <QByteArray>
#include <QImage>

// The panels' two picture formats (see Bmp24 and Jpeg) as Qt images. Decoders return a null image
// for data they cannot read.
namespace ImageCodecs {

QByteArray encodeBmp24(const QImage& image);
QImage decodeBmp24(const QByteArray& data);

QByteArray encodeJpeg(const QImage& image, int quality);
QImage decodeJpeg(const QByteArray& data);

} // namespace ImageCodecs

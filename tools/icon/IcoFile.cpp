#include "IcoFile.h"

#include <QBuffer>
#include <QDataStream>

namespace {

constexpr int PngFrom = 256;

// The image as an icon's bitmap: its header with twice the height (the colours, then the mask),
// rows bottom-up in BGRA, then the all-clear 1-bit mask the alpha channel makes redundant.
QByteArray bitmapEntry(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int size = argb.width();
    const int maskRowBytes = (size + 31) / 32 * 4;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(size) << qint32(size * 2) << quint16(1) << quint16(32) << quint32(0)
        << quint32(size * size * 4 + maskRowBytes * size) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = size - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < size; ++x)
            out << quint8(qBlue(row[x])) << quint8(qGreen(row[x])) << quint8(qRed(row[x])) << quint8(qAlpha(row[x]));
    }
    bytes.append(QByteArray(maskRowBytes * size, '\0'));
    return bytes;
}

QByteArray pngEntry(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    return bytes;
}

} // namespace

QByteArray icoFile(const std::vector<QImage>& images) {
    std::vector<QByteArray> entries;
    for (const QImage& image : images)
        entries.push_back(image.width() >= PngFrom ? pngEntry(image) : bitmapEntry(image));
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    quint32 offset = 6 + 16 * static_cast<quint32>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int size = images[i].width();
        // A size of 256 is written as 0.
        out << quint8(size % 256) << quint8(size % 256) << quint8(0) << quint8(0) << quint16(1) << quint16(32)
            << quint32(entries[i].size()) << offset;
        offset += static_cast<quint32>(entries[i].size());
    }
    for (const QByteArray& entry : entries)
        file.append(entry);
    return file;
}

#pragma once

#include <QByteArray>
#include <QImage>

#include <vector>

// A Windows icon file holding the images (square, at most 256 pixels): the small sizes as 32-bit
// bitmaps, which every reader of icons takes, 256 as PNG, as Windows stores its large icons.
QByteArray icoFile(const std::vector<QImage>& images);

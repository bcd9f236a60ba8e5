#pragma once

#include "model/DeviceTypes.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The panel pictures built into the program: bitmaps by id, and one skin per layout.
namespace PanelAssets {

// Scale 2: the same picture with twice the pixels each way, for screens that scale by more than 1.
QString bitmapPath(int id, int scale = 1);
QString skinPath(PanelLayout layout, int scale = 1);

// The raw bytes of an asset, or nothing when it cannot be read.
std::optional<QByteArray> read(const QString& path);

} // namespace PanelAssets

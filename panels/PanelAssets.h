#pragma once

#include "model/DeviceTypes.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The panel pictures built into the program: bitmaps by id, and one skin per layout.
namespace PanelAssets {

QString bitmapPath(int id);
QString skinPath(PanelLayout layout);

// The raw bytes of an asset, or nothing when it cannot be read.
std::optional<QByteArray> read(const QString& path);

} // namespace PanelAssets

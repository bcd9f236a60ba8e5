#pragma once

#include "model/DeviceTypes.h"
#include "panels/Pixels.h"

#include <optional>
#include <string>

// The panel pictures built into the program as raw-data resources, uncompressed: each bitmap under
// its number, each layout's skin under SKIN_ and the layout's name.
namespace PanelResources {

std::optional<Pixels> bitmap(int id);
std::optional<Pixels> skin(PanelLayout layout);

// The resource's name, for a message that says which could not be read.
std::string bitmapName(int id);
std::string skinName(PanelLayout layout);

} // namespace PanelResources

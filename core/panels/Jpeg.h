#pragma once

#include "panels/Pixels.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// JPEG, the format of the skins, through the platform's decoder (libjpeg here). Decoding gives
// nothing for data it cannot read, and never crashes on it.
namespace Jpeg {

std::vector<std::uint8_t> encode(const Pixels& picture, int quality);
std::optional<Pixels> decode(std::span<const std::uint8_t> data);

} // namespace Jpeg

#pragma once

#include "panels/Pixels.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Uncompressed 24-bit BMP, the format of the buttons' and lamps' pictures. Decoding gives nothing
// for data it cannot read; no input, however malformed, may crash it or read outside the data.
namespace Bmp24 {

std::vector<std::uint8_t> encode(const Pixels& picture);
std::optional<Pixels> decode(std::span<const std::uint8_t> data);

} // namespace Bmp24
